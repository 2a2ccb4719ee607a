// Draws the program's pictures. One look throughout: soft blue/grey glass,
// rounded corners, white glyphs with a faint shadow on the caption, and states
// that differ clearly (hot lightens and tints blue, pressed darkens and sinks,
// disabled fades, checked fills with the accent blue).
//
// Cell positions come from ui/resources/art.h so pictures and the code that
// cuts them cannot disagree.
#include "tools/artgen/artwork.h"

#include <cmath>
#include <cstdio>
#include <utility>

#include "tools/artgen/canvas.h"
#include "ui/resources/art.h"

namespace sorvix::artgen {

namespace art = sorvix::ui::art;

namespace {

// The palette.
const Colour kAccent = Hex(0x3A7BD5);
const Colour kAccentDark = Hex(0x2A5EA8);
const Colour kWhite = Hex(0xFFFFFF);
const Colour kBlack = Hex(0x000000);

Paint Vertical(double y0, double y1, std::vector<Colour> stops) {
    return paint::Linear({0, y0}, {0, y1}, std::move(stops));
}

// ---- Glyph shapes --------------------------------------------------------------

// A question mark about 10.6 units high around (cx, cy), `s` pixels per unit:
// an open ring from the left over the top down to the bottom, a short stem
// and a dot.
Shape QuestionMark(double cx, double cy, double s) {
    const double ry = cy - 2.2 * s;  // ring centre
    const double r = 2.6 * s, w = 1.6 * s;
    Shape ring = shape::Ring(cx, ry, r, w);
    Shape topHalf = shape::Intersect(ring, shape::HalfPlane({cx, ry}, {cx + 1, ry}));
    Shape lowerRight = shape::Intersect(
        shape::Intersect(ring, shape::HalfPlane({cx, ry}, {cx, ry + 1})),  // right of the centre
        shape::HalfPlane({cx + 1, ry}, {cx, ry}));                           // below the centre
    Shape cap = shape::Circle(cx - r, ry, w / 2);
    Shape stem = shape::Capsule({cx, ry + r}, {cx, ry + r + 1.3 * s}, w);
    Shape dot = shape::Circle(cx, cy + 4.1 * s, 1.05 * s);
    return shape::Union(shape::Union(shape::Union(topHalf, lowerRight), shape::Union(cap, stem)), dot);
}

Shape CheckMark(std::vector<Point> points, double width) { return shape::Polyline(std::move(points), width); }

Shape CaptionGlyphShape(art::CaptionGlyph glyph, double cx, double cy) {
    using G = art::CaptionGlyph;
    switch (glyph) {
        case G::Close:
            return shape::Union(shape::Capsule({cx - 4, cy - 4}, {cx + 4, cy + 4}, 1.6),
                                shape::Capsule({cx + 4, cy - 4}, {cx - 4, cy + 4}, 1.6));
        case G::Maximise:
            return shape::Union(shape::RoundRectOutline(cx - 4.5, cy - 3.5, 9, 7, 1, 1.2),
                                shape::RoundRect(cx - 5, cy - 4, 10, 2.4, 0.8));
        case G::Restore: {
            Shape front = shape::Union(shape::RoundRectOutline(cx - 4.5, cy - 1.5, 7, 6, 1, 1.2),
                                       shape::RoundRect(cx - 5, cy - 2, 8, 2.2, 0.8));
            Shape back = shape::Subtract(shape::RoundRectOutline(cx - 2, cy - 4.5, 7, 6, 1, 1.2),
                                         shape::RoundRect(cx - 5.8, cy - 2.8, 9.6, 8.6, 1));
            return shape::Union(front, back);
        }
        case G::Minimise:
            return shape::Capsule({cx - 4.5, cy + 3}, {cx + 4.5, cy + 3}, 1.7);
        case G::Menu:
            return shape::Union(shape::Union(shape::Capsule({cx - 4.5, cy - 3}, {cx + 4.5, cy - 3}, 1.4),
                                             shape::Capsule({cx - 4.5, cy}, {cx + 4.5, cy}, 1.4)),
                                shape::Capsule({cx - 4.5, cy + 3}, {cx + 4.5, cy + 3}, 1.4));
        case G::Appearance: {
            std::vector<Point> shirt = {{-2.2, -4.6}, {-6.0, -2.6}, {-4.5, 0.3}, {-3.2, -0.4}, {-3.2, 4.8},
                                        {3.2, 4.8},   {3.2, -0.4},  {4.5, 0.3},  {6.0, -2.6},  {2.2, -4.6},
                                        {1.2, -3.4},  {0.0, -3.0},  {-1.2, -3.4}};
            for (Point& p : shirt) p = {cx + p.x, cy + p.y};
            return shape::Polygon(std::move(shirt));
        }
        case G::Pin: {
            Shape head = shape::RoundRect(cx - 3.2, cy - 5, 6.4, 2.2, 0.9);
            Shape body = shape::Polygon({{cx - 2, cy - 3.2}, {cx + 2, cy - 3.2}, {cx + 3.4, cy + 1}, {cx - 3.4, cy + 1}});
            Shape needle = shape::Capsule({cx, cy + 1}, {cx, cy + 5.2}, 1.2);
            return shape::Union(shape::Union(head, body), needle);
        }
        case G::Help:
            return QuestionMark(cx, cy + 0.3, 0.95);
    }
    return shape::Circle(cx, cy, 0);
}

// ---- Skin strip ------------------------------------------------------------------

Canvas CaptionButton(art::CaptionGlyph glyph, art::CaptionState state) {
    const art::Cell cell = art::CaptionButtonCell(glyph, state);
    const int w = cell.width;
    const bool close = glyph == art::CaptionGlyph::Close;
    Canvas c(w, art::kSkinStripHeight);
    const double h = art::kCaptionButtonHeight;
    Shape face = shape::RoundRect(0.5, 0.5, w - 1, h - 1, 3);
    Shape edge = shape::RoundRectOutline(0.5, 0.5, w - 1, h - 1, 3, 1);
    Shape highlight = shape::Capsule({3.5, 1.5}, {w - 3.5, 1.5}, 1);

    double glyphAlpha = 0.88, dy = 0;
    switch (state) {
        case art::CaptionState::Normal:
            break;
        case art::CaptionState::Hot:
            glyphAlpha = 1.0;
            if (close) {
                c.Fill(face, Vertical(0, h, {Hex(0xEC7A72, 0.95), Hex(0xD4473F, 0.95)}));
                c.Fill(edge, Hex(0xA8352F, 0.65));
            } else {
                c.Fill(face, Vertical(0, h, {WithAlpha(kWhite, 0.34), WithAlpha(kWhite, 0.16)}));
                c.Fill(edge, WithAlpha(kWhite, 0.42));
            }
            c.Fill(highlight, WithAlpha(kWhite, 0.35));
            break;
        case art::CaptionState::Pressed:
            dy = 1;
            if (close) {
                c.Fill(face, Vertical(0, h, {Hex(0xA9302A, 0.97), Hex(0xC23E37, 0.97)}));
                c.Fill(edge, Hex(0x7E221E, 0.75));
            } else {
                c.Fill(face, Vertical(0, h, {WithAlpha(kBlack, 0.26), WithAlpha(kBlack, 0.14)}));
                c.Fill(edge, WithAlpha(kWhite, 0.22));
            }
            break;
    }
    const double cx = w / 2.0, cy = h / 2.0 + dy;
    Shape g = CaptionGlyphShape(glyph, cx, cy);
    c.Fill(shape::Offset(g, 0, 1), WithAlpha(kBlack, 0.28), 1.4);  // soft shadow keeps it readable on light pictures
    c.Fill(g, WithAlpha(kWhite, glyphAlpha));
    return c;
}

Canvas ScrollArrowPicture(art::ScrollArrow arrow) {
    Canvas c(art::kScrollArrowWidth, art::kSkinStripHeight);
    std::vector<Point> tri;
    switch (arrow) {
        case art::ScrollArrow::Up: tri = {{0.8, 12.2}, {5.2, 12.2}, {3, 8.6}}; break;
        case art::ScrollArrow::Down: tri = {{0.8, 8.8}, {5.2, 8.8}, {3, 12.4}}; break;
        case art::ScrollArrow::Left: tri = {{4.6, 7.8}, {4.6, 12.2}, {1.0, 10}}; break;
        case art::ScrollArrow::Right: tri = {{1.4, 7.8}, {1.4, 12.2}, {5.0, 10}}; break;
    }
    Shape s = shape::Polygon(std::move(tri));
    c.Fill([s](double x, double y) { return s(x, y) - 0.25; }, Hex(0x4A5563, 0.85));
    return c;
}

Canvas SkinStrip() {
    Canvas strip(art::kSkinStripWidth, art::kSkinStripHeight);
    using G = art::CaptionGlyph;
    using S = art::CaptionState;
    for (G g : {G::Close, G::Maximise, G::Restore, G::Minimise, G::Menu, G::Appearance, G::Pin, G::Help}) {
        for (S s : {S::Normal, S::Hot, S::Pressed}) {
            art::Cell cell = art::CaptionButtonCell(g, s);
            strip.Draw(CaptionButton(g, s), cell.x, cell.y);
        }
    }
    using A = art::ScrollArrow;
    for (A a : {A::Up, A::Down, A::Left, A::Right}) {
        art::Cell cell = art::ScrollArrowCell(a);
        strip.Draw(ScrollArrowPicture(a), cell.x, cell.y);
    }
    return strip;
}

// ---- Option glyphs -----------------------------------------------------------

Canvas OptionGlyph(bool checked, bool hot) {
    const int n = art::kOptionGlyphSize;
    Canvas c(n, n);
    Shape box = shape::RoundRect(2.5, 2.5, 12, 12, 3);
    Shape edge = shape::RoundRectOutline(2.5, 2.5, 12, 12, 3, 1);
    if (hot) c.Fill(shape::RoundRect(1.5, 1.5, 14, 14, 4), Hex(0x5B9BE6, 0.35), 2.0);
    c.Fill(shape::Offset(box, 0, 1), WithAlpha(kBlack, 0.10), 1.5);
    if (checked) {
        c.Fill(box, Vertical(3, 14, hot ? std::vector{Hex(0x7DB5F2), Hex(0x3F82D6)}
                                        : std::vector{Hex(0x62A2EA), Hex(0x2F6CC0)}));
        c.Fill(edge, hot ? Hex(0x2F6AB8) : Hex(0x2A5FA6));
        c.Fill(shape::RoundRectOutline(3.5, 3.5, 10, 10, 2, 1),
               Vertical(3, 14, {WithAlpha(kWhite, 0.35), WithAlpha(kWhite, 0.0)}));
        Shape tick = CheckMark({{5.4, 8.6}, {7.6, 10.8}, {11.7, 6.2}}, 1.9);
        c.Fill(shape::Offset(tick, 0, 0.7), WithAlpha(kBlack, 0.18));
        c.Fill(tick, kWhite);
    } else {
        c.Fill(box, Vertical(3, 14, hot ? std::vector{kWhite, Hex(0xDCEAF9)}
                                        : std::vector{Hex(0xFFFFFF), Hex(0xE4EAF1)}));
        c.Fill(edge, hot ? Hex(0x4F8CD6) : Hex(0x8593A3));
    }
    return c;
}

Canvas OptionGlyphStrip() {
    Canvas strip(4 * art::kOptionGlyphSize, art::kOptionGlyphSize);
    for (bool checked : {false, true}) {
        for (bool hot : {false, true}) {
            art::Cell cell = art::OptionGlyphCell(checked, hot);
            strip.Draw(OptionGlyph(checked, hot), cell.x, cell.y);
        }
    }
    return strip;
}

// ---- Message box -------------------------------------------------------------

// Rows [y0, y1) of the strip in a vertical gradient.
void Band(Canvas& c, int y0, int y1, std::vector<Colour> stops) {
    c.Fill(shape::RoundRect(0, y0, c.Width(), y1 - y0, 0), Vertical(y0, y1, std::move(stops)));
}

Canvas MessageBoxBackground() {
    Canvas c(art::kMessageBoxStripWidth, art::kMessageBoxStripHeight);
    // The caption rows stay mostly clear, so the host's theme colour shows
    // behind the white title and close glyph; the glass starts below them.
    Band(c, 0, 1, {Hex(0xFFFFFF, 0.30)});
    Band(c, 1, art::kMessageBoxCaptionRows - 1, {Hex(0xFFFFFF, 0.14), Hex(0xFFFFFF, 0.06)});
    Band(c, art::kMessageBoxCaptionRows - 1, art::kMessageBoxCaptionRows, {Hex(0xFFFFFF, 0.45)});
    Band(c, art::kMessageBoxCaptionRows, 96, {Hex(0xFDFEFF, 0.86), Hex(0xF3F6FA, 0.70)});
    Band(c, 96, 129, {Hex(0xF3F6FA, 0.70)});
    Band(c, 129, 130, {Hex(0xC3CCD6, 0.80)});
    Band(c, 130, 131, {Hex(0xFFFFFF, 0.75)});
    Band(c, 131, 160, {Hex(0xEBEFF4, 0.78), Hex(0xE0E6EE, 0.84)});
    return c;
}

struct IconStyle {
    Colour light, dark, border;
};

// A round glass badge with a drop shadow and a gloss on its upper half.
void Badge(Canvas& c, const IconStyle& st) {
    c.Fill(shape::Circle(20, 21.4, 16.4), WithAlpha(kBlack, 0.30), 3.0);
    c.Fill(shape::Circle(20, 20, 16.5), paint::Radial({15.5, 12.5}, 27, {st.light, st.dark}));
    c.Fill(shape::Ring(20, 20, 16, 1), WithAlpha(st.border, 0.55));
    c.FillClipped(shape::Ellipse(20, 12, 12.5, 7.8), shape::Circle(20, 20, 15.2),
                  Vertical(4, 20, {WithAlpha(kWhite, 0.50), WithAlpha(kWhite, 0.04)}));
}

void Symbol(Canvas& c, const Shape& s, const Colour& colour) {
    c.Fill(shape::Offset(s, 0, 0.9), WithAlpha(kBlack, 0.22), 1.3);
    c.Fill(s, colour);
}

Canvas MessageBoxIcon(int icon) {
    Canvas c(art::kMessageBoxIconSize, art::kMessageBoxIconSize);
    switch (icon) {
        case 16:  // error
            Badge(c, {Hex(0xF08078), Hex(0xB8322C), Hex(0x8E2420)});
            Symbol(c,
                   shape::Union(shape::Capsule({14, 14}, {26, 26}, 3.6), shape::Capsule({26, 14}, {14, 26}, 3.6)),
                   kWhite);
            break;
        case 48: {  // warning: a rounded triangle, not a badge
            Shape tri = shape::Polygon({{20, 8.5}, {33, 31}, {7, 31}});
            Shape rounded = [tri](double x, double y) { return tri(x, y) - 2.6; };
            c.Fill(shape::Offset(rounded, 0, 1.4), WithAlpha(kBlack, 0.30), 3.0);
            c.Fill(rounded, Vertical(6, 34, {Hex(0xFFDB72), Hex(0xE9A21F)}));
            c.Fill([rounded](double x, double y) { return std::fabs(rounded(x, y) + 0.5) - 0.5; },
                   Hex(0xB97B12, 0.6));
            c.FillClipped(shape::Ellipse(20, 12, 8, 8), rounded,
                          Vertical(5, 20, {WithAlpha(kWhite, 0.45), WithAlpha(kWhite, 0.0)}));
            Shape bang = shape::Union(shape::Capsule({20, 15.2}, {20, 22.8}, 3.4), shape::Circle(20, 27.6, 1.9));
            c.Fill(bang, Hex(0x5A4208));
            break;
        }
        case 32:  // question
            Badge(c, {Hex(0x7DB8F4), Hex(0x2A64B8), Hex(0x1F4C8E)});
            Symbol(c, QuestionMark(20, 20.6, 2.15), kWhite);
            break;
        case 64:  // information
            Badge(c, {Hex(0x72CBEA), Hex(0x2483AE), Hex(0x1B6487)});
            Symbol(c, shape::Union(shape::Circle(20, 12.6, 2.3), shape::RoundRect(18.2, 16.8, 3.6, 12.2, 1.8)),
                   kWhite);
            break;
        case 128:  // success
            Badge(c, {Hex(0x86D493), Hex(0x348C4A), Hex(0x266B37)});
            Symbol(c, CheckMark({{13, 20.5}, {18, 25.5}, {27.5, 15}}, 3.6), kWhite);
            break;
        default:
            break;
    }
    return c;
}

Canvas MessageBoxIcons() {
    Canvas sheet(5 * art::kMessageBoxIconSize, art::kMessageBoxIconSize);
    for (int icon : {16, 48, 32, 64, 128}) {
        art::Cell cell = art::MessageBoxIconCell(icon);
        sheet.Draw(MessageBoxIcon(icon), cell.x, cell.y);
    }
    return sheet;
}

Canvas ImageButton(art::ImageButtonState state) {
    const int w = art::kImageButtonWidth, h = art::kImageButtonHeight;
    Canvas c(w, h);
    Shape face = shape::RoundRect(0.5, 0.5, w - 1, h - 1, 4);
    Shape edge = shape::RoundRectOutline(0.5, 0.5, w - 1, h - 1, 4, 1);
    Shape inner = shape::RoundRectOutline(1.5, 1.5, w - 3, h - 3, 3, 1);
    using S = art::ImageButtonState;
    switch (state) {
        case S::Normal:
            c.Fill(face, Vertical(0, h, {Hex(0xFFFFFF, 0.96), Hex(0xEEF2F7, 0.96), Hex(0xDFE6EF, 0.96)}));
            c.Fill(inner, Vertical(0, h, {WithAlpha(kWhite, 0.85), WithAlpha(kWhite, 0.25)}));
            c.Fill(edge, Hex(0x8795A5));
            break;
        case S::Hot:
            c.Fill(face, Vertical(0, h, {Hex(0xFFFFFF), Hex(0xE8F1FC), Hex(0xD2E3F7)}));
            c.Fill(inner, Vertical(0, h, {WithAlpha(kWhite, 0.95), WithAlpha(kWhite, 0.35)}));
            c.Fill(edge, Hex(0x4F8CD6));
            break;
        case S::Pressed:
            c.Fill(face, Vertical(0, h, {Hex(0xC9D9EC), Hex(0xD9E4F1), Hex(0xE6EDF6)}));
            c.Fill(inner, Vertical(0, h, {WithAlpha(kAccentDark, 0.30), WithAlpha(kAccentDark, 0.0)}));
            c.Fill(edge, Hex(0x3F77BD));
            break;
        case S::Disabled:
            c.Fill(face, Hex(0xF4F6F8, 0.70));
            c.Fill(edge, Hex(0xB9C2CC, 0.80));
            break;
        case S::FocusGlow:
            for (int k = 0; k < 4; ++k) {
                c.Fill(shape::RoundRectOutline(0.5 + k, 0.5 + k, w - 1 - 2 * k, h - 1 - 2 * k, 4 - k * 0.5, 1),
                       WithAlpha(kAccent, 0.85 * (1.0 - k / 4.0) * (1.0 - k / 4.0)));
            }
            break;
    }
    return c;
}

Canvas ImageButtonSkin() {
    Canvas skin(art::kImageButtonWidth, 5 * art::kImageButtonHeight);
    using S = art::ImageButtonState;
    for (S s : {S::Normal, S::Hot, S::Pressed, S::Disabled, S::FocusGlow}) {
        art::Cell cell = art::ImageButtonCell(s);
        skin.Draw(ImageButton(s), cell.x, cell.y);
    }
    return skin;
}

Canvas MenuCheck() {
    Canvas c(art::kMenuCheckSize, art::kMenuCheckSize);
    Shape tick = CheckMark({{3.6, 8.4}, {6.6, 11.4}, {12.4, 4.8}}, 2.1);
    c.Fill(shape::Offset(tick, 0, 0.8), WithAlpha(kWhite, 0.45), 1.2);
    c.Fill(tick, Vertical(4, 12, {Hex(0x3A7BD5), Hex(0x23539A)}));
    return c;
}

// The program's mark: a glass lens in a blue ring with a slate handle, drawn
// on a 16-unit grid and scaled.
Canvas Magnifier(int size) {
    Canvas c(size, size);
    const double s = size / 16.0;
    auto P = [s](double x, double y) { return Point{x * s, y * s}; };
    const double cx = 6.6 * s, cy = 6.6 * s;
    // Handle first, so the ring overlaps its end.
    Shape handle = shape::Capsule(P(10.4, 10.4), P(14.2, 14.2), 2.9 * s);
    c.Fill(shape::Offset(handle, 0, 0.5 * s), WithAlpha(kBlack, 0.25), 1.0 + 0.5 * s);
    c.Fill(handle, paint::Linear(P(12.5, 11), P(11, 12.5), {Hex(0x7A8899), Hex(0x334052)}));
    c.Fill(shape::Capsule(P(9.6, 9.6), P(10.8, 10.8), 3.3 * s), Hex(0x9AA7B6));
    c.Fill(shape::Circle(cx, cy, 4.1 * s), paint::Radial(P(5.2, 5.0), 6.0 * s, {Hex(0xF2F8FF, 0.96), Hex(0xA6CCF4, 0.90)}));
    c.Fill(shape::Ring(cx, cy, 4.7 * s, 1.9 * s), paint::Linear(P(2, 2), P(11, 11), {Hex(0x7CB3F0), kAccentDark}));
    Shape gloss = shape::Intersect(shape::Ring(cx, cy, 2.7 * s, 0.9 * s), shape::HalfPlane(P(0, 11.2), P(11.2, 0)));
    c.Fill(gloss, WithAlpha(kWhite, 0.85));
    // A dark hairline outside the ring keeps it apart from a blue caption.
    c.Fill(shape::Ring(cx, cy, 5.65 * s, 0.45 + 0.2 * s), Hex(0x1B447C, 0.75));
    return c;
}

// Three dots; the frame's own dot is large and dark, the others pale.
std::vector<GifFrame> LoadingFrames(std::vector<std::uint8_t>& palette, std::vector<std::uint8_t>& firstRgba) {
    const int w = art::kLoadingGifWidth, h = art::kLoadingGifHeight;
    const Colour back = Hex(0xF3F6FA), front = kAccent;
    constexpr int kLevels = 64;
    palette.clear();
    for (int i = 0; i < kLevels; ++i) {
        Colour c = Mix(back, front, i / double(kLevels - 1));
        for (double v : {c.r, c.g, c.b}) palette.push_back(static_cast<std::uint8_t>(v * 255.0 + 0.5));
    }
    const int delays[art::kLoadingGifFrames] = {5, 0, 20};
    std::vector<GifFrame> frames;
    for (int f = 0; f < art::kLoadingGifFrames; ++f) {
        GifFrame frame;
        frame.delayCentiseconds = delays[f];
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                double level = 0;
                for (int d = 0; d < 3; ++d) {
                    const bool active = d == f;
                    double dist = shape::Circle(10 + 14 * d, 8, active ? 4.8 : 3.4)(x + 0.5, y + 0.5);
                    double cov = 0.5 - dist;
                    cov = cov < 0 ? 0 : cov > 1 ? 1 : cov;
                    double v = cov * (active ? 1.0 : 0.32);
                    if (v > level) level = v;
                }
                frame.indices.push_back(static_cast<std::uint8_t>(level * (kLevels - 1) + 0.5));
            }
        }
        frames.push_back(std::move(frame));
    }
    firstRgba.clear();
    for (std::uint8_t i : frames[0].indices) {
        firstRgba.insert(firstRgba.end(), {palette[i * 3], palette[i * 3 + 1], palette[i * 3 + 2], 255});
    }
    return frames;
}

