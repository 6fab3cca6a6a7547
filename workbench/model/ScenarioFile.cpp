#include "model/ScenarioFile.h"

#include "model/FileSaving.h"
#include "model/RequestIds.h"
#include "model/Scenario.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace torvex {
namespace {

constexpr std::uint32_t kMagic = 0xDEADBEAF;
// A file nests child requests no deeper than this; deeper nesting is damage, not a scenario.
constexpr int kDeepestNesting = 64;
// Scenarios are a few kilobytes; a file this large is not one.
constexpr std::uintmax_t kLargestFile = std::uintmax_t{256} << 20;

class Writer {
public:
    void int32(std::int32_t value) {
        auto v = static_cast<std::uint32_t>(value);
        for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((v >> shift) & 0xFF);
    }
    void text(const std::string& value) {
        int32(static_cast<std::int32_t>(value.size()));
        out += value;
    }
    void texts(const std::vector<std::string>& values) {
        int32(static_cast<std::int32_t>(values.size()));
        for (const std::string& value : values) text(value);
    }
    std::string out;
};

void writeComponent(Writer& w, const CReqParamFunction& c) {
    w.int32(1);
    w.int32(static_cast<std::int32_t>(c.from()));
    w.int32(static_cast<std::int32_t>(c.shift()));
    w.int32(static_cast<std::int32_t>(c.to()));
    w.int32(c.kind());
    w.text(c.storedText2());
    w.text(c.storedText());
}

void writeRequest(Writer& w, const CRequest& r) {
    w.int32(1);
    w.int32(r.scheme);
    w.int32(r.delayMin);
    w.int32(r.delayMax);
    w.int32(r.useDelay);
    w.int32(r.method);
    w.text(r.contentType);
    w.text(r.name);
    w.text(r.server);
    w.text(r.uri);
    w.int32(static_cast<std::int32_t>(r.params.size()));
    for (const CReqParam& p : r.params) {
        w.int32(1);
        w.int32(p.encode ? 1 : 0);
        w.text(p.name);
        w.text(p.extraText);
        w.int32(static_cast<std::int32_t>(p.components.size()));
        for (const CReqParamFunction& c : p.components) writeComponent(w, c);
    }
}

void writeNodes(Writer& w, const std::vector<std::unique_ptr<CRequestsContainer::Node>>& nodes) {
    w.int32(static_cast<std::int32_t>(nodes.size()));
    for (const auto& node : nodes) {
        writeRequest(w, *node->request);
        writeNodes(w, node->children);
    }
}

// Reads the file's items, refusing anything that does not fit: every failure leaves a message
// saying what was being read and at which byte.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}

    bool int32(std::int32_t& value, const char* what) {
        if (bytes_.size() - at_ < 4) return fail("the file ends", what);
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes_[at_ + i]);
        at_ += 4;
        value = static_cast<std::int32_t>(v);
        return true;
    }
    bool number(int& value, const char* what) {
        std::int32_t v;
        if (!int32(v, what)) return false;
        value = v;
        return true;
    }
    bool flag(bool& value, const char* what) {
        std::int32_t v;
        if (!int32(v, what)) return false;
        value = v != 0;
        return true;
    }
    bool text(std::string& value, const char* what) {
        std::int32_t length;
        if (!int32(length, what)) return false;
        if (length < 0) return fail("a negative length", what);
        if (static_cast<std::size_t>(length) > bytes_.size() - at_)
            return fail("a length past the end of the file", what);
        value.assign(bytes_.substr(at_, static_cast<std::size_t>(length)));
        // A stored NUL ends the text, as it always has.
        value.resize(value.find('\0') == std::string::npos ? value.size() : value.find('\0'));
        at_ += static_cast<std::size_t>(length);
        return true;
    }
    // A count of items that each take at least `smallest` bytes; negative counts read nothing.
    bool count(std::int32_t& value, std::size_t smallest, const char* what) {
        if (!int32(value, what)) return false;
        if (value > 0 && static_cast<std::size_t>(value) > (bytes_.size() - at_) / smallest)
            return fail("a count past the end of the file", what);
        return true;
    }
    bool texts(std::vector<std::string>& values, const char* what) {
        std::int32_t n;
        if (!count(n, 4, what)) return false;
        values.clear();
        for (std::int32_t i = 0; i < n; ++i) {
            std::string value;
            if (!text(value, what)) return false;
            values.push_back(std::move(value));
        }
        return true;
    }
    bool version(const char* record, int lowest, int highest, int& version) {
        std::int32_t v;
        if (!int32(v, record)) return false;
        if (v < lowest || v > highest) {
            char text[160];
            std::snprintf(text, sizeof text, "unknown version %d of the %s at byte %zu",
                          static_cast<int>(v), record, at_ - 4);
            error = text;
            return false;
        }
        version = v;
        return true;
    }
    bool fail(const char* problem, const char* what) {
        char text[200];
        std::snprintf(text, sizeof text, "%s at byte %zu while reading the %s", problem, at_, what);
        error = text;
        return false;
    }

    std::string error;

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

