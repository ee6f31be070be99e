#include "platform/Internet.h"

#include <curl/curl.h>
#include <glib-unix.h>
#include <glib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string_view>

#include "platform/MainLoop.h"
#include "platform/TextCodec.h"

namespace platform {
namespace {

InternetTimeouts g_timeouts;

// Bytes curl asks the socket for at once, and the most the body buffer holds before the
// transfer is paused until the reader catches up.
constexpr long kReceiveBufferBytes = 512 * 1024;
constexpr size_t kBodyBufferLimit = 2 * 1024 * 1024;
constexpr long kMaxRedirects = 5;

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char16_t x, char16_t y) {
               auto lower = [](char16_t c) {
                   return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c;
               };
               return lower(x) == lower(y);
           });
}

}  // namespace

// Connects a curl multi handle to the default main context: each socket curl wants watched
// becomes a GLib fd source, curl's timer a GLib timeout.
class TransferDriver {
public:
    TransferDriver() {
        InitCurlOnce();
        m_multi = curl_multi_init();
        if (!m_multi) return;
        curl_multi_setopt(m_multi, CURLMOPT_SOCKETFUNCTION, &TransferDriver::OnSocket);
        curl_multi_setopt(m_multi, CURLMOPT_SOCKETDATA, this);
        curl_multi_setopt(m_multi, CURLMOPT_TIMERFUNCTION, &TransferDriver::OnTimer);
        curl_multi_setopt(m_multi, CURLMOPT_TIMERDATA, this);
    }
    ~TransferDriver() {
        for (auto& [socket, source] : m_watches)
            g_source_remove(source);
        if (m_timer) g_source_remove(m_timer);
        if (m_multi) curl_multi_cleanup(m_multi);
    }
    TransferDriver(const TransferDriver&) = delete;
    TransferDriver& operator=(const TransferDriver&) = delete;

    bool IsOpen() const { return m_multi != nullptr; }
    bool Add(CURL* easy) { return curl_multi_add_handle(m_multi, easy) == CURLM_OK; }
    void Remove(CURL* easy) { curl_multi_remove_handle(m_multi, easy); }

private:
    static int OnSocket(CURL*, curl_socket_t socket, int what, void* self, void*) {
        static_cast<TransferDriver*>(self)->Watch(socket, what);
        return 0;
    }
    static int OnTimer(CURLM*, long timeoutMs, void* self) {
        static_cast<TransferDriver*>(self)->SetTimer(timeoutMs);
        return 0;
    }
    static gboolean OnFdReady(gint fd, GIOCondition condition, gpointer self) {
        int events = 0;
        if (condition & (G_IO_IN | G_IO_HUP)) events |= CURL_CSELECT_IN;
        if (condition & G_IO_OUT) events |= CURL_CSELECT_OUT;
        if (condition & (G_IO_ERR | G_IO_NVAL)) events |= CURL_CSELECT_ERR;
        static_cast<TransferDriver*>(self)->Act(fd, events);
        return G_SOURCE_CONTINUE;
    }
    static gboolean OnTimeout(gpointer self) {
        auto* driver = static_cast<TransferDriver*>(self);
        driver->m_timer = 0;
        driver->Act(CURL_SOCKET_TIMEOUT, 0);
        return G_SOURCE_REMOVE;
    }

    void Watch(curl_socket_t socket, int what) {
        if (auto it = m_watches.find(socket); it != m_watches.end()) {
            g_source_remove(it->second);
            m_watches.erase(it);
        }
        if (what == CURL_POLL_REMOVE) return;
        int condition = G_IO_ERR | G_IO_HUP;
        if (what & CURL_POLL_IN) condition |= G_IO_IN;
        if (what & CURL_POLL_OUT) condition |= G_IO_OUT;
        m_watches[socket] =
            g_unix_fd_add_full(G_PRIORITY_DEFAULT, socket, static_cast<GIOCondition>(condition),
                               &TransferDriver::OnFdReady, this, nullptr);
    }
    void SetTimer(long timeoutMs) {
        if (m_timer) g_source_remove(m_timer);
        m_timer = 0;
        if (timeoutMs >= 0)
            m_timer = g_timeout_add(static_cast<guint>(timeoutMs), &OnTimeout, this);
    }
    void Act(curl_socket_t socket, int events);

    CURLM* m_multi = nullptr;
    std::map<curl_socket_t, guint> m_watches;
    guint m_timer = 0;
};

struct CHttpFile::Transfer {
    TransferDriver& driver;
    CURL* easy = nullptr;
    bool added = false;
    bool done = false;
    bool bodyStarted = false;
    bool paused = false;
    CURLcode result = CURLE_OK;
    std::vector<char> body;  // received, not yet read; body[readPos..] is unread
    size_t readPos = 0;
    std::string url;

