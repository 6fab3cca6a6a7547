#pragma once

#include <functional>
#include <memory>
#include <string>

namespace torvex {

// One navigation as the recording proxy saw it, handed over before the request is forwarded.
struct ProxiedNavigation {
    std::string url;         // absolute: "http://host[:port]/path?query", the default port left out
    std::string targetFrame; // empty for a top-level navigation
    std::string body;        // the posted bytes, exactly
    std::string headerText;  // "Content-Type: ...\r\n" when the request has a body, else empty
};

// The recording proxy: an HTTP proxy on 127.0.0.1 that the embedded browser (or any browser) is
// pointed at. Plain HTTP is forwarded as it is; CONNECT is terminated with a certificate for the
// host signed by Torvex's own certificate authority (when the host's own certificate verifies),
// and the requests inside the tunnel are forwarded to the real host over TLS. Each request that
// is a navigation is reported before it is forwarded; pictures, scripts and style sheets pass
// through unreported.
class RecordingProxy {
public:
    // The private header the embedded browser puts on its navigations ("main" or "frame"); the
    // proxy removes it before forwarding.
    static constexpr const char* kNavigationMark = "X-Torvex-Navigation";

    struct Options {
        // Where the authority's key and certificate are kept; created on first use, the key
        // readable by the user only.
        std::string authorityFolder;
        int port = 0; // 0: the kernel chooses
        // True for the embedded browser: only requests carrying kNavigationMark count. False for
        // other browsers: "Sec-Fetch-Mode: navigate", or without Sec-Fetch headers an Accept
        // header beginning with "text/html".
        bool markedOnly = false;
        // "host:port" of the HTTP proxy to forward a request for `host` through, given the
        // scheme ("http" or "https"); empty goes direct. Unset goes direct always;
        // upstreamFromEnvironment is the system's choice.
        std::function<std::string(const std::string& scheme, const std::string& host)> upstream;
        // Called on a proxy thread, before the request is forwarded.
        std::function<void(const ProxiedNavigation&)> onNavigation;
        // Check each HTTPS site's certificate (chain against the system's trusted authorities,
        // and the host name) before the browser is answered. A site that fails is still
        // reached, but the browser gets a certificate of an untrusted issuer naming the
        // failure, so it shows its usual warning and the tester decides. False trusts every
        // site.
        bool verifySites = true;
        // PEM certificates of further authorities to trust for sites, e.g. a test CA.
        std::string extraTrustedPem;
        // Problems worth telling the user (an upstream that cannot be reached, a failed
        // handshake), one line each; called on a proxy thread.
        std::function<void(const std::string&)> onProblem;
    };

    explicit RecordingProxy(Options options);
    ~RecordingProxy(); // stops
    RecordingProxy(const RecordingProxy&)            = delete;
    RecordingProxy& operator=(const RecordingProxy&) = delete;

    // Loads or creates the authority and listens on 127.0.0.1; false with a message naming what
    // failed (the folder, the file, the port).
    bool start(std::string& error);
    // Closes the listener and every connection; returns once the proxy's threads have ended.
    void stop();
    int port() const;

    // The authority's certificate, for importing into a browser.
    std::string authorityCertificatePath() const;
    std::string authorityCertificatePem() const;
    // The base64 SHA-256 digest of the public key in every certificate the authority signs for
    // this proxy (Chromium's form for keys to trust); empty until it starts.
    std::string hostKeyPin() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

// The HTTP proxy the environment names for the given scheme ("http" or "https") as "host:port":
// https_proxy or http_proxy (either case), empty when none is set or no_proxy covers `host`.
std::string upstreamFromEnvironment(const std::string& scheme, const std::string& host);

// The folder Torvex keeps per-user configuration in: $XDG_CONFIG_HOME (or ~/.config) +
// "/Mekora/Torvex", the same folder the desktop program's settings use.
std::string defaultAuthorityFolder();

} // namespace torvex
