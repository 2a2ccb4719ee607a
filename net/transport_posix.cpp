// The libcurl transport, built to look like the WinInet one from both sides:
// the server sees the same request line and header block (Host,
// Content-Length, User-Agent, then the caller's lines in order, a later line
// replacing an earlier one of the same name), and the caller gets the final
// answer's header
// block rebuilt the same way ("Name: value" lines, ending with an empty line).
// curl never follows redirects here (request_chain.cpp does) and sends only
// the headers we give it. The platform's own cookies are a small process-wide
// store here, switched off for requests that carry their own.
//
// The whole exchange runs inside Send (curl_easy_perform); Read then hands out
// the buffered body. Limits: connect time-out, a low-speed window for the
// receive time-out, the overall deadline as curl's total time-out, the
// body's low-speed rule in the progress callback and the size ceiling in the
// write callback. Covered by the net tests run natively.
#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "net/body_reader.h"
#include "net/gbk_text.h"
#include "net/transport.h"
#include "net/unique_handle.h"
#include "text/text.h"

namespace sorvix {

using namespace net_detail;

namespace {

struct CurlTraits {
    using Handle = CURL*;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { curl_easy_cleanup(h); }
};
using CurlHandle = UniqueHandle<CurlTraits>;

struct SlistTraits {
    using Handle = curl_slist*;
    static Handle Invalid() { return nullptr; }
    static void Close(Handle h) { curl_slist_free_all(h); }
};
using SlistHandle = UniqueHandle<SlistTraits>;

void InitCurlOnce() {
    static const bool done = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return true;
    }();
    (void)done;
}

// The process's own cookies, used by every request that does not carry its
// own, as the platform's store is on Windows: kept per host (no Domain
// widening) and path, sent as one "Cookie:" line after all other lines.
// An item with Max-Age=0 or the value "deleted" removes the cookie. Nothing
// is written to disk; expiry dates are not tracked.
class CookieStore {
public:
    std::string HeaderFor(const std::string& host, const std::string& target) {
        std::string path = target.substr(0, target.find('?'));
        std::lock_guard<std::mutex> lock(mutex_);
        std::string out;
        for (const Cookie& c : cookies_) {
            if (c.host != ToLower(host) || !PathMatches(path, c.path)) continue;
            if (!out.empty()) out += "; ";
            out += c.name + "=" + c.value;
        }
        return out;
    }

    void Store(const std::string& host, const std::string& target, const std::string& setCookie) {
        std::vector<std::string> parts = Split(setCookie, ";");
        if (parts.empty()) return;
        std::size_t eq = parts[0].find('=');
        if (eq == std::string::npos) return;
        Cookie c{ToLower(host), DefaultPath(target.substr(0, target.find('?'))),
                 Trim(parts[0].substr(0, eq)), Trim(parts[0].substr(eq + 1))};
        if (c.name.empty()) return;
        bool remove = c.value == "deleted";
        for (std::size_t i = 1; i < parts.size(); ++i) {
            std::string attr = Trim(parts[i]);
            std::string key = ToLower(attr.substr(0, attr.find('=')));
            std::string value = attr.find('=') == std::string::npos ? "" : Trim(attr.substr(attr.find('=') + 1));
            if (key == "path" && !value.empty() && value[0] == '/') c.path = value;
            if (key == "max-age" && ParseDecimal(value, 1LL << 40) == 0) remove = true;
            if (key == "max-age" && !value.empty() && value[0] == '-') remove = true;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        cookies_.erase(std::remove_if(cookies_.begin(), cookies_.end(),
                                      [&](const Cookie& o) {
                                          return o.host == c.host && o.path == c.path &&
                                                 o.name == c.name;
                                      }),
                       cookies_.end());
        if (!remove) cookies_.push_back(std::move(c));
    }

private:
    struct Cookie {
        std::string host;
        std::string path;
        std::string name;
        std::string value;
    };
    static bool PathMatches(const std::string& requestPath, const std::string& cookiePath) {
        if (requestPath.compare(0, cookiePath.size(), cookiePath) != 0) return false;
        return requestPath.size() == cookiePath.size() || cookiePath.back() == '/' ||
               requestPath[cookiePath.size()] == '/';
    }
    static std::string DefaultPath(const std::string& path) {
        std::size_t slash = path.rfind('/');
        if (slash == std::string::npos || slash == 0) return "/";
        return path.substr(0, slash);
    }
    std::mutex mutex_;
    std::vector<Cookie> cookies_;
};

CookieStore& Cookies() {
    // Never destroyed: requests on other threads may still use it at exit.
    static CookieStore* store = new CookieStore();
    return *store;
}

struct HeaderLine {
    std::string name;
    std::string line;
};

// Adds `line` the way the platform adds a request header: a line of the same
// name (case-insensitive) goes, the new one is appended as "Name: value".
void AddHeader(std::vector<HeaderLine>& lines, const std::string& raw) {
    std::size_t colon = raw.find(':');
    if (colon == std::string::npos) return;
    std::string name = Trim(raw.substr(0, colon));
    if (name.empty()) return;
    std::string value = Trim(raw.substr(colon + 1));
    std::string key = ToLower(name);
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [&](const HeaderLine& h) { return h.name == key; }),
                lines.end());
    lines.push_back({key, name + ": " + value});
}