    explicit Transfer(TransferDriver& d) : driver(d) {}
    ~Transfer() { Stop(); }

    size_t Unread() const { return body.size() - readPos; }

    void Stop() {
        if (added) driver.Remove(easy);
        added = false;
        if (easy) curl_easy_cleanup(easy);
        easy = nullptr;
    }

    // The headers of each response (redirects included): a Content-Length that is no plain
    // number, or two that differ, leaves the body's end unknown; such a response is refused.
    std::optional<std::string> contentLength;
    static size_t OnHeader(char* data, size_t, size_t size, void* self) {
        auto* t = static_cast<Transfer*>(self);
        const std::string_view line(data, size);
        if (line.rfind("HTTP/", 0) == 0) {
            t->contentLength.reset();  // the next response begins
            return size;
        }
        constexpr std::string_view kName = "content-length:";
        if (line.size() < kName.size() ||
            !std::equal(kName.begin(), kName.end(), line.begin(), [](char a, char b) {
                return a == std::tolower(static_cast<unsigned char>(b));
            })) {
            return size;
        }
        std::string_view value = line.substr(kName.size());
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.remove_prefix(1);
        while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
            value.remove_suffix(1);
        const bool number =
            !value.empty() && value.size() <= 19 &&
            std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (!number || (t->contentLength && *t->contentLength != value)) return 0;  // abort
        t->contentLength = std::string(value);
        return size;
    }

    static size_t OnBody(char* data, size_t, size_t size, void* self) {
        auto* t = static_cast<Transfer*>(self);
        if (t->Unread() > 0 && t->Unread() + size > kBodyBufferLimit) {
            t->paused = true;
            return CURL_WRITEFUNC_PAUSE;
        }
        if (t->readPos == t->body.size()) t->body.clear(), t->readPos = 0;
        t->body.insert(t->body.end(), data, data + size);
        t->bodyStarted = true;
        return size;
    }
};

void TransferDriver::Act(curl_socket_t socket, int events) {
    int running = 0;
    curl_multi_socket_action(m_multi, socket, events, &running);
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(m_multi, &left)) {
        if (message->msg != CURLMSG_DONE) continue;
        CHttpFile::Transfer* transfer = nullptr;
        curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &transfer);
        if (transfer) {
            transfer->done = true;
            transfer->result = message->data.result;
        }
    }
}

bool AfxParseURL(const std::u16string& url, unsigned& serviceType, std::u16string& server,
                 std::u16string& object, INTERNET_PORT& port) {
    const size_t schemeEnd = url.find(u"://");
    if (schemeEnd == std::u16string::npos) return false;
    const std::u16string_view scheme(url.data(), schemeEnd);
    if (EqualsNoCase(scheme, u"http")) {
        serviceType = AFX_INET_SERVICE_HTTP, port = 80;
    } else if (EqualsNoCase(scheme, u"https")) {
        serviceType = AFX_INET_SERVICE_HTTPS, port = 443;
    } else {
        return false;
    }
    const size_t hostStart = schemeEnd + 3;
    const size_t pathStart = std::min(url.find_first_of(u"/?#", hostStart), url.size());
    std::u16string_view authority(url.data() + hostStart, pathStart - hostStart);
    if (authority.find(u'@') != std::u16string_view::npos) return false;
    std::u16string_view portText;
    if (!authority.empty() && authority.front() == u'[') {
        const size_t close = authority.find(u']');
        if (close == std::u16string_view::npos) return false;
        server = std::u16string(authority.substr(1, close - 1));
        std::u16string_view rest = authority.substr(close + 1);
        if (!rest.empty() && rest.front() != u':') return false;
        if (!rest.empty()) portText = rest.substr(1);
    } else {
        const size_t colon = authority.find(u':');
        server = std::u16string(authority.substr(0, colon));
        if (colon != std::u16string_view::npos) portText = authority.substr(colon + 1);
    }
    if (server.empty()) return false;
    if (!portText.empty()) {
        unsigned value = 0;
        for (char16_t c : portText) {
            if (c < u'0' || c > u'9' || (value = value * 10 + (c - u'0')) > 65535) return false;
        }
        if (value == 0) return false;
        port = static_cast<INTERNET_PORT>(value);
    }
    object = pathStart < url.size() ? url.substr(pathStart) : u"/";
    if (object.front() != u'/') object.insert(object.begin(), u'/');
    return true;
}

void SetInternetTimeouts(const InternetTimeouts& timeouts) {
    g_timeouts = timeouts;
}
InternetTimeouts GetInternetTimeouts() {
    return g_timeouts;
}

CInternetSession::CInternetSession(std::u16string agent)
    : m_agent(WideToUtf8(agent)), m_driver(std::make_unique<TransferDriver>()) {}

