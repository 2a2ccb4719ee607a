// The main window built by the real start-up against the in-process site
// simulator, driven by window messages: its elements as they are placed,
// the clicks, the keys, a search filling the table and the row actions.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <mutex>

#include "app/core/result_table.h"
#include "app/win/program_win.h"
#include "pump.h"
#include "sim_fixture.h"
#include "ui/text_elements.h"

namespace sorvix::app {
namespace {

using test::G;
namespace fs = std::filesystem;

class MainWindowTest : public test::SimFixture {
protected:
    void SetUp() override {
        SimFixture::SetUp();
        if (HasFatalFailure()) return;
        dir = fs::path(::testing::TempDir()) /
              (std::string("sorvix-main-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        ProgramSetup setup;
        setup.programDir = dir;
        setup.config = config;
        program = std::make_unique<Program>(std::move(setup));
        startTick = GetTickCount();
        ASSERT_TRUE(program->Start());
        program->View().SetBoxAnswerer([this](const MessageBoxRequest& r) {
            boxes.push_back(r.text);
            return 1;
        });
        PumpFor(300);   // the show animation
    }
    void TearDown() override {
        if (program) program->Shutdown(5000);
        program.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    ui::UiElement* E(ElementHandle h) { return ui::UiElement::FromHandle(h); }
    // A left click at the middle of an element, as window messages.
    void ClickOn(ElementHandle h) {
        ui::UiRect r = E(h)->Rect();
        LPARAM at = MAKELPARAM(static_cast<int>(r.x + r.w / 2), static_cast<int>(r.y + r.h / 2));
        HWND w = program->Window();
        SendMessageW(w, WM_MOUSEMOVE, 0, at);
        SendMessageW(w, WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageW(w, WM_LBUTTONUP, 0, at);
    }
    void Key(WPARAM key) { SendMessageW(program->Window(), WM_KEYDOWN, key, 0); }
    Text Label(StatusLabel l) { return program->View().Label(l); }
    int Rows() { return program->Main().TableControl().RowCount(); }

    // Presses and releases the right button at a client point.
    void RightClickAt(int x, int y) {
        const LPARAM at = MAKELPARAM(x, y);
        HWND w = program->Window();
        SendMessageW(w, WM_MOUSEMOVE, 0, at);
        SendMessageW(w, WM_RBUTTONDOWN, MK_RBUTTON, at);
        SendMessageW(w, WM_RBUTTONUP, 0, at);
    }
    // Pixels of an element's rectangle on the composed window that pass test.
    template <class Test>
    int CountPixels(ElementHandle h, Test test) {
        const ui::UiRect r = E(h)->Rect();
        int n = 0;
        for (int y = static_cast<int>(r.y); y < static_cast<int>(r.Bottom()); ++y)
            for (int x = static_cast<int>(r.x); x < static_cast<int>(r.Right()); ++x)
                if (test(program->Host().PixelAt(x, y))) ++n;
        return n;
    }

    fs::path dir;
    std::unique_ptr<Program> program;
    std::vector<Text> boxes;
    DWORD startTick = 0;
};

// The clipboard as text (CF_UNICODETEXT, in GBK), and a text put on it.
Text ClipboardText() {
    Text out;
    if (!OpenClipboard(nullptr)) return out;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        out = ui::WideToGbk(static_cast<const wchar_t*>(GlobalLock(h)));
        GlobalUnlock(h);
    }
    CloseClipboard();
    return out;
}

void SetClipboardText(const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
}

bool DarkPixel(uint32_t argb) {
    return ((argb >> 16) & 0xFF) < 0x60 && ((argb >> 8) & 0xFF) < 0x60 && (argb & 0xFF) < 0x60;
}

TEST_F(MainWindowTest, StartUpColoursTheTitleAndSeedsOffTheWindowThread) {
    auto* title = dynamic_cast<ui::UiLabel*>(E(program->Host().TitleElement()));
    ASSERT_NE(title, nullptr);
    EXPECT_FALSE(title->AutoColour());
    EXPECT_EQ(title->EffectColour(), std::optional<ui::Argb>(0xFEFFFFFFu));   // white, alpha 255 kept as 254
    EXPECT_EQ(title->TextColour(), 0xFFFFFFu);                                 // the host's own colour stays

    // Over a light background an automatic colour would turn the title
    // black; switched off, it stays as the host drew it.
    program->Host().SetBackground({}, 0xF0F0F0);
    PumpFor(100);
    EXPECT_EQ(CountPixels(title->Handle(), DarkPixel), 0);
    title->AutoColour(true);
    PumpFor(100);
    EXPECT_GT(CountPixels(title->Handle(), DarkPixel), 20);
    title->AutoColour(false);
    PumpFor(100);
    EXPECT_EQ(CountPixels(title->Handle(), DarkPixel), 0);

    // The random seed came from the tick count of this start, on a thread of
    // its own, which Shutdown joins.
    ASSERT_TRUE(PumpUntil([] { return ProgramRandom().SeedValue().has_value(); }));
    const uint32_t seed = *ProgramRandom().SeedValue();
    EXPECT_GE(seed, startTick);
    EXPECT_LE(seed, GetTickCount());
    EXPECT_NE(ProgramRandom().SeedThread(), GetCurrentThreadId());
    EXPECT_TRUE(program->Shutdown(5000));
}

TEST_F(MainWindowTest, RightPressOpensTheRowMenuOnlyOverTheTable) {
    MainWindow& m = program->Main();
    program->View().SetBoxText(EditBox::Keyword, G("三体"));
    ClickOn(m.OptionHandle(1));
    ClickOn(m.SearchButton());
    ASSERT_TRUE(PumpUntil([&] { return !boxes.empty(); }));
    ASSERT_EQ(Rows(), 25);
    m.TableControl().Selection(3);
    // Every menu that opens chooses "复制链接", which after a magnet search
    // would put row 3's link on the clipboard.
    int menus = 0;
    m.SetMenuChooser([&](HMENU, POINT) {
        ++menus;
        return static_cast<UINT>(kRowMenuCopy);
    });
    SetClipboardText(L"before");
    const ui::UiRect searchButton = E(m.SearchButton())->Rect();
    struct Case {
        const char* what;
        int x, y;
    } outside[] = {
        {"window background", 20, 300},
        {"caption title", 200, 18},
        {"keyword label", 70, 63},
        {"operation label", 100, 512},
        {"data label", 350, 512},
        {"search button", static_cast<int>(searchButton.x + 10), static_cast<int>(searchButton.y + 10)},
        {"option 1", 80, 92},
        {"option 20", 790, 117},
        {"below the table", 400, 485},
    };
    for (const Case& c : outside) {
        RightClickAt(c.x, c.y);
        PumpFor(100);
        EXPECT_EQ(menus, 0) << c.what;
        EXPECT_EQ(ClipboardText(), "before") << c.what;
    }
    EXPECT_EQ(m.TableControl().Selection(), 3);
    // Over the table the menu opens and acts on the selected row.
    const ui::UiRect table = E(m.Table())->Rect();
    RightClickAt(static_cast<int>(table.x + 200), static_cast<int>(table.y + 2 + 25.5f + 2.5f * 23.5f));
    ASSERT_TRUE(PumpUntil([&] { return menus == 1; }, 2000));
    PumpFor(100);
    EXPECT_EQ(ClipboardText(), program->View().Cell(3, 6));
}

TEST_F(MainWindowTest, StartsWithEveryElementInPlace) {
    MainWindow& m = program->Main();
    RECT wr;
    GetWindowRect(program->Window(), &wr);
    EXPECT_EQ(wr.left, 50);
    EXPECT_EQ(wr.top, 50);
    EXPECT_EQ(wr.right - wr.left, 869);
    EXPECT_EQ(wr.bottom - wr.top, 550);
    wchar_t title[128] = {};
    GetWindowTextW(program->Window(), title, 128);
    EXPECT_EQ(ui::WideToGbk(title).rfind(G("Sorvix神器V1.0"), 0), 0u);
    EXPECT_EQ(program->Host().StyleFlags() & 0xFF, 87);
    EXPECT_NE(m.AppearanceButton(), 0u);

    // Creation order with each rectangle.
    struct Place {
        ElementHandle handle;
        float x, y, w, h;
    };
    std::vector<Place> expected = {{m.KeywordBox(), 110, 51, 482, 28}, {m.SearchButton(), 600, 51, 88, 30},
                                   {m.BlogButton(), 730, 51, 88, 30}};
    const float optionPlaces[20][3] = {{45, 80, 70},   {110, 80, 70},  {175, 80, 80},  {250, 80, 80},
                                       {325, 80, 80},  {400, 80, 80},  {465, 80, 80},  {540, 80, 80},
                                       {615, 80, 80},  {685, 80, 80},  {45, 105, 95},  {130, 105, 80},
                                       {200, 105, 80}, {275, 105, 120}, {370, 105, 100}, {450, 105, 80},
                                       {520, 105, 80}, {595, 105, 80}, {665, 105, 110}, {750, 105, 80}};
    for (int k = 1; k <= 20; ++k)
        expected.push_back({m.OptionHandle(k), optionPlaces[k - 1][0], optionPlaces[k - 1][1], optionPlaces[k - 1][2], 24});
    expected.push_back({m.OperationLabel(), 51, 500, 120, 24});
    expected.push_back({m.DataLabel(), 300, 500, 120, 24});
    expected.push_back({m.KeywordLabel(), 50, 51, 60, 24});
    expected.push_back({m.PreviousButton(), 550, 500, 80, 24});
    expected.push_back({m.NextButton(), 700, 500, 80, 24});
    expected.push_back({m.PageBox(), 650, 500, 30, 24});
    expected.push_back({m.Table(), 51, 130, 768, 344});
    std::vector<ElementHandle> order = m.CreationOrder();
    ASSERT_EQ(order.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(order[i], expected[i].handle) << i;
        ui::UiRect r = E(expected[i].handle)->Rect();
        EXPECT_TRUE(r.SameAs({expected[i].x, expected[i].y, expected[i].w, expected[i].h})) << i;
    }
    // Texts, options, paging controls, table.
    EXPECT_EQ(program->View().BoxText(EditBox::Keyword), G("请输入要搜索的内容"));
    EXPECT_EQ(program->View().BoxText(EditBox::Page), "1");
    EXPECT_EQ(Label(StatusLabel::Operation), G("暂时没有任何操作"));
    EXPECT_EQ(Label(StatusLabel::Data), G("暂时没有任何数据"));
    for (int k = 1; k <= 20; ++k) EXPECT_FALSE(program->View().OptionChecked(k)) << k;
    EXPECT_FALSE(E(m.PreviousButton())->Visible());
    EXPECT_FALSE(E(m.NextButton())->Visible());
    EXPECT_FALSE(E(m.PageBox())->Visible());
    EXPECT_EQ(m.TableControl().ColumnCount(), 8);
    EXPECT_EQ(Rows(), 0);
    // Only the announcement post was read.
    EXPECT_EQ(sim.Targets(sitesim::Site::kBlog), std::vector<std::string>{"/post/1d3adc9c_780596c"});
}

TEST_F(MainWindowTest, ClicksPickOptionsAndEmptyTheKeywordBox) {
    MainWindow& m = program->Main();
    ClickOn(m.OptionHandle(3));
    PumpFor(50);
    EXPECT_TRUE(program->View().OptionChecked(3));
    EXPECT_TRUE(E(m.PageBox())->Visible());
    EXPECT_TRUE(E(m.NextButton())->Visible());
    ClickOn(m.OptionHandle(5));
    ClickOn(m.OptionHandle(2));
    PumpFor(50);
    for (int k = 1; k <= 20; ++k) EXPECT_EQ(program->View().OptionChecked(k), k == 2) << k;
    EXPECT_FALSE(E(m.PageBox())->Visible());
    ClickOn(m.KeywordBox());
    EXPECT_EQ(program->View().BoxText(EditBox::Keyword), "");
    // The empty keyword asks for input and starts nothing.
    ClickOn(m.SearchButton());
    PumpFor(100);
    EXPECT_EQ(boxes, std::vector<Text>{G("请输入内容！")});
    EXPECT_TRUE(sim.Targets(sitesim::Site::kShareIndex).empty());
}

TEST_F(MainWindowTest, MagnetSearchFillsTheTableAndCopyPutsTheRowsLink) {
    MainWindow& m = program->Main();
    program->View().SetBoxText(EditBox::Keyword, G("三体"));
    ClickOn(m.OptionHandle(1));
    ClickOn(m.SearchButton());
    ASSERT_TRUE(PumpUntil([&] { return !boxes.empty(); }));
    EXPECT_EQ(boxes[0].rfind(G("共找到  25  个内容"), 0), 0u) << GbkToUtf8(boxes[0]);
    EXPECT_EQ(Rows(), 25);
    EXPECT_EQ(Label(StatusLabel::Operation), G("搜索完毕！"));
    EXPECT_EQ(Label(StatusLabel::Data), G("已获取数据25个"));
    EXPECT_EQ(program->View().Cell(25, 1), "25");
    EXPECT_EQ(program->View().Cell(3, 6).rfind("magnet:?xt=urn:btih:", 0), 0u);
    EXPECT_EQ(sim.Targets(sitesim::Site::kMagnet).size(), 4u);   // probe and three pages

    m.TableControl().Selection(3);
    const Text link = program->View().Cell(3, 6);
    program->Rows().CopyRowLink();
    ASSERT_TRUE(OpenClipboard(nullptr));
    HANDLE unicode = GetClipboardData(CF_UNICODETEXT);
    ASSERT_NE(unicode, nullptr);
    EXPECT_EQ(ui::WideToGbk(static_cast<const wchar_t*>(GlobalLock(unicode))), link);
    GlobalUnlock(unicode);
    HANDLE ansi = GetClipboardData(CF_TEXT);
    ASSERT_NE(ansi, nullptr);
    EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(ansi))), link);
    GlobalUnlock(ansi);
    CloseClipboard();
}

TEST_F(MainWindowTest, EnterStartsASearchAndEscStopsIt) {
    MainWindow& m = program->Main();
    sitesim::FaultPlan slow;
    // Eleven magnet requests, up to three at once: at 400 ms each the walk
    // lasts well over a second after its first rows, even on a loaded machine.
    slow.latencyMs = 400;
    sim.SetFaults(sitesim::Site::kMagnet, slow);
    program->View().SetBoxText(EditBox::Keyword, "ubuntu iso");
    ClickOn(m.OptionHandle(1));
    program->Host().SetFocus(m.KeywordBox());
    Key(VK_RETURN);
    ASSERT_TRUE(PumpUntil([&] { return Rows() >= 10; }));
    Key(VK_ESCAPE);
    EXPECT_EQ(Label(StatusLabel::Operation), G("搜索已停止！"));
    const int kept = Rows();
    PumpFor(1000);   // long enough for several more pages
    EXPECT_EQ(Rows(), kept);
    EXPECT_LT(kept, 100);
    EXPECT_GE(kept, 10);
    EXPECT_EQ(Label(StatusLabel::Operation), G("搜索已停止！"));
    EXPECT_TRUE(boxes.empty());   // no closing message
    EXPECT_FALSE(program->Flow().Busy());
}

TEST_F(MainWindowTest, TabMovesBetweenTheShownBoxesAndButtons) {
    MainWindow& m = program->Main();
    program->Host().SetFocus(m.KeywordBox());
    std::vector<ElementHandle> visited;
    for (int i = 0; i < 4; ++i) {
        Key(VK_TAB);
        visited.push_back(program->Host().Focused());
    }
    EXPECT_EQ(visited, (std::vector<ElementHandle>{m.SearchButton(), m.BlogButton(), m.KeywordBox(), m.SearchButton()}));
    ClickOn(m.OptionHandle(9));   // a disk option shows the paging controls
    program->Host().SetFocus(m.BlogButton());
    visited.clear();
    for (int i = 0; i < 4; ++i) {
        Key(VK_TAB);
        visited.push_back(program->Host().Focused());
    }
    EXPECT_EQ(visited, (std::vector<ElementHandle>{m.PreviousButton(), m.PageBox(), m.NextButton(), m.KeywordBox()}));
}

TEST_F(MainWindowTest, ShareIndexOpenResolvesTheDetailPageAndRefusesHostileLinks) {
    MainWindow& m = program->Main();
    // The opener runs on the row actions' background thread.
    std::mutex openedMutex;
    std::vector<std::string> opened;
    std::vector<DWORD> openerThreads;
    program->Platform().SetOpener([&](const Text& link, const std::string& scheme) {
        std::lock_guard<std::mutex> lock(openedMutex);
        opened.push_back(scheme + " " + link);
        openerThreads.push_back(GetCurrentThreadId());
    });
    auto openedNow = [&] {
        std::lock_guard<std::mutex> lock(openedMutex);
        return opened;
    };
    program->View().SetBoxText(EditBox::Keyword, G("恶意 链接"));
    ClickOn(m.OptionHandle(2));
    ClickOn(m.SearchButton());
    ASSERT_TRUE(PumpUntil([&] { return !boxes.empty(); }));
    ASSERT_EQ(Rows(), 1);
    boxes.clear();
    m.TableControl().Selection(1);
    program->Rows().OpenRowLink();
    ASSERT_TRUE(PumpUntil([&] { return !boxes.empty(); }));
    EXPECT_EQ(boxes, std::vector<Text>{G("这个链接不安全，不能打开！")});
    PumpFor(200);
    EXPECT_TRUE(openedNow().empty());
    EXPECT_EQ(sim.Targets(sitesim::Site::kShareIndex).back().rfind("/r/", 0), 0u);

    boxes.clear();
    program->View().SetBoxText(EditBox::Keyword, G("纪录片 地球脉动"));
    ClickOn(m.SearchButton());
    ASSERT_TRUE(PumpUntil([&] { return !boxes.empty(); }));
    ASSERT_GT(Rows(), 0);
    m.TableControl().Selection(1);
    program->Rows().OpenRowLink();
    ASSERT_TRUE(PumpUntil([&] { return !openedNow().empty(); }));
    opened = openedNow();
    EXPECT_TRUE(opened[0].rfind("http http://", 0) == 0 || opened[0].rfind("ed2k ed2k://", 0) == 0 ||
                opened[0].rfind("thunder thunder://", 0) == 0)
        << opened[0];
    // The shell open ran off the window's thread, which kept answering.
    std::lock_guard<std::mutex> lock(openedMutex);
    ASSERT_EQ(openerThreads.size(), 1u);
    EXPECT_NE(openerThreads[0], GetCurrentThreadId());
}

}  // namespace
}  // namespace sorvix::app
