// UiListView: operations (queued from other threads, see listview.h),
// layout, scrolling, mouse selection and painting.
#include "ui/listview.h"

#include "ui/host.h"
#include "ui/picture.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace sorvix::ui {

namespace {

double NowMs() {
    static const double perMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / perMs;
}

constexpr float kCellPadding = 4.0f;
constexpr float kEpsilon = 1e-7f;

Gdiplus::Font* MakeListFont(const Text& family, float size, int style) {
    Gdiplus::Font* def = Lib().defaultFont;
    if (family.empty()) {
        if (def && CoordEqual(size, 12.0f) && style == 0) return def->Clone();
        if (def) return CreateFontByName(FontFamilyName(def), size, style);
        return CreateFontByName("", size, style);
    }
    return CreateFontByName(family, size, style);
}

Gdiplus::StringFormat* MakeListFormat() {
    auto* f = new Gdiplus::StringFormat();
    f->SetFormatFlags(Gdiplus::StringFormatFlagsNoWrap | Gdiplus::StringFormatFlagsMeasureTrailingSpaces);
    f->SetAlignment(Gdiplus::StringAlignmentNear);
    f->SetLineAlignment(Gdiplus::StringAlignmentCenter);
    f->SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
    f->SetHotkeyPrefix(Gdiplus::HotkeyPrefixNone);
    return f;
}

Gdiplus::StringAlignment AlignmentOf(int a) {
    return a == kAlignCentre ? Gdiplus::StringAlignmentCenter
           : a == kAlignFar  ? Gdiplus::StringAlignmentFar
                             : Gdiplus::StringAlignmentNear;
}

bool Intersects(const Gdiplus::RectF& a, const Gdiplus::RectF& b) {
    return a.X < b.GetRight() && b.X < a.GetRight() && a.Y < b.GetBottom() && b.Y < a.GetBottom();
}

// 1-pixel lines as whole-pixel fills (x or y is the pixel's index), so
// they stay crisp whatever the smoothing mode.
void HLine(Gdiplus::Graphics& g, Gdiplus::Brush& brush, float x1, float x2, float y) {
    auto mode = g.GetSmoothingMode();
    g.SetSmoothingMode(Gdiplus::SmoothingModeNone);
    g.FillRectangle(&brush, x1, y, x2 - x1, 1.0f);
    g.SetSmoothingMode(mode);
}
void VLine(Gdiplus::Graphics& g, Gdiplus::Brush& brush, float x, float y1, float y2) {
    auto mode = g.GetSmoothingMode();
    g.SetSmoothingMode(Gdiplus::SmoothingModeNone);
    g.FillRectangle(&brush, x, y1, 1.0f, y2 - y1);
    g.SetSmoothingMode(mode);
}

}  // namespace

UiListView::UiListView() = default;

UiListView::~UiListView() {
    Destroy();
    delete font_;
    font_ = nullptr;
}

ElementHandle UiListView::Create(UiParent parent, const UiRect& rect, const ListViewOptions& o) {
    if (Handle()) return Handle();
    style_ = std::clamp(o.style, 0, 2);
    noHeader_ = o.noHeader || style_ != 0;
    gridLines_ = o.gridLines.value_or(style_ == 0 ? 3 : 0);
    singleSelect_ = o.singleSelect;
    textColour_ = o.textColour;
    hotText_ = o.hotText;
    selectedText_ = o.selectedText;
    hotBack_ = o.hotBack;
    selectedBack_ = o.selectedBack;
    colour3_ = o.colour3;
    colour4_ = o.colour4;
    delete font_;
    font_ = MakeListFont(o.fontFamily, o.size, o.fontStyle);
    format_.reset(MakeListFormat());
    ResetState();
    CreateOptions co;
    co.visible = o.visible;
    co.focusable = true;
    ElementHandle h = UiElement::Create(parent, rect, kKind, co);
    if (!h) return 0;
    {
        std::lock_guard<std::mutex> guard(queueLock_);
        ownerWindow_ = HostWindow();
        ownerHandle_ = h;
        ownerThread_ = GetWindowThreadProcessId(HostWindow(), nullptr);
        accepting_ = true;
        runPosted_ = false;
        plannedRows_ = 0;
        plannedColumns_ = 0;
        queue_.clear();
    }
    ScrollBarOptions so;
    so.horizontal = false;
    so.visible = false;
    so.maximum = 0;
    vScroll_.Create(h, {rect.x, rect.y, static_cast<float>(kScrollBarThickness), rect.h}, so);
    vScroll_.SetScrollHandler([this](int p) { SetScrollOffset(-static_cast<float>(p), true); });
    so.horizontal = true;
    hScroll_.Create(h, {rect.x, rect.y, rect.w, static_cast<float>(kScrollBarThickness)}, so);
    hScroll_.SetScrollHandler([this](int p) {
        hOffset_ = static_cast<float>(p);
        Relayout();
        Paint(nullptr);
    });
    LayoutScrollBars();
    UpdateScrollRange();
    return h;
}

void UiListView::ResetState() {
    columns_.clear();
    rows_.clear();
    imageRows_.clear();
    headerImage_.reset();
    headerStamp_ = 0;
    ++layoutStamp_;
    selection_.clear();
    iconCache_.clear();
    scrollOffset_ = hOffset_ = 0;
    contentHeight_ = 0;
    firstVisible_ = lastVisible_ = hotRow_ = currentRow_ = 0;
    focused_ = false;
    scrollRangePosted_ = false;
    batch_ = 0;
    batchRepaint_ = batchScrollRange_ = false;
    batchFirst_ = batchLast_ = 0;
    runningQueue_ = false;
}

// ---- Threads -------------------------------------------------------------------

bool UiListView::OnOwnerThread() const {
    return ownerThread_ == 0 || GetCurrentThreadId() == ownerThread_;
}

template <class Fn>
void UiListView::Submit(std::unique_lock<std::mutex>& lock, Fn&& fn) {
    bool onOwner = OnOwnerThread();
    if (onOwner && !runningQueue_ && queue_.empty()) {
        lock.unlock();
        fn();
        return;
    }
    queue_.emplace_back(std::forward<Fn>(fn));
    if (onOwner) {
        // Behind operations queued by other threads: they run first, in order.
        lock.unlock();
        RunQueue(false);
        return;
    }
    if (!runPosted_ && ownerWindow_) {
        // The block belongs to the host once the post succeeded.
        auto* block = new ElementMessage{kMsgRunQueue, 0, 0};
        if (PostMessageW(ownerWindow_, UIM_ELEMENTMESSAGE, ownerHandle_, reinterpret_cast<LPARAM>(block))) {
            runPosted_ = true;
        } else {
            delete block;
        }
    }
}

void UiListView::RunQueue(bool sliced) {
    if (runningQueue_) return;
    runningQueue_ = true;
    BeginBatch();
    double start = NowMs();
    int done = 0;
    for (;;) {
        std::function<void()> fn;
        {
            std::lock_guard<std::mutex> guard(queueLock_);
            if (queue_.empty()) {
                if (sliced) runPosted_ = false;
                break;
            }
            // Long runs give the window back every few milliseconds so it
            // keeps answering while a worker streams rows in.
            if (sliced && (++done & 63) == 0 && NowMs() - start > kQueueSliceMs) {
                auto* block = new ElementMessage{kMsgRunQueue, 0, 0};
                if (!PostMessageW(ownerWindow_, UIM_ELEMENTMESSAGE, ownerHandle_,
                                  reinterpret_cast<LPARAM>(block))) {
                    delete block;
                    runPosted_ = false;
                }
                break;
            }
            fn = std::move(queue_.front());
            queue_.pop_front();
        }
        fn();
    }
    runningQueue_ = false;
    EndBatch(sliced);
}

