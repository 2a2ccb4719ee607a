// Library start-up, fonts, images from memory, code-page 936 conversion and
// the shared drawing primitives. See base.h for the guarantees.
#include "ui/base.h"

#include "ui/menu.h"
#include "ui/resources/art.h"

#include "text/text.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace sorvix::ui {

namespace {

// "宋体" (SimSun) in GBK.
constexpr char kSimSunGbk[] = "\xCB\xCE\xCC\xE5";

LRESULT CALLBACK PassThrough(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    return DefWindowProcW(w, m, wp, lp);
}

int ReadPlatformMajorVersion() {
    // RtlGetVersion tells the truth regardless of the manifest's compatibility
    // section, which GetVersionEx does not.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll) return 0;
    auto fn = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (!fn) return 0;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (fn(&info) != 0) return 0;
    return static_cast<int>(info.dwMajorVersion);
}

// The built-in skin strip (729 x 20): our artwork, stored without the PNG
// signature. Should it ever fail to decode, an empty strip of the same size
// keeps every cell lookup in bounds.
Gdiplus::Bitmap* LoadSkinStrip() {
    auto bytes = art::SkinStrip();
    Gdiplus::Image* image = ImageFromBytes(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), true, false);
    if (auto* bmp = dynamic_cast<Gdiplus::Bitmap*>(image)) return bmp;
    delete image;
    return new Gdiplus::Bitmap(art::kSkinStripWidth, art::kSkinStripHeight, PixelFormat32bppARGB);
}

Gdiplus::Font* FontFromFamily(const Gdiplus::FontFamily& family, float size, int style) {
    auto* font = new Gdiplus::Font(&family, size, style, Gdiplus::UnitPixel);
    if (font->GetLastStatus() != Gdiplus::Ok) {
        delete font;
        return nullptr;
    }
    return font;
}

}  // namespace

bool CoordEqual(float a, float b) { return std::fabs(a - b) <= 1e-7f; }

bool UiRect::SameAs(const UiRect& o) const {
    return CoordEqual(x, o.x) && CoordEqual(y, o.y) && CoordEqual(w, o.w) && CoordEqual(h, o.h);
}

bool UiRect::Overlaps(const UiRect& o) const {
    return x < o.Right() && o.x < Right() && y < o.Bottom() && o.y < Bottom();
}

std::mutex& SharedArtLock() {
    static std::mutex lock;
    return lock;
}

Library& Lib() {
    static Library lib;
    return lib;
}

WNDPROC PassThroughWindowProc() { return &PassThrough; }

void UiStart() {
    Library& lib = Lib();
    if (lib.started) return;
    lib.started = true;
    Gdiplus::GdiplusStartupInput input;  // version 1, no debug callback
    Gdiplus::GdiplusStartup(&lib.gdiplusToken, &input, nullptr);
    lib.platformMajorVersion = ReadPlatformMajorVersion();

    // Default font: SimSun, then the caption font's face, then a generic
    // sans-serif family, so that text is drawn even on a system without both.
    for (std::wstring name : {GbkToWide(kSimSunGbk), std::wstring()}) {
        if (name.empty()) {
            NONCLIENTMETRICSW m{};
            m.cbSize = sizeof(m);
            if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(m), &m, 0)) continue;
            name = m.lfCaptionFont.lfFaceName;
        }
        Gdiplus::FontFamily family(name.c_str());
        if (family.GetLastStatus() == Gdiplus::Ok) {
            lib.defaultFont = FontFromFamily(family, 12.0f, 0);
            if (lib.defaultFont) break;
        }
    }
    if (!lib.defaultFont) {
        const Gdiplus::FontFamily* generic = Gdiplus::FontFamily::GenericSansSerif();
        if (generic && generic->GetLastStatus() == Gdiplus::Ok) {
            lib.defaultFont = FontFromFamily(*generic, 12.0f, 0);
        }
    }
    lib.defaultCursor = LoadCursorW(nullptr, IDC_ARROW);
    lib.skinImage = LoadSkinStrip();
    RegisterHostClass();
    StartMenus();   // the popup class and the edit boxes' shared context menu
}

