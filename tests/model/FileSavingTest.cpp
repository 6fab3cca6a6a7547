#include "model/FileSaving.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace torvex;
using test::fileText;
namespace fs = std::filesystem;

TEST(FileSaving, ReplacesTheContentsAndKeepsLinksAndPermissions) {
    test::TempDir folder;
    const fs::path file = folder.path / "shop.rlt";
    ASSERT_TRUE(saveFileContents(file.string(), "first"));
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_symlink(file, folder.path / "latest.rlt");

    ASSERT_TRUE(saveFileContents((folder.path / "latest.rlt").string(), "second"));
    EXPECT_TRUE(fs::is_symlink(folder.path / "latest.rlt"));
    EXPECT_EQ(fileText(file), "second");
    EXPECT_EQ(fs::status(file).permissions(), fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_FALSE(fs::exists(folder.path / "shop.rlt.saving"));
}

TEST(FileSaving, FailureKeepsTheOldFileAndSpecialFilesAreWrittenDirectly) {
    test::TempDir folder;
    const fs::path file = folder.path / "shop.tvs";
    ASSERT_TRUE(saveFileContents(file.string(), "kept"));
    // A folder in the way of the temporary file makes the save fail.
    fs::create_directory(folder.path / "shop.tvs.saving");
    fs::create_directory(folder.path / "shop.tvs.saving" / "inside");
    EXPECT_FALSE(saveFileContents(file.string(), "lost"));
    EXPECT_EQ(fileText(file), "kept");
    EXPECT_FALSE(saveFileContents((folder.path / "missing" / "x.tvs").string(), "x"));

    EXPECT_TRUE(saveFileContents("/dev/null", "discarded"));
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
}
