#include "platform/BrowserHost.h"

#include <gdk/gdkkeysyms.h>
#include <webkit2/webkit2.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/BrowserScripts.h"
#include "platform/PageChannel.h"
#include "platform/Process.h"
#include "platform/TextCodec.h"

namespace platform {
namespace {

constexpr int kMaxCrashReloads = 3;
constexpr unsigned kSnapshotWaitMs = 2000;
constexpr gint64 kCrashWindowMicroseconds = 60 * G_USEC_PER_SEC;

std::string Replace(std::string text, const std::string& what, const std::string& with) {
    const size_t at = text.find(what);
    if (at != std::string::npos) text.replace(at, what.size(), with);
    return text;
}

// The channel's marker: private to this process, so that it is no ordinary prompt text.
const std::string& BridgeMarker() {
    static const std::string marker = [] {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, "%08x%08x", g_random_int(), g_random_int());
        return std::string("qarvelle-external:") + suffix;
    }();
    return marker;
}

std::string DataDirectory(const char* base) {
    gchar* path = g_build_filename(base, "qarvelle-login", nullptr);
    std::string result = path;
    g_free(path);
    return result;
}

// One web context for the process: cookies, local storage and the HTTP cache persist under
// the user's XDG data and cache directories, as a system browser's do.
WebKitWebContext* SharedWebContext() {
    static WebKitWebContext* context = [] {
        const std::string data = DataDirectory(g_get_user_data_dir());
        const std::string cache = DataDirectory(g_get_user_cache_dir());
        WebKitWebsiteDataManager* manager = webkit_website_data_manager_new(
            "base-data-directory", data.c_str(), "base-cache-directory", cache.c_str(), nullptr);
        WebKitWebContext* created = webkit_web_context_new_with_website_data_manager(manager);
        const std::string cookies = data + "/cookies.sqlite";
        webkit_cookie_manager_set_persistent_storage(
            webkit_website_data_manager_get_cookie_manager(manager), cookies.c_str(),
            WEBKIT_COOKIE_PERSISTENT_STORAGE_SQLITE);
        webkit_web_context_set_cache_model(created, WEBKIT_CACHE_MODEL_WEB_BROWSER);
        g_object_unref(manager);
        return created;
    }();
    return context;
}

// --- keys ---

// The Windows virtual-key code of a GDK key, for the keys a UI handler might care about.
unsigned VirtualKey(unsigned keyval) {
    if (keyval >= GDK_KEY_a && keyval <= GDK_KEY_z) return 'A' + (keyval - GDK_KEY_a);
    if (keyval >= GDK_KEY_A && keyval <= GDK_KEY_Z) return 'A' + (keyval - GDK_KEY_A);
    if (keyval >= GDK_KEY_0 && keyval <= GDK_KEY_9) return '0' + (keyval - GDK_KEY_0);
    if (keyval >= GDK_KEY_F1 && keyval <= GDK_KEY_F12) return 0x70 + (keyval - GDK_KEY_F1);
    switch (keyval) {
        case GDK_KEY_BackSpace:
            return 0x08;
        case GDK_KEY_Tab:
            return 0x09;
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
            return 0x0D;
        case GDK_KEY_Escape:
            return 0x1B;
        case GDK_KEY_space:
            return 0x20;
        case GDK_KEY_Page_Up:
            return 0x21;
        case GDK_KEY_Page_Down:
            return 0x22;
        case GDK_KEY_End:
            return 0x23;
        case GDK_KEY_Home:
            return 0x24;
        case GDK_KEY_Left:
            return 0x25;
        case GDK_KEY_Up:
            return 0x26;
        case GDK_KEY_Right:
            return 0x27;
        case GDK_KEY_Down:
            return 0x28;
        case GDK_KEY_Delete:
            return 0x2E;
        default:
            return 0;
    }
}
constexpr unsigned VK_F5 = 0x74;
constexpr unsigned VK_LEFT = 0x25;
constexpr unsigned VK_RIGHT = 0x27;

}  // namespace

