#pragma once
// The browser behind a WebBrowser control: a WebKitWebView that consults its site's UI handler
// (host info, context menu, keys, the external object), reports navigation and document
// events to the hosting window, serves the page's window.external through the external
// object's GetIDsOfNames and Invoke, and gives the program views of the page's document.
// GUI thread only.

#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "platform/Control.h"
#include "platform/DocumentView.h"

typedef struct _GtkWidget GtkWidget;
typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitUserContentManager WebKitUserContentManager;

namespace platform {

// How long a top-level load may go without the server's answer before the browser gives up
// and shows a page saying so (with a way to try again). 30 seconds unless set.
void SetPageLoadTimeout(unsigned milliseconds);

class BrowserHost final : private PageConnector {
public:
    BrowserHost(COleControlSite* site, DWebBrowserEvents2* events);
    ~BrowserHost();
    BrowserHost(const BrowserHost&) = delete;
    BrowserHost& operator=(const BrowserHost&) = delete;

    GtkWidget* Widget() const { return m_outer; }
    WebKitWebView* View() const { return m_view; }
    // The control's IUnknown; its IDispatch has Navigate (104) and Document (203).
    IUnknown* ControlUnknown();

    void Navigate(const std::u16string& url);
    // The current top-level document's view, with a reference for the caller; null when the
    // page has not completed a document yet.
    IHTMLDocument2* Document();

    // The text of one page request to window.external, answered; see the page script.
    std::string AnswerBridgeRequest(const std::string& request);

    struct Signals;  // the C callbacks

private:
    class ControlDispatch;
    struct PendingEvent {
        enum Kind { NavigateComplete, DocumentComplete } kind;
        std::u16string url;
        bool ready = true;
        uint32_t snapshotRequest = 0;                      // the snapshot it waits for
        std::shared_ptr<const DocumentSnapshot> snapshot;  // for DocumentComplete
    };

    bool Connect(uint64_t generation, uint64_t elementId, uint32_t cookie) override;
    void Disconnect(uint64_t elementId, uint32_t cookie) override;

    IDocHostUIHandler* UIHandler() const { return m_uiHandler.get(); }
    void ApplyHostInfo();
    void TakeExternalForNewDocument();
    void OnCommitted();
    void OnPageMessage(const std::string& json);
    // The document as a snapshot of the current top-level document.
    std::shared_ptr<const DocumentSnapshot> Snapshot(DocumentSnapshot document) const;
    void QueueEvent(std::unique_ptr<PendingEvent> event);
    void FetchSnapshotFor(PendingEvent* event);
    // Events still waiting for a snapshot (requested up to `upTo`) go without one: their
    // document is gone or silent.
    void ReleaseSnapshotWaits(uint32_t upTo = UINT32_MAX);
    void DispatchReadyEvents();
    bool OnKeyPress(unsigned keyval, unsigned state);
    bool OnContextMenu(int x, int y);
    void OnWebProcessTerminated(bool crashed);
    void RunInPage(const std::string& script);

    DWebBrowserEvents2* m_events;
    CComPtr<IDocHostUIHandler> m_uiHandler;
    CComPtr<IDispatch> m_external;
    uint32_t m_hostFlags = 0;
    bool m_hostFlagsKnown = false;
    GtkWidget* m_outer = nullptr;
    WebKitWebView* m_view = nullptr;
    WebKitUserContentManager* m_content = nullptr;
    std::unique_ptr<ControlDispatch> m_control;
    std::shared_ptr<PageHub> m_hub;
    std::shared_ptr<const DocumentSnapshot> m_document;
    std::deque<std::unique_ptr<PendingEvent>> m_pending;
    bool m_dispatching = false;
    uint32_t m_lastSnapshotRequest = 0;
    void ArmLoadTimer();
    void DisarmLoadTimer();
    void OnLoadTimedOut();
    unsigned m_loadTimer = 0;
    std::shared_ptr<bool> m_alive;        // cleared on destruction, for callbacks that come later
    std::deque<int64_t> m_recentCrashes;  // monotonic times, microseconds
};

}  // namespace platform