void UiListView::EndBatch(bool sliced) {
    if (--batch_ > 0) return;
    batch_ = 0;
    if (!Handle()) return;
    bool range = batchScrollRange_, repaint = batchRepaint_;
    int first = batchFirst_, last = batchLast_;
    batchScrollRange_ = batchRepaint_ = false;
    batchFirst_ = batchLast_ = 0;
    if (!range && !repaint && first == 0) return;
    // Everything below is composed and shown once, at the end.
    UiHost* host = Host();
    bool freeze = host && !host->Frozen();
    if (freeze) host->Freeze(true);
    if (range) UpdateScrollRange();
    double deadline = sliced ? NowMs() + kPaintSliceMs : 0;
    int left = 0;
    if (repaint) {
        left = Paint(nullptr, deadline);
        last = lastVisible_;
    } else if (first > 0) {
        // Only the rows the batch touched, as they lie now.
        first = std::max(first, firstVisible_);
        last = std::min(last, lastVisible_);
        if (first > 0 && first <= last) {
            float top = std::max(viewRect_.Y, RowTop(first));
            float bottom = std::min(viewRect_.GetBottom(), RowTop(last) + rowHeight_);
            Gdiplus::RectF area(viewRect_.X, top, viewRect_.Width, bottom - top);
            if (area.Height > 0) left = Paint(&area, deadline);
        }
    }
    if (freeze) {
        host->Freeze(false);
        // What changed while frozen: the painted rows, and the scroll bars
        // when the range moved.
        if (range) {
            AddFrozenArea(vScroll_.Rect());
            AddFrozenArea(hScroll_.Rect());
        }
        if (Visible() && frozenArea_.w > 0) host->RecomposeSoon(frozenArea_);
        frozenArea_ = {};
    }
    if (left > 0 && left <= last) {
        // The rest of the rows are painted by the next run, after whatever
        // else the window has to answer.
        BatchRows(left, last);
        PostRun();
    }
}

void UiListView::AddFrozenArea(const UiRect& a) {
    if (a.w <= 0 || a.h <= 0) return;
    if (frozenArea_.w <= 0) {
        frozenArea_ = a;
        return;
    }
    float x0 = std::min(frozenArea_.x, a.x), y0 = std::min(frozenArea_.y, a.y);
    float x1 = std::max(frozenArea_.Right(), a.Right()), y1 = std::max(frozenArea_.Bottom(), a.Bottom());
    frozenArea_ = {x0, y0, x1 - x0, y1 - y0};
}

bool UiListView::OtherMessagesWaiting() {
    return HIWORD(GetQueueStatus(QS_POSTMESSAGE | QS_INPUT | QS_SENDMESSAGE)) != 0;
}

void UiListView::PostRun() {
    std::lock_guard<std::mutex> guard(queueLock_);
    if (runPosted_ || !ownerWindow_) return;
    auto* block = new ElementMessage{kMsgRunQueue, 0, 0};
    if (PostMessageW(ownerWindow_, UIM_ELEMENTMESSAGE, ownerHandle_, reinterpret_cast<LPARAM>(block))) {
        runPosted_ = true;
    } else {
        delete block;
    }
}

void UiListView::BatchRows(int first, int last) {
    batchFirst_ = batchFirst_ ? std::min(batchFirst_, first) : first;
    batchLast_ = std::max(batchLast_, last);
}

size_t UiListView::PendingOperations() const {
    std::lock_guard<std::mutex> guard(queueLock_);
    return queue_.size();
}

void UiListView::Flush() {
    RunOnHostThread([this] { RunQueue(false); });
}

// ---- The operations ---------------------------------------------------------------

void UiListView::InsertColumn(int position, const Text& text, int width, std::optional<int> alignment,
                              int image) {
    std::wstring wide = GbkToWide(text);
    std::unique_lock<std::mutex> lock(queueLock_);
    if (!accepting_ || position < 0 || position > plannedColumns_ + 1) return;
    ++plannedColumns_;
    Submit(lock, ([this, position, w = std::move(wide), width, alignment, image]() mutable {
                    DoInsertColumn(position, std::move(w), width, alignment, image);
                }));
}

int UiListView::InsertItem(int position, const Text& text, int image, uint32_t user1, uint32_t user2,
                           std::optional<Argb> colour, bool repaint) {
    std::wstring wide = GbkToWide(text);
    std::unique_lock<std::mutex> lock(queueLock_);
    if (!accepting_) return 0;
    int at = position <= 0 || position > plannedRows_ ? plannedRows_ + 1 : position;
    ++plannedRows_;
    Submit(lock, ([this, at, w = std::move(wide), image, user1, user2, colour, repaint]() mutable {
                    DoInsertItem(at, std::move(w), image, user1, user2, colour.value_or(textColour_), repaint);
                }));
    return at;
}

void UiListView::DeleteAllItems() {
    std::unique_lock<std::mutex> lock(queueLock_);
    if (!accepting_) return;
    plannedRows_ = 0;
    Submit(lock, [this] { DoDeleteAll(); });
}

int UiListView::SetItemText(int row, int column, const Text& text) {
    std::wstring wide = GbkToWide(text);
    std::unique_lock<std::mutex> lock(queueLock_);
    if (!accepting_ || row < 1 || row > plannedRows_ || column < 1 || column > plannedColumns_) return 0;
    Submit(lock, ([this, row, column, w = std::move(wide)]() mutable {
                    DoSetItemText(row, column, std::move(w));
                }));
    return 1;
}

Text UiListView::GetItemText(int row, int column) {
    Text out;
    RunOnHostThread([&] {
        RunQueue(false);
        if (row < 1 || row > static_cast<int>(rows_.size()) || column < 1 ||
            column > static_cast<int>(columns_.size())) {
            return;
        }
        out = WideToGbk(rows_[static_cast<size_t>(row - 1)].cells[static_cast<size_t>(column - 1)]);
    });
    return out;
}

int UiListView::Selection(std::optional<int> set) {
    int out = 0;
    RunOnHostThread([&] {
        RunQueue(false);
        out = set ? DoSelection(*set) : currentRow_;
    });
    return out;
}

int UiListView::RowState(int row, std::optional<int> set) {
    int out = 0;
    RunOnHostThread([&] {
        RunQueue(false);
        if (row < 1 || row > static_cast<int>(rows_.size())) return;
        if (set) {
            int s = *set;
            if (s == kRowSelected) Select(row);
            else if (rows_[static_cast<size_t>(row - 1)].state == kRowSelected) Unselect(row);
            if (s != kRowSelected) SetRowState(row, s == kRowHot ? kRowHot : kRowNormal);
        }
        out = rows_[static_cast<size_t>(row - 1)].state;
    });
    return out;
}

int UiListView::RowCount() {
    int out = 0;
    RunOnHostThread([&] {
        RunQueue(false);
        out = static_cast<int>(rows_.size());
    });
    return out;
}

