// torvex-record as a tester uses it: a child process recording a browser's navigations through
// its proxy, here a socket client speaking to it as a browser would, against a fixture server.

#include "cli/RunnerProcess.h"
#include "http/support/FixtureServer.h"
#include "model/Document.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

namespace torvex::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kWait = 10s;

// torvex-record as a child process, its standard output readable line by line while it runs (to
// learn the port it listens on, and to follow the captures).
RunnerProcess startRecorder(const std::vector<std::string>& arguments) {
    return RunnerProcess(arguments, false, TORVEX_RECORD_PATH);
}

// Runs torvex-record to its end (at most 20 seconds).
RunnerResult runRecorder(const std::vector<std::string>& arguments) {
    return startRecorder(arguments).finish(20s);
}

// Connects to 127.0.0.1:port; -1 when nobody listens.
int connectLoopback(int port) {
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family      = AF_INET;
    address.sin_port        = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// Sends one request through the proxy and reads the response head and its Content-Length body;
// empty when the proxy did not answer in time.
std::string proxyExchange(int proxyPort, const std::string& request) {
    int fd = connectLoopback(proxyPort);
    if (fd < 0) return {};
    std::string response;
    if (send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
        static_cast<ssize_t>(request.size())) {
        const Clock::time_point deadline = Clock::now() + kWait;
        std::size_t wanted               = std::string::npos;
        while (response.size() < wanted && Clock::now() < deadline) {
            pollfd readable{fd, POLLIN, 0};
            if (poll(&readable, 1, 200) <= 0) continue;
            char buffer[4096];
            ssize_t n = recv(fd, buffer, sizeof buffer, 0);
            if (n <= 0) break;
            response.append(buffer, static_cast<std::size_t>(n));
            const std::size_t headEnd = response.find("\r\n\r\n");
            const std::size_t length  = response.find("Content-Length: ");
            if (headEnd != std::string::npos && length != std::string::npos && length < headEnd)
                wanted = headEnd + 4 + std::stoul(response.substr(length + 16));
        }
    }
    close(fd);
    return response;
}

// "GET|POST http://127.0.0.1:<port><path> HTTP/1.1" as a browser sends it to its proxy.
std::string proxyRequest(const std::string& method, const FixtureServer& server,
                         const std::string& path, const std::string& headers,
                         const std::string& body = {}) {
    const std::string host = "127.0.0.1:" + std::to_string(server.port());
    std::string text =
        method + " http://" + host + path + " HTTP/1.1\r\nHost: " + host + "\r\n" + headers;
    if (!body.empty()) text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return text + "\r\n" + body;
}

// Reads output lines until one starts with `prefix`; that line, or empty after the wait.
std::string lineStartingWith(RunnerProcess& recorder, const std::string& prefix) {
    const Clock::time_point deadline = Clock::now() + kWait;
    while (Clock::now() < deadline) {
        auto line = recorder.readLine(
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()));
        if (!line) break;
        if (line->rfind(prefix, 0) == 0) return *line;
    }
    return {};
}

// The port from "Listening on 127.0.0.1:<port>"; 0 when the line did not come.
int listeningPort(RunnerProcess& recorder) {
    const std::string prefix = "Listening on 127.0.0.1:";
    const std::string line   = lineStartingWith(recorder, prefix);
    return line.empty() ? 0 : std::stoi(line.substr(prefix.size()));
}

std::string valueOf(const CReqParam& param) {
    return param.components.empty() ? "<none>" : param.components[0].storedText();
}

class RecordTest : public ::testing::Test {
protected:
    RecordTest() {
        server.route("/page", FixtureServer::reply(httpResponse(200, "<html>page</html>",
                                                                "Content-Type: text/html\r\n")));
        server.route("/logo.png",
                     FixtureServer::reply(httpResponse(200, "PNG", "Content-Type: image/png\r\n")));
        server.route("/login", FixtureServer::reply(httpResponse(200, "welcome")));
    }

    std::vector<std::string> recordArguments() const {
        return {"--listen", "127.0.0.1:0", "--out", out, "--ca-folder", authority};
    }

