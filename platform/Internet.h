#pragma once
// HTTP over libcurl, driven by the GUI thread's main loop: while a call waits for the network it
// runs nested iterations of the loop, so windows keep painting and answering, and it returns
// only when what it waits for has arrived. A pending quit request ends every wait at once.
// GUI thread only.

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

using INTERNET_PORT = uint16_t;
constexpr unsigned AFX_INET_SERVICE_HTTP = 3;
constexpr unsigned AFX_INET_SERVICE_HTTPS = 4;
constexpr int HTTP_VERB_GET = 1;
constexpr unsigned HTTP_STATUS_OK = 200;

// Splits "scheme://server[:port]/object" (http or https; the server may be a bracketed IPv6
// address). The port defaults to the scheme's. Returns false for anything else.
bool AfxParseURL(const std::u16string& url, unsigned& serviceType, std::u16string& server,
                 std::u16string& object, INTERNET_PORT& port);

// A network failure, a cancelled transfer, or a response that broke its own framing.
class CInternetException : public std::exception {
public:
    explicit CInternetException(std::string reason) : m_reason(std::move(reason)) {}
    const char* what() const noexcept override { return m_reason.c_str(); }

private:
    std::string m_reason;
};

// Limits that keep a dead or stalled server from holding the program for ever.
struct InternetTimeouts {
    long connectSeconds = 20;
    // A transfer slower than lowSpeedBytesPerSecond for lowSpeedSeconds is aborted; this also
    // covers a server that accepts and never answers, or trickles a byte now and then.
    long lowSpeedSeconds = 30;
    long lowSpeedBytesPerSecond = 1024;
};
void SetInternetTimeouts(const InternetTimeouts& timeouts);
InternetTimeouts GetInternetTimeouts();

class CHttpFile;
class CHttpConnection;
class TransferDriver;

class CInternetSession {
public:
    explicit CInternetSession(std::u16string agent);
    ~CInternetSession();
    CInternetSession(const CInternetSession&) = delete;
    CInternetSession& operator=(const CInternetSession&) = delete;

    // A connection to the server; null when the session could not be opened or the server
    // name is empty. No network traffic happens until a request is sent.
    std::unique_ptr<CHttpConnection> GetHttpConnection(const std::u16string& server,
                                                       INTERNET_PORT port, bool secure = false);
    void Close();

private:
    friend class CHttpConnection;
    std::string m_agent;
    std::unique_ptr<TransferDriver> m_driver;
};

class CHttpConnection {
public:
    ~CHttpConnection();
    // A request for `object`; null for an unsupported verb or a closed session.
    std::unique_ptr<CHttpFile> OpenRequest(int verb, const std::u16string& object);

private:
    friend class CInternetSession;
    CHttpConnection(CInternetSession& session, std::string base)
        : m_session(session), m_base(std::move(base)) {}
    CInternetSession& m_session;
    std::string m_base;  // "scheme://server:port"
};

class CHttpFile {
public:
    ~CHttpFile();
    CHttpFile(const CHttpFile&) = delete;
    CHttpFile& operator=(const CHttpFile&) = delete;

    // Sends the request (following redirects, http and https only, at most five) and waits
    // for the final response to begin. Throws CInternetException when no response came.
    void SendRequest();

    // The final response's status code; 0 before a response.
    unsigned QueryInfoStatusCode() const;

    // The length the final response announced, if it announced one.
    std::optional<uint64_t> QueryContentLength() const;

    // Copies up to `size` bytes of the body into `buffer`, waiting until some are there.
    // Returns 0 at the end of a complete body; throws CInternetException when the transfer
    // failed or was cancelled. The body is held in a bounded buffer whatever its length.
    size_t Read(void* buffer, size_t size);

    // Ends the transfer; nothing more is received.
    void Close();

private:
    friend class CHttpConnection;
    friend class TransferDriver;
    struct Transfer;
    CHttpFile(TransferDriver& driver, const std::string& url, const std::string& agent);

    std::unique_ptr<Transfer> m_transfer;
};

}  // namespace platform
