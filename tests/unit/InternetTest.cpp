// The HTTP layer in this process: the main loop keeps running while a transfer waits, and a
// quit request ends a transfer at once.
#include <glib.h>
#include <gtest/gtest.h>

#include "platform/Internet.h"
#include "platform/MainLoop.h"
#include "tests/support/TestSupport.h"

using namespace testsupport;

namespace {

// Sends a 200 response with `size` bytes, one byte every `gap`.
RawServer::Responder Drip(size_t size, std::chrono::milliseconds gap) {
    return [size, gap](int s, const std::string&) {
        RawServer::Send(s,
                        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n");
        for (size_t i = 0; i < size; ++i) {
            if (!RawServer::Send(s, "x")) return;
            std::this_thread::sleep_for(gap);
        }
    };
}

std::unique_ptr<platform::CHttpFile> Request(platform::CInternetSession& session,
                                             std::unique_ptr<platform::CHttpConnection>& connection,
                                             int port) {
    connection =
        session.GetHttpConnection(u"127.0.0.1", static_cast<platform::INTERNET_PORT>(port));
    return connection->OpenRequest(platform::HTTP_VERB_GET, u"/file");
}

guint CountTicks(int* ticks) {
    return g_timeout_add(
        10,
        [](gpointer p) -> gboolean {
            ++*static_cast<int*>(p);
            return G_SOURCE_CONTINUE;
        },
        ticks);
}

}  // namespace

TEST(Internet, MainLoopKeepsRunningWhileTheBodyArrives) {
    RawServer server(Drip(20, std::chrono::milliseconds(30)));
    platform::CInternetSession session(u"test");
    std::unique_ptr<platform::CHttpConnection> connection;
    auto request = Request(session, connection, server.port());
    int ticks = 0;
    const guint timer = CountTicks(&ticks);
    request->SendRequest();
    ASSERT_EQ(request->QueryInfoStatusCode(), 200u);
    std::string body;
    char buffer[64];
    while (const size_t n = request->Read(buffer, sizeof buffer))
        body.append(buffer, n);
    g_source_remove(timer);
    EXPECT_EQ(body, std::string(20, 'x'));
    EXPECT_GT(ticks, 20);  // about 60 ticks fit into the 600 ms transfer
}

TEST(Internet, QuitRequestEndsTheTransfer) {
    RawServer server(Drip(1000, std::chrono::milliseconds(10)));
    platform::CInternetSession session(u"test");
    std::unique_ptr<platform::CHttpConnection> connection;
    auto request = Request(session, connection, server.port());
    request->SendRequest();
    g_timeout_add(
        100,
        [](gpointer) -> gboolean {
            platform::PostQuitMessage(16);
            return G_SOURCE_REMOVE;
        },
        nullptr);
    char buffer[64];
    size_t received = 0;
    EXPECT_THROW(while (const size_t n = request->Read(buffer, sizeof buffer)) received += n,
                 platform::CInternetException);
    EXPECT_LT(received, 1000u);
    EXPECT_EQ(platform::PostedQuitCode(), 16);
    platform::ResetQuitRequestForTesting();
}

TEST(Internet, LargeBodyArrivesWholeThroughTheBoundedBuffer) {
    const size_t size = 24 * 1024 * 1024;
    RawServer server([size](int s, const std::string&) {
        RawServer::Send(s,
                        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size) + "\r\n\r\n");
        std::string block(1 << 20, '\0');
        for (size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(i * 131);
        for (size_t sent = 0; sent < size; sent += block.size())
            RawServer::Send(s, block);
    });
    platform::CInternetSession session(u"test");
    std::unique_ptr<platform::CHttpConnection> connection;
    auto request = Request(session, connection, server.port());
    request->SendRequest();
    EXPECT_EQ(request->QueryContentLength(), size);
    std::vector<char> buffer(100000);  // a size that does not divide the blocks
    size_t total = 0;
    bool intact = true;
    while (const size_t n = request->Read(buffer.data(), buffer.size())) {
        for (size_t i = 0; i < n; ++i) {
            intact &= buffer[i] == static_cast<char>(((total + i) % (1 << 20)) * 131);
        }
        total += n;
    }
    EXPECT_EQ(total, size);
    EXPECT_TRUE(intact);
}
