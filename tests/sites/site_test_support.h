// Test support for the site searches and the search flow: a SiteNet that
// serves pages from memory and records every address asked, with addresses
// that can be held (the request blocks until released) to model a slow site;
// fixture loading; UTF-8 -> GBK for expectations written in this UTF-8 file.
#pragma once

#include <condition_variable>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sites/site_net.h"
#include "test_paths.h"
#include "text/text.h"

namespace sorvix::test {

// Expectations are written in UTF-8 here and compared with GBK output.
inline Text G(std::string_view utf8) { return Utf8ToGbk(utf8); }

inline Bytes ReadFixture(const std::string& name) {
    std::ifstream file(SourcePath("tests/sites/fixtures/" + name), std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
}

class FakeSiteNet : public SiteNet {
public:
    // Every later request for exactly `url` answers `body`.
    void Serve(const Text& url, Bytes body) {
        std::lock_guard<std::mutex> lock(mutex_);
        pages_[url] = NetAnswer{std::move(body)};
    }
    // Every later request for exactly `url` fails with an empty body and
    // this outcome.
    void Fail(const Text& url, NetStatus status, int httpStatus = 0) {
        std::lock_guard<std::mutex> lock(mutex_);
        pages_[url] = NetAnswer{Bytes(), status, httpStatus};
    }
    // Answer for any address not served explicitly (default: empty = failure).
    void ServeOthers(Bytes body) {
        std::lock_guard<std::mutex> lock(mutex_);
        others_ = NetAnswer{std::move(body)};
    }
    // Requests for `url` wait until Release() (the page is then served).
    void Hold(const Text& url) {
        std::lock_guard<std::mutex> lock(mutex_);
        held_.insert(url);
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        held_.clear();
        cv_.notify_all();
    }
    // Blocks until some request is waiting on a held address.
    void WaitUntilHeld() {
        std::unique_lock<std::mutex> lock(mutex_);
        cv_.wait(lock, [&] { return waiting_ > 0; });
    }
    // Called (outside the lock) with every address, before it is answered.
    void OnRequest(std::function<void(const Text&)> hook) {
        std::lock_guard<std::mutex> lock(mutex_);
        hook_ = std::move(hook);
    }

    // "request <url>" for Request, "fetch <url>" for FetchPage, in order.
    std::vector<std::string> Log() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return log_;
    }
    std::vector<std::string> Urls() const {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::string> urls;
        for (const auto& line : log_) urls.push_back(line.substr(line.find(' ') + 1));
        return urls;
    }

    NetAnswer Request(const Text& url) override { return Answer("request ", url); }
    NetAnswer FetchPage(const Text& url) override { return Answer("fetch ", url); }

private:
    NetAnswer Answer(const char* kind, const Text& url) {
        std::function<void(const Text&)> hook;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            log_.push_back(kind + url);
            hook = hook_;
            if (held_.count(url)) {
                ++waiting_;
                cv_.notify_all();
                cv_.wait(lock, [&] { return held_.count(url) == 0; });
                --waiting_;
            }
        }
        if (hook) hook(url);
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = pages_.find(url);
        return it != pages_.end() ? it->second : others_;
    }

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::map<Text, NetAnswer> pages_;
    NetAnswer others_;
    std::set<Text> held_;
    int waiting_ = 0;
    std::vector<std::string> log_;
    std::function<void(const Text&)> hook_;
};

}  // namespace sorvix::test