int UiListView::ColumnCount() {
    int out = 0;
    RunOnHostThread([&] {
        RunQueue(false);
        out = static_cast<int>(columns_.size());
    });
    return out;
}

int UiListView::ColumnWidth(int column, std::optional<int> set) {
    int out = 0;
    RunOnHostThread([&] {
        RunQueue(false);
        if (column < 1 || column > static_cast<int>(columns_.size())) return;
        Column& c = columns_[static_cast<size_t>(column - 1)];
        if (set && *set != c.width) {
            c.width = std::max(0, *set);
            Relayout();
            UpdateScrollRange();
            Paint(nullptr);
        }
        out = c.width;
    });
    return out;
}

Text UiListView::ColumnText(int column, std::optional<Text> set) {
    Text out;
    RunOnHostThread([&] {
        RunQueue(false);
        if (column < 1 || column > static_cast<int>(columns_.size())) return;
        Column& c = columns_[static_cast<size_t>(column - 1)];
        if (set) {
            c.text = GbkToWide(*set);
            Relayout();
            if (!noHeader_) Paint(&headerRect_);
        }
        out = WideToGbk(c.text);
    });
    return out;
}

int UiListView::ItemImage(int row, int column, std::optional<int> set) {
    int out = -1;
    RunOnHostThread([&] {
        RunQueue(false);
        if (row < 1 || row > static_cast<int>(rows_.size()) || column < 1 ||
            column > static_cast<int>(columns_.size())) {
            return;
        }
        int& image = rows_[static_cast<size_t>(row - 1)].images[static_cast<size_t>(column - 1)];
        if (set && *set != image) {
            image = *set;
            ForgetRowImage(row);
            RequestRowRepaint(row);
        }
        out = image;
    });
    return out;
}

uint32_t UiListView::UserValue(int row, int which, std::optional<uint32_t> set) {
    uint32_t out = 0;
    RunOnHostThread([&] {
        RunQueue(false);
        if (row < 1 || row > static_cast<int>(rows_.size()) || which < 1 || which > 2) return;
        uint32_t& v = rows_[static_cast<size_t>(row - 1)].user[which - 1];
        if (set) v = *set;
        out = v;
    });
    return out;
}

Argb UiListView::RowColour(int row, std::optional<Argb> set) {
    Argb out = 0;
    RunOnHostThread([&] {
        RunQueue(false);
        if (row < 1 || row > static_cast<int>(rows_.size())) return;
        Argb& c = rows_[static_cast<size_t>(row - 1)].colour;
        if (set && *set != c) {
            c = *set;
            ForgetRowImage(row);
            RequestRowRepaint(row);
        }
        out = c;
    });
    return out;
}

std::vector<int> UiListView::SelectedRows() {
    std::vector<int> out;
    RunOnHostThread([&] {
        RunQueue(false);
        out = selection_;
    });
    return out;
}

int UiListView::HitTest(int x, int y) {
    int out = 0;
    RunOnHostThread([&] {
        RunQueue(false);
        UiRect r = Rect();
        out = RowAt(static_cast<float>(x) - r.x, static_cast<float>(y) - r.y);
    });
    return out;
}

void UiListView::EnsureVisible(int row) {
    std::unique_lock<std::mutex> lock(queueLock_);
    if (!accepting_) return;
    Submit(lock, ([this, row] { PostEvent(kMsgEnsureVisible, 0, row); }));
}

int UiListView::ScrollPosition(std::optional<int> set) {
    int out = 0;
    RunOnHostThread([&] {
        RunQueue(false);
        if (set) SetScrollOffset(-static_cast<float>(*set), true);
        out = static_cast<int>(std::lround(-scrollOffset_));
    });
    return out;
}

HIMAGELIST UiListView::HeaderImages(std::optional<HIMAGELIST> set) {
    HIMAGELIST out = nullptr;
    RunOnHostThread([&] {
        if (set && *set != headerImages_) {
            headerImages_ = *set;
            iconCache_.clear();
            if (Handle()) {
                Layout();
                UpdateScrollRange();
                Paint(nullptr);
            }
        }
        out = headerImages_;
    });
    return out;
}

HIMAGELIST UiListView::RowImages(std::optional<HIMAGELIST> set) {
    HIMAGELIST out = nullptr;
    RunOnHostThread([&] {
        if (set && *set != rowImages_) {
            rowImages_ = *set;
            iconCache_.clear();
            if (Handle()) {
                Layout();
                UpdateScrollRange();
                Paint(nullptr);
            }
        }
        out = rowImages_;
    });
    return out;
}

// ---- Applied on the window's thread ------------------------------------------------

void UiListView::DoInsertColumn(int position, std::wstring text, int width, std::optional<int> alignment,
                                int image) {
    int count = static_cast<int>(columns_.size());
    if (position < 0 || position > count + 1) return;
    int at = position == 0 ? count + 1 : position;
    Column c;
    c.text = std::move(text);
    c.width = std::max(0, width);
    c.image = image;
    // The first column is always near-aligned, whatever was asked.
    c.alignment = (!alignment || columns_.empty()) ? kAlignNear : std::clamp(*alignment, 0, 2);
    columns_.insert(columns_.begin() + (at - 1), std::move(c));
    Relayout();
    for (Row& r : rows_) {
        r.cells.insert(r.cells.begin() + (at - 1), std::wstring());
        r.images.insert(r.images.begin() + (at - 1), -1);
    }
    if (batch_) {
        batchScrollRange_ = batchRepaint_ = true;
    } else {
        SendEvent(kMsgColumnsChanged, 0, 0);
    }
}

void UiListView::DoInsertItem(int position, std::wstring text, int image, uint32_t user1, uint32_t user2,
                              Argb colour, bool repaint) {
    int count = static_cast<int>(rows_.size());
    int at = position <= 0 || position > count ? count + 1 : position;
    Row r;
    size_t n = columns_.size();
    r.cells.resize(n);
    r.images.assign(n, -1);
    if (n > 0) {
        r.cells[0] = std::move(text);
        r.images[0] = image;
    }
    r.user[0] = user1;
    r.user[1] = user2;
    r.colour = colour;
    // Kept images are found by row number: a row put in front of others
    // renumbers them.
    if (at <= count) ForgetImages();
    rows_.insert(rows_.begin() + (at - 1), std::move(r));
    for (int& s : selection_) {
        if (s >= at) ++s;
    }
    if (currentRow_ >= at) ++currentRow_;
    if (hotRow_ >= at) ++hotRow_;
    contentHeight_ = ComputeContentHeight();
    UpdateVisibleRange();
    if (batch_) {
        batchScrollRange_ = true;
    } else if (!scrollRangePosted_) {
        scrollRangePosted_ = true;
        PostEvent(kMsgScrollRange, 0, 0);
    }
    if (repaint && RowShown(at)) {
        if (batch_) BatchRows(at, lastVisible_);
        else SendEvent(kMsgRowChanged, 1, at);
    }
}

void UiListView::DoDeleteAll() {
    rows_.clear();
    imageRows_.clear();
    selection_.clear();
    scrollOffset_ = 0;
    firstVisible_ = lastVisible_ = 0;
    hotRow_ = currentRow_ = 0;
    contentHeight_ = 0;
    if (batch_) {
        batchScrollRange_ = batchRepaint_ = true;
    } else {
        SendEvent(kMsgAllDeleted, 0, 0);
    }
}

