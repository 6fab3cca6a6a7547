/*
 * torvexcore — the Torvex load engine.
 *
 * A flat C interface: start the engine, install the output and progress callbacks, create a test
 * set, load a test script and options into it, run it (a blocking call, abortable from another
 * thread), read the results and the report, free everything. Functions return 1 for success and 0
 * for failure unless stated otherwise; the reason of a failure is a message sent to the output
 * function. No function throws.
 *
 * Texts are NUL-terminated UTF-8. The engine copies every text it is given. Arrays and names it
 * returns belong to the engine and are reused by the next call of the same kind: copy them at once.
 */
#ifndef TORVEXCORE_H
#define TORVEXCORE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define TORVEX_EXPORT __attribute__((visibility("default")))

/* Receives one engine message (trailing line feeds removed) or one report piece. The result is
 * ignored. May be called from several threads at once. */
typedef int (*OutFunc)(void* ctx, const char* text);

/* Receives run progress: `done` requests of `total`, or -1 as total when it is unknown. */
typedef void (*ProgressReporter)(void* ctx, int done, int total);

/* The shape of a finished run's results, filled by GetInfo. */
typedef struct TorvexInfo {
    int32_t users;                /* virtual users of the run */
    int32_t iterations;           /* iterations per user; -1 when a script drove the users */
    int32_t requestsPerIteration; /* length of the test sequence; 1 when a script drove the users */
    int32_t aggregate;            /* 1 when only per-request aggregates were kept */
    const char** requestNames;    /* names of the test-sequence entries, engine-owned */
    int32_t objective;            /* the caller's tag, option "objectiveid" */
} TorvexInfo;

/* Process-wide start-up and clean-up. InitHX always returns 0. */
TORVEX_EXPORT int InitHX(void* reserved1, void* reserved2);
TORVEX_EXPORT int CleanupHX(void);

/* Process-wide callbacks; a null function restores the engine's default (standard output). */
TORVEX_EXPORT void SetOutFunc(void* ctx, OutFunc f);
TORVEX_EXPORT void SetProgressReporter(void* ctx, ProgressReporter f);

/* Test set lifecycle. The argument of CreateTestSet is reserved. FreeTestSet accepts null. */
TORVEX_EXPORT void* CreateTestSet(int reserved);
TORVEX_EXPORT void FreeTestSet(void* ts);

/* Loads a test script; `name` (may be null) becomes the test name. */
TORVEX_EXPORT int ParseTest(void* ts, const char* name, const char* text);

/* Sets one general option by its exact name, or "rate". */
TORVEX_EXPORT int ParseGeneralParam(void* ts, const char* name, const char* value);

/* Sets one general option from a "name=value" text (split at the first '='). */
TORVEX_EXPORT int SetProperty(void* ts, const char* nameEqualsValue);

/* Runs the loaded test to its end. Returns 1 when at least one test-sequence request completed. */
TORVEX_EXPORT int RunTest(void* ts);

/* Asks a running test to stop; returns the previous abort flag. */
TORVEX_EXPORT int AbortRun(void* ts);

/* Releases the run state so that the test set can run again; always 0. */
TORVEX_EXPORT int CleanHX(void* ts);

/* One user's results of the last run (or the aggregate over all users); engine-owned. */
TORVEX_EXPORT void* GetResults(void* ts, int user);

/* Describes the last run's results; returns the objective id, or 0 for an empty test sequence. */
TORVEX_EXPORT intptr_t GetInfo(void* ts, TorvexInfo* info);

/* Writes the text report through `sink` and fills the optional 32-byte summary record. */
TORVEX_EXPORT int SaveResults(void* ts, void* ctx, OutFunc sink, void* summary);

/* Writes `text` to the results file named by the options "outfile" and "reportdir".
 * Also exported as "_SaveResultsToFile@8". */
TORVEX_EXPORT char SaveResultsToFile(void* ts, const char* text);

/* Writes "2.0 date Jun  4 2003" into `buffer` (at least 32 bytes); returns its length. */
TORVEX_EXPORT int GetCoreVersion(char* buffer);

/* Takes -name=value and /name=value as global variables and a plain argument as the test name.
 * argv[0] is skipped; the caller's arguments are not modified. */
TORVEX_EXPORT int ParseCommandLine(void* ts, int argc, char** argv);

/* Bytes of the detailed timing storage the given script would need: 4 × test-sequence length ×
 * iterations × users. Also exported as "_Calculate3DArrayMemoryAmount@4". */
TORVEX_EXPORT unsigned long long Calculate3DArrayMemoryAmount(const char* script);

/* How far a run has come, readable from any thread while RunTest works and after it returned. */
typedef struct TorvexProgress {
    int32_t done;    /* test-sequence requests processed, or script requests made */
    int32_t errors;  /* of them, those that ended in an error (network, HTTP, content, time-out) */
    int32_t total;   /* requests the run is expected to make; -1 when a script drives the users */
    int32_t running; /* 1 while RunTest works on the test set */
} TorvexProgress;

/* Fills `progress` for the current or last run of the test set. */
TORVEX_EXPORT int GetRunProgress(void* ts, TorvexProgress* progress);

/* A run spread over several processes: each process runs part of the users in its own test set,
 * with the option "firstuser" set to the global index of its first user, so that user numbers,
 * $clid, $Seq starts, X-Forwarded-For addresses and log names do not repeat across the parts.
 * Each part exports its finished run as a block of bytes; one test set parsed with the same
 * script and options merges the blocks, after which GetResults, GetInfo, SaveResults and
 * SaveResultsToFile describe the whole run. */

/* Exports the results of the test set's finished run (or of the runs merged into it) as one
 * self-contained, versioned block: *data receives a block to free with FreeRunResults, *size
 * its length in bytes. Both are set to null and 0 first, so a refusal leaves no stale block.
 * Returns 0 without a finished run or while RunTest works on the test set; no run can start
 * on it while the export lasts. */
TORVEX_EXPORT int ExportRunResults(void* ts, char** data, int* size);

/* Frees a block from ExportRunResults; accepts null. */
TORVEX_EXPORT void FreeRunResults(char* data);

/* Replaces the test set's run results by the merge of `count` blocks (`sizes` gives their
 * lengths): users ordered by their global index, counts and traffic added up, the run as long
 * as its longest part. The test set's option `clients` becomes the total number of users. A
 * block that is cut short, damaged, of another format version, made from another script or
 * options, or that repeats another block's users, is refused with a message, as are blocks
 * whose users are not exactly 0 to N - 1 (a part is missing) or that hold more than a million
 * users together; the test set then stays as it was and the result 0. It is refused while
 * RunTest works on the test set, and no run can start on it while the merge lasts. */
TORVEX_EXPORT int MergeRunResults(void* ts, const char* const* blocks, const int* sizes, int count);

#ifdef __cplusplus
}
#endif

#endif /* TORVEXCORE_H */
