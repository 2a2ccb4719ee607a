// Signed-distance shapes, paints and the premultiplied canvas of the artwork
// generator. See canvas.h for the determinism rule (only + - * / sqrt).
#include "tools/artgen/canvas.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace sorvix::artgen {

namespace {

double Clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
double Length(double x, double y) { return std::sqrt(x * x + y * y); }

// Colour at position t (0..1) along evenly spaced stops.
Colour AlongStops(const std::vector<Colour>& stops, double t) {
    if (stops.empty()) return {};
    if (stops.size() == 1) return stops[0];
    t = Clamp01(t) * static_cast<double>(stops.size() - 1);
    std::size_t i = static_cast<std::size_t>(t);
    if (i >= stops.size() - 1) return stops.back();
    return Mix(stops[i], stops[i + 1], t - static_cast<double>(i));
}

}  // namespace

Colour Hex(std::uint32_t rgb, double alpha) {
    return {((rgb >> 16) & 0xFF) / 255.0, ((rgb >> 8) & 0xFF) / 255.0, (rgb & 0xFF) / 255.0, alpha};
}

// Mixes in premultiplied space so that a fade to a transparent stop does not
// drag the colour towards the transparent stop's (meaningless) RGB.
Colour Mix(const Colour& a, const Colour& b, double t) {
    double alpha = a.a + (b.a - a.a) * t;
    if (alpha <= 0) return {0, 0, 0, 0};
    auto ch = [&](double ca, double cb) { return (ca * a.a + (cb * b.a - ca * a.a) * t) / alpha; };
    return {ch(a.r, b.r), ch(a.g, b.g), ch(a.b, b.b), alpha};
}

Colour WithAlpha(Colour c, double alpha) {
    c.a = alpha;
    return c;
}

namespace shape {

Shape Circle(double cx, double cy, double r) {
    return [=](double x, double y) { return Length(x - cx, y - cy) - r; };
}

Shape Ellipse(double cx, double cy, double rx, double ry) {
    return [=](double x, double y) {
        double k = Length((x - cx) / rx, (y - cy) / ry);
        return (k - 1.0) * std::min(rx, ry);
    };
}

Shape Ring(double cx, double cy, double r, double width) {
    return [=](double x, double y) { return std::fabs(Length(x - cx, y - cy) - r) - width / 2; };
}

Shape RoundRect(double x0, double y0, double w, double h, double radius) {
    double hx = w / 2, hy = h / 2, cx = x0 + hx, cy = y0 + hy;
    radius = std::min(radius, std::min(hx, hy));
    return [=](double x, double y) {
        double qx = std::fabs(x - cx) - hx + radius;
        double qy = std::fabs(y - cy) - hy + radius;
        double outside = Length(std::max(qx, 0.0), std::max(qy, 0.0));
        double inside = std::min(std::max(qx, qy), 0.0);
        return outside + inside - radius;
    };
}

Shape RoundRectOutline(double x0, double y0, double w, double h, double radius, double width) {
    Shape box = RoundRect(x0, y0, w, h, radius);
    return [=](double x, double y) { return std::fabs(box(x, y)) - width / 2; };
}

Shape Capsule(Point a, Point b, double width) {
    return [=](double x, double y) {
        double ex = b.x - a.x, ey = b.y - a.y;
        double wx = x - a.x, wy = y - a.y;
        double len2 = ex * ex + ey * ey;
        double t = len2 > 0 ? Clamp01((wx * ex + wy * ey) / len2) : 0.0;
        return Length(wx - ex * t, wy - ey * t) - width / 2;
    };
}

Shape Polyline(std::vector<Point> points, double width) {
    std::vector<Shape> parts;
    for (std::size_t i = 1; i < points.size(); ++i) parts.push_back(Capsule(points[i - 1], points[i], width));
    return [parts = std::move(parts)](double x, double y) {
        double d = 1e9;
        for (const Shape& s : parts) d = std::min(d, s(x, y));
        return d;
    };
}

Shape Polygon(std::vector<Point> v) {
    return [v = std::move(v)](double x, double y) {
        std::size_t n = v.size();
        double d = (x - v[0].x) * (x - v[0].x) + (y - v[0].y) * (y - v[0].y);
        double sign = 1;
        for (std::size_t i = 0, j = n - 1; i < n; j = i, ++i) {
            double ex = v[j].x - v[i].x, ey = v[j].y - v[i].y;
            double wx = x - v[i].x, wy = y - v[i].y;
            double len2 = ex * ex + ey * ey;
            double t = len2 > 0 ? Clamp01((wx * ex + wy * ey) / len2) : 0.0;
            double bx = wx - ex * t, by = wy - ey * t;
            d = std::min(d, bx * bx + by * by);
            bool c1 = y >= v[i].y, c2 = y < v[j].y, c3 = ex * wy > ey * wx;
            if ((c1 && c2 && c3) || (!c1 && !c2 && !c3)) sign = -sign;
        }
        return sign * std::sqrt(d);
    };
}

Shape HalfPlane(Point a, Point b) {
    double len = Length(b.x - a.x, b.y - a.y);
    double dx = (b.x - a.x) / len, dy = (b.y - a.y) / len;
    return [=](double x, double y) { return dx * (y - a.y) - dy * (x - a.x); };
}

Shape Union(Shape a, Shape b) {
    return [=](double x, double y) { return std::min(a(x, y), b(x, y)); };
}

Shape Intersect(Shape a, Shape b) {
    return [=](double x, double y) { return std::max(a(x, y), b(x, y)); };
}

Shape Subtract(Shape a, Shape b) {
    return [=](double x, double y) { return std::max(a(x, y), -b(x, y)); };
}

Shape Offset(Shape s, double dx, double dy) {
    return [=](double x, double y) { return s(x - dx, y - dy); };
}

Shape Scale(Shape s, double f) {
    return [=](double x, double y) { return s(x / f, y / f) * f; };
}

}  // namespace shape