// The control's IDispatch: Navigate and Document, as the browser answers them.
class BrowserHost::ControlDispatch final : public IDispatch {
public:
    explicit ControlDispatch(BrowserHost& host) : m_host(host) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!(riid == IID_IUnknown || riid == IID_IDispatch)) return E_NOINTERFACE;
        *ppv = static_cast<IDispatch*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return 1; }  // lives as long as its browser
    ULONG Release() override { return 1; }
    HRESULT GetTypeInfoCount(unsigned*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(unsigned, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, OLECHAR**, unsigned, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO*, unsigned*) override {
        if (id == DISPID_NAVIGATE && (flags & DISPATCH_METHOD)) {
            if (!params || params->cArgs == 0) return E_INVALIDARG;
            const VARIANT& url = params->rgvarg[params->cArgs - 1];  // the first argument
            if (url.vt != VT_BSTR) return DISP_E_TYPEMISMATCH;
            m_host.Navigate(
                std::u16string(url.bstrVal ? url.bstrVal : u"", SysStringLen(url.bstrVal)));
            return S_OK;
        }
        if (id == DISPID_DOCUMENT && (flags & DISPATCH_PROPERTYGET) && result) {
            VariantInit(result);
            result->vt = VT_DISPATCH;
            result->pdispVal = m_host.Document();
            return S_OK;
        }
        return E_NOTIMPL;
    }

private:
    BrowserHost& m_host;
};

// The C callbacks of the view and its content manager. None lets an exception out.
struct BrowserHost::Signals {
    static gboolean ScriptDialog(WebKitWebView*, WebKitScriptDialog* dialog, BrowserHost* host) {
        if (webkit_script_dialog_get_dialog_type(dialog) != WEBKIT_SCRIPT_DIALOG_PROMPT ||
            BridgeMarker() != webkit_script_dialog_get_message(dialog)) {
            return FALSE;  // an ordinary dialog of the page: the browser shows it
        }
        std::string answer = "E";
        try {
            const char* request = webkit_script_dialog_prompt_get_default_text(dialog);
            if (request && request[0] == 'M') {
                host->OnPageMessage(request + 1);
                answer.clear();
            } else {
                answer = host->AnswerBridgeRequest(request ? request : "");
            }
        } catch (...) {
        }
        webkit_script_dialog_prompt_set_text(dialog, answer.c_str());
        return TRUE;
    }
    static void LoadChanged(WebKitWebView*, WebKitLoadEvent event, BrowserHost* host) {
        if (event == WEBKIT_LOAD_STARTED) {
            host->ApplyHostInfo();
            host->ArmLoadTimer();
        }
        if (event == WEBKIT_LOAD_COMMITTED) {
            host->DisarmLoadTimer();
            host->OnCommitted();
        }
    }
    // A load the browser turned away by policy (a response it would only download) shows no
    // page of its own; show one, so that the browser never stays blank or hidden.
    static gboolean LoadFailed(WebKitWebView* view, WebKitLoadEvent, gchar* uri, GError* error,
                               BrowserHost* host) {
        host->DisarmLoadTimer();
        if (!error || error->domain != WEBKIT_POLICY_ERROR) return FALSE;
        webkit_web_view_load_alternate_html(view, kUnshowablePage, uri, nullptr);
        return TRUE;
    }
    static gboolean ContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent* event,
                                WebKitHitTestResult*, BrowserHost* host) {
        gdouble x = 0, y = 0;
        if (event) gdk_event_get_root_coords(event, &x, &y);
        return host->OnContextMenu(static_cast<int>(x), static_cast<int>(y));
    }
    static gboolean KeyPress(GtkWidget*, GdkEventKey* event, BrowserHost* host) {
        return host->OnKeyPress(event->keyval, event->state);
    }
    static GtkWidget* Create(WebKitWebView*, WebKitNavigationAction* action, BrowserHost*) {
        // A new window opens in the user's own browser, never in a hidden view of ours.
        WebKitURIRequest* request = webkit_navigation_action_get_request(action);
        const char* uri = request ? webkit_uri_request_get_uri(request) : nullptr;
        if (uri && (g_str_has_prefix(uri, "http://") || g_str_has_prefix(uri, "https://"))) {
            OpenInDefaultBrowser(uri);
        }
        return nullptr;
    }
    static gboolean DecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, BrowserHost* host) {
        if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION || !host->m_events) return FALSE;
        WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
            WEBKIT_NAVIGATION_POLICY_DECISION(decision));
        WebKitURIRequest* request = webkit_navigation_action_get_request(action);
        const char* uri = request ? webkit_uri_request_get_uri(request) : "";
        CComVariant url(Utf8ToWide(uri ? uri : "")), flags(0), frame(std::u16string_view(u"")),
            postData, headers;
        bool cancel = false;
        host->m_events->OnBeforeNavigate2(host->m_control.get(), &url, &flags, &frame, &postData,
                                          &headers, &cancel);
        if (!cancel) return FALSE;
        webkit_policy_decision_ignore(decision);
        return TRUE;
    }
    static void Terminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                           BrowserHost* host) {
        host->OnWebProcessTerminated(reason != WEBKIT_WEB_PROCESS_TERMINATED_BY_API);
    }
};

