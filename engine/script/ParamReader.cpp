#include "script/ParamReader.h"

#include "api/CaseInsensitive.h"
#include "api/Output.h"
#include "script/ArgumentReader.h"
#include "script/RequestDefinition.h"
#include "script/UrlEncoding.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace torvex {
namespace {

// Limit of $var and $clid arguments: they keep one character less.
constexpr std::size_t argumentLimit = 255;
// A $rxname value may hold another $rxname; deeper nesting is refused before it can exhaust the
// stack of a virtual user's thread.
constexpr int maxRxNameNesting = 8;

// Reads a decimal integer as scanf's %d does: white space, an optional sign, at least one digit.
// Values beyond an int are held at its limits.
bool readInt(std::string_view& text, int& value) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    std::size_t digits = i;
    long long n        = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
        n = std::min<long long>(n * 10 + (text[i] - '0'), 1LL + INT_MAX);
    if (i == digits) return false;
    n     = negative ? -n : n;
    value = static_cast<int>(std::clamp<long long>(n, INT_MIN, INT_MAX));
    text.remove_prefix(i);
    return true;
}

bool take(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

int leadingInt(std::string_view text) {
    int value = 0;
    readInt(text, value);
    return value;
}

// In "(/pattern/flags,...)" the position of the slash that closes the pattern, skipping escape
// pairs such as "\/"; npos when the text ends first.
std::size_t closingSlash(std::string_view args) {
    for (std::size_t i = 2; i < args.size(); ++i) {
        if (args[i] == '/') return i;
        if (args[i] == '\\') ++i;
    }
    return std::string_view::npos;
}

// "(first)" or "(first,second)" of $var and $clid, each quoted or plain.
bool readArgumentPair(const char* function, std::string_view args, std::string& first,
                      std::optional<std::string>& second) {
    if (!take(args, '(')) {
        message("'(' expected in after $%s\n", function);
        return false;
    }
    Argument argument = readArgument(args, argumentLimit);
    first             = std::move(argument.text);
    if (argument.delimiter == ',') second = readArgument(args, argumentLimit).text;
    return true;
}

// The items of a list up to its closing ')'.
std::vector<std::string> readItems(std::string_view text) {
    std::vector<std::string> items;
    while (!text.empty()) {
        ListItem item = readListItem(text);
        items.push_back(std::move(item.text));
        if (item.closed) break;
    }
    return items;
}

std::shared_ptr<const CRegex> compiled(std::string_view text) {
    auto expression = std::make_shared<CRegex>();
    if (!expression->compile(text)) return nullptr;
    return expression;
}

} // namespace

bool ParamReader::read(std::string_view name, std::string_view value, Parameter& out) {
    out.name.assign(name);
    out.parts.clear();
    for (;;) {
        std::size_t amp  = value.find('&');
        CParamPart& part = out.parts.emplace_back();
        if (!readPart(name, value.substr(0, amp), part)) return false;
        if (amp == std::string_view::npos) return true;
        value.remove_prefix(amp + 1);
    }
}

bool ParamReader::append(std::string_view name, std::string_view value) {
    Parameter parameter;
    if (!read(name, value, parameter)) return false;
    definition_.parameters->push_back(std::move(parameter));
    return true;
}

bool ParamReader::readPart(std::string_view name, std::string_view text, CParamPart& out) {
    if (text.empty() || text.front() != '$' || text.starts_with("$$")) {
        if (text.starts_with("$$")) text.remove_prefix(1);
        out.kind = part::Literal{std::string(text)};
        return true;
    }
    return readCall(name, text.substr(1), out);
}

