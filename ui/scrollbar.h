// Kelvane scroll bar: the one scroll bar of the library, embedded by the
// list view and the multi-line edit box. Thumb dragging, line steps on the
// 10-pixel arrows and page steps on the track, both repeating while the
// button is held. Positions run from minimum to maximum; the owner sets the
// position to follow its own scrolling, and hears the user's moves through
// the scroll handler.
// Covered by tests/ui/listview/scrollbar_test.cpp and the edit box tests.
#pragma once

#include "ui/element.h"

#include <functional>
#include <optional>

namespace sorvix::ui {

// ---- UiScrollBar -------------------------------------------------------------------

struct ScrollBarOptions {
    bool horizontal = true;
    int minimum = 0;
    int maximum = 100;
    std::optional<int> position;     // default: minimum
    int pageStep = 10;
    int lineStep = 1;
    bool visible = true;
};

class UiScrollBar : public UiElement {
public:
    static constexpr int kKind = 13;
    static constexpr int kArrowLength = 10;        // each end of the track
    static constexpr int kMinThumb = 30;
    static constexpr UINT kRepeatDelayMs = 300;    // first repeat of a held arrow or track
    static constexpr UINT kRepeatIntervalMs = 50;  // later repeats

    ~UiScrollBar() override;
    ElementHandle Create(UiParent parent, const UiRect& rect, const ScrollBarOptions& options = {});

    int Minimum(std::optional<int> set = {});
    int Maximum(std::optional<int> set = {});
    // Set clamps to minimum..maximum and repaints; it does not call the
    // scroll handler (only the user's input does).
    int Position(std::optional<int> set = {});
    int PageStep(std::optional<int> set = {});
    int LineStep(std::optional<int> set = {});
    bool Horizontal() const { return horizontal_; }

    // Geometry along the bar, in element pixels: the track between the two
    // arrows, the thumb's length (0 when maximum < 1) and its start.
    float TrackStart() const { return static_cast<float>(kArrowLength); }
    float TrackLength() const;
    int ThumbLength() const;
    float ThumbStart() const;
    // The value for a thumb start at p (element pixels along the bar).
    int ValueAt(float p) const;

    // Sets the range, steps and position at once, with one repaint.
    void SetValues(int maximum, int pageStep, int lineStep, int position);
    // Called with the new position whenever the user's input moves it.
    void SetScrollHandler(std::function<void(int position)> handler) { onScroll_ = std::move(handler); }
    bool Dragging() const { return action_ == Action::Drag; }
    bool Repeating() const { return action_ != Action::None && action_ != Action::Drag; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    enum class Action { None, LineBack, LineForward, PageBack, PageForward, Drag };
    float Along(LPARAM lParam) const;       // host point -> element pixels along the bar
    float Length() const;
    Action ZoneAt(float a) const;
    void Step(Action a);
    void SetByUser(int value);
    void StopAction();
    void Paint();

    int minimum_ = 0, maximum_ = 100, position_ = 0, pageStep_ = 10, lineStep_ = 1;
    bool horizontal_ = true;
    bool hot_ = false;
    Action action_ = Action::None;
    float grab_ = 0;              // drag: mouse point minus thumb start
    float lastPoint_ = 0;         // mouse point along the bar while pressed
    bool repeatFast_ = false;
    std::function<void(int)> onScroll_;
};

}  // namespace sorvix::ui