BrowserHost::BrowserHost(COleControlSite* site, DWebBrowserEvents2* events)
    : m_events(events),
      m_control(std::make_unique<ControlDispatch>(*this)),
      m_hub(std::make_shared<PageHub>()),
      m_alive(std::make_shared<bool>(true)) {
    m_hub->connector = this;
    if (site) m_uiHandler = CComPtr<IUnknown>(site).As<IDocHostUIHandler>(IID_IDocHostUIHandler);

    m_content = webkit_user_content_manager_new();
    const std::string external = Replace(kExternalScript, "@MARKER@", BridgeMarker());
    const std::string page = Replace(kPageScript, "@MARKER@", BridgeMarker());
    WebKitUserScript* externalScript =
        webkit_user_script_new(external.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    WebKitUserScript* pageScript = webkit_user_script_new_for_world(
        page.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
        WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, kPageWorld, nullptr, nullptr);
    webkit_user_content_manager_add_script(m_content, externalScript);
    webkit_user_content_manager_add_script(m_content, pageScript);
    webkit_user_script_unref(externalScript);
    webkit_user_script_unref(pageScript);

    m_view = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", SharedWebContext(),
                                          "user-content-manager", m_content, nullptr));
    g_object_ref_sink(m_view);
    WebKitSettings* settings = webkit_web_view_get_settings(m_view);
    webkit_settings_set_enable_developer_extras(settings, FALSE);

    g_signal_connect(m_view, "script-dialog", G_CALLBACK(Signals::ScriptDialog), this);
    g_signal_connect(m_view, "load-changed", G_CALLBACK(Signals::LoadChanged), this);
    g_signal_connect(m_view, "load-failed", G_CALLBACK(Signals::LoadFailed), this);
    g_signal_connect(m_view, "context-menu", G_CALLBACK(Signals::ContextMenu), this);
    g_signal_connect(m_view, "key-press-event", G_CALLBACK(Signals::KeyPress), this);
    g_signal_connect(m_view, "create", G_CALLBACK(Signals::Create), this);
    g_signal_connect(m_view, "decide-policy", G_CALLBACK(Signals::DecidePolicy), this);
    g_signal_connect(m_view, "web-process-terminated", G_CALLBACK(Signals::Terminated), this);

    ApplyHostInfo();
    GtkWidget* view = GTK_WIDGET(m_view);
    if (m_hostFlags & DOCHOSTUIFLAG_NO3DBORDER) {
        m_outer = view;
    } else {
        m_outer = gtk_frame_new(nullptr);
        gtk_frame_set_shadow_type(GTK_FRAME(m_outer), GTK_SHADOW_IN);
        gtk_container_add(GTK_CONTAINER(m_outer), view);
    }
    g_object_ref_sink(m_outer);
    gtk_widget_show(view);
}

