#pragma once

#include "recorder/Channel.h"
#include "recorder/Origin.h"
#include "recorder/RecordingProxy.h"

#include <memory>
#include <string>

namespace torvex {

class StopSignal;
class TlsContexts;

// An open connection to the server a request goes to.
struct ServerLink {
    std::unique_ptr<Channel> channel;
    Origin origin;
    // Plain HTTP through an upstream proxy: requests keep their absolute form.
    bool throughProxy = false;
    // Why the site's certificate did not verify (the browser was shown it); empty when it did.
    std::string siteFailure;
};

// Opens connections to servers: direct, or through the upstream proxy that the options name
// (its CONNECT for HTTPS), and with TLS for https origins.
class ServerConnector {
public:
    ServerConnector(const RecordingProxy::Options& options, const TlsContexts& tls,
                    const StopSignal& stop, Wait timeout)
        : options_(options), tls_(tls), stop_(stop), timeout_(timeout) {}

    // `serverName` is the name the browser asked for (TLS only). False with a one-line reason,
    // also for a site whose certificate does not verify unless the browser was shown that
    // failure for the name.
    bool connect(const Origin& origin, const std::string& serverName, ServerLink& link,
                 std::string& error) const;

    // For a CONNECT to the https `origin`, before the browser is answered: the connection to
    // the site, so that one that cannot be reached is told at once. Leaves `link` empty when
    // sites are not verified (each request connects then). False with a one-line reason.
    bool openTunnel(const Origin& origin, ServerLink& link, std::string& error) const;
    // When the browser starts TLS in the tunnel: the handshake with the site over the link
    // openTunnel made, naming the origin's host. A certificate that does not verify leaves
    // `siteFailure` set, and `problem` a line to report the first time a host fails so. A
    // failed handshake empties the link: the first request connects again and reports why.
    void secureTunnel(ServerLink& link, std::string& problem) const;

private:
    // TCP to the origin or to its upstream proxy (through its CONNECT for https); `proxy`
    // names the proxy used, empty when direct.
    std::unique_ptr<Channel> open(const Origin& origin, std::string& proxy,
                                  std::string& error) const;
    // The TLS handshake on `channel`; the site's certificate failure, if any, in `failure`.
    bool startTls(Channel& channel, const Origin& origin, const std::string& name,
                  std::string& failure, std::string& error) const;
    bool tunnelThroughProxy(Channel& proxy, const std::string& proxyName, const Origin& origin,
                            std::string& error) const;

    const RecordingProxy::Options& options_;
    const TlsContexts& tls_;
    const StopSignal& stop_;
    Wait timeout_;
};

} // namespace torvex
