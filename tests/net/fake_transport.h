// A scripted Transport for tests that need to see what the client asks of the
// platform (flags, ports, agents, read sizes) or to make a step fail, without
// a network. Each instance records into one shared Log.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "net/transport.h"

namespace sorvix::test {

struct FakeLog {
    std::vector<SessionParams> sessions;
    std::vector<ConnectParams> connects;
    std::vector<RequestParams> requests;
    std::vector<std::string> sentHeaders;
    std::vector<std::string> sentBodies;
    std::vector<std::size_t> readSizes;  // `max` of every Read
    int closed = 0;                      // objects destroyed
};

struct FakeScript {
    bool failSession = false;
    bool failConnect = false;
    bool failRequest = false;
    bool failSend = false;
    std::string rawHeaders = "HTTP/1.1 200 OK\r\n\r\n";
    std::optional<std::string> contentLength;
    std::string body;
};

// A script whose one flag `member` is set.
inline FakeScript Failing(bool FakeScript::*member) {
    FakeScript s;
    s.*member = true;
    return s;
}

class FakeRequest : public TransportRequest {
public:
    FakeRequest(std::shared_ptr<FakeLog> log, const FakeScript& s) : log_(log), s_(s) {}
    ~FakeRequest() override { ++log_->closed; }
    NetStatus Send(const std::string& headers, const std::string& body) override {
        log_->sentHeaders.push_back(headers);
        log_->sentBodies.push_back(body);
        return s_.failSend ? NetStatus::SendFailed : NetStatus::Ok;
    }
    ReadResult Read(char* buffer, std::size_t max) override {
        log_->readSizes.push_back(max);
        std::size_t n = std::min(max, s_.body.size() - at_);
        std::memcpy(buffer, s_.body.data() + at_, n);
        at_ += n;
        return {n, NetStatus::Ok};
    }
    std::optional<std::string> RawHeaders() override {
        if (s_.failSend) return std::nullopt;
        return s_.rawHeaders;
    }
    std::optional<std::string> ContentLength() override { return s_.contentLength; }

private:
    std::shared_ptr<FakeLog> log_;
    FakeScript s_;
    std::size_t at_ = 0;
};

class FakeConnection : public TransportConnection {
public:
    FakeConnection(std::shared_ptr<FakeLog> log, const FakeScript& s) : log_(log), s_(s) {}
    ~FakeConnection() override { ++log_->closed; }
    std::unique_ptr<TransportRequest> OpenRequest(const RequestParams& p) override {
        log_->requests.push_back(p);
        if (s_.failRequest) return nullptr;
        return std::make_unique<FakeRequest>(log_, s_);
    }

private:
    std::shared_ptr<FakeLog> log_;
    FakeScript s_;
};

class FakeSession : public TransportSession {
public:
    FakeSession(std::shared_ptr<FakeLog> log, const FakeScript& s) : log_(log), s_(s) {}
    ~FakeSession() override { ++log_->closed; }
    std::unique_ptr<TransportConnection> Connect(const ConnectParams& p, const NetConfig&,
                                                 Clock::time_point) override {
        log_->connects.push_back(p);
        if (s_.failConnect) return nullptr;
        return std::make_unique<FakeConnection>(log_, s_);
    }

private:
    std::shared_ptr<FakeLog> log_;
    FakeScript s_;
};

class FakeTransport : public Transport {
public:
    explicit FakeTransport(FakeScript s = {}) : script(std::move(s)) {}
    std::unique_ptr<TransportSession> OpenSession(const SessionParams& p) override {
        log->sessions.push_back(p);
        if (script.failSession) return nullptr;
        return std::make_unique<FakeSession>(log, script);
    }
    FakeScript script;
    std::shared_ptr<FakeLog> log = std::make_shared<FakeLog>();
};

}  // namespace sorvix::test
