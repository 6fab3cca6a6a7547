// Connections of a virtual user: reuse and release of the kept connection, the line reader,
// bandwidth emulation, time-outs and the stop of a run, traffic figures and what is measured.
#include "http/Connection.h"
#include "http/Exchange.h"
#include "http/ExchangeHelpers.h"
#include "http/UserConnections.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace torvex::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::uint32_t loopback() {
    return htonl(INADDR_LOOPBACK);
}

// An open connection to the fixture with the given waits; null when it cannot connect.
std::unique_ptr<CConnection> connectedTo(const FixtureServer& server, WaitRules rules) {
    auto connection = std::make_unique<CConnection>(rules);
    connection->setTarget(loopback(), server.port());
    if (connection->connect() != 0) return nullptr;
    return connection;
}

// Stops a run (or stores 1 into a bare abort flag) from another thread after a delay, as
// AbortRun does. Destruction before the delay cancels it.
class AbortLater {
public:
    AbortLater(std::atomic<int>& flag, std::chrono::milliseconds delay)
        : AbortLater([&flag] { flag.store(1); }, delay) {}
    // A test set's stop also wakes the waits that sleep on its stop signal.
    AbortLater(torvex::CTestSet& testSet, std::chrono::milliseconds delay)
        : AbortLater([&testSet] { testSet.abort(); }, delay) {}
    ~AbortLater() {
        {
            std::lock_guard lock(mutex_);
            cancelled_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    AbortLater(const AbortLater&)            = delete;
    AbortLater& operator=(const AbortLater&) = delete;

private:
    AbortLater(std::function<void()> stop, std::chrono::milliseconds delay)
        : thread_([this, stop = std::move(stop), delay] {
              std::unique_lock lock(mutex_);
              if (!wake_.wait_for(lock, delay, [this] { return cancelled_; })) stop();
          }) {}

    std::mutex mutex_;
    std::condition_variable wake_;
    bool cancelled_ = false;
    std::thread thread_;
};

// A port where nothing listens: bound once by the kernel's choice, then released.
int unusedPort() {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family      = AF_INET;
    address.sin_addr.s_addr = loopback();
    ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(fd);
    return ntohs(address.sin_port);
}

// A listener that never accepts, with its accept queue filled, so that the kernel drops further
// SYNs and a connect to it hangs instead of completing or being refused.
class FullListener {
public:
    FullListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family      = AF_INET;
        address.sin_addr.s_addr = loopback();
        socklen_t size          = sizeof address;
        if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
            ::listen(fd_, 0) != 0 ||
            ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        port_ = ntohs(address.sin_port);
        for (int i = 0; i < 8 && !hangs_; ++i) {
            int filler = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
            fillers_.push_back(filler);
            ::connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
            pollfd entry{filler, POLLOUT, 0};
            hangs_ = ::poll(&entry, 1, 300) == 0;
        }
    }
    ~FullListener() {
        for (int filler : fillers_) ::close(filler);
        if (fd_ != -1) ::close(fd_);
    }
    FullListener(const FullListener&)            = delete;
    FullListener& operator=(const FullListener&) = delete;

    // Whether a connect to it now stays pending.
    bool hangs() const { return hangs_; }
    int port() const { return port_; }

private:
    int fd_     = -1;
    int port_   = 0;
    bool hangs_ = false;
    std::vector<int> fillers_;
};

class Connections : public TransportTest {
protected:
    // General options for the fixture server, then `rest` (more options and the sections).
    static std::string scriptFor(int port, std::string_view rest) {
        return "[general]\nserver=127.0.0.1\nport=" + std::to_string(port) + "\n" +
               std::string(rest);
    }
};

// --- the kept connection -------------------------------------------------------------------

TEST_F(Connections, SameAddressAndPortReuseTheKeptConnection) {
    FixtureServer server;
    server.setDefault(FixtureServer::reply(httpResponse(200, "ok")));
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor(server.port(), "keepalive=1\n[a]\n$uri=/a\n[b]\n$uri=/b\n")));
    EXPECT_GE(perform("a"), 0) << log.text();
    EXPECT_GE(perform("b"), 0) << log.text();
    EXPECT_GE(perform("a"), 0) << log.text();

    EXPECT_EQ(countOf(log.text(), "Connecting to remote host"), 1u) << log.text();
    EXPECT_EQ(server.connectionCount(), 1);
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    for (const auto& request : requests) EXPECT_EQ(request.connection, 0) << request.text;
    ASSERT_NE(user().keptConnection, nullptr);
    EXPECT_TRUE(user().keptConnection->isOpen());
}

