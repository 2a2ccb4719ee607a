// Helpers the demo's scenes share (see demo.h).
#include "tools/uidemo/demo.h"

#include <algorithm>
#include <cstdio>
#include <string>

namespace uidemo {

using namespace sorvix::ui;

std::vector<SceneEntry>& Scenes() {
    static std::vector<SceneEntry> scenes;
    return scenes;
}

Text U8(const char* utf8) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring w(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8, -1, w.data(), n);
    return WideToGbk(w);
}

void PumpFor(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    MSG msg;
    do {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
}


namespace {

// Writes rows of 0x00RRGGBB pixels (top-down) as a bottom-up 24-bit BMP.
bool WriteBmp(const char* path, int width, int height, const std::vector<uint32_t>& rgb) {
    int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> pixels(static_cast<size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y) {
        unsigned char* row = &pixels[static_cast<size_t>(height - 1 - y) * stride];
        for (int x = 0; x < width; ++x) {
            uint32_t p = rgb[static_cast<size_t>(y) * width + x];
            row[x * 3 + 0] = static_cast<unsigned char>(p & 0xFF);
            row[x * 3 + 1] = static_cast<unsigned char>((p >> 8) & 0xFF);
            row[x * 3 + 2] = static_cast<unsigned char>((p >> 16) & 0xFF);
        }
    }
    BITMAPFILEHEADER fh{};
    BITMAPINFOHEADER ih{};
    ih.biSize = sizeof(ih);
    ih.biWidth = width;
    ih.biHeight = height;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biCompression = BI_RGB;
    ih.biSizeImage = static_cast<DWORD>(pixels.size());
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(&fh, sizeof(fh), 1, f) == 1 && std::fwrite(&ih, sizeof(ih), 1, f) == 1 &&
              std::fwrite(pixels.data(), pixels.size(), 1, f) == 1;
    return std::fclose(f) == 0 && ok;
}

}  // namespace

bool WriteHostShot(const UiHost& host, const char* path) {
    SIZE size = host.Size();
    const uint32_t* bits = host.Bits();
    if (!bits || size.cx <= 0 || size.cy <= 0) return false;
    std::vector<uint32_t> rgb(static_cast<size_t>(size.cx) * size.cy);
    const unsigned desk = 0x80;   // premultiplied pixels over a grey desk
    for (size_t i = 0; i < rgb.size(); ++i) {
        uint32_t p = bits[i];
        unsigned a = p >> 24;
        uint32_t out = 0;
        for (int c = 0; c < 3; ++c) {
            unsigned v = (p >> (8 * c)) & 0xFF;
            out |= std::min(255u, v + desk * (255 - a) / 255) << (8 * c);
        }
        rgb[i] = out;
    }
    return WriteBmp(path, size.cx, size.cy, rgb);
}

bool WriteScreenShot(const RECT& area, const char* path) {
    int w = area.right - area.left, h = area.bottom - area.top;
    if (w <= 0 || h <= 0) return false;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(memory, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (dib) {
        HGDIOBJ old = SelectObject(memory, dib);
        ok = BitBlt(memory, 0, 0, w, h, screen, area.left, area.top, SRCCOPY | CAPTUREBLT) != 0;
        SelectObject(memory, old);
        if (ok) {
            std::vector<uint32_t> rgb(static_cast<size_t>(w) * h);
            const auto* px = static_cast<const uint32_t*>(bits);
            for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = px[i] & 0xFFFFFF;
            ok = WriteBmp(path, w, h, rgb);
        }
        DeleteObject(dib);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

int CountPixels(const UiHost& host, int x0, int y0, int x1, int y1, bool (*test)(uint32_t)) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) n += test(host.PixelAt(x, y));
    return n;
}

}  // namespace uidemo