void UiListView::DoSetItemText(int row, int column, std::wstring text) {
    if (row < 1 || row > static_cast<int>(rows_.size()) || column < 1 ||
        column > static_cast<int>(columns_.size())) {
        return;
    }
    Row& r = rows_[static_cast<size_t>(row - 1)];
    r.cells[static_cast<size_t>(column - 1)] = std::move(text);
    r.imageStamp = 0;
    RequestRowRepaint(row);
}

int UiListView::DoSelection(int row) {
    for (int s : selection_) {
        if (s >= 1 && s <= static_cast<int>(rows_.size())) SetRowState(s, s == hotRow_ ? kRowHot : kRowNormal);
    }
    selection_.clear();
    if (currentRow_) RequestRowRepaint(currentRow_);
    SetCurrent(row >= 1 && row <= static_cast<int>(rows_.size()) ? row : 0);
    if (currentRow_) Select(currentRow_);
    return currentRow_;
}

// ---- Layout and scrolling ----------------------------------------------------------

void UiListView::Layout() {
    UiRect r = Rect();
    frameRect_ = Gdiplus::RectF(2, 2, std::max(0.0f, r.w - 4), std::max(0.0f, r.h - 4));
    lineHeight_ = font_ ? font_->GetHeight(96.0f) : 12.0f;
    float rh = std::ceil(lineHeight_) + 3;
    float header = 0;
    if (!noHeader_) {
        header = rh;
        int cx = 0, cy = 0;
        if (headerImages_ && ImageList_GetIconSize(headerImages_, &cx, &cy)) {
            header = std::max(header, static_cast<float>(cy));
        }
        header += 6;
    }
    header = std::min(header, frameRect_.Height);
    headerRect_ = Gdiplus::RectF(frameRect_.X, frameRect_.Y, frameRect_.Width, header);
    viewRect_ = Gdiplus::RectF(frameRect_.X, frameRect_.Y + header, frameRect_.Width, frameRect_.Height - header);
    int cx = 0, cy = 0;
    bool icons = rowImages_ && ImageList_GetIconSize(rowImages_, &cx, &cy);
    if (style_ == kStyleLargeIcons) {
        // A tile holds the icon with one line of text under it.
        rh += 3 + (icons ? static_cast<float>(cy) + 4 : 0.0f);
    } else if (icons && static_cast<float>(cy) >= rh) {
        rh = static_cast<float>(cy) + 6;
    } else {
        rh += 3;
    }
    rowHeight_ = rh;
    Relayout();
    contentHeight_ = ComputeContentHeight();
    LayoutScrollBars();
    UpdateVisibleRange();
}

void UiListView::LayoutScrollBars() {
    if (!vScroll_.Handle() || !hScroll_.Handle()) return;
    UiRect r = Rect();
    const float t = static_cast<float>(kScrollBarThickness);
    bool h = hScroll_.Visible();
    bool v = vScroll_.Visible();
    vScroll_.Move(r.x + viewRect_.GetRight() - t, r.y + viewRect_.Y, t,
                  std::max(1.0f, viewRect_.Height - (h ? t : 0)));
    hScroll_.Move(r.x + viewRect_.X, r.y + viewRect_.GetBottom() - t,
                  std::max(1.0f, viewRect_.Width - (v ? t : 0)), t);
}

float UiListView::TotalColumnWidth() const {
    float w = 0;
    for (const Column& c : columns_) w += static_cast<float>(c.width);
    return w;
}

void UiListView::UpdateScrollRange() {
    if (!Handle()) return;
    contentHeight_ = ComputeContentHeight();
    const float t = static_cast<float>(kScrollBarThickness);
    // Tiles take the view's width; only report columns can overflow it.
    bool needH = !Tiled() && TotalColumnWidth() - viewRect_.Width > kEpsilon;
    float viewH = viewRect_.Height - (needH ? t : 0);
    // The vertical bar lies over the rows' right end; it does not make the
    // columns need a horizontal bar of their own.
    bool needV = contentHeight_ - viewH > kEpsilon;
    bool layoutChanged = needV != vScroll_.Visible() || needH != hScroll_.Visible();
    if (vScroll_.Handle()) {
        vScroll_.SetValues(needV ? static_cast<int>(std::ceil(contentHeight_ - viewH)) : 0,
                           static_cast<int>(std::max(1.0f, viewH)), static_cast<int>(rowHeight_),
                           static_cast<int>(std::lround(-scrollOffset_)));
    }
    if (hScroll_.Handle()) {
        float viewW = viewRect_.Width;
        hScroll_.SetValues(needH ? static_cast<int>(std::ceil(TotalColumnWidth() - viewW)) : 0,
                           static_cast<int>(std::max(1.0f, viewW)), 20, static_cast<int>(std::lround(hOffset_)));
    }
    if (layoutChanged) {
        vScroll_.Visible(needV);
        hScroll_.Visible(needH);
        LayoutScrollBars();
    }
    bool repaint = false;
    float h = needH ? std::min(hOffset_, static_cast<float>(hScroll_.Maximum())) : 0.0f;
    if (h != hOffset_) {
        hOffset_ = h;
        Relayout();
        repaint = true;
    }
    // Hidden: the offset returns to 0. Shown: it stays inside the new range.
    float lowest = needV ? -(contentHeight_ - viewH) : 0.0f;
    float clamped = std::clamp(scrollOffset_, std::min(lowest, 0.0f), 0.0f);
    if (clamped != scrollOffset_) {
        scrollOffset_ = clamped;
        repaint = true;
    }
    vScroll_.Position(static_cast<int>(std::lround(-scrollOffset_)));
    UpdateVisibleRange();
    if (repaint) Paint(nullptr);
}

void UiListView::UpdateVisibleRange() {
    int count = static_cast<int>(rows_.size());
    if (count == 0 || rowHeight_ <= 0 || viewRect_.Height <= 0) {
        firstVisible_ = lastVisible_ = 0;
        return;
    }
    // Lines of rows (one row per line in a report, a line of tiles otherwise).
    float top = -scrollOffset_;
    int per = TilesPerLine();
    int firstLine = static_cast<int>(std::floor(top / rowHeight_));
    int lastLine = static_cast<int>(std::floor((top + viewRect_.Height - 0.001f) / rowHeight_));
    int first = firstLine * per + 1;
    int last = (lastLine + 1) * per;
    if (first > count) {
        firstVisible_ = lastVisible_ = 0;
        return;
    }
    firstVisible_ = std::max(1, first);
    lastVisible_ = std::min(count, last);
}

void UiListView::SetScrollOffset(float offset, bool repaint) {
    float viewH = viewRect_.Height - (hScroll_.Visible() ? static_cast<float>(kScrollBarThickness) : 0);
    float lowest = std::min(0.0f, -(contentHeight_ - viewH));
    offset = std::clamp(offset, lowest, 0.0f);
    if (offset == scrollOffset_) return;
    scrollOffset_ = offset;
    vScroll_.Position(static_cast<int>(std::lround(-scrollOffset_)));
    UpdateVisibleRange();
    if (repaint) Paint(nullptr);
}

int UiListView::TilesPerLine() const {
    if (!Tiled()) return 1;
    return std::max(1, static_cast<int>(std::floor(viewRect_.Width / TileWidth())));
}