class CurlRequest final : public TransportRequest {
public:
    CurlRequest(std::string agent, std::string proxy, ConnectParams where, NetConfig config,
                Clock::time_point deadline, RequestParams params)
        : agent_(std::move(agent)),
          proxy_(std::move(proxy)),
          where_(std::move(where)),
          config_(config),
          deadline_(deadline),
          params_(std::move(params)) {}

    NetStatus Send(const std::string& headers, const std::string& body) override {
        // The header block, in the platform's order.
        const bool secure = (params_.flags & kFlagSecure) != 0;
        std::vector<HeaderLine> lines;
        std::string host = where_.host;
        if (where_.port != (secure ? 443 : 80)) host += ":" + std::to_string(where_.port);
        AddHeader(lines, "Host: " + host);
        const bool sendsBody = !body.empty() || params_.verb == "POST";
        if (sendsBody) AddHeader(lines, "Content-Length: " + std::to_string(body.size()));
        if (!agent_.empty()) AddHeader(lines, "User-Agent: " + agent_);
        if (params_.acceptType) AddHeader(lines, "Accept: " + *params_.acceptType);
        for (const std::string& line : Split(headers, "\r\n")) AddHeader(lines, line);
        const bool platformCookies = (params_.flags & kFlagNoCookies) == 0;
        if (platformCookies) {
            std::string stored = Cookies().HeaderFor(where_.host, params_.path);
            if (!stored.empty()) lines.push_back({"cookie", "Cookie: " + stored});
        }

        Perform(lines, body, sendsBody);
        // Like the platform: credentials from the address are sent only when
        // the server asks for them with a Basic challenge, and then once.
        if (StatusCode() == 401 && !where_.user.empty() && BasicChallenge()) {
            lines.push_back({"authorization",
                             "Authorization: Basic " + Base64(where_.user + ":" + where_.password)});
            Perform(lines, body, sendsBody);
        }
        if (platformCookies) {
            for (const HeaderLine& h : responseLines_) {
                if (h.name == "set-cookie") {
                    Cookies().Store(where_.host, params_.path, h.line.substr(h.line.find(':') + 1));
                }
            }
        }
        if (!statusLine_.empty()) return NetStatus::Ok;
        return result_ == CURLE_COULDNT_CONNECT || result_ == CURLE_COULDNT_RESOLVE_HOST
                   ? NetStatus::ConnectFailed
                   : NetStatus::SendFailed;
    }

    ReadResult Read(char* buffer, std::size_t max) override {
        if (readAt_ < body_.size()) {
            std::size_t n = std::min(max, body_.size() - readAt_);
            std::memcpy(buffer, body_.data() + readAt_, n);
            readAt_ += n;
            return {n, NetStatus::Ok};
        }
        if (tooLarge_) return {0, NetStatus::TooLarge};
        if (tooSlow_) return {0, NetStatus::TimedOut};
        if (result_ == CURLE_OK) return {0, NetStatus::Ok};
        if (result_ == CURLE_OPERATION_TIMEDOUT) return {0, NetStatus::TimedOut};
        return {0, NetStatus::ReadFailed};
    }

    bool TakeBody(std::string& body) override {
        if (readAt_ != 0 || tooLarge_ || tooSlow_ || result_ != CURLE_OK) return false;
        body.swap(body_);
        body_.clear();
        body_.shrink_to_fit();
        readAt_ = 0;
        return true;
    }

    std::optional<std::string> RawHeaders() override {
        if (statusLine_.empty()) return std::nullopt;
        std::string raw = statusLine_ + "\r\n";
        for (const HeaderLine& h : responseLines_) raw += h.line + "\r\n";
        return raw + "\r\n";
    }

