// Hostile peers: servers and proxies that reset, stall, trickle, lie about lengths, redirect
// forever or never end. Every request must still end with a defined outcome, in bounded time and
// memory, with a line in the user log that says why, and a run must go on past it.
#include "http/ExchangeHelpers.h"
#include "support/TempDir.h"
#include "support/TestSetHandle.h"
#include "torvexcore.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace torvex::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// What a scripted peer does after it has read the request.
using Play = std::function<void(RawChannel&)>;

// The peer's last move after sending its bytes.
enum class Then { Close, Reset, Hold };

Play sendThen(std::string bytes, Then then) {
    return [bytes = std::move(bytes), then](RawChannel& channel) {
        if (!channel.send(bytes)) return;
        if (then == Then::Hold) return channel.holdUntilStopped();
        channel.pause(200ms); // the client reads what was sent before the reset overtakes it
        then == Then::Reset ? channel.reset() : channel.close();
    };
}

const std::string kOk     = "HTTP/1.1 200 OK\r\n";
const std::string kChunky = kOk + "Transfer-Encoding: chunked\r\n\r\n";

// A header line whose last piece, as the 4096-byte line reader returns it, is just its "\r\n".
std::string splitHeaderLine() {
    return "X-Pad: " + std::string(257 * 4095 - 7, 'p') + "\r\n"; // a little over 1 MiB
}

class Hostile : public TransportTest {
protected:
    // Every connection: read one request, then `play`.
    void serve(Play play) {
        server.setRawHandler([play = std::move(play)](RawChannel& channel) {
            if (channel.readRequest(5s)) play(channel);
        });
    }
    FixtureServer server;
};

// --- one response at a time ------------------------------------------------------------------

constexpr int kAnyTime = 0; // a success: any measured time

struct HostileRow {
    const char* name;
    std::function<Play()> peer; // made per test, so the big replies exist only while used
    int outcome;
    const char* logged;           // the user log holds this
    const char* body;             // after a success
    bool dropsConnection = false; // a success whose connection must not be used again
};

void PrintTo(const HostileRow& row, std::ostream* out) {
    *out << row.name;
}

class HostileResponse : public Hostile, public testing::WithParamInterface<HostileRow> {};

TEST_P(HostileResponse, EndsWithADefinedOutcome) {
    const HostileRow& row = GetParam();
    serve(row.peer());
    load(generalFor(server.port(), "timeout=1\nkeepalive=1\n[r]\n$uri=/r\n"));
    const auto start  = Clock::now();
    const int outcome = perform("r");
    EXPECT_LT(secondsSince(start), 10.0);
    if (row.outcome == kAnyTime) {
        ASSERT_GE(outcome, 0) << log.text().substr(0, 2000);
        EXPECT_EQ(previousBody(), row.body);
        EXPECT_EQ(user().traffic.bytesReceived, responseText().size());
        if (row.dropsConnection) {
            EXPECT_EQ(user().keptConnection, nullptr);
        }
    } else {
        EXPECT_EQ(outcome, row.outcome) << log.text().substr(0, 2000);
        EXPECT_EQ(user().keptConnection, nullptr) << "a failed connection was kept";
    }
    EXPECT_NE(log.text().find(row.logged), std::string::npos) << log.text().substr(0, 2000);
}