float UiListView::ComputeContentHeight() const {
    int per = TilesPerLine();
    int lines = (static_cast<int>(rows_.size()) + per - 1) / per;
    return static_cast<float>(lines) * rowHeight_;
}

float UiListView::RowTop(int row) const {
    int line = (row - 1) / TilesPerLine();
    return viewRect_.Y + static_cast<float>(line) * rowHeight_ + scrollOffset_;
}

Gdiplus::RectF UiListView::RowBox(int row) const {
    if (!Tiled()) return Gdiplus::RectF(viewRect_.X, RowTop(row), viewRect_.Width, rowHeight_);
    int column = (row - 1) % TilesPerLine();
    return Gdiplus::RectF(viewRect_.X + static_cast<float>(column) * TileWidth(), RowTop(row), TileWidth(),
                          rowHeight_);
}

int UiListView::RowAt(float x, float y) const {
    if (x < viewRect_.X || x >= viewRect_.GetRight() || y < viewRect_.Y || y >= viewRect_.GetBottom()) return 0;
    if (rowHeight_ <= 0) return 0;
    int line = static_cast<int>(std::floor((y - viewRect_.Y - scrollOffset_) / rowHeight_));
    int row = line + 1;
    if (Tiled()) {
        int per = TilesPerLine();
        int column = static_cast<int>(std::floor((x - viewRect_.X) / TileWidth()));
        if (column >= per) return 0;   // the strip right of the last tile
        row = line * per + column + 1;
    }
    return row >= 1 && row <= static_cast<int>(rows_.size()) ? row : 0;
}

// ---- Repaint requests --------------------------------------------------------------

void UiListView::RequestRowRepaint(int row) {
    if (!RowShown(row)) return;
    if (batch_) {
        BatchRows(row, row);
        return;
    }
    SendEvent(kMsgRowChanged, 0, row);
}

void UiListView::RequestRowsFrom(int row) {
    float top = std::max(viewRect_.Y, RowTop(std::max(row, 1)));
    Gdiplus::RectF area(viewRect_.X, top, viewRect_.Width, viewRect_.GetBottom() - top);
    if (area.Height > 0) Paint(&area);
}

void UiListView::SetRowState(int row, int state) {
    if (row < 1 || row > static_cast<int>(rows_.size())) return;
    Row& r = rows_[static_cast<size_t>(row - 1)];
    if (r.state == state) return;
    r.state = state;
    RequestRowRepaint(row);
}

void UiListView::Select(int row) {
    if (row < 1 || row > static_cast<int>(rows_.size())) return;
    if (std::find(selection_.begin(), selection_.end(), row) == selection_.end()) selection_.push_back(row);
    SetRowState(row, kRowSelected);
}

void UiListView::Unselect(int row) {
    selection_.erase(std::remove(selection_.begin(), selection_.end(), row), selection_.end());
    SetRowState(row, row == hotRow_ ? kRowHot : kRowNormal);
}

void UiListView::ClearSelection() {
    std::vector<int> old;
    old.swap(selection_);
    for (int s : old) SetRowState(s, s == hotRow_ ? kRowHot : kRowNormal);
}

void UiListView::SetHot(int row) {
    if (row == hotRow_) return;
    int old = hotRow_;
    hotRow_ = row;
    int count = static_cast<int>(rows_.size());
    if (old >= 1 && old <= count && rows_[static_cast<size_t>(old - 1)].state != kRowSelected) {
        SetRowState(old, kRowNormal);
    }
    if (row >= 1 && row <= count && rows_[static_cast<size_t>(row - 1)].state != kRowSelected) {
        SetRowState(row, kRowHot);
    }
}

// ---- Input -------------------------------------------------------------------------

void UiListView::OnPress(UINT message, WPARAM wParam, LPARAM lParam) {
    UiRect r = Rect();
    int row = RowAt(static_cast<float>(GET_X_LPARAM(lParam)) - r.x, static_cast<float>(GET_Y_LPARAM(lParam)) - r.y);
    if (!row) return;
    ElementHandle self = Handle();
    if (onItemPress_) {
        ItemProc proc = onItemPress_;
        proc(*this, wParam, row);
        if (FromHandle(self) != this || row > static_cast<int>(rows_.size())) return;
    }
    // The press is where the pointer is, whether or not a move came first.
    SetHot(row);
    bool right = message == WM_RBUTTONDOWN;
    if (singleSelect_) {
        if (row == hotRow_) {
            for (int s : std::vector<int>(selection_)) {
                if (s != row) Unselect(s);
            }
            Select(row);
        }
    } else {
        // The double-click marker is not a key state; the keyboard's state is
        // read as well, as the press may come without its modifier bits.
        bool bits = wParam != kDoubleClickMarker;
        bool ctrl = GetKeyState(VK_CONTROL) < 0 || (bits && (wParam & MK_CONTROL));
        bool shift = GetKeyState(VK_SHIFT) < 0 || (bits && (wParam & MK_SHIFT));
        bool selected = rows_[static_cast<size_t>(row - 1)].state == kRowSelected;
        if (ctrl) {
            if (selected) Unselect(row);
            else Select(row);
        } else if (shift) {
            int from = currentRow_ ? currentRow_ : row;
            ClearSelection();
            int step = row >= from ? 1 : -1;
            for (int i = from;; i += step) {
                Select(i);
                if (i == row) break;
            }
        } else if (!right || !selected) {
            ClearSelection();
            Select(row);
        }
    }
    SetCurrent(row);
}

void UiListView::SetCurrent(int row) {
    if (row == currentRow_) return;
    int old = currentRow_;
    currentRow_ = row;
    // The focus cue moves with it.
    if (HasFocusCue()) {
        RequestRowRepaint(old);
        RequestRowRepaint(row);
    }
}

bool UiListView::HasFocusCue() {
    return focused_ && Handle();
}

void UiListView::OnRelease(UINT message, WPARAM wParam, LPARAM lParam) {
    UiRect r = Rect();
    int row = RowAt(static_cast<float>(GET_X_LPARAM(lParam)) - r.x, static_cast<float>(GET_Y_LPARAM(lParam)) - r.y);
    if (!row || row != currentRow_) return;
    ItemProc proc = message == WM_LBUTTONUP ? onItemClick_ : onItemRightClick_;
    if (proc) proc(*this, wParam, row);
}

void UiListView::OnWheel(WPARAM wParam) {
    if (!vScroll_.Visible()) return;
    float step = (style_ == 0 ? static_cast<float>(kWheelRows) : 1.0f) * rowHeight_;
    short delta = GET_WHEEL_DELTA_WPARAM(wParam);
    if (delta == 0) return;
    SetScrollOffset(scrollOffset_ + (delta > 0 ? step : -step), true);
}

