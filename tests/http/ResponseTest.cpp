// Reading responses: body framing, keep-alive, status classes, counters and the user log.
#include "http/ExchangeHelpers.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

namespace torvex::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kWait = 5s;

// Polls until `done` holds or the time is up; the server's threads report a little later.
bool eventually(const std::function<bool()>& done) {
    auto deadline = std::chrono::steady_clock::now() + kWait;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

class Response : public TransportTest {
protected:
    void SetUp() override { server.setDefault(FixtureServer::reply(httpResponse(200, "hello"))); }
    int port() const { return server.port(); }
    std::string portText() const { return std::to_string(server.port()); }
    std::string connecting() const {
        return "\r\nConnecting to remote host: 127.0.0.1:" + portText() + "...\r\n";
    }

    // Each connection: read one request and send `reply` as it stands; then close, or wait for
    // the client to close first (counted), so that a client waiting for the close shows up.
    void serveRaw(std::string reply, bool closeAfter) {
        server.setRawHandler([this, reply, closeAfter](RawChannel& channel) {
            if (!channel.readRequest(kWait)) return;
            channel.send(reply);
            if (closeAfter) return;
            if (channel.waitForPeerClose(kWait)) ++clientClosed;
        });
    }

    std::atomic<int> clientClosed{0};
    FixtureServer server;
};

// --- Body framing ---

struct FramingRow {
    const char* name;
    const char* reply;
    bool serverCloses; // otherwise the server waits for the client to close
    const char* stored;
    const char* body;
};

class BodyFraming : public Response, public testing::WithParamInterface<FramingRow> {};

TEST_P(BodyFraming, StoresHeadersAndBody) {
    const FramingRow& row = GetParam();
    serveRaw(row.reply, row.serverCloses);
    load(generalFor(port(), "[r]\n$uri=/r\n"));
    ASSERT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(responseText(), row.stored);
    EXPECT_EQ(previousBody(), row.body);
    if (!row.serverCloses) {
        EXPECT_TRUE(eventually([&] { return clientClosed.load() == 1; }))
            << "the client waited for the server to close";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Response, BodyFraming,
    testing::Values(
        FramingRow{"ContentLength", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", false,
                   "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello", "hello"},
        FramingRow{"ContentLengthAnyCase", "HTTP/1.1 200 OK\r\ncontent-LENGTH: 3\r\n\r\nabc", false,
                   "HTTP/1.1 200 OK\r\ncontent-LENGTH: 3\r\n\r\nabc", "abc"},
        FramingRow{"ContentLengthZero", "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", false,
                   "HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", ""},
        FramingRow{"Chunked",
                   "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
                   false, "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nhello", "hello"},
        FramingRow{"ChunkedHexSizesAndTrailer",
                   "HTTP/1.1 200 OK\r\ntransfer-encoding:   Chunked\r\n\r\nA\r\n0123456789\r\n"
                   "3;x=1\r\nabc\r\n0\r\nX-Trailer: 1\r\n\r\n",
                   false, "HTTP/1.1 200 OK\r\ntransfer-encoding:   Chunked\r\n\r\n0123456789abc",
                   "0123456789abc"},
        FramingRow{"UntilClose", "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nuntil the end",
                   true, "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\nuntil the end",
                   "until the end"},
        FramingRow{"ShortBodyEndsAtClose", "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", true,
                   "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\nabc", "abc"},
        FramingRow{"ChunkCutByClose",
                   "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhel", true,
                   "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nhel", "hel"},
        FramingRow{"BareLineFeeds", "HTTP/1.1 200 OK\nContent-Length: 2\n\nok", false,
                   "HTTP/1.1 200 OK\nContent-Length: 2\n\nok", "ok"}),
    [](const testing::TestParamInfo<FramingRow>& info) { return info.param.name; });

TEST_F(Response, ContinueIsDroppedBeforeTheFinalResponse) {
    serveRaw("HTTP/1.1 100 Continue\r\nX-Step: 1\r\n\r\n"
             "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
             false);
    load(generalFor(port(), "[r]\n$uri=/r\n"));
    ASSERT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(responseText(), "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok");
    EXPECT_EQ(previousBody(), "ok");
    EXPECT_EQ(testSet.statuscounts[200].load(), 1);
    EXPECT_EQ(totalStatusCount(testSet), 1);
    EXPECT_EQ(log.text().find("Continue"), std::string::npos) << log.text();
    EXPECT_EQ(user().traffic.bytesReceived, responseText().size());
}

TEST_F(Response, LargeBodiesArriveWhole) {
    std::string big(20000, ' ');
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>('a' + i % 26);
    const std::string chunked = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2710\r\n" +
                                big.substr(0, 10000) + "\r\n2710\r\n" + big.substr(10000) +
                                "\r\n0\r\n\r\n";
    // Pieces of 3000 bytes split the data but no chunk line end.
    server.route("/plain", [big](ReplyChannel& channel, const RecordedRequest&) {
        channel.sendInPieces(httpResponse(200, big), 3000, 1ms);
    });
    server.route("/chunked", [chunked](ReplyChannel& channel, const RecordedRequest&) {
        channel.sendInPieces(chunked, 3000, 1ms);
    });
    load(generalFor(port(), "keepalive=1\n[plain]\n$uri=/plain\n[chunked]\n$uri=/chunked\n"));
    ASSERT_GE(perform("plain"), 0) << log.text();
    EXPECT_EQ(previousBody(), big);
    ASSERT_GE(perform("chunked"), 0) << log.text();
    EXPECT_EQ(previousBody(), big);
    // Both were read to their exact end: the kept connection still serves the next request.
    ASSERT_GE(perform("plain"), 0) << log.text();
    EXPECT_EQ(previousBody(), big);
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_F(Response, MeasuredTimeIsRoundedDown) {
    server.route("/slow", [](ReplyChannel& channel, const RecordedRequest&) {
        if (channel.pause(30ms)) channel.send(httpResponse(200, "slow"));
    });
    load(generalFor(port(), "round=20\n[r]\n$uri=/slow\n"));
    const int outcome = perform("r");
    EXPECT_GE(outcome, 20000) << log.text();
    EXPECT_EQ(outcome % 20000, 0) << outcome;
}

// --- Keep-alive ---

TEST_F(Response, KeptConnectionServesTheNextRequest) {
    load(generalFor(port(), "keepalive=1\n[a]\n$uri=/a\n[b]\n$uri=/b\n"));
    ASSERT_GE(perform("a"), 0) << log.text();
    ASSERT_GE(perform("b"), 0) << log.text();
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].connection, requests[1].connection);
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(countOf(log.text(), "Connecting to remote host"), 1) << log.text();
}

struct ClosingRow {
    const char* name;
    const char* reply;
    bool serverCloses;
    bool clientCloses;
};

class ClosingResponse : public Response, public testing::WithParamInterface<ClosingRow> {};

TEST_P(ClosingResponse, DecidesWhetherTheConnectionIsKept) {
    const ClosingRow& row = GetParam();
    server.setDefault(row.serverCloses ? FixtureServer::replyAndClose(row.reply)
                                       : FixtureServer::reply(row.reply));
    load(generalFor(port(), "keepalive=1\n[r]\n$uri=/r\n"));
    ASSERT_GE(perform("r"), 0) << log.text();
    ASSERT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(previousBody(), "ok");
    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].connection != requests[1].connection, row.clientCloses);
    EXPECT_EQ(countOf(log.text(), "Connecting to remote host"), row.clientCloses ? 2 : 1);
}

