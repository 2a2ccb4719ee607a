// The simple page fetch: one plain GET of an address, returning the raw body
// bytes whatever the status code (an error page included). Sends no cookies,
// no referer and no body. One internet session per process, opened lazily
// under a lock and kept until the process ends.
//
// Guarantees: returns empty bytes for an empty or unsplittable address and on
// any failure before or during the read; ends within the configured deadline.
// Covered by tests/net/fetch_page_test.cpp.
#pragma once

#include "net/http_client.h"

namespace sorvix {

// Uses DefaultNetConfig().
Bytes fetchPage(const Text& url);
// With explicit limits; `status` (optional) receives how the call ended and
// `httpStatus` (optional) the final answer's HTTP status, 0 when none came.
Bytes fetchPage(const Text& url, const NetConfig& config, NetStatus* status = nullptr,
                int* httpStatus = nullptr);

}  // namespace sorvix
