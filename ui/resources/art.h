// Kelvane's built-in artwork: every picture the library and the program embed,
// drawn by our own generator (tools/artgen) and checked in as byte arrays in
// art_data.inc. Do not edit the data by hand: change the generator and run the
// `artgen_update` target (native build), which rewrites art_data.inc and
// sorvix.ico. tests/art regenerates everything and fails on any drift.
//
// Formats. Two pictures are PNG data WITHOUT the 8-byte PNG signature, starting
// at the IHDR chunk, exactly as the library stores them; put the signature
// 89 50 4E 47 0D 0A 1A 0A in front before decoding (ImageFromBytes with
// addPngSignature): SkinStrip() and OptionGlyphStrip(). Every other accessor
// returns a complete file (PNG, GIF or ICO). All PNGs are 8-bit RGBA with
// straight (not premultiplied) alpha.
//
// The cell layouts below are the contract between the pictures and the code
// that cuts them; the generator draws from these same constants.
#pragma once

#include <span>

namespace sorvix::ui::art {

struct Cell {
    int x = 0, y = 0, width = 0, height = 0;
};

// ---- Skin strip: 729 x 20, no PNG signature ----------------------------------
// Caption buttons in three states each, side by side from x 0, then four
// scroll-bar arrows. A caption button's picture fills rows 0-18 of its cell
// (buttons are 19 high); row 19 is transparent, so drawing the whole 20-row
// cell at the button's top-left corner is also right.
//
//   x   0..116  close     (39 wide): normal, hot, pressed
//   x 117..200  maximise  (28 wide): normal, hot, pressed
//   x 201..284  restore   (the maximise button of a zoomed window)
//   x 285..368  minimise
//   x 369..452  caption button kind 32  (menu: three lines)
//   x 453..536  caption button kind 64  (appearance: a shirt)
//   x 537..620  caption button kind 128 (pin)
//   x 621..704  caption button kind 256 (help: question mark)
//   x 705..728  scroll arrows, 6 x 20 each: up, down, left, right; the
//               triangle sits in rows 8-12, centred in the cell
inline constexpr int kSkinStripWidth = 729;
inline constexpr int kSkinStripHeight = 20;
inline constexpr int kCaptionButtonHeight = 19;
inline constexpr int kCloseButtonWidth = 39;
inline constexpr int kCaptionButtonWidth = 28;

enum class CaptionGlyph { Close, Maximise, Restore, Minimise, Menu, Appearance, Pin, Help };
enum class CaptionState { Normal, Hot, Pressed };
enum class ScrollArrow { Up, Down, Left, Right };

inline constexpr Cell CaptionButtonCell(CaptionGlyph glyph, CaptionState state) {
    const int s = static_cast<int>(state);
    if (glyph == CaptionGlyph::Close) return {kCloseButtonWidth * s, 0, kCloseButtonWidth, kCaptionButtonHeight};
    const int g = static_cast<int>(glyph) - 1;
    return {3 * kCloseButtonWidth + g * 3 * kCaptionButtonWidth + s * kCaptionButtonWidth, 0, kCaptionButtonWidth,
            kCaptionButtonHeight};
}

// The glyph of a caption button kind of the host's style flags (4 close,
// 8 maximise, 16 minimise, 32/64/128/256 the further buttons). A maximise
// button of a zoomed window shows CaptionGlyph::Restore instead.
inline constexpr CaptionGlyph CaptionGlyphForKind(int kind) {
    switch (kind) {
        case 8: return CaptionGlyph::Maximise;
        case 16: return CaptionGlyph::Minimise;
        case 32: return CaptionGlyph::Menu;
        case 64: return CaptionGlyph::Appearance;
        case 128: return CaptionGlyph::Pin;
        case 256: return CaptionGlyph::Help;
        default: return CaptionGlyph::Close;
    }
}

inline constexpr int kScrollArrowWidth = 6;
inline constexpr Cell ScrollArrowCell(ScrollArrow arrow) {
    return {705 + kScrollArrowWidth * static_cast<int>(arrow), 0, kScrollArrowWidth, kSkinStripHeight};
}

// ---- Option glyph strip: 68 x 17, no PNG signature ---------------------------
// Four 17 x 17 cells: x 0 unchecked, 17 unchecked hot/pressed, 34 checked,
// 51 checked hot/pressed.
inline constexpr int kOptionGlyphSize = 17;
inline constexpr Cell OptionGlyphCell(bool checked, bool hot) {
    return {(checked ? 2 * kOptionGlyphSize : 0) + (hot ? kOptionGlyphSize : 0), 0, kOptionGlyphSize,
            kOptionGlyphSize};
}

// ---- Message box background strip: 2 x 160, complete PNG ---------------------
// Three bands stretched across the box: rows 0-95 (top: the first
// kMessageBoxCaptionRows rows lie behind the caption and stay mostly clear,
// so the white title reads on the theme colour; light glass below), rows
// 97-128 (middle, one flat colour, so any slice of it stretches the same),
// rows 129-159 (footer behind the buttons, with a hairline at row 129).
inline constexpr int kMessageBoxStripWidth = 2;
inline constexpr int kMessageBoxStripHeight = 160;
inline constexpr int kMessageBoxCaptionRows = 24;
inline constexpr Cell kMessageBoxTopBand = {0, 0, 2, 96};
inline constexpr Cell kMessageBoxMiddleBand = {0, 97, 2, 32};
inline constexpr Cell kMessageBoxBottomBand = {0, 129, 2, 31};

// ---- Message box icon sheet: 200 x 40, complete PNG --------------------------
// Five 40 x 40 icons: x 0 error (icon 16), 40 warning (48), 80 question (32),
// 120 information (64), 160 success (128). Unknown icon codes give an empty cell.
inline constexpr int kMessageBoxIconSize = 40;
inline constexpr Cell MessageBoxIconCell(int icon) {
    int slot = icon == 16 ? 0 : icon == 48 ? 1 : icon == 32 ? 2 : icon == 64 ? 3 : icon == 128 ? 4 : -1;
    if (slot < 0) return {};
    return {slot * kMessageBoxIconSize, 0, kMessageBoxIconSize, kMessageBoxIconSize};
}

// ---- Image-button skin: 70 x 130, complete PNG -------------------------------
// Five 70 x 26 rows, one per state: normal, hot, pressed, disabled, and the
// focus glow. The glow row is transparent inside and carries a soft blue
// ring along the edge; the focused button draws it over its state's row with
// an alpha that the 100 ms glow timer varies. To draw a button of another
// size, keep kImageButtonCornerInset pixels at each edge unstretched
// (nine-slice) and stretch the middle.
inline constexpr int kImageButtonWidth = 70;
inline constexpr int kImageButtonHeight = 26;
inline constexpr int kImageButtonCornerInset = 5;
enum class ImageButtonState { Normal, Hot, Pressed, Disabled, FocusGlow };
inline constexpr Cell ImageButtonCell(ImageButtonState state) {
    return {0, kImageButtonHeight * static_cast<int>(state), kImageButtonWidth, kImageButtonHeight};
}

// ---- Other pictures ------------------------------------------------------------
// MenuCheck: 16 x 16 complete PNG, the check mark of a checked menu item.
// AppIcon16 / AppIcon32: the program's magnifier mark, complete PNGs.
// AppIconFile: the same mark as a .ico file (16, 32 and 48 pixels, 32-bit with
//   alpha); identical to ui/resources/sorvix.ico, which the resource script
//   uses as icon 129.
// LoadingGif: 48 x 16 animated GIF89a (three pulsing dots), three frames with
//   delays 5, 0 and 20 hundredths of a second, looping: the picture element's
//   test picture for frame counts, delays and zero-delay replacement.
inline constexpr int kMenuCheckSize = 16;
inline constexpr int kLoadingGifWidth = 48;
inline constexpr int kLoadingGifHeight = 16;
inline constexpr int kLoadingGifFrames = 3;

std::span<const unsigned char> SkinStrip();
std::span<const unsigned char> OptionGlyphStrip();
std::span<const unsigned char> MessageBoxBackground();
std::span<const unsigned char> MessageBoxIcons();
std::span<const unsigned char> ImageButtonSkin();
std::span<const unsigned char> MenuCheck();
std::span<const unsigned char> AppIcon16();
std::span<const unsigned char> AppIcon32();
std::span<const unsigned char> AppIconFile();
std::span<const unsigned char> LoadingGif();

}  // namespace sorvix::ui::art
