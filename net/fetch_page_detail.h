// Internals of fetchPage exposed for tests: the fetch over a given session
// (nullptr: the process's own) and the chunk-size rule.
#pragma once

#include <optional>
#include <string>

#include "net/fetch_page.h"
#include "net/transport.h"

namespace sorvix::net_detail {

// `httpStatus` (optional) receives the final answer's HTTP status, 0 when none.
Bytes FetchPageWith(TransportSession* session, const Text& url, const NetConfig& config,
                    NetStatus& status, int* httpStatus = nullptr);

// 10240 without a usable Content-Length, else length + 1, at most 102400.
std::size_t PageChunkSize(const std::optional<std::string>& contentLength);

}  // namespace sorvix::net_detail
