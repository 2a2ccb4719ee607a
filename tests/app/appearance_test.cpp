// The colour file's text both ways, the clamped text colour, and the file
// write that keeps the old file when the new one cannot be written.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/core/appearance.h"
#include "app/core/file_store.h"
#include "tests/sites/site_test_support.h"

namespace sorvix {
namespace {

using test::G;
namespace fs = std::filesystem;

TEST(ColourSettings, ParsesEachValueBetweenItsLabelAndItsFirstCharacter) {
    struct Case {
        const char* file;   // UTF-8
        const char* red;
        const char* green;
        const char* blue;
    };
    const Case cases[] = {
        {"红色：255红 绿色：128绿 蓝色：0蓝", "255", "128", "0"},
        {"红色：12红 绿色：34绿 蓝色：56蓝", "12", "34", "56"},
        {"红色：12红 蓝色：56蓝", "12", "", "56"},                  // no green label: green empty
        {"", "", "", ""},                                           // missing file
        {"红色：1", "", "", ""},                                    // no end character
        {"绿色：7绿 红色：9红", "9", "7", ""},                      // any order
        {"红色：abc红 绿色：-5绿 蓝色：999蓝", "abc", "-5", "999"},   // kept as typed
    };
    for (const Case& c : cases) {
        ColourSettings s = ParseColourSettings(G(c.file));
        EXPECT_EQ(s.red, G(c.red)) << c.file;
        EXPECT_EQ(s.green, G(c.green)) << c.file;
        EXPECT_EQ(s.blue, G(c.blue)) << c.file;
    }
}

TEST(ColourSettings, FileTextIsExactAndReadsBack) {
    ColourSettings s{"255", "0", "0"};
    EXPECT_EQ(ColourFileText(s), G("红色：255红 绿色：0绿 蓝色：0蓝"));
    ColourSettings back = ParseColourSettings(ColourFileText({"12", "34", "56"}));
    EXPECT_EQ(back.red, "12");
    EXPECT_EQ(back.green, "34");
    EXPECT_EQ(back.blue, "56");
}

TEST(ColourSettings, TextColourCombinesClampedComponents) {
    struct Case {
        ColourSettings s;
        uint32_t colour;
    };
    const Case cases[] = {
        {{"255", "0", "0"}, 0x0000FF},
        {{"12", "34", "56"}, 12u + 34u * 256u + 56u * 65536u},
        {{"", "", ""}, 0},                      // missing file: black
        {{"300", "0", "0"}, 0x0000FF},          // a large red stays red, never spills into green
        {{"-20", "256", "abc"}, 0x00FF00},
        {{"0", "0", "70000"}, 0xFF0000},
    };
    for (const Case& c : cases) EXPECT_EQ(TextColour(c.s), c.colour) << c.s.red << "/" << c.s.green << "/" << c.s.blue;
}

class FileStore : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::path(::testing::TempDir()) / ("sorvix-file-store-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir, ec);
    }
    size_t EntryCount() const {
        size_t n = 0;
        for (auto& entry : fs::directory_iterator(dir)) { (void)entry; ++n; }
        return n;
    }
    fs::path dir;
};

TEST_F(FileStore, WritesAndReplacesWholeFilesWithChineseNames) {
    const fs::path file = dir / fs::path(std::u8string(u8"参数.txt"));
    EXPECT_FALSE(ReadWholeFile(file).has_value());
    ASSERT_TRUE(WriteFileReplacing(file, std::string("first\0x", 7)).ok);
    EXPECT_EQ(*ReadWholeFile(file), std::string("first\0x", 7));
    ASSERT_TRUE(WriteFileReplacing(file, "second").ok);
    EXPECT_EQ(*ReadWholeFile(file), "second");
    ASSERT_TRUE(WriteFileReplacing(file, "").ok);
    EXPECT_EQ(*ReadWholeFile(file), "");
    EXPECT_EQ(EntryCount(), 1u);   // no temporary file left behind
}

TEST_F(FileStore, AFailedWriteKeepsTheOldFile) {
    const fs::path file = dir / "bj.jpg";
    ASSERT_TRUE(WriteFileReplacing(file, "old picture").ok);
    // A folder standing where the temporary file would go makes the write fail.
    const fs::path blocker = dir / "missing-folder" / "bj.jpg";
    FileWriteResult failed = WriteFileReplacing(blocker, "new");
    EXPECT_FALSE(failed.ok);
    EXPECT_FALSE(failed.error.empty());
    // The target itself is a folder: the rename fails, the temporary file goes.
    const fs::path folder = dir / "a-folder";
    fs::create_directories(folder / "inside");
    EXPECT_FALSE(WriteFileReplacing(folder, "x").ok);
    EXPECT_TRUE(fs::is_directory(folder / "inside"));
    EXPECT_EQ(*ReadWholeFile(file), "old picture");
    EXPECT_EQ(EntryCount(), 2u);
}

}  // namespace
}  // namespace sorvix
