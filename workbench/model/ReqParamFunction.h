#pragma once

#include <cstdint>
#include <string>

namespace torvex {

// One component of a parameter's value formula. Its texts are stored with every ',' written as
// "%2c", so that a list can keep its elements apart with plain commas.
class CReqParamFunction {
public:
    enum Kind : int {
        kStatic       = 0,
        kNumeric      = 1,
        kAlphanumeric = 2,
        kRandomList   = 3,
        kOrderedList  = 4,
        kSequence     = 5,
        kUrl          = 6,
        kHidden       = 7,
        kUserNumber   = 8,
        kFile         = 9,
    };

    int kind() const { return kind_; }
    void setKind(int kind) { kind_ = kind; }
    std::uint32_t from() const { return from_; }
    void setFrom(std::uint32_t value) { from_ = value; }
    std::uint32_t to() const { return to_; }
    void setTo(std::uint32_t value) { to_ = value; }
    std::uint32_t shift() const { return shift_; }
    void setShift(std::uint32_t value) { shift_ = value; }

    // The texts as the user sees them (commas unescaped) and as they are stored.
    std::string text() const;
    void setText(const std::string& value);
    std::string text2() const;
    void setText2(const std::string& value);
    const std::string& storedText() const { return text_; }
    const std::string& storedText2() const { return text2_; }
    void setStoredText(std::string value) { text_ = std::move(value); }
    void setStoredText2(std::string value) { text2_ = std::move(value); }

    // A list edited as one element per line (CR LF between them).
    std::string listText() const;
    void setListText(const std::string& lines);

    // A static text stored exactly as given, commas and all (recorded values).
    void makeStatic(const std::string& value);
    // Zeroes the numbers and empties the texts; the kind stays.
    void reset();

    // The parameter expression of the test script. `unescapeCommas` turns "%2c" back into ','
    // first; `encode` percent-encodes the texts that are sent as they stand.
    std::string expressionText(bool unescapeCommas, bool encode) const;

private:
    int kind_ = kStatic;
    std::string text_; // value, prefix, list or name
    std::uint32_t from_  = 0;
    std::uint32_t to_    = 0;
    std::uint32_t shift_ = 0;
    std::string text2_; // postfix or MIME type
};

// Percent-encodes `text` for a test script: ' ' as '+', '%' as "%%", letters, digits, '_', '-'
// and '.' kept, ',' kept when `keepCommas`, every other byte as '%' and two lower-case hex digits.
std::string scriptEncoded(const std::string& text, bool keepCommas);

std::string escapeCommas(const std::string& text);
std::string unescapeCommas(const std::string& text);

} // namespace torvex