BrowserHost::~BrowserHost() {
    DisarmLoadTimer();
    *m_alive = false;
    m_hub->connector = nullptr;
    m_hub->DropAll();
    g_signal_handlers_disconnect_by_data(m_view, this);
    g_signal_handlers_disconnect_by_data(m_content, this);
    m_external = CComPtr<IDispatch>();
    gtk_widget_destroy(m_outer);
    g_object_unref(m_outer);
    g_object_unref(m_view);
    g_object_unref(m_content);
}

IUnknown* BrowserHost::ControlUnknown() {
    return m_control.get();
}

void BrowserHost::Navigate(const std::u16string& url) {
    webkit_web_view_load_uri(m_view, WideToUtf8(url).c_str());
}

IHTMLDocument2* BrowserHost::Document() {
    return m_document ? NewDocumentView(m_hub, m_document) : nullptr;
}

void BrowserHost::ApplyHostInfo() {
    DOCHOSTUIINFO info;
    info.dwFlags = 0;
    if (!m_uiHandler || FAILED(m_uiHandler->GetHostInfo(&info))) info.dwFlags = 0;
    const bool changed = !m_hostFlagsKnown || info.dwFlags != m_hostFlags;
    m_hostFlags = info.dwFlags;
    m_hostFlagsKnown = true;
    if (!changed) return;
    webkit_user_content_manager_remove_all_style_sheets(m_content);
    if (m_hostFlags & DOCHOSTUIFLAG_SCROLL_NO) {
        WebKitUserStyleSheet* sheet =
            webkit_user_style_sheet_new(kNoScrollStyle, WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                        WEBKIT_USER_STYLE_LEVEL_USER, nullptr, nullptr);
        webkit_user_content_manager_add_style_sheet(m_content, sheet);
        webkit_user_style_sheet_unref(sheet);
    }
}

// Each new top-level document gets the external object afresh from the UI handler; the old
// document's reference is given back.
void BrowserHost::TakeExternalForNewDocument() {
    IDispatch* external = nullptr;
    if (m_uiHandler && SUCCEEDED(m_uiHandler->GetExternal(&external)) && external) {
        m_external = CComPtr<IDispatch>::Attach(external);
    } else {
        m_external = CComPtr<IDispatch>();
    }
}

void BrowserHost::OnCommitted() {
    ReleaseSnapshotWaits();  // the previous document will not answer now
    m_hub->generation++;
    m_document.reset();
    TakeExternalForNewDocument();
    const char* uri = webkit_web_view_get_uri(m_view);
    auto event = std::make_unique<PendingEvent>();
    event->kind = PendingEvent::NavigateComplete;
    event->url = Utf8ToWide(uri ? uri : "");
    QueueEvent(std::move(event));
}

void BrowserHost::OnPageMessage(const std::string& json) {
    const PageMessage message = ParsePageMessage(json);
    if (message.kind == PageMessage::Navigate && !message.top) {
        // A frame arrived somewhere; the top-level document's arrival is the load's commit.
        auto event = std::make_unique<PendingEvent>();
        event->kind = PendingEvent::NavigateComplete;
        event->url = message.url;
        QueueEvent(std::move(event));
    } else if (message.kind == PageMessage::Complete) {
        auto event = std::make_unique<PendingEvent>();
        event->kind = PendingEvent::DocumentComplete;
        event->url = message.url;
        if (message.top) {
            event->snapshot = Snapshot(message.document);
        } else {
            event->ready = false;  // every completion rescans the top-level document
            FetchSnapshotFor(event.get());
        }
        QueueEvent(std::move(event));
    } else if (message.kind == PageMessage::Snapshot) {
        for (const std::unique_ptr<PendingEvent>& event : m_pending) {
            if (event->ready || event->snapshotRequest != message.request) continue;
            event->snapshot = Snapshot(message.document);
            event->ready = true;
            DispatchReadyEvents();
            break;
        }
    } else if (message.kind == PageMessage::Click) {
        m_hub->DeliverClick(message.cookie, message.source ? &*message.source : nullptr);
    }
}

