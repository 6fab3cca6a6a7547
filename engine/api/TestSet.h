#pragma once

#include "api/FixedText.h"
#include "api/NameTable.h"
#include "api/OptionRecord.h"
#include "api/TextBuffer.h"
#include "http/StopSignal.h"
#include "script/RequestDefinition.h"
#include "script/SequenceList.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace torvex {

class CUserSession;
struct TimingWindow;

// One loaded test: its general options, request definitions, sequences, header lines, inline
// script text, global variables and run state. The option records point into this object, so it
// never moves.
class CTestSet {
public:
    CTestSet();
    ~CTestSet();
    CTestSet(const CTestSet&)            = delete;
    CTestSet& operator=(const CTestSet&) = delete;

    // Stops the run: sets abortflag and wakes every wait that watches it. Returns the previous
    // flag. The flag is only ever set through here, so no wait sleeps through a stop.
    int abort();

    // True when a script drives the virtual users instead of the sequences.
    bool scriptMode() const { return !script.empty(); }

    // Every request stores its host and port in the options `server` and `port` while other
    // users' threads read them; these keep each value whole.
    void storeRequestTarget(std::string_view host, int requestPort);
    std::string requestServer() const;
    int requestPort() const;

    FixedText<256> testname;
    FixedText<256> server{"localhost"};
    FixedText<512> uri{"/"};
    FixedText<256> outfile{"%n-%s-%cx%r.xls"};
    int method              = 0; // 0 GET, 1 POST
    int delay               = 0; // milliseconds
    int port                = 80;
    int clients             = 1;
    int requests            = 1;
    int definitioncount     = 0;
    int initcount           = 0;
    int testcount           = 0;
    int finalcount          = 0;
    int httpver             = 1;
    int sslver              = 1;
    int maxtime             = 0; // seconds; 0: no limit
    int maxrequests         = 0; // 0: no limit
    int abortseq            = 1;
    int noredir             = 0;
    int secure              = 0;
    int proxyemulation      = 0;
    int softdelay           = 0;
    int sumredirecttime     = 1;
    int ignoreerrors        = 1;
    int nodetails           = 0;
    int nowait              = 0;
    int maxspeed            = 0; // bits per second; 0: no limit
    int exacttiminginterval = 1000;
    // Errors of the run by class: HTTP, network, content, time-out.
    std::array<std::atomic<int>, 4> errorcounts{};
    int reportinfo   = 1;
    int keepalive    = 0;
    int appendresult = 0;
    int summarytimes = 1;
    int timeout      = 30; // seconds
    FixedText<9> httperrorsymbol{"HTTPERR"};
    FixedText<9> socketerrorsymbol{"NETERR"};
    FixedText<9> failerrorsymbol{"FAIL"};
    FixedText<9> timeouterrorsymbol{"TIMEOUT"};
    int showbadresults = 1;
    int elapsed        = 0;    // milliseconds of the last run
    double round       = 10.0; // milliseconds
    int delaystart     = 1;    // milliseconds
    int timestamp      = 0;
    FixedText<64> projectname;
    FixedText<64> description;
    FixedText<270> logdir;
    FixedText<270> reportdir;
    std::int32_t starttime = 0; // calendar seconds
    std::int32_t endtime   = 0;
    FixedText<32> proxymask{"192.168.$C2.$C1"};
    FixedText<256> script;
    FixedText<256> endofscript{"[/script]"};
    std::unique_ptr<TextBuffer> scripttext;
    NameTable<OptionRecord> options;
    FixedText<256> proxy;
    int proxynocache = 0;
    FixedText<256> authorization;
    int timingmode = 0;
    NameTable<RequestDefinition> definitions;
    SequenceList initsequence;
    SequenceList testsequence;
    SequenceList finalsequence;
    SequenceList headerlines;
    int listcounter = 0;
    // Responses of the run per HTTP status code.
    std::array<std::atomic<int>, 1000> statuscounts{};
    std::atomic<int> made{0};      // test-sequence requests completed
    std::atomic<int> failed{0};    // of them, those with an error outcome
    std::atomic<int> expected{-1}; // requests the run is expected to make; -1 when unknown
    std::atomic<int> sent{0};      // requests sent, redirects included
    int log = 0;
    NameTable<std::string> globalvariables;
    std::atomic<int> abortflag{0};
    StopSignal stopSignal; // raised with abortflag, cleared when a run starts
    int objectiveid = 0;
    int firstuser   = 0; // global index of the first user, for a part of a run over processes
    int customproxy = 1;
    int bypassproxy = 1;
    FixedText<512> proxyexceptions;
    // The virtual users of the last run with what they recorded, kept for the results and the
    // report until the run state is released or the next run starts.
    std::vector<std::unique_ptr<CUserSession>> users;
    // The timing windows of the parts a merged run was made of; empty for a run of its own.
    std::vector<TimingWindow> partWindows;
    std::atomic<bool> running{false}; // a run is working on this test set

private:
    mutable std::mutex targetMutex_;
};

} // namespace torvex
