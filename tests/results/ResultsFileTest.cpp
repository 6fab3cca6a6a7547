// The results file's bytes: records written and read back byte for byte, the archive text forms,
// and damaged bytes refused with what was read where.

#include "results/ResultsFile.h"
#include "results/ArchiveText.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using torvex::ArchiveReader;
using torvex::ArchiveWriter;
using torvex::CResultsStore;
using torvex::ResultsRecord;

namespace {

std::int32_t int32At(const std::string& bytes, std::size_t at) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return static_cast<std::int32_t>(v);
}

std::string raw(std::initializer_list<int> bytes) {
    std::string out;
    for (int b : bytes) out += static_cast<char>(b);
    return out;
}

// The message of reading one text from `bytes`; "" when it was read into `text`.
std::string textError(const std::string& bytes, std::string& text) {
    ArchiveReader r(bytes);
    return r.text(text, "text") ? "" : r.error();
}

std::string hex(const std::string& bytes) {
    std::string out;
    char two[4];
    for (unsigned char c : bytes) {
        std::snprintf(two, sizeof two, "%02X ", c);
        out += two;
    }
    return out;
}

ResultsRecord record(int users, int requests, int iterations) {
    auto r            = std::make_shared<CResultsStore>();
    r->userCount      = users;
    r->seqLength      = requests;
    r->iterationCount = iterations;
    r->reportText     = "Report\r\nline two\r\n";
    r->objectiveId    = 12;
    r->SetTitle("14:05 - shop");
    for (int k = 0; k < requests; ++k) r->requestNames.push_back("req" + std::to_string(k));
    return r;
}

// The record of a 2-user, 3-iteration run of two requests, every field set.
ResultsRecord detailedRecord() {
    ResultsRecord r    = record(2, 2, 3);
    r->batchNumber     = 3;
    r->batchValue      = 20;
    r->batchLabel      = "Virtual users";
    r->batchBy         = 0;
    r->requestsPerSec  = 12.5f;
    r->msPerRequest    = 80.25f;
    r->serverBandwidth = 1234.5678;
    r->userBandwidth   = 617.2839;
    r->requestsMade    = 12;
    r->errorCount      = 1;
    r->timings = {{{1200, -2, 65536, 0}, {10, 20, 30, 0}}, {{-255, -255, -255, 0}, {1, 2, 3, 0}}};
    return r;
}

std::string bytesOf(std::vector<ResultsRecord> records) {
    return torvex::resultsFileBytes(records);
}

std::string withInt32At(std::string bytes, std::size_t at, std::int32_t value) {
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<char>(static_cast<std::uint32_t>(value) >> (8 * i));
    return bytes;
}

std::vector<ResultsRecord> read(const std::string& bytes) {
    std::vector<ResultsRecord> records;
    std::string error;
    EXPECT_TRUE(torvex::readResultsFileBytes(bytes, records, error)) << error;
    return records;
}

} // namespace

TEST(ResultsFile, DetailedRecordIsWrittenAsVersionTwoAndReadBackByteForByte) {
    ResultsRecord r   = detailedRecord();
    r->runId          = 7;
    std::string bytes = bytesOf({r});

    for (auto [at, value] : std::vector<std::pair<std::size_t, std::int32_t>>{
             {0, 1}, {4, 1}, {8, 2}, {12, 7}, {16, 2}, {20, 2}, {24, 3}, {28, 0}})
        EXPECT_EQ(int32At(bytes, at), value) << "at byte " << at;
    // The groups close the record: G = 2, then per group R = 2 and entries of C = 4.
    const std::size_t timings = bytes.size() - (4 + 2 * (4 + 2 * (4 + 4 * 4)));
    EXPECT_EQ(int32At(bytes, timings), 2);
    EXPECT_EQ(int32At(bytes, timings + 4), 2);
    EXPECT_EQ(hex(bytes.substr(timings + 8, 20)), "04 00 00 00 B0 04 00 00 FE FF FF FF "
                                                  "00 00 01 00 00 00 00 00 ");
    EXPECT_EQ(int32At(bytes, timings + 8 + 2 * 20), 2);
    EXPECT_EQ(int32At(bytes, timings + 8 + 2 * 20 + 4 + 20 + 12), 3);

    std::vector<ResultsRecord> back = read(bytes);
    ASSERT_EQ(back.size(), 1u);
    const CResultsStore& b = *back[0];
    EXPECT_EQ(b.runId, 7);
    EXPECT_EQ(b.reportText, r->reportText);
    EXPECT_EQ(b.batchLabel, "Virtual users");
    EXPECT_EQ(b.requestsPerSec, 12.5f);
    EXPECT_EQ(b.serverBandwidth, 1234.5678);
    EXPECT_EQ(b.objectiveId, 12);
    EXPECT_EQ(b.GetTitle(), "14:05 - shop");
    EXPECT_THAT(b.requestNames, ElementsAre("req0", "req1"));
    EXPECT_EQ(b.timings, r->timings);
    EXPECT_EQ(bytesOf(back), bytes);
}

