#pragma once
// A login panel that records what reaches it, and a fixture with a page server, for tests of
// the panel's browser under an X server.

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "app/LoginApp.h"
#include "login/ScriptBridge.h"
#include "platform/MainLoop.h"
#include "platform/TextCodec.h"
#include "tests/gui/GuiSupport.h"
#include "tests/support/TestSupport.h"
#include "ui/LoginActiveDlg.h"

namespace guitest {

using namespace platform;
using std::chrono::milliseconds;
using std::chrono::seconds;
namespace fs = std::filesystem;

inline std::u16string UrlOf(const VARIANT* url) {
    return url && url->vt == VT_BSTR && url->bstrVal ? std::u16string(url->bstrVal) : u"";
}
inline std::string Narrow(const std::u16string& text) {
    return WideToUtf8(text);
}

// A panel that records what reaches it.
class TestPanel : public CLoginActiveDlg {
public:
    TestPanel() : CLoginActiveDlg(nullptr) {
        CreateTopLevel(u"panel under test", 1334, 725);
        ShowWindow(SW_SHOW);
        theApp.m_pScriptBridge->m_pOwner = this;
    }
    ~TestPanel() override { theApp.m_pScriptBridge->m_pOwner = nullptr; }

    void OnNavigateComplete2(IDispatch* frame, VARIANT* url) override {
        navigated.push_back(Narrow(UrlOf(url)));
        CLoginActiveDlg::OnNavigateComplete2(frame, url);
    }
    void OnDocumentComplete(IDispatch* frame, VARIANT* url) override {
        CLoginActiveDlg::OnDocumentComplete(frame, url);
        completed.push_back(Narrow(UrlOf(url)));
    }
    void OnHtmlElementClick(IDispatch* event) override {
        CLoginActiveDlg::OnHtmlElementClick(event);
        Click click;
        CComPtr<IHTMLElement> source;
        auto object = CComPtr<IDispatch>(event).As<IHTMLEventObj>(IID_IHTMLEventObj);
        if (object && SUCCEEDED(object->get_srcElement(&source)) && source) {
            CComBSTR tag;
            source->get_tagName(&tag);
            click.tag = Narrow(tag.Text());
            if (auto anchor = source.As<IHTMLAnchorElement>(IID_IHTMLAnchorElement)) {
                CComBSTR href;
                anchor->get_href(&href);
                click.href = Narrow(href.Text());
            }
        }
        clicks.push_back(click);
    }

    std::set<std::string> Keys() const {
        std::set<std::string> keys;
        for (const auto& [key, connection] : m_mapElementConnections)
            keys.insert(Narrow(key));
        return keys;
    }
    GtkWidget* BrowserWidget() const {
        return reinterpret_cast<GtkWidget*>(m_browser.GetSafeHwnd());
    }
    bool WaitForCompleted(const std::string& url, milliseconds limit = seconds(15)) {
        return SpinUntil(
            [&] { return std::find(completed.begin(), completed.end(), url) != completed.end(); },
            limit);
    }
    bool WaitForNavigated(const std::string& url, milliseconds limit = seconds(15)) {
        return SpinUntil(
            [&] { return std::find(navigated.begin(), navigated.end(), url) != navigated.end(); },
            limit);
    }
    // Clicks at a point of the browser area (real pointer input).
    void ClickAt(int x, int y, int button = 1) {
        // A view shown a moment ago may not have taken its size yet; let it settle first.
        SpinUntil([&] { return gtk_widget_get_mapped(BrowserWidget()); });
        SpinFor(milliseconds(150));
        int originX, originY;
        ScreenOrigin(BrowserWidget(), originX, originY);
        Xdotool({"mousemove", std::to_string(originX + x), std::to_string(originY + y), "click",
                 std::to_string(button)});
    }
    void Focus() { GiveFocus(BrowserWidget()); }
    Pixels BrowserPixels() {
        int x, y;
        ScreenOrigin(BrowserWidget(), x, y);
        return ReadScreen(x, y, kBrowserRect.Width(), kBrowserRect.Height());
    }

    struct Click {
        std::string tag, href;
    };
    std::vector<std::string> navigated, completed;
    std::vector<Click> clicks;
};

class BrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        fs::remove("log.txt");
        ResetQuitRequestForTesting();
        server_->Get("/log", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(testsupport::ReadFile("log.txt"), "text/plain");
        });
    }
    void TearDown() override { ResetQuitRequestForTesting(); }

    void Page(const std::string& path, const std::string& html) {
        server_->Get(path, [html](const httplib::Request&, httplib::Response& res) {
            res.set_content(html, "text/html; charset=utf-8");
        });
    }
    static std::string Log() { return testsupport::ReadFile("log.txt"); }
    std::string Url(const std::string& path) const { return server_.Url(path); }

    HttpServer server_;
};

}  // namespace guitest