bool readComponent(Reader& r, CReqParamFunction& c) {
    int version, from, shift, to, kind;
    std::string text, text2;
    if (!r.version("parameter component record", 1, 1, version) ||
        !r.number(from, "component's lower bound") || !r.number(shift, "component's shift") ||
        !r.number(to, "component's upper bound") || !r.number(kind, "component's kind") ||
        !r.text(text2, "component's second text") || !r.text(text, "component's text"))
        return false;
    c.setFrom(static_cast<std::uint32_t>(from));
    c.setShift(static_cast<std::uint32_t>(shift));
    c.setTo(static_cast<std::uint32_t>(to));
    c.setKind(kind);
    c.setStoredText2(std::move(text2));
    c.setStoredText(std::move(text));
    return true;
}

bool readParam(Reader& r, CReqParam& p) {
    int version;
    std::int32_t components;
    if (!r.version("parameter record", 1, 1, version) || !r.flag(p.encode, "parameter's flag") ||
        !r.text(p.name, "parameter's name") || !r.text(p.extraText, "parameter's extra text") ||
        !r.count(components, 4, "parameter's component count"))
        return false;
    for (std::int32_t i = 0; i < components; ++i) {
        CReqParamFunction c;
        if (!readComponent(r, c)) return false;
        p.components.push_back(std::move(c));
    }
    return true;
}

bool readRequest(Reader& r, CRequest& q) {
    int version;
    std::int32_t params;
    if (!r.version("request record", 1, 1, version) || !r.number(q.scheme, "request's scheme") ||
        !r.number(q.delayMin, "request's delay") || !r.number(q.delayMax, "request's delay") ||
        !r.number(q.useDelay, "request's delay flag") || !r.number(q.method, "request's method") ||
        !r.text(q.contentType, "request's content type") || !r.text(q.name, "request's name") ||
        !r.text(q.server, "request's server") || !r.text(q.uri, "request's path") ||
        !r.count(params, 4, "request's parameter count"))
        return false;
    for (std::int32_t i = 0; i < params; ++i) {
        CReqParam p;
        if (!readParam(r, p)) return false;
        q.params.push_back(std::move(p));
    }
    return true;
}

bool readNodes(Reader& r, std::vector<std::unique_ptr<CRequestsContainer::Node>>& nodes,
               int depth) {
    if (depth > kDeepestNesting) return r.fail("requests nested too deep", "request list");
    std::int32_t n;
    if (!r.count(n, 8, "request count")) return false;
    for (std::int32_t i = 0; i < n; ++i) {
        auto node     = std::make_unique<CRequestsContainer::Node>();
        node->request = std::make_unique<CRequest>();
        if (!readRequest(r, *node->request) || !readNodes(r, node->children, depth + 1))
            return false;
        nodes.push_back(std::move(node));
    }
    return true;
}

bool readGeneral(Reader& r, CGeneralSection& g) {
    int version;
    return r.version("general section", 1, 1, version) &&
           r.number(g.ignoreErrors, "general section") &&
           r.number(g.keepAlive, "general section") &&
           r.number(g.addForwardedFor, "general section") &&
           r.number(g.customUserAgent, "general section") &&
           r.number(g.basicAuth, "general section") && r.number(g.limitSpeed, "general section") &&
           r.number(g.speed, "general section") && r.number(g.useDelays, "general section") &&
           r.text(g.userAgent, "user agent") && r.text(g.userName, "user name") &&
           r.text(g.password, "password") && r.text(g.proxyMask, "proxy mask");
}

bool readRun(Reader& r, CRunSection& s) {
    int version;
    if (!r.version("run section", 1, 2, version)) return false;
    for (int* field :
         {&s.timeoutCheck,  &s.finalSeqOn,        &s.initialSeqOn,  &s.mainSeqOn,
          &s.loadLevelMode, &s.saveLog,           &s.saveReports,   &s.saveTimings,
          &s.staggerStart,  &s.batchBy,           &s.batchFrom,     &s.pauseBetweenRuns,
          &s.pauseSeconds,  &s.requestsPerSecond, &s.limitRequests, &s.maxRequests,
          &s.iterations,    &s.limitTime,         &s.maxMinutes,    &s.batchRun,
          &s.staggerMs,     &s.batchStep,         &s.timingsKind,   &s.batchTo,
          &s.users,         &s.timingMode,        &s.timingRounding})
        if (!r.number(*field, "run section")) return false;
    if (version == 2 && !r.number(s.objectiveId, "run section")) return false;
    return r.text(s.comment, "comment") && r.text(s.logDir, "log folder") &&
           r.text(s.reportNamePattern, "report name pattern") &&
           r.text(s.reportDir, "report folder") && r.texts(s.finalSeq, "final sequence") &&
           r.texts(s.initialSeq, "initial sequence") && r.texts(s.mainSeq, "main sequence");
}

} // namespace

