// How a caller runs one of the twenty sources: the source table (labels, site
// codes, paging), the site-code store that the row actions read, the
// dispatcher that runs whichever option is checked, and RunSource for callers
// that name the source themselves (the console tool).
//
// Everything here is synchronous and runs on the caller's thread; the search
// flow (app/core/search_flow.h) puts it on worker threads. The keyword and the
// page are read from the view's boxes at the moment each site routine needs
// them. Covered by tests/app/search_flow_test.cpp.
#pragma once

#include <array>
#include <mutex>
#include <string_view>

#include "app/core/app_view.h"
#include "app/core/config.h"
#include "sites/cancel_token.h"
#include "sites/site_net.h"
#include "sites/site_search.h"
#include "text/text.h"

namespace sorvix {

struct SourceInfo {
    int option;                 // 1..20, position on the main window
    std::string_view label;     // GBK caption of the option
    std::string_view siteCode;  // "1" magnet, "2" share-index, "3" disk search
    bool showsPaging;           // previous/next buttons and page box visible
};

const std::array<SourceInfo, kSourceCount>& Sources();

// nullptr for an option outside 1..20.
const SourceInfo* SourceForOption(int option);

// Empty for an option outside 1..20.
Text SourceLabel(int option);
Text SiteCodeForOption(int option);

// The site code of the search that ran last ("1", "2", "3"; empty before the
// first). Written by the dispatcher on a worker thread, read by the row
// actions on the window's thread.
class SiteCodeStore {
public:
    Text Get() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return code_;
    }
    void Set(std::string_view code) {
        std::lock_guard<std::mutex> lock(mutex_);
        code_ = Text(code);
    }
    // Stores the code unless the search is already superseded. The check and
    // the store happen under one lock, so a superseded search can never
    // overwrite the code of the search that replaced it.
    void SetUnlessCancelled(std::string_view code, const CancelToken& cancel) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!cancel.Cancelled()) code_ = Text(code);
    }

private:
    mutable std::mutex mutex_;
    Text code_;
};

// Runs source `option`'s routine to its end with the keyword and page boxes
// of `view`, its walks with config.pagesInFlight pages in flight. Returns
// false (and does nothing) for an option outside 1..20; `result`, when given,
// receives what the routine reported (a walk cut short at the page cap).
bool RunSource(int option, AppView& view, SiteNet& net, const Config& config,
               const CancelToken& cancel, SiteSearchResult* result = nullptr);

// Asks options 1..20 for their checked state in order; for each checked one
// stores its site code and runs it to its end. With no option checked it does
// nothing visible.
void SearchDispatcher(AppView& view, SiteNet& net, const Config& config,
                      const CancelToken& cancel, SiteCodeStore& siteCode);

}  // namespace sorvix
