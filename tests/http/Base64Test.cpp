#include "http/Base64.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <utility>

namespace torvex::test {
namespace {

TEST(Base64, EncodesTheRfc4648Vectors) {
    const std::pair<std::string, std::string> vectors[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
    };
    for (const auto& [plain, encoded] : vectors) {
        std::string out;
        appendBase64(out, plain);
        EXPECT_EQ(out, encoded) << plain;
    }
}

TEST(Base64, AppendsAllByteValuesWithoutLineBreaks) {
    std::string out = "Basic ";
    appendBase64(out, std::string_view("\xfb\xff\xbf\0", 4));
    EXPECT_EQ(out, "Basic +/+/AA==");

    std::string expected;
    for (int i = 0; i < 33; ++i) expected += "YWFh";
    out.clear();
    appendBase64(out, std::string(100, 'a'));
    EXPECT_EQ(out, expected + "YQ==");
}

} // namespace
} // namespace torvex::test