    std::optional<std::string> ContentLength() override {
        for (const HeaderLine& h : responseLines_) {
            if (h.name == "content-length") return Trim(h.line.substr(h.line.find(':') + 1));
        }
        return std::nullopt;
    }

private:
    void Perform(const std::vector<HeaderLine>& lines, const std::string& body, bool sendsBody) {
        statusLine_.clear();
        responseLines_.clear();
        body_.clear();
        readAt_ = 0;
        tooLarge_ = false;
        tooSlow_ = false;
        headEnded_ = false;
        speed_.reset();
        result_ = CURLE_FAILED_INIT;
        CurlHandle curl(curl_easy_init());
        if (!curl) return;
        CURL* c = curl.Get();
        const bool secure = (params_.flags & kFlagSecure) != 0;
        std::string url = std::string(secure ? "https://" : "http://") + where_.host + ":" +
                          std::to_string(where_.port) + "/";
        curl_easy_setopt(c, CURLOPT_URL, url.c_str());
        curl_easy_setopt(c, CURLOPT_REQUEST_TARGET, params_.path.c_str());
        curl_easy_setopt(c, CURLOPT_HTTP_VERSION, params_.version == "HTTP/1.0"
                                                      ? CURL_HTTP_VERSION_1_0
                                                      : CURL_HTTP_VERSION_1_1);
        curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
        if (!proxy_.empty()) curl_easy_setopt(c, CURLOPT_PROXY, proxy_.c_str());

        // Limits. curl's total time-out is the call's remaining deadline; the
        // receive time-out is a low-speed window (whole seconds in curl).
        // Rounded up, so that curl gives up at or after the deadline, never
        // just before it: the caller tells a time-out from a dead server by
        // the clock.
        long left = static_cast<long>(std::max<long long>(
            1, std::chrono::ceil<std::chrono::milliseconds>(deadline_ - Clock::now()).count()));
        curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS,
                         std::min<long>(config_.connectTimeoutMs, left));
        curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, left);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
        curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME,
                         std::max<long>(1, (config_.receiveTimeoutMs + 999) / 1000));
        // The body's own low-speed rule (curl has room for one rule only).
        curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &OnProgress);
        curl_easy_setopt(c, CURLOPT_XFERINFODATA, this);

        SlistHandle list;
        auto append = [&](const std::string& line) {
            // Appending returns the list's head (a new one for an empty list).
            if (curl_slist* head = curl_slist_append(list.Get(), line.c_str())) {
                (void)list.Release();
                list.Reset(head);
            }
        };
        for (const HeaderLine& h : lines) append(h.line);
        // Headers curl would add by itself: none of them goes out unless given.
        for (const char* own : {"Accept:", "Expect:", "Content-Type:"}) {
            std::string key = ToLower(std::string(own, std::strlen(own) - 1));
            bool given = std::any_of(lines.begin(), lines.end(),
                                     [&](const HeaderLine& h) { return h.name == key; });
            if (!given) append(own);
        }
        curl_easy_setopt(c, CURLOPT_HTTPHEADER, list.Get());

        if (sendsBody) {
            curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
            curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
            curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, params_.verb.c_str());
        } else if (params_.verb != "GET") {
            curl_easy_setopt(c, CURLOPT_CUSTOMREQUEST, params_.verb.c_str());
        }

        curl_easy_setopt(c, CURLOPT_HEADERFUNCTION, &OnHeader);
        curl_easy_setopt(c, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &OnBody);
        curl_easy_setopt(c, CURLOPT_WRITEDATA, this);
        result_ = curl_easy_perform(c);
    }

    int StatusCode() const {
        std::size_t sp = statusLine_.find(' ');
        if (sp == std::string::npos) return 0;
        return static_cast<int>(std::max<long long>(0, ParseDecimal(statusLine_.substr(sp + 1), 999)));
    }

    bool BasicChallenge() const {
        return std::any_of(responseLines_.begin(), responseLines_.end(), [](const HeaderLine& h) {
            return h.name == "www-authenticate" &&
                   ToLower(Trim(h.line.substr(h.line.find(':') + 1))).compare(0, 5, "basic") == 0;
        });
    }

    static std::string Base64(const std::string& in) {
        static constexpr char kAlphabet[] =
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        std::string out;
        for (std::size_t i = 0; i < in.size(); i += 3) {
            unsigned v = static_cast<unsigned char>(in[i]) << 16;
            if (i + 1 < in.size()) v |= static_cast<unsigned char>(in[i + 1]) << 8;
            if (i + 2 < in.size()) v |= static_cast<unsigned char>(in[i + 2]);
            out += kAlphabet[(v >> 18) & 63];
            out += kAlphabet[(v >> 12) & 63];
            out += i + 1 < in.size() ? kAlphabet[(v >> 6) & 63] : '=';
            out += i + 2 < in.size() ? kAlphabet[v & 63] : '=';
        }
        return out;
    }

    static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
        auto* me = static_cast<CurlRequest*>(self);
        std::string line(data, size * count);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
        if (line.compare(0, 5, "HTTP/") == 0) {
            // A new answer (after a 100 Continue, say): only the last counts.
            me->statusLine_ = line;
            me->responseLines_.clear();
            me->headEnded_ = false;
        } else if (line.empty()) {
            me->headEnded_ = !me->statusLine_.empty();
        } else {
            std::size_t colon = line.find(':');
            if (colon != std::string::npos) {
                std::string name = line.substr(0, colon);
                me->responseLines_.push_back(
                    {ToLower(name), name + ": " + Trim(line.substr(colon + 1))});
            }
        }
        return size * count;
    }

    // Called about once a second and with every block; the low-speed rule's
    // windows start once the final head is in.
    static int OnProgress(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
        auto* me = static_cast<CurlRequest*>(self);
        if (!me->headEnded_) return 0;
        const Clock::time_point now = Clock::now();
        if (!me->speed_) me->speed_.emplace(me->config_, now, me->body_.size());
        if (me->speed_->Fast(me->body_.size(), now)) return 0;
        me->tooSlow_ = true;
        return 1;  // curl ends the transfer
    }

    static size_t OnBody(char* data, size_t size, size_t count, void* self) {
        auto* me = static_cast<CurlRequest*>(self);
        std::size_t n = size * count;
        if (me->body_.size() + n > me->config_.maxBodyBytes) {
            me->tooLarge_ = true;
            return 0;  // curl ends the transfer with a write error
        }
        if (me->body_.empty()) {
            // Room for an announced length (within the ceiling) at once: a
            // big body then never holds a grown copy beside the old one.
            for (const HeaderLine& h : me->responseLines_) {
                if (h.name != "content-length") continue;
                long long length = ParseDecimal(Trim(h.line.substr(h.line.find(':') + 1)),
                                                static_cast<long long>(me->config_.maxBodyBytes));
                if (length > 0) me->body_.reserve(static_cast<std::size_t>(length));
            }
        }
        me->body_.append(data, n);
        return n;
    }

    std::string agent_;
    std::string proxy_;
    ConnectParams where_;
    NetConfig config_;
    Clock::time_point deadline_;
    RequestParams params_;

    CURLcode result_ = CURLE_OK;
    std::string statusLine_;
    std::vector<HeaderLine> responseLines_;
    std::string body_;
    std::size_t readAt_ = 0;
    bool tooLarge_ = false;
    bool tooSlow_ = false;
    bool headEnded_ = false;
    std::optional<net_detail::LowSpeedWatch> speed_;
};

