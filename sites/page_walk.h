// PageWalk: the result pages 1..N of one multi-page search, fetched with up
// to `inFlight` requests at once and handed back strictly in page order.
//
// The walk builds each page's address on the caller's thread, at the moment
// the page is requested (so the keyword box is still read afresh per page and
// every view call stays on the search's thread); only the network calls run
// on helper threads. With inFlight 1 there are no helper threads at all: each
// Next() builds the address and fetches inline, exactly the sequential walk.
//
// Politeness: never more than inFlight requests of one walk are out at once
// (the page being waited for included), and no page beyond N is asked for.
// Cancellation: Next() looks at the token before it issues anything and
// while it waits, and returns false at once when it is set; no further
// request is issued after that. Requests already out cannot be called back
// (the net layer has no abort); the destructor waits for them, which takes at
// most one request time since they all went out together, and their answers
// are thrown away. Covered by tests/sites/page_walk_test.cpp.
#pragma once

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "sites/cancel_token.h"
#include "text/text.h"

namespace sorvix {

class PageWalk {
public:
    // Address of page p (1..pages); called on the caller's thread.
    using AddressOf = std::function<Text(int page)>;
    // The page text for an address; called on a helper thread when
    // inFlight > 1, so it must be safe to call from several threads at once.
    using Fetch = std::function<Text(const Text& address)>;

    PageWalk(int pages, int inFlight, const CancelToken& cancel, AddressOf addressOf, Fetch fetch);
    ~PageWalk();

    PageWalk(const PageWalk&) = delete;
    PageWalk& operator=(const PageWalk&) = delete;

    // The text of the next page in order (1, 2, ...). False when every page
    // has been handed out or the walk was cancelled before the page came.
    bool Next(Text* text);

private:
    struct Slot {
        bool done = false;
        Text text;
    };

    void Issue();   // starts the next page's request while within the window

    const int pages_;
    const int inFlight_;
    const CancelToken cancel_;
    AddressOf addressOf_;
    Fetch fetch_;

    int nextToIssue_ = 1;   // first page not yet asked for
    int nextToHand_ = 1;    // first page not yet handed out

    std::mutex mutex_;
    std::condition_variable arrived_;
    std::vector<std::shared_ptr<Slot>> slots_;   // index page - 1
    std::vector<std::thread> helpers_;
};

}  // namespace sorvix