namespace paint {

Paint Solid(Colour c) {
    return [=](double, double) { return c; };
}

Paint Linear(Point p0, Point p1, std::vector<Colour> stops) {
    double ex = p1.x - p0.x, ey = p1.y - p0.y;
    double len2 = ex * ex + ey * ey;
    return [=, stops = std::move(stops)](double x, double y) {
        double t = len2 > 0 ? ((x - p0.x) * ex + (y - p0.y) * ey) / len2 : 0.0;
        return AlongStops(stops, t);
    };
}

Paint Radial(Point c, double r, std::vector<Colour> stops) {
    return [=, stops = std::move(stops)](double x, double y) {
        return AlongStops(stops, Length(x - c.x, y - c.y) / r);
    };
}

}  // namespace paint

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), px_(static_cast<std::size_t>(width) * height * 4, 0.0) {}

void Canvas::Blend(int x, int y, const Colour& c, double coverage) {
    double a = Clamp01(c.a) * coverage;
    if (a <= 0) return;
    double* p = &px_[(static_cast<std::size_t>(y) * width_ + x) * 4];
    double keep = 1 - a;
    p[0] = c.r * a + p[0] * keep;
    p[1] = c.g * a + p[1] * keep;
    p[2] = c.b * a + p[2] * keep;
    p[3] = a + p[3] * keep;
}

void Canvas::Fill(const Shape& s, const Paint& p, double softness) {
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            double sx = x + 0.5, sy = y + 0.5;
            double cov = Clamp01(0.5 - s(sx, sy) / softness);
            if (cov > 0) Blend(x, y, p(sx, sy), cov);
        }
    }
}

void Canvas::Fill(const Shape& s, const Colour& c, double softness) { Fill(s, paint::Solid(c), softness); }

void Canvas::FillClipped(const Shape& s, const Shape& clip, const Paint& p, double softness) {
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            double sx = x + 0.5, sy = y + 0.5;
            double cov = Clamp01(0.5 - s(sx, sy) / softness) * Clamp01(0.5 - clip(sx, sy));
            if (cov > 0) Blend(x, y, p(sx, sy), cov);
        }
    }
}

void Canvas::Draw(const Canvas& src, int dx, int dy, double opacity) {
    for (int y = 0; y < src.height_; ++y) {
        for (int x = 0; x < src.width_; ++x) {
            int tx = x + dx, ty = y + dy;
            if (tx < 0 || ty < 0 || tx >= width_ || ty >= height_) continue;
            const double* s = &src.px_[(static_cast<std::size_t>(y) * src.width_ + x) * 4];
            double* d = &px_[(static_cast<std::size_t>(ty) * width_ + tx) * 4];
            double keep = 1 - s[3] * opacity;
            for (int k = 0; k < 4; ++k) d[k] = s[k] * opacity + d[k] * keep;
        }
    }
}

std::vector<std::uint8_t> Canvas::Rgba() const {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(width_) * height_ * 4, 0);
    auto byte = [](double v) { return static_cast<std::uint8_t>(std::floor(Clamp01(v) * 255.0 + 0.5)); };
    for (std::size_t i = 0; i < out.size(); i += 4) {
        double a = px_[i + 3];
        std::uint8_t ab = byte(a);
        if (ab == 0) continue;  // fully transparent pixels stay 0,0,0,0
        out[i] = byte(px_[i] / a);
        out[i + 1] = byte(px_[i + 1] / a);
        out[i + 2] = byte(px_[i + 2] / a);
        out[i + 3] = ab;
    }
    return out;
}

}  // namespace sorvix::artgen
