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

}  // namespace sorvix
