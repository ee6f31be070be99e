// The panel's browser with real WebKit under an X server, against pages served on loopback.
#include <gtest/gtest.h>
#include <json/reader.h>
#include <json/value.h>
#include <signal.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>
#include <sstream>

#include "app/LoginApp.h"
#include "browser/CustomControlSite.h"
#include "login/ScriptBridge.h"
#include "platform/MainLoop.h"
#include "platform/TextCodec.h"
#include "tests/gui/PanelFixture.h"
#include "tests/support/TestSupport.h"
#include "ui/LoginActiveDlg.h"

using namespace platform;
using namespace guitest;
namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::seconds;

TEST_F(BrowserTest, WindowExternalResolvesAndCallsThroughTheBridge) {
    std::mutex lock;
    std::string results;
    server_->Post("/result", [&](const httplib::Request& req, httplib::Response&) {
        std::lock_guard<std::mutex> hold(lock);
        results = req.body;
    });
    Page("/bridge", R"(<!doctype html><meta charset="utf-8"><script>
const results = {};
const t = (label, f) => { try { const v = f(); results[label] = typeof v + ':' + String(v); }
                          catch (e) { results[label] = 'threw ' + e.name; } };
t('typeof', () => typeof window.external);
t('xxyyzz', () => window.external.xxyyzz);
t('xxyQ', () => window.external.xxyQ);
t('full-width xxy', () => window.external['ｘｘｙ']);
t('XXYyzz', () => window.external.XXYyzz);
t('two letters', () => window.external.Ap);
t('AppLogin read', () => typeof window.external.AppLogin);
t('AppLogin', () => window.external.AppLogin('one'));
t('Apple', () => window.external.Apple('two'));
t('AppLoginX', () => window.external.AppLoginX('three'));
t('full-width App', () => window.external['Ａｐｐ']('four'));
t('appLogin', () => window.external.appLogin('never'));
t('two arguments', () => window.external.AppLogin('first', 'second'));
t('NUL', () => window.external.AppLogin('cut\u0000here'));
t('no argument', () => window.external.AppLogin());
t('number', () => window.external.AppLogin(42));
t('in', () => 'AppLogin' in window.external);
t('synchronous', () => { window.external.AppLogin('sync-check');
  const x = new XMLHttpRequest(); x.open('GET', '/log', false); x.send();
  return x.responseText.indexOf('sync-check') >= 0; });
const x = new XMLHttpRequest(); x.open('POST', '/result', false); x.send(JSON.stringify(results));
</script>)");
    TestPanel panel;
    panel.StartBrowser(Utf8ToWide(Url("/bridge")));
    ASSERT_TRUE(SpinUntil([&] {
        std::lock_guard<std::mutex> hold(lock);
        return !results.empty();
    }));
    Json::Value got;
    ASSERT_TRUE(Json::Reader().parse(results, got));
    const std::map<std::string, std::string> expected = {
        {"typeof", "string:object"},
        {"xxyyzz", "string:Wibble"},
        {"xxyQ", "string:Wibble"},
        {"full-width xxy", "string:Wibble"},
        {"XXYyzz", "undefined:undefined"},
        {"two letters", "undefined:undefined"},
        {"AppLogin read", "string:function"},
        {"AppLogin", "undefined:undefined"},
        {"Apple", "undefined:undefined"},
        {"AppLoginX", "undefined:undefined"},
        {"full-width App", "undefined:undefined"},
        {"appLogin", "threw TypeError"},
        {"two arguments", "undefined:undefined"},
        {"NUL", "undefined:undefined"},
        {"no argument", "undefined:undefined"},
        {"number", "undefined:undefined"},
        {"in", "boolean:true"},
        {"synchronous", "boolean:true"},
    };
    for (const auto& [label, value] : expected)
        EXPECT_EQ(got[label].asString(), value) << label;
    EXPECT_EQ(Log(), "one\ntwo\nthree\nfour\nsecond\ncut\nsync-check\n");
}

