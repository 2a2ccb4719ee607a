// Shared fixture of the Kelvane tests: starts the library once, makes a host
// window (not layered unless asked) and pumps its messages, so that tests
// drive hosts with real window messages and look at the composed buffer.
// Also the picture helpers the suites share: encoding a bitmap to file bytes.
#pragma once

#include "ui/host.h"
#include "ui/picture.h"
#include "ui/text_elements.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace sorvix::ui::test {

// Runs every message waiting for this thread.
inline void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// Pumps messages for at least ms milliseconds.
inline void PumpFor(DWORD ms) {
    DWORD end = GetTickCount() + ms;
    do {
        Pump();
        Sleep(5);
    } while (static_cast<LONG>(end - GetTickCount()) > 0);
    Pump();
}

inline LPARAM Point(int x, int y) { return MAKELPARAM(x, y); }

// The bytes of `image` saved by the platform encoder for `mime` ("image/png",
// "image/jpeg", "image/bmp"): what a picture file or a download holds.
inline std::string EncodeImage(Gdiplus::Image& image, const wchar_t* mime) {
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<unsigned char> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, codecs);
    CLSID clsid{};
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, mime) == 0) clsid = codecs[i].Clsid;
    }
    IStream* stream = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    image.Save(stream, &clsid, nullptr);
    STATSTG st{};
    stream->Stat(&st, STATFLAG_NONAME);
    std::string bytes(static_cast<size_t>(st.cbSize.QuadPart), '\0');
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    stream->Release();
    return bytes;
}

// The file bytes (BMP) of a w x h picture of one colour.
inline std::string SolidPicture(int w, int h, Gdiplus::Color colour) {
    Gdiplus::Bitmap picture(w, h, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics g(&picture);
        g.Clear(colour);
    }
    return EncodeImage(picture, L"image/bmp");
}

// One recorded host event.
struct Event {
    HostEvent kind;
    ElementHandle element;
    WPARAM wParam;
    LPARAM lParam;
    int elementKind;
};

class HostFixture : public ::testing::Test {
protected:
    void SetUp() override { UiStart(); }
    void TearDown() override {
        host.reset();
        if (window && IsWindow(window)) DestroyWindow(window);
        Pump();
    }

    // A 400 x 300 host on black, so that painted colours show unmixed.
    void MakeBlackHost() {
        AttachOptions options;
        options.colour = 0x000000;
        MakeHost(options);
    }

    // Makes a 400 x 300 host; styleFlags 0 gives a plain host without caption.
    void MakeHost(AttachOptions options = {}, int width = 400, int height = 300,
                  DWORD style = WS_POPUP | WS_SYSMENU | WS_MAXIMIZEBOX | WS_MINIMIZEBOX,
                  bool show = false) {
        window = CreateHostWindow(nullptr, "Kv test", 50, 50, width, height, L"Kelvane", style);
        ASSERT_NE(window, nullptr);
        if (!options.colour) options.colour = 0x606060;
        if (!options.styleFlags) options.styleFlags = 0;
        options.dragAnywhere = false;
        host = std::make_unique<UiHost>();
        ASSERT_TRUE(host->Attach(window, options));
        // Hidden unless asked: without a window manager, Wine waits up to two
        // seconds for an X window to unmap when a shown window is destroyed.
        if (show) ShowWindow(window, SW_SHOWNOACTIVATE);
        Pump();
        RecordEvents();
    }

    void RecordEvents() {
        auto rec = [this](HostEvent k) {
            return [this, k](HWND, ElementHandle e, WPARAM wp, LPARAM lp, int kind) {
                events.push_back({k, e, wp, lp, kind});
            };
        };
        host->SetPressHandler(rec(HostEvent::Press));
        host->SetReleaseHandler(rec(HostEvent::Release));
        host->SetClickHandler(rec(HostEvent::Click));
        host->SetDoubleClickHandler(rec(HostEvent::DoubleClick));
        host->SetRightPressHandler(rec(HostEvent::RightPress));
        host->SetRightReleaseHandler(rec(HostEvent::RightRelease));
        host->SetMouseEnterHandler(rec(HostEvent::MouseEnter));
        host->SetMouseLeaveHandler(rec(HostEvent::MouseLeave));
        host->SetFocusGainedHandler(rec(HostEvent::FocusGained));
        host->SetFocusLostHandler(rec(HostEvent::FocusLost));
    }

    int Count(HostEvent k, ElementHandle e = 0) const {
        int n = 0;
        for (auto& ev : events) {
            if (ev.kind == k && (e == 0 || ev.element == e)) ++n;
        }
        return n;
    }

    void Send(UINT message, WPARAM wParam, int x, int y) {
        SendMessageW(window, message, wParam, Point(x, y));
    }
    void Click(int x, int y) {
        Send(WM_MOUSEMOVE, 0, x, y);
        Send(WM_LBUTTONDOWN, MK_LBUTTON, x, y);
        Send(WM_LBUTTONUP, 0, x, y);
    }

    // Channels of a premultiplied composed pixel.
    static int A(uint32_t p) { return static_cast<int>(p >> 24); }
    static int R(uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }
    static int G(uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }
    static int B(uint32_t p) { return static_cast<int>(p & 0xFF); }

    HWND window = nullptr;
    std::unique_ptr<UiHost> host;
    std::vector<Event> events;
};

// An element kind for tests: a solid colour block that records the messages
// it gets and can answer chosen messages.
class Block : public UiElement {
public:
    ElementHandle Create(UiParent parent, const UiRect& rect, Argb colour, bool focusable = true) {
        colour_ = colour;
        CreateOptions o;
        o.focusable = focusable;
        return UiElement::Create(parent, rect, 5, o);
    }
    std::vector<std::pair<UINT, LPARAM>> got;
    std::map<UINT, LRESULT> answers;
    int Got(UINT m) const {
        int n = 0;
        for (auto& g : got) n += g.first == m;
        return n;
    }
    void SetColour(Argb c) {
        colour_ = c;
        Redraw();
    }

protected:
    LRESULT HandleMessage(UINT m, WPARAM, LPARAM lp) override {
        got.emplace_back(m, lp);
        if (m == WM_PAINT) Paint();
        auto it = answers.find(m);
        return it == answers.end() ? kNotHandled : it->second;
    }

private:
    void Paint() {
        PaintContext ctx;
        if (!BeginPaint(ctx)) return;
        Gdiplus::SolidBrush b{Gdiplus::Color(colour_)};
        ctx.graphics->FillRectangle(&b, 0.0f, 0.0f, ctx.rect.w, ctx.rect.h);
        EndPaint(ctx);
    }
    Argb colour_ = 0;
};

}  // namespace sorvix::ui::test
