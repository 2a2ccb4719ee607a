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
    // An announced length over the ceiling is refused before any reading.
    std::optional<std::string> length = request.ContentLength();
    long long announced = length ? ParseDecimal(*length, static_cast<long long>(1) << 50) : -1;
    if (announced >= 0 && static_cast<unsigned long long>(announced) > config.maxBodyBytes) {
        return NetStatus::TooLarge;
    }
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
    if (announced >= 0 && body.size() < static_cast<unsigned long long>(announced)) {
        return NetStatus::ReadFailed;
    }
    return NetStatus::Ok;
}

}  // namespace sorvix::net_detail