std::string scenarioBytes(const CScenario& s) {
    Writer w;
    w.int32(static_cast<std::int32_t>(kMagic));
    w.int32(1);

    const CGeneralSection& g = s.general;
    w.int32(1);
    for (int value : {g.ignoreErrors, g.keepAlive, g.addForwardedFor, g.customUserAgent,
                      g.basicAuth, g.limitSpeed, g.speed, g.useDelays})
        w.int32(value);
    w.text(g.userAgent);
    w.text(g.userName);
    w.text(g.password);
    w.text(g.proxyMask);

    const CRunSection& r = s.run;
    w.int32(2);
    for (int value :
         {r.timeoutCheck, r.finalSeqOn,       r.initialSeqOn, r.mainSeqOn,         r.loadLevelMode,
          r.saveLog,      r.saveReports,      r.saveTimings,  r.staggerStart,      r.batchBy,
          r.batchFrom,    r.pauseBetweenRuns, r.pauseSeconds, r.requestsPerSecond, r.limitRequests,
          r.maxRequests,  r.iterations,       r.limitTime,    r.maxMinutes,        r.batchRun,
          r.staggerMs,    r.batchStep,        r.timingsKind,  r.batchTo,           r.users,
          r.timingMode,   r.timingRounding,   r.objectiveId})
        w.int32(value);
    w.text(r.comment);
    w.text(r.logDir);
    w.text(r.reportNamePattern);
    w.text(r.reportDir);
    w.texts(r.finalSeq);
    w.texts(r.initialSeq);
    w.texts(r.mainSeq);

    w.int32(1);
    s.requests.lock();
    writeNodes(w, s.requests.nodes());
    s.requests.unlock();
    return std::move(w.out);
}

bool readScenarioBytes(std::string_view bytes, CScenario& scenario, std::string& error) {
    Reader r(bytes);
    std::int32_t magic;
    int version;
    if (!r.int32(magic, "magic number")) {
        error = r.error;
        return false;
    }
    if (static_cast<std::uint32_t>(magic) != kMagic) {
        error = "not a scenario file (wrong magic number)";
        return false;
    }
    std::vector<std::unique_ptr<CRequestsContainer::Node>> nodes;
    int requestsVersion;
    const int lastId = lastRequestId();
    resetRequestIds();
    bool ok = r.version("scenario record", 1, 1, version) && readGeneral(r, scenario.general) &&
              readRun(r, scenario.run) && r.version("request list record", 1, 1, requestsVersion) &&
              readNodes(r, nodes, 0);
    if (!ok) {
        restoreRequestIds(lastId);
        error = r.error;
        return false;
    }
    scenario.requests.clear();
    scenario.requests.lock();
    scenario.requests.nodes() = std::move(nodes);
    scenario.requests.unlock();
    return true;
}

bool saveScenarioFile(const CScenario& scenario, const std::string& path, std::string& error) {
    if (saveFileContents(path, scenarioBytes(scenario))) return true;
    error = "Cannot write the scenario file " + path + ".";
    return false;
}

bool openScenarioFile(CScenario& scenario, const std::string& path, std::string& error) {
    std::error_code code;
    if (!std::filesystem::is_regular_file(path, code)) {
        error = "Cannot open the scenario file " + path + ".";
        return false;
    }
    const auto size = std::filesystem::file_size(path, code);
    if (code || size > kLargestFile) {
        error = "Cannot read the scenario file " + path + (code ? "." : ": it is far too large.");
        return false;
    }
    std::string bytes(static_cast<std::size_t>(size), '\0');
    std::ifstream in(path, std::ios::binary);
    if (!in || !in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) {
        error = "Cannot read the scenario file " + path + ".";
        return false;
    }
    CScenario fresh;
    fresh.general = scenario.general;
    fresh.run     = scenario.run;
    std::string problem;
    if (!readScenarioBytes(bytes, fresh, problem)) {
        error = "The scenario file " + path + " is damaged: " + problem + ".";
        return false;
    }
    scenario.swapContents(fresh);
    return true;
}

bool isScenarioFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char bytes[4] = {};
    if (!in.read(reinterpret_cast<char*>(bytes), sizeof bytes)) return false;
    std::uint32_t magic = bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t{bytes[3]} << 24;
    return magic == kMagic;
}

} // namespace torvex
