// Fan-out search: one keyword over several sources at once, each through the
// same routine as a single-source search (RunSource), each with its own view
// and its own cancel token, at most config.sourcesInFlight at a time.
//
// Per source the runner records its rows, its elapsed time and an outcome:
//   ok           the source gave rows (some of its pages may have failed:
//                failedRequests says how many)
//   no results   it answered, with nothing (the site's own notice, no pages)
//   failed: WHY  it gave no rows and a request of it failed; WHY is the
//                first failed request's reason ("connection refused",
//                "timed out", "HTTP 503", ...)
//   cancelled    the run was cancelled before the source ended
// and whether its walk stopped at the page cap (cutShort).
//
// The merged rows: every source's rows in the order the sources were named,
// each source's in its own order; a row whose link (column 6) an earlier row
// already has is not repeated, its source is added to that row's alsoFrom.
// Rows without a link are never merged.
//
// Cancelling the run's token cancels every source at once; sources not yet
// started are not started. A failing or hanging source holds up only its own
// slot, so the run ends at most one request deadline after the slowest
// healthy source. The boxes a routine asks for are recorded per source
// (nothing is shown). Covered by tests/app/fan_out_test.cpp and
// tests/sim/fan_out_sim_test.cpp.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/core/config.h"
#include "sites/cancel_token.h"
#include "sites/site_net.h"
#include "text/text.h"

namespace sorvix {

enum class SourceOutcome { Ok, NoResults, Failed, Cancelled };

struct SourceStatus {
    int option = 0;
    Text label;                  // GBK caption of the option
    int rows = 0;
    double elapsedMs = 0;        // 0 for a source that never started
    SourceOutcome outcome = SourceOutcome::NoResults;
    std::string failure;         // the reason, for Failed
    int requests = 0;
    int failedRequests = 0;
    bool cutShort = false;       // the walk stopped at the page cap
    int pagesNamed = 0;          // the page count the site named
    std::vector<Text> messages;  // texts of the boxes the routine asked for

    // "ok", "no results", "failed: <reason>" or "cancelled".
    std::string OutcomeText() const;
};

struct FanOutRow {
    std::vector<Text> cells;     // the eight columns as the first source wrote them
    int option = 0;              // the source that gave it first
    std::vector<int> alsoFrom;   // later sources with the same link, in order
};

struct FanOutResult {
    std::vector<SourceStatus> sources;   // in the order the sources were named
    std::vector<FanOutRow> rows;         // merged
};

struct FanOutRequest {
    std::vector<int> options;   // 1..20, each at most once; others are skipped
    Text keyword;               // GBK
    Text page = "1";            // the page box of the disk searches
};

// Called once per source as it ends (from the source's worker thread; calls
// do not overlap).
using SourceDone = std::function<void(const SourceStatus&)>;

FanOutResult RunFanOut(const FanOutRequest& request, SiteNet& net, const Config& config,
                       const CancelToken& cancel, const SourceDone& onDone = nullptr);

// The merge alone (used by RunFanOut): rows per source in source order.
std::vector<FanOutRow> MergeRows(const std::vector<int>& options,
                                 const std::vector<std::vector<std::vector<Text>>>& rowsPerSource);

}  // namespace sorvix
