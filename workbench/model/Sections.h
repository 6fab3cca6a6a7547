#pragma once

#include <string>
#include <vector>

namespace torvex {

// Per-scenario HTTP behaviour. A fresh section holds the defaults.
struct CGeneralSection {
    std::string proxyMask = "192.168.$C2.$C1";
    int addForwardedFor   = 0;
    int basicAuth         = 0;
    std::string password;
    std::string userName;
    std::string userAgent = "* Torvex *";
    int customUserAgent   = 0;
    int keepAlive         = 0;
    int ignoreErrors      = 1;
    int useDelays         = 0;
    std::string projectName; // not saved; the document title before every run
    int limitSpeed = 1;
    int speed      = -1; // bits per second; -1: no limit
};

// The folders that new scenarios log and report into.
struct DefaultFolders {
    std::string logDir;
    std::string reportDir;
};

// Sets the folders fresh run sections use (the program sets them from the user's data folder).
void setDefaultFolders(DefaultFolders folders);
DefaultFolders defaultFolders();

// Load volume, batch cycling, reports, sequences and timing of a scenario's runs.
struct CRunSection {
    CRunSection();

    int users         = 20;
    int iterations    = 5;
    int limitRequests = 0;
    int maxRequests   = 100;
    int limitTime     = 0;
    int maxMinutes    = 1;
    int timeoutCheck  = 1;
    int objectiveId   = 0;
    std::string comment;
    std::string reportNamePattern = "%n-%cx%r.xls";
    int saveLog                   = 0;
    std::string logDir;
    int saveReports = 0;
    std::string reportDir;
    int loadLevelMode     = 0; // 0 maximum load, 1 up to requestsPerSecond
    int requestsPerSecond = 1;
    int saveTimings       = 0;
    int timingsKind       = 0; // 0 durations, 1 durations and time stamps
    int initialSeqOn      = 0;
    int mainSeqOn         = 1;
    int finalSeqOn        = 0;
    std::vector<std::string> initialSeq;
    std::vector<std::string> mainSeq;
    std::vector<std::string> finalSeq;
    int batchRun         = 1;
    int batchBy          = 0; // 0 users, 1 iterations
    int batchFrom        = 1;
    int batchTo          = 20;
    int batchStep        = 1;
    int pauseBetweenRuns = 1;
    int pauseSeconds     = 1;
    int staggerStart     = 1;
    int staggerMs        = 10;
    int timingMode       = 0;
    int timingRounding   = 0; // 0 "0.01 ms", 1 "0.1 ms", 2 "1 ms"
};

} // namespace torvex
