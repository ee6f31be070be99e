#include "platform/Dialog.h"

#include <gtk/gtk.h>
#include <json/reader.h>
#include <json/value.h>

#include <cstdlib>
#include <string>

#include "platform/Button.h"
#include "platform/MainLoop.h"
#include "platform/Resource.h"
#include "platform/Static.h"
#include "platform/TextCodec.h"

namespace platform {
namespace {

uint32_t Number(const Json::Value& value) {
    if (value.isString()) return static_cast<uint32_t>(std::strtoul(value.asCString(), nullptr, 0));
    return value.isNumeric() ? value.asUInt() : 0;
}

// Dialog units to pixels, for the template's own sizes (the program replaces them anyway).
int Pixels(int units, bool horizontal) {
    return horizontal ? units * 3 / 2 : units * 13 / 8;
}

}  // namespace

std::optional<DialogTemplate> DialogTemplate::Load(unsigned id) {
    const std::unique_ptr<ResourceData> data = FindResource("DIALOG", id);
    if (!data) return std::nullopt;
    const auto bytes = data->Bytes();
    Json::Value root;
    try {
        const std::string text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        if (!Json::Reader().parse(text, root, false) || !root.isObject()) return std::nullopt;
        DialogTemplate result;
        result.style = Number(root["style"]);
        result.exStyle = Number(root["exStyle"]);
        const Json::Value& size = root["size"];
        if (size.isArray() && size.size() == 2) {
            result.size = {Pixels(size[0].asInt(), true), Pixels(size[1].asInt(), false)};
        }
        const Json::Value& font = root["font"];
        if (font.isArray() && font.size() == 2) {
            result.fontName = Utf8ToWide(font[0].asString());
            result.fontPoints = font[1].asInt();
        }
        for (const Json::Value& control : root["controls"]) {
            DialogItem item;
            item.id = control["id"].asUInt();
            item.windowClass = control["class"].asString();
            item.text = Utf8ToWide(control["text"].asString());
            item.style = Number(control["style"]);
            item.exStyle = Number(control["exStyle"]);
            const Json::Value& rect = control["rect"];
            if (rect.isArray() && rect.size() == 4) {
                item.rect = {Pixels(rect[0].asInt(), true), Pixels(rect[1].asInt(), false),
                             Pixels(rect[2].asInt(), true), Pixels(rect[3].asInt(), false)};
            }
            result.items.push_back(item);
        }
        return result;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void DDX_Control(CDataExchange* pDX, unsigned nIDC, CWnd& rControl) {
    if (!pDX || !pDX->m_pDlgWnd || rControl.m_hWnd) return;
    const DialogTemplate* dialogTemplate = pDX->m_pDlgWnd->Template();
    if (!dialogTemplate) return;
    for (const DialogItem& item : dialogTemplate->items) {
        if (item.id == nIDC) {
            rControl.CreateFromTemplateItem(item, pDX->m_pDlgWnd);
            return;
        }
    }
}

CDialog::CDialog(unsigned nIDTemplate, CWnd* pParent)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParent) {}

CDialog::~CDialog() {
    m_unboundControls.clear();
    DestroyWindow();
}

bool CDialog::CreateFromTemplate(unsigned nIDTemplate, CWnd* owner) {
    m_template = DialogTemplate::Load(nIDTemplate);
    if (!m_template) return false;
    const RECT rect{0, 0, m_template->size.cx, m_template->size.cy};
    if (!CreateEx(m_template->exStyle, u"", m_template->style & ~WS_VISIBLE, rect, owner))
        return false;
    m_dwStyle = m_template->style & ~WS_VISIBLE;
    CDataExchange exchange(this);
    DoDataExchange(&exchange);
    // Controls no member took are created all the same.
    for (const DialogItem& item : m_template->items) {
        if (HasChild(item.id)) continue;
        std::unique_ptr<CWnd> control;
        if (item.windowClass == "button") {
            control = std::make_unique<CButton>();
        } else if (item.windowClass == "static") {
            control = std::make_unique<CStatic>();
        } else {
            control = std::make_unique<CWnd>();
        }
        if (control->CreateFromTemplateItem(item, this))
            m_unboundControls.push_back(std::move(control));
    }
    OnInitDialog();
    if (m_hWnd && (m_template->style & WS_VISIBLE)) ShowWindow(SW_SHOW);
    return m_hWnd != nullptr;
}

bool CDialog::HasChild(unsigned id) const {
    bool found = false;
    GList* children = gtk_container_get_children(GTK_CONTAINER(ChildContainer()));
    for (GList* c = children; c; c = c->next) {
        CWnd* child = CWnd::FromHandle(reinterpret_cast<HWND>(c->data));
        if (child && child->GetDlgCtrlID() == id) found = true;
    }
    g_list_free(children);
    return found;
}

bool CDialog::Create(unsigned nIDTemplate, CWnd* pParentWnd) {
    m_nIDTemplate = nIDTemplate;
    m_bModal = false;
    return CreateFromTemplate(nIDTemplate, pParentWnd);
}

int CDialog::DoModal() {
    if (IsQuitPending()) return -1;
    m_bModal = true;
    m_bEnded = false;
    m_nModalResult = -1;
    // Without a parent, a modal dialog belongs to the main window (unless it is the main window).
    CWnd* owner = m_pParentWnd;
    if (!owner && AfxGetMainWnd() != this && AfxGetMainWnd() && AfxGetMainWnd()->m_hWnd)
        owner = AfxGetMainWnd();
    if (!CreateFromTemplate(m_nIDTemplate, owner)) {
        DestroyWindow();
        return -1;
    }
    const bool ended = RunLoopUntil([this] { return m_bEnded; });
    m_unboundControls.clear();
    DestroyWindow();
    m_bModal = false;
    return ended ? m_nModalResult : -1;
}

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    m_bEnded = true;
    if (!m_bModal) DestroyWindow();
}

bool CDialog::OnInitDialog() {
    return true;
}
void CDialog::DoDataExchange(CDataExchange*) {}
void CDialog::OnOK() {
    EndDialog(IDOK);
}
void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}
void CDialog::OnClose() {
    OnCancel();
}

bool CDialog::OnCommand(unsigned id) {
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

}  // namespace platform
