#include "model/ReqParamFunction.h"

namespace torvex {
namespace {

std::string replaceAll(const std::string& text, const std::string& from, const std::string& to) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    for (std::size_t next; (next = text.find(from, at)) != std::string::npos;
         at = next + from.size()) {
        out.append(text, at, next - at);
        out += to;
    }
    out.append(text, at);
    return out;
}

std::string number(std::uint32_t value) {
    return std::to_string(value);
}

} // namespace

std::string escapeCommas(const std::string& text) {
    return replaceAll(text, ",", "%2c");
}

std::string unescapeCommas(const std::string& text) {
    return replaceAll(text, "%2c", ",");
}

std::string scriptEncoded(const std::string& text, bool keepCommas) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        auto byte = static_cast<unsigned char>(c);
        if (c == ' ')
            out += '+';
        else if (c == '%')
            out += "%%";
        else if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                 c == '_' || c == '-' || c == '.' || (c == ',' && keepCommas))
            out += c;
        else {
            out += '%';
            out += hex[byte >> 4];
            out += hex[byte & 15];
        }
    }
    return out;
}

std::string CReqParamFunction::text() const {
    return unescapeCommas(text_);
}

void CReqParamFunction::setText(const std::string& value) {
    text_ = escapeCommas(value);
}

std::string CReqParamFunction::text2() const {
    return unescapeCommas(text2_);
}

void CReqParamFunction::setText2(const std::string& value) {
    text2_ = escapeCommas(value);
}

std::string CReqParamFunction::listText() const {
    return unescapeCommas(replaceAll(text_, ",", "\r\n"));
}

void CReqParamFunction::setListText(const std::string& lines) {
    std::size_t first   = lines.find_first_not_of("\r\n");
    std::string trimmed = first == std::string::npos
                              ? std::string()
                              : lines.substr(first, lines.find_last_not_of("\r\n") - first + 1);
    text_               = replaceAll(escapeCommas(trimmed), "\r\n", ",");
}

void CReqParamFunction::makeStatic(const std::string& value) {
    kind_ = kStatic;
    text_ = value;
}

void CReqParamFunction::reset() {
    from_ = to_ = shift_ = 0;
    text_.clear();
    text2_.clear();
}

std::string CReqParamFunction::expressionText(bool unescape, bool encode) const {
    const std::string t1 = unescape ? unescapeCommas(text_) : text_;
    const std::string t2 = unescape ? unescapeCommas(text2_) : text2_;
    switch (kind_) {
    case kStatic:
        return encode ? scriptEncoded(text_, false) : t1;
    case kNumeric: {
        std::string prefix = encode ? scriptEncoded(t1, false) : t1;
        return "$NRand(" + number(from_) + "," + number(to_) +
               (prefix.empty() ? "" : "," + prefix) + ")";
    }
    case kAlphanumeric:
        return "$ARand(" + number(from_) + "," + number(to_) + ")";
    case kRandomList:
        return "$LRand(" + (encode ? scriptEncoded(t1, true) : t1) + ")";
    case kOrderedList:
        return "$List(" + (encode ? scriptEncoded(t1, true) : t1) + ")";
    case kSequence:
        return "$Seq(" + (encode ? scriptEncoded(t1, false) : t1) + "," + number(from_) + "," +
               number(shift_) + ")";
    case kUrl:
        return "$UrlParam(" + t1 + ")";
    case kHidden:
        return "$Hidden(" + t1 + ")";
    case kUserNumber:
        return "$clid(" + t1 + (t2.empty() ? "" : "," + t2) + ")";
    case kFile:
        return "$File(" + t1 + (t2.empty() ? "" : "," + t2) + ")";
    default:
        return {};
    }
}

} // namespace torvex