TEST_F(Connections, AnotherPortGetsANewConnectionAndTheOldOneStaysKeptUntilRelease) {
    std::atomic<bool> firstClosed{false};
    FixtureServer first;
    first.setRawHandler([&](RawChannel& channel) {
        if (channel.waitForPeerClose(10s)) firstClosed = true;
    });
    FixtureServer second;
    second.setRawHandler([](RawChannel& channel) { channel.waitForPeerClose(10s); });
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(first.port(), "")));

    RequestTarget toFirst;
    toFirst.host           = "127.0.0.1";
    toFirst.port           = first.port();
    RequestTarget toSecond = toFirst;
    toSecond.port          = second.port();

    auto connection = acquireConnection(user(), toFirst);
    ASSERT_NE(connection, nullptr);
    EXPECT_FALSE(connection->isOpen());
    ASSERT_EQ(establishConnection(user(), connection, toFirst), 0) << log.text();
    CConnection* kept = connection.get();
    releaseConnection(user(), std::move(connection));
    EXPECT_EQ(user().keptConnection.get(), kept);

    // Same address and port: the kept connection itself, taken out of the slot.
    connection = acquireConnection(user(), toFirst);
    EXPECT_EQ(connection.get(), kept);
    EXPECT_EQ(user().keptConnection, nullptr);
    ASSERT_EQ(establishConnection(user(), connection, toFirst), 0);
    releaseConnection(user(), std::move(connection));

    // Another port: a new connection, while the old one stays kept and open.
    connection = acquireConnection(user(), toSecond);
    ASSERT_NE(connection, nullptr);
    EXPECT_NE(connection.get(), kept);
    EXPECT_FALSE(connection->isOpen());
    EXPECT_EQ(user().keptConnection.get(), kept);
    ASSERT_EQ(establishConnection(user(), connection, toSecond), 0) << log.text();
    EXPECT_EQ(user().keptConnection.get(), kept);
    EXPECT_TRUE(kept->isOpen());
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(firstClosed);

    CConnection* replacement = connection.get();
    releaseConnection(user(), std::move(connection));
    EXPECT_EQ(user().keptConnection.get(), replacement);
    const auto deadline = Clock::now() + 3s;
    while (!firstClosed && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
    EXPECT_TRUE(firstClosed) << "the replaced connection was not closed";
    EXPECT_EQ(countOf(log.text(), "Connecting to remote host"), 2u) << log.text();
    EXPECT_EQ(first.connectionCount(), 1);
}

TEST_F(Connections, KeptConnectionClosedByTheServerFailsTheNextRequestWithoutRetry) {
    FixtureServer server;
    // HTTP/1.1 without "Connection: close": the client keeps it, the server then closes.
    server.setDefault(FixtureServer::replyAndClose(httpResponse(200, "once")));
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(server.port(), "keepalive=1\n[a]\n$uri=/a\n")));
    EXPECT_GE(perform("a"), 0) << log.text();
    ASSERT_NE(user().keptConnection, nullptr);
    std::this_thread::sleep_for(300ms); // the server's close arrives while the client is idle

    EXPECT_EQ(perform("a"), -1) << log.text();
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(countOf(log.text(), "Connecting to remote host"), 1u) << log.text();
    EXPECT_EQ(user().keptConnection, nullptr);

    // The request after that connects afresh.
    EXPECT_GE(perform("a"), 0) << log.text();
    EXPECT_EQ(server.connectionCount(), 2);
}

TEST_F(Connections, FailedConnectElsewhereLeavesTheKeptConnectionInPlace) {
    FixtureServer server;
    server.setDefault(FixtureServer::reply(httpResponse(200, "kept")));
    const int refused = unusedPort();
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(
        server.port(),
        "keepalive=1\n[a]\n$uri=/a\n[b]\n$uri=/b\n$port=" + std::to_string(refused) + "\n")));
    EXPECT_GE(perform("a"), 0) << log.text();
    CConnection* kept = user().keptConnection.get();
    EXPECT_EQ(perform("b"), -1);
    EXPECT_EQ(user().keptConnection.get(), kept);
    EXPECT_GE(perform("a"), 0) << log.text();
    EXPECT_EQ(server.connectionCount(), 1);
    EXPECT_EQ(countOf(log.text(), "Connecting to remote host"), 2u) << log.text();
}

TEST_F(Connections, RefusedConnectIsANetworkErrorWithItsLogLine) {
    const int port = unusedPort();
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(port, "[a]\n$uri=/a\n")));
    EXPECT_EQ(perform("a"), -1);
    const std::string hop = "127.0.0.1:" + std::to_string(port);
    EXPECT_EQ(log.text(), "\r\nConnecting to remote host: " + hop +
                              "...\r\nFailed to connect to remote host: " + hop + ".\r\n");
    EXPECT_EQ(user().keptConnection, nullptr);
    EXPECT_EQ(user().traffic.bytesSent, 0u);
}

