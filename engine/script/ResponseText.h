#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace torvex {

// The previous response of a virtual user as parameters and exports read it: a NUL-terminated
// text (the matcher stops at the NUL) with its length, so that it is measured once per request.
// A default or null one means there is no previous response.
class ResponseText {
public:
    ResponseText() = default;
    ResponseText(std::nullptr_t) {}
    ResponseText(const char* text) : text_(text), length_(text ? std::strlen(text) : 0) {}
    // `text` must have a NUL at text[length].
    ResponseText(const char* text, std::size_t length) : text_(text), length_(length) {}

    bool present() const { return text_ != nullptr; }
    const char* c_str() const { return text_; }
    std::string_view view() const { return {text_ ? text_ : "", length_}; }

private:
    const char* text_   = nullptr;
    std::size_t length_ = 0;
};

} // namespace torvex
