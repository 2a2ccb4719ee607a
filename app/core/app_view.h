// AppView: the user-interface operations of the application - everything a
// site routine uses (SiteView: labels, boxes, result table, message boxes)
// plus the site options and the paging controls that only the search flow
// drives - as one interface, so that the search flow and the result table
// logic run against the window program, the console tool or a recording
// double in tests alike. The threading contract is SiteView's.
// Covered by tests/app (with RecordingAppView) and by the sites tests.
#pragma once

#include "sites/site_view.h"
#include "text/text.h"

namespace sorvix {

inline constexpr int kSourceCount = 20;   // site options on the main window

// The paging controls shown only for the disk options.
enum class PagingControl { PreviousButton, NextButton, PageBox };

class AppView : public SiteView {
public:
    // Site options 1..20 (the order of the source table in app/core/search.h).
    // Options do not exclude each other by themselves; the click logic does.
    virtual bool OptionChecked(int option) = 0;
    virtual void SetOptionChecked(int option, bool checked) = 0;

    // Visibility of the previous button, the next button and the page box.
    virtual void SetControlVisible(PagingControl control, bool visible) = 0;
};

}  // namespace sorvix