TEST_F(Connections, PeerIsKnownOnlyWhileOpen) {
    std::atomic<int> closes{0};
    FixtureServer server;
    server.setRawHandler([&](RawChannel& channel) {
        if (channel.waitForPeerClose(10s)) ++closes;
    });
    CConnection connection(WaitRules{3000, nullptr});
    std::uint32_t address = 0;
    int port              = 0;
    EXPECT_FALSE(connection.peer(address, port));
    connection.setTarget(loopback(), server.port());
    EXPECT_FALSE(connection.isOpen());
    EXPECT_FALSE(connection.peer(address, port));

    ASSERT_EQ(connection.connect(), 0);
    ASSERT_TRUE(connection.peer(address, port));
    EXPECT_EQ(address, loopback());
    EXPECT_EQ(port, server.port());

    // A new target closes the open connection first.
    connection.setTarget(loopback(), server.port());
    EXPECT_FALSE(connection.isOpen());
    ASSERT_TRUE(server.waitForConnections(1, 2s));
    const auto deadline = Clock::now() + 3s;
    while (closes == 0 && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(closes, 1);

    ASSERT_EQ(connection.connect(), 0);
    connection.close();
    EXPECT_FALSE(connection.peer(address, port));
    connection.close(); // closing a closed connection does nothing
    EXPECT_FALSE(connection.isOpen());
}

// --- traffic figures -----------------------------------------------------------------------

TEST_F(Connections, TrafficCountsRequestTextsAndStoredResponses) {
    FixtureServer server;
    server.route("/plain", FixtureServer::reply(httpResponse(200, "plain body")));
    const std::string chunkedHead = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
    server.route("/chunked", FixtureServer::reply(chunkedHead + "5\r\nhello\r\n0\r\n\r\n"));
    server.route("/gone", FixtureServer::closeImmediately());
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(server.port(), "[plain]\n$uri=/plain\n[chunked]\n"
                                                          "$uri=/chunked\n[gone]\n$uri=/gone\n")));
    EXPECT_GE(perform("plain"), 0) << log.text();
    std::uint64_t sent     = requestText().size();
    std::uint64_t received = responseText().size();
    EXPECT_EQ(responseText(), httpResponse(200, "plain body"));

    EXPECT_GE(perform("chunked"), 0) << log.text();
    sent += requestText().size();
    // Stored is the chunk data only, not the framing that came over the wire.
    EXPECT_EQ(responseText(), chunkedHead + "hello");
    received += responseText().size();
    EXPECT_EQ(user().traffic.bytesSent, sent);
    EXPECT_EQ(user().traffic.bytesReceived, received);
    EXPECT_GT(user().traffic.receiveTimeMs, 0.0);
    EXPECT_GE(user().traffic.sendTimeMs, 0.0);

    // Sent but never answered: the send figures grow, the receive figures do not.
    EXPECT_EQ(perform("gone"), -1) << log.text();
    sent += requestText().size();
    EXPECT_EQ(user().traffic.bytesSent, sent);
    EXPECT_EQ(user().traffic.bytesReceived, received);
}

// --- the line reader -----------------------------------------------------------------------

class LineReader : public ::testing::Test {
protected:
    // Serves `bytes` in one write on every connection, then waits for the client to leave.
    void serve(std::string bytes, bool closeAfter = false) {
        server.setRawHandler([bytes, closeAfter](RawChannel& channel) {
            channel.send(bytes);
            if (closeAfter)
                channel.close();
            else
                channel.waitForPeerClose(10s);
        });
    }
    void connect() {
        connection.setTarget(loopback(), server.port());
        ASSERT_EQ(connection.connect(), 0);
    }
    std::string line(std::size_t size = 4096) {
        std::vector<char> buffer(size + 1, '#');
        int n = connection.readLine(buffer.data(), size);
        if (n < 0) return "<" + std::to_string(n) + ">";
        EXPECT_EQ(buffer[static_cast<std::size_t>(n)], '\0');
        EXPECT_EQ(std::strlen(buffer.data()), static_cast<std::size_t>(n));
        return std::string(buffer.data(), static_cast<std::size_t>(n));
    }

    FixtureServer server;
    CConnection connection{WaitRules{3000, nullptr}};
};

TEST_F(LineReader, LineOfBufferSizeMinusOneComesBackWithoutItsLineFeed) {
    const std::string long4095(4095, 'x');
    serve(long4095 + "yz\r\n" + std::string(4094, 'w') + "\n\n");
    ASSERT_NO_FATAL_FAILURE(connect());
    EXPECT_EQ(line(), long4095);
    EXPECT_EQ(line(), "yz\r\n"); // the same line goes on
    // 4094 bytes and the line feed fill the buffer exactly.
    EXPECT_EQ(line(), std::string(4094, 'w') + "\n");
    EXPECT_EQ(line(), "\n");
}

