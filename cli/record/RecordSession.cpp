#include "RecordSession.h"

#include "ExitStatus.h"
#include "SignalWatch.h"
#include "recorder/RecordingProxy.h"

#include <condition_variable>
#include <filesystem>
#include <mutex>

namespace {

// Blocks until the first stop signal; one that came before the wait began counts too.
void waitForStopSignal(SignalWatch& signals) {
    std::mutex lock;
    std::condition_variable stopped;
    bool stop = false;
    signals.setStopAction([&] {
        std::lock_guard guard(lock);
        stop = true;
        stopped.notify_all();
    });
    {
        std::unique_lock guard(lock);
        stopped.wait(guard, [&] { return stop || signals.stopRequested(); });
    }
    signals.setStopAction({});
}

std::string requestCount(int count) {
    return std::to_string(count) + (count == 1 ? " request" : " requests");
}

} // namespace

RecordSession::RecordSession(const RecordOptions& options, ConsoleLines& console)
    : options_(options), console_(console), echo_(document_.scenario().requests, console) {
    document_.reinitialize();
}

int RecordSession::run(SignalWatch& signals) {
    // Found out now rather than after a long recording.
    if (!outputFolderUsable()) return exit_status::kFailed;

    torvex::RecordingProxy::Options proxyOptions;
    proxyOptions.authorityFolder = options_.authorityFolder;
    proxyOptions.port            = options_.port;
    proxyOptions.markedOnly      = false;
    proxyOptions.upstream        = torvex::upstreamFromEnvironment;
    proxyOptions.onNavigation    = [this](const torvex::ProxiedNavigation& navigation) {
        bool cancel = false;
        recorder_.OnBeforeNavigate(navigation.url, navigation.targetFrame, navigation.body,
                                      navigation.headerText, cancel);
    };
    proxyOptions.onProblem = [this](const std::string& problem) { console_.error(problem); };

    recorder_.SetSink(&document_.scenario().requests);
    recorder_.SetNotifier(&echo_);
    recorder_.BeginRecording();
    torvex::RecordingProxy proxy(std::move(proxyOptions));
    std::string error;
    if (!proxy.start(error)) {
        recorder_.Detach();
        console_.error(error);
        return exit_status::kFailed;
    }
    console_.out("Listening on 127.0.0.1:" + std::to_string(proxy.port()));
    console_.out("Recording to " + options_.outFile + "; press Ctrl-C to stop and save.");

    waitForStopSignal(signals);
    // No capture may arrive while the scenario is being saved.
    proxy.stop();
    recorder_.Detach();
    return save();
}

bool RecordSession::outputFolderUsable() const {
    namespace fs = std::filesystem;
    const fs::path file(options_.outFile);
    const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
    std::error_code code;
    if (fs::is_directory(file, code)) {
        console_.error("Cannot write the scenario file " + options_.outFile + ": it is a folder.");
        return false;
    }
    if (!fs::is_directory(folder, code)) {
        console_.error("Cannot write the scenario file " + options_.outFile + ": the folder " +
                       folder.string() + " does not exist.");
        return false;
    }
    return true;
}

int RecordSession::save() {
    const int count = document_.scenario().requests.count();
    if (count == 0) {
        // An empty recording must not replace a scenario the file may already hold.
        console_.out("No requests were recorded; " + options_.outFile + " was not written.");
        return exit_status::kClean;
    }
    std::string error;
    if (document_.save(options_.outFile, error)) {
        console_.out("Saved " + requestCount(count) + " to " + options_.outFile + ".");
        return exit_status::kClean;
    }
    console_.error(error);
    const std::string recovery = options_.outFile + ".recovered.tvs";
    if (document_.save(recovery, error)) {
        console_.error("Saved the " + requestCount(count) + " to " + recovery + " instead.");
    } else {
        console_.error(error);
        console_.error("The recording of " + requestCount(count) + " is lost.");
    }
    return exit_status::kFailed;
}
