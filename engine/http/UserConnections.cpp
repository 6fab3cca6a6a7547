#include "http/UserConnections.h"

#include "api/TestSet.h"
#include "http/Connection.h"
#include "http/HttpSession.h"
#include "http/ProxyNegotiation.h"
#include "http/Resolver.h"
#include "script/UserLog.h"

namespace torvex {
namespace {

int failedOutcome(const CConnection& connection) {
    return connection.lastFailure() == TransferFailure::TimedOut ? -4 : -1;
}

// A kept connection serves a new request only when it leads the same way: a tunnel to the same
// server, and TLS exactly when the request is secure. An HTTP proxy serves any host.
std::string routeOf(const RequestTarget& target) {
    std::string route = std::to_string(target.proxy.kind) + (target.secure ? "s" : "p");
    if (target.proxy.kind != kDirect && target.proxy.kind != kHttpProxy)
        route += target.host + ":" + std::to_string(target.port);
    return route;
}

} // namespace

ProxyChoice proxyFor(const HttpSession& session, const std::string& host, bool secure) {
    const CTestSet& t = session.testSet;
    ProxyChoice choice =
        selectProxy({t.proxy.view(), t.proxyexceptions.view(), t.bypassproxy != 0}, host);
    if (secure && choice.kind == kHttpProxy) choice.kind = kConnectProxy;
    return choice;
}

std::unique_ptr<CConnection> acquireConnection(HttpSession& session, const RequestTarget& target) {
    const std::string& host = target.hopHost();
    std::uint32_t address;
    if (!resolveHost(host.c_str(), address)) {
        writeLog(session.script.log, "Failed to resolve hostname: %s.\r\n", host.c_str());
        return nullptr;
    }
    std::string route = routeOf(target);
    if (auto& kept = session.keptConnection) {
        std::uint32_t keptAddress;
        int keptPort;
        if (!kept->peer(keptAddress, keptPort))
            kept.reset();
        else if (keptAddress == address && keptPort == target.hopPort() && kept->route() == route)
            return std::move(kept);
    }
    auto connection = std::make_unique<CConnection>(session.waits);
    connection->setTarget(address, target.hopPort());
    connection->setRoute(std::move(route));
    return connection;
}

int establishConnection(HttpSession& session, std::unique_ptr<CConnection>& connection,
                        const RequestTarget& target) {
    UserLog* log = session.script.log;
    connection->setSpeed(session.testSet.maxspeed / 8);
    if (connection->isOpen()) return 0;

    const std::string& hop = target.hopHost();
    writeLog(log, "\r\nConnecting to remote host: %s:%d...\r\n", hop.c_str(), target.hopPort());
    if (connection->connect() != 0) {
        writeLog(log, "Failed to connect to remote host: %s:%d.\r\n", hop.c_str(),
                 target.hopPort());
    } else {
        std::string messages;
        int negotiated = negotiateProxy(*connection, target.host, target.port,
                                        target.proxy.credentials, target.proxy.kind, messages);
        if (log && !messages.empty()) log->write(messages);
        if (negotiated != 0) {
            writeLog(log, "Failed to connect to remote host.\r\n");
        } else if (!target.secure) {
            return 0;
        } else {
            writeLog(log, "Activating SSL...\r\n");
            if (connection->activateSsl(session.testSet.sslver, target.host) == 0) return 0;
            writeLog(log, "Failed to activate SSL.\r\n");
        }
    }
    // A socket left open by a refused handshake must not be kept for the next request.
    int outcome = failedOutcome(*connection);
    connection->close();
    releaseConnection(session, std::move(connection));
    return outcome;
}

void releaseConnection(HttpSession& session, std::unique_ptr<CConnection> connection) {
    if (connection && connection->isOpen()) session.keptConnection = std::move(connection);
}

} // namespace torvex