std::shared_ptr<const DocumentSnapshot> BrowserHost::Snapshot(DocumentSnapshot document) const {
    auto snapshot = std::make_shared<DocumentSnapshot>(std::move(document));
    snapshot->generation = m_hub->generation;
    return snapshot;
}

void BrowserHost::QueueEvent(std::unique_ptr<PendingEvent> event) {
    m_pending.push_back(std::move(event));
    DispatchReadyEvents();
}

void BrowserHost::FetchSnapshotFor(PendingEvent* event) {
    event->snapshotRequest = ++m_lastSnapshotRequest;
    RunInPage("qarvelleHost.sendSnapshot(" + std::to_string(event->snapshotRequest) + ")");
    // A document that is going, or has no page script, never answers.
    struct Wait {
        std::weak_ptr<bool> alive;
        BrowserHost* host;
        uint32_t request;
    };
    g_timeout_add_full(
        G_PRIORITY_DEFAULT, kSnapshotWaitMs,
        [](gpointer data) -> gboolean {
            const auto* wait = static_cast<Wait*>(data);
            if (!wait->alive.expired()) {
                try {
                    wait->host->ReleaseSnapshotWaits(wait->request);
                } catch (...) {
                }
            }
            return G_SOURCE_REMOVE;
        },
        new Wait{m_alive, this, event->snapshotRequest},
        [](gpointer data) { delete static_cast<Wait*>(data); });
}

void BrowserHost::ReleaseSnapshotWaits(uint32_t upTo) {
    bool released = false;
    for (const std::unique_ptr<PendingEvent>& event : m_pending) {
        if (event->ready || event->snapshotRequest > upTo) continue;
        event->ready = true;
        released = true;
    }
    if (released) DispatchReadyEvents();
}

// Delivers queued events in their order; an event that waits for its document holds back the
// ones behind it. A handler may run nested loops or destroy this browser.
void BrowserHost::DispatchReadyEvents() {
    if (m_dispatching) return;
    m_dispatching = true;
    const std::shared_ptr<bool> alive = m_alive;
    while (!m_pending.empty() && m_pending.front()->ready) {
        const std::unique_ptr<PendingEvent> event = std::move(m_pending.front());
        m_pending.pop_front();
        if (!m_events) continue;
        CComVariant url(event->url);
        if (event->kind == PendingEvent::NavigateComplete) {
            m_events->OnNavigateComplete2(m_control.get(), &url);
        } else {
            m_document = event->snapshot;
            m_events->OnDocumentComplete(m_control.get(), &url);
        }
        if (!*alive) return;
    }
    m_dispatching = false;
}

bool BrowserHost::OnKeyPress(unsigned keyval, unsigned state) {
    MSG message;
    message.hwnd = reinterpret_cast<HWND>(m_outer);
    message.message = WM_KEYDOWN;
    message.wParam = VirtualKey(keyval);
    message.lParam = (state & GDK_MOD1_MASK) ? (1 << 29) : 0;
    message.modifiers = ((state & GDK_CONTROL_MASK) ? MK_CONTROL : 0) |
                        ((state & GDK_SHIFT_MASK) ? MK_SHIFT : 0) |
                        ((state & GDK_MOD1_MASK) ? MK_ALT : 0);
    if (m_uiHandler && m_uiHandler->TranslateAccelerator(&message, nullptr, 0) == S_OK) return true;

    // The browser's own keys.
    const bool control = message.modifiers & MK_CONTROL;
    const bool alt = message.modifiers & MK_ALT;
    if (message.wParam == VK_F5 || (control && message.wParam == 'R')) {
        const bool bypassCache =
            control && (message.wParam == VK_F5 || (message.modifiers & MK_SHIFT));
        bypassCache ? webkit_web_view_reload_bypass_cache(m_view) : webkit_web_view_reload(m_view);
        return true;
    }
    if (alt && message.wParam == VK_LEFT && webkit_web_view_can_go_back(m_view)) {
        webkit_web_view_go_back(m_view);
        return true;
    }
    if (alt && message.wParam == VK_RIGHT && webkit_web_view_can_go_forward(m_view)) {
        webkit_web_view_go_forward(m_view);
        return true;
    }
    return false;
}

