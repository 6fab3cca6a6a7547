// The runner's standard error: messages around the terminal's status line, and the progress text.

#include "ErrorOutput.h"
#include "ProgressLine.h"
#include "torvexcore.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

std::string written(std::FILE* stream) {
    std::string text(static_cast<std::size_t>(std::ftell(stream)), '\0');
    std::rewind(stream);
    text.resize(std::fread(text.data(), 1, text.size(), stream));
    return text;
}

} // namespace

TEST(ErrorOutputTest, MessagesClearTheStatusLineAndDrawItAgain) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::tmpfile(), &std::fclose);
    ErrorOutput output(stream.get());
    output.message("before\r"); // the engine keeps a '\r' that preceded its line feeds
    output.setStatus("1/4 requests");
    output.message("Request a not found!");
    output.setStatus("2/4 requests");
    output.clearStatus();
    output.message("after");
    EXPECT_EQ(written(stream.get()), "before\n"
                                     "1/4 requests\r\033[KRequest a not found!\n1/4 requests"
                                     "\r\033[K2/4 requests\r\033[Kafter\n");
}

TEST(ProgressLineTest, TextShowsCountsRateErrorsAndElapsedTime) {
    using std::chrono::milliseconds;
    EXPECT_EQ(ProgressLine::text({120, 2, 300, 1}, milliseconds(2500)),
              "120/300 requests, 48.0 req/s, 2 errors, 0:02.5");
    // A script drives the users: no total. One error is not "errors".
    EXPECT_EQ(ProgressLine::text({7, 1, -1, 1}, milliseconds(65'049)),
              "7 requests, 0.1 req/s, 1 error, 1:05.0");
    EXPECT_EQ(ProgressLine::text({0, 0, 10, 1}, milliseconds(0)),
              "0/10 requests, 0.0 req/s, 0 errors, 0:00.0");
}
