// The page's messages as the browser side reads them, and the document view made of them:
// walking every element as the login panel does, hooking anchors and delivering clicks.
#include <cstdlib>
#include <memory>
#include <string>

#include "platform/Control.h"
#include "platform/DocumentView.h"
#include "platform/PageChannel.h"

using namespace platform;

namespace {

// Connections are always accepted, as a live page would.
class Connector : public PageConnector {
public:
    bool Connect(uint64_t, uint64_t, uint32_t) override { return true; }
    void Disconnect(uint64_t, uint32_t) override {}
};

// An event sink that reads the clicked element as the login panel does.
class Sink : public IDispatch {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (!(riid == IID_IUnknown || riid == IID_IDispatch || riid == DIID_HTMLElementEvents2)) {
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(unsigned*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(unsigned, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, OLECHAR**, unsigned, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, uint16_t, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                   unsigned*) override {
        ++clicks;
        if (!params || params->cArgs < 1 || params->rgvarg[0].vt != VT_DISPATCH) return S_OK;
        const CComPtr<IHTMLEventObj> event =
            CComPtr<IDispatch>(params->rgvarg[0].pdispVal).As<IHTMLEventObj>(IID_IHTMLEventObj);
        if (!event) std::abort();
        CComPtr<IHTMLElement> source;
        if (SUCCEEDED(event->get_srcElement(&source)) && source) {
            CComBSTR tag;
            source->get_tagName(&tag);
            const CComPtr<IHTMLAnchorElement> anchor =
                source.As<IHTMLAnchorElement>(IID_IHTMLAnchorElement);
            CComBSTR href;
            if (anchor) anchor->get_href(&href);
        }
        return S_OK;
    }
    ULONG refs = 1;
    int clicks = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The first line is the completed document, the rest clicks on its hooked links.
    const size_t end = text.find('\n');
    const PageMessage complete = ParsePageMessage(text.substr(0, end));
    auto hub = std::make_shared<PageHub>();
    Connector connector;
    hub->connector = &connector;
    Sink sink;
    {
        auto snapshot = std::make_shared<DocumentSnapshot>(complete.document);
        CComPtr<IHTMLDocument2> document =
            CComPtr<IHTMLDocument2>::Attach(NewDocumentView(hub, std::move(snapshot)));
        CComPtr<IHTMLElementCollection> all;
        if (FAILED(document->get_all(&all)) || !all) std::abort();
        long length = -1;
        all->get_length(&length);
        if (length != static_cast<long>(complete.document.elements.size())) std::abort();
        for (long i = -1; i <= length; ++i) {  // one before and one past the end as well
            CComVariant name(static_cast<int32_t>(i)), none;
            CComPtr<IDispatch> item;
            if (FAILED(all->item(name, none, &item)) || !item) continue;
            const CComPtr<IHTMLAnchorElement> anchor =
                item.As<IHTMLAnchorElement>(IID_IHTMLAnchorElement);
            if (!anchor) continue;
            CComBSTR href;
            anchor->get_href(&href);
            uint32_t cookie = 0;
            AfxConnectionAdvise(anchor.get(), DIID_HTMLElementEvents2, &sink, false, &cookie);
        }
        for (size_t at = end; at != std::string::npos && at < text.size();) {
            const size_t next = text.find('\n', at + 1);
            const PageMessage click = ParsePageMessage(text.substr(at + 1, next - at - 1));
            if (click.kind == PageMessage::Click) {
                hub->DeliverClick(click.cookie, click.source ? &*click.source : nullptr);
            }
            at = next;
        }
        hub->DropAll();
    }
    if (sink.refs != 1) std::abort();  // connections made without counting hold none
    return 0;
}