bool ParamReader::readCall(std::string_view name, std::string_view call, CParamPart& out) {
    auto is = [&](std::string_view function) {
        if (!startsWithIgnoringCase(call, function)) return false;
        call.remove_prefix(function.size());
        return true;
    };
    const std::string_view whole = call;
    if (is("NRand")) return nrand(whole, call, out);
    if (is("ARand")) return arand(call, out);
    if (is("LRand")) {
        take(call, '(');
        out.kind = part::LRand{readItems(call)};
        return true;
    }
    if (is("Seq")) return seq(call, out);
    if (is("UrlParam")) {
        std::string field(name);
        if (take(call, '(')) {
            field.assign(call.substr(0, call.find(')')));
            decodeCommas(field);
        }
        out.kind = part::UrlParam{std::move(field)};
        return true;
    }
    if (is("Hidden")) {
        std::string field(name);
        if (take(call, '(')) field.assign(call.substr(0, call.find(')')));
        out.kind = part::Hidden{std::move(field)};
        return true;
    }
    if (is("RegExp")) return regexp(call, out);
    if (is("File")) {
        take(call, '(');
        std::size_t comma = call.find(',');
        part::File file{std::string(call.substr(0, comma)), std::nullopt};
        std::string& last = comma == std::string_view::npos
                                ? file.path
                                : file.contentType.emplace(call.substr(comma + 1));
        if (!last.empty() && last.back() == ')') last.pop_back();
        decodeCommas(file.path);
        if (file.contentType) decodeCommas(*file.contentType);
        if (file.contentType && file.contentType->empty()) file.contentType.reset();
        out.kind              = std::move(file);
        definition_.multipart = 1;
        definition_.method    = 1;
        return true;
    }
    if (is("rxname")) return rxname(name, call, out);
    if (is("var")) return var(call, out);
    if (is("clid")) return clid(call, out);
    if (is("list")) return list(call, out);
    if (is("enc<<")) {
        out.kind = part::Literal{urlEncoded(call)};
        return true;
    }
    message("Unknown $ parameter %s\n", std::string(whole).c_str());
    return false;
}

// $NRand(min,max,prefix), read as "(%d,%d,%s)" reads it: the prefix is the next word, without
// one ')' at its end.
bool ParamReader::nrand(std::string_view call, std::string_view args, CParamPart& out) {
    part::NRand nrand;
    if (!take(args, '(') || !readInt(args, nrand.minimum) || !take(args, ',') ||
        !readInt(args, nrand.maximum)) {
        message("Invalid usage of $%s\n", std::string(call).c_str());
        return false;
    }
    if (take(args, ',')) {
        std::size_t start = 0;
        while (start < args.size() && std::isspace(static_cast<unsigned char>(args[start])))
            ++start;
        std::size_t end = start;
        while (end < args.size() && !std::isspace(static_cast<unsigned char>(args[end]))) ++end;
        nrand.prefix.assign(args.substr(start, end - start));
        if (!nrand.prefix.empty() && nrand.prefix.back() == ')') nrand.prefix.pop_back();
    }
    out.kind = std::move(nrand);
    return true;
}

bool ParamReader::arand(std::string_view args, CParamPart& out) {
    part::ARand arand;
    std::string_view rest = args;
    if (!take(rest, '(') || !readInt(rest, arand.minimum) || !take(rest, ',') ||
        !readInt(rest, arand.maximum)) {
        message("Invalid usage of %s\n", std::string(args).c_str());
        return false;
    }
    out.kind = arand;
    return true;
}

// $Seq(prefix,start,step): every ',' must be followed by another ',' or a ')'.
bool ParamReader::seq(std::string_view args, CParamPart& out) {
    part::Seq seq;
    if (!takeSlot(seq.slot)) return false;
    take(args, '(');
    std::size_t end = std::min(args.find_first_of(",)"), args.size());
    seq.prefix.assign(args.substr(0, end));
    std::string_view fields[2]; // start and step
    for (std::string_view& field : fields) {
        if (end >= args.size() || args[end] != ',') break;
        args.remove_prefix(end + 1);
        end = args.find_first_of(",)");
        if (end == std::string_view::npos) {
            message("Invalid usage of $Seq\n");
            return false;
        }
        field = args.substr(0, end);
    }
    seq.start = leadingInt(fields[0]);
    seq.step  = leadingInt(fields[1]);
    seq.width = static_cast<int>(std::min<std::size_t>(fields[0].size(), 64));
    out.kind  = std::move(seq);
    return true;
}