INSTANTIATE_TEST_SUITE_P(
    Hostile, HostileResponse,
    testing::Values(
        HostileRow{"ResetInsideTheHeaders",
                   [] { return sendThen(kOk + "Content-Le", Then::Reset); }, -1,
                   "Error(HDR): 104\n", ""},
        // A body of known length cut short ends the exchange with what arrived.
        HostileRow{"ResetInsideABody",
                   [] { return sendThen(kOk + "Content-Length: 10\r\n\r\nabc", Then::Reset); },
                   kAnyTime, "Response:\r\n", "abc"},
        HostileRow{"ResetInsideAChunk", [] { return sendThen(kChunky + "5\r\nhe", Then::Reset); },
                   -1, "Error(CHUNK): 104\n", ""},
        HostileRow{"GarbageStatusLine",
                   [] { return sendThen("SSH-2.0-OpenSSH_9.2\r\n\r\n", Then::Close); }, -2,
                   "Response:\r\nSSH-2.0-OpenSSH_9.2\r\n", ""},
        HostileRow{"NoiseWithoutLineEnds",
                   [] { return sendThen(std::string(10000, '\xff'), Then::Close); }, -1,
                   "Error(HDR): 0\n", ""},
        HostileRow{"NegativeContentLength",
                   [] { return sendThen(kOk + "Content-Length: -5\r\n\r\nhello", Then::Close); },
                   kAnyTime, "Response:\r\n", "hello"},
        // Read as 0, as an empty body, even from a server that keeps the connection open; the
        // connection is then dropped so that "hello" is never read as the next response.
        HostileRow{"ContentLengthNotANumber",
                   [] { return sendThen(kOk + "Content-Length: five\r\n\r\nhello", Then::Hold); },
                   kAnyTime, "Response:\r\n", "", true},
        HostileRow{"AbsurdContentLength",
                   [] {
                       return sendThen(kOk + "Content-Length: 99999999999999999999999\r\n\r\nhi",
                                       Then::Close);
                   },
                   kAnyTime, "Response:\r\n", "hi"},
        HostileRow{"AbsurdContentLengthNeverFilled",
                   [] {
                       return sendThen(kOk + "Content-Length: 9223372036854775807\r\n\r\nhi",
                                       Then::Hold);
                   },
                   -4, "Error(BODY): 110\n", ""},
        HostileRow{"OverflowingChunkSize",
                   [] { return sendThen(kChunky + "1FFFFFFFFFFFFFFFFFFFF\r\nabc", Then::Close); },
                   kAnyTime, "Response:\r\n", "abc"},
        HostileRow{"OverflowingChunkSizeNeverFilled",
                   [] { return sendThen(kChunky + "10000000000000000\r\nabc", Then::Hold); }, -4,
                   "Error(CHUNK): 110\n", ""},
        HostileRow{"MegabyteHeaderLine",
                   [] {
                       return sendThen(kOk + splitHeaderLine() + "Content-Length: 5\r\n\r\nhello",
                                       Then::Hold);
                   },
                   kAnyTime, "\r\nContent-Length: 5\r\n\r\nhello\r\n", "hello"}),
    [](const testing::TestParamInfo<HostileRow>& info) { return info.param.name; });

// --- responses that never end ------------------------------------------------------------------

// Each wait alone is short, so only the limit on the whole exchange ends these.
TEST_F(Hostile, TricklingServerTimesOut) {
    serve([](RawChannel& channel) {
        channel.sendInPieces(kOk + "Content-Length: 2\r\n\r\nok", 1, 500ms); // some 20 s
    });
    load(generalFor(server.port(), "timeout=1\n[r]\n$uri=/r\n"));
    const auto start = Clock::now();
    EXPECT_EQ(perform("r"), -4) << log.text();
    EXPECT_LT(secondsSince(start), 8.0);
    EXPECT_NE(log.text().find("Error(HDR): 110\n"), std::string::npos) << log.text();
}

TEST_F(Hostile, EndlessChunkedBodyTimesOutInBoundedMemory) {
    serve([](RawChannel& channel) {
        std::string tiny;
        for (int i = 0; i < 512; ++i) tiny += "1\r\nx\r\n";
        if (!channel.send(kChunky)) return;
        for (int i = 0; i < 2000000 && channel.send(tiny); ++i) {
        }
    });
    load(generalFor(server.port(), "timeout=1\n[r]\n$uri=/r\n"));
    user().keptBodyLimit = 65536;
    const auto start     = Clock::now();
    EXPECT_EQ(perform("r"), -4);
    EXPECT_LT(secondsSince(start), 8.0);
    EXPECT_LE(responseText().size(), kChunky.size() + 65536);
    EXPECT_NE(log.text().find("The response body is longer than 65536 bytes: the rest is read, "
                              "not kept.\r\n"),
              std::string::npos);
    EXPECT_NE(log.text().find(": 110\n"), std::string::npos) << log.text().substr(0, 2000);
}

// The limit on a whole exchange is the server's time: the pauses of bandwidth emulation, which
// may well outlast it on a big page, do not count.
TEST(ExchangeLimit, PausesOfTheEmulatedLineDoNotCount) {
    FixtureServer server;
    server.setRawHandler([](RawChannel& channel) {
        if (channel.send(std::string(2000, 'x'))) channel.holdUntilStopped();
    });
    WaitRules rules;
    rules.responseLimitMs = 400;
    CConnection connection(rules);
    connection.setTarget(htonl(INADDR_LOOPBACK), server.port());
    ASSERT_EQ(connection.connect(), 0);
    ASSERT_TRUE(connection.awaitReadable()); // the server's time is not what is tested here
    connection.setSpeed(2000);               // a pause of 500 ms for every 1000 bytes
    connection.beginExchange();
    const auto start = Clock::now();
    char buffer[1000];
    for (long got = 0, n = 0; got < 2000; got += n) {
        n = connection.receive(buffer, sizeof buffer);
        ASSERT_GT(n, 0) << "gave up after " << got << " bytes";
    }
    EXPECT_EQ(connection.receive(buffer, sizeof buffer), -1);
    EXPECT_EQ(connection.lastFailure(), TransferFailure::TimedOut);
    EXPECT_LT(secondsSince(start), 5.0);
    connection.endExchange();
}

