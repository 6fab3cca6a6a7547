#include "script/WorkingCopy.h"

#include "api/TestSet.h"
#include "script/RandomGenerator.h"

#include <climits>

namespace torvex {
namespace {

std::unique_ptr<TextBuffer> copied(const std::unique_ptr<TextBuffer>& buffer) {
    if (!buffer) return nullptr;
    auto copy = std::make_unique<TextBuffer>(buffer->capacity());
    copy->append(buffer->view());
    return copy;
}

} // namespace

RequestDefinition makeWorkingCopy(const RequestDefinition& d) {
    RequestDefinition copy;
    copy.name        = d.name;
    copy.uri         = d.uri;
    copy.server      = d.server;
    copy.port        = d.port;
    copy.method      = d.method;
    copy.delaymin    = d.delaymin;
    copy.delaymax    = d.delaymax;
    copy.keepalive   = d.keepalive;
    copy.multipart   = d.multipart;
    copy.secure      = d.secure;
    copy.failcheck   = d.failcheck;
    copy.failnegated = d.failnegated;
    copy.parameters  = d.parameters;
    copy.content     = copied(d.content);
    copy.headers     = copied(d.headers);
    if (d.exportvars) {
        copy.exportvars = std::make_unique<NameTable<ExportRule>>();
        d.exportvars->forEach([&](const std::string& variable, const ExportRule& rule) {
            copy.exportvars->insert(variable.c_str(), rule);
        });
    }
    return copy;
}

std::vector<int> initialCounters(const CTestSet& testSet, int userIndex) {
    std::vector<int> counters(static_cast<std::size_t>(std::max(testSet.listcounter, 0)), 0);
    testSet.definitions.forEach([&](const std::string&, const RequestDefinition& d) {
        for (const Parameter& p : *d.parameters) {
            const auto* seq =
                p.parts.empty() ? nullptr : std::get_if<part::Seq>(&p.parts.front().kind);
            if (!seq || seq->slot < 0 || static_cast<std::size_t>(seq->slot) >= counters.size())
                continue;
            // Wrapping arithmetic: a huge start or step must not overflow.
            unsigned start = static_cast<unsigned>(seq->start) +
                             static_cast<unsigned>(userIndex) * static_cast<unsigned>(seq->step);
            counters[seq->slot] = static_cast<int>(start);
        }
    });
    return counters;
}

int requestDelay(const RequestDefinition& copy, RandomGenerator& random) {
    long long minimum = copy.delaymin;
    long long spread  = static_cast<long long>(copy.delaymax) - minimum;
    if (minimum <= 0 && spread <= 0) return 0;
    if (copy.delaymax == 0) return copy.delaymin;
    return static_cast<int>(minimum +
                            random.next(static_cast<int>(std::min<long long>(spread, INT_MAX))));
}

} // namespace torvex
