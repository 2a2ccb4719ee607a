// The process-wide default limits and the readable names of NetStatus.
#include <mutex>

#include "net/net_config.h"
#include "net/net_status.h"

namespace sorvix {

namespace {
std::mutex gConfigMutex;
NetConfig gConfig;
}  // namespace

NetConfig DefaultNetConfig() {
    std::lock_guard<std::mutex> lock(gConfigMutex);
    return gConfig;
}

void SetDefaultNetConfig(const NetConfig& config) {
    std::lock_guard<std::mutex> lock(gConfigMutex);
    gConfig = config;
}

const char* NetStatusName(NetStatus status) {
    switch (status) {
        case NetStatus::Ok: return "Ok";
        case NetStatus::BadAddress: return "BadAddress";
        case NetStatus::SessionFailed: return "SessionFailed";
        case NetStatus::ConnectFailed: return "ConnectFailed";
        case NetStatus::RequestFailed: return "RequestFailed";
        case NetStatus::SendFailed: return "SendFailed";
        case NetStatus::ReadFailed: return "ReadFailed";
        case NetStatus::TimedOut: return "TimedOut";
        case NetStatus::TooLarge: return "TooLarge";
        case NetStatus::RedirectLoop: return "RedirectLoop";
    }
    return "Unknown";
}

std::string FailureReason(NetStatus status, int httpStatus, bool emptyBody) {
    const std::string http = httpStatus > 0 ? "HTTP " + std::to_string(httpStatus) : std::string();
    const char* why = nullptr;
    switch (status) {
        case NetStatus::Ok:
            if (httpStatus >= 400) return http;
            if (!emptyBody) return std::string();
            why = "empty answer";
            break;
        case NetStatus::BadAddress: why = "bad address"; break;
        case NetStatus::SessionFailed: why = "no internet session"; break;
        case NetStatus::ConnectFailed: why = "connection refused"; break;
        case NetStatus::RequestFailed: why = "request not made"; break;
        case NetStatus::SendFailed: why = "no answer"; break;
        case NetStatus::ReadFailed: why = "answer broke off"; break;
        case NetStatus::TimedOut: why = "timed out"; break;
        case NetStatus::TooLarge: why = "body too large"; break;
        case NetStatus::RedirectLoop: why = "redirect loop"; break;
    }
    if (!why) why = "unknown failure";
    return http.empty() ? std::string(why) : std::string(why) + " (" + http + ")";
}

}  // namespace sorvix