INSTANTIATE_TEST_SUITE_P(
    Response, ClosingResponse,
    testing::Values(
        ClosingRow{"Http10Status", "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok", false, true},
        ClosingRow{"ConnectionCloseAfterSpaces",
                   "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection:   close\r\n\r\nok", false,
                   true},
        ClosingRow{"ConnectionCloseAnyCase",
                   "HTTP/1.1 200 OK\r\nconnection: CLOSE\r\nContent-Length: 2\r\n\r\nok", false,
                   true},
        ClosingRow{"ProxyConnectionClose",
                   "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nProxy-Connection: close\r\n\r\nok",
                   false, true},
        ClosingRow{"ServerClosesAfterSayingSo",
                   "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok", true,
                   true},
        ClosingRow{"ConnectionKeepAlive",
                   "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nConnection: Keep-Alive\r\n\r\nok",
                   false, false},
        ClosingRow{"NoConnectionHeader", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok", false,
                   false}),
    [](const testing::TestParamInfo<ClosingRow>& info) { return info.param.name; });

TEST_F(Response, SilentlyClosedKeptConnectionFailsOnce) {
    server.setDefault(FixtureServer::replyAndClose(httpResponse(200, "ok")));
    load(generalFor(port(), "keepalive=1\n[r]\n$uri=/r\n"));
    ASSERT_GE(perform("r"), 0) << log.text();
    ASSERT_TRUE(server.waitForConnections(1, kWait));
    std::this_thread::sleep_for(50ms); // let the server's close arrive

    // Nothing notices the close while idle: the kept connection is used and fails, no retry.
    log.clear();
    EXPECT_EQ(perform("r"), -1);
    EXPECT_EQ(log.text().find("Connecting to remote host"), std::string::npos) << log.text();
    EXPECT_NE(log.text().find("Error(HDR): "), std::string::npos) << log.text();

    log.clear();
    ASSERT_GE(perform("r"), 0) << log.text();
    EXPECT_EQ(countOf(log.text(), "Connecting to remote host"), 1) << log.text();
    EXPECT_EQ(server.connectionCount(), 2);
}

