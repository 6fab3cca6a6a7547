// The engine's exported C functions: each converts its arguments and calls into the engine.
// Nothing may throw across this boundary.

#include "torvexcore.h"

#include "api/CommandLine.h"
#include "api/Options.h"
#include "api/Output.h"
#include "api/TestSet.h"
#include "run/LoadRun.h"
#include "run/Report.h"
#include "run/ResultsFile.h"
#include "run/ResultsQuery.h"
#include "run/RunBlock.h"
#include "run/RunInfo.h"
#include "run/RunMerge.h"
#include "script/ScriptParser.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

using namespace torvex;

namespace {

// Runs `body` and turns an escaping exception into a message and the export's failure value.
template <typename Result, typename Body>
Result guarded(const char* function, Result failure, Body body) noexcept {
    try {
        return body();
    } catch (const std::exception& e) {
        message("Internal error in %s: %s\n", function, e.what());
    } catch (...) {
        message("Internal error in %s\n", function);
    }
    return failure;
}

CTestSet* testSetOf(void* ts, const char* function) {
    if (!ts) message("Error: %s called without a test set!\n", function);
    return static_cast<CTestSet*>(ts);
}

// While RunTest works, the users' threads read the options, sequences and run state: freeing,
// changing or reading them then would pull memory from under the threads.
bool refusedWhileRunning(const CTestSet& t, const char* function) {
    if (!t.running.load()) return false;
    message("Error: %s cannot be used while the test is running; abort the run and let RunTest "
            "return first!\n",
            function);
    return true;
}

// Runs `body` with the test set's running flag claimed, as RunTest does, so that no run can
// start on the test set meanwhile; refused when the flag is already set.
template <typename Body> int whileClaimed(CTestSet& t, const char* function, Body body) {
    if (t.running.exchange(true)) {
        message("Error: %s cannot be used while the test is running; abort the run and let "
                "RunTest return first!\n",
                function);
        return 0;
    }
    int result = guarded(function, 0, body);
    t.running  = false;
    return result;
}

} // namespace

