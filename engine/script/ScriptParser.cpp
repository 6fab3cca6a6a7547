#include "script/ScriptParser.h"

#include "api/CaseInsensitive.h"
#include "api/Options.h"
#include "api/Output.h"
#include "api/TestSet.h"
#include "api/WholeFile.h"
#include "script/ArgumentReader.h"
#include "script/ContentParameters.h"
#include "script/LineReader.h"
#include "script/ParamReader.h"
#include "script/SequenceArguments.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <string>

namespace torvex {
namespace {

enum class State {
    general,
    initialSequence,
    testSequence,
    finalSequence,
    includes,
    header,
    script,
    inlineContent,
    request,
};

std::atomic<bool> scriptFilesAllowed{true};

// The file a script names, or none when it cannot be read or scripts may not read files.
std::optional<std::string> scriptFile(const std::string& path) {
    if (!scriptFilesAllowed.load(std::memory_order_relaxed)) return std::nullopt;
    return readWholeFile(path);
}

// Includes deeper than this are taken for a loop of files including each other.
constexpr int maxIncludeDepth        = 32;
constexpr std::size_t maxSectionName = 255;
// Limit of the $exportvar variable and template: they keep one character less.
constexpr std::size_t argumentLimit        = 255;
constexpr std::size_t maxContentTerminator = 255;
// Request options are looked for in this much of a '$' line.
constexpr std::size_t maxRequestOptionLine = 511;

// A "name=value" line: the name without the spaces before '=', the value as it stands.
struct Assignment {
    std::string name;
    std::string_view value;
};

Assignment splitAssignment(std::string_view line) {
    std::size_t equals    = line.find('=');
    std::string_view name = line.substr(0, equals);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    std::string_view value =
        equals == std::string_view::npos ? std::string_view{} : line.substr(equals + 1);
    return {std::string(name), value};
}

// A sequence line "req_3($delay=0)" names req_3 with the arguments "$delay=0)".
SequenceEntry sequenceEntry(std::string_view line) {
    std::size_t paren = line.find('(');
    if (paren == std::string_view::npos) return {std::string(line), std::nullopt};
    return {std::string(line.substr(0, paren)), std::string(line.substr(paren + 1))};
}

class ScriptParser {
public:
    ScriptParser(CTestSet& t, int depth) : t_(t), depth_(depth) {}

    int parse(std::string_view text);

private:
    bool substituteGlobals(std::string& line);
    bool handle(std::string_view line);
    bool section(std::string_view line);
    bool defineRequest(std::string_view name);
    bool general(std::string_view line);
    void testSequenceLine(std::string_view line);
    bool include(std::string_view path);
    bool inlineContentLine(std::string_view line);
    bool requestLine(std::string_view line);
    bool failCheck(std::string_view value);
    bool exportVariable(std::string_view value);
    bool content(std::string_view value);

