// One run of a site routine as the site tests drive it: the recording view the
// routine writes to, a fake net serving pages from memory, and the cancel
// token, with the keyword typed into the view before the routine starts.
// Used by every suite of sites_tests.
#pragma once

#include <vector>

#include "app/core/recording_app_view.h"
#include "site_test_support.h"
#include "sites/site_search.h"

namespace sorvix::test {

struct SiteRun {
    RecordingAppView view;
    FakeSiteNet net;
    CancelToken cancel;

    // Types `keyword` as the user would, then calls routine(context) on this
    // thread; the routine reads the keyword back from the view.
    template <class Routine>
    void RunSearch(const Text& keyword, Routine&& routine) {
        view.TypeKeyword(keyword);
        routine(SiteContext{view, net, cancel});
    }

    // The texts of the message boxes the routine showed, in order.
    std::vector<Text> MessageTexts() const {
        std::vector<Text> texts;
        for (const auto& message : view.Messages()) texts.push_back(message.text);
        return texts;
    }
};

}  // namespace sorvix::test
