// Kelvane report list and progress bar.
//
// UiListView (kind 8) is a header row of columns over any number of rows of
// text cells, scrolled pixel-wise through an embedded vertical UiScrollBar
// (and a horizontal one when the columns are wider than the view). Rows and
// columns count from 1. Rows get hover and selection tints; selection is
// single (the default) or multiple with Ctrl and Shift; the right press
// selects like the left one, so a menu opened on the right release acts on
// the row under the mouse. The list takes no keyboard navigation: keys never
// move the selection or the scroll position.
//
// Threads. Every field is touched on the host window's thread only. The
// bulk operations a search worker uses (InsertColumn, InsertItem,
// SetItemText, DeleteAllItems) are queued from other threads and applied on
// the window's thread in call order, in time slices of a few milliseconds
// with one repaint per slice; their results (the new row's number, the
// 0-for-a-bad-cell answer) are computed at call time from the row and column
// counts the list will have once the queue has run, so the caller never
// waits. Every other operation called from another thread first lets the
// queue run and then runs on the window's thread while the caller waits, so
// a getter always sees the caller's earlier changes.
//
// The scroll bars are UiScrollBar (ui/scrollbar.h).
// UiProgressBar (kind 12): a gradient bar over a track, horizontal or
// vertical, optionally rounded.
// Covered by tests/ui/listview/listview_test.cpp (Wine + Xvfb).
#pragma once

#include "ui/element.h"
#include "ui/scrollbar.h"
#include "ui/text_elements.h"

#include <commctrl.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace sorvix::ui {

class UiListView;

// ---- UiProgressBar ----------------------------------------------------------------

struct ProgressOptions {
    int position = 0;
    int minimum = 0;
    int maximum = 100;
    bool vertical = false;
    std::optional<bool> rounded;              // default: the host's setting
    Argb barColour1 = ArgbAt(0xFF8800, 230);
    Argb barColour2 = ArgbAt(0x80E000, 230);
    Argb trackColour = ArgbAt(0xFFFFFF, 210);
    Argb frameColour = ArgbAt(0x000000, 80);
    bool visible = true;
};

class UiProgressBar : public UiElement {
public:
    static constexpr int kKind = 12;

    ~UiProgressBar() override;
    ElementHandle Create(UiParent parent, const UiRect& rect, const ProgressOptions& options = {});
    int Position(std::optional<int> set = {});
    void BarColours(Argb colour1, Argb colour2);
    void TrackColour(Argb colour);
    // The filled length in pixels for the current position.
    int FilledLength() const;

    // A hook that draws the track itself answers true.
    using BackgroundHook = std::function<bool(Gdiplus::Graphics&, const Gdiplus::RectF& inner)>;
    void SetBackgroundHook(BackgroundHook hook) { backgroundHook_ = std::move(hook); }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void Paint();
    ProgressOptions opt_;
    bool rounded_ = false;
    BackgroundHook backgroundHook_;
};

// ---- UiListView -------------------------------------------------------------------

struct ListViewOptions {
    int style = 0;                            // 0 report; 1, 2 icon arrangements
    bool noHeader = false;                    // forced on in styles 1 and 2
    std::optional<int> gridLines;             // bit 1 rows, bit 2 columns; default 3 in style 0
    bool singleSelect = true;
    Argb textColour = ArgbAt(0x000000, 210);  // new rows' colour
    Argb hotText = 0, selectedText = 0;       // 0: the row's own colour
    // 0: the host's theme colour at alpha 51 / 102 (over a background
    // picture; on a plain background white or black, whichever shows).
    Argb hotBack = 0, selectedBack = 0;
    Argb colour3 = ArgbAt(0xFFFFFF, 210);     // kept; not used by the painter
    Argb colour4 = ArgbAt(0x000000, 80);
    Text fontFamily;                          // empty: the library's default font
    float size = 12.0f;
    int fontStyle = 0;
    bool visible = true;
};

// Row states.
enum : int { kRowNormal = 0, kRowHot = 1, kRowSelected = 4 };

// List styles: a report of rows and columns, or rows laid out as tiles of
// rowHeight + 20 pixels, as many to a line as the view's width holds, each
// showing the row's first icon and first cell: large icons (icon above the
// text) or small icons (icon beside the text).
enum : int { kStyleReport = 0, kStyleLargeIcons = 1, kStyleSmallIcons = 2 };

// Column alignments (applied to the header text) are kAlignNear,
// kAlignCentre and kAlignFar of text_elements.h.

class UiListView : public UiElement {
public:
    static constexpr int kKind = 8;
    static constexpr int kScrollBarThickness = 12;
    static constexpr int kWheelRows = 3;
    // Messages the list sends or posts to itself to defer work.
    enum : UINT {
        kMsgRowChanged = 0x1006,     // wParam 0 one row, 1 added, 2 removed; lParam the row
        kMsgAllDeleted = 0x1009,
        kMsgEnsureVisible = 0x1013,  // lParam the row
        kMsgScrollRange = 0x1014,
        kMsgColumnsChanged = 0x101A,
        kMsgRunQueue = 0x1050,       // apply operations queued by other threads
    };
    // How long one run of the queue may hold the window's thread.
    static constexpr double kQueueSliceMs = 6.0;
    // and how long the repaint after it may take; rows it does not reach are
    // painted by the next run.
    static constexpr double kPaintSliceMs = 10.0;
    // Rows whose drawn image is kept (a few screens' worth).
    static constexpr size_t kKeptRowImages = 96;

