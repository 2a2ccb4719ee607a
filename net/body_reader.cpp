// See body_reader.h.
#include "net/body_reader.h"

#include <vector>

#include "net/gbk_text.h"

namespace sorvix::net_detail {

Clock::time_point DeadlineFrom(const NetConfig& config) {
    return Clock::now() + std::chrono::milliseconds(config.overallDeadlineMs);
}

NetStatus ReadBody(TransportRequest& request, std::size_t blockSize, const NetConfig& config,
                   Clock::time_point deadline, std::string& body) {
    std::vector<char> block(blockSize);
    for (;;) {
        if (Clock::now() >= deadline) return NetStatus::TimedOut;
        ReadResult r = request.Read(block.data(), block.size());
        if (r.status != NetStatus::Ok) return r.status;
        if (r.got == 0) break;
        if (body.size() + r.got > config.maxBodyBytes) return NetStatus::TooLarge;
        body.append(block.data(), r.got);
    }
    // A connection closed before the announced length looks like a normal end
    // to the platform's reader; only the length tells the two apart.
    if (std::optional<std::string> length = request.ContentLength()) {
        long long expected = ParseDecimal(*length, static_cast<long long>(1) << 50);
        if (expected >= 0 && body.size() < static_cast<unsigned long long>(expected)) {
            return NetStatus::ReadFailed;
        }
    }
    return NetStatus::Ok;
}

}  // namespace sorvix::net_detail
