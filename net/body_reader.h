// The read loop shared by HttpClient and fetchPage: reads into a fixed block,
// appends, and checks the overall deadline and the size ceiling between reads
// (a server that drips one byte at a time defeats a per-receive time-out).
#pragma once

#include "net/transport.h"

namespace sorvix::net_detail {

// Appends the body to `body`. Returns Ok at the end of the body, ReadFailed
// when the transport reports an error or the body ends short of its
// Content-Length (the bytes so far stay in `body`), TimedOut when `deadline`
// passes or the body breaks the low-speed rule, and TooLarge when the ceiling
// is exceeded (the caller drops `body`).
NetStatus ReadBody(TransportRequest& request, std::size_t blockSize, const NetConfig& config,
                   Clock::time_point deadline, std::string& body);

// The low-speed rule of NetConfig, fed with the body's running total: the
// first window starts when the watch is made, each next one where the last
// ended. A read that blocks is judged when it returns.
class LowSpeedWatch {
public:
    LowSpeedWatch(const NetConfig& config, Clock::time_point start, std::size_t total = 0);
    // False once a whole window has passed with too few new bytes.
    bool Fast(std::size_t total, Clock::time_point now);

private:
    const Clock::duration window_;
    const double needed_;  // bytes per window
    Clock::time_point windowStart_;
    std::size_t atWindowStart_;
};

Clock::time_point DeadlineFrom(const NetConfig& config);

}  // namespace sorvix::net_detail