LRESULT UiListView::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        Layout();
        return kNotHandled;
    case UIM_SIZE:
        Layout();
        UpdateScrollRange();
        return kNotHandled;
    case WM_PAINT:
        Paint(nullptr);
        return kNotHandled;
    case WM_MOUSEMOVE: {
        UiRect r = Rect();
        SetHot(RowAt(static_cast<float>(GET_X_LPARAM(lParam)) - r.x, static_cast<float>(GET_Y_LPARAM(lParam)) - r.y));
        return kNotHandled;
    }
    case UIM_MOUSELEAVE:
        SetHot(0);
        return kNotHandled;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
        OnPress(message, wParam, lParam);
        return kNotHandled;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
        OnRelease(message, wParam, lParam);
        return kNotHandled;
    case WM_MOUSEWHEEL:
        OnWheel(wParam);
        return 0;
    case WM_KEYDOWN:
        // No keyboard navigation: keys are answered, never acted on. Tab is
        // left to the host so the focus can still leave the list.
        if (GetKeyState(VK_CONTROL) < 0) return GetKeyState(VK_CONTROL);
        if (wParam >= VK_LEFT && wParam <= VK_DOWN) return 1;
        if (wParam == VK_TAB) return kNotHandled;
        return 0;
    case UIM_SETFOCUS:
    case UIM_KILLFOCUS:
        // The current row's focus cue comes and goes with the focus.
        focused_ = message == UIM_SETFOCUS;
        if (RowShown(currentRow_)) {
            Gdiplus::RectF area = RowBox(currentRow_);
            Paint(&area);
        }
        return kNotHandled;
    case kMsgRowChanged: {
        int row = static_cast<int>(lParam);
        if (wParam == 0) {
            if (RowShown(row)) {
                Gdiplus::RectF area = RowBox(row);
                Paint(&area);
            }
        } else {
            RequestRowsFrom(row);
        }
        return 0;
    }
    case kMsgAllDeleted:
        UpdateScrollRange();
        Paint(nullptr);
        return 0;
    case kMsgEnsureVisible: {
        int row = static_cast<int>(lParam);
        if (row < 1 || row > static_cast<int>(rows_.size())) return 0;
        float viewH = viewRect_.Height - (hScroll_.Visible() ? static_cast<float>(kScrollBarThickness) : 0);
        float top = RowTop(row), bottom = top + rowHeight_;
        if (top < viewRect_.Y) SetScrollOffset(scrollOffset_ + (viewRect_.Y - top), true);
        else if (bottom > viewRect_.Y + viewH) SetScrollOffset(scrollOffset_ - (bottom - viewRect_.Y - viewH), true);
        return 0;
    }
    case kMsgScrollRange:
        scrollRangePosted_ = false;
        UpdateScrollRange();
        return 0;
    case kMsgColumnsChanged:
        UpdateScrollRange();
        Paint(nullptr);
        return 0;
    case kMsgRunQueue:
        // A run goes behind whatever else waits for the window (once), so
        // a message posted meanwhile waits for one run at most, never for
        // a run and the frame queued before it.
        if (!runYielded_ && OtherMessagesWaiting()) {
            auto* block = new ElementMessage{kMsgRunQueue, 0, 0};
            if (PostMessageW(HostWindow(), UIM_ELEMENTMESSAGE, Handle(), reinterpret_cast<LPARAM>(block))) {
                runYielded_ = true;
                return 0;
            }
            delete block;
        }
        runYielded_ = false;
        RunQueue(true);
        return 0;
    case UIM_BACKGROUND:   // the default tints follow the host's background
        Paint(nullptr);
        return kNotHandled;
    case WM_DESTROY: {
        {
            std::lock_guard<std::mutex> guard(queueLock_);
            accepting_ = false;
            queue_.clear();
            runPosted_ = false;
            ownerWindow_ = nullptr;
            ownerHandle_ = 0;
            plannedRows_ = plannedColumns_ = 0;
        }
        ResetState();
        onItemPress_ = onItemClick_ = onItemRightClick_ = nullptr;
        format_.reset();
        delete font_;
        font_ = nullptr;
        headerImages_ = rowImages_ = nullptr;
        return kNotHandled;
    }
    default:
        return kNotHandled;
    }
}

// ---- Painting ----------------------------------------------------------------------

void UiListView::DrawIcon(Gdiplus::Graphics& g, HIMAGELIST list, int index, float x, float y, float h) {
    if (!list || index < 0) return;
    auto key = std::make_pair(list, index);
    auto it = iconCache_.find(key);
    if (it == iconCache_.end()) {
        HICON icon = ImageList_GetIcon(list, index, ILD_TRANSPARENT);
        std::unique_ptr<Gdiplus::Bitmap> bmp(IconToBitmap(icon));
        if (icon) DestroyIcon(icon);
        it = iconCache_.emplace(key, std::move(bmp)).first;
    }
    Gdiplus::Bitmap* bmp = it->second.get();
    if (!bmp) return;
    float iw = static_cast<float>(bmp->GetWidth()), ih = static_cast<float>(bmp->GetHeight());
    g.DrawImage(bmp, Gdiplus::RectF(x, y + (h - ih) / 2, iw, ih));
}

namespace {

// Clears a rectangle of a 32-bit bitmap to transparent through its bits:
// far cheaper than a source-copy Clear.
void ClearBits(Gdiplus::Bitmap* bitmap, int x, int y, int w, int h) {
    if (!bitmap) return;
    int bw = static_cast<int>(bitmap->GetWidth()), bh = static_cast<int>(bitmap->GetHeight());
    int x0 = std::max(0, x), y0 = std::max(0, y), x1 = std::min(bw, x + w), y1 = std::min(bh, y + h);
    if (x0 >= x1 || y0 >= y1) return;
    Gdiplus::Rect r(x0, y0, x1 - x0, y1 - y0);
    Gdiplus::BitmapData data{};
    if (bitmap->LockBits(&r, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, bitmap->GetPixelFormat(),
                         &data) != Gdiplus::Ok) {
        return;
    }
    for (UINT row = 0; row < data.Height; ++row) {
        std::memset(static_cast<char*>(data.Scan0) + static_cast<ptrdiff_t>(row) * data.Stride, 0,
                    static_cast<size_t>(data.Width) * 4);
    }
    bitmap->UnlockBits(&data);
}

// Copies a w x h block of one 32-bit ARGB bitmap into another. The list
// paints rows over its own cleared (transparent) buffer, where source-over
// is a copy: this is that copy without GDI+'s per-pixel blending. False when
// either bitmap refuses the lock.
bool CopyBits(Gdiplus::Bitmap* from, int fx, int fy, Gdiplus::Bitmap* to, int tx, int ty, int w, int h) {
    if (!from || !to || w <= 0 || h <= 0) return true;
    Gdiplus::Rect fr(fx, fy, w, h), tr(tx, ty, w, h);
    Gdiplus::BitmapData src{}, dst{};
    if (from->LockBits(&fr, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &src) != Gdiplus::Ok) return false;
    if (to->LockBits(&tr, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &dst) != Gdiplus::Ok) {
        from->UnlockBits(&src);
        return false;
    }
    for (int y = 0; y < h; ++y) {
        std::memcpy(static_cast<char*>(dst.Scan0) + static_cast<ptrdiff_t>(y) * dst.Stride,
                    static_cast<const char*>(src.Scan0) + static_cast<ptrdiff_t>(y) * src.Stride,
                    static_cast<size_t>(w) * 4);
    }
    to->UnlockBits(&dst);
    from->UnlockBits(&src);
    return true;
}

// The whole-pixel rectangle of r, when its edges lie on pixels.
bool WholePixels(const Gdiplus::RectF& r, Gdiplus::Rect& out) {
    auto whole = [](float v, INT& to) {
        float n = std::round(v);
        to = static_cast<INT>(n);
        return std::fabs(v - n) < 1e-3f;
    };
    return whole(r.X, out.X) && whole(r.Y, out.Y) && whole(r.Width, out.Width) && whole(r.Height, out.Height);
}

// Lays `image` (at `at`, element pixels) into the buffer inside `clip`: by a
// copy of its bits where it lies on whole pixels, else through GDI+.
void LayImage(Gdiplus::Graphics& g, Gdiplus::Bitmap* buffer, Gdiplus::Bitmap* image, const Gdiplus::RectF& at,
              const Gdiplus::RectF& clip) {
    Gdiplus::RectF part = at;
    part.Intersect(clip);
    Gdiplus::Rect whole, where;
    if (part.Width > 0 && part.Height > 0 && WholePixels(part, whole) && WholePixels(at, where)) {
        g.Flush(Gdiplus::FlushIntentionSync);
        if (CopyBits(image, whole.X - where.X, whole.Y - where.Y, buffer, whole.X, whole.Y, whole.Width,
                     whole.Height)) {
            return;
        }
    }
    g.SetClip(clip);
    g.DrawImage(image, at);
    g.ResetClip();
}

void PrepareGraphics(Gdiplus::Graphics& g) {
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    g.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAliasGridFit);
}

}  // namespace