class CurlConnection final : public TransportConnection {
public:
    CurlConnection(std::string agent, std::string proxy, ConnectParams where, NetConfig config,
                   Clock::time_point deadline)
        : agent_(std::move(agent)),
          proxy_(std::move(proxy)),
          where_(std::move(where)),
          config_(config),
          deadline_(deadline) {}

    std::unique_ptr<TransportRequest> OpenRequest(const RequestParams& params) override {
        return std::make_unique<CurlRequest>(agent_, proxy_, where_, config_, deadline_, params);
    }

private:
    std::string agent_;
    std::string proxy_;
    ConnectParams where_;
    NetConfig config_;
    Clock::time_point deadline_;
};

// Like the platform's, the session and the connection only hold settings;
// the network is touched when a request is sent.
class CurlSession final : public TransportSession {
public:
    explicit CurlSession(const SessionParams& p) : agent_(p.agent) {
        // "http=host:port" names the proxy for http addresses.
        if (p.proxy.compare(0, 5, "http=") == 0) proxy_ = "http://" + p.proxy.substr(5);
        else if (!p.proxy.empty()) proxy_ = "http://" + p.proxy;
    }

    std::unique_ptr<TransportConnection> Connect(const ConnectParams& p, const NetConfig& config,
                                                 Clock::time_point deadline) override {
        if (p.host.empty() || p.port <= 0 || p.port > 65535) return nullptr;
        return std::make_unique<CurlConnection>(agent_, proxy_, p, config, deadline);
    }

private:
    std::string agent_;
    std::string proxy_;
};

class CurlTransport final : public Transport {
public:
    std::unique_ptr<TransportSession> OpenSession(const SessionParams& p) override {
        InitCurlOnce();  // before any thread uses curl
        return std::make_unique<CurlSession>(p);
    }
};

}  // namespace

std::shared_ptr<Transport> PlatformTransport() {
    static std::shared_ptr<Transport> transport = std::make_shared<CurlTransport>();
    return transport;
}

}  // namespace sorvix