CInternetSession::~CInternetSession() = default;

void CInternetSession::Close() {
    m_driver.reset();
}

std::unique_ptr<CHttpConnection> CInternetSession::GetHttpConnection(const std::u16string& server,
                                                                     INTERNET_PORT port,
                                                                     bool secure) {
    if (!m_driver || !m_driver->IsOpen() || server.empty()) return nullptr;
    std::string host = WideToUtf8(server);
    if (host.find(':') != std::string::npos) host = "[" + host + "]";
    std::string base = (secure ? "https://" : "http://") + host + ":" + std::to_string(port);
    return std::unique_ptr<CHttpConnection>(new CHttpConnection(*this, std::move(base)));
}

CHttpConnection::~CHttpConnection() = default;

std::unique_ptr<CHttpFile> CHttpConnection::OpenRequest(int verb, const std::u16string& object) {
    if (verb != HTTP_VERB_GET || !m_session.m_driver) return nullptr;
    auto request = std::unique_ptr<CHttpFile>(
        new CHttpFile(*m_session.m_driver, m_base + WideToUtf8(object), m_session.m_agent));
    if (!request->m_transfer->easy) return nullptr;
    return request;
}

CHttpFile::CHttpFile(TransferDriver& driver, const std::string& url, const std::string& agent)
    : m_transfer(std::make_unique<Transfer>(driver)) {
    Transfer& t = *m_transfer;
    t.url = url;
    t.easy = curl_easy_init();
    if (!t.easy) return;
    const InternetTimeouts timeouts = g_timeouts;
    curl_easy_setopt(t.easy, CURLOPT_URL, t.url.c_str());
    curl_easy_setopt(t.easy, CURLOPT_USERAGENT, agent.c_str());
    curl_easy_setopt(t.easy, CURLOPT_PRIVATE, &t);
    curl_easy_setopt(t.easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(t.easy, CURLOPT_WRITEFUNCTION, &Transfer::OnBody);
    curl_easy_setopt(t.easy, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(t.easy, CURLOPT_HEADERFUNCTION, &Transfer::OnHeader);
    curl_easy_setopt(t.easy, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(t.easy, CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl_easy_setopt(t.easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(t.easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(t.easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(t.easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(t.easy, CURLOPT_CONNECTTIMEOUT, timeouts.connectSeconds);
    curl_easy_setopt(t.easy, CURLOPT_LOW_SPEED_TIME, timeouts.lowSpeedSeconds);
    curl_easy_setopt(t.easy, CURLOPT_LOW_SPEED_LIMIT, timeouts.lowSpeedBytesPerSecond);
}

CHttpFile::~CHttpFile() = default;

void CHttpFile::Close() {
    m_transfer->Stop();
}

void CHttpFile::SendRequest() {
    Transfer& t = *m_transfer;
    if (!t.easy || t.added || t.done) throw CInternetException("request cannot be sent");
    if (!t.driver.Add(t.easy)) throw CInternetException("request could not start");
    t.added = true;
    if (!RunLoopUntil([&] { return t.bodyStarted || t.done; })) {
        Close();
        throw CInternetException("cancelled");
    }
    if (t.done && t.result != CURLE_OK && QueryInfoStatusCode() == 0) {
        throw CInternetException(curl_easy_strerror(t.result));
    }
}

unsigned CHttpFile::QueryInfoStatusCode() const {
    long code = 0;
    if (m_transfer->easy) curl_easy_getinfo(m_transfer->easy, CURLINFO_RESPONSE_CODE, &code);
    return static_cast<unsigned>(code);
}

std::optional<uint64_t> CHttpFile::QueryContentLength() const {
    curl_off_t length = -1;
    if (m_transfer->easy) {
        curl_easy_getinfo(m_transfer->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    }
    if (length < 0) return std::nullopt;
    return static_cast<uint64_t>(length);
}

size_t CHttpFile::Read(void* buffer, size_t size) {
    Transfer& t = *m_transfer;
    if (size == 0) return 0;
    if (!t.easy) throw CInternetException("request closed");
    if (!RunLoopUntil([&] { return t.Unread() > 0 || t.done; })) {
        Close();
        throw CInternetException("cancelled");
    }
    if (t.Unread() == 0) {
        if (t.result != CURLE_OK) throw CInternetException(curl_easy_strerror(t.result));
        return 0;
    }
    const size_t n = std::min(size, t.Unread());
    std::memcpy(buffer, t.body.data() + t.readPos, n);
    t.readPos += n;
    if (t.paused && t.Unread() == 0) {
        t.paused = false;
        curl_easy_pause(t.easy, CURLPAUSE_CONT);  // may deliver more body at once
    }
    return n;
}

}  // namespace platform
