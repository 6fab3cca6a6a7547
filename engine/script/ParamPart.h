#pragma once

#include "regex/Regex.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace torvex {

struct CParamPart;

// The kinds of a parameter part. Each '&'-separated piece of a parameter value is one part: a
// literal text or a call of one of the built-in $-functions, read once when the script is loaded
// and evaluated afresh every time a virtual user sends the request.
namespace part {

struct NRand { // prefix, then a number from minimum to maximum - 1
    int minimum = 0;
    int maximum = 0;
    std::string prefix;
};
struct ARand { // a random alphanumeric text of minimum to maximum - 1 characters
    int minimum = 0;
    int maximum = 0;
};
struct LRand { // a random item
    std::vector<std::string> items;
};
struct Literal {
    std::string text;
};
struct Seq { // prefix and the user's counter, zero-padded to the width of the start as written
    int slot  = 0;
    int start = 0;
    int step  = 0;
    int width = 0;
    std::string prefix;
};
struct UrlParam { // a query parameter of a link in the previous response
    std::string name;
};
struct Hidden { // the value of a form field in the previous response
    std::string name;
};
struct RegExp { // a template filled from a match in the previous response
    std::shared_ptr<const CRegex> expression;
    std::string templateText;
};
struct File { // the bytes of a file, sent as a multipart file part
    std::string path;
    std::optional<std::string> contentType;
};
struct RxName { // a parameter whose name comes from a match in the previous response
    std::shared_ptr<const CRegex> expression;
    std::string nameTemplate;
    std::vector<CParamPart> value;
};
struct Var { // a user variable exported from an earlier response
    std::string name;
    std::optional<std::string> defaultText;
};
struct ClId { // the user's number between a prefix and a suffix
    std::string prefix;
    std::string suffix;
};
struct List { // the items in turn, each user on its own
    std::vector<std::string> items;
    int slot = 0;
};

} // namespace part

struct CParamPart {
    std::variant<part::NRand, part::ARand, part::LRand, part::Literal, part::Seq, part::UrlParam,
                 part::Hidden, part::RegExp, part::File, part::RxName, part::Var, part::ClId,
                 part::List>
        kind;
};

// One parameter of a request: its name and the parts its value is made of.
struct Parameter {
    std::string name;
    std::vector<CParamPart> parts;
};

using ParameterList = std::vector<Parameter>;

} // namespace torvex
