#include "results/ResultsFile.h"

#include "model/FileSaving.h"
#include "results/ArchiveText.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <new>

namespace torvex {
namespace {

constexpr std::int32_t kListVersion   = 1;
constexpr std::int32_t kRecordVersion = 2;
// The smallest record a file can hold: version 1 (no objective), empty texts, no names, no
// groups. Its numbers: version to summary flag, batch number and value, batch kind, the two
// floats, the two doubles, requests and errors, name count and group count.
constexpr std::size_t kSmallestRecord =
    6 * 4 + 2 * 4 + 4 + 2 * 4 + 2 * 8 + 2 * 4 + 4 + 4 + 3 * 1; // report text, batch label and title

void writeRecord(ArchiveWriter& w, const CResultsStore& r) {
    w.int32(kRecordVersion);
    w.int32(r.runId);
    w.int32(r.userCount);
    w.int32(r.seqLength);
    w.int32(r.iterationCount);
    w.int32(r.summaryOnly);
    w.text(r.reportText);
    w.int32(r.batchNumber);
    w.int32(r.batchValue);
    w.text(r.batchLabel);
    w.int32(r.batchBy);
    w.float32(r.requestsPerSec);
    w.float32(r.msPerRequest);
    w.float64(r.serverBandwidth);
    w.float64(r.userBandwidth);
    w.int32(r.requestsMade);
    w.int32(r.errorCount);
    w.int32(r.objectiveId);
    w.text(r.GetTitle());
    w.int32(static_cast<std::int32_t>(r.requestNames.size()));
    for (const std::string& name : r.requestNames) w.text(name);
    w.int32(static_cast<std::int32_t>(r.timings.size()));
    for (const auto& group : r.timings) {
        w.int32(static_cast<std::int32_t>(group.size()));
        for (const auto& entry : group) {
            w.int32(static_cast<std::int32_t>(entry.size()));
            for (std::int32_t value : entry) w.int32(value);
        }
    }
}

bool readTimings(ArchiveReader& in, CResultsStore& r) {
    std::int32_t groups;
    if (!in.count(groups, 4, "record's group count")) return false;
    r.timings.resize(static_cast<std::size_t>(groups));
    for (auto& group : r.timings) {
        std::int32_t entries;
        if (!in.count(entries, 4, "group's entry count")) return false;
        group.resize(static_cast<std::size_t>(entries));
        for (auto& entry : group) {
            std::int32_t values;
            if (!in.count(values, 4, "entry's value count")) return false;
            entry.resize(static_cast<std::size_t>(values));
            for (std::int32_t& value : entry)
                if (!in.int32(value, "entry's values")) return false;
        }
    }
    return true;
}

bool readRecord(ArchiveReader& in, CResultsStore& r) {
    const std::size_t start = in.position();
    std::int32_t version;
    if (!in.int32(version, "record's version")) return false;
    if (version < 1 || version > kRecordVersion) {
        const std::string problem = "unknown version " + std::to_string(version);
        return in.failAt(start, problem.c_str(), "results record");
    }
    std::string title;
    std::int32_t names;
    bool ok = in.int32(r.runId, "record's run id") &&
              in.int32(r.userCount, "record's user count") &&
              in.int32(r.seqLength, "record's sequence length") &&
              in.int32(r.iterationCount, "record's iteration count") &&
              in.int32(r.summaryOnly, "record's summary flag") &&
              in.text(r.reportText, "record's report text") &&
              in.int32(r.batchNumber, "record's batch number") &&
              in.int32(r.batchValue, "record's batch value") &&
              in.text(r.batchLabel, "record's batch label") &&
              in.int32(r.batchBy, "record's batch kind") &&
              in.float32(r.requestsPerSec, "record's requests per second") &&
              in.float32(r.msPerRequest, "record's time per request") &&
              in.float64(r.serverBandwidth, "record's server bandwidth") &&
              in.float64(r.userBandwidth, "record's user bandwidth") &&
              in.int32(r.requestsMade, "record's request count") &&
              in.int32(r.errorCount, "record's error count") &&
              (version < 2 || in.int32(r.objectiveId, "record's objective")) &&
              in.text(title, "record's title") && in.count(names, 1, "record's name count");
    if (!ok) return false;
    r.SetTitle(std::move(title));
    r.requestNames.resize(static_cast<std::size_t>(names));
    for (std::string& name : r.requestNames)
        if (!in.text(name, "record's request names")) return false;
    return readTimings(in, r);
}

} // namespace

std::string resultsFileBytes(const std::vector<ResultsRecord>& records) {
    ArchiveWriter w;
    w.int32(kListVersion);
    w.int32(static_cast<std::int32_t>(records.size()));
    for (const ResultsRecord& record : records) writeRecord(w, *record);
    return w.take();
}

bool readResultsFileBytes(std::string_view bytes, std::vector<ResultsRecord>& records,
                          std::string& error) {
    ArchiveReader in(bytes);
    std::int32_t version, count;
    bool ok = in.int32(version, "results list's version");
    if (ok && version != kListVersion) {
        const std::string problem = "unknown version " + std::to_string(version);
        ok                        = in.failAt(0, problem.c_str(), "results list");
    }
    ok = ok && in.count(count, kSmallestRecord, "record count");
    std::vector<ResultsRecord> read;
    if (ok) read.reserve(static_cast<std::size_t>(count));
    for (std::int32_t i = 0; ok && i < count; ++i) {
        auto record = std::make_shared<CResultsStore>();
        ok          = readRecord(in, *record);
        read.push_back(std::move(record));
    }
    // Bytes past the last record mean the record count or a length is wrong.
    if (ok && in.remaining() > 0) ok = in.fail("bytes after the last record", "results list");
    if (!ok) {
        error = in.error();
        return false;
    }
    records = std::move(read);
    return true;
}

bool readResultsFile(const std::string& path, std::vector<ResultsRecord>& records,
                     std::string& error) {
    std::error_code code;
    if (!std::filesystem::is_regular_file(path, code)) {
        error = "Cannot open the results file " + path + ".";
        return false;
    }
    const auto size = std::filesystem::file_size(path, code);
    if (code) {
        error = "Cannot read the results file " + path + ".";
        return false;
    }
    // Whatever could be saved can be read back, as far as memory allows: detailed batches make
    // files of hundreds of megabytes.
    std::string problem;
    try {
        std::string bytes(static_cast<std::size_t>(size), '\0');
        std::ifstream in(path, std::ios::binary);
        if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
            error = "Cannot read the results file " + path + ".";
            return false;
        }
        if (readResultsFileBytes(bytes, records, problem)) return true;
    } catch (const std::bad_alloc&) {
        problem = "it needs more memory than there is";
    }
    error = "Cannot read the results file " + path + ": " + problem + ".";
    return false;
}

bool writeResultsFile(const std::string& path, const std::string& bytes, std::string& error) {
    if (saveFileContents(path, bytes)) return true;
    error = "Cannot write the results file " + path + ".";
    return false;
}

} // namespace torvex
