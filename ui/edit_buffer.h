// The text store of an edit box: GBK text split into lines, a selection
// (anchor and caret), the edits and caret moves the box offers, and the
// measured layout that maps positions to pixels and points back to positions.
//
// Positions are (line, column): line counted from 1, column the number of
// characters before the position in that line; a character is one byte or a
// GBK double-byte pair. Every position the buffer hands out, and every edit it
// makes, lies on a character boundary, so no edit ever splits a double-byte
// character, whatever bytes it is given (a stray lead byte counts as a
// character of its own). Multi-line text breaks lines at "\r\n" only; text
// inserted into a multi-line buffer has its lone "\r" and "\n" made "\r\n",
// and text inserted into a single-line buffer ends at its first line break.
//
// The buffer draws nothing and knows no platform: the box measures the cells
// of each display line (characters, or the password character in their
// place) and hands the edges back through Layout. Covered by
// tests/ui/edit/edit_buffer_test.cpp.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sorvix::ui {

struct EditPos {
    int line = 1;
    int column = 0;
    friend bool operator==(const EditPos& a, const EditPos& b) {
        return a.line == b.line && a.column == b.column;
    }
    friend bool operator!=(const EditPos& a, const EditPos& b) { return !(a == b); }
    friend bool operator<(const EditPos& a, const EditPos& b) {
        return a.line != b.line ? a.line < b.line : a.column < b.column;
    }
};

struct EditSelection {
    EditPos anchor;
    EditPos caret;
    friend bool operator==(const EditSelection& a, const EditSelection& b) {
        return a.anchor == b.anchor && a.caret == b.caret;
    }
};

// Input modes of an edit box.
enum EditInputMode : int {
    kEditFreeText = 0,
    kEditRestricted = 1,    // no IME, no cutting, no paste from the menu
    kEditPassword = 2,
    kEditInteger = 3,       // digits and the minus sign
    kEditDecimal = 4,       // codes 45..57, one full stop at most
};

// Measures one display line: given its cells (GBK), returns cells.size() + 1
// x positions: the left edge of every cell, then the right edge of the last
// (the line's width). The first edge need not be 0.
using EditMeasure = std::function<std::vector<float>(const std::vector<std::string>& cells)>;

class UiEditBuffer {
public:
    UiEditBuffer() { Reset({}, false, kEditFreeText, "*"); }

    // Takes the initial text and the settings; the selection collapses at
    // the end of the text and the layout is dropped.
    void Reset(std::string_view text, bool multiLine, int inputMode, std::string_view passwordChar);
    // Replaces the whole text as given (no line-break cleaning); the caret
    // goes to the end.
    void SetContent(std::string_view text);
    const std::string& Content() const { return text_; }
    bool MultiLine() const { return multiLine_; }
    int InputMode() const { return inputMode_; }
    void SetInputMode(int mode) { inputMode_ = mode; }
    const std::string& PasswordChar() const { return passwordChar_; }
    void SetPasswordChar(std::string_view p);
    bool Password() const { return inputMode_ == kEditPassword; }

    // ---- Lines and positions ----------------------------------------------------
    int LineCount() const { return static_cast<int>(lines_.size()); }
    std::string_view Line(int line) const;          // without its line break
    int LineLength(int line) const;                 // in characters
    EditPos Clamp(EditPos p) const;                  // onto the text
    size_t Offset(EditPos p) const;                  // byte offset of a (clamped) position
    EditPos PosOf(size_t offset) const;              // inside a character: its start
    EditPos Start() const { return {1, 0}; }
    EditPos End() const;

    // ---- Selection -------------------------------------------------------------
    EditPos Anchor() const { return anchor_; }
    EditPos Caret() const { return caret_; }
    void SetSelection(EditPos anchor, EditPos caret);
    bool HasSelection() const { return anchor_ != caret_; }
    std::string SelectedText() const;
    void Collapse() { anchor_ = caret_; }
    void SelectAll() { SetSelection(Start(), End()); }
    // The run of ASCII letters and digits on both sides of the position.
    void SelectWordAt(EditPos p);
    void SelectLine(int line);

    // ---- Edits ----------------------------------------------------------------
    // Whether a typed character code is taken in the current input mode;
    // only codes 28..126 ever are. In the decimal mode a full stop is refused
    // while the text outside the selection already holds one.
    bool Accepts(unsigned code) const;
    // Replaces the selection with the text (cleaned of line breaks as the
    // header says); the caret ends after it. False when nothing changed.
    bool Insert(std::string_view text);
    bool DeleteSelection();
    bool Backspace();        // the selection, or the character (or line break) before the caret
    bool DeleteForward();    // the selection, or the character (or line break) after it

    // ---- Caret moves (extend: the anchor stays, so the selection grows) ---------
    void MoveLeft(bool extend);
    void MoveRight(bool extend);
    void MoveUp(bool extend);
    void MoveDown(bool extend);
    void MoveHome(bool extend);
    void MoveEnd(bool extend);
    void MoveTo(EditPos p, bool extend);

    // ---- Layout -----------------------------------------------------------------
    // The cells drawn for a line: its characters, or in password mode the
    // password character once per character.
    std::vector<std::string> DisplayCells(int line) const;
    // The cells of a line as one string, as it is drawn.
    std::string DisplayLine(int line) const;
    // Measures every line; lineHeight is the distance between line tops.
    void Layout(const EditMeasure& measure, float lineHeight);
    bool HasLayout() const { return laidOut_; }
    void DropLayout() { laidOut_ = false; }
    float LineHeight() const { return lineHeight_; }
    // Layout coordinates: x from the line's origin, y from the top of line 1.
    float X(EditPos p) const;
    float Y(int line) const { return static_cast<float>(line - 1) * lineHeight_; }
    float Width() const;                             // of the widest line
    float Height() const { return lineHeight_ * static_cast<float>(lines_.size()); }
    // The position nearest to a point (the nearer edge of the character hit).
    EditPos PosAt(float x, float y) const;

private:
    struct LineInfo {
        size_t start = 0;                  // byte offset in text_
        size_t length = 0;                 // bytes, without the line break
        std::vector<size_t> chars;         // byte offset (in the line) of each character
        std::vector<float> edges;          // chars.size() + 1 x positions once laid out
    };
    void Split();
    std::string Clean(std::string_view text) const;
    void Replace(size_t from, size_t to, std::string_view with);
    EditPos Step(EditPos p, int direction) const;
    void Place(EditPos caret, bool extend);

    std::string text_;
    bool multiLine_ = false;
    int inputMode_ = kEditFreeText;
    std::string passwordChar_ = "*";
    std::vector<LineInfo> lines_;
    EditPos anchor_, caret_;
    float lineHeight_ = 12.0f;
    float goalX_ = -1.0f;                  // kept across Up and Down
    bool laidOut_ = false;
};

}  // namespace sorvix::ui