extern "C" {

int InitHX(void*, void*) {
    return 0;
}

int CleanupHX(void) {
    releaseResultNames();
    releaseResultBuffers();
    return 0;
}

void SetOutFunc(void* ctx, OutFunc f) {
    setOutputFunction(ctx, f);
}

void SetProgressReporter(void* ctx, ProgressReporter f) {
    setProgressReporter(ctx, f);
}

void* CreateTestSet(int) {
    return guarded<void*>(__func__, nullptr, [] { return new CTestSet; });
}

void FreeTestSet(void* ts) {
    auto* t = static_cast<CTestSet*>(ts);
    if (t && refusedWhileRunning(*t, __func__)) return;
    delete t;
}

int ParseTest(void* ts, const char* name, const char* text) {
    CTestSet* t = testSetOf(ts, __func__);
    if (!t || refusedWhileRunning(*t, __func__)) return 0;
    return guarded(__func__, 0, [&] {
        if (name) t->testname.set(name);
        return parseScript(*t, text ? text : "");
    });
}

int ParseGeneralParam(void* ts, const char* name, const char* value) {
    CTestSet* t = testSetOf(ts, __func__);
    if (!t || !name || refusedWhileRunning(*t, __func__)) return 0;
    return guarded(__func__, 0, [&] { return setOption(*t, name, value ? value : ""); });
}

int SetProperty(void* ts, const char* nameEqualsValue) {
    CTestSet* t = testSetOf(ts, __func__);
    if (!t || !nameEqualsValue || refusedWhileRunning(*t, __func__)) return 0;
    return guarded(__func__, 0, [&] {
        std::string text   = nameEqualsValue;
        std::size_t equals = text.find('=');
        if (equals == std::string::npos) return 0;
        text[equals] = '\0';
        return setOption(*t, text.c_str(), text.c_str() + equals + 1);
    });
}

int RunTest(void* ts) {
    CTestSet* t = testSetOf(ts, __func__);
    if (!t) return 0;
    if (t->running.exchange(true)) {
        message("Error: RunTest cannot start while the test is already running!\n");
        return 0;
    }
    int result = guarded(__func__, 0, [&] { return runLoadTest(*t); });
    t->running = false;
    return result;
}

int AbortRun(void* ts) {
    CTestSet* t = testSetOf(ts, __func__);
    return t ? t->abort() : 0;
}

int CleanHX(void* ts) {
    CTestSet* t = testSetOf(ts, __func__);
    if (t && !refusedWhileRunning(*t, __func__)) releaseRun(*t);
    return 0;
}

void* GetResults(void* ts, int user) {
    CTestSet* t = testSetOf(ts, __func__);
    if (!t || refusedWhileRunning(*t, __func__)) return nullptr;
    return guarded<void*>(__func__, nullptr, [&] { return resultsOf(*t, user); });
}

intptr_t GetInfo(void* ts, TorvexInfo* info) {
    CTestSet* t = testSetOf(ts, __func__);
    if (!t || !info) return 0;
    return guarded<intptr_t>(__func__, 0, [&] { return describeResults(*t, *info); });
}

int SaveResults(void* ts, void* ctx, OutFunc sink, void* summary) {
    CTestSet* t = testSetOf(ts, __func__);
    if (!t || !sink || refusedWhileRunning(*t, __func__)) return 0;
    return guarded(__func__, 0, [&] {
        ReportSummary filled{};
        writeReport(*t, ctx, sink, summary ? &filled : nullptr);
        if (summary) std::memcpy(summary, &filled, sizeof filled);
        return 0;
    });
}

char SaveResultsToFile(void* ts, const char* text) {
    CTestSet* t = testSetOf(ts, __func__);
    if (!t || refusedWhileRunning(*t, __func__)) return 0;
    return guarded<char>(__func__, 0, [&] { return saveResultsToFile(*t, text) ? 1 : 0; });
}

int GetRunProgress(void* ts, TorvexProgress* progress) {
    CTestSet* t = testSetOf(ts, __func__);
    if (!t || !progress) return 0;
    progress->done    = t->made.load();
    progress->errors  = t->failed.load();
    progress->total   = t->expected.load();
    progress->running = t->running.load() ? 1 : 0;
    return 1;
}

int ExportRunResults(void* ts, char** data, int* size) {
    if (data) *data = nullptr;
    if (size) *size = 0;
    CTestSet* t = testSetOf(ts, __func__);
    if (!t || !data || !size) return 0;
    return whileClaimed(*t, __func__, [&] {
        if (t->users.empty()) {
            message("Error: ExportRunResults found no finished run to export!\n");
            return 0;
        }
        std::string block = exportRun(*t);
        if (block.size() > static_cast<std::size_t>(INT_MAX)) {
            message("Error: the run's results are too large for one block!\n");
            return 0;
        }
        auto* copy = static_cast<char*>(std::malloc(block.size()));
        if (!copy) {
            message("Error: no memory for the run's results block!\n");
            return 0;
        }
        std::memcpy(copy, block.data(), block.size());
        *data = copy;
        *size = static_cast<int>(block.size());
        return 1;
    });
}

void FreeRunResults(char* data) {
    std::free(data);
}

int MergeRunResults(void* ts, const char* const* blocks, const int* sizes, int count) {
    CTestSet* t = testSetOf(ts, __func__);
    if (!t) return 0;
    if (count > 0 && (!blocks || !sizes)) {
        message("Error: MergeRunResults called without blocks!\n");
        return 0;
    }
    return whileClaimed(*t, __func__, [&] {
        std::vector<std::string_view> parts;
        for (int i = 0; i < count; ++i) {
            if (!blocks[i] || sizes[i] < 0) {
                message("Error: results block %d of %d is missing!\n", i + 1, count);
                return 0;
            }
            parts.emplace_back(blocks[i], static_cast<std::size_t>(sizes[i]));
        }
        return mergeRuns(*t, parts) ? 1 : 0;
    });
}

int GetCoreVersion(char* buffer) {
    if (!buffer) return 0;
    return std::sprintf(buffer, "%s date Jun  4 2003", "2.0");
}

int ParseCommandLine(void* ts, int argc, char** argv) {
    CTestSet* t = testSetOf(ts, __func__);
    if (!t || (argc > 0 && !argv) || refusedWhileRunning(*t, __func__)) return 0;
    return guarded(__func__, 0, [&] { return parseCommandLine(*t, argc, argv); });
}

unsigned long long Calculate3DArrayMemoryAmount(const char* script) {
    return guarded(__func__, 0ull, [&] {
        CTestSet t;
        t.testname.set("test");
        parseScript(t, script ? script : "");
        std::uint32_t perIteration = 4u * static_cast<std::uint32_t>(t.testcount);
        return static_cast<unsigned long long>(static_cast<std::uint64_t>(perIteration) *
                                               static_cast<std::int64_t>(t.requests) *
                                               static_cast<std::int64_t>(t.clients));
    });
}

// The two functions that are also known by their decorated names. The linker reads '@' in a
// symbol name as a version, so they get same-length placeholder names here that the build
// renames in the finished library (see engine/tools/rename-exports.cpp).
__attribute__((visibility("default"), alias("SaveResultsToFile"))) char
decoratedSaveResultsToFile(void*, const char*) __asm__("_SaveResultsToFile_8");
__attribute__((visibility("default"), alias("Calculate3DArrayMemoryAmount"))) unsigned long long
decoratedCalculate3DArrayMemoryAmount(const char*) __asm__("_Calculate3DArrayMemoryAmount_4");

} // extern "C"