TEST_F(LineReader, SmallBufferReturnsALineInPieces) {
    serve("abcdefgh\r\nnext\n");
    ASSERT_NO_FATAL_FAILURE(connect());
    EXPECT_EQ(line(5), "abcd");
    EXPECT_EQ(line(5), "efgh");
    EXPECT_EQ(line(5), "\r\n");
    EXPECT_EQ(line(5), "next");
    EXPECT_EQ(line(5), "\n");
}

TEST_F(LineReader, LinesSplitOverManySegments) {
    server.setRawHandler([](RawChannel& channel) {
        channel.sendInPieces("HTTP/1.1 200 OK\r\nX-Long-Header: abcdefghij\r\n\r\nBODY", 3, 2ms);
        channel.waitForPeerClose(10s);
    });
    ASSERT_NO_FATAL_FAILURE(connect());
    EXPECT_EQ(line(), "HTTP/1.1 200 OK\r\n");
    EXPECT_EQ(line(), "X-Long-Header: abcdefghij\r\n");
    EXPECT_EQ(line(), "\r\n");
    std::string body;
    char buffer[16];
    for (int i = 0; i < 10 && body.size() < 4; ++i) {
        long n = connection.receive(buffer, sizeof buffer);
        if (n <= 0) break;
        body.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(body, "BODY");
}

TEST_F(LineReader, BytesAfterTheLineAreLeftForTheNextReceive) {
    serve("L1\nrest-of-data", true);
    ASSERT_NO_FATAL_FAILURE(connect());
    EXPECT_EQ(line(), "L1\n");
    char buffer[100];
    std::string rest;
    for (int i = 0; i < 10 && rest.size() < 12; ++i) {
        long n = connection.receive(buffer, sizeof buffer);
        if (n <= 0) break;
        rest.append(buffer, static_cast<std::size_t>(n));
    }
    EXPECT_EQ(rest, "rest-of-data");
    EXPECT_EQ(connection.receive(buffer, sizeof buffer), 0); // the peer's close
    EXPECT_FALSE(connection.isOpen());
}

TEST_F(LineReader, ConnectionClosingInsideALineFails) {
    serve("complete\npartial", true);
    ASSERT_NO_FATAL_FAILURE(connect());
    EXPECT_EQ(line(), "complete\n");
    EXPECT_EQ(line(), "<-1>");
    EXPECT_FALSE(connection.isOpen());
}

TEST_F(Connections, HeadersArrivingByteByByteAreStoredExactly) {
    FixtureServer server;
    const std::string response =
        "HTTP/1.1 200 OK\r\nX-One: 1\r\nContent-Length: 9\r\nX-Two:  two \r\n\r\nbyte-wise";
    server.setDefault([response](ReplyChannel& channel, const RecordedRequest&) {
        channel.sendInPieces(response, 1, 1ms);
    });
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(server.port(), "[a]\n$uri=/a\n")));
    EXPECT_GE(perform("a"), 0) << log.text();
    EXPECT_EQ(responseText(), response);
    EXPECT_EQ(previousBody(), "byte-wise");
    EXPECT_EQ(user().traffic.bytesReceived, response.size());
}

// --- bandwidth emulation -------------------------------------------------------------------

class Bandwidth : public LineReader {};

TEST_F(Bandwidth, ReceivesAndSendsPauseUntilTheirBytesAreDue) {
    serve(std::string(50, 'r'));
    ASSERT_NO_FATAL_FAILURE(connect());
    EXPECT_EQ(connection.setSpeed(100), 0); // 50 bytes are due after 500 ms
    char buffer[64];
    auto start = Clock::now();
    EXPECT_EQ(connection.receive(buffer, 50), 50);
    double took = secondsSince(start);
    EXPECT_GE(took, 0.45);
    EXPECT_LT(took, 3.0);

    EXPECT_EQ(connection.setSpeed(1000), 100); // 500 bytes are due after 500 ms
    const std::string data(500, 's');
    start = Clock::now();
    EXPECT_EQ(connection.send(data.data(), data.size()), 500);
    took = secondsSince(start);
    EXPECT_GE(took, 0.45);
    EXPECT_LT(took, 3.0);
}

TEST_F(Bandwidth, ASlowTransferIsNotPausedOnTopOfItsOwnDuration) {
    server.setRawHandler([](RawChannel& channel) {
        channel.pause(800ms);
        channel.send(std::string(50, 'r'));
        channel.waitForPeerClose(10s);
    });
    ASSERT_NO_FATAL_FAILURE(connect());
    connection.setSpeed(100); // due after 500 ms, but the bytes take 800 ms to come
    char buffer[64];
    const auto start  = Clock::now();
    long n            = connection.receive(buffer, 50);
    const double took = secondsSince(start);
    EXPECT_EQ(n, 50);
    EXPECT_GE(took, 0.75);
    EXPECT_LT(took, 1.2) << "paused after a transfer that was already slower than its due time";
}