    std::string page(int proxyPort) {
        return proxyExchange(proxyPort, proxyRequest("GET", server, "/page?x=1&y=",
                                                     "Accept: text/html,application/xhtml+xml\r\n"
                                                     "Sec-Fetch-Mode: navigate\r\n"));
    }

    TempDir dir;
    const std::string out       = (dir.path / "recorded.tvs").string();
    const std::string authority = (dir.path / "authority").string();
    FixtureServer server;
};

TEST_F(RecordTest, RecordsNavigationsNotSubresourcesAndSavesOnInterrupt) {
    RunnerProcess recorder = startRecorder(recordArguments());
    const int port         = listeningPort(recorder);
    ASSERT_GT(port, 0);
    const std::string origin = "http://127.0.0.1:" + std::to_string(server.port());

    EXPECT_NE(page(port).find("<html>page</html>"), std::string::npos);
    EXPECT_EQ(lineStartingWith(recorder, "GET "), "GET " + origin + "/page (2 parameters)");
    const std::string image = proxyExchange(
        port, proxyRequest("GET", server, "/logo.png",
                           "Accept: image/png,image/*\r\nSec-Fetch-Mode: no-cors\r\n"));
    EXPECT_NE(image.find("PNG"), std::string::npos);
    const std::string posted =
        proxyExchange(port, proxyRequest("POST", server, "/login?from=menu",
                                         "Accept: text/html\r\nSec-Fetch-Mode: navigate\r\n"
                                         "Content-Type: application/x-www-form-urlencoded\r\n",
                                         "user=a+b&pw=%41%42"));
    EXPECT_NE(posted.find("welcome"), std::string::npos);
    EXPECT_EQ(lineStartingWith(recorder, "POST "), "POST " + origin + "/login (2 parameters)");
    EXPECT_TRUE(server.waitForRequests(3, kWait));

    recorder.signal(SIGINT);
    RunnerResult result = recorder.finish(20s);
    ASSERT_FALSE(result.timedOut);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("Saved 2 requests to " + out), std::string::npos) << result.out;

    CHexmillLEDoc document;
    std::string error;
    ASSERT_TRUE(document.open(out, error)) << error;
    std::vector<const CRequest*> requests;
    std::as_const(document.scenario().requests).forEach([&](const CRequest& r) {
        requests.push_back(&r);
    });
    ASSERT_EQ(requests.size(), 2u);
    const CRequest& get = *requests[0];
    EXPECT_EQ(get.method, CRequest::kGet);
    EXPECT_EQ(get.scheme, CRequest::kHttp);
    EXPECT_EQ(get.server, "127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(get.uri, "page");
    ASSERT_EQ(get.params.size(), 2u);
    EXPECT_EQ(get.params[0].name, "x");
    EXPECT_EQ(valueOf(get.params[0]), "1");
    EXPECT_EQ(get.params[1].name, "y");
    EXPECT_EQ(valueOf(get.params[1]), "");
    const CRequest& post = *requests[1];
    EXPECT_EQ(post.method, CRequest::kPost);
    EXPECT_EQ(post.uri, "login");
    EXPECT_EQ(post.contentType, "application/x-www-form-urlencoded");
    ASSERT_EQ(post.params.size(), 2u);
    EXPECT_EQ(post.params[0].name, "user");
    EXPECT_EQ(valueOf(post.params[0]), "a b");
    EXPECT_EQ(post.params[1].name, "pw");
    EXPECT_EQ(valueOf(post.params[1]), "AB");
}

TEST_F(RecordTest, AnEmptyRecordingLeavesAnExistingFileAlone) {
    { std::ofstream(out) << "an older scenario"; }
    RunnerProcess recorder = startRecorder(recordArguments());
    ASSERT_GT(listeningPort(recorder), 0);
    recorder.signal(SIGTERM);
    RunnerResult result = recorder.finish(20s);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_NE(result.out.find("No requests were recorded"), std::string::npos) << result.out;
    EXPECT_EQ(fileText(out), "an older scenario");
}

