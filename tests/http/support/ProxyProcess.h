#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

namespace torvex::test {

// A real proxy server run as a child process on 127.0.0.1 at a free port, with its config
// generated from a template in tests/http/proxies/ into a private temporary directory.
// When the program is missing or does not come up, available() is false and
// unavailableReason() says why, so a test can GTEST_SKIP. Destruction stops the whole process
// group (SIGTERM, then SIGKILL) and reaps it; should the test program die first, the kernel
// kills the proxy (PR_SET_PDEATHSIG). That signal follows the creating thread, so create
// proxies on the test's own thread, not on a short-lived helper thread.
class ProxyProcess {
public:
    virtual ~ProxyProcess();
    ProxyProcess(const ProxyProcess&)            = delete;
    ProxyProcess& operator=(const ProxyProcess&) = delete;

    bool available() const { return pid_ > 0; }
    int port() const { return port_; }
    const std::string& unavailableReason() const { return reason_; }
    // The proxy's log so far, and what it wrote to stdout and stderr, for failure messages.
    std::string log() const;
    const std::string& directory() const { return directory_; }

protected:
    ProxyProcess() = default;

    struct Launch {
        std::string program;                     // looked up in PATH and the sbin directories
        std::string templateName;                // file in tests/http/proxies/
        std::map<std::string, std::string> vars; // @NAME@ -> text; PORT and LOG are added
        std::vector<std::string> arguments;      // @CONFIG@ stands for the generated file
        std::string readyMarker;                 // log text that appears once it listens
    };
    // Tries a few ports in case another process takes the chosen one first.
    void start(const Launch& launch);
    void stop();
    void setUnavailable(std::string reason) { reason_ = std::move(reason); }

private:
    bool spawn(const std::vector<std::string>& arguments); // arguments[0] is the executable
    bool waitUntilReady(const std::string& marker);
    bool childExited();

    pid_t pid_ = -1;
    int port_  = 0;
    std::string reason_;
    std::string directory_;
    std::string logPath_;
    std::string outputPath_;
};

// tinyproxy 1.11. It rewrites forwarded requests: the request line takes origin form with the
// client's HTTP version; Host, taken from the URL (replacing or adding the client's), comes
// first, then "Connection: close" and (unless disabled) "Via: 1.1 <kViaName> (tinyproxy/1.11.1)",
// appended to any Via the client sent. Connection and the headers it names, Proxy-Connection,
// Keep-Alive, TE, Upgrade are dropped, and Proxy-Authorization too when BasicAuth is on (without
// it the header is passed on). Other headers and the body pass unchanged and in order. Responses
// get the same Via. Each upstream connection carries one request, and the client connection is
// closed after each response.
// With BasicAuth, a request without Proxy-Authorization gets "HTTP/1.0 407" with
// Proxy-Authenticate, but one with wrong credentials gets "HTTP/1.0 401 Unauthorized" with
// WWW-Authenticate; refusals (403 for a CONNECT port) come as HTTP/1.1 pages with
// "Connection: close".
class TinyProxy : public ProxyProcess {
public:
    static constexpr std::string_view kViaName = "torvex-proxy";

    struct Options {
        std::vector<int> connectPorts; // CONNECT only to these ports; empty allows all, {0} none
        std::string user, password;    // with a user, Basic proxy auth is required; no spaces
        bool viaHeader         = true;
        int idleTimeoutSeconds = 30;
    };

    TinyProxy() : TinyProxy(Options{}) {}
    explicit TinyProxy(const Options& options);
    std::string url() const; // "http://127.0.0.1:<port>"
};

// Dante 1.4 (danted), SOCKS 4 and 5 for CONNECT to loopback addresses.
//
// With Auth::UserPassword it takes only SOCKS 5 with RFC 1929 user/password, checked by Dante's
// "username" method against the system's password database. PAM would avoid a system account,
// but the only PAM module able to check a fixed password without extra packages, pam_exec,
// cannot work under danted: its children ignore SIGCHLD, so pam_exec loses its child's exit
// status and fails every attempt. So the fixture keeps one system account, kUser, made on first
// use and checked on every later one (useradd --system, no home, nologin shell, group nogroup;
// password set with chpasswd only when it does not match; account expiry set to 1970-01-02, which
// makes every PAM login refuse the account while Dante, which reads the password hash itself,
// still accepts it). This needs root; as any other user available() is false.
class Dante : public ProxyProcess {
public:
    enum class Auth { None, UserPassword };
    struct Options {
        Auth auth = Auth::None;
    };
    static constexpr std::string_view kUser     = "torvex-socks";
    static constexpr std::string_view kPassword = "Fixture-Socks-Pass-1";

    Dante() : Dante(Options{}) {}
    explicit Dante(const Options& options);
    static std::string user() { return std::string(kUser); }
    static std::string password() { return std::string(kPassword); }
};

} // namespace torvex::test
