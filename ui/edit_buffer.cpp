// UiEditBuffer: lines, positions, selection, edits, caret moves and the
// measured layout. See edit_buffer.h.
#include "ui/edit_buffer.h"

#include "text/text.h"

#include <algorithm>

namespace sorvix::ui {

namespace {

constexpr unsigned kFirstTypedCode = 28;
constexpr unsigned kLastTypedCode = 126;

bool IsWordByte(unsigned char b) {
    return (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}

}  // namespace

void UiEditBuffer::Reset(std::string_view text, bool multiLine, int inputMode,
                         std::string_view passwordChar) {
    multiLine_ = multiLine;
    inputMode_ = inputMode;
    SetPasswordChar(passwordChar);
    SetContent(text);
}

void UiEditBuffer::SetPasswordChar(std::string_view p) {
    passwordChar_ = p.empty() ? std::string("*") : std::string(p);
    laidOut_ = false;
}

void UiEditBuffer::SetContent(std::string_view text) {
    // A zero byte would end the text for every platform call that sees it.
    text_.assign(text.substr(0, text.find('\0')));
    Split();
    caret_ = anchor_ = End();
    goalX_ = -1.0f;
}

void UiEditBuffer::Split() {
    lines_.clear();
    size_t start = 0;
    for (;;) {
        size_t end = multiLine_ ? text_.find("\r\n", start) : std::string::npos;
        LineInfo line;
        line.start = start;
        line.length = (end == std::string::npos ? text_.size() : end) - start;
        std::string_view bytes(text_.data() + start, line.length);
        for (size_t i = 0; i < bytes.size(); i += GbkCharLength(bytes, i)) line.chars.push_back(i);
        lines_.push_back(std::move(line));
        if (end == std::string::npos) break;
        start = end + 2;
    }
    laidOut_ = false;
}

std::string_view UiEditBuffer::Line(int line) const {
    if (line < 1 || line > LineCount()) return {};
    const LineInfo& l = lines_[static_cast<size_t>(line - 1)];
    return std::string_view(text_).substr(l.start, l.length);
}

int UiEditBuffer::LineLength(int line) const {
    if (line < 1 || line > LineCount()) return 0;
    return static_cast<int>(lines_[static_cast<size_t>(line - 1)].chars.size());
}

EditPos UiEditBuffer::Clamp(EditPos p) const {
    p.line = std::clamp(p.line, 1, LineCount());
    p.column = std::clamp(p.column, 0, LineLength(p.line));
    return p;
}

EditPos UiEditBuffer::End() const {
    return {LineCount(), LineLength(LineCount())};
}

size_t UiEditBuffer::Offset(EditPos p) const {
    p = Clamp(p);
    const LineInfo& l = lines_[static_cast<size_t>(p.line - 1)];
    size_t column = static_cast<size_t>(p.column);
    return l.start + (column < l.chars.size() ? l.chars[column] : l.length);
}

EditPos UiEditBuffer::PosOf(size_t offset) const {
    offset = std::min(offset, text_.size());
    for (int i = LineCount(); i >= 1; --i) {
        const LineInfo& l = lines_[static_cast<size_t>(i - 1)];
        if (offset < l.start) continue;
        size_t inLine = offset - l.start;
        if (inLine >= l.length) return {i, static_cast<int>(l.chars.size())};
        // The character that holds the offset: the last one starting at or
        // before it.
        auto it = std::upper_bound(l.chars.begin(), l.chars.end(), inLine);
        return {i, static_cast<int>(it - l.chars.begin()) - 1};
    }
    return Start();
}

void UiEditBuffer::SetSelection(EditPos anchor, EditPos caret) {
    anchor_ = Clamp(anchor);
    caret_ = Clamp(caret);
    goalX_ = -1.0f;
}

std::string UiEditBuffer::SelectedText() const {
    size_t a = Offset(anchor_), c = Offset(caret_);
    if (a > c) std::swap(a, c);
    return text_.substr(a, c - a);
}

void UiEditBuffer::SelectWordAt(EditPos p) {
    p = Clamp(p);
    const LineInfo& l = lines_[static_cast<size_t>(p.line - 1)];
    std::string_view bytes = Line(p.line);
    // A word character is a single byte: a double-byte character (whose trail
    // byte may well be an ASCII letter) never is one.
    auto isWord = [&](int column) {
        size_t at = l.chars[static_cast<size_t>(column)];
        size_t next = static_cast<size_t>(column) + 1 < l.chars.size() ? l.chars[static_cast<size_t>(column) + 1]
                                                                        : l.length;
        return next - at == 1 && IsWordByte(static_cast<unsigned char>(bytes[at]));
    };
    int from = p.column, to = p.column;
    while (from > 0 && isWord(from - 1)) --from;
    while (to < static_cast<int>(l.chars.size()) && isWord(to)) ++to;
    SetSelection({p.line, from}, {p.line, to});
}

void UiEditBuffer::SelectLine(int line) {
    line = std::clamp(line, 1, LineCount());
    SetSelection({line, 0}, {line, LineLength(line)});
}

bool UiEditBuffer::Accepts(unsigned code) const {
    if (code < kFirstTypedCode || code > kLastTypedCode) return false;
    switch (inputMode_) {
    case kEditInteger: return (code >= '0' && code <= '9') || code == '-';
    case kEditDecimal: {
        if (code < '-' || code > '9') return false;
        if (code != '.') return true;
        // The selection is about to be replaced: only the rest counts.
        size_t a = Offset(anchor_), c = Offset(caret_);
        if (a > c) std::swap(a, c);
        return text_.find('.') == std::string::npos ||
               (text_.substr(0, a).find('.') == std::string::npos &&
                text_.substr(c).find('.') == std::string::npos);
    }
    default: return true;
    }
}

std::string UiEditBuffer::Clean(std::string_view text) const {
    text = text.substr(0, text.find('\0'));
    if (!multiLine_) return std::string(text.substr(0, text.find_first_of("\r\n")));
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            out += "\r\n";
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else if (c == '\n') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

void UiEditBuffer::Replace(size_t from, size_t to, std::string_view with) {
    // Only whole characters go in: a lead byte without its trail byte would
    // pair up with whatever follows it.
    std::string whole;
    whole.reserve(with.size());
    for (size_t i = 0; i < with.size();) {
        size_t n = GbkCharLength(with, i);
        if (!(n == 1 && IsGbkLeadByte(static_cast<unsigned char>(with[i])))) whole.append(with.substr(i, n));
        i += n;
    }
    // A stray lead byte just before the edit (it stands alone only because
    // the byte after it cannot be a trail byte) would pair up with the new
    // neighbour; it is dropped so every character keeps its bytes.
    bool strayBefore = false;
    if (from > 0) {
        EditPos p = PosOf(from);
        if (p.column > 0) {
            const LineInfo& l = lines_[static_cast<size_t>(p.line - 1)];
            size_t at = l.start + l.chars[static_cast<size_t>(p.column - 1)];
            strayBefore = at == from - 1 && IsGbkLeadByte(static_cast<unsigned char>(text_[at]));
        }
    }
    text_.replace(from, to - from, whole);
    size_t end = from + whole.size();
    if (strayBefore && from < text_.size() && IsGbkTrailByte(static_cast<unsigned char>(text_[from]))) {
        text_.erase(from - 1, 1);
        --end;
    }
    Split();
    caret_ = anchor_ = PosOf(end);
    goalX_ = -1.0f;
}

bool UiEditBuffer::Insert(std::string_view text) {
    std::string clean = Clean(text);
    size_t a = Offset(anchor_), c = Offset(caret_);
    if (a > c) std::swap(a, c);
    if (clean.empty() && a == c) return false;
    Replace(a, c, clean);
    return true;
}

bool UiEditBuffer::DeleteSelection() {
    if (!HasSelection()) return false;
    size_t a = Offset(anchor_), c = Offset(caret_);
    if (a > c) std::swap(a, c);
    Replace(a, c, {});
    return true;
}

EditPos UiEditBuffer::Step(EditPos p, int direction) const {
    p = Clamp(p);
    if (direction < 0) {
        if (p.column > 0) return {p.line, p.column - 1};
        if (p.line > 1) return {p.line - 1, LineLength(p.line - 1)};
        return p;
    }
    if (p.column < LineLength(p.line)) return {p.line, p.column + 1};
    if (p.line < LineCount()) return {p.line + 1, 0};
    return p;
}

bool UiEditBuffer::Backspace() {
    if (DeleteSelection()) return true;
    EditPos from = Step(caret_, -1);
    if (from == caret_) return false;
    Replace(Offset(from), Offset(caret_), {});
    return true;
}

bool UiEditBuffer::DeleteForward() {
    if (DeleteSelection()) return true;
    EditPos to = Step(caret_, +1);
    if (to == caret_) return false;
    Replace(Offset(caret_), Offset(to), {});
    return true;
}

void UiEditBuffer::Place(EditPos caret, bool extend) {
    caret_ = Clamp(caret);
    if (!extend) anchor_ = caret_;
}

void UiEditBuffer::MoveTo(EditPos p, bool extend) {
    Place(p, extend);
    goalX_ = -1.0f;
}

void UiEditBuffer::MoveLeft(bool extend) { MoveTo(Step(caret_, -1), extend); }
void UiEditBuffer::MoveRight(bool extend) { MoveTo(Step(caret_, +1), extend); }
void UiEditBuffer::MoveHome(bool extend) { MoveTo({caret_.line, 0}, extend); }
void UiEditBuffer::MoveEnd(bool extend) { MoveTo({caret_.line, LineLength(caret_.line)}, extend); }

void UiEditBuffer::MoveUp(bool extend) {
    float goal = goalX_ >= 0 ? goalX_ : X(caret_);
    if (caret_.line > 1) Place(laidOut_ ? PosAt(goal, Y(caret_.line - 1)) : EditPos{caret_.line - 1, caret_.column}, extend);
    else Place(caret_, extend);
    goalX_ = goal;
}

void UiEditBuffer::MoveDown(bool extend) {
    float goal = goalX_ >= 0 ? goalX_ : X(caret_);
    if (caret_.line < LineCount()) Place(laidOut_ ? PosAt(goal, Y(caret_.line + 1)) : EditPos{caret_.line + 1, caret_.column}, extend);
    else Place(caret_, extend);
    goalX_ = goal;
}

std::vector<std::string> UiEditBuffer::DisplayCells(int line) const {
    std::vector<std::string> cells;
    if (line < 1 || line > LineCount()) return cells;
    const LineInfo& l = lines_[static_cast<size_t>(line - 1)];
    std::string_view bytes = Line(line);
    cells.reserve(l.chars.size());
    for (size_t i = 0; i < l.chars.size(); ++i) {
        if (Password()) {
            cells.push_back(passwordChar_);
            continue;
        }
        size_t next = i + 1 < l.chars.size() ? l.chars[i + 1] : l.length;
        cells.emplace_back(bytes.substr(l.chars[i], next - l.chars[i]));
    }
    return cells;
}

std::string UiEditBuffer::DisplayLine(int line) const {
    if (!Password()) return std::string(Line(line));
    std::string out;
    for (int i = LineLength(line); i > 0; --i) out += passwordChar_;
    return out;
}

void UiEditBuffer::Layout(const EditMeasure& measure, float lineHeight) {
    lineHeight_ = lineHeight > 0 ? lineHeight : 1.0f;
    for (int i = 1; i <= LineCount(); ++i) {
        LineInfo& l = lines_[static_cast<size_t>(i - 1)];
        std::vector<float> edges = measure ? measure(DisplayCells(i)) : std::vector<float>{};
        if (edges.size() != l.chars.size() + 1) edges.assign(l.chars.size() + 1, 0.0f);
        // Edges never run backwards, whatever the measuring said.
        for (size_t k = 1; k < edges.size(); ++k) edges[k] = std::max(edges[k], edges[k - 1]);
        l.edges = std::move(edges);
    }
    laidOut_ = true;
}

float UiEditBuffer::X(EditPos p) const {
    if (!laidOut_) return 0.0f;
    p = Clamp(p);
    const LineInfo& l = lines_[static_cast<size_t>(p.line - 1)];
    return l.edges.empty() ? 0.0f : l.edges[static_cast<size_t>(p.column)];
}

float UiEditBuffer::Width() const {
    float w = 0;
    if (!laidOut_) return w;
    for (auto& l : lines_) {
        if (!l.edges.empty()) w = std::max(w, l.edges.back());
    }
    return w;
}

EditPos UiEditBuffer::PosAt(float x, float y) const {
    int line = lineHeight_ > 0 ? static_cast<int>(y / lineHeight_) + 1 : 1;
    if (y < 0) line = 1;
    line = std::clamp(line, 1, LineCount());
    if (!laidOut_) return {line, 0};
    const LineInfo& l = lines_[static_cast<size_t>(line - 1)];
    int column = 0;
    for (size_t k = 0; k + 1 < l.edges.size(); ++k) {
        // Past the middle of character k: the position after it.
        if (x >= (l.edges[k] + l.edges[k + 1]) / 2) column = static_cast<int>(k) + 1;
        else break;
    }
    return {line, column};
}

}  // namespace sorvix::ui
