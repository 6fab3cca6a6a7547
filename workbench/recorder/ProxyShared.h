#pragma once

#include "recorder/NavigationFilter.h"
#include "recorder/RecordingProxy.h"
#include "recorder/ServerConnector.h"

#include <mutex>
#include <string>

namespace torvex {

class StopSignal;
class TlsContexts;

// What every connection of one proxy shares; it outlives them all.
class ProxyShared {
public:
    // Time-outs for waits on servers and on a browser in the middle of a request.
    static constexpr Wait kTimeout{30000};

    ProxyShared(const RecordingProxy::Options& options, const TlsContexts& tls,
                const StopSignal& stop)
        : tls(tls), stop(stop), filter(options.markedOnly), connector(options, tls, stop, kTimeout),
          options_(options) {}

    // The callbacks run one at a time, so whoever receives them needs no lock for that.
    void reportNavigation(const ProxiedNavigation& navigation);
    void reportProblem(const std::string& problem);

    const TlsContexts& tls;
    const StopSignal& stop;
    const NavigationFilter filter;
    const ServerConnector connector;

private:
    const RecordingProxy::Options& options_;
    std::mutex callbackLock_;
};

} // namespace torvex