    CTestSet& t_;
    int depth_;
    State state_                = State::general;
    int lineNumber_             = 0;
    bool testSequenceGiven_     = false;
    RequestDefinition* current_ = nullptr;
    std::string contentTerminator_;
};

int ScriptParser::parse(std::string_view text) {
    t_.initsequence.setTailOpen(false);
    t_.testsequence.setTailOpen(false);
    t_.finalsequence.setTailOpen(false);
    t_.headerlines.setTailOpen(true);
    t_.initcount = t_.testcount = t_.finalcount = 0;

    LineReader reader(text);
    std::string_view raw;
    std::string line;
    while (reader.next(raw)) {
        ++lineNumber_;
        if (raw.empty() || raw.front() == ';') continue;
        line.assign(raw);
        if (!substituteGlobals(line) || !handle(line)) return 0;
    }
    return 1;
}

// Replaces every $gvar(name) and $gvar(name,default) by the global variable's value, its default,
// or nothing. Inserted text is not scanned again.
bool ScriptParser::substituteGlobals(std::string& line) {
    static constexpr std::string_view opener = "$gvar(";
    std::size_t at                           = 0;
    while ((at = findIgnoringCase(line, opener, at)) != std::string::npos) {
        std::size_t nameStart = at + opener.size();
        std::size_t nameEnd   = line.find_first_of("),", nameStart);
        if (nameEnd == std::string::npos) {
            message("Syntax error in this line: %s\n", line.c_str());
            return false;
        }
        std::string name = line.substr(nameStart, nameEnd - nameStart);
        std::string replacement;
        std::size_t end = nameEnd; // the closing ')', or the end of the line
        if (line[nameEnd] == ',') {
            end         = std::min(line.find(')', nameEnd + 1), line.size());
            replacement = line.substr(nameEnd + 1, end - nameEnd - 1);
        }
        if (const std::string* value = t_.globalvariables.find(name.c_str())) replacement = *value;
        line.replace(at, std::min(end + 1, line.size()) - at, replacement);
        at += replacement.size();
        if (line.size() > LineReader::maxLength)
            line.resize(utf8PrefixLength(line, LineReader::maxLength));
    }
    return true;
}

bool ScriptParser::handle(std::string_view line) {
    if (state_ == State::script) {
        if (line == t_.endofscript.view()) {
            state_ = State::general;
            return true;
        }
        if (!t_.scripttext) t_.scripttext = std::make_unique<TextBuffer>(2048);
        t_.scripttext->append(line);
        t_.scripttext->append("\n");
        return true;
    }
    if (!line.empty() && line.front() == '[') return section(line);

    switch (state_) {
    case State::general:
        return general(line);
    case State::initialSequence:
        t_.initsequence.append(sequenceEntry(line));
        ++t_.initcount;
        return true;
    case State::testSequence:
        testSequenceLine(line);
        return true;
    case State::finalSequence:
        t_.finalsequence.append(sequenceEntry(line));
        ++t_.finalcount;
        return true;
    case State::includes:
        return include(line);
    case State::header:
        t_.headerlines.append({std::string(line), std::nullopt});
        return true;
    case State::inlineContent:
        return inlineContentLine(line);
    case State::request:
        return requestLine(line);
    case State::script:
        break;
    }
    return true;
}

bool ScriptParser::section(std::string_view line) {
    if (line.size() >= 2 && line.back() == ']') line = line.substr(1, line.size() - 2);
    static const struct {
        std::string_view keyword;
        State state;
    } keywords[] = {
        {"general", State::general},      {"initseq", State::initialSequence},
        {"testseq", State::testSequence}, {"finalseq", State::finalSequence},
        {"includes", State::includes},    {"header", State::header},
        {"script", State::script},
    };
    for (const auto& k : keywords) {
        if (equalsIgnoringCase(line, k.keyword)) {
            state_ = k.state;
            return true;
        }
    }
    return defineRequest(line.substr(0, utf8PrefixLength(line, maxSectionName)));
}

bool ScriptParser::defineRequest(std::string_view sectionName) {
    ++t_.definitioncount;
    std::string name(sectionName);
    if (t_.definitions.find(name.c_str())) {
        message("Duplicate request definition: %s\n", name.c_str());
        return false;
    }
    RequestDefinition definition;
    definition.name      = name;
    definition.uri       = t_.uri.c_str();
    definition.port      = t_.port;
    definition.method    = t_.method;
    definition.delaymin  = t_.delay;
    definition.keepalive = t_.keepalive;
    current_             = &t_.definitions.insert(name.c_str(), std::move(definition));
    state_               = State::request;

    if (!testSequenceGiven_) {
        t_.testsequence.append(sequenceEntry(name));
        ++t_.testcount;
    }
    return true;
}

bool ScriptParser::general(std::string_view line) {
    Assignment a = splitAssignment(line);
    for (char& c : a.name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return setOption(t_, a.name.c_str(), std::string(a.value).c_str()) != 0;
}

// The first [testseq] line of a parse replaces the test sequence built from the definitions.
void ScriptParser::testSequenceLine(std::string_view line) {
    if (!testSequenceGiven_) {
        t_.testsequence.clear();
        t_.testcount       = 0;
        testSequenceGiven_ = true;
    }
    t_.testsequence.append(sequenceEntry(line));
    ++t_.testcount;
}

// An included file is parsed on its own; a sequence it fills restarts on the including script's
// next entry, a sequence it leaves alone keeps the including script's entries and count.
bool ScriptParser::include(std::string_view pathText) {
    std::string path(pathText);
    if (depth_ >= maxIncludeDepth) {
        message("Too many nested includes at %s\n", path.c_str());
        return false;
    }
    std::optional<std::string> text = scriptFile(path);
    if (!text) {
        message("Cannot open file %s\n", path.c_str());
        return false;
    }
    text->resize(std::char_traits<char>::length(text->c_str())); // a script ends at a NUL byte

    struct Saved {
        SequenceList& list;
        int& count;
        bool tailOpen;
        int value;
    } saved[] = {
        {t_.initsequence, t_.initcount, t_.initsequence.tailOpen(), t_.initcount},
        {t_.testsequence, t_.testcount, t_.testsequence.tailOpen(), t_.testcount},
        {t_.finalsequence, t_.finalcount, t_.finalsequence.tailOpen(), t_.finalcount},
    };
    if (!ScriptParser(t_, depth_ + 1).parse(*text)) return false;
    for (Saved& s : saved) {
        if (s.count > 0) {
            s.list.setTailOpen(false);
        } else {
            s.list.setTailOpen(s.tailOpen);
            s.count = s.value;
        }
    }
    return true;
}

// Lines of a "$content=<<END" block up to the terminator line, each followed by a line feed.
bool ScriptParser::inlineContentLine(std::string_view line) {
    if (line == contentTerminator_) {
        state_ = State::request;
        makeContentParameters(*current_, &t_.listcounter);
    } else {
        current_->content->append(line);
        current_->content->append("\n");
    }
    return true;
}

bool ScriptParser::requestLine(std::string_view line) {
    if (line.starts_with("$$")) {
        line.remove_prefix(1);
    } else if (!line.empty() && line.front() == '$') {
        if (line.substr(0, maxRequestOptionLine).find('=') == std::string_view::npos) return true;
        if (setRequestOption(*current_, line)) return true;
    }

    Assignment a = splitAssignment(line);
    if (equalsIgnoringCase(a.name, "$fail")) return failCheck(a.value);
    if (equalsIgnoringCase(a.name, "$exportvar")) return exportVariable(a.value);
    if (equalsIgnoringCase(a.name, "$content") || equalsIgnoringCase(a.name, "$xmlcontent"))
        return content(a.value);
    if (equalsIgnoringCase(a.name, "$header")) {
        if (!current_->headers) current_->headers = std::make_unique<TextBuffer>(128);
        current_->headers->append(a.value);
        current_->headers->append("\r\n");
        return true;
    }
    return ParamReader(*current_, &t_.listcounter).append(a.name, a.value);
}

// $fail=/re/flags fails a response that matches; $fail=!/re/flags one that does not.
bool ScriptParser::failCheck(std::string_view value) {
    bool negated = value.starts_with('!');
    if (negated) value.remove_prefix(1);
    auto expression = std::make_shared<CRegex>();
    if (!expression->compile(value)) {
        message("Invalid regexp in $fail parameter\n");
        return false;
    }
    current_->failcheck   = std::move(expression);
    current_->failnegated = negated ? 1 : 0;
    return true;
}

// $exportvar=variable,/re/flags,template
bool ScriptParser::exportVariable(std::string_view value) {
    std::string_view rest = value;
    std::string variable  = readArgument(rest, argumentLimit).text;
    if (!rest.starts_with('/')) {
        message("Regexp expected at $exporvar=%s\n", std::string(value).c_str());
        return false;
    }
    std::size_t i = 1;
    while (i < rest.size() && rest[i] != '/') i += rest[i] == '\\' ? 2 : 1;
    std::size_t comma = rest.find(',', std::min(i, rest.size()));
    if (comma == std::string_view::npos || comma + 1 == rest.size()) {
        message("Invalud $exportvar syntax\n");
        return false;
    }
    std::string expressionText(rest.substr(0, comma));
    auto expression = std::make_shared<CRegex>();
    if (!expression->compile(expressionText)) {
        message("Invalid regexp:%s\n", expressionText.c_str());
        return false;
    }
    rest.remove_prefix(comma + 1);
    ExportRule rule{std::move(expression), readArgument(rest, argumentLimit).text};
    if (!current_->exportvars) current_->exportvars = std::make_unique<NameTable<ExportRule>>();
    current_->exportvars->assign(variable.c_str(), std::move(rule));
    return true;
}

// $content=FILE reads the body from a file; $content=<<END takes the lines up to END.
bool ScriptParser::content(std::string_view value) {
    current_->content = std::make_unique<TextBuffer>(1024);
    if (value.starts_with("<<")) {
        value.remove_prefix(2);
        contentTerminator_.assign(value.substr(0, utf8PrefixLength(value, maxContentTerminator)));
        state_ = State::inlineContent;
        return true;
    }
    if (value.starts_with('<')) {
        message("Syntax error at line %d\n", lineNumber_);
        return false;
    }
    std::string path(value);
    std::optional<std::string> bytes = scriptFile(path);
    if (!bytes) {
        message("Failed to open request content file:%s\n", path.c_str());
        return false;
    }
    current_->content->append(*bytes);
    makeContentParameters(*current_, &t_.listcounter);
    return true;
}

} // namespace

void allowScriptFiles(bool allowed) {
    scriptFilesAllowed.store(allowed, std::memory_order_relaxed);
}

int parseScript(CTestSet& t, std::string_view text) {
    try {
        return ScriptParser(t, 0).parse(text);
    } catch (...) {
        message("FATAL EXCEPTION ARISES WHILE LOADING TEST!\n");
        return 0;
    }
}

} // namespace torvex