TEST_F(BrowserTest, StrictContentSecurityPolicyAndFramesStillReachTheBridge) {
    server_->Get("/csp", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Content-Security-Policy",
                       "default-src 'none'; script-src 'nonce-q1'; frame-src *");
        res.set_content(
            "<script nonce=\"q1\">window.external.AppLogin('csp page')</script>"
            "<iframe src=\"/frame\"></iframe>",
            "text/html");
    });
    server_->Get("/frame", [this](const httplib::Request&, httplib::Response& res) {
        res.set_content(
            "<script>window.external.AppLogin('same-origin frame')</script><iframe src=\"" +
                server_.Url("/cross", "localhost") + "\"></iframe>",
            "text/html");
    });
    Page("/cross", "<script>window.external.AppLogin('cross-origin frame')</script>");
    TestPanel panel;
    panel.StartBrowser(Utf8ToWide(Url("/csp")));
    ASSERT_TRUE(panel.WaitForCompleted(Url("/csp")));
    const auto lines = [] {
        const std::string log = Log();
        return std::count(log.begin(), log.end(), '\n');
    };
    ASSERT_TRUE(SpinUntil([&] { return lines() >= 3; }, seconds(10)));
    std::istringstream text(Log());
    std::multiset<std::string> logged;
    for (std::string line; std::getline(text, line);)
        logged.insert(line);
    EXPECT_EQ(logged,
              (std::multiset<std::string>{"csp page", "same-origin frame", "cross-origin frame"}));
}

TEST_F(BrowserTest, PageShowsNoScrollBarsBorderOrContextMenu) {
    Page("/tall",
         "<body style=\"margin:0;background:#3366cc\"><div "
         "style=\"width:3000px;height:5000px\"></div>");
    const auto pageOnly = [](const Pixels& pixels) {
        for (uint32_t p : pixels.rgb) {
            if (p != 0x3366cc) return false;
        }
        return !pixels.rgb.empty();
    };
    {
        TestPanel panel;
        panel.StartBrowser(Utf8ToWide(Url("/tall")));
        ASSERT_TRUE(panel.WaitForCompleted(Url("/tall")));
        EXPECT_TRUE(SpinUntil([&] { return pageOnly(panel.BrowserPixels()); }, seconds(10)))
            << "the whole browser area, edges included, shows the page";
        panel.ClickAt(300, 200, 3);
        SpinFor(milliseconds(500));
        EXPECT_FALSE(AnyPopupShowing());
    }
    // The same page in a browser whose site has no UI handler: scroll bars and a menu appear,
    // so the checks above can see them.
    AfxEnableControlContainer(nullptr);
    {
        TestPanel panel;
        panel.StartBrowser(Utf8ToWide(Url("/tall")));
        ASSERT_TRUE(panel.WaitForCompleted(Url("/tall")));
        SpinFor(milliseconds(500));
        EXPECT_FALSE(pageOnly(panel.BrowserPixels()));
        panel.ClickAt(300, 200, 3);
        EXPECT_TRUE(SpinUntil(AnyPopupShowing, seconds(5)));
        Xdotool({"key", "Escape"});
    }
    static CCustomOccManager manager;
    AfxEnableControlContainer(&manager);
}

TEST_F(BrowserTest, BrowserKeysReloadThePage) {
    std::atomic_int loads{0};
    server_->Get("/counted", [&](const httplib::Request&, httplib::Response& res) {
        ++loads;
        res.set_content("<body style=\"margin:0;height:100%\"><input id=\"i\"></body>",
                        "text/html");
    });
    TestPanel panel;
    panel.StartBrowser(Utf8ToWide(Url("/counted")));
    ASSERT_TRUE(panel.WaitForCompleted(Url("/counted")));
    panel.Focus();
    panel.ClickAt(300, 300);  // focus the page
    Xdotool({"key", "F5"});
    EXPECT_TRUE(SpinUntil([&] { return loads == 2; }));
    Xdotool({"key", "ctrl+r"});
    EXPECT_TRUE(SpinUntil([&] { return loads == 3; }));
    Xdotool({"key", "a"});
    SpinFor(milliseconds(500));
    EXPECT_EQ(loads, 3);
}

TEST_F(BrowserTest, EveryPageGetsTheBridgeFromTheUIHandler) {
    Page("/first", "<script>window.external.AppLogin('first page')</script>");
    Page("/second",
         "<script>window.external.AppLogin('second page:' + window.external.xxyyzz)</script>");
    const int before = theApp.m_pScriptBridge->ReferenceCount();
    {
        TestPanel panel;
        panel.StartBrowser(Utf8ToWide(Url("/first")));
        ASSERT_TRUE(panel.WaitForCompleted(Url("/first")));
        EXPECT_EQ(theApp.m_pScriptBridge->ReferenceCount(), before + 1);
        panel.m_browser.Navigate(Utf8ToWide(Url("/second")));
        ASSERT_TRUE(panel.WaitForCompleted(Url("/second")));
        EXPECT_EQ(theApp.m_pScriptBridge->ReferenceCount(),
                  before + 1);  // the first page's went back
    }
    EXPECT_EQ(theApp.m_pScriptBridge->ReferenceCount(), before);
    EXPECT_EQ(Log(), "first page\nsecond page:Wibble\n");
}

