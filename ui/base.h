// Kelvane foundation: library start-up, fonts, images held in memory, GBK <->
// UTF-16 conversion, colours and the drawing primitives every element kind
// shares.
//
// Guarantees: all text conversion goes through the text layer's codec, which
// names code page 936 explicitly, so the library shows Chinese correctly
// whatever the system's ANSI code page is; the
// default font falls back to a generic sans-serif family when neither SimSun
// nor the caption font exists, so text is always drawn. Images returned by
// ImageFromBytes without keepSource own their pixels outright.
// Covered by tests/ui/base_test.cpp (Wine, both code pages).
#pragma once

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
// The library names its text primitive DrawText; the USER32 macro of that name
// would silently rename it to DrawTextW.
#undef DrawText

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "text/text_types.h"

namespace sorvix::ui {

using sorvix::Text;          // the text layer's GBK bytes, also as ui::Text
using Colour = uint32_t;     // 0x00BBGGRR, red in the low byte
using Argb = uint32_t;       // GDI+ 0xAARRGGBB

// A rectangle in host client pixels: left, top, width, height as floats.
struct UiRect {
    float x = 0, y = 0, w = 0, h = 0;
    float Right() const { return x + w; }
    float Bottom() const { return y + h; }
    bool SameAs(const UiRect& o) const;           // every field within 1e-7
    bool Overlaps(const UiRect& o) const;         // strict: touching is not overlapping
    Gdiplus::RectF ToGdi() const { return {x, y, w, h}; }
};
bool CoordEqual(float a, float b);                 // |a - b| <= 1e-7

// ---- Library globals and start-up ------------------------------------------------
struct Library {
    ULONG_PTR gdiplusToken = 0;
    Gdiplus::Font* defaultFont = nullptr;
    Gdiplus::Bitmap* skinImage = nullptr;
    HCURSOR defaultCursor = nullptr;
    int platformMajorVersion = 0;
    bool started = false;
};
Library& Lib();

// Starts GDI+, makes the default font, cursor and skin, registers "Kelvane".
// Safe to call more than once; later calls do nothing.
void UiStart();
WNDPROC PassThroughWindowProc();
bool RegisterHostClass(std::optional<std::wstring> className = {}, std::optional<UINT> style = {},
                       std::optional<HICON> icon = {}, std::optional<HCURSOR> cursor = {},
                       std::optional<WNDPROC> windowProc = {});
void SetDefaultCursor(uintptr_t value, bool isHandle);

// GDI+ images are not safe to use from two threads at once. The library's
// shared pictures (skin strip, glyph strip, image-button skin) are drawn
// under this lock, since a message box may paint on a search's thread while
// the main window paints on its own.
std::mutex& SharedArtLock();

// ---- Text ----------------------------------------------------------------------
std::wstring GbkToWide(std::string_view gbk);
Text WideToGbk(std::wstring_view wide);

// ---- Fonts ---------------------------------------------------------------------
// Font in pixel units; a family that is not installed takes the default font's
// family (or generic sans-serif). Null only when every fallback fails.
Gdiplus::Font* CreateFontByName(std::string_view familyName, float size = 12.0f, int style = 0);
Text FontFamilyName(const Gdiplus::Font* font);
Text SystemFontFace(int which = 2);               // 1 menu, 2 caption, 3 message
// The face choice after reading the system metrics, split out so the
// "Tahoma" rule and the usability check can be exercised directly.
Text ChooseSystemFace(std::string_view face);

// ---- Images --------------------------------------------------------------------
struct ImageSource {
    HGLOBAL memory = nullptr;
    IStream* stream = nullptr;
};
// Null for empty or undecodable bytes. With keepSource the image reads from
// `source` for its whole life and the caller frees all with ImageFree.
Gdiplus::Image* ImageFromBytes(std::string_view bytes, bool addPngSignature = false,
                               bool keepSource = false, ImageSource* source = nullptr);
void ImageFree(Gdiplus::Image*& image, ImageSource* source = nullptr);
int ImageWidth(Gdiplus::Image* image);
int ImageHeight(Gdiplus::Image* image);

// ---- Colours -------------------------------------------------------------------
// 0x00BBGGRR + alpha -> 0xAARRGGBB; an omitted alpha or 255 is stored as 254.
Argb ToArgb(Colour colour, int alpha = 255, bool alphaGiven = false);
inline Argb ArgbAt(Colour colour, int alpha) { return ToArgb(colour, alpha, true); }
bool IsDark(Colour colour);

// ---- Drawing primitives --------------------------------------------------------
void FillGradient(Gdiplus::Graphics& g, const Gdiplus::RectF& r, Argb c1, Argb c2, int mode = 1);
// Styles: none, sunken, raised, solid in colour (default 0x646464), dashed
// focus cue (default black at 120); any other value is itself a colour.
enum : int64_t {
    kBorderNone = 0,
    kBorderSunken = 1,
    kBorderRaised = 2,
    kBorderSolid = 3,
    kBorderFocusCue = 4,
};
// FillGradient modes.
enum : int { kGradientHorizontal = 0, kGradientVertical = 1 };
void DrawBorder(Gdiplus::Graphics& g, const Gdiplus::RectF& r, int64_t style,
                std::optional<Argb> colour = {}, float width = 1.0f);
void RoundRectPath(Gdiplus::GraphicsPath& path, const Gdiplus::RectF& r, float radius);
void FillRoundRect(Gdiplus::Graphics& g, const Gdiplus::RectF& r, float radius, Argb colour);
void DrawRoundRect(Gdiplus::Graphics& g, const Gdiplus::RectF& r, float radius, Argb colour,
                   bool dashed = false);
// Text with an optional glow (effects 3 and 4) in effectColour, which defaults
// by the darkness of the text colour.
void DrawText(Gdiplus::Graphics& g, const Gdiplus::RectF& r, std::wstring_view text,
              const Gdiplus::Font* font, Argb colour, const Gdiplus::StringFormat* format,
              int effect = 0, std::optional<Argb> effectColour = {});
// Draws an image into dest at a constant alpha (255 draws it plainly).
void DrawImageAlpha(Gdiplus::Graphics& g, Gdiplus::Image* image, const Gdiplus::RectF& dest,
                    int alpha);

}  // namespace sorvix::ui
