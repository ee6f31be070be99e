#include "platform/DocumentView.h"

namespace platform {
namespace {

// The interface AfxConnectionAdvise finds on an element view; private to the layer.
constexpr IID IID_ConnectionSource = {
    0x6B1E2C71, 0x35A0, 0x4C7E, {0x9A, 0x51, 0x2D, 0x7E, 0x0C, 0x44, 0x8F, 0x13}};

// Reference counting and the IDispatch members the program never calls, for every view.
template <typename Derived>
class ViewBase {
public:
    ULONG AddRefImpl() { return ++m_refs; }
    ULONG ReleaseImpl() {
        const ULONG left = --m_refs;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

private:
    ULONG m_refs = 1;
};

#define QARVELLE_VIEW_DISPATCH_MEMBERS                                                           \
    ULONG AddRef() override {                                                                    \
        return AddRefImpl();                                                                     \
    }                                                                                            \
    ULONG Release() override {                                                                   \
        return ReleaseImpl();                                                                    \
    }                                                                                            \
    HRESULT GetTypeInfoCount(unsigned*) override {                                               \
        return E_NOTIMPL;                                                                        \
    }                                                                                            \
    HRESULT GetTypeInfo(unsigned, LCID, ITypeInfo**) override {                                  \
        return E_NOTIMPL;                                                                        \
    }                                                                                            \
    HRESULT GetIDsOfNames(REFIID, OLECHAR**, unsigned, LCID, DISPID*) override {                 \
        return E_NOTIMPL;                                                                        \
    }                                                                                            \
    HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS*, VARIANT*, EXCEPINFO*, unsigned*) \
        override {                                                                               \
        return E_NOTIMPL;                                                                        \
    }

HRESULT PutString(BSTR* out, const std::u16string& text) {
    if (!out) return E_POINTER;
    *out = SysAllocString(text);
    return *out || text.empty() ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

// One element; an anchor also answers IHTMLAnchorElement and can be connected.
class ElementView final : public IHTMLElement,
                          public IHTMLAnchorElement,
                          public ViewBase<ElementView> {
public:
    ElementView(std::shared_ptr<PageHub> hub, uint64_t generation, ElementData data)
        : m_hub(std::move(hub)), m_generation(generation), m_data(std::move(data)) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IHTMLElement) {
            *ppv = static_cast<IHTMLElement*>(this);
        } else if (m_data.isAnchor && riid == IID_IHTMLAnchorElement) {
            *ppv = static_cast<IHTMLAnchorElement*>(this);
        } else if (m_data.isAnchor && riid == IID_ConnectionSource) {
            *ppv = this;
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    QARVELLE_VIEW_DISPATCH_MEMBERS

    HRESULT get_tagName(BSTR* p) override { return PutString(p, m_data.tagName); }
    HRESULT get_href(BSTR* p) override { return PutString(p, m_data.href); }

    HRESULT Advise(REFIID iid, IUnknown* sinkUnknown, bool counted, uint32_t* cookie) {
        if (!cookie || !sinkUnknown) return E_POINTER;
        if (!(iid == DIID_HTMLElementEvents2)) return E_NOINTERFACE;
        if (!m_hub->connector || m_data.id == 0) return E_FAIL;
        // The sink must answer the event interface with its dispatch interface.
        void* sinkPointer = nullptr;
        if (FAILED(sinkUnknown->QueryInterface(iid, &sinkPointer)) || !sinkPointer) {
            return E_NOINTERFACE;
        }
        auto* sink = static_cast<IDispatch*>(sinkPointer);
        const uint32_t newCookie = m_hub->nextCookie++;
        if (!m_hub->connector->Connect(m_generation, m_data.id, newCookie)) {
            sink->Release();
            return E_FAIL;
        }
        if (!counted) sink->Release();
        m_hub->connections[newCookie] = {sink, counted, m_data.id};
        *cookie = newCookie;
        return S_OK;
    }

    HRESULT Unadvise(uint32_t cookie) {
        const auto it = m_hub->connections.find(cookie);
        if (it == m_hub->connections.end() || it->second.elementId != m_data.id) {
            return CONNECT_E_NOCONNECTION;
        }
        const PageHub::Connection connection = it->second;
        m_hub->connections.erase(it);
        if (m_hub->connector) m_hub->connector->Disconnect(m_data.id, cookie);
        if (connection.counted) connection.sink->Release();
        return S_OK;
    }

private:
    std::shared_ptr<PageHub> m_hub;
    uint64_t m_generation;
    ElementData m_data;
};

namespace {

class CollectionView final : public IHTMLElementCollection, public ViewBase<CollectionView> {
public:
    CollectionView(std::shared_ptr<PageHub> hub, std::shared_ptr<const DocumentSnapshot> snapshot)
        : m_hub(std::move(hub)), m_snapshot(std::move(snapshot)) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!(riid == IID_IUnknown || riid == IID_IDispatch ||
              riid == IID_IHTMLElementCollection)) {
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IHTMLElementCollection*>(this);
        AddRef();
        return S_OK;
    }
    QARVELLE_VIEW_DISPATCH_MEMBERS

    HRESULT get_length(long* p) override {
        if (!p) return E_POINTER;
        *p = static_cast<long>(m_snapshot->elements.size());
        return S_OK;
    }

    HRESULT item(VARIANT name, VARIANT, IDispatch** pdisp) override {
        if (!pdisp) return E_POINTER;
        *pdisp = nullptr;
        VARIANT index;
        VariantInit(&index);
        if (FAILED(VariantChangeType(&index, &name, 0, VT_UINT))) return E_INVALIDARG;
        if (index.uintVal >= m_snapshot->elements.size()) return S_OK;  // no such element
        *pdisp = static_cast<IHTMLElement*>(
            new ElementView(m_hub, m_snapshot->generation, m_snapshot->elements[index.uintVal]));
        return S_OK;
    }

private:
    std::shared_ptr<PageHub> m_hub;
    std::shared_ptr<const DocumentSnapshot> m_snapshot;
};

class DocumentView final : public IHTMLDocument2, public ViewBase<DocumentView> {
public:
    DocumentView(std::shared_ptr<PageHub> hub, std::shared_ptr<const DocumentSnapshot> snapshot)
        : m_hub(std::move(hub)), m_snapshot(std::move(snapshot)) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!(riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IHTMLDocument2)) {
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IHTMLDocument2*>(this);
        AddRef();
        return S_OK;
    }
    QARVELLE_VIEW_DISPATCH_MEMBERS

    HRESULT get_all(IHTMLElementCollection** p) override {
        if (!p) return E_POINTER;
        *p = new CollectionView(m_hub, m_snapshot);
        return S_OK;
    }
    HRESULT get_URL(BSTR* p) override { return PutString(p, m_snapshot->url); }

private:
    std::shared_ptr<PageHub> m_hub;
    std::shared_ptr<const DocumentSnapshot> m_snapshot;
};

class EventObjView final : public IHTMLEventObj, public ViewBase<EventObjView> {
public:
    explicit EventObjView(IHTMLElement* source) : m_source(source) {}
    ~EventObjView() {
        if (m_source) m_source->Release();
    }

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!(riid == IID_IUnknown || riid == IID_IDispatch || riid == IID_IHTMLEventObj)) {
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IHTMLEventObj*>(this);
        AddRef();
        return S_OK;
    }
    QARVELLE_VIEW_DISPATCH_MEMBERS

