#include "api/TextBuffer.h"

#include <gtest/gtest.h>

#include <string>

using torvex::TextBuffer;

TEST(TextBuffer, GrowsByAQuarterUntilTenBytesAreSpare) {
    TextBuffer buffer(100);
    buffer.append(std::string(90, 'a')); // 90 + 10 fits exactly
    EXPECT_EQ(buffer.capacity(), 100u);
    buffer.append("b"); // needs 101: 100 -> 125
    EXPECT_EQ(buffer.capacity(), 125u);
    buffer.append(std::string(100, 'c')); // needs 201: 125 -> 156 -> 195 -> 243
    EXPECT_EQ(buffer.capacity(), 243u);
    EXPECT_EQ(buffer.length(), 191u);
    std::string expected = std::string(90, 'a') + "b" + std::string(100, 'c');
    EXPECT_EQ(buffer.text(), expected);
}

TEST(TextBuffer, TinyCapacitiesStillGrow) {
    for (std::size_t capacity : {0u, 1u, 3u}) {
        TextBuffer buffer(capacity);
        EXPECT_STREQ(buffer.text(), "");
        buffer.append("hello");
        EXPECT_STREQ(buffer.text(), "hello") << capacity;
        EXPECT_GE(buffer.capacity(), 15u);
    }
}

TEST(TextBuffer, ClearKeepsMemoryAndEmptyAppendsChangeNothing) {
    TextBuffer buffer(16);
    buffer.append("some text that grows it");
    std::size_t grown = buffer.capacity();
    buffer.clear();
    EXPECT_EQ(buffer.length(), 0u);
    EXPECT_EQ(buffer.capacity(), grown);
    buffer.append("");
    EXPECT_STREQ(buffer.text(), "");
    buffer.append(std::string_view("a\0b", 3)); // bytes, not C text
    EXPECT_EQ(buffer.view(), std::string_view("a\0b", 3));
}

TEST(TextBuffer, TakesItsMemoryAtTheFirstUse) {
    TextBuffer unused(8192), read(8192), written(8192);
    EXPECT_FALSE(unused.holdsMemory());
    EXPECT_EQ(unused.capacity(), 8192u);
    EXPECT_EQ(unused.view(), "");
    EXPECT_FALSE(unused.holdsMemory());
    EXPECT_STREQ(read.text(), "");
    EXPECT_TRUE(read.holdsMemory());
    written.append("abc");
    EXPECT_TRUE(written.holdsMemory());
    EXPECT_EQ(written.capacity(), 8192u);
    EXPECT_STREQ(written.text(), "abc");
}
