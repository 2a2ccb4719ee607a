// Clipboard text as CF_UNICODETEXT through code page 936. See clipboard.h.
#include "ui/clipboard.h"

#include <cstring>

namespace sorvix::ui {

namespace {

constexpr int kOpenTries = 20;
constexpr DWORD kOpenRetryMs = 5;

// Holds the clipboard open for one scope.
class OpenedClipboard {
public:
    explicit OpenedClipboard(HWND owner) {
        for (int i = 0; i < kOpenTries && !open_; ++i) {
            open_ = OpenClipboard(owner) != FALSE;
            if (!open_) Sleep(kOpenRetryMs);
        }
    }
    ~OpenedClipboard() {
        if (open_) CloseClipboard();
    }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
    explicit operator bool() const { return open_; }

private:
    bool open_ = false;
};

}  // namespace

bool SetClipboardText(HWND owner, std::string_view gbk) {
    OpenedClipboard clipboard(owner);
    if (!clipboard) return false;
    if (!EmptyClipboard()) return false;
    if (gbk.empty()) return true;
    std::wstring wide = GbkToWide(gbk);
    size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) return false;
    void* p = GlobalLock(memory);
    if (!p) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(p, wide.c_str(), bytes);
    GlobalUnlock(memory);
    // The clipboard owns the block once SetClipboardData succeeded.
    if (!SetClipboardData(CF_UNICODETEXT, memory)) {
        GlobalFree(memory);
        return false;
    }
    return true;
}

Text ClipboardText(HWND owner) {
    if (!IsClipboardFormatAvailable(CF_UNICODETEXT)) return {};
    OpenedClipboard clipboard(owner);
    if (!clipboard) return {};
    HANDLE data = GetClipboardData(CF_UNICODETEXT);
    if (!data) return {};
    const auto* p = static_cast<const wchar_t*>(GlobalLock(data));
    if (!p) return {};
    // The block may be larger than its text, and need not end with a zero.
    size_t limit = GlobalSize(data) / sizeof(wchar_t);
    size_t n = 0;
    while (n < limit && p[n]) ++n;
    std::wstring wide(p, n);
    GlobalUnlock(data);
    return WideToGbk(wide);
}

bool ClipboardHasText() {
    return IsClipboardFormatAvailable(CF_UNICODETEXT) != FALSE;
}

}  // namespace sorvix::ui
