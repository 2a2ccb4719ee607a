// The read loop shared by HttpClient and fetchPage: reads into a fixed block,
// appends, and checks the overall deadline and the size ceiling between reads
// (a server that drips one byte at a time defeats a per-receive time-out).
#pragma once

#include "net/transport.h"

namespace sorvix::net_detail {

// Appends the body to `body`. Returns Ok at the end of the body, ReadFailed
// when the transport reports an error or the body ends short of its
// Content-Length (the bytes so far stay in `body`), TimedOut when `deadline`
// passes and TooLarge when the ceiling is exceeded (the caller drops `body`).
NetStatus ReadBody(TransportRequest& request, std::size_t blockSize, const NetConfig& config,
                   Clock::time_point deadline, std::string& body);

Clock::time_point DeadlineFrom(const NetConfig& config);

}  // namespace sorvix::net_detail