bool RegisterHostClass(std::optional<std::wstring> className, std::optional<UINT> style,
                       std::optional<HICON> icon, std::optional<HCURSOR> cursor,
                       std::optional<WNDPROC> windowProc) {
    static std::wstring storedName;  // RegisterClassExW keeps only the pointer's text
    storedName = className.value_or(L"Kelvane");
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = style.value_or(CS_DBLCLKS);
    wc.lpfnWndProc = windowProc.value_or(&PassThrough);
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = icon.value_or(LoadIconW(wc.hInstance, MAKEINTRESOURCEW(129)));
    wc.hCursor = cursor.value_or(Lib().defaultCursor);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = storedName.c_str();
    return RegisterClassExW(&wc) != 0;
}

void SetDefaultCursor(uintptr_t value, bool isHandle) {
    if (isHandle) {
        Lib().defaultCursor = reinterpret_cast<HCURSOR>(value);
    } else {
        Lib().defaultCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(value));
    }
}

// The text layer's codec: one set of GBK rules for the whole program.
std::wstring GbkToWide(std::string_view gbk) {
    const std::u16string wide = GbkToUtf16(gbk);
    return std::wstring(wide.begin(), wide.end());
}

Text WideToGbk(std::wstring_view wide) {
    return Utf16ToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

Gdiplus::Font* CreateFontByName(std::string_view familyName, float size, int style) {
    std::wstring name = GbkToWide(familyName);
    if (!name.empty()) {
        Gdiplus::FontFamily family(name.c_str());
        if (family.GetLastStatus() == Gdiplus::Ok) {
            if (auto* f = FontFromFamily(family, size, style)) return f;
        }
    }
    if (Lib().defaultFont) {
        Gdiplus::FontFamily family;
        if (Lib().defaultFont->GetFamily(&family) == Gdiplus::Ok) {
            if (auto* f = FontFromFamily(family, size, style)) return f;
        }
    }
    return nullptr;
}

Text FontFamilyName(const Gdiplus::Font* font) {
    if (!font) return {};
    Gdiplus::FontFamily family;
    if (font->GetFamily(&family) != Gdiplus::Ok) return {};
    WCHAR name[LF_FACESIZE] = {};
    family.GetFamilyName(name);
    return WideToGbk(name);
}

Text ChooseSystemFace(std::string_view face) {
    if (face.empty() || face == "Tahoma") return kSimSunGbk;
    Gdiplus::Font* test = nullptr;
    std::wstring name = GbkToWide(face);
    Gdiplus::FontFamily family(name.c_str());
    if (family.GetLastStatus() == Gdiplus::Ok) test = FontFromFamily(family, 12.0f, 0);
    if (!test) return kSimSunGbk;
    delete test;
    return Text(face);
}

Text SystemFontFace(int which) {
    NONCLIENTMETRICSW m{};
    m.cbSize = sizeof(m);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(m), &m, 0)) return kSimSunGbk;
    const LOGFONTW& lf = which == 1 ? m.lfMenuFont : which == 3 ? m.lfMessageFont : m.lfCaptionFont;
    return ChooseSystemFace(WideToGbk(lf.lfFaceName));
}