TEST_F(Bandwidth, PausesLongerThanTwoMinutesAreSkipped) {
    serve(std::string(4096, 'r'));
    std::atomic<int> abort{0};
    // Should a pause be taken after all, the stop of the run ends it.
    CConnection guarded{WaitRules{3000, &abort}};
    guarded.setTarget(loopback(), server.port());
    ASSERT_EQ(guarded.connect(), 0);
    AbortLater watchdog(abort, 8s);
    std::this_thread::sleep_for(50ms); // the 4096 bytes are all there before the receive

    guarded.setSpeed(30); // 4096 bytes are due after 136 s
    std::vector<char> buffer(4096);
    std::size_t received = 0;
    const auto start     = Clock::now();
    long n               = guarded.receive(buffer.data(), buffer.size());
    const double took    = secondsSince(start);
    if (n > 0) received = static_cast<std::size_t>(n);
    EXPECT_EQ(received, 4096u);
    EXPECT_LT(took, 1.0);

    guarded.setSpeed(8); // 1024 bytes are due after 128 s
    const std::string data(1024, 's');
    const auto sendStart = Clock::now();
    EXPECT_EQ(guarded.send(data.data(), data.size()), 1024);
    EXPECT_LT(secondsSince(sendStart), 1.0);
}

TEST_F(Bandwidth, AStopOfTheRunEndsAPause) {
    serve(std::string(10, 'r'));
    std::atomic<int> abort{0};
    CConnection guarded{WaitRules{-1, &abort}};
    guarded.setTarget(loopback(), server.port());
    ASSERT_EQ(guarded.connect(), 0);
    guarded.setSpeed(1); // 10 bytes are due after 10 s
    char buffer[16];
    AbortLater stop(abort, 300ms);
    const auto start = Clock::now();
    guarded.receive(buffer, sizeof buffer);
    const double took = secondsSince(start);
    EXPECT_GE(took, 0.25);
    EXPECT_LT(took, 1.5);
}

TEST_F(Connections, ABodyAtLowSpeedTakesAtLeastItsSizeOverTheSpeed) {
    FixtureServer server;
    server.setDefault(FixtureServer::reply(httpResponse(200, std::string(5000, 'b'))));
    // 80000 bits per second: 10000 bytes per second, so 5000 bytes take half a second.
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor(server.port(), "maxspeed=80000\nround=0\n[a]\n$uri=/a\n")));
    const auto start  = Clock::now();
    int outcome       = perform("a");
    const double took = secondsSince(start);
    EXPECT_GE(outcome, 400000) << log.text();
    EXPECT_GE(took, 0.45);
    EXPECT_LT(took, 3.0);
    EXPECT_EQ(previousBody().size(), 5000u);

    ASSERT_NO_FATAL_FAILURE(option("maxspeed", "0"));
    const auto fast = Clock::now();
    EXPECT_GE(perform("a"), 0) << log.text();
    EXPECT_LT(secondsSince(fast), 0.4);
}

TEST_F(Connections, AReusedConnectionTakesTheCurrentSpeed) {
    FixtureServer server;
    server.setDefault(FixtureServer::reply(httpResponse(200, std::string(5000, 'b'))));
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(server.port(), "keepalive=1\n[a]\n$uri=/a\n")));
    EXPECT_GE(perform("a"), 0) << log.text();
    ASSERT_NE(user().keptConnection, nullptr);

    testSet.maxspeed = 80000; // as a later option assignment would, without a new user
    auto start       = Clock::now();
    EXPECT_GE(perform("a"), 0) << log.text();
    EXPECT_GE(secondsSince(start), 0.45);

    testSet.maxspeed = 0;
    start            = Clock::now();
    EXPECT_GE(perform("a"), 0) << log.text();
    EXPECT_LT(secondsSince(start), 0.4);
    EXPECT_EQ(server.connectionCount(), 1);
}

TEST_F(Connections, BelowEightBitsPerSecondNothingIsEmulated) {
    FixtureServer server;
    server.setDefault(FixtureServer::reply(httpResponse(200, "tiny")));
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(server.port(), "maxspeed=7\n[a]\n$uri=/a\n")));
    // At one byte per second this exchange would pause for minutes; the stop bounds the test.
    AbortLater watchdog(testSet, 5s);
    const auto start = Clock::now();
    EXPECT_GE(perform("a"), 0) << log.text();
    EXPECT_LT(secondsSince(start), 1.5);
    EXPECT_EQ(previousBody(), "tiny");
}