    HRESULT get_srcElement(IHTMLElement** p) override {
        if (!p) return E_POINTER;
        *p = m_source;
        if (m_source) m_source->AddRef();
        return S_OK;
    }

private:
    IHTMLElement* m_source;
};

ElementView* ConnectionSourceOf(IUnknown* unknown) {
    void* source = nullptr;
    if (!unknown || FAILED(unknown->QueryInterface(IID_ConnectionSource, &source))) return nullptr;
    return static_cast<ElementView*>(source);
}

}  // namespace

void PageHub::DropAll() {
    std::map<uint32_t, Connection> dropped;
    dropped.swap(connections);
    for (auto& [cookie, connection] : dropped) {
        if (connection.counted) connection.sink->Release();
    }
}

void PageHub::DeliverClick(uint32_t cookie, const ElementData* source) {
    const auto it = connections.find(cookie);
    if (it == connections.end()) return;
    CComPtr<IDispatch> sink(it->second.sink);  // kept alive for the call when counted
    IHTMLElement* sourceView =
        source
            ? static_cast<IHTMLElement*>(new ElementView(shared_from_this(), generation, *source))
            : nullptr;
    CComPtr<IHTMLEventObj> event = CComPtr<IHTMLEventObj>::Attach(new EventObjView(sourceView));
    CComVariant argument(static_cast<IDispatch*>(event.get()));
    DISPPARAMS params;
    params.rgvarg = &argument;
    params.cArgs = 1;
    sink->Invoke(DISPID_HTMLELEMENTEVENTS2_ONCLICK, IID_IUnknown, LOCALE_USER_DEFAULT,
                 DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
}

IHTMLDocument2* NewDocumentView(std::shared_ptr<PageHub> hub,
                                std::shared_ptr<const DocumentSnapshot> snapshot) {
    return new DocumentView(std::move(hub), std::move(snapshot));
}

HRESULT AfxConnectionAdvise(IUnknown* pUnkSrc, REFIID iid, IUnknown* pUnkSink, bool bRefCount,
                            uint32_t* pdwCookie) {
    ElementView* source = ConnectionSourceOf(pUnkSrc);
    if (!source) return E_NOINTERFACE;
    const HRESULT hr = source->Advise(iid, pUnkSink, bRefCount, pdwCookie);
    source->Release();
    return hr;
}

HRESULT AfxConnectionUnadvise(IUnknown* pUnkSrc, REFIID iid, IUnknown*, bool, uint32_t dwCookie) {
    if (!(iid == DIID_HTMLElementEvents2)) return E_NOINTERFACE;
    ElementView* source = ConnectionSourceOf(pUnkSrc);
    if (!source) return E_NOINTERFACE;
    const HRESULT hr = source->Unadvise(dwCookie);
    source->Release();
    return hr;
}

}  // namespace platform