Gdiplus::Image* ImageFromBytes(std::string_view bytes, bool addPngSignature, bool keepSource,
                               ImageSource* source) {
    static const unsigned char kPngSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    if (source) *source = {};
    if (bytes.empty()) return nullptr;
    size_t total = bytes.size() + (addPngSignature ? 8 : 0);
    HGLOBAL memory = GlobalAlloc(GHND, total);
    if (!memory) return nullptr;
    auto* p = static_cast<unsigned char*>(GlobalLock(memory));
    if (!p) {
        GlobalFree(memory);
        return nullptr;
    }
    if (addPngSignature) std::memcpy(p, kPngSignature, 8);
    std::memcpy(p + (addPngSignature ? 8 : 0), bytes.data(), bytes.size());
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (CreateStreamOnHGlobal(memory, FALSE, &stream) != S_OK || !stream) {
        GlobalFree(memory);
        return nullptr;
    }
    auto* loaded = Gdiplus::Image::FromStream(stream);
    if (!loaded || loaded->GetLastStatus() != Gdiplus::Ok || loaded->GetWidth() == 0) {
        delete loaded;
        stream->Release();
        GlobalFree(memory);
        return nullptr;
    }
    if (keepSource) {
        if (source) {
            source->memory = memory;
            source->stream = stream;
        } else {
            // No place to hand the source to: fall through and copy instead,
            // rather than leak or free memory the image still reads.
            keepSource = false;
        }
        if (keepSource) return loaded;
    }
    UINT w = loaded->GetWidth(), h = loaded->GetHeight();
    auto* copy = new Gdiplus::Bitmap(static_cast<INT>(w), static_cast<INT>(h), PixelFormat32bppARGB);
    {
        Gdiplus::Graphics g(copy);
        g.DrawImage(loaded, 0, 0, static_cast<INT>(w), static_cast<INT>(h));
    }
    delete loaded;
    stream->Release();
    GlobalFree(memory);
    if (copy->GetLastStatus() != Gdiplus::Ok) {
        delete copy;
        return nullptr;
    }
    return copy;
}

void ImageFree(Gdiplus::Image*& image, ImageSource* source) {
    delete image;
    image = nullptr;
    if (source) {
        if (source->stream) source->stream->Release();
        if (source->memory) GlobalFree(source->memory);
        *source = {};
    }
}

int ImageWidth(Gdiplus::Image* image) { return image ? static_cast<int>(image->GetWidth()) : 0; }
int ImageHeight(Gdiplus::Image* image) { return image ? static_cast<int>(image->GetHeight()) : 0; }

Argb ToArgb(Colour colour, int alpha, bool alphaGiven) {
    uint32_t a = (!alphaGiven || alpha == 255) ? 254u : static_cast<uint32_t>(alpha & 0xFF);
    uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    return (a << 24) | (r << 16) | (g << 8) | b;
}

bool IsDark(Colour colour) {
    double r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    return 0.299 * r + 0.587 * g + 0.114 * b < 192.0;
}

void FillGradient(Gdiplus::Graphics& g, const Gdiplus::RectF& r, Argb c1, Argb c2, int mode) {
    if (r.Width <= 0 || r.Height <= 0) return;
    Gdiplus::LinearGradientBrush brush(r, Gdiplus::Color(c1), Gdiplus::Color(c2),
                                       mode == kGradientHorizontal ? Gdiplus::LinearGradientModeHorizontal
                                                 : static_cast<Gdiplus::LinearGradientMode>(mode));
    brush.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    g.FillRectangle(&brush, r.X, r.Y, r.Width - 1, r.Height - 1);
}

void DrawBorder(Gdiplus::Graphics& g, const Gdiplus::RectF& r, int64_t style,
                std::optional<Argb> colour, float width) {
    if (style == kBorderNone) return;
    float x1 = r.X, y1 = r.Y, x2 = r.X + r.Width, y2 = r.Y + r.Height;
    auto line = [&](Argb c, float ax, float ay, float bx, float by) {
        Gdiplus::Pen pen(Gdiplus::Color(c), width);
        g.DrawLine(&pen, ax, ay, bx, by);
    };
    if (style == kBorderSunken || style == kBorderRaised) {
        const bool sunken = style == kBorderSunken;
        Argb light = ArgbAt(0xFFFFFF, 245);
        Argb dark = ArgbAt(0, sunken ? 160 : 168);
        Argb topLeft = sunken ? dark : light, bottomRight = sunken ? light : dark;
        line(topLeft, x1, y1, x2, y1);
        line(topLeft, x1, y1, x1, y2);
        line(bottomRight, x1, y2, x2, y2);
        line(bottomRight, x2, y1, x2, y2);
        return;
    }
    Argb c;
    Gdiplus::Pen pen(Gdiplus::Color(0), width);
    if (style == kBorderSolid) {
        c = colour.value_or(ArgbAt(0x646464, 255));
    } else if (style == kBorderFocusCue) {
        c = colour.value_or(ArgbAt(0, 120));
        pen.SetDashStyle(Gdiplus::DashStyleDash);
    } else {
        c = static_cast<Argb>(style);
    }
    pen.SetColor(Gdiplus::Color(c));
    g.DrawRectangle(&pen, r);
}