    using ItemProc = std::function<void(UiListView& list, WPARAM wParam, int row)>;

    UiListView();
    ~UiListView() override;

    ElementHandle Create(UiParent parent, const UiRect& rect, const ListViewOptions& options = {});

    // ---- The operations the application uses ----
    int RowState(int row, std::optional<int> set = {});
    // Position 0 (or past the end) appends. A position beyond the end + 1
    // inserts nothing; an omitted alignment, and any alignment of the first
    // column, is near.
    void InsertColumn(int position, const Text& text, int width = 50, std::optional<int> alignment = {},
                      int image = -1);
    // Returns the new row's number (position 0 or past the end appends).
    int InsertItem(int position, const Text& text = {}, int image = -1, uint32_t user1 = 0,
                   uint32_t user2 = 0, std::optional<Argb> colour = {}, bool repaint = true);
    void DeleteAllItems();
    // 0 for a row or column that does not exist, else 1.
    int SetItemText(int row, int column, const Text& text);
    Text GetItemText(int row, int column = 1);
    // With a row: that row becomes the only selection (0 or a bad row clears
    // it). Returns the row selected last, 0 when none.
    int Selection(std::optional<int> set = {});

    // ---- Further get/set operations ----
    int RowCount();
    int ColumnCount();
    int ColumnWidth(int column, std::optional<int> set = {});
    Text ColumnText(int column, std::optional<Text> set = {});
    int ItemImage(int row, int column, std::optional<int> set = {});
    uint32_t UserValue(int row, int which, std::optional<uint32_t> set = {});   // which: 1 or 2
    Argb RowColour(int row, std::optional<Argb> set = {});
    std::vector<int> SelectedRows();          // in the order they were selected
    int HitTest(int x, int y);                // host client point -> row, 0 when none
    void EnsureVisible(int row);
    int ScrollPosition(std::optional<int> set = {});   // pixels from the top, = -scrollOffset
    // Image lists stay owned by the caller.
    HIMAGELIST HeaderImages(std::optional<HIMAGELIST> set = {});
    HIMAGELIST RowImages(std::optional<HIMAGELIST> set = {});

    void SetItemPressProc(ItemProc proc) { onItemPress_ = std::move(proc); }
    void SetItemClickProc(ItemProc proc) { onItemClick_ = std::move(proc); }
    void SetItemRightClickProc(ItemProc proc) { onItemRightClick_ = std::move(proc); }

    // ---- Layout and state, window's thread (tests and painting) ----
    float RowHeight() const { return rowHeight_; }
    bool Tiled() const { return style_ != kStyleReport; }
    float TileWidth() const { return rowHeight_ + 20; }
    int TilesPerLine() const;                                   // 1 in a report
    // A row's rectangle in element pixels, as scrolled now (a tile in the
    // icon styles, the whole line in a report).
    Gdiplus::RectF RowBox(int row) const;
    float ScrollOffset() const { return scrollOffset_; }
    float ContentHeight() const { return contentHeight_; }
    int FirstVisible() const { return firstVisible_; }
    int LastVisible() const { return lastVisible_; }
    int HotRow() const { return hotRow_; }
    int CurrentRow() const { return currentRow_; }
    bool SingleSelect() const { return singleSelect_; }
    Gdiplus::RectF HeaderRect() const { return headerRect_; }   // element pixels
    Gdiplus::RectF ViewRect() const { return viewRect_; }
    UiScrollBar& VScroll() { return vScroll_; }
    UiScrollBar& HScroll() { return hScroll_; }
    int PaintCount() const { return paintCount_; }              // paints of any part
    int RowPaintCount() const { return rowPaintCount_; }        // rows drawn, summed
    // Waits (on the window's thread: runs) until every queued operation is applied.
    void Flush();
    // Operations queued by other threads and not yet applied (any thread).
    size_t PendingOperations() const;

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct Column {
        std::wstring text;
        int alignment = kAlignNear;
        int width = 50;
        int image = -1;
    };
    struct Row {
        std::vector<std::wstring> cells;
        std::vector<int> images;
        int state = kRowNormal;
        uint32_t user[2] = {0, 0};
        Argb colour = 0;
        // The row's cells and grid lines as last drawn, over no background;
        // valid while its stamp and text colour match.
        std::unique_ptr<Gdiplus::Bitmap> image;
        uint32_t imageStamp = 0;
        Argb imageColour = 0;
    };

    // Queue of operations from other threads.
    // Runs fn here (window's thread, nothing queued) or queues it; `lock`
    // holds queueLock_ and is released.
    template <class Fn> void Submit(std::unique_lock<std::mutex>& lock, Fn&& fn);
    void RunQueue(bool sliced);
    bool OnOwnerThread() const;
    void BeginBatch() { ++batch_; }
    void EndBatch(bool sliced = false);
    void PostRun();

