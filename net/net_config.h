// Limits every network call obeys, filled by the application from its
// configuration ([network] section) and passed down to the HTTP client and the
// page fetch. Every field has a sane default, so a default-constructed value is
// always safe to use. A dead or silent server therefore ends a call with its
// failure result after at most `overallDeadlineMs`, never a hang.
#pragma once

#include <cstddef>

namespace sorvix {

struct NetConfig {
    // Time to establish the TCP connection.
    int connectTimeoutMs = 15000;
    // Time a single send of the request may take.
    int sendTimeoutMs = 30000;
    // Time a single receive may wait for the next bytes of the answer.
    int receiveTimeoutMs = 30000;
    // Whole-call limit, checked between reads: a server that drips one byte
    // just inside the receive time-out would otherwise keep a call alive for
    // ever. The answer is dropped (empty result) when it is exceeded.
    int overallDeadlineMs = 30000;
    // The low-speed rule: once the answer's head is in, a body that brings
    // fewer than lowSpeedBytesPerSec * lowSpeedWindowMs / 1000 bytes within
    // a window of lowSpeedWindowMs ends the call as timed out (the answer is
    // dropped), long before the overall deadline. Windows are counted from
    // the end of the head, one after the other. 0 in either field: no rule.
    int lowSpeedBytesPerSec = 1024;
    int lowSpeedWindowMs = 10000;
    // Largest answer body accepted; a larger answer is dropped (empty result)
    // instead of growing memory without bound.
    std::size_t maxBodyBytes = 64u * 1024u * 1024u;
};

// The configuration that HttpClient and fetchPage use when the caller gives
// none. Thread-safe; the application sets it once at start.
NetConfig DefaultNetConfig();
void SetDefaultNetConfig(const NetConfig& config);

}  // namespace sorvix