TEST(ResultsFile, SummaryOnlyScriptedAndEmptyRecordsRoundTrip) {
    ResultsRecord summary = record(1, 2, 1);
    summary->summaryOnly  = 1;
    summary->timings      = {{{800, 9000, 10, 1500, 0}, {0x7FFFFFFF, 0, 0, 0, 0}}};
    ResultsRecord script  = record(2, 1, 2);
    script->timings       = {{{500, -1, 700, 0}}, {{300, 400, 0}}};
    ResultsRecord empty   = std::make_shared<CResultsStore>();

    std::string bytes               = bytesOf({summary, script, empty});
    std::vector<ResultsRecord> back = read(bytes);
    ASSERT_EQ(back.size(), 3u);
    ASSERT_EQ(back[0]->timings.size(), 1u);
    for (const auto& entry : back[0]->timings[0]) {
        ASSERT_EQ(entry.size(), 5u);
        EXPECT_EQ(entry[4], 0);
    }
    EXPECT_EQ(back[1]->timings, script->timings);
    EXPECT_EQ(back[2]->objectiveId, -1);
    EXPECT_TRUE(back[2]->timings.empty());
    EXPECT_EQ(bytesOf(back), bytes);
}

TEST(ResultsFile, VersionOneRecordLoadsWithoutObjectiveAndIsRewrittenAsVersionTwo) {
    ArchiveWriter v1;
    v1.int32(1);
    v1.int32(1);
    v1.int32(1); // record version 1: no objective after the error count
    for (std::int32_t value : {5, 1, 1, 2, 0}) v1.int32(value);
    v1.text("report");
    v1.int32(0);
    v1.int32(0);
    v1.text("");
    v1.int32(0);
    v1.float32(2.0f);
    v1.float32(500.0f);
    v1.float64(3.0);
    v1.float64(3.0);
    v1.int32(2);
    v1.int32(0);
    const std::size_t objectiveAt = v1.bytes().size();
    v1.text("old");
    v1.int32(1);
    v1.text("home");
    for (std::int32_t value : {1, 1, 3, 900, 950, 0}) v1.int32(value);

    std::vector<ResultsRecord> back = read(v1.bytes());
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0]->objectiveId, -1);
    EXPECT_EQ(back[0]->runId, 5);
    EXPECT_EQ(back[0]->GetTitle(), "old");
    EXPECT_THAT(back[0]->requestNames, ElementsAre("home"));
    EXPECT_THAT(back[0]->timings[0][0], ElementsAre(900, 950, 0));

    std::string expected = v1.bytes();
    expected[8]          = 2;
    expected.insert(objectiveAt, "\xFF\xFF\xFF\xFF", 4);
    EXPECT_EQ(hex(bytesOf(back)), hex(expected));
}

