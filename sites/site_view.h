// SiteView: what a site routine writes and reads on the screen - the two
// status labels, the keyword and page boxes, the result table and message
// boxes. The application's AppView (app/core/app_view.h) extends it with the
// controls only the application drives, so that the site routines run
// against the window program, the console tool or a recording double alike.
//
// Every text is GBK. Rows and columns of the result table count from 1.
// Threading contract: a search calls these from its worker thread. An
// implementation hops to its own UI thread if it needs one and keeps the order
// of the calls; setters must not wait for the window's thread while holding
// anything the window's thread may need (the window-backed view queues them).
// Getters answer with the state after every earlier setter has taken effect.
// Covered by tests/sites and tests/app (with RecordingAppView).
#pragma once

#include <functional>
#include <string_view>
#include <vector>

#include "text/text.h"

namespace sorvix {

// The result table's columns, numbered as SetCell and Cell take them.
inline constexpr int kNumberColumn = 1;      // running number of the row
inline constexpr int kNameColumn = 2;        // file or entry name
inline constexpr int kDateColumn = 3;        // date the entry was indexed
inline constexpr int kSizeColumn = 4;        // size text
inline constexpr int kFileCountColumn = 5;   // number of files
inline constexpr int kLinkColumn = 6;        // the entry's link (a hidden column)
inline constexpr int kFileTypeColumn = 7;    // file type or category
inline constexpr int kDiskTypeColumn = 8;    // disk kind or owner
inline constexpr int kColumnCount = 8;

// The two status labels under the result table.
enum class StatusLabel { Operation, Data };

// The two edit boxes whose texts form the search session.
enum class EditBox { Keyword, Page };

// Icons of the library's message box.
inline constexpr int kIconError = 16;
inline constexpr int kIconQuestion = 32;

// Whether a message box asked for by a search may still appear. A view calls
// the gate at the moment the box is to appear, with the step that makes it
// appear (and records it); the gate runs that step only while the asking
// search is still the current one, atomically with respect to its being
// superseded, and returns whether it ran. The step must be short, must not
// wait for the window's thread and must not write through the asking
// search's view (the gate holds that view's write lock): the modal wait for
// the answer comes after it.
using BoxGate = std::function<bool(const std::function<void()>& appear)>;

// The library's modal message box, owned by the main window.
struct MessageBoxRequest {
    Text text;
    Text title;
    int icon = kIconQuestion;
    std::vector<Text> captions;   // one text per button, left to right
    BoxGate gate = nullptr;       // empty: the box always appears
};

// For views: runs `appear` through the request's gate (directly when there is
// none); false when the box must not appear (the view then answers 0).
inline bool PassBoxGate(const MessageBoxRequest& request, const std::function<void()>& appear) {
    if (!request.gate) {
        appear();
        return true;
    }
    return request.gate(appear);
}

class SiteView {
public:
    virtual ~SiteView() = default;

    // Status labels: set replaces the shown text (an equal text changes nothing).
    virtual void SetLabel(StatusLabel label, const Text& text) = 0;
    virtual Text Label(StatusLabel label) = 0;

    // Keyword and page boxes: what the box holds at this moment.
    virtual Text BoxText(EditBox box) = 0;
    virtual void SetBoxText(EditBox box, const Text& text) = 0;

    // Result table.
    virtual void ClearRows() = 0;                                  // remove every row
    virtual int AppendRow() = 0;                                   // new empty row; its number = row count after
    virtual void SetCell(int row, int column, const Text& text) = 0;
    virtual Text Cell(int row, int column) = 0;                    // empty when row/column does not exist
    virtual int SelectedRow() = 0;                                 // 0 when none

    // The library's message box; returns the chosen button's code (1-based),
    // 0 when the box was closed otherwise or its gate kept it from appearing
    // (see BoxGate). The caller waits for the answer.
    virtual int ShowMessageBox(const MessageBoxRequest& request) = 0;

    // The platform's plain message box: no owner, OK only, task-modal.
    virtual void ShowSystemMessage(const Text& text, const Text& caption) = 0;

    // Lets the UI handle pending input during a long loop on a thread that
    // owns windows. Worker threads of the window program and every portable
    // view do nothing here.
    virtual void PumpPendingInput() {}
};

inline constexpr std::string_view kNoticeTitle = "\xCC\xE1\xCA\xBE\xA3\xBA";    // 提示：
inline constexpr std::string_view kGotItCaption = "\xD6\xAA\xB5\xC0\xC1\xCB";   // 知道了

// The notice box the searches and the search flow use: title "提示：",
// question icon, one button "知道了".
inline int ShowNotice(SiteView& view, const Text& text) {
    MessageBoxRequest request;
    request.text = text;
    request.title = Text(kNoticeTitle);
    request.icon = kIconQuestion;
    request.captions = {Text(kGotItCaption)};
    return view.ShowMessageBox(request);
}

}  // namespace sorvix
