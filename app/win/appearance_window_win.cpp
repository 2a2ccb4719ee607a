// The appearance window (see appearance_window_win.h).
#include "app/win/appearance_window_win.h"

#include <commdlg.h>

#include <iterator>

#include "app/core/file_store.h"
#include "app/core/row_actions.h"
#include "ui/base.h"

namespace sorvix::app {
namespace {

constexpr std::string_view kTitle = "\xC9\xE8\xD6\xC3";                      // 设置
constexpr std::string_view kPreviewText = "\xD4\xA4\xC0\xC0";               // 预览
constexpr std::string_view kSaveText = "\xB1\xA3\xB4\xE6";                  // 保存
constexpr std::string_view kSetColourText = "\xC9\xE8\xD6\xC3\xD1\xD5\xC9\xAB";   // 设置颜色
constexpr std::string_view kDialogTitle = "\xC9\xE8\xD6\xC3\xB1\xB3\xBE\xB0\xCD\xBC\xC6\xAC";   // 设置背景图片
constexpr Colour kRed = 0x0000FF;
constexpr wchar_t kPictureBoxClass[] = L"SorvixPictureBox";

// The platform picture box: a child window that draws the previewed
// picture scaled into its 200 x 200 area.
LRESULT CALLBACK PictureBoxProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        auto* image = reinterpret_cast<Gdiplus::Image*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        RECT r;
        GetClientRect(window, &r);
        Gdiplus::Graphics g(dc);
        g.Clear(Gdiplus::Color(255, 255, 255, 255));
        if (image) g.DrawImage(image, 0, 0, r.right, r.bottom);
        EndPaint(window, &ps);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void RegisterPictureBox() {
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = PictureBoxProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kPictureBoxClass;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
}

std::optional<std::filesystem::path> PickPictureFile(HWND owner) {
    wchar_t file[MAX_PATH * 4] = L"";
    const std::wstring title = ui::GbkToWide(kDialogTitle);
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = owner;
    ofn.lpstrFile = file;
    ofn.nMaxFile = static_cast<DWORD>(std::size(file));
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_EXPLORER;
    if (!GetOpenFileNameW(&ofn)) return std::nullopt;
    return std::filesystem::path(file);
}

}  // namespace

struct AppearanceWindow::Parts {
    HWND window = nullptr;
    ui::UiHost host;
    ui::UiButton preview, save, setColour;
    EditBoxControl boxes[3];
    ui::UiLabel labels[3];
    HWND pictureBox = nullptr;
    Gdiplus::Image* image = nullptr;
    std::optional<Bytes> previewBytes;
    ~Parts() {
        if (pictureBox) SetWindowLongPtrW(pictureBox, GWLP_USERDATA, 0);
        if (image) ui::ImageFree(image);
        if (window && IsWindow(window)) DestroyWindow(window);
    }
};

AppearanceWindow::AppearanceWindow(AppearanceContext context) : context_(std::move(context)) {}
AppearanceWindow::~AppearanceWindow() = default;

bool AppearanceWindow::IsOpen() const { return parts_ && parts_->window && IsWindow(parts_->window); }
HWND AppearanceWindow::Window() const { return IsOpen() ? parts_->window : nullptr; }
ui::UiHost* AppearanceWindow::Host() { return IsOpen() ? &parts_->host : nullptr; }

void AppearanceWindow::Open() {
    if (IsOpen()) {
        if (IsIconic(parts_->window)) ShowWindow(parts_->window, SW_RESTORE);
        SetForegroundWindow(parts_->window);
        BringWindowToTop(parts_->window);
        return;
    }
    parts_.reset();
    Build();
}

void AppearanceWindow::Build() {
    parts_ = std::make_unique<Parts>();
    Parts& p = *parts_;
    p.window = ui::CreateHostWindow(nullptr, Text(kTitle), 50, 50, 343, 347);
    if (!p.window) {
        parts_.reset();
        return;
    }
    ui::AttachOptions options;
    options.styleFlags = kAppearanceStyleFlags;
    p.host.Attach(p.window, options);
    std::optional<Bytes> picture = ReadWholeFile(context_.programDir / kPictureFileName);
    p.host.SetBackground(picture.value_or(Bytes()), 0x606060);
    ColourTitleLabel(p.host);

    const Colour colour = TextColour(*context_.colours);
    auto button = [&](ui::UiButton& b, const UiRect& r, std::string_view text) {
        ui::TextOptions o;
        o.colour = colour;
        o.alpha = 255;
        b.Create(p.window, r, Text(text), o);
    };
    button(p.preview, {16, 264, 88, 50}, kPreviewText);
    button(p.save, {128, 264, 88, 50}, kSaveText);
    button(p.setColour, {224, 152, 104, 40}, kSetColourText);
    const float boxTops[3] = {49, 81, 112};
    for (int i = 0; i < 3; ++i) p.boxes[i].Create(p.window, {264, boxTops[i], 64, 20}, "", kRed);
    const float labelTops[3] = {48, 79, 108};
    const std::string_view labelTexts[3] = {kRedLabel, kGreenLabel, kBlueLabel};
    for (int i = 0; i < 3; ++i) {
        ui::LabelOptions o;
        o.colour = kRed;
        o.alpha = 255;
        p.labels[i].Create(p.window, {220, labelTops[i], 40, 24}, Text(labelTexts[i]), o);
    }
    RegisterPictureBox();
    // The picture box is a small window owned by the appearance window and
    // kept over its client point 16, 48: a child window would not show on
    // a host that presents itself as a layered window (the show animation).
    p.pictureBox = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kPictureBoxClass, L"", WS_POPUP, 0, 0, 200,
                                   200, p.window, nullptr, GetModuleHandleW(nullptr), nullptr);
    p.host.SetMessageHook([this](HWND window, UINT message, WPARAM, LPARAM) -> LRESULT {
        if ((message == WM_MOVE || message == WM_WINDOWPOSCHANGED) && parts_ && parts_->pictureBox) {
            POINT at{16, 48};
            ClientToScreen(window, &at);
            SetWindowPos(parts_->pictureBox, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return ui::kNotHandled;
    });
    p.host.Show(7, 200);
    p.host.SetCloseEffect(7);
    p.host.SetClickHandler([this](HWND, ElementHandle element, WPARAM, LPARAM, int) { Click(element); });
    p.boxes[0].SetText(context_.colours->red);
    p.boxes[1].SetText(context_.colours->green);
    p.boxes[2].SetText(context_.colours->blue);
}

ElementHandle AppearanceWindow::PreviewButton() const { return parts_ ? parts_->preview.Handle() : 0; }
ElementHandle AppearanceWindow::SaveButton() const { return parts_ ? parts_->save.Handle() : 0; }
ElementHandle AppearanceWindow::SetColourButton() const { return parts_ ? parts_->setColour.Handle() : 0; }
ElementHandle AppearanceWindow::ColourBox(int index) const {
    return parts_ && index >= 0 && index < 3 ? parts_->boxes[index].Handle() : 0;
}
void AppearanceWindow::SetColourBoxText(int index, const Text& text) {
    if (parts_ && index >= 0 && index < 3) parts_->boxes[index].SetText(text);
}
bool AppearanceWindow::PreviewShown() const {
    return parts_ && parts_->pictureBox && IsWindowVisible(parts_->pictureBox);
}

void AppearanceWindow::Click(ElementHandle element) {
    if (!parts_ || !element) return;
    if (element == parts_->preview.Handle()) OnPreview();
    else if (element == parts_->save.Handle()) OnSave();
    else if (element == parts_->setColour.Handle()) OnSetColour();
}

void AppearanceWindow::OnPreview() {
    Parts& p = *parts_;
    std::optional<std::filesystem::path> file =
        context_.pickFile ? context_.pickFile() : PickPictureFile(p.window);
    if (!file) return;
    std::optional<Bytes> bytes = ReadWholeFile(*file);
    if (!bytes || !parts_) return;
    Gdiplus::Image* image = ui::ImageFromBytes(*bytes);
    if (p.image) ui::ImageFree(p.image);
    p.image = image;
    p.previewBytes = std::move(bytes);
    SetWindowLongPtrW(p.pictureBox, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(p.image));
    POINT at{16, 48};
    ClientToScreen(p.window, &at);
    SetWindowPos(p.pictureBox, HWND_TOP, at.x, at.y, 200, 200, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    InvalidateRect(p.pictureBox, nullptr, TRUE);
    UpdateWindow(p.pictureBox);
}

void AppearanceWindow::OnSave() {
    Parts& p = *parts_;
    if (!p.previewBytes) return;   // nothing previewed: nothing changes
    const FileWriteResult written = WriteFileReplacing(context_.programDir / kPictureFileName, *p.previewBytes);
    if (!written.ok) {
        ShowLibraryBox(p.window, Text(kSaveFailedText), Text(kSorryTitle), kIconError, {Text(kGotItCaption)},
                       nullptr);
        return;
    }
    if (context_.mainHost && context_.mainHost->Window()) context_.mainHost->SetBackground(*p.previewBytes);
    p.host.SetBackground(*p.previewBytes);
    ShowWindow(p.pictureBox, SW_HIDE);
}

void AppearanceWindow::OnSetColour() {
    Parts& p = *parts_;
    ColourSettings typed{p.boxes[0].GetText(), p.boxes[1].GetText(), p.boxes[2].GetText()};
    *context_.colours = typed;
    const FileWriteResult written =
        WriteFileReplacing(context_.programDir / kColourFileName, ColourFileText(typed));
    if (!written.ok) {
        ShowLibraryBox(p.window, Text(kSaveFailedText), Text(kSorryTitle), kIconError, {Text(kGotItCaption)},
                       nullptr);
        return;
    }
    ShowLibraryBox(p.window, Text(kSavedText), Text(kNoticeTitle), kIconQuestion, {Text(kGotItCaption)}, nullptr);
}

}  // namespace sorvix::app
