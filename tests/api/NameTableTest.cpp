#include "api/NameTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using torvex::nameHash;
using torvex::NameTable;

namespace {

std::vector<std::string> walkOrder(const NameTable<int>& table) {
    std::vector<std::string> keys;
    table.forEach([&](const std::string& key, const int&) { keys.push_back(key); });
    return keys;
}

} // namespace

TEST(NameTable, HashMatchesKnownValues) {
    EXPECT_EQ(nameHash(""), 12451u);
    EXPECT_EQ(nameHash("a"), 84328u);
    EXPECT_EQ(nameHash("clients"), 3995356u);
    // Long keys wrap around in 32 bits and still land below the modulus.
    std::string longKey(5000, 'z');
    EXPECT_LT(nameHash(longKey.c_str()), 8882693u);
    // Bytes above 127 count as unsigned codes.
    EXPECT_EQ(nameHash("\xC3\xA9"), ((0xC3u * 38 + 0xC3u) * 38 + 0xA9u) * 19 + 12451u);
}

TEST(NameTable, GrowsFromEightBucketsByDoubling) {
    NameTable<int> table;
    EXPECT_EQ(table.bucketCount(), 0u);
    EXPECT_EQ(table.find("x"), nullptr); // no buckets: nothing found, no crash

    std::vector<std::size_t> bucketsAfterInsert;
    for (int i = 0; i < 33; ++i) {
        table.insert(("k" + std::to_string(i)).c_str(), i);
        bucketsAfterInsert.push_back(table.bucketCount());
    }
    // The table grows when the new entry's count reaches the bucket count.
    EXPECT_EQ(bucketsAfterInsert[0], 8u);
    EXPECT_EQ(bucketsAfterInsert[6], 8u);
    EXPECT_EQ(bucketsAfterInsert[7], 16u);
    EXPECT_EQ(bucketsAfterInsert[15], 32u);
    EXPECT_EQ(bucketsAfterInsert[31], 64u);
    EXPECT_EQ(table.size(), 33u);
    for (int i = 0; i < 33; ++i) {
        const int* value = table.find(("k" + std::to_string(i)).c_str());
        ASSERT_NE(value, nullptr) << i;
        EXPECT_EQ(*value, i);
    }
}

TEST(NameTable, WalksBucketByBucketKeepingInsertionOrderWithinABucket) {
    NameTable<int> table;
    // Find keys that share a bucket of 8 and one in an earlier bucket.
    std::vector<std::string> sameBucket;
    for (int i = 0; sameBucket.size() < 3; ++i) {
        std::string key = "key" + std::to_string(i);
        if (nameHash(key.c_str()) % 8 == 5) sameBucket.push_back(key);
    }
    std::string earlier;
    for (int i = 0; earlier.empty(); ++i) {
        std::string key = "other" + std::to_string(i);
        if (nameHash(key.c_str()) % 8 == 1) earlier = key;
    }
    for (const std::string& key : sameBucket) table.insert(key.c_str(), 0);
    table.insert(earlier.c_str(), 0);
    std::vector<std::string> expected{earlier, sameBucket[0], sameBucket[1], sameBucket[2]};
    EXPECT_EQ(walkOrder(table), expected);
}

TEST(NameTable, KeysAreExactAndValuesStayPut) {
    NameTable<std::string> table;
    std::string& first = table.insert("Host", "a");
    table.insert("host", "b");
    table.insert("", "empty");
    for (int i = 0; i < 100; ++i) table.insert(("n" + std::to_string(i)).c_str(), "x");
    // Growth relinks entries; it never moves their values.
    EXPECT_EQ(&first, table.find("Host"));
    EXPECT_EQ(*table.find("Host"), "a");
    EXPECT_EQ(*table.find("host"), "b");
    EXPECT_EQ(*table.find(""), "empty");
    EXPECT_EQ(table.find("HOST"), nullptr);
    EXPECT_EQ(table.find("host "), nullptr);

    table.assign("host", "c");
    EXPECT_EQ(*table.find("host"), "c");
    EXPECT_EQ(table.size(), 103u);

    table.clear();
    EXPECT_EQ(table.size(), 0u);
    EXPECT_EQ(table.find("host"), nullptr);
    table.insert("again", "ok");
    EXPECT_EQ(*table.find("again"), "ok");
}