// $RegExp(/pattern/flags,template)
bool ParamReader::regexp(std::string_view args, CParamPart& out) {
    if (args.size() < 2 || args[0] != '(' || args[1] != '/') {
        message("Invalid regexp parameter usage");
        return false;
    }
    std::size_t closing = closingSlash(args);
    if (closing == std::string_view::npos) {
        message("Invalid regexp parameter usage\n");
        return false;
    }
    std::size_t comma = args.find(',', closing + 1);
    std::string_view expression =
        args.substr(1, comma == std::string_view::npos ? comma : comma - 1);
    part::RegExp regexp;
    if (comma != std::string_view::npos) {
        std::string_view rest = args.substr(comma + 1);
        if (!rest.empty()) rest.remove_suffix(1);
        regexp.templateText.assign(rest);
    }
    regexp.expression = compiled(expression);
    if (!regexp.expression) {
        message("Invalid regular expression for regexp parameter: %s",
                std::string(expression).c_str());
        return false;
    }
    out.kind = std::move(regexp);
    return true;
}

// $rxname(/pattern/flags,name template),value
bool ParamReader::rxname(std::string_view name, std::string_view args, CParamPart& out) {
    if (args.size() < 2 || args[0] != '(' || args[1] != '/' ||
        args.find("),") == std::string_view::npos) {
        message("Invalid $rxname usage\n");
        return false;
    }
    std::size_t closing = closingSlash(args);
    std::size_t comma   = closing == std::string_view::npos ? closing : args.find(',', closing + 1);
    std::size_t nameEnd = comma == std::string_view::npos ? comma : args.find(')', comma + 1);
    std::size_t valueAt = nameEnd == std::string_view::npos ? nameEnd : args.find("),", nameEnd);
    if (valueAt == std::string_view::npos) return false;

    std::string_view expression = args.substr(1, comma - 1);
    part::RxName rxname;
    rxname.nameTemplate.assign(args.substr(comma + 1, nameEnd - comma - 1));
    rxname.expression = compiled(expression);
    if (!rxname.expression) {
        message("Invalid regexp:%s\n", std::string(expression).c_str());
        return false;
    }
    if (rxnameDepth_ >= maxRxNameNesting) {
        message("Invalid $rxname usage\n");
        return false;
    }
    Parameter value;
    ++rxnameDepth_;
    bool valueRead = read(name, args.substr(valueAt + 2), value);
    --rxnameDepth_;
    if (!valueRead) return false;
    rxname.value = std::move(value.parts);
    out.kind     = std::move(rxname);
    return true;
}

bool ParamReader::var(std::string_view args, CParamPart& out) {
    part::Var var;
    if (!readArgumentPair("var", args, var.name, var.defaultText)) return false;
    out.kind = std::move(var);
    return true;
}

bool ParamReader::clid(std::string_view args, CParamPart& out) {
    part::ClId clid;
    std::optional<std::string> suffix;
    if (!readArgumentPair("clid", args, clid.prefix, suffix)) return false;
    clid.suffix = suffix.value_or("");
    out.kind    = std::move(clid);
    return true;
}

bool ParamReader::list(std::string_view args, CParamPart& out) {
    part::List list;
    if (!takeSlot(list.slot)) return false;
    if (!take(args, '(')) {
        message("'(' expected in after $list\n");
        return false;
    }
    list.items = readItems(args);
    out.kind   = std::move(list);
    return true;
}

// $list and $Seq own a counter slot of every user, so they can only be read with the script.
bool ParamReader::takeSlot(int& slot) {
    if (!slotCounter_) {
        message("Error: $seq parameter cannot be created in runtime!\n");
        return false;
    }
    slot = (*slotCounter_)++;
    return true;
}

} // namespace torvex