// Beyond the limit a body is read to its end and counted, but neither checked nor logged; the
// connection stays in step for the next request.
TEST_F(Hostile, BodyPastTheKeptLimitIsReadCountedAndCut) {
    const std::string body = std::string(1000, 'a') + "MARKER" + std::string(3994, 'b');
    std::string chunked;
    for (std::size_t at = 0; at < body.size(); at += 1000)
        chunked += "3e8\r\n" + body.substr(at, 1000) + "\r\n";
    const std::vector<std::pair<std::string, std::string>> replies = {
        {"length", httpResponse(200, body)},
        {"chunked", kChunky + chunked + "0\r\n\r\n"},
    };
    for (const auto& [name, reply] : replies) server.route("/" + name, FixtureServer::reply(reply));
    load(generalFor(server.port(), "keepalive=1\n[length]\n$uri=/length\n$fail=/MARKER/\n"
                                   "[chunked]\n$uri=/chunked\n$fail=/MARKER/\n"
                                   "[early]\n$uri=/length\n$fail=/aaaa/\n"));
    for (const auto& [name, reply] : replies) {
        SCOPED_TRACE(name);
        log.clear();
        user().keptBodyLimit       = 1000;
        const std::uint64_t before = user().traffic.bytesReceived;
        EXPECT_GE(perform(name.c_str()), 0) << "the check saw bytes past the limit";
        EXPECT_EQ(previousBody(), body.substr(0, 1000));
        const std::size_t head = responseText().size() - 1000;
        EXPECT_EQ(user().traffic.bytesReceived - before, head + body.size());
        EXPECT_EQ(countOf(log.text(), "The response body is longer than 1000 bytes: the rest is "
                                      "read, not kept.\r\n"),
                  1);
        EXPECT_EQ(log.text().find("MARKER"), std::string::npos);
    }
    EXPECT_EQ(perform("early"), -3) << "the kept part is checked";
    EXPECT_EQ(server.connectionCount(), 1) << "a cut body left the connection out of step";
}

// --- redirects ---------------------------------------------------------------------------------

TEST_F(Hostile, TwentyRedirectsAreFollowedAndTheTwentyFirstIsAnHttpError) {
    server.setDefault([](ReplyChannel& channel, const RecordedRequest& request) {
        // /n/<k> goes on to /n/<k-1>; /n/0 answers.
        const int left = std::stoi(request.target.substr(3));
        channel.send(
            left == 0 ? httpResponse(200, "landed")
                      : httpResponse(302, "", "Location: /n/" + std::to_string(left - 1) + "\r\n"));
    });
    load(generalFor(server.port(), "keepalive=1\n[twenty]\n$uri=/n/20\n[more]\n$uri=/n/21\n"));
    EXPECT_GE(perform("twenty"), 0) << log.text().substr(0, 2000);
    EXPECT_EQ(previousBody(), "landed");
    EXPECT_EQ(testSet.sent.load(), 21);
    log.clear();
    EXPECT_EQ(perform("more"), -2);
    EXPECT_EQ(testSet.sent.load(), 42);
    EXPECT_NE(log.text().find("Error: more than 20 redirects.\r\n"), std::string::npos);
}

// --- TLS servers and proxies that give up half-way ----------------------------------------------

struct FirstHopRow {
    const char* name;
    const char* options; // the proxy or TLS lines; {P} stands for the peer's port
    Play peer;           // from the accepted connection on
    int outcome;
    const char* logged;
};

// The test set keeps every request it read, so each row names its own.
std::string filledIn(std::string text, int port, const std::string& name) {
    for (std::size_t at; (at = text.find("{P}")) != std::string::npos;)
        text.replace(at, 3, std::to_string(port));
    for (std::size_t at; (at = text.find("{N}")) != std::string::npos;) text.replace(at, 3, name);
    return text;
}

