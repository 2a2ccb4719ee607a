// The edit box's text store on its own: typed-character filtering by input
// mode, edits and caret moves over GBK double-byte characters (whose trail
// bytes may be ASCII letters), line breaks, word and line selection, and the
// mapping between positions and measured pixels.
#include "ui/edit_buffer.h"

#include <gtest/gtest.h>

#include <string>

namespace sorvix::ui::test {
namespace {

// GBK bytes of a few characters.
const std::string kZhong = "\xD6\xD0";     // 中
const std::string kWen = "\xCE\xC4";       // 文
const std::string kAtPair = "\x81\x40";    // a double-byte character whose trail byte is "@"
const std::string kLead = "\x81";          // a lead byte on its own

UiEditBuffer Buffer(std::string_view text, bool multiLine = false, int mode = kEditFreeText) {
    UiEditBuffer b;
    b.Reset(text, multiLine, mode, "*");
    return b;
}

// Types a string character by character, as WM_CHAR would, keeping what the
// mode accepts.
void Type(UiEditBuffer& b, std::string_view keys) {
    for (char c : keys) {
        if (b.Accepts(static_cast<unsigned char>(c))) b.Insert(std::string_view(&c, 1));
    }
}

// Every cell is 6 pixels per byte wide, starting at x 2 (the format's lead).
std::vector<float> FixedMeasure(const std::vector<std::string>& cells) {
    std::vector<float> edges{2.0f};
    for (auto& c : cells) edges.push_back(edges.back() + 6.0f * static_cast<float>(c.size()));
    return edges;
}

TEST(EditBufferTest, TypedCharactersFollowTheInputMode) {
    struct Case {
        int mode;
        std::string keys;
        std::string text;
    } cases[] = {
        {kEditInteger, "12a-3", "12-3"},
        {kEditInteger, "4.5/", "45"},
        {kEditDecimal, "1.2.3", "1.23"},
        {kEditDecimal, "1/2-", "1/2-"},
        {kEditDecimal, "x9,", "9"},
        {kEditFreeText, "a b~{", "a b~{"},
        {kEditRestricted, "Ab1", "Ab1"},
        {kEditPassword, "p@ss", "p@ss"},
    };
    for (const Case& c : cases) {
        UiEditBuffer b = Buffer("", false, c.mode);
        Type(b, c.keys);
        EXPECT_EQ(b.Content(), c.text) << "mode " << c.mode << " keys " << c.keys;
    }
    // Outside 28..126 nothing is typed, in any mode.
    for (int mode = kEditFreeText; mode <= kEditDecimal; ++mode) {
        UiEditBuffer b = Buffer("", false, mode);
        for (unsigned code : {8u, 9u, 13u, 27u, 127u, 0xD6u, 0x4E2Du}) EXPECT_FALSE(b.Accepts(code)) << code;
        EXPECT_TRUE(b.Accepts('5')) << mode;
    }
}

TEST(EditBufferTest, DecimalModeTakesAFullStopThatReplacesTheSelectedOne) {
    UiEditBuffer b = Buffer("1.5", false, kEditDecimal);
    EXPECT_FALSE(b.Accepts('.'));
    b.SetSelection({1, 1}, {1, 2});   // the full stop itself
    EXPECT_TRUE(b.Accepts('.'));
    b.SetSelection({1, 0}, {1, 1});
    EXPECT_FALSE(b.Accepts('.'));
}

TEST(EditBufferTest, ColumnsCountCharactersAndEditsKeepDoubleByteCharactersWhole) {
    UiEditBuffer b = Buffer(kZhong + "a" + kWen);
    EXPECT_EQ(b.LineLength(1), 3);
    EXPECT_EQ(b.Caret(), (EditPos{1, 3}));
    b.MoveLeft(false);
    EXPECT_EQ(b.Offset(b.Caret()), 3u);   // before 文, not inside it
    b.MoveLeft(true);
    EXPECT_EQ(b.SelectedText(), "a");
    b.MoveHome(true);
    EXPECT_EQ(b.SelectedText(), kZhong + "a");
    b.MoveEnd(false);
    EXPECT_TRUE(b.Backspace());
    EXPECT_EQ(b.Content(), kZhong + "a");
    b.MoveTo({1, 0}, false);
    EXPECT_TRUE(b.DeleteForward());
    EXPECT_EQ(b.Content(), "a");
    // A byte offset inside a character maps to the character's start.
    UiEditBuffer c = Buffer("x" + kZhong);
    EXPECT_EQ(c.PosOf(2), (EditPos{1, 1}));
    EXPECT_EQ(c.PosOf(3), (EditPos{1, 2}));
}

TEST(EditBufferTest, InsertedBytesNeverPairUpWithTheirNeighbours) {
    // A lone lead byte at the end of an insert would take the next "A" (a
    // valid trail byte) as its partner.
    UiEditBuffer b = Buffer("A");
    b.MoveTo({1, 0}, false);
    b.Insert("x" + kLead);
    EXPECT_EQ(b.Content(), "xA");
    EXPECT_EQ(b.LineLength(1), 2);
    // A stray lead byte already in the text, followed by a comma (not a
    // trail byte), would pair with a letter typed after it.
    UiEditBuffer c = Buffer(kLead + ",");
    EXPECT_EQ(c.LineLength(1), 2);
    c.MoveTo({1, 1}, false);
    c.DeleteForward();   // removes the comma: the stray byte now meets the end
    c.Insert("B");
    EXPECT_EQ(c.Content(), "B");
    EXPECT_EQ(c.LineLength(1), 1);
    // Whole characters go in unchanged.
    UiEditBuffer d = Buffer("");
    d.Insert(kAtPair + kWen);
    EXPECT_EQ(d.Content(), kAtPair + kWen);
    EXPECT_EQ(d.LineLength(1), 2);
}

TEST(EditBufferTest, WordSelectionTakesAsciiLettersAndDigitsOnly) {
    struct Case {
        std::string text;
        int column;
        std::string word;
    } cases[] = {
        {"abc123,def", 2, "abc123"},      // a double click on the letter c
        {"abc123,def", 6, "abc123"},      // just before the comma
        {"abc123,def", 7, "def"},
        {"Ab_cd", 1, "Ab"},
        {kZhong + "ab" + kWen, 2, "ab"},
        {"x" + kAtPair + "yz", 3, "yz"},  // the "@" trail byte is not a letter of the word
        {" , ", 1, ""},
    };
    for (const Case& c : cases) {
        UiEditBuffer b = Buffer(c.text);
        b.SelectWordAt({1, c.column});
        EXPECT_EQ(b.SelectedText(), c.word) << c.text << " at " << c.column;
    }
}

TEST(EditBufferTest, MultiLineTextBreaksAtCrLfAndCaretMovesCrossLines) {
    UiEditBuffer b = Buffer("ab\r\ncd\r\n", true);
    ASSERT_EQ(b.LineCount(), 3);
    EXPECT_EQ(b.Line(2), "cd");
    b.MoveTo({2, 0}, false);
    b.MoveLeft(false);
    EXPECT_EQ(b.Caret(), (EditPos{1, 2}));
    b.MoveRight(false);
    EXPECT_EQ(b.Caret(), (EditPos{2, 0}));
    EXPECT_TRUE(b.Backspace());   // joins the lines
    EXPECT_EQ(b.Content(), "abcd\r\n");
    EXPECT_EQ(b.Caret(), (EditPos{1, 2}));
    b.MoveEnd(false);
    EXPECT_TRUE(b.DeleteForward());
    EXPECT_EQ(b.Content(), "abcd");
    // Inserted text gets "\r\n" line breaks in a multi-line buffer ...
    b.Insert("1\n2\r3\r\n4");
    EXPECT_EQ(b.Content(), "abcd1\r\n2\r\n3\r\n4");
    EXPECT_EQ(b.LineCount(), 4);
    // ... and ends at its first line break in a single-line one.
    UiEditBuffer s = Buffer("x");
    s.Insert("yz\r\nmore");
    EXPECT_EQ(s.Content(), "xyz");
}

TEST(EditBufferTest, SelectLineAndSelectAll) {
    UiEditBuffer b = Buffer("one\r\ntwo" + kZhong + "\r\nthree", true);
    b.SelectLine(2);
    EXPECT_EQ(b.SelectedText(), "two" + kZhong);
    b.SelectAll();
    EXPECT_EQ(b.Anchor(), b.Start());
    EXPECT_EQ(b.SelectedText(), b.Content());
    EXPECT_TRUE(b.Insert("x"));
    EXPECT_EQ(b.Content(), "x");
}

TEST(EditBufferTest, LayoutMapsPositionsToPixelsAndBack) {
    UiEditBuffer b = Buffer("ab" + kZhong + "\r\n\r\nxyzw", true);
    b.Layout(FixedMeasure, 14.0f);
    EXPECT_FLOAT_EQ(b.X({1, 0}), 2.0f);
    EXPECT_FLOAT_EQ(b.X({1, 2}), 14.0f);
    EXPECT_FLOAT_EQ(b.X({1, 3}), 26.0f);     // 中 is 12 pixels wide
    EXPECT_FLOAT_EQ(b.Width(), 26.0f);
    EXPECT_FLOAT_EQ(b.Height(), 42.0f);
    struct Case {
        float x, y;
        EditPos pos;
    } cases[] = {
        {0, 0, {1, 0}},      {4.9f, 3, {1, 0}},  {5.1f, 3, {1, 1}},  {19.9f, 13, {1, 2}},
        {20.1f, 13, {1, 3}}, {500, 0, {1, 3}},   {9, 15, {2, 0}},    {9, 30, {3, 1}},
        {9, 900, {3, 1}},    {9, -40, {1, 1}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(b.PosAt(c.x, c.y), c.pos) << c.x << "," << c.y;
    }
    // Up and Down keep the caret's x across a shorter line.
    b.MoveTo({3, 4}, false);
    b.MoveUp(false);
    EXPECT_EQ(b.Caret(), (EditPos{2, 0}));
    b.MoveUp(false);
    EXPECT_EQ(b.Caret(), (EditPos{1, 3}));
    b.MoveDown(false);
    b.MoveDown(true);
    EXPECT_EQ(b.Caret(), (EditPos{3, 4}));
    EXPECT_EQ(b.Anchor(), (EditPos{2, 0}));
}

TEST(EditBufferTest, PasswordCellsHideTheText) {
    UiEditBuffer b;
    b.Reset("a" + kZhong + "c", false, kEditPassword, "#");
    EXPECT_EQ(b.DisplayLine(1), "###");
    EXPECT_EQ(b.DisplayCells(1).size(), 3u);
    b.SetPasswordChar("");
    EXPECT_EQ(b.DisplayLine(1), "***");   // never an empty mask
}

}  // namespace
}  // namespace sorvix::ui::test