bool BrowserHost::OnContextMenu(int x, int y) {
    constexpr uint32_t CONTEXT_MENU_DEFAULT = 0;
    POINT point{x, y};
    return m_uiHandler &&
           m_uiHandler->ShowContextMenu(CONTEXT_MENU_DEFAULT, &point, nullptr, nullptr) == S_OK;
}

// A crashed web process leaves a blank view: load the page again, unless it keeps crashing.
void BrowserHost::OnWebProcessTerminated(bool crashed) {
    if (!crashed) return;
    const gint64 now = g_get_monotonic_time();
    while (!m_recentCrashes.empty() && now - m_recentCrashes.front() > kCrashWindowMicroseconds) {
        m_recentCrashes.pop_front();
    }
    if (static_cast<int>(m_recentCrashes.size()) >= kMaxCrashReloads) return;
    m_recentCrashes.push_back(now);
    webkit_web_view_reload(m_view);
}

void BrowserHost::RunInPage(const std::string& script) {
    webkit_web_view_evaluate_javascript(m_view, script.c_str(), -1, kPageWorld, nullptr, nullptr,
                                        nullptr, nullptr);
}

bool BrowserHost::Connect(uint64_t generation, uint64_t elementId, uint32_t cookie) {
    if (generation != m_hub->generation) return false;  // that document is gone
    RunInPage("qarvelleHost.connect(" + std::to_string(elementId) + "," + std::to_string(cookie) +
              ")");
    return true;
}

void BrowserHost::Disconnect(uint64_t, uint32_t cookie) {
    RunInPage("qarvelleHost.disconnect(" + std::to_string(cookie) + ")");
}

namespace {
unsigned g_pageLoadTimeoutMs = 30000;
}  // namespace

void SetPageLoadTimeout(unsigned milliseconds) {
    g_pageLoadTimeoutMs = milliseconds;
}

void BrowserHost::ArmLoadTimer() {
    DisarmLoadTimer();
    m_loadTimer = g_timeout_add(
        g_pageLoadTimeoutMs,
        [](gpointer data) -> gboolean {
            auto* host = static_cast<BrowserHost*>(data);
            host->m_loadTimer = 0;
            try {
                host->OnLoadTimedOut();
            } catch (...) {
            }
            return G_SOURCE_REMOVE;
        },
        this);
}

void BrowserHost::DisarmLoadTimer() {
    if (m_loadTimer) g_source_remove(m_loadTimer);
    m_loadTimer = 0;
}

// The server took the connection and never answered: in place of a blank, hidden browser the
// player sees that the login server does not answer, with a link that tries again.
void BrowserHost::OnLoadTimedOut() {
    const char* uri = webkit_web_view_get_uri(m_view);
    const std::string address = uri ? uri : "";
    gchar* escaped = g_markup_escape_text(address.c_str(), -1);
    const std::string page = Replace(kTimedOutPage, "@URL@", escaped);
    g_free(escaped);
    webkit_web_view_stop_loading(m_view);
    webkit_web_view_load_alternate_html(m_view, page.c_str(), address.c_str(), address.c_str());
}

std::string BrowserHost::AnswerBridgeRequest(const std::string& request) {
    return AnswerExternalRequest(m_external.get(), request);
}

}  // namespace platform