TEST_F(Connections, EightBitsPerSecondIsEmulatedAndTheStopEndsThePause) {
    FixtureServer server;
    server.setDefault(FixtureServer::reply(httpResponse(200, "tiny")));
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(server.port(), "maxspeed=8\n[a]\n$uri=/a\n")));
    AbortLater stop(testSet, 500ms);
    const auto start = Clock::now();
    perform("a");
    const double took = secondsSince(start);
    EXPECT_GE(took, 0.45) << "one byte per second did not pause";
    EXPECT_LT(took, 2.0) << "the stop did not end the pause";
}

// --- time-outs and the stop of a run -------------------------------------------------------

TEST_F(Connections, SilentServerTimesOut) {
    FixtureServer server;
    server.setDefault(FixtureServer::silent());
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(server.port(), "timeout=1\n[a]\n$uri=/a\n")));
    const auto start = Clock::now();
    EXPECT_EQ(perform("a"), -4) << log.text();
    const double took = secondsSince(start);
    EXPECT_GE(took, 0.9);
    EXPECT_LT(took, 3.0);
    EXPECT_EQ(user().keptConnection, nullptr); // closed and dropped
    EXPECT_EQ(server.connectionCount(), 1);
}

// A server that never stops sending keeps every wait short; the stop must still be seen.
TEST_F(Connections, StopEndsABodyThatNeverEnds) {
    FixtureServer server;
    server.setDefault([](ReplyChannel& channel, const RecordedRequest&) {
        channel.send("HTTP/1.1 200 OK\r\n\r\n");
        const std::string piece(16384, 'x');
        for (int i = 0; i < 20000 && channel.send(piece); ++i) {
        }
    });
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(server.port(), "timeout=0\n[a]\n$uri=/a\n")));
    AbortLater stop(testSet, 300ms);
    const auto start = Clock::now();
    EXPECT_EQ(perform("a"), -1);
    EXPECT_LT(secondsSince(start), 2.0);
    EXPECT_EQ(user().keptConnection, nullptr);
}

TEST_F(Connections, ServerFallingSilentInsideTheBodyTimesOut) {
    FixtureServer server;
    server.setDefault([](ReplyChannel& channel, const RecordedRequest&) {
        channel.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nonly ten..");
        channel.holdUntilStopped();
    });
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor(server.port(), "timeout=1\nkeepalive=1\n[a]\n$uri=/a\n")));
    const auto start = Clock::now();
    EXPECT_EQ(perform("a"), -4) << log.text();
    const double took = secondsSince(start);
    EXPECT_GE(took, 0.9);
    EXPECT_LT(took, 3.0);
    EXPECT_EQ(user().keptConnection, nullptr);
}

TEST_F(Connections, TheTimeOutBoundsEachWaitNotTheWholeRequest) {
    FixtureServer server;
    // Two seconds in all, but never more than 300 ms without a byte.
    server.setDefault([](ReplyChannel& channel, const RecordedRequest&) {
        channel.send("HTTP/1.1 200 OK\r\nContent-Length: 7\r\n\r\n");
        channel.sendInPieces("trickle", 1, 300ms);
    });
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(server.port(), "timeout=1\n[a]\n$uri=/a\n")));
    const auto start = Clock::now();
    EXPECT_GE(perform("a"), 0) << log.text();
    EXPECT_GE(secondsSince(start), 1.5);
    EXPECT_EQ(previousBody(), "trickle");
}

TEST_F(Connections, StopOfTheRunEndsAWaitWithoutTimeOut) {
    for (const char* timeout : {"0", "60"}) {
        SCOPED_TRACE(std::string("timeout=") + timeout);
        FixtureServer server;
        server.setDefault(FixtureServer::silent());
        testSet.abortflag = 0;
        testSet.stopSignal.clear();
        ASSERT_NO_FATAL_FAILURE(load(scriptFor(
            server.port(), "timeout=" + std::string(timeout) + "\n[a" + timeout + "]\n$uri=/a\n")));
        AbortLater stop(testSet, 300ms);
        const auto start  = Clock::now();
        const int outcome = perform(("a" + std::string(timeout)).c_str());
        const double took = secondsSince(start);
        EXPECT_LT(outcome, 0);
        EXPECT_NE(outcome, -4) << "a stop is not a time-out";
        EXPECT_GE(took, 0.25);
        EXPECT_LT(took, 1.5);
        EXPECT_EQ(user().keptConnection, nullptr);
    }
}

