// The Win32 side of the row actions and the update notice: opening an
// allowed link through the shell with its scheme named as the class (so the
// shell never resolves the text as a file or a program), the clipboard in
// both text forms, and the background jobs of the row actions (the shell
// open is one of them, so a slow handler start never stalls the window).
// Covered by tests/app_win (clipboard, shell class) and tests/e2e.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/core/row_actions.h"
#include "app/win/window_view_win.h"

namespace sorvix::app {

// ShellExecuteExW, verb "open", SEE_MASK_CLASSNAME with `scheme` as the
// class, SW_SHOWNORMAL. The link must have passed CheckLink. True when the
// shell took it.
bool ShellOpenLink(HWND owner, const Text& link, const std::string& scheme);

// Empties the clipboard and puts `text` (GBK) on it as CF_UNICODETEXT
// (converted with code page 936) and as CF_TEXT (the GBK bytes).
bool CopyTextToClipboard(HWND owner, const Text& text);

class Win32RowPlatform : public RowPlatform {
public:
    // view carries steps back to the window's thread; owner opens the clipboard.
    Win32RowPlatform(WindowAppView& view, HWND owner) : view_(view), owner_(owner) {}
    ~Win32RowPlatform() override;

    void OpenLink(const Text& link, const std::string& scheme) override;
    bool CopyText(const Text& text) override;
    void RunInBackground(std::function<void()> job) override;
    void RunOnWindow(std::function<void()> step) override;

    // True while a background job runs.
    bool Busy();
    // Replaces the shell (tests): gets (link, scheme), on the background
    // thread that would have run the shell open.
    void SetOpener(std::function<void(const Text&, const std::string&)> opener) { opener_ = std::move(opener); }

private:
    struct Job {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void ReapLocked();

    WindowAppView& view_;
    HWND owner_;
    std::function<void(const Text&, const std::string&)> opener_;
    std::mutex mutex_;
    std::vector<Job> jobs_;
};

}  // namespace sorvix::app
