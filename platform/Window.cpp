#include "platform/Window.h"

#include <gtk/gtk.h>

#include "platform/BrowserHost.h"
#include "platform/Control.h"
#include "platform/TextCodec.h"

namespace platform {
namespace {

constexpr char kChildrenKey[] = "qarvelle-children";

GtkWidget* Widget(HWND hwnd) {
    return reinterpret_cast<GtkWidget*>(hwnd);
}
HWND Handle(GtkWidget* widget) {
    return reinterpret_cast<HWND>(widget);
}

}  // namespace

CWnd::CWnd() = default;

CWnd::~CWnd() {
    CWnd::DestroyWindow();
}

bool CWnd::CreateTopLevel(const std::u16string& title, int width, int height) {
    if (m_hWnd) return false;
    GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window), WideToUtf8(title).c_str());
    gtk_window_set_default_size(GTK_WINDOW(window), width, height);
    gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
    GtkWidget* children = gtk_fixed_new();
    gtk_widget_set_size_request(children, width, height);
    gtk_container_add(GTK_CONTAINER(window), children);
    gtk_widget_show(children);
    g_object_set_data(G_OBJECT(window), kChildrenKey, children);
    m_hWnd = Handle(window);
    return true;
}

bool CWnd::CreateControl(const CLSID& clsid, const std::u16string&, uint32_t style,
                         const RECT& rect, CWnd* parent, unsigned) {
    if (m_hWnd || !(clsid == CLSID_WebBrowser) || !parent || !parent->ChildContainer()) {
        return false;
    }
    m_container = std::make_unique<COleControlContainer>(parent);
    m_pCtrlSite.reset(AfxGetOccManager()->CreateSite(m_container.get()));
    if (!m_pCtrlSite) return false;
    m_browserHost =
        std::make_unique<BrowserHost>(m_pCtrlSite.get(), dynamic_cast<DWebBrowserEvents2*>(parent));
    GtkWidget* widget = m_browserHost->Widget();
    gtk_widget_set_no_show_all(widget, TRUE);  // shown only when asked, as WS_VISIBLE says
    gtk_widget_set_size_request(widget, rect.Width(), rect.Height());
    gtk_fixed_put(GTK_FIXED(parent->ChildContainer()), widget, rect.left, rect.top);
    m_hWnd = Handle(widget);
    if (style & WS_VISIBLE) gtk_widget_show(widget);
    return true;
}

void CWnd::DestroyWindow() {
    GtkWidget* widget = Widget(m_hWnd);
    m_hWnd = nullptr;
    if (m_browserHost) {
        m_browserHost.reset();  // destroys its widget
        widget = nullptr;
    }
    m_pCtrlSite.reset();
    m_container.reset();
    if (widget) gtk_widget_destroy(widget);
}

bool CWnd::ShowWindow(int nCmdShow) {
    GtkWidget* widget = Widget(m_hWnd);
    if (!widget) return false;
    const bool wasVisible = gtk_widget_get_visible(widget);
    if (nCmdShow == SW_HIDE) {
        gtk_widget_hide(widget);
    } else if (GTK_IS_WINDOW(widget) && nCmdShow == SW_MINIMIZE) {
        gtk_window_iconify(GTK_WINDOW(widget));
    } else {
        if (GTK_IS_WINDOW(widget) && nCmdShow == SW_RESTORE) {
            gtk_window_deiconify(GTK_WINDOW(widget));
        }
        gtk_widget_show(widget);
    }
    return wasVisible;
}

bool CWnd::IsWindowVisible() const {
    GtkWidget* widget = Widget(m_hWnd);
    return widget && gtk_widget_get_visible(widget);
}

void CWnd::MoveWindow(int x, int y, int width, int height, bool) {
    GtkWidget* widget = Widget(m_hWnd);
    if (!widget) return;
    if (GTK_IS_WINDOW(widget)) {
        gtk_window_move(GTK_WINDOW(widget), x, y);
        gtk_window_resize(GTK_WINDOW(widget), width, height);
        return;
    }
    gtk_widget_set_size_request(widget, width, height);
    if (GtkWidget* parent = gtk_widget_get_parent(widget); parent && GTK_IS_FIXED(parent)) {
        gtk_fixed_move(GTK_FIXED(parent), widget, x, y);
    }
}

RECT CWnd::GetWindowRect() const {
    GtkWidget* widget = Widget(m_hWnd);
    RECT rect;
    if (!widget) return rect;
    GtkAllocation allocation;
    gtk_widget_get_allocation(widget, &allocation);
    int x = 0, y = 0;
    if (GdkWindow* window = gtk_widget_get_window(widget)) {
        gdk_window_get_origin(gtk_widget_get_toplevel(widget) == widget
                                  ? window
                                  : gtk_widget_get_window(gtk_widget_get_toplevel(widget)),
                              &x, &y);
    }
    if (!GTK_IS_WINDOW(widget)) {
        x += allocation.x;
        y += allocation.y;
    }
    rect = {x, y, x + allocation.width, y + allocation.height};
    return rect;
}

IUnknown* CWnd::GetControlUnknown() const {
    return m_browserHost ? m_browserHost->ControlUnknown() : nullptr;
}

void* CWnd::ChildContainer() const {
    GtkWidget* widget = Widget(m_hWnd);
    return widget ? g_object_get_data(G_OBJECT(widget), kChildrenKey) : nullptr;
}

}  // namespace platform