    // Applied on the window's thread.
    void DoInsertColumn(int position, std::wstring text, int width, std::optional<int> alignment, int image);
    void DoInsertItem(int position, std::wstring text, int image, uint32_t user1, uint32_t user2, Argb colour,
                      bool repaint);
    void DoDeleteAll();
    void DoSetItemText(int row, int column, std::wstring text);
    int DoSelection(int row);

    void Layout();
    void LayoutScrollBars();
    void UpdateScrollRange();
    void UpdateVisibleRange();
    void SetScrollOffset(float offset, bool repaint);
    float TotalColumnWidth() const;
    float RowTop(int row) const;
    float ComputeContentHeight() const;
    void SetCurrent(int row);
    bool HasFocusCue();
    void DrawFocusCue(Gdiplus::Graphics& g);
    void PaintTiles(Gdiplus::Graphics& g, const Gdiplus::RectF& clip);
    int RowAt(float localX, float localY) const;
    bool RowShown(int row) const { return row >= firstVisible_ && row <= lastVisible_ && row > 0; }
    void RequestRowRepaint(int row);
    void BatchRows(int first, int last);
    void RequestRowsFrom(int row);
    void PaintRows(int first, int last);
    // Paints an area (null: all). With a deadline, the rows after the one
    // that passes it are left; returns the first row left (0: none).
    int Paint(const Gdiplus::RectF* area, double deadline = 0);
    void DrawIcon(Gdiplus::Graphics& g, HIMAGELIST list, int index, float x, float y, float h);
    Gdiplus::Bitmap* RowImage(int row, Argb textColour);
    Gdiplus::Bitmap* HeaderImage();
    void ForgetRowImage(int row);
    void ForgetImages();        // every row's and the header's
    void Relayout() { ++layoutStamp_; }   // columns, widths, offsets or font changed
    void ClearBuffer(const UiRect& area);
    Colour TintColour() const;      // of the default hot and selected tints
    void SetHot(int row);
    void SetRowState(int row, int state);
    void ClearSelection();
    void Select(int row);
    void Unselect(int row);
    void OnPress(UINT message, WPARAM wParam, LPARAM lParam);
    void OnRelease(UINT message, WPARAM wParam, LPARAM lParam);
    void OnWheel(WPARAM wParam);
    void ResetState();

    // Fields, window's thread.
    Gdiplus::Font* font_ = nullptr;
    std::unique_ptr<Gdiplus::StringFormat> format_;
    Argb textColour_ = 0;
    std::vector<Column> columns_;
    std::vector<Row> rows_;
    int style_ = 0;
    bool noHeader_ = false;
    int gridLines_ = 3;
    bool singleSelect_ = true;
    Argb hotBack_ = 0, selectedBack_ = 0, hotText_ = 0, selectedText_ = 0;
    Argb colour3_ = 0, colour4_ = 0;
    HIMAGELIST headerImages_ = nullptr, rowImages_ = nullptr;
    std::map<std::pair<HIMAGELIST, int>, std::unique_ptr<Gdiplus::Bitmap>> iconCache_;
    Gdiplus::RectF frameRect_, headerRect_, viewRect_;
    float lineHeight_ = 12.0f;
    float rowHeight_ = 18.0f;
    float contentHeight_ = 0;
    float scrollOffset_ = 0;
    float hOffset_ = 0;
    int firstVisible_ = 0, lastVisible_ = 0;
    int hotRow_ = 0, currentRow_ = 0;
    bool focused_ = false;           // between UIM_SETFOCUS and UIM_KILLFOCUS
    std::vector<int> selection_;
    UiScrollBar vScroll_, hScroll_;
    ItemProc onItemPress_, onItemClick_, onItemRightClick_;
    int paintCount_ = 0;
    int rowPaintCount_ = 0;
    uint32_t layoutStamp_ = 1;
    std::deque<int> imageRows_;          // rows holding an image, oldest first
    std::unique_ptr<Gdiplus::Bitmap> headerImage_;
    uint32_t headerStamp_ = 0;
    bool scrollRangePosted_ = false;
    // Batches: repaint and scroll-range work asked for while a batch runs is
    // done once when it ends.
    int batch_ = 0;
    bool batchRepaint_ = false;       // everything
    int batchFirst_ = 0, batchLast_ = 0;   // or only these rows
    bool batchScrollRange_ = false;
    bool runningQueue_ = false;
    bool runYielded_ = false;         // the posted run went once behind other messages
    UiRect frozenArea_;               // painted while the host was frozen (host pixels)
    void AddFrozenArea(const UiRect& a);
    static bool OtherMessagesWaiting();

    // Shared with other threads, under queueLock_.
    mutable std::mutex queueLock_;
    std::deque<std::function<void()>> queue_;
    bool runPosted_ = false;
    bool accepting_ = false;
    HWND ownerWindow_ = nullptr;
    ElementHandle ownerHandle_ = 0;
    DWORD ownerThread_ = 0;
    int plannedRows_ = 0;       // row count once the queue has run
    int plannedColumns_ = 0;
};

}  // namespace sorvix::ui
