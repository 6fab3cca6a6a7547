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
};

// Opens connections to servers: direct, or through the upstream proxy that the options name
// (its CONNECT for HTTPS), and with TLS for https origins.
class ServerConnector {
public:
    ServerConnector(const RecordingProxy::Options& options, const TlsContexts& tls,
                    const StopSignal& stop, Wait timeout)
        : options_(options), tls_(tls), stop_(stop), timeout_(timeout) {}

    // `serverName` is the name the browser asked for (TLS only). False with a one-line reason.
    bool connect(const Origin& origin, const std::string& serverName, ServerLink& link,
                 std::string& error) const;

private:
    bool tunnelThroughProxy(Channel& proxy, const std::string& proxyName, const Origin& origin,
                            std::string& error) const;

    const RecordingProxy::Options& options_;
    const TlsContexts& tls_;
    const StopSignal& stop_;
    Wait timeout_;
};

} // namespace torvex