TEST_F(Hostile, HandshakesThatStopHalfWay) {
    const auto readThen = [](std::size_t n, Play then) {
        return [n, then](RawChannel& channel) {
            if (channel.readExactly(n, 5s)) then(channel);
        };
    };
    const auto closing                  = [](RawChannel& channel) { channel.close(); };
    const auto holding                  = [](RawChannel& channel) { channel.holdUntilStopped(); };
    const char* tls                     = "port={P}\n[{N}]\n$uri=/r\n$secure=2\n";
    const std::vector<FirstHopRow> rows = {
        {"TlsHelloThenSilence", tls, readThen(5, holding), -4, "Failed to activate SSL.\r\n"},
        {"TlsHelloThenHalfAServerHello", tls,
         readThen(5, sendThen(std::string("\x16\x03\x03\x00\x50\x02\x00", 7), Then::Close)), -1,
         "Failed to activate SSL.\r\n"},
        {"ConnectProxyCloses", "port=8081\nproxy=httpc://127.0.0.1:{P}\n[{N}]\n$uri=/r\n",
         readThen(8, closing), -1, "Failed to connect to remote host.\r\n"},
        {"Socks4ProxyCloses", "port=8081\nproxy=socks4://127.0.0.1:{P}\n[{N}]\n$uri=/r\n",
         readThen(8, closing), -1, "Failed to connect to remote host.\r\n"},
        {"Socks5ProxyClosesAfterTheGreeting",
         "port=8081\nproxy=socks5://127.0.0.1:{P}\n[{N}]\n$uri=/r\n", readThen(3, closing), -1,
         "Failed to connect to remote host.\r\n"},
        {"Socks5ProxyFallsSilent", "port=8081\nproxy=socks5://127.0.0.1:{P}\n[{N}]\n$uri=/r\n",
         readThen(3, sendThen(std::string("\x05\x00", 2), Then::Hold)), -4,
         "Failed to connect to remote host.\r\n"},
    };
    for (const FirstHopRow& row : rows) {
        SCOPED_TRACE(row.name);
        FixtureServer peer;
        peer.setRawHandler(row.peer);
        load("[general]\nserver=127.0.0.1\ntimeout=1\n" +
             filledIn(row.options, peer.port(), row.name));
        log.clear();
        const auto start = Clock::now();
        EXPECT_EQ(perform(row.name), row.outcome) << log.text();
        EXPECT_LT(secondsSince(start), 5.0);
        EXPECT_NE(log.text().find(row.logged), std::string::npos) << log.text();
        EXPECT_EQ(user().keptConnection, nullptr);
    }
}

// --- a whole run ---------------------------------------------------------------------------------

using Table = std::vector<std::vector<std::int32_t>>; // [entry][iteration]

TEST(HostileRun, GoesOnPastBrokenResponsesAsIgnoreerrorsSays) {
    CapturedOutput out;
    FixtureServer server;
    server.route("/ok", FixtureServer::reply(httpResponse(200, "ok")));
    server.route("/loop", FixtureServer::reply(httpResponse(302, "", "Location: /loop\r\n")));
    server.route("/reset", [](ReplyChannel& channel, const RecordedRequest&) {
        channel.send("HTTP/1.1 200 OK\r\nContent-Le");
        channel.pause(100ms);
        channel.reset();
    });
    for (int ignore : {1, 0}) {
        SCOPED_TRACE(ignore);
        TempDir dir;
        TestSetHandle ts(CreateTestSet(0));
        const std::string script = generalFor(
            server.port(), "requests=2\nkeepalive=1\ntimeout=5\nlog=1\n"
                           "projectname=hostile.tvs\nlogdir=" +
                               dir.path.string() + "\nignoreerrors=" + std::to_string(ignore) +
                               "\n[TestSeq]\nok\nreset\nloop\nok\n[ok]\n$uri=/ok\n"
                               "[reset]\n$uri=/reset\n[loop]\n$uri=/loop\n");
        ASSERT_EQ(ParseTest(ts.get(), "hostile", script.c_str()), 1);
        const auto start = Clock::now();
        EXPECT_EQ(RunTest(ts.get()), 1);
        EXPECT_LT(secondsSince(start), 20.0);

        auto* rows = static_cast<std::int32_t**>(GetResults(ts.get(), 0));
        ASSERT_NE(rows, nullptr);
        for (int l = 0; l < 2; ++l) {
            SCOPED_TRACE(l);
            EXPECT_GE(rows[0][l], 0);
            EXPECT_EQ(rows[1][l], -1);
            EXPECT_EQ(rows[2][l], ignore ? -2 : -255);
            if (ignore)
                EXPECT_GE(rows[3][l], 0);
            else
                EXPECT_EQ(rows[3][l], -255);
        }
        EXPECT_EQ(internals(ts).made.load(), 8);
        const std::string userLog = fileText(dir.path / "hostile-1x2-user1.log");
        EXPECT_EQ(countOf(userLog, "Error(HDR): 104\n"), 2) << userLog.substr(0, 2000);
        EXPECT_EQ(countOf(userLog, "Error: more than 20 redirects.\r\n"), ignore ? 2 : 0);
    }
}

} // namespace
} // namespace torvex::test
