// Shell, clipboard and background jobs (see platform_win.h).
#include "app/win/platform_win.h"

#include <objbase.h>

#include <shellapi.h>

#include <cstring>

#include "ui/base.h"

namespace sorvix::app {

bool ShellOpenLink(HWND owner, const Text& link, const std::string& scheme) {
    const std::wstring file = ui::GbkToWide(link);
    const std::wstring cls(scheme.begin(), scheme.end());
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_CLASSNAME | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpClass = cls.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

namespace {

HGLOBAL CopyToGlobal(const void* data, size_t bytes) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    if (!block) return nullptr;
    void* p = GlobalLock(block);
    if (!p) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(p, data, bytes);
    GlobalUnlock(block);
    return block;
}

}  // namespace

bool CopyTextToClipboard(HWND owner, const Text& text) {
    const std::wstring wide = ui::GbkToWide(text);
    bool opened = false;
    for (int attempt = 0; attempt < 10 && !opened; ++attempt) {
        opened = OpenClipboard(owner) != FALSE;   // another program may hold it a moment
        if (!opened) Sleep(10);
    }
    if (!opened) return false;
    bool ok = EmptyClipboard() != FALSE;
    if (ok) {
        HGLOBAL unicode = CopyToGlobal(wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
        if (!unicode || !SetClipboardData(CF_UNICODETEXT, unicode)) {
            if (unicode) GlobalFree(unicode);
            ok = false;
        }
        HGLOBAL ansi = CopyToGlobal(text.c_str(), text.size() + 1);
        if (!ansi || !SetClipboardData(CF_TEXT, ansi)) {
            if (ansi) GlobalFree(ansi);
            ok = false;
        }
    }
    CloseClipboard();
    return ok;
}

Win32RowPlatform::~Win32RowPlatform() {
    std::vector<Job> jobs;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        jobs.swap(jobs_);
    }
    for (Job& job : jobs) job.thread.join();
}

void Win32RowPlatform::OpenLink(const Text& link, const std::string& scheme) {
    // The shell open runs off the window's thread: starting the handler can
    // take long (the shell may wait until the started program is ready for
    // input), and the window must keep answering meanwhile. The shell wants
    // COM on the calling thread; SEE_MASK_NOASYNC makes it finish before the
    // job (and with it COM) ends.
    RunInBackground([this, link, scheme] {
        if (opener_) {
            opener_(link, scheme);
            return;
        }
        const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
        // No owner: a window the shell made for this thread, owned by the
        // main window, would tie the two threads' input together, and this
        // thread pumps no messages while the shell waits.
        ShellOpenLink(nullptr, link, scheme);
        if (SUCCEEDED(com)) CoUninitialize();
    });
}

bool Win32RowPlatform::CopyText(const Text& text) {
    return CopyTextToClipboard(owner_, text);
}

void Win32RowPlatform::ReapLocked() {
    for (auto it = jobs_.begin(); it != jobs_.end();) {
        if (it->done->load()) {
            it->thread.join();
            it = jobs_.erase(it);
        } else {
            ++it;
        }
    }
}

void Win32RowPlatform::RunInBackground(std::function<void()> job) {
    std::lock_guard<std::mutex> lock(mutex_);
    ReapLocked();
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread thread([job = std::move(job), done] {
        job();
        done->store(true);
    });
    jobs_.push_back({std::move(thread), done});
}

void Win32RowPlatform::RunOnWindow(std::function<void()> step) {
    view_.Post(std::move(step));
}

bool Win32RowPlatform::Busy() {
    std::lock_guard<std::mutex> lock(mutex_);
    ReapLocked();
    return !jobs_.empty();
}

}  // namespace sorvix::app