void RoundRectPath(Gdiplus::GraphicsPath& path, const Gdiplus::RectF& r, float radius) {
    path.Reset();
    float d = radius * 2;
    if (d <= 0 || d > r.Width || d > r.Height) {
        path.AddRectangle(r);
        return;
    }
    path.AddArc(r.X, r.Y, d, d, 180, 90);
    path.AddArc(r.X + r.Width - d, r.Y, d, d, 270, 90);
    path.AddArc(r.X + r.Width - d, r.Y + r.Height - d, d, d, 0, 90);
    path.AddArc(r.X, r.Y + r.Height - d, d, d, 90, 90);
    path.CloseFigure();
}

void FillRoundRect(Gdiplus::Graphics& g, const Gdiplus::RectF& r, float radius, Argb colour) {
    Gdiplus::GraphicsPath path;
    RoundRectPath(path, r, radius);
    Gdiplus::SolidBrush brush{Gdiplus::Color(colour)};
    g.FillPath(&brush, &path);
}

void DrawRoundRect(Gdiplus::Graphics& g, const Gdiplus::RectF& r, float radius, Argb colour,
                   bool dashed) {
    Gdiplus::GraphicsPath path;
    RoundRectPath(path, r, radius);
    Gdiplus::Pen pen{Gdiplus::Color(colour)};
    if (dashed) pen.SetDashStyle(Gdiplus::DashStyleDash);
    g.DrawPath(&pen, &path);
}

void DrawText(Gdiplus::Graphics& g, const Gdiplus::RectF& r, std::wstring_view text,
              const Gdiplus::Font* font, Argb colour, const Gdiplus::StringFormat* format,
              int effect, std::optional<Argb> effectColour) {
    if (text.empty() || !font) return;
    Gdiplus::RectF box(std::round(r.X), std::round(r.Y), std::round(r.Width), std::round(r.Height));
    std::wstring s(text);
    if (effect == 3 || effect == 4) {
        Colour rgb = ((colour >> 16) & 0xFF) | (colour & 0xFF00) | ((colour & 0xFF) << 16);
        Argb glow = effectColour.value_or(IsDark(rgb) ? ArgbAt(0xFFFFFF, 85) : ArgbAt(0, 75));
        Gdiplus::SolidBrush glowBrush{Gdiplus::Color(glow)};
        // The glow is the text drawn around its place; effect 4 spreads it one
        // pixel in every direction, effect 3 only to the right and below.
        const float spread = 1.0f;
        for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
                if (dx == 0 && dy == 0) continue;
                if (effect == 3 && (dx < 0 || dy < 0)) continue;
                Gdiplus::RectF shifted(box.X + dx * spread, box.Y + dy * spread, box.Width, box.Height);
                g.DrawString(s.c_str(), -1, font, shifted, format, &glowBrush);
            }
        }
    }
    Gdiplus::SolidBrush brush{Gdiplus::Color(colour)};
    g.DrawString(s.c_str(), -1, font, box, format, &brush);
}

void DrawImageAlpha(Gdiplus::Graphics& g, Gdiplus::Image* image, const Gdiplus::RectF& dest,
                    int alpha) {
    if (!image || alpha <= 0) return;
    if (alpha >= 255) {
        g.DrawImage(image, dest);
        return;
    }
    Gdiplus::ColorMatrix m = {{{1, 0, 0, 0, 0},
                               {0, 1, 0, 0, 0},
                               {0, 0, 1, 0, 0},
                               {0, 0, 0, alpha / 255.0f, 0},
                               {0, 0, 0, 0, 1}}};
    Gdiplus::ImageAttributes attrs;
    attrs.SetColorMatrix(&m, Gdiplus::ColorMatrixFlagsDefault, Gdiplus::ColorAdjustTypeBitmap);
    g.DrawImage(image, dest, 0, 0, static_cast<Gdiplus::REAL>(image->GetWidth()),
                static_cast<Gdiplus::REAL>(image->GetHeight()), Gdiplus::UnitPixel, &attrs);
}

}  // namespace sorvix::ui