Picture PngPicture(std::string symbol, std::string fileName, const Canvas& c, bool withoutSignature = false) {
    Picture p;
    p.symbol = std::move(symbol);
    p.fileName = std::move(fileName);
    p.format = "png";
    p.withoutSignature = withoutSignature;
    p.width = c.Width();
    p.height = c.Height();
    p.rgba = c.Rgba();
    p.bytes = EncodePng(p.width, p.height, p.rgba);
    if (withoutSignature) p.bytes.erase(p.bytes.begin(), p.bytes.begin() + 8);
    return p;
}

}  // namespace

std::vector<Picture> Generate() {
    std::vector<Picture> out;
    out.push_back(PngPicture("kSkinStrip", "skin_strip.png", SkinStrip(), true));
    out.push_back(PngPicture("kOptionGlyphStrip", "option_glyphs.png", OptionGlyphStrip(), true));
    out.push_back(PngPicture("kMessageBoxBackground", "msgbox_background.png", MessageBoxBackground()));
    out.push_back(PngPicture("kMessageBoxIcons", "msgbox_icons.png", MessageBoxIcons()));
    out.push_back(PngPicture("kImageButtonSkin", "image_button.png", ImageButtonSkin()));
    out.push_back(PngPicture("kMenuCheck", "menu_check.png", MenuCheck()));
    out.push_back(PngPicture("kAppIcon16", "app_icon16.png", Magnifier(16)));
    out.push_back(PngPicture("kAppIcon32", "app_icon32.png", Magnifier(32)));

    Picture ico;
    ico.symbol = "kAppIconFile";
    ico.fileName = "sorvix.ico";
    ico.format = "ico";
    std::vector<IconImage> images;
    for (int n : {16, 32, 48}) images.push_back({n, Magnifier(n).Rgba()});
    ico.width = ico.height = 48;
    ico.rgba = images.back().rgba;
    ico.bytes = EncodeIco(images);
    out.push_back(std::move(ico));

    Picture gif;
    gif.symbol = "kLoadingGif";
    gif.fileName = "loading.gif";
    gif.format = "gif";
    gif.width = art::kLoadingGifWidth;
    gif.height = art::kLoadingGifHeight;
    std::vector<std::uint8_t> palette;
    std::vector<GifFrame> frames = LoadingFrames(palette, gif.rgba);
    gif.bytes = EncodeGif(gif.width, gif.height, palette, frames);
    out.push_back(std::move(gif));
    return out;
}

std::string RenderDataFile(const std::vector<Picture>& pictures) {
    std::string s =
        "// Generated by tools/artgen from its own drawing code; do not edit.\n"
        "// Regenerate with the artgen_update target; tests/art checks it is current.\n";
    char buf[160];
    for (const Picture& p : pictures) {
        std::snprintf(buf, sizeof buf, "\n// %s: %s %d x %d, %zu bytes%s\n", p.fileName.c_str(), p.format.c_str(),
                      p.width, p.height, p.bytes.size(),
                      p.withoutSignature ? ", PNG signature left off (data starts at IHDR)" : "");
        s += buf;
        s += "inline constexpr unsigned char " + p.symbol + "[] = {";
        for (std::size_t i = 0; i < p.bytes.size(); ++i) {
            s += i % 16 == 0 ? "\n    " : " ";
            std::snprintf(buf, sizeof buf, "0x%02X,", p.bytes[i]);
            s += buf;
        }
        s += "\n};\n";
    }
    return s;
}

Bytes CompleteFile(const Picture& picture) {
    if (!picture.withoutSignature) return picture.bytes;
    Bytes b = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    b.insert(b.end(), picture.bytes.begin(), picture.bytes.end());
    return b;
}

}  // namespace sorvix::artgen
