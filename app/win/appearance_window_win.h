// The appearance window ("设置"), opened from the main window's caption
// button of kind 64: a picture preview with "预览" (the open-file dialog) and
// "保存", and the three colour boxes with "设置颜色".
//
//   - "保存" with a previewed picture writes "bj.jpg" (through a temporary
//     file and a rename, so a failed write keeps the old file), then shows it
//     at once as the background of both windows; with nothing previewed it
//     changes nothing. A failed write shows a failure message and changes
//     nothing either.
//   - "设置颜色" stores the three texts as typed, writes "参数.txt" the same
//     way and says "设置成功！重启就可以显示！" only when the write worked.
//   - Open() while the window is open brings it to the front: one window.
// Covered by tests/e2e (files, pixels) and tests/app (file texts).
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "app/core/appearance.h"
#include "app/win/controls_win.h"
#include "ui/host.h"
#include "ui/text_elements.h"

namespace sorvix::app {

inline constexpr std::string_view kSavedText =
    "\xC9\xE8\xD6\xC3\xB3\xC9\xB9\xA6\xA3\xA1\xD6\xD8\xC6\xF4\xBE\xCD\xBF\xC9\xD2\xD4\xCF\xD4\xCA\xBE\xA3\xA1";   // 设置成功！重启就可以显示！
inline constexpr std::string_view kSaveFailedText =
    "\xB1\xA3\xB4\xE6\xCA\xA7\xB0\xDC\xA3\xA1\xD4\xAD\xC0\xB4\xB5\xC4\xCE\xC4\xBC\xFE\xC3\xBB\xD3\xD0\xB8\xC4\xB6\xAF\xA1\xA3";   // 保存失败！原来的文件没有改动。
inline constexpr int kAppearanceStyleFlags = 23;

struct AppearanceContext {
    std::filesystem::path programDir;
    ColourSettings* colours;           // the settings in memory (replaced by "设置颜色")
    ui::UiHost* mainHost;              // gets the new background at once
    // Replaces the open-file dialog (tests); nullopt: cancelled.
    std::function<std::optional<std::filesystem::path>()> pickFile;
};

class AppearanceWindow {
public:
    explicit AppearanceWindow(AppearanceContext context);
    ~AppearanceWindow();

    // Opens the window, or brings the open one to the front.
    void Open();
    bool IsOpen() const;
    HWND Window() const;
    ui::UiHost* Host();

    // Element handles (tests).
    ElementHandle PreviewButton() const;
    ElementHandle SaveButton() const;
    ElementHandle SetColourButton() const;
    ElementHandle ColourBox(int index) const;   // 0 red, 1 green, 2 blue
    void SetColourBoxText(int index, const Text& text);
    void Click(ElementHandle element);           // as the host's click handler does
    bool PreviewShown() const;

private:
    struct Parts;
    void Build();
    void OnPreview();
    void OnSave();
    void OnSetColour();

    AppearanceContext context_;
    std::unique_ptr<Parts> parts_;
};

}  // namespace sorvix::app
