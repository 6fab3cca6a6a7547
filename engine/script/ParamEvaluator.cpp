#include "script/ParamEvaluator.h"

#include "api/TextBuffer.h"
#include "api/WholeFile.h"
#include "script/ResponseValues.h"
#include "script/UserLog.h"
#include "script/UserScriptState.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>

namespace torvex {
namespace {

constexpr int capturePairs     = 10;
constexpr int maxRandomLength  = 8191;
constexpr char alphanumerics[] = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

void appendNumber(TextBuffer& out, long long value) {
    char digits[24];
    auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    out.append(std::string_view(digits, end - digits));
}

// A count as R(n) takes it, held at INT_MAX.
int span(int from, int to) {
    return static_cast<int>(std::min<long long>(static_cast<long long>(to) - from, INT_MAX));
}

// Copies a template, replacing "$d" by capture d of the match (nothing for an unset group).
template <typename Out>
void appendFilledTemplate(Out& out, std::string_view templateText, const char* subject,
                          const int* pairs, int pairCount) {
    std::size_t plainFrom = 0;
    for (std::size_t i = 0; i + 1 < templateText.size(); ++i) {
        if (templateText[i] != '$' || templateText[i + 1] < '0' || templateText[i + 1] > '9')
            continue;
        out.append(templateText.substr(plainFrom, i - plainFrom));
        int group = templateText[i + 1] - '0';
        if (group < pairCount && pairs[2 * group] >= 0)
            out.append(std::string_view(subject + pairs[2 * group],
                                        pairs[2 * group + 1] - pairs[2 * group]));
        plainFrom = ++i + 1;
    }
    out.append(templateText.substr(plainFrom));
}

struct PartEvaluator {
    TextBuffer& out;
    UserScriptState& user;
    ResponseText response;
    bool multipart;

    void operator()(const part::Literal& p) const { out.append(p.text); }

    void operator()(const part::NRand& p) const {
        out.append(p.prefix);
        appendNumber(out, static_cast<long long>(p.minimum) +
                              user.random.next(span(p.minimum, p.maximum)));
    }

    void operator()(const part::ARand& p) const {
        long long length =
            static_cast<long long>(p.minimum) + user.random.next(span(p.minimum, p.maximum));
        length = std::clamp<long long>(length, 0, maxRandomLength);
        char chunk[256];
        while (length > 0) {
            int n = static_cast<int>(std::min<long long>(length, sizeof chunk));
            for (int i = 0; i < n; ++i) chunk[i] = alphanumerics[user.random.next(62)];
            out.append(std::string_view(chunk, n));
            length -= n;
        }
    }

    void operator()(const part::LRand& p) const {
        if (p.items.empty()) return;
        out.append(p.items[user.random.next(static_cast<int>(p.items.size()))]);
    }

    void operator()(const part::List& p) const {
        int* counter = slot(p.slot);
        if (p.items.empty() || !counter) return;
        out.append(p.items[static_cast<unsigned>(*counter) % p.items.size()]);
        advance(*counter);
    }

    void operator()(const part::Seq& p) const {
        out.append(p.prefix);
        int* counter = slot(p.slot);
        if (!counter) return;
        char digits[80];
        int n = std::snprintf(digits, sizeof digits, "%0*d", p.width, *counter);
        out.append(std::string_view(digits, std::clamp(n, 0, int(sizeof digits) - 1)));
        advance(*counter);
    }

    void operator()(const part::UrlParam& p) const {
        if (response.present()) appendUrlParamValue(out, response.view(), p.name, user.random);
    }

    void operator()(const part::Hidden& p) const {
        if (response.present())
            appendHiddenValue(out, response.view(), p.name, user.random, multipart);
    }

    void operator()(const part::RegExp& p) const {
        int pairs[2 * capturePairs];
        int count = capturePairs;
        if (matches(*p.expression, pairs, count))
            appendFilledTemplate(out, p.templateText, response.c_str(), pairs, count);
    }

    void operator()(const part::File& p) const {
        if (std::optional<std::string> bytes = readWholeFile(p.path)) {
            out.append(*bytes);
        } else if (user.log) {
            std::string line = "ERROR: Unable to open file " + p.path + "\n";
            user.log->write(line);
        }
    }

    void operator()(const part::RxName& p) const {
        int pairs[2 * capturePairs];
        int count = capturePairs;
        if (matches(*p.expression, pairs, count))
            appendPartsValue(out, p.value, user, response, multipart);
    }

    void operator()(const part::Var& p) const {
        if (const std::string* value = user.variables.find(p.name.c_str()))
            out.append(*value);
        else if (p.defaultText)
            out.append(*p.defaultText);
    }

    void operator()(const part::ClId& p) const {
        out.append(p.prefix);
        appendNumber(out, user.userIndex);
        out.append(p.suffix);
    }

    bool matches(const CRegex& expression, int* pairs, int& count) const {
        return response.present() && expression.match(response.c_str(), pairs, count);
    }

    int* slot(int index) const {
        bool present = index >= 0 && static_cast<std::size_t>(index) < user.counters.size();
        return present ? &user.counters[index] : nullptr;
    }
    // Counters wrap around instead of overflowing.
    static void advance(int& counter) {
        counter = static_cast<int>(static_cast<unsigned>(counter) + 1u);
    }
};

} // namespace

void appendPartValue(TextBuffer& out, const CParamPart& part, UserScriptState& user,
                     ResponseText response, bool multipart) {
    std::visit(PartEvaluator{out, user, response, multipart}, part.kind);
}

void appendPartsValue(TextBuffer& out, const std::vector<CParamPart>& parts, UserScriptState& user,
                      ResponseText response, bool multipart) {
    for (const CParamPart& part : parts) appendPartValue(out, part, user, response, multipart);
}

bool nameFromResponse(const part::RxName& rxname, ResponseText response, std::string& name) {
    int pairs[2 * capturePairs];
    int count = capturePairs;
    if (!response.present() || !rxname.expression->match(response.c_str(), pairs, count))
        return false;
    name.clear();
    appendFilledTemplate(name, rxname.nameTemplate, response.c_str(), pairs, count);
    return true;
}

} // namespace torvex
