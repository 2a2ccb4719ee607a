// CancelToken: how a running search learns that a newer search, previous or
// next command has superseded it. Copies share one flag; Cancel() is final.
// The site routines look at it at their checkpoints (before each request,
// page and row) and stop without a closing message once it is set.
#pragma once

#include <atomic>
#include <memory>

namespace sorvix {

class CancelToken {
public:
    CancelToken() : flag_(std::make_shared<std::atomic<bool>>(false)) {}

    bool Cancelled() const { return flag_->load(std::memory_order_acquire); }
    void Cancel() const { flag_->store(true, std::memory_order_release); }

private:
    std::shared_ptr<std::atomic<bool>> flag_;
};

}  // namespace sorvix