void UiListView::ClearBuffer(const UiRect& area) {
    int x = static_cast<int>(std::floor(area.x)), y = static_cast<int>(std::floor(area.y));
    int r = static_cast<int>(std::ceil(area.x + area.w)), b = static_cast<int>(std::ceil(area.y + area.h));
    ClearBits(BackBuffer(), x, y, r - x, b - y);
}

void UiListView::ForgetRowImage(int row) {
    if (row >= 1 && row <= static_cast<int>(rows_.size())) rows_[static_cast<size_t>(row - 1)].imageStamp = 0;
}

void UiListView::ForgetImages() {
    for (int i : imageRows_) {
        if (i >= 1 && i <= static_cast<int>(rows_.size())) rows_[static_cast<size_t>(i - 1)].image.reset();
    }
    imageRows_.clear();
    headerImage_.reset();
    ++layoutStamp_;
}

Gdiplus::Bitmap* UiListView::RowImage(int index, Argb textColour) {
    int w = static_cast<int>(std::ceil(viewRect_.Width)), h = static_cast<int>(std::ceil(rowHeight_));
    if (w <= 0 || h <= 0) return nullptr;
    Row& row = rows_[static_cast<size_t>(index - 1)];
    bool sized = row.image && static_cast<int>(row.image->GetWidth()) == w &&
                 static_cast<int>(row.image->GetHeight()) == h;
    if (sized && row.imageStamp == layoutStamp_ && row.imageColour == textColour) return row.image.get();
    if (!row.image) {
        imageRows_.push_back(index);
        while (imageRows_.size() > kKeptRowImages) {
            int old = imageRows_.front();
            imageRows_.pop_front();
            if (old != index && old >= 1 && old <= static_cast<int>(rows_.size())) {
                rows_[static_cast<size_t>(old - 1)].image.reset();
            }
        }
    }
    if (!sized) row.image = std::make_unique<Gdiplus::Bitmap>(w, h, PixelFormat32bppARGB);
    else ClearBits(row.image.get(), 0, 0, w, h);
    Gdiplus::Graphics g(row.image.get());
    PrepareGraphics(g);
    Gdiplus::SolidBrush line{Gdiplus::Color(ArgbAt(0x000000, 51))};
    const float rh = rowHeight_;
    float x = -hOffset_;
    for (size_t c = 0; c < columns_.size(); ++c) {
        const Column& col = columns_[c];
        if (col.width <= 0) continue;   // takes no room at all
        float cw = static_cast<float>(col.width);
        if (x + cw > 0 && x < static_cast<float>(w)) {
            float textLeft = x + kCellPadding;
            if (rowImages_ && row.images[c] >= 0) {
                int cx = 0, cy = 0;
                ImageList_GetIconSize(rowImages_, &cx, &cy);
                DrawIcon(g, rowImages_, row.images[c], x + 2, 0, rh);
                textLeft += static_cast<float>(cx) + 2;
            }
            Gdiplus::RectF tr(textLeft, 0, x + cw - kCellPadding - textLeft, rh);
            if (tr.Width > 0 && !row.cells[c].empty()) {
                DrawText(g, tr, row.cells[c], font_, textColour, format_.get());
            }
            if (style_ == 0 && (gridLines_ & 2)) VLine(g, line, x + cw - 1, 0, rh);
        }
        x += cw;
    }
    if (style_ == 0 && (gridLines_ & 1)) HLine(g, line, 0, static_cast<float>(w), rh - 1);
    row.imageStamp = layoutStamp_;
    row.imageColour = textColour;
    return row.image.get();
}

Gdiplus::Bitmap* UiListView::HeaderImage() {
    int w = static_cast<int>(std::ceil(headerRect_.Width)), h = static_cast<int>(std::ceil(headerRect_.Height));
    if (w <= 0 || h <= 0) return nullptr;
    bool sized = headerImage_ && static_cast<int>(headerImage_->GetWidth()) == w &&
                 static_cast<int>(headerImage_->GetHeight()) == h;
    if (sized && headerStamp_ == layoutStamp_) return headerImage_.get();
    if (!sized) headerImage_ = std::make_unique<Gdiplus::Bitmap>(w, h, PixelFormat32bppARGB);
    else ClearBits(headerImage_.get(), 0, 0, w, h);
    Gdiplus::Graphics g(headerImage_.get());
    PrepareGraphics(g);
    const float hh = static_cast<float>(h);
    Gdiplus::SolidBrush line{Gdiplus::Color(ArgbAt(0x000000, 51))};
    FillGradient(g, Gdiplus::RectF(0, 0, static_cast<float>(w), hh), ArgbAt(0xFFFFFF, 204), ArgbAt(0xFFFFFF, 153), 1);
    float x = -hOffset_;
    for (const Column& c : columns_) {
        if (c.width <= 0) continue;
        float cw = static_cast<float>(c.width);
        float textLeft = x + kCellPadding;
        if (headerImages_ && c.image >= 0) {
            int cx = 0, cy = 0;
            ImageList_GetIconSize(headerImages_, &cx, &cy);
            DrawIcon(g, headerImages_, c.image, x + 2, 0, hh);
            textLeft += static_cast<float>(cx) + 2;
        }
        if (!c.text.empty()) {
            format_->SetAlignment(AlignmentOf(c.alignment));
            Gdiplus::RectF tr(textLeft, 0, x + cw - kCellPadding - textLeft, hh);
            if (tr.Width > 0) DrawText(g, tr, c.text, font_, ArgbAt(0x000000, 210), format_.get());
            format_->SetAlignment(Gdiplus::StringAlignmentNear);
        }
        VLine(g, line, x + cw - 1, 0, hh);
        x += cw;
    }
    HLine(g, line, 0, static_cast<float>(w), hh - 1);
    headerStamp_ = layoutStamp_;
    return headerImage_.get();
}

Colour UiListView::TintColour() const {
    UiHost* host = Host();
    if (!host) return 0x606060;
    // The theme colour tints rows over a background picture. Without one the
    // background is that very colour, and a tint of it would not show: then
    // white tints a dark background and black a light one.
    if (host->BackgroundPicture()) return host->ThemeColour();
    return IsDark(host->ThemeColour()) ? 0xFFFFFF : 0x000000;
}

