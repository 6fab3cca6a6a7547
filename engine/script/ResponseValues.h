#pragma once

#include <string_view>

namespace torvex {

class RandomGenerator;
class TextBuffer;

// Values taken from the previous response. Up to 50 candidates are collected from its start, one
// is chosen at random, and at most 8191 bytes of it are used.

// $UrlParam: the value of query parameter `name` in a link ("?name=" or "&name=").
void appendUrlParamValue(TextBuffer& out, std::string_view response, std::string_view name,
                         RandomGenerator& random);

// $Hidden: the value attribute of the tag whose name attribute is `name`. For form and query
// bodies the value is entity-decoded and URL-encoded; in multipart bodies it goes as it stands.
void appendHiddenValue(TextBuffer& out, std::string_view response, std::string_view name,
                       RandomGenerator& random, bool multipart);

// Decodes &amp; &quot; &apos; &lt; &gt; and numeric references; other '&' stay as they are.
void appendEntityDecoded(TextBuffer& out, std::string_view text);

} // namespace torvex
