// UiHost::LookOf: a host's appearance read on the host's own thread, for a
// host on another thread that shares it (a message box opened by a search
// thread over the main window).
//
// GDI+ objects are not safe to use from two threads: the owner's background
// picture is drawn into plain memory on the owner's thread, and the reader
// makes its own bitmap from those pixels. Covered by tests/ui/msgbox.
#include "ui/host.h"

#include <cstring>
#include <functional>
#include <memory>

namespace sorvix::ui {

namespace {

// How long a reader waits for the owner's thread to answer before it takes
// the default look instead; the owner's thread normally answers within one
// message.
constexpr UINT kLookTimeoutMs = 3000;

}  // namespace

Gdiplus::Image* HostLook::MakePicture() const {
    if (pictureWidth <= 0 || pictureHeight <= 0 ||
        picturePixels.size() != static_cast<size_t>(pictureWidth) * pictureHeight) {
        return nullptr;
    }
    auto* bitmap = new Gdiplus::Bitmap(pictureWidth, pictureHeight, PixelFormat32bppARGB);
    Gdiplus::Rect all(0, 0, pictureWidth, pictureHeight);
    Gdiplus::BitmapData data{};
    if (bitmap->GetLastStatus() != Gdiplus::Ok ||
        bitmap->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) != Gdiplus::Ok) {
        delete bitmap;
        return nullptr;
    }
    for (int y = 0; y < pictureHeight; ++y) {
        std::memcpy(static_cast<BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                    &picturePixels[static_cast<size_t>(y) * pictureWidth], static_cast<size_t>(pictureWidth) * 4);
    }
    bitmap->UnlockBits(&data);
    return bitmap;
}

std::optional<HostLook> UiHost::LookOf(HWND window, bool withPicture) {
    if (!window || !IsWindow(window) || !FromWindow(window)) return {};
    // Runs on the window's thread.
    auto read = [window, withPicture]() -> std::optional<HostLook> {
        UiHost* host = FromWindow(window);
        if (!host) return {};
        HostLook look;
        look.colour = host->backgroundColour_;
        look.alpha = host->alpha_;
        look.frameMargin = host->frameMargin_;
        look.blurBehind = host->blurBehind_;
        look.pictureLayout = host->pictureLayout_;
        look.tint = host->tint_;
        look.marginColour = host->marginColour_;
        look.roundCorners = host->roundCorners_;
        Gdiplus::Image* picture = host->backgroundPicture_;
        if (withPicture && picture && picture->GetWidth() > 0 && picture->GetHeight() > 0) {
            const int w = static_cast<int>(picture->GetWidth()), h = static_cast<int>(picture->GetHeight());
            look.picturePixels.assign(static_cast<size_t>(w) * h, 0);
            {
                Gdiplus::Bitmap target(w, h, w * 4, PixelFormat32bppARGB,
                                       reinterpret_cast<BYTE*>(look.picturePixels.data()));
                Gdiplus::Graphics g(&target);
                g.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
                if (g.DrawImage(picture, 0, 0, w, h) != Gdiplus::Ok) look.picturePixels.clear();
            }
            if (!look.picturePixels.empty()) {
                look.pictureWidth = w;
                look.pictureHeight = h;
            }
        }
        return look;
    };
    if (GetWindowThreadProcessId(window, nullptr) == GetCurrentThreadId()) return read();

    // The answer lives in shared state: should the wait time out, the owner's
    // thread may still run the task later, so the task (a few bytes) is then
    // left alive rather than freed under it.
    auto answer = std::make_shared<std::optional<HostLook>>();
    auto* task = new std::function<void()>([answer, read] { *answer = read(); });
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, UIM_INVOKE, 0, reinterpret_cast<LPARAM>(task),
                             SMTO_NORMAL | SMTO_ABORTIFHUNG, kLookTimeoutMs, &result)) {
        return {};
    }
    delete task;
    return std::move(*answer);
}

}  // namespace sorvix::ui
