// See body_reader.h.
#include "net/body_reader.h"

#include <algorithm>
#include <vector>

#include "net/gbk_text.h"

namespace sorvix::net_detail {

Clock::time_point DeadlineFrom(const NetConfig& config) {
    return Clock::now() + std::chrono::milliseconds(config.overallDeadlineMs);
}

LowSpeedWatch::LowSpeedWatch(const NetConfig& config, Clock::time_point start, std::size_t total)
    : window_(std::chrono::milliseconds(config.lowSpeedBytesPerSec > 0 ? std::max(0, config.lowSpeedWindowMs) : 0)),
      needed_(static_cast<double>(config.lowSpeedBytesPerSec) * config.lowSpeedWindowMs / 1000.0),
      windowStart_(start),
      atWindowStart_(total) {}

bool LowSpeedWatch::Fast(std::size_t total, Clock::time_point now) {
    if (window_ <= Clock::duration::zero()) return true;
    if (now - windowStart_ < window_) return true;
    if (static_cast<double>(total - atWindowStart_) < needed_) return false;
    windowStart_ = now;
    atWindowStart_ = total;
    return true;
}

namespace {

NetStatus ReadBlocks(TransportRequest& request, std::size_t blockSize, const NetConfig& config,
                     Clock::time_point deadline, std::string& body) {
    std::vector<char> block(blockSize);
    const std::size_t before = body.size();
    LowSpeedWatch speed(config, Clock::now());
    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= deadline || !speed.Fast(body.size() - before, now)) return NetStatus::TimedOut;
        ReadResult r = request.Read(block.data(), block.size());
        if (r.status != NetStatus::Ok) return r.status;
        if (r.got == 0) break;
        if (body.size() + r.got > config.maxBodyBytes) return NetStatus::TooLarge;
        body.append(block.data(), r.got);
    }
    return NetStatus::Ok;
}

}  // namespace

NetStatus ReadBody(TransportRequest& request, std::size_t blockSize, const NetConfig& config,
                   Clock::time_point deadline, std::string& body) {
    // An announced length over the ceiling is refused before any reading.
    std::optional<std::string> length = request.ContentLength();
    long long announced = length ? ParseDecimal(*length, static_cast<long long>(1) << 50) : -1;
    if (announced >= 0 && static_cast<unsigned long long>(announced) > config.maxBodyBytes) {
        return NetStatus::TooLarge;
    }
    // Bytes are appended to `body` as they come: a known length is made room
    // for once, so the body is never copied on the way.
    if (body.empty() && request.TakeBody(body)) {
        if (body.size() > config.maxBodyBytes) return NetStatus::TooLarge;
    } else {
        if (announced > 0) body.reserve(body.size() + static_cast<std::size_t>(announced));
        NetStatus status = ReadBlocks(request, blockSize, config, deadline, body);
        if (status != NetStatus::Ok) return status;
    }
    // A connection closed before the announced length looks like a normal end
    // to the platform's reader; only the length tells the two apart.
    if (announced >= 0 && body.size() < static_cast<unsigned long long>(announced)) {
        return NetStatus::ReadFailed;
    }
    return NetStatus::Ok;
}

}  // namespace sorvix::net_detail