int UiListView::Paint(const Gdiplus::RectF* area, double deadline) {
    if (!Handle() || !format_) return 0;
    UiRect r = Rect();
    UiRect paintRect{0, 0, r.w, r.h};
    if (area) {
        Gdiplus::RectF a = *area;
        a.Intersect(Gdiplus::RectF(0, 0, r.w, r.h));
        if (a.Width <= 0 || a.Height <= 0) return 0;
        paintRect = {a.X, a.Y, a.Width, a.Height};
    }
    // The list clears and shows what it painted itself, so a row's repaint
    // recomposes the row's strip on the host, not the whole list. It has no
    // transitions, which is all the base's erasing would add.
    PaintContext ctx;
    if (!BeginPaint(ctx, &paintRect, false)) return 0;
    ++paintCount_;
    ClearBuffer(paintRect);
    Gdiplus::Graphics& g = *ctx.graphics;
    const Gdiplus::RectF clip = paintRect.ToGdi();
    int left = 0;

    if (!noHeader_ && headerRect_.Height > 0 && Intersects(clip, headerRect_)) {
        if (Gdiplus::Bitmap* header = HeaderImage()) {
            Gdiplus::RectF hc = headerRect_;
            hc.Intersect(clip);
            LayImage(g, BackBuffer(), header,
                     Gdiplus::RectF(headerRect_.X, headerRect_.Y, static_cast<float>(header->GetWidth()),
                                    static_cast<float>(header->GetHeight())),
                     hc);
        }
    }

    if (Tiled()) {
        if (firstVisible_ > 0 && Intersects(clip, viewRect_)) PaintTiles(g, clip);
    } else if (firstVisible_ > 0 && Intersects(clip, viewRect_)) {
        Gdiplus::RectF vc = viewRect_;
        vc.Intersect(clip);
        g.SetClip(vc);
        Colour theme = TintColour();
        int painted = 0;
        for (int i = firstVisible_; i <= lastVisible_; ++i) {
            float y = RowTop(i);
            Gdiplus::RectF rr(viewRect_.X, y, viewRect_.Width, rowHeight_);
            if (!Intersects(rr, vc)) continue;
            if (deadline > 0 && painted > 0 && NowMs() > deadline) {
                left = i;
                break;
            }
            ++painted;
            ++rowPaintCount_;
            const Row& row = rows_[static_cast<size_t>(i - 1)];
            Argb text = row.colour;
            if (row.state == kRowHot) {
                Gdiplus::SolidBrush b{Gdiplus::Color(hotBack_ ? hotBack_ : ArgbAt(theme, 51))};
                g.FillRectangle(&b, rr);
                if (hotText_) text = hotText_;
            } else if (row.state == kRowSelected) {
                Gdiplus::SolidBrush b{Gdiplus::Color(selectedBack_ ? selectedBack_ : ArgbAt(theme, 102))};
                g.FillRectangle(&b, rr);
                if (selectedText_) text = selectedText_;
            }
            Gdiplus::Bitmap* image = RowImage(i, text);
            if (!image) continue;
            Gdiplus::RectF at(rr.X, rr.Y, static_cast<float>(image->GetWidth()),
                              static_cast<float>(image->GetHeight()));
            if (row.state == kRowNormal) {
                // Over nothing: the row's image is copied, not blended.
                g.ResetClip();
                LayImage(g, BackBuffer(), image, at, vc);
                g.SetClip(vc);
            } else {
                g.DrawImage(image, at);
            }
        }
        if (HasFocusCue() && RowShown(currentRow_)) DrawFocusCue(g);
        g.ResetClip();
    }
    EndPaint(ctx);
    if (Visible() && IsWindow(HostWindow())) {
        // Composed at once (the host's buffer is current when this returns),
        // shown with the host's next frame together with whatever else
        // changed meanwhile.
        UiRect shown{r.x + paintRect.x, r.y + paintRect.y, paintRect.w, paintRect.h};
        if (UiHost* host = Host()) {
            if (host->Frozen()) AddFrozenArea(shown);   // composed when the batch ends
            else host->RecomposeSoon(shown);
        }
    }
    return left;
}

void UiListView::DrawFocusCue(Gdiplus::Graphics& g) {
    Gdiplus::RectF box = RowBox(currentRow_);
    if (!Tiled() && vScroll_.Visible()) box.Width -= static_cast<float>(kScrollBarThickness);
    DrawBorder(g, Gdiplus::RectF(box.X + 1, box.Y + 1, box.Width - 3, box.Height - 3), kBorderFocusCue);
}

void UiListView::PaintTiles(Gdiplus::Graphics& g, const Gdiplus::RectF& clip) {
    Gdiplus::RectF vc = viewRect_;
    vc.Intersect(clip);
    g.SetClip(vc);
    Colour theme = TintColour();
    int cx = 0, cy = 0;
    bool icons = rowImages_ && ImageList_GetIconSize(rowImages_, &cx, &cy);
    const float line = std::ceil(lineHeight_);
    for (int i = firstVisible_; i <= lastVisible_; ++i) {
        Gdiplus::RectF box = RowBox(i);
        if (!Intersects(box, vc)) continue;
        ++rowPaintCount_;
        const Row& row = rows_[static_cast<size_t>(i - 1)];
        Argb text = row.colour;
        if (row.state == kRowHot || row.state == kRowSelected) {
            bool hot = row.state == kRowHot;
            Argb back = hot ? (hotBack_ ? hotBack_ : ArgbAt(theme, 51))
                            : (selectedBack_ ? selectedBack_ : ArgbAt(theme, 102));
            Gdiplus::SolidBrush b{Gdiplus::Color(back)};
            g.FillRectangle(&b, box);
            Argb own = hot ? hotText_ : selectedText_;
            if (own) text = own;
        }
        int image = row.images.empty() ? -1 : row.images[0];
        const std::wstring* caption = row.cells.empty() ? nullptr : &row.cells[0];
        Gdiplus::RectF tr;
        if (style_ == kStyleLargeIcons) {
            // The icon centred at the top, the text centred under it.
            float textTop = box.Y + 2;
            if (icons) {
                DrawIcon(g, rowImages_, image, box.X + (box.Width - static_cast<float>(cx)) / 2, box.Y + 2,
                         static_cast<float>(cy));
                textTop += static_cast<float>(cy) + 4;
            }
            tr = Gdiplus::RectF(box.X + 2, textTop, box.Width - 4, line);
            format_->SetAlignment(Gdiplus::StringAlignmentCenter);
        } else {
            // The icon at the left, the text beside it.
            float textLeft = box.X + kCellPadding;
            if (icons) {
                DrawIcon(g, rowImages_, image, box.X + 2, box.Y, box.Height);
                textLeft = box.X + 2 + static_cast<float>(cx) + 2;
            }
            tr = Gdiplus::RectF(textLeft, box.Y, box.GetRight() - 2 - textLeft, box.Height);
        }
        if (caption && !caption->empty() && tr.Width > 0) DrawText(g, tr, *caption, font_, text, format_.get());
        format_->SetAlignment(Gdiplus::StringAlignmentNear);
    }
    if (HasFocusCue() && RowShown(currentRow_)) DrawFocusCue(g);
    g.ResetClip();
}

}  // namespace sorvix::ui
