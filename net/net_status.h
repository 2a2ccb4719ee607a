// How a network call ended, as a value separate from the HTTP status code
// (which the callers never look at). Routines still return empty bytes on
// failure; the status says why, for tests and for diagnostics.
#pragma once

#include <string>

namespace sorvix {

enum class NetStatus {
    Ok,
    BadAddress,       // the address could not be split into host, port, path
    SessionFailed,    // the internet session could not be opened
    ConnectFailed,    // connection object could not be made / connection refused
    RequestFailed,    // the request object could not be made
    SendFailed,       // the request was not sent or no answer header came back
    ReadFailed,       // the body broke off (reset, short of Content-Length)
    TimedOut,         // the overall deadline passed (while sending or reading)
    TooLarge,         // the body grew past NetConfig::maxBodyBytes
    RedirectLoop,     // more redirects than the client follows
};

const char* NetStatusName(NetStatus status);

// Why an answer is no use, as a short phrase for people ("timed out",
// "connection refused", "HTTP 404", "body too large", "empty answer", ...),
// with the HTTP status added where there is one; empty when the answer is
// usable (Ok, a status below 400 or none, and a body). `httpStatus` 0: no
// answer head came back.
std::string FailureReason(NetStatus status, int httpStatus, bool emptyBody);

}  // namespace sorvix
