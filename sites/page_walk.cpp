// PageWalk (see page_walk.h).
#include "sites/page_walk.h"

#include <algorithm>
#include <chrono>

namespace sorvix {
namespace {

// How often a waiting Next() looks at the cancel token: the token has no way
// to wake a waiter, and a few milliseconds are nothing against a request.
constexpr std::chrono::milliseconds kCancelPoll{5};

}  // namespace

PageWalk::PageWalk(int pages, int inFlight, const CancelToken& cancel, AddressOf addressOf, Fetch fetch)
    : pages_(std::max(pages, 0)),
      inFlight_(std::max(inFlight, 1)),
      cancel_(cancel),
      addressOf_(std::move(addressOf)),
      fetch_(std::move(fetch)) {
    if (inFlight_ > 1) {
        slots_.resize(static_cast<size_t>(pages_));
        helpers_.resize(static_cast<size_t>(pages_));
    }
}

PageWalk::~PageWalk() {
    for (std::thread& helper : helpers_)
        if (helper.joinable()) helper.join();
}

void PageWalk::Issue() {
    const int page = nextToIssue_++;
    auto slot = std::make_shared<Slot>();
    slots_[static_cast<size_t>(page - 1)] = slot;
    const Text address = addressOf_(page);
    helpers_[static_cast<size_t>(page - 1)] = std::thread([this, slot, address] {
        // An exception must not end the process from a helper thread; the
        // page then counts as a failed request (no text), as on the
        // sequential walk's failure path.
        Text text;
        try {
            text = fetch_(address);
        } catch (...) {
            text.clear();
        }
        std::lock_guard<std::mutex> lock(mutex_);
        slot->text = std::move(text);
        slot->done = true;
        arrived_.notify_all();
    });
}

bool PageWalk::Next(Text* text) {
    if (nextToHand_ > pages_ || cancel_.Cancelled()) return false;
    const int page = nextToHand_;

    if (inFlight_ == 1) {
        const Text address = addressOf_(page);
        *text = fetch_(address);
        ++nextToHand_;
        return true;
    }

    // Keep the window full: pages page .. page + inFlight - 1 are out.
    while (nextToIssue_ <= pages_ && nextToIssue_ < page + inFlight_) {
        if (cancel_.Cancelled()) return false;
        Issue();
    }

    std::shared_ptr<Slot> slot = slots_[static_cast<size_t>(page - 1)];
    {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!slot->done) {
            if (cancel_.Cancelled()) return false;
            arrived_.wait_for(lock, kCancelPoll);
        }
        *text = std::move(slot->text);
    }
    slots_[static_cast<size_t>(page - 1)].reset();
    helpers_[static_cast<size_t>(page - 1)].join();
    ++nextToHand_;
    return true;
}

}  // namespace sorvix