TEST_F(Connections, WithoutAbortseqOnlyTheTimeOutEndsAWait) {
    FixtureServer server;
    server.setDefault(FixtureServer::silent());
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor(server.port(), "timeout=1\nabortseq=0\n[a]\n$uri=/a\n")));
    AbortLater stop(testSet, 200ms);
    const auto start = Clock::now();
    EXPECT_EQ(perform("a"), -4) << log.text();
    const double took = secondsSince(start);
    EXPECT_GE(took, 0.9) << "ended at the stop";
    EXPECT_LT(took, 3.0);
}

TEST_F(Connections, NowaitDisablesTheTimeOut) {
    FixtureServer server;
    server.setDefault(FixtureServer::silent());
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(server.port(), "timeout=1\nnowait=1\n[a]\n$uri=/a\n")));
    AbortLater stop(testSet, 1600ms);
    const auto start  = Clock::now();
    const int outcome = perform("a");
    const double took = secondsSince(start);
    EXPECT_NE(outcome, -4);
    EXPECT_LT(outcome, 0);
    EXPECT_GE(took, 1.5) << "a time-out applied despite nowait";
    EXPECT_LT(took, 3.0);
}

TEST_F(Connections, ConnectTimesOut) {
    FullListener listener;
    if (!listener.hangs()) GTEST_SKIP() << "connects to a full accept queue do not hang here";
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(listener.port(), "timeout=1\n[a]\n$uri=/a\n")));
    const auto start = Clock::now();
    EXPECT_EQ(perform("a"), -4) << log.text();
    const double took = secondsSince(start);
    EXPECT_GE(took, 0.9);
    EXPECT_LT(took, 3.0);
    const std::string hop = "127.0.0.1:" + std::to_string(listener.port());
    EXPECT_EQ(log.text(), "\r\nConnecting to remote host: " + hop +
                              "...\r\nFailed to connect to remote host: " + hop + ".\r\n");
    EXPECT_EQ(user().traffic.bytesSent, 0u);
}

TEST(ConnectionWaits, StopOfTheRunEndsAPendingConnect) {
    FullListener listener;
    if (!listener.hangs()) GTEST_SKIP() << "connects to a full accept queue do not hang here";
    std::atomic<int> abort{0};
    CConnection connection{WaitRules{-1, &abort}};
    connection.setTarget(loopback(), listener.port());
    AbortLater stop(abort, 300ms);
    const auto start = Clock::now();
    EXPECT_EQ(connection.connect(), -1);
    EXPECT_LT(secondsSince(start), 1.5);
    EXPECT_EQ(connection.lastFailure(), TransferFailure::Aborted);
    EXPECT_FALSE(connection.isOpen());
}

// Sends megabytes to a peer that reads nothing until a send fails; the socket buffers on both
// sides fill up after some megabytes.
long sendUntilBlocked(CConnection& connection) {
    const std::string chunk(1 << 20, 'f');
    long last        = 1;
    const auto start = Clock::now();
    for (int i = 0; i < 100000 && last > 0 && secondsSince(start) < 20; ++i)
        last = connection.send(chunk.data(), chunk.size());
    return last;
}

TEST(ConnectionWaits, ABlockedSendEndsAtTheTimeOutOrTheStop) {
    FixtureServer server;
    server.setRawHandler([](RawChannel& channel) { channel.holdUntilStopped(); });
    {
        auto connection = connectedTo(server, WaitRules{500, nullptr});
        ASSERT_NE(connection, nullptr);
        EXPECT_EQ(sendUntilBlocked(*connection), -1);
        EXPECT_EQ(connection->lastFailure(), TransferFailure::TimedOut);
        EXPECT_FALSE(connection->isOpen());
    }
    {
        std::atomic<int> abort{0};
        auto connection = connectedTo(server, WaitRules{-1, &abort});
        ASSERT_NE(connection, nullptr);
        AbortLater stop(abort, 1500ms);
        const auto start = Clock::now();
        EXPECT_EQ(sendUntilBlocked(*connection), -1);
        EXPECT_LT(secondsSince(start), 3.0);
        EXPECT_EQ(connection->lastFailure(), TransferFailure::Aborted);
        EXPECT_FALSE(connection->isOpen());
    }
}

TEST(ConnectionWaits, ReceiveTimesOutOrStopsAndSaysWhy) {
    FixtureServer server;
    server.setRawHandler([](RawChannel& channel) { channel.holdUntilStopped(); });
    char buffer[16];
    {
        auto connection = connectedTo(server, WaitRules{400, nullptr});
        ASSERT_NE(connection, nullptr);
        const auto start = Clock::now();
        EXPECT_EQ(connection->receive(buffer, sizeof buffer), -1);
        EXPECT_GE(secondsSince(start), 0.35);
        EXPECT_EQ(connection->lastFailure(), TransferFailure::TimedOut);
        EXPECT_FALSE(connection->isOpen());
    }
    {
        std::atomic<int> abort{0};
        auto connection = connectedTo(server, WaitRules{-1, &abort});
        ASSERT_NE(connection, nullptr);
        AbortLater stop(abort, 200ms);
        const auto start = Clock::now();
        EXPECT_LT(connection->readLine(buffer, sizeof buffer), 0);
        EXPECT_LT(secondsSince(start), 1.2);
        EXPECT_EQ(connection->lastFailure(), TransferFailure::Aborted);
        EXPECT_FALSE(connection->isOpen());
    }
}