// --- Status classes and counters ---

struct StatusRow {
    const char* name;
    const char* reply;
    bool accepted;
    int counted; // -1: no status counted
};

class StatusClass : public Response, public testing::WithParamInterface<StatusRow> {};

TEST_P(StatusClass, DecidesTheOutcome) {
    const StatusRow& row = GetParam();
    server.setDefault(FixtureServer::replyAndClose(row.reply));
    load(generalFor(port(), "[r]\n$uri=/r\n"));
    const int outcome = perform("r");
    if (row.accepted) {
        EXPECT_GE(outcome, 0) << log.text();
        EXPECT_TRUE(user().previousBody().present());
    } else {
        EXPECT_EQ(outcome, -2) << log.text();
        EXPECT_FALSE(user().previousBody().present());
    }
    if (row.counted >= 0) {
        EXPECT_EQ(testSet.statuscounts[row.counted].load(), 1);
    }
    EXPECT_EQ(totalStatusCount(testSet), row.counted >= 0 ? 1 : 0);
    EXPECT_EQ(testSet.sent.load(), 1);
    EXPECT_EQ(user().requestCount, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Response, StatusClass,
    testing::Values(
        StatusRow{"Ok", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx", true, 200},
        StatusRow{"NotFound", "HTTP/1.1 404 Not Found\r\nContent-Length: 1\r\n\r\nx", false, 404},
        StatusRow{"ServerError", "HTTP/1.1 500 Oops\r\nContent-Length: 0\r\n\r\n", false, 500},
        StatusRow{"NoContent", "HTTP/1.1 204 No Content\r\n\r\n", false, 204},
        StatusRow{"NotModified", "HTTP/1.1 304 Not Modified\r\n\r\n", false, 304},
        StatusRow{"Garbage", "garbage\r\n\r\n", false, 0},
        StatusRow{"NoStatusNumber", "HTTP/1.1 OK\r\n\r\n", false, 0},
        StatusRow{"OtherMajorVersion", "HTTP/2 200\r\n\r\n", false, 0},
        StatusRow{"StatusAbove999", "HTTP/1.1 1200 Odd\r\nContent-Length: 0\r\n\r\n", false, -1}),
    [](const testing::TestParamInfo<StatusRow>& info) { return info.param.name; });

TEST_F(Response, FailedRequestForgetsThePreviousBody) {
    server.route("/missing", FixtureServer::reply(httpResponse(404, "no")));
    server.route("/drop", FixtureServer::closeImmediately());
    load(generalFor(port(), "[ok]\n$uri=/ok\n[missing]\n$uri=/missing\n[drop]\n$uri=/drop\n"));
    ASSERT_GE(perform("ok"), 0) << log.text();
    EXPECT_EQ(previousBody(), "hello");
    EXPECT_EQ(perform("missing"), -2);
    EXPECT_FALSE(user().previousBody().present());
    ASSERT_GE(perform("ok"), 0) << log.text();
    EXPECT_EQ(perform("drop"), -1);
    EXPECT_FALSE(user().previousBody().present());
    EXPECT_EQ(testSet.sent.load(), 4);
    EXPECT_EQ(user().requestCount, 4);
    EXPECT_EQ(totalStatusCount(testSet), 3);
}

// --- The user log ---

TEST_F(Response, LogShowsRequestAndResponse) {
    load(generalFor(port(), "[r]\n$uri=/log\n"));
    ASSERT_GE(perform("r"), 0);
    EXPECT_EQ(log.text(), connecting() + "Request:\r\nGET /log HTTP/1.1\r\n" + hostLine(port()) +
                              "Connection: close\r\n\r\n\r\n"
                              "Response:\r\nHTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhello\r\n");
    EXPECT_EQ(user().traffic.bytesSent, requestText().size());
    EXPECT_EQ(user().traffic.bytesReceived, responseText().size());
}

TEST_F(Response, NetworkFailuresAreLogged) {
    const int closed = closedPort();
    server.route("/drop", FixtureServer::closeImmediately());
    server.route("/cut", [](ReplyChannel& channel, const RecordedRequest&) {
        channel.send("HTTP/1.1 200 OK\r\nContent-Le");
        channel.close();
    });
    server.route("/nochunk", [](ReplyChannel& channel, const RecordedRequest&) {
        channel.send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n");
        channel.close();
    });
    load(generalFor(port(), "[unresolved]\n$server=nosuch.invalid\n$uri=/u\n"
                            "[refused]\n$server=127.0.0.1\n$port=" +
                                std::to_string(closed) +
                                "\n$uri=/r\n"
                                "[drop]\n$server=127.0.0.1\n$uri=/drop\n"
                                "[cut]\n$server=127.0.0.1\n$uri=/cut\n"
                                "[nochunk]\n$server=127.0.0.1\n$uri=/nochunk\n"));

    EXPECT_EQ(perform("unresolved"), -1);
    EXPECT_EQ(log.text(), "Failed to resolve hostname: nosuch.invalid.\r\n");

    log.clear();
    EXPECT_EQ(perform("refused"), -1);
    const std::string peer = "127.0.0.1:" + std::to_string(closed);
    EXPECT_EQ(log.text(), "\r\nConnecting to remote host: " + peer +
                              "...\r\nFailed to connect to remote host: " + peer + ".\r\n");
    // Neither was sent.
    EXPECT_EQ(testSet.sent.load(), 0);
    EXPECT_EQ(user().requestCount, 0);

    struct Dropped {
        const char* name;
        const char* error;
    };
    for (const Dropped& dropped : {Dropped{"drop", "Error(HDR): "}, Dropped{"cut", "Error(HDR): "},
                                   Dropped{"nochunk", "Error(CHUNKLEN): "}}) {
        SCOPED_TRACE(dropped.name);
        log.clear();
        EXPECT_EQ(perform(dropped.name), -1);
        const std::string request = requestText();
        const std::string head = connecting() + "Request:\r\n" + request + "\r\n" + dropped.error;
        EXPECT_EQ(log.text().substr(0, head.size()), head) << log.text();
        EXPECT_EQ(log.text().back(), '\n');
        EXPECT_EQ(log.text().find("Response:"), std::string::npos) << log.text();
    }
    EXPECT_EQ(testSet.sent.load(), 3);
    EXPECT_EQ(totalStatusCount(testSet), 0);
}

} // namespace
} // namespace torvex::test