TEST_F(RecordTest, ARecordingThatCannotBeSavedGoesToTheRecoveryFile) {
    RunnerProcess recorder = startRecorder(recordArguments());
    const int port         = listeningPort(recorder);
    ASSERT_GT(port, 0);
    EXPECT_FALSE(page(port).empty());
    EXPECT_FALSE(lineStartingWith(recorder, "GET ").empty());
    // A folder where the scenario should go makes the save fail.
    std::filesystem::create_directory(out);

    recorder.signal(SIGINT);
    RunnerResult result = recorder.finish(20s);
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.err.find(out), std::string::npos) << result.err;
    const std::string recovery = out + ".recovered.tvs";
    EXPECT_NE(result.err.find(recovery), std::string::npos) << result.err;
    CHexmillLEDoc document;
    std::string error;
    ASSERT_TRUE(document.open(recovery, error)) << error;
    EXPECT_EQ(document.scenario().requests.count(), 1);
}

TEST_F(RecordTest, MissingOutputFolderAndBusyPortFailBeforeRecording) {
    RunnerResult noFolder =
        runRecorder({"--listen", "127.0.0.1:0", "--out", (dir.path / "no/such/r.tvs").string(),
                     "--ca-folder", authority});
    EXPECT_EQ(noFolder.status, 1);
    EXPECT_NE(noFolder.err.find("no/such/r.tvs"), std::string::npos) << noFolder.err;

    RunnerResult busy = runRecorder({"--listen", "127.0.0.1:" + std::to_string(server.port()),
                                     "--out", out, "--ca-folder", authority});
    EXPECT_EQ(busy.status, 1);
    EXPECT_FALSE(busy.err.empty());
    EXPECT_EQ(busy.out.find("Listening"), std::string::npos);
}

TEST_F(RecordTest, CertificateOfTheAuthorityIsWrittenAsPem) {
    const std::string pem = (dir.path / "ca.pem").string();
    RunnerResult first    = runRecorder({"--ca-cert", pem, "--ca-folder", authority});
    ASSERT_EQ(first.status, 0) << first.err;
    const std::string text = fileText(pem);
    BIO* bio               = BIO_new_mem_buf(text.data(), static_cast<int>(text.size()));
    X509* certificate      = PEM_read_bio_X509(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    ASSERT_NE(certificate, nullptr) << text;
    EXPECT_EQ(X509_check_ca(certificate), 1);
    X509_free(certificate);

    // The authority is kept: asking again gives the same certificate.
    const std::string again = (dir.path / "again.pem").string();
    EXPECT_EQ(runRecorder({"--ca-cert", again, "--ca-folder", authority}).status, 0);
    EXPECT_EQ(fileText(again), text);
}

TEST(RecordUsageTest, OnlyLoopbackListenAddressesAreAccepted) {
    TempDir dir;
    const std::string out = (dir.path / "r.tvs").string();
    for (const char* listen : {"0.0.0.0:8888", "192.168.1.5:0", "example.com:80", "[::]:8888",
                               "127.0.0.1:65536", "127.0.0.1:", "localhost:x", "8888"}) {
        RunnerResult result = runRecorder({"--listen", listen, "--out", out});
        EXPECT_EQ(result.status, 2) << listen;
        EXPECT_NE(result.err.find(listen), std::string::npos) << result.err;
        EXPECT_EQ(result.out.find("Listening"), std::string::npos) << listen;
    }
    EXPECT_NE(runRecorder({"--listen", "0.0.0.0:0", "--out", out}).err.find("open proxy"),
              std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST(RecordUsageTest, VersionHelpAndArgumentErrors) {
    RunnerResult version = runRecorder({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "torvex-record 2.0\n");
    RunnerResult help = runRecorder({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--ca-cert"), std::string::npos);
    EXPECT_EQ(runRecorder({}).status, 2); // --out is needed
    EXPECT_EQ(runRecorder({"--ca-cert", "/tmp/x.pem", "--out", "/tmp/x.tvs"}).status, 2);
    EXPECT_EQ(runRecorder({"--out", "/tmp/x.tvs", "stray"}).status, 2);
}

} // namespace
} // namespace torvex::test