// --- what is measured ----------------------------------------------------------------------

TEST(Rounding, TruncatesToWholeMultiplesOfTheRoundingStep) {
    EXPECT_EQ(roundMeasured(123456, 10.0), 120000);
    EXPECT_EQ(roundMeasured(129999, 10.0), 120000);
    EXPECT_EQ(roundMeasured(130000, 10.0), 130000);
    EXPECT_EQ(roundMeasured(9999, 10.0), 0);
    EXPECT_EQ(roundMeasured(123456, 1.0), 123000);
    EXPECT_EQ(roundMeasured(123456, 2.5), 122500);
    EXPECT_EQ(roundMeasured(123456, 0.5), 123000);
    EXPECT_EQ(roundMeasured(123456, 0.001), 123456);
}

TEST(Rounding, NoStepLeavesTheValueAsMeasured) {
    EXPECT_EQ(roundMeasured(123456, 0.0), 123456);
    EXPECT_EQ(roundMeasured(123456, -10.0), 123456);
    // A step below one microsecond.
    EXPECT_EQ(roundMeasured(123456, 0.0005), 123456);
    EXPECT_EQ(roundMeasured(123456, 1e-9), 123456);
}

TEST_F(Connections, DefaultRoundingGivesWholeTensOfMilliseconds) {
    FixtureServer server;
    server.setDefault([](ReplyChannel& channel, const RecordedRequest&) {
        channel.pause(25ms);
        channel.send(httpResponse(200, "late"));
    });
    ASSERT_NO_FATAL_FAILURE(load(scriptFor(server.port(), "[a]\n$uri=/a\n")));
    const int outcome = perform("a");
    EXPECT_GE(outcome, 20000) << log.text();
    EXPECT_EQ(outcome % 10000, 0) << outcome;

    ASSERT_NO_FATAL_FAILURE(option("timingmode", "1"));
    const int firstBytes = perform("a");
    EXPECT_GE(firstBytes, 20000) << log.text();
    EXPECT_EQ(firstBytes % 10000, 0) << firstBytes;
}

TEST_F(Connections, TimingModeOneEndsAtTheFirstBytesOfTheResponse) {
    FixtureServer server;
    // Headers at once, the body after a pause.
    server.route("/paused", [](ReplyChannel& channel, const RecordedRequest&) {
        channel.send("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\n");
        channel.pause(500ms);
        channel.send("body");
    });
    // Nothing at all until after a pause.
    server.route("/late", [](ReplyChannel& channel, const RecordedRequest&) {
        channel.pause(400ms);
        channel.send(httpResponse(200, "late"));
    });
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor(server.port(), "round=0\n[paused]\n$uri=/paused\n[late]\n$uri=/late\n")));
    const int whole = perform("paused");
    EXPECT_GE(whole, 450000) << log.text();

    ASSERT_NO_FATAL_FAILURE(option("timingmode", "1"));
    const int firstBytes = perform("paused");
    EXPECT_GE(firstBytes, 0) << log.text();
    EXPECT_LT(firstBytes, 250000);
    EXPECT_EQ(previousBody(), "body"); // the whole response is still read
    EXPECT_GE(perform("late"), 350000) << log.text();
}

TEST_F(Connections, TimingModeTwoIncludesTheSend) {
    FixtureServer server;
    server.setDefault(FixtureServer::reply(httpResponse(200, "ok")));
    // A request of over 3000 bytes at 10000 bytes per second takes 300 ms to send; the short
    // response costs almost nothing.
    ASSERT_NO_FATAL_FAILURE(
        load(scriptFor(server.port(), "maxspeed=80000\nround=0\n[header]\nX-Pad: " +
                                          std::string(3000, 'p') + "\n[a]\n$uri=/a\n")));
    const int afterSend = perform("a");
    EXPECT_GE(afterSend, 0) << log.text();
    EXPECT_LT(afterSend, 200000);
    EXPECT_GE(user().traffic.sendTimeMs, 250.0);

    ASSERT_NO_FATAL_FAILURE(option("timingmode", "2"));
    const int withSend = perform("a");
    EXPECT_GE(withSend, 250000) << log.text();
    EXPECT_LT(withSend, 3000000);
}

} // namespace
} // namespace torvex::test
