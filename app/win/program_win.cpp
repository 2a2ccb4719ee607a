// Program start-up and message loop (see program_win.h).
#include "app/win/program_win.h"

#include "app/core/file_store.h"
#include "app/core/session_view.h"
#include "net/net_config.h"
#include "ui/base.h"

namespace sorvix::app {

const std::string_view kMainTitle =
    "Sorvix\xC9\xF1\xC6\xF7V1.0 - Sorvix\xBF\xAA\xB7\xA2\xD7\xE9\xB3\xF6\xC6\xB7";   // Sorvix神器V1.0 - Sorvix开发组出品

namespace {

constexpr std::string_view kFontFamily = "\xCB\xCE\xCC\xE5";   // 宋体
constexpr float kDefaultFontSize = 13.0f;
constexpr Colour kBackgroundColour = 0x606060;

}  // namespace

std::filesystem::path ExecutableDir() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);
    }
    return std::filesystem::path(path).parent_path();
}

double MillisecondsSinceProcessStart() {
    FILETIME created, exited, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    GetSystemTimePreciseAsFileTime(&now);
    ULARGE_INTEGER a, b;
    a.LowPart = created.dwLowDateTime;
    a.HighPart = created.dwHighDateTime;
    b.LowPart = now.dwLowDateTime;
    b.HighPart = now.dwHighDateTime;
    return static_cast<double>(b.QuadPart - a.QuadPart) / 10000.0;
}

void RandomSource::Seed(uint32_t seed) {
    std::lock_guard<std::mutex> lock(mutex_);
    engine_.seed(seed);
    seed_ = seed;
    seedThread_ = GetCurrentThreadId();
}

uint32_t RandomSource::Next() {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<uint32_t>(engine_());
}

std::optional<uint32_t> RandomSource::SeedValue() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seed_;
}

DWORD RandomSource::SeedThread() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return seedThread_;
}

RandomSource& ProgramRandom() {
    static RandomSource source;
    return source;
}

Program::Program(ProgramSetup setup) : setup_(std::move(setup)) {}

Program::~Program() {
    Shutdown(0);
}

void Program::Mark(const char* step) {
    marks_.push_back({step, MillisecondsSinceProcessStart()});
}

bool Program::Start() {
    Mark("entry");
    ui::UiStart();
    Mark("library");
    SetDefaultNetConfig(setup_.config.network);
    window_ = ui::CreateHostWindow(nullptr, Text(kMainTitle), kMainLeft, kMainTop, kMainWidth, kMainHeight);
    if (!window_) return false;
    Mark("window");
    OnStartupWindowCreated();
    return !ended_;
}

void Program::OnStartupWindowCreated() {
    // 1. The default font.
    if (Gdiplus::Font* font = ui::CreateFontByName(kFontFamily, kDefaultFontSize, 0)) {
        delete ui::Lib().defaultFont;
        ui::Lib().defaultFont = font;
    }
    Mark("font");
    // 2-3. The main host.
    ui::AttachOptions options;
    options.styleFlags = kMainStyleFlags;
    host_.Attach(window_, options);
    Mark("attach");
    // Until the show, nothing of the window is seen: the elements paint
    // into their own buffers, and the window is composed once, by the show
    // (a compose per element and per column would be thrown away).
    host_.Freeze(true);
    // 4. The background picture.
    std::optional<Bytes> picture = ReadWholeFile(setup_.programDir / kPictureFileName);
    host_.SetBackground(picture.value_or(Bytes()), kBackgroundColour);
    // 5. The caption title keeps its colour over any picture.
    ColourTitleLabel(host_);
    Mark("background");
    // 6. The update notice, before anything is built or shown.
    if (!CheckForUpdate(setup_.config, setup_.updateHooks)) {
        ended_ = true;
        DestroyWindow(window_);
        window_ = nullptr;
        return;
    }
    Mark("update");
    // 7. The colour settings.
    colours_ = ParseColourSettings(ReadWholeFile(setup_.programDir / kColourFileName).value_or(Bytes()));
    // 8. BuildMainWindow.
    main_.Build(window_, host_, TextColour(colours_));
    Mark("build");

    net_ = MakeNetworkSiteNet(setup_.config.network);
    view_ = std::make_unique<WindowAppView>(main_);
    flow_ = std::make_unique<SearchFlow>(*view_, *net_, setup_.config);
    flow_->SetSearchJob(SessionSnapshotJob());
    platform_ = std::make_unique<Win32RowPlatform>(*view_, window_);
    rows_ = std::make_unique<RowActions>(*view_, *net_, *platform_, [this] { return flow_->SiteCode(); });
    appearance_ = std::make_unique<AppearanceWindow>(AppearanceContext{setup_.programDir, &colours_, &host_, {}});
    flow_->SetAppearanceAction([this] { appearance_->Open(); });
    // The blog opens like a row's link: off the window's thread.
    flow_->SetBlogAction([this] {
        OpenBlog(setup_.config, [this](const Text& link, const std::string& scheme) { platform_->OpenLink(link, scheme); });
    });

    // 12. The paging controls appear when a disk option is picked. Hidden
    // before the window is shown, so the show animation never has them.
    view_->SetControlVisible(PagingControl::PreviousButton, false);
    view_->SetControlVisible(PagingControl::NextButton, false);
    view_->SetControlVisible(PagingControl::PageBox, false);
    // 9. Show.
    host_.Freeze(false);
    readyMs_ = MillisecondsSinceProcessStart();
    Mark("wiring");
    if (setup_.show) {
        // The first frame is presented as the window is shown (the show
        // composes the window and presents frame 1 of the animation, then
        // shows it); the handlers' hook replaces this one in step 10.
        host_.SetMessageHook([this](HWND, UINT message, WPARAM wParam, LPARAM) {
            if (message == WM_SHOWWINDOW && wParam && firstFrameMs_ == 0) {
                firstFrameMs_ = MillisecondsSinceProcessStart();
                Mark("first-frame");
            }
            return ui::kNotHandled;
        });
        host_.Show(7, 200);
        host_.SetCloseEffect(7);
        host_.SetMessageHook(nullptr);
    } else {
        host_.Redraw();
    }
    startupMs_ = MillisecondsSinceProcessStart();
    Mark("show");
    // 10. Handlers.
    main_.Bind(*flow_, *view_, *rows_);
    // 11. The random seed, off the window's thread. The thread only takes a
    // lock and ends; Shutdown joins it, so it never outlives the program.
    seeder_ = std::thread([] { ProgramRandom().Seed(GetTickCount()); });
}

int Program::Run() {
    if (!window_) return 0;
    MSG msg;
    while (IsWindow(window_)) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) break;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

bool Program::Shutdown(int waitMs) {
    // The seed thread is short and waits for nothing: always joined, so no
    // path out of here leaves a joinable thread behind.
    if (seeder_.joinable()) seeder_.join();
    if (view_) view_->Close();
    if (flow_) flow_->CancelRunning();
    bool idle = true;
    const DWORD until = GetTickCount() + static_cast<DWORD>(waitMs);
    while ((flow_ && flow_->Busy()) || (platform_ && platform_->Busy())) {
        if (static_cast<LONG>(until - GetTickCount()) <= 0) {
            idle = false;
            break;
        }
        Sleep(10);
    }
    if (!idle) return false;
    appearance_.reset();
    rows_.reset();
    platform_.reset();
    flow_.reset();
    if (window_ && IsWindow(window_)) DestroyWindow(window_);
    window_ = nullptr;
    view_.reset();
    return true;
}

}  // namespace sorvix::app