TEST(ArchiveText, LengthFormsAtTheirBoundsWideTextAndShortBytes) {
    struct Case {
        std::size_t size;
        std::string prefix;
    };
    for (const Case& c : std::vector<Case>{{0, "00 "},
                                           {254, "FE "},
                                           {255, "FF FF 00 "},
                                           {300, "FF 2C 01 "},
                                           {0xFFFD, "FF FD FF "},
                                           {0xFFFE, "FF FF FF FE FF 00 00 "},
                                           {70000, "FF FF FF 70 11 01 00 "}}) {
        SCOPED_TRACE(c.size);
        std::string text(c.size, 'x');
        if (c.size > 0) text.back() = 'y';
        ArchiveWriter w;
        w.text(text);
        w.int32(-9);
        const std::size_t prefixLength = c.prefix.size() / 3;
        EXPECT_EQ(hex(w.bytes().substr(0, prefixLength)), c.prefix);
        ASSERT_EQ(w.bytes().size(), prefixLength + c.size + 4);
        ArchiveReader r(w.bytes());
        std::string back;
        std::int32_t after;
        ASSERT_TRUE(r.text(back, "text") && r.int32(after, "number")) << r.error();
        EXPECT_EQ(back, text);
        EXPECT_EQ(after, -9);
    }

    // Wide text: the marker, a fresh length in code units (one byte, or 0xFF and 16 bits), then
    // UTF-16LE, surrogate pairs included; a lone surrogate becomes U+FFFD.
    std::string text;
    EXPECT_EQ(textError(raw({0xFF, 0xFE, 0xFF, 6, 'h', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE, 0x00,
                             0xD8, '!', 0}),
                        text),
              "");
    EXPECT_EQ(text, "h\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD!");
    EXPECT_EQ(textError(raw({0xFF, 0xFE, 0xFF, 0xFF, 2, 0, 'a', 0, 0xAC, 0x20}), text), "");
    EXPECT_EQ(text, "a\xE2\x82\xAC");

    EXPECT_EQ(textError(raw({5, 'a', 'b', 'c'}), text),
              "a text length past the end of the file at byte 0 while reading the text");
    EXPECT_EQ(textError(raw({0xFF, 0xFE, 0xFF, 3, 'a', 0, 'b', 0}), text),
              "a text length past the end of the file at byte 0 while reading the text");
    EXPECT_EQ(textError(raw({0xFF, 0xFF, 0xFF, 0x10}), text),
              "the file ends at byte 3 while reading the text");
}

TEST(ResultsFile, DamagedBytesAreRefusedWithWhatWasReadWhereAndTouchNothing) {
    const std::string bytes = bytesOf({detailedRecord(), record(1, 1, 1)});
    const std::vector<ResultsRecord> before{std::make_shared<CResultsStore>()};
    auto refusal = [&](const std::string& damaged) {
        std::vector<ResultsRecord> records = before;
        std::string error;
        EXPECT_FALSE(torvex::readResultsFileBytes(damaged, records, error));
        EXPECT_EQ(records, before);
        return error;
    };
    for (std::size_t size = 0; size < bytes.size(); ++size)
        EXPECT_THAT(refusal(bytes.substr(0, size)), HasSubstr(" at byte ")) << size;
    EXPECT_EQ(refusal(bytes + '\0'), "bytes after the last record at byte " +
                                         std::to_string(bytes.size()) +
                                         " while reading the results list");
    EXPECT_EQ(refusal(withInt32At(bytes, 0, 2)),
              "unknown version 2 at byte 0 while reading the results list");
    for (std::int32_t version : {7, 0, -1})
        EXPECT_EQ(refusal(withInt32At(bytes, 8, version)),
                  "unknown version " + std::to_string(version) +
                      " at byte 8 while reading the results record");
    EXPECT_EQ(refusal(withInt32At(bytes, 4, 0x7FFFFFFF)),
              "a count past the end of the file at byte 4 while reading the record count");
    EXPECT_THAT(refusal(withInt32At(bytes, 4, -3)), HasSubstr("a negative count at byte 4"));

    // A record without names and groups ends with their counts; a one-entry group ends with the
    // entry's count and its single value.
    const std::string bare = bytesOf({std::make_shared<CResultsStore>()});
    EXPECT_THAT(refusal(withInt32At(bare, bare.size() - 8, 0x7FFFFFFF)),
                HasSubstr("past the end of the file at byte " + std::to_string(bare.size() - 8) +
                          " while reading the record's name count"));
    EXPECT_THAT(refusal(withInt32At(bare, bare.size() - 4, 1 << 30)),
                HasSubstr("while reading the record's group count"));
    ResultsRecord one       = std::make_shared<CResultsStore>();
    one->timings            = {{{0}}};
    const std::string entry = bytesOf({one});
    EXPECT_THAT(refusal(withInt32At(entry, entry.size() - 8, 1 << 29)),
                HasSubstr("while reading the entry's value count"));
}
