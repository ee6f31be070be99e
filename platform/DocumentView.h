#pragma once
// Views of a page's top-level document for the program (IHTMLDocument2 and its elements), and
// the connections of element events to sinks. Internal to the layer: the browser host makes
// the snapshots and carries out connect and disconnect in the page. GUI thread only.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/Control.h"

namespace platform {

struct ElementData {
    std::u16string tagName;
    bool isAnchor = false;
    std::u16string href;
    uint64_t id = 0;  // the page's handle of an anchor, for connecting it
};

struct DocumentSnapshot {
    uint64_t generation = 0;  // which top-level document this was taken of
    std::u16string url;
    std::vector<ElementData> elements;  // in document order
};

// What the page does for connections; implemented by the browser host.
class PageConnector {
public:
    virtual bool Connect(uint64_t generation, uint64_t elementId, uint32_t cookie) = 0;
    virtual void Disconnect(uint64_t elementId, uint32_t cookie) = 0;

protected:
    ~PageConnector() = default;
};

// Shared by the host and every view it handed out. When the host goes, `connector` becomes
// null and all connections are dropped, so no event can reach a sink after its browser.
struct PageHub : std::enable_shared_from_this<PageHub> {
    PageConnector* connector = nullptr;
    uint64_t generation = 0;

    struct Connection {
        IDispatch* sink;  // a reference is held only when `counted`
        bool counted;
        uint64_t elementId;
    };
    std::map<uint32_t, Connection> connections;
    uint32_t nextCookie = 1;

    void DropAll();
    // Delivers a click on an element described by `source` to the sink of `cookie`.
    void DeliverClick(uint32_t cookie, const ElementData* source);
};

// The document view for a snapshot (with one reference, owned by the caller).
IHTMLDocument2* NewDocumentView(std::shared_ptr<PageHub> hub,
                                std::shared_ptr<const DocumentSnapshot> snapshot);

}  // namespace platform