TEST_F(BrowserTest, DocumentCompleteHooksEachLinkTargetOnce) {
    Page("/links", R"(<body style="margin:0">
<a href="/next">first</a> <a href="/next">duplicate</a>
<a name="n1">no href</a> <a name="n2">no href either</a>
<a href="/pic"><img src="/none.png" width="20" height="20"></a>
<img src="/none.png"> <input> <map><area href="/area" shape="rect" coords="0,0,5,5"></map>
</body>)");
    Page("/more", R"(<a href="/next">again</a> <a href="/third">third</a>)");
    TestPanel panel;
    panel.StartBrowser(Utf8ToWide(Url("/links")));
    ASSERT_TRUE(panel.WaitForCompleted(Url("/links")));
    const std::set<std::string> first = {"", Url("/next"), Url("/pic")};
    EXPECT_EQ(panel.Keys(), first);

    panel.m_browser.Navigate(Utf8ToWide(Url("/more")));
    ASSERT_TRUE(panel.WaitForCompleted(Url("/more")));
    EXPECT_EQ(panel.Keys(), (std::set<std::string>{"", Url("/next"), Url("/pic"), Url("/third")}));

    panel.m_browser.Navigate(u"about:blank");
    ASSERT_TRUE(panel.WaitForCompleted("about:blank"));
    EXPECT_EQ(panel.Keys().size(), 4u);

    panel.UnadviseAllElementEvents();
    EXPECT_TRUE(panel.m_mapElementConnections.empty());
    panel.UnadviseAllElementEvents();
    EXPECT_TRUE(panel.m_mapElementConnections.empty());
}

TEST_F(BrowserTest, ClicksOnHookedLinksReachThePanelAndStillNavigate) {
    Page("/start", R"(<body style="margin:0">
<a href="/next" style="position:absolute;left:0;top:0;width:300px;height:100px;display:block">next</a>
<a href="/pic" style="position:absolute;left:0;top:200px;display:block"><img src="/none.png" width="300" height="100" style="display:block"></a>
</body>)");
    Page("/next", "next page");
    Page("/pic", "picture page");
    TestPanel panel;
    const auto loadStart = [&](long times) {
        panel.m_browser.Navigate(Utf8ToWide(Url("/start")));
        return SpinUntil([&] {
            return std::count(panel.completed.begin(), panel.completed.end(), Url("/start")) ==
                   times;
        });
    };
    panel.StartBrowser(Utf8ToWide(Url("/start")));
    ASSERT_TRUE(panel.WaitForCompleted(Url("/start")));
    panel.ClickAt(50, 250);  // the image inside the second link: the source is the image
    ASSERT_TRUE(panel.WaitForCompleted(Url("/pic")));
    ASSERT_EQ(panel.clicks.size(), 1u);
    EXPECT_EQ(panel.clicks[0].tag, "IMG");
    EXPECT_EQ(panel.clicks[0].href, "");

    // The links of a page met again stay recorded, and are not hooked a second time.
    ASSERT_TRUE(loadStart(2));
    panel.ClickAt(50, 50);
    ASSERT_TRUE(panel.WaitForCompleted(Url("/next")));
    EXPECT_EQ(panel.clicks.size(), 1u);

    panel.UnadviseAllElementEvents();
    ASSERT_TRUE(loadStart(3));
    panel.ClickAt(50, 50);
    ASSERT_TRUE(SpinUntil([&] {
        return std::count(panel.completed.begin(), panel.completed.end(), Url("/next")) == 2;
    }));
    ASSERT_EQ(panel.clicks.size(), 2u);
    EXPECT_EQ(panel.clicks[1].tag, "A");
    EXPECT_EQ(panel.clicks[1].href, Url("/next"));

    // Dropped hooks report nothing; the link is still followed.
    ASSERT_TRUE(loadStart(4));
    panel.UnadviseAllElementEvents();
    panel.ClickAt(50, 50);
    ASSERT_TRUE(SpinUntil([&] {
        return std::count(panel.completed.begin(), panel.completed.end(), Url("/next")) == 3;
    }));
    EXPECT_EQ(panel.clicks.size(), 2u);
}
