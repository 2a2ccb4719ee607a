// How a network call ended, as a value separate from the HTTP status code
// (which the callers never look at). Routines still return empty bytes on
// failure; the status says why, for tests and for diagnostics.
#pragma once

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

}  // namespace sorvix
