#include "platform/Window.h"

#include <cairo.h>
#include <gtk/gtk.h>

#include <algorithm>

#include "platform/BrowserHost.h"
#include "platform/Control.h"
#include "platform/Dialog.h"
#include "platform/Image.h"
#include "platform/TextCodec.h"

// A fixed-position container that asks for no size of its own: a window keeps the size it is
// given, and children reaching past its edge are cut there, as child windows are.
struct QarvelleClipFixed {
    GtkFixed parent;
};
struct QarvelleClipFixedClass {
    GtkFixedClass parent_class;
};
G_DEFINE_TYPE(QarvelleClipFixed, qarvelle_clip_fixed, GTK_TYPE_FIXED)

static void qarvelle_clip_fixed_preferred(GtkWidget*, gint* minimum, gint* natural) {
    *minimum = *natural = 0;
}
static void qarvelle_clip_fixed_class_init(QarvelleClipFixedClass* klass) {
    GTK_WIDGET_CLASS(klass)->get_preferred_width = qarvelle_clip_fixed_preferred;
    GTK_WIDGET_CLASS(klass)->get_preferred_height = qarvelle_clip_fixed_preferred;
}
static void qarvelle_clip_fixed_init(QarvelleClipFixed*) {}

namespace platform {
namespace {

constexpr char kWindowKey[] = "qarvelle-cwnd";
constexpr char kChildrenKey[] = "qarvelle-children";
constexpr int kIconSize = 32;

// A widget destroyed with its parent leaves its CWnd without a window.
void ForgetDestroyedWidget(GtkWidget* widget, gpointer) {
    auto* wnd = static_cast<CWnd*>(g_object_get_data(G_OBJECT(widget), kWindowKey));
    if (wnd && wnd->m_hWnd == reinterpret_cast<HWND>(widget)) wnd->m_hWnd = nullptr;
    g_object_set_data(G_OBJECT(widget), kWindowKey, nullptr);
}

GtkWidget* Widget(HWND hwnd) {
    return reinterpret_cast<GtkWidget*>(hwnd);
}
HWND Handle(GtkWidget* widget) {
    return reinterpret_cast<HWND>(widget);
}

double Red(COLORREF c) {
    return (c & 0xFF) / 255.0;
}
double Green(COLORREF c) {
    return ((c >> 8) & 0xFF) / 255.0;
}
double Blue(COLORREF c) {
    return ((c >> 16) & 0xFF) / 255.0;
}

bool IsComposited(GtkWidget* widget) {
    GdkScreen* screen = gtk_widget_get_screen(widget);
    return screen && gdk_screen_is_composited(screen);
}

// The region of a surface's pixels whose alpha is above zero.
cairo_region_t* OpaqueRegion(cairo_surface_t* surface) {
    const int w = cairo_image_surface_get_width(surface),
              h = cairo_image_surface_get_height(surface);
    cairo_surface_t* mask = cairo_image_surface_create(CAIRO_FORMAT_A1, w, h);
    cairo_surface_flush(surface);
    const unsigned char* source = cairo_image_surface_get_data(surface);
    const int sourceStride = cairo_image_surface_get_stride(surface);
    unsigned char* bits = cairo_image_surface_get_data(mask);
    const int maskStride = cairo_image_surface_get_stride(mask);
    for (int y = 0; y < h; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(source + y * sourceStride);
        uint32_t* out = reinterpret_cast<uint32_t*>(bits + y * maskStride);
        for (int x = 0; x < w; ++x) {
            if (row[x] >> 24) out[x / 32] |= 1u << (x % 32);  // A1 is native-endian 32-bit words
        }
    }
    cairo_surface_mark_dirty(mask);
    cairo_region_t* region = gdk_cairo_region_create_from_surface(mask);
    cairo_surface_destroy(mask);
    return region;
}

// The pixels a widget paints when drawn on a transparent surface of its size.
cairo_region_t* PaintedRegion(GtkWidget* widget, int width, int height) {
    if (width <= 0 || height <= 0 || !gtk_widget_get_realized(widget)) {
        return cairo_region_create();
    }
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* cr = cairo_create(surface);
    gtk_widget_draw(widget, cr);
    cairo_destroy(cr);
    cairo_region_t* region = OpaqueRegion(surface);
    cairo_surface_destroy(surface);
    return region;
}

// The image with alpha dropped (colours un-premultiplied): what a window shaped by the image's
// alpha shows where no compositor can blend.
cairo_surface_t* OpaqueCopy(cairo_surface_t* surface) {
    const int w = cairo_image_surface_get_width(surface),
              h = cairo_image_surface_get_height(surface);
    cairo_surface_t* copy = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
    const unsigned char* source = cairo_image_surface_get_data(surface);
    unsigned char* target = cairo_image_surface_get_data(copy);
    for (int y = 0; y < h; ++y) {
        const uint32_t* in =
            reinterpret_cast<const uint32_t*>(source + y * cairo_image_surface_get_stride(surface));
        uint32_t* out =
            reinterpret_cast<uint32_t*>(target + y * cairo_image_surface_get_stride(copy));
        for (int x = 0; x < w; ++x) {
            const uint32_t p = in[x], a = p >> 24;
            if (a == 0 || a == 255) {
                out[x] = a ? p : 0;
                continue;
            }
            const auto channel = [&](int shift) {
                return std::min<uint32_t>(255, ((p >> shift) & 0xFF) * 255 / a);
            };
            out[x] = 0xFF000000u | (channel(16) << 16) | (channel(8) << 8) | channel(0);
        }
    }
    cairo_surface_mark_dirty(copy);
    return copy;
}

}  // namespace

// The GTK side of a top-level window: its widgets, layered content, drag state and signals.
struct NativeWindow {
    CWnd* owner = nullptr;
    GtkWidget* window = nullptr;
    GtkWidget* children = nullptr;
    cairo_surface_t* layeredImage = nullptr;   // per-pixel alpha content
    cairo_surface_t* layeredOpaque = nullptr;  // the same for shaped display without compositor
    bool colorKeyed = false;
    COLORREF colorKey = 0;
    bool layeredShown = false;  // layered style with content or attributes
    cairo_region_t* shape = nullptr;
    guint shapeIdle = 0;
    bool dragging = false;
    guint32 lastPressTime = 0;
    double lastPressX = -1, lastPressY = -1;
    int dragStartX = 0, dragStartY = 0, windowStartX = 0, windowStartY = 0;
    int lastX = G_MININT, lastY = G_MININT;
    bool iconic = false;
    const Image* icon = nullptr;

    ~NativeWindow() {
        if (shapeIdle) g_source_remove(shapeIdle);
        if (layeredImage) cairo_surface_destroy(layeredImage);
        if (layeredOpaque) cairo_surface_destroy(layeredOpaque);
        if (shape) cairo_region_destroy(shape);
    }

    // --- painting ---
    static gboolean Draw(GtkWidget*, cairo_t* cr, NativeWindow* self) {
        try {
            self->Paint(cr);
        } catch (...) {
        }
        return FALSE;  // the children draw next
    }
    void Paint(cairo_t* cr) {
        const bool layered = owner->m_dwExStyle & WS_EX_LAYERED;
        cairo_save(cr);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        if (layered && layeredImage) {
            cairo_set_source_surface(cr, IsComposited(window) ? layeredImage : layeredOpaque, 0, 0);
            cairo_paint(cr);
            cairo_restore(cr);
            return;
        }
        if (layered && !layeredShown) {  // layered without content: nothing shows
            cairo_set_source_rgba(cr, 0, 0, 0, 0);
            cairo_paint(cr);
            cairo_restore(cr);
            return;
        }
        CDC dc(cr);
        HBRUSH brush = owner->OnCtlColor(&dc, owner, CTLCOLOR_DLG);
        if (brush && colorKeyed && brush->m_color == colorKey) {
            cairo_set_source_rgba(cr, 0, 0, 0, 0);  // the key colour vanishes
            cairo_paint(cr);
        } else if (brush) {
            cairo_set_source_rgb(cr, Red(brush->m_color), Green(brush->m_color),
                                 Blue(brush->m_color));
            cairo_paint(cr);
        } else {
            GtkAllocation a;
            gtk_widget_get_allocation(window, &a);
            gtk_render_background(gtk_widget_get_style_context(window), cr, 0, 0, a.width,
                                  a.height);
        }
        cairo_restore(cr);
        CDC paint(cr);
        owner->OnPaint(paint);
        if (colorKeyed) ScheduleShape();
    }

    // --- shapes: what of the window is visible and takes clicks ---
    void ScheduleShape() {
        if (!shapeIdle) {
            shapeIdle = g_idle_add(
                [](gpointer data) -> gboolean {
                    auto* self = static_cast<NativeWindow*>(data);
                    self->shapeIdle = 0;
                    self->ApplyShape();
                    return G_SOURCE_REMOVE;
                },
                this);
        }
    }
    // A colour-keyed window shows, and takes clicks on, its visible children only (the key
    // colour is all of its own surface); an alpha-layered one its pixels with alpha.
    cairo_region_t* WantedShape() {
        const bool layered = owner->m_dwExStyle & WS_EX_LAYERED;
        if (!layered) return nullptr;
        if (layeredImage) return OpaqueRegion(layeredImage);
        cairo_region_t* region = cairo_region_create();
        if (!colorKeyed) return region;
        GList* kids = gtk_container_get_children(GTK_CONTAINER(children));
        for (GList* k = kids; k; k = k->next) {
            GtkWidget* child = GTK_WIDGET(k->data);
            CWnd* window = CWnd::FromHandle(Handle(child));
            if (!gtk_widget_get_visible(child) || (window && !window->IsWindowVisible())) continue;
            GtkAllocation a;
            gtk_widget_get_allocation(child, &a);
            if (window && (window->GetExStyle() & WS_EX_TRANSPARENT)) {
                // A transparent child shows only what it paints; the key colour shows through
                // the rest of it.
                cairo_region_t* painted = PaintedRegion(child, a.width, a.height);
                cairo_region_translate(painted, a.x, a.y);
                cairo_region_union(region, painted);
                cairo_region_destroy(painted);
                continue;
            }
            const cairo_rectangle_int_t rect{a.x, a.y, a.width, a.height};
            cairo_region_union_rectangle(region, &rect);
        }
        g_list_free(kids);
        return region;
    }
    void ApplyShape() {
        GdkWindow* gdkWindow = gtk_widget_get_window(window);
        if (!gdkWindow) return;
        cairo_region_t* wanted = WantedShape();
        const bool same =
            (!wanted && !shape) || (wanted && shape && cairo_region_equal(wanted, shape));
        if (same) {
            if (wanted) cairo_region_destroy(wanted);
            return;
        }
        if (shape) cairo_region_destroy(shape);
        shape = wanted;
        gtk_widget_input_shape_combine_region(window, shape);
        gtk_widget_shape_combine_region(window, IsComposited(window) ? nullptr : shape);
    }
    // A child shown, hidden or moved changes what a colour-keyed window shows.
    static void ChildChanged(GtkWidget* child) {
        CWnd* top = CWnd::FromHandle(Handle(gtk_widget_get_toplevel(child)));
        if (top && top->m_native && top->m_native->colorKeyed) top->m_native->ScheduleShape();
    }
    static void CompositedChanged(GdkScreen*, NativeWindow* self) {
        if (self->shape) cairo_region_destroy(self->shape);
        self->shape = nullptr;
        self->ApplyShape();
        gtk_widget_queue_draw(self->window);
    }
    static void Realized(GtkWidget*, NativeWindow* self) { self->ApplyShape(); }

    // --- hit testing and dragging ---
    static gboolean Press(GtkWidget*, GdkEventButton* event, NativeWindow* self) {
        if (event->button != 1 || event->type != GDK_BUTTON_PRESS) return FALSE;
        // X may deliver one press twice (core and extension events of the same device): the
        // same time and place is the same press.
        if (event->time == self->lastPressTime && event->x_root == self->lastPressX &&
            event->y_root == self->lastPressY) {
            return TRUE;
        }
        self->lastPressTime = event->time;
        self->lastPressX = event->x_root;
        self->lastPressY = event->y_root;
        unsigned code = HTNOWHERE;
        try {
            code = self->owner->OnNcHitTest(
                {static_cast<int>(event->x_root), static_cast<int>(event->y_root)});
        } catch (...) {
        }
        if (code != HTCAPTION) return FALSE;
        self->BeginDrag(event);
        return TRUE;
    }
    void BeginDrag(GdkEventButton* event) {
        dragging = true;
        dragStartX = static_cast<int>(event->x_root);
        dragStartY = static_cast<int>(event->y_root);
        gtk_window_get_position(GTK_WINDOW(window), &windowStartX, &windowStartY);
        GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(window));
        gdk_seat_grab(seat, gtk_widget_get_window(window), GDK_SEAT_CAPABILITY_ALL_POINTING, FALSE,
                      nullptr, reinterpret_cast<GdkEvent*>(event), nullptr, nullptr);
    }
    static gboolean Motion(GtkWidget*, GdkEventMotion* event, NativeWindow* self) {
        if (!self->dragging) return FALSE;
        gtk_window_move(GTK_WINDOW(self->window),
                        self->windowStartX + static_cast<int>(event->x_root) - self->dragStartX,
                        self->windowStartY + static_cast<int>(event->y_root) - self->dragStartY);
        return TRUE;
    }
    static gboolean Release(GtkWidget*, GdkEventButton* event, NativeWindow* self) {
        if (!self->dragging || event->button != 1) return FALSE;
        self->dragging = false;
        gdk_seat_ungrab(gdk_display_get_default_seat(gtk_widget_get_display(self->window)));
        return TRUE;
    }

    // --- notifications ---
    static gboolean Configure(GtkWidget*, GdkEventConfigure* event, NativeWindow* self) {
        if (event->x != self->lastX || event->y != self->lastY) {
            self->lastX = event->x;
            self->lastY = event->y;
            try {
                self->owner->OnMove(event->x, event->y);
            } catch (...) {
            }
        }
        return FALSE;
    }
    static void Shown(GtkWidget*, NativeWindow* self) { self->owner->OnShowWindow(true, 0); }
    static void Hidden(GtkWidget*, NativeWindow* self) { self->owner->OnShowWindow(false, 0); }
    static gboolean Delete(GtkWidget*, GdkEvent*, NativeWindow* self) {
        try {
            self->owner->OnClose();
        } catch (...) {
        }
        return TRUE;  // the program decides
    }
    static gboolean State(GtkWidget*, GdkEventWindowState* event, NativeWindow* self) {
        if (!(event->changed_mask & GDK_WINDOW_STATE_ICONIFIED)) return FALSE;
        self->iconic = event->new_window_state & GDK_WINDOW_STATE_ICONIFIED;
        // Owned windows go and come back with their owner.
        for (CWnd* owned : self->owner->m_owned) {
            if (!owned->m_hWnd) continue;
            if (self->iconic) {
                gtk_widget_hide(Widget(owned->m_hWnd));
            } else if (owned->m_dwStyle & WS_VISIBLE) {
                gtk_widget_show(Widget(owned->m_hWnd));
            }
        }
        return FALSE;
    }
    // Enter and Esc are the dialog's OK and Cancel, unless a child that takes keys (the browser,
    // with its forms) has the focus.
    static gboolean KeyPress(GtkWidget*, GdkEventKey* event, NativeWindow* self) {
        GtkWidget* focus = gtk_window_get_focus(GTK_WINDOW(self->window));
        if (focus && focus != self->window && gtk_widget_has_focus(focus)) return FALSE;
        unsigned command = 0;
        if (event->keyval == GDK_KEY_Return || event->keyval == GDK_KEY_KP_Enter) command = IDOK;
        if (event->keyval == GDK_KEY_Escape) command = IDCANCEL;
        if (!command) return FALSE;
        try {
            return self->owner->OnCommand(command);
        } catch (...) {
            return TRUE;
        }
    }
};

// --- CDC ---

void CDC::FillSolidRect(const RECT& rect, COLORREF color) {
    auto* cr = static_cast<cairo_t*>(m_cr);
    cairo_save(cr);
    cairo_set_source_rgb(cr, Red(color), Green(color), Blue(color));
    cairo_rectangle(cr, rect.left, rect.top, rect.Width(), rect.Height());
    cairo_fill(cr);
    cairo_restore(cr);
}

void CDC::DrawImage(const Image& image, int x, int y, const RECT& source) {
    if (!image.Ok()) return;
    auto* cr = static_cast<cairo_t*>(m_cr);
    cairo_save(cr);
    cairo_rectangle(cr, x, y, source.Width(), source.Height());
    cairo_clip(cr);
    cairo_set_source_surface(cr, image.Surface(), x - source.left, y - source.top);
    cairo_paint(cr);
    cairo_restore(cr);
}

void CDC::DrawIcon(int x, int y, HICON icon) {
    if (!icon || !icon->Ok()) return;
    auto* cr = static_cast<cairo_t*>(m_cr);
    cairo_save(cr);
    cairo_translate(cr, x, y);
    cairo_scale(cr, double(kIconSize) / icon->GetWidth(), double(kIconSize) / icon->GetHeight());
    cairo_set_source_surface(cr, icon->Surface(), 0, 0);
    cairo_paint(cr);
    cairo_restore(cr);
}

COLORREF CDC::SetTextColor(COLORREF color) {
    const COLORREF previous = m_textColor;
    m_textColor = color;
    return previous;
}

int CDC::SetBkMode(int mode) {
    const int previous = m_bkMode;
    m_bkMode = mode;
    return previous;
}

int GetSystemMetrics(int index) {
    return index == SM_CXICON || index == SM_CYICON ? kIconSize : 0;
}

// --- CWnd ---

CWnd::CWnd() = default;

CWnd::~CWnd() {
    CWnd::DestroyWindow();
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    return hwnd ? static_cast<CWnd*>(g_object_get_data(G_OBJECT(Widget(hwnd)), kWindowKey))
                : nullptr;
}

bool CWnd::CreateEx(uint32_t exStyle, const std::u16string& title, uint32_t style, const RECT& rect,
                    CWnd* owner) {
    if (m_hWnd) return false;
    m_dwStyle = style;
    m_dwExStyle = exStyle;
    m_text = title;
    m_native = std::make_unique<NativeWindow>();
    NativeWindow& n = *m_native;
    n.owner = this;
    n.window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    GtkWindow* window = GTK_WINDOW(n.window);
    // Every window can carry alpha, so that it can become layered at any time.
    if (GdkVisual* rgba = gdk_screen_get_rgba_visual(gtk_widget_get_screen(n.window))) {
        gtk_widget_set_visual(n.window, rgba);
    }
    gtk_widget_set_app_paintable(n.window, TRUE);
    gtk_window_set_title(window, WideToUtf8(title).c_str());
    gtk_window_set_decorated(window, (style & WS_CAPTION) == WS_CAPTION);
    gtk_window_set_resizable(window, FALSE);
    gtk_window_set_default_size(window, rect.Width(), rect.Height());
    gtk_widget_set_size_request(n.window, rect.Width(), rect.Height());
    gtk_window_move(window, rect.left, rect.top);
    if (owner) {
        CWnd* top = owner;
        while (top->m_pParent)
            top = top->m_pParent;
        m_pOwner = top;
        top->m_owned.push_back(this);
        if (top->m_hWnd) gtk_window_set_transient_for(window, GTK_WINDOW(Widget(top->m_hWnd)));
        gtk_window_set_skip_taskbar_hint(window, !(exStyle & WS_EX_APPWINDOW));
    }
    n.children = GTK_WIDGET(g_object_new(qarvelle_clip_fixed_get_type(), nullptr));
    gtk_container_add(GTK_CONTAINER(n.window), n.children);
    gtk_widget_show(n.children);
    g_object_set_data(G_OBJECT(n.window), kChildrenKey, n.children);
    g_object_set_data(G_OBJECT(n.window), kWindowKey, this);
    gtk_widget_add_events(n.window, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                        GDK_POINTER_MOTION_MASK | GDK_STRUCTURE_MASK);
    g_signal_connect(n.window, "draw", G_CALLBACK(NativeWindow::Draw), &n);
    g_signal_connect(n.window, "realize", G_CALLBACK(NativeWindow::Realized), &n);
    g_signal_connect(n.window, "button-press-event", G_CALLBACK(NativeWindow::Press), &n);
    g_signal_connect(n.window, "motion-notify-event", G_CALLBACK(NativeWindow::Motion), &n);
    g_signal_connect(n.window, "button-release-event", G_CALLBACK(NativeWindow::Release), &n);
    g_signal_connect(n.window, "configure-event", G_CALLBACK(NativeWindow::Configure), &n);
    g_signal_connect(n.window, "show", G_CALLBACK(NativeWindow::Shown), &n);
    g_signal_connect(n.window, "hide", G_CALLBACK(NativeWindow::Hidden), &n);
    g_signal_connect(n.window, "delete-event", G_CALLBACK(NativeWindow::Delete), &n);
    g_signal_connect(n.window, "window-state-event", G_CALLBACK(NativeWindow::State), &n);
    g_signal_connect(n.window, "key-press-event", G_CALLBACK(NativeWindow::KeyPress), &n);
    g_signal_connect(gtk_widget_get_screen(n.window), "composited-changed",
                     G_CALLBACK(NativeWindow::CompositedChanged), &n);
    m_hWnd = Handle(n.window);
    return true;
}

bool CWnd::CreateTopLevel(const std::u16string& title, int width, int height) {
    return CreateEx(0, title, WS_POPUP | WS_CAPTION, RECT{0, 0, width, height}, nullptr);
}

void CWnd::AttachChild(void* widgetPointer, CWnd* parent, const RECT& rect, unsigned id,
                       uint32_t style, uint32_t exStyle) {
    GtkWidget* widget = static_cast<GtkWidget*>(widgetPointer);
    m_pParent = parent;
    m_nID = id;
    m_dwStyle = style;
    m_dwExStyle = exStyle;
    g_object_set_data(G_OBJECT(widget), kWindowKey, this);
    g_signal_connect(widget, "destroy", G_CALLBACK(ForgetDestroyedWidget), nullptr);
    for (const char* change : {"show", "hide"}) {
        g_signal_connect(widget, change,
                         G_CALLBACK(+[](GtkWidget* w, gpointer) { NativeWindow::ChildChanged(w); }),
                         nullptr);
    }
    g_signal_connect(
        widget, "size-allocate",
        G_CALLBACK(+[](GtkWidget* w, GdkRectangle*, gpointer) { NativeWindow::ChildChanged(w); }),
        nullptr);
    gtk_widget_set_no_show_all(widget, TRUE);  // shown only when asked, as WS_VISIBLE says
    gtk_widget_set_size_request(widget, rect.Width(), rect.Height());
    gtk_fixed_put(GTK_FIXED(parent->ChildContainer()), widget, rect.left, rect.top);
    m_hWnd = Handle(widget);
    if (style & WS_VISIBLE) gtk_widget_show(widget);
}

bool CWnd::CreateControl(const CLSID& clsid, const std::u16string& windowName, uint32_t style,
                         const RECT& rect, CWnd* parent, unsigned id) {
    if (m_hWnd || !(clsid == CLSID_WebBrowser) || !parent || !parent->ChildContainer()) {
        return false;
    }
    m_container = std::make_unique<COleControlContainer>(parent);
    m_pCtrlSite.reset(AfxGetOccManager()->CreateSite(m_container.get()));
    if (!m_pCtrlSite) return false;
    m_browserHost =
        std::make_unique<BrowserHost>(m_pCtrlSite.get(), dynamic_cast<DWebBrowserEvents2*>(parent));
    m_text = windowName;
    AttachChild(m_browserHost->Widget(), parent, rect, id, style, 0);
    return true;
}

bool CWnd::CreateFromTemplateItem(const DialogItem& item, CWnd* parent) {
    if (item.windowClass == "{8856F961-340A-11D0-A96B-00C04FD705A2}") {
        return CreateControl(CLSID_WebBrowser, item.text, item.style, item.rect, parent, item.id);
    }
    // Any other class: a plain child area; what it shows is its OnPaint.
    GtkWidget* area = gtk_drawing_area_new();
    g_signal_connect(area, "draw", G_CALLBACK(+[](GtkWidget* w, cairo_t* cr, gpointer) -> gboolean {
                         if (CWnd* child = CWnd::FromHandle(Handle(w))) {
                             CDC dc(cr);
                             try {
                                 child->OnPaint(dc);
                             } catch (...) {
                             }
                         }
                         return FALSE;
                     }),
                     nullptr);
    m_text = item.text;
    AttachChild(area, parent, item.rect, item.id, item.style, item.exStyle);
    return true;
}

void CWnd::DestroyWindow() {
    for (CWnd* owned : std::vector<CWnd*>(m_owned))
        owned->DestroyWindow();  // they go first
    if (m_pOwner) {
        auto& list = m_pOwner->m_owned;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        m_pOwner = nullptr;
    }
    GtkWidget* widget = Widget(m_hWnd);
    m_hWnd = nullptr;
    if (widget) g_object_set_data(G_OBJECT(widget), kWindowKey, nullptr);
    if (m_browserHost) {
        m_browserHost.reset();  // destroys its widget
        widget = nullptr;
    }
    m_pCtrlSite.reset();
    m_container.reset();
    if (m_native) {
        g_signal_handlers_disconnect_by_data(gtk_widget_get_screen(m_native->window),
                                             m_native.get());
        g_signal_handlers_disconnect_by_data(m_native->window, m_native.get());
    }
    if (widget) gtk_widget_destroy(widget);
    m_native.reset();
}

namespace {
constexpr int kParkingOffset = -30000;  // far beyond any window's edge, within X's coordinates
}  // namespace

bool CWnd::Park() {
    GtkWidget* widget = Widget(m_hWnd);
    GtkWidget* parent = widget ? gtk_widget_get_parent(widget) : nullptr;
    if (m_parkedFrom) return true;
    if (!parent || !GTK_IS_FIXED(parent)) return false;
    GValue value = G_VALUE_INIT;
    g_value_init(&value, G_TYPE_INT);
    POINT at;
    gtk_container_child_get_property(GTK_CONTAINER(parent), widget, "x", &value);
    at.x = g_value_get_int(&value);
    gtk_container_child_get_property(GTK_CONTAINER(parent), widget, "y", &value);
    at.y = g_value_get_int(&value);
    g_value_unset(&value);
    m_parkedFrom = at;
    gtk_fixed_move(GTK_FIXED(parent), widget, kParkingOffset, kParkingOffset);
    gtk_widget_show(widget);
    return true;
}

void CWnd::Unpark() {
    GtkWidget* widget = Widget(m_hWnd);
    GtkWidget* parent = widget ? gtk_widget_get_parent(widget) : nullptr;
    if (!m_parkedFrom || !parent || !GTK_IS_FIXED(parent)) return;
    const POINT at = *m_parkedFrom;
    m_parkedFrom.reset();
    gtk_fixed_move(GTK_FIXED(parent), widget, at.x, at.y);
}

bool CWnd::ShowWindow(int nCmdShow) {
    GtkWidget* widget = Widget(m_hWnd);
    if (!widget) return false;
    const bool wasVisible = IsWindowVisible();
    if (nCmdShow == SW_HIDE) {
        m_dwStyle &= ~WS_VISIBLE;
        if (!m_browserHost || !Park()) gtk_widget_hide(widget);
        return wasVisible;
    }
    m_dwStyle |= WS_VISIBLE;
    if (m_parkedFrom) Unpark();
    if (GTK_IS_WINDOW(widget) && nCmdShow == SW_MINIMIZE) {
        gtk_widget_show(widget);
        gtk_window_iconify(GTK_WINDOW(widget));
        return wasVisible;
    }
    if (GTK_IS_WINDOW(widget) && (nCmdShow == SW_RESTORE || nCmdShow == SW_SHOWNORMAL)) {
        gtk_window_deiconify(GTK_WINDOW(widget));
    }
    gtk_widget_show(widget);
    return wasVisible;
}

bool CWnd::IsWindowVisible() const {
    GtkWidget* widget = Widget(m_hWnd);
    return widget && gtk_widget_get_visible(widget) && !m_parkedFrom;
}

bool CWnd::IsIconic() const {
    return m_native && m_native->iconic;
}

void CWnd::MoveWindow(int x, int y, int width, int height, bool repaint) {
    SetWindowPos(nullptr, x, y, width, height, SWP_NOZORDER);
    if (repaint) Invalidate();
}

bool CWnd::SetWindowPos(const CWnd* insertAfter, int x, int y, int cx, int cy, unsigned flags) {
    GtkWidget* widget = Widget(m_hWnd);
    if (!widget) return false;
    if (GTK_IS_WINDOW(widget)) {
        if (!(flags & SWP_NOSIZE)) {
            gtk_widget_set_size_request(widget, cx, cy);
            gtk_window_resize(GTK_WINDOW(widget), cx, cy);
        }
        if (!(flags & SWP_NOMOVE)) gtk_window_move(GTK_WINDOW(widget), x, y);
        if (!(flags & SWP_NOZORDER) && !insertAfter && gtk_widget_get_realized(widget)) {
            gdk_window_raise(gtk_widget_get_window(widget));
        }
        return true;
    }
    GtkWidget* parent = gtk_widget_get_parent(widget);
    if (!parent || !GTK_IS_FIXED(parent)) return false;
    if (!(flags & SWP_NOSIZE)) gtk_widget_set_size_request(widget, cx, cy);
    if (!(flags & SWP_NOMOVE) && m_parkedFrom) {
        m_parkedFrom = POINT{x, y};  // where it goes when shown
        flags |= SWP_NOMOVE;
    }
    if (!(flags & SWP_NOMOVE)) gtk_fixed_move(GTK_FIXED(parent), widget, x, y);
    if (!(flags & SWP_NOZORDER) && !insertAfter) {
        // Raise among the siblings: a fixed container draws its children in order.
        int px = x, py = y;
        if (flags & SWP_NOMOVE) {
            GValue value = G_VALUE_INIT;
            g_value_init(&value, G_TYPE_INT);
            gtk_container_child_get_property(GTK_CONTAINER(parent), widget, "x", &value);
            px = g_value_get_int(&value);
            gtk_container_child_get_property(GTK_CONTAINER(parent), widget, "y", &value);
            py = g_value_get_int(&value);
            g_value_unset(&value);
        }
        g_object_ref(widget);
        gtk_container_remove(GTK_CONTAINER(parent), widget);
        gtk_fixed_put(GTK_FIXED(parent), widget, px, py);
        g_object_unref(widget);
        if (gtk_widget_get_realized(widget) && gtk_widget_get_has_window(widget)) {
            gdk_window_raise(gtk_widget_get_window(widget));
        }
    }
    return true;
}

void CWnd::CenterWindow(CWnd* alternateOwner) {
    GtkWidget* widget = Widget(m_hWnd);
    if (!widget || !GTK_IS_WINDOW(widget)) return;
    const RECT mine = GetWindowRect();
    RECT area;
    CWnd* center = alternateOwner ? alternateOwner : m_pOwner;
    if (center && center->m_hWnd) {
        area = center->GetWindowRect();
    } else {
        GdkDisplay* display = gtk_widget_get_display(widget);
        GdkMonitor* monitor = gdk_display_get_primary_monitor(display);
        if (!monitor) monitor = gdk_display_get_monitor(display, 0);
        GdkRectangle geometry{0, 0, 0, 0};
        if (monitor) gdk_monitor_get_geometry(monitor, &geometry);
        area = {geometry.x, geometry.y, geometry.x + geometry.width, geometry.y + geometry.height};
    }
    const int x = area.left + (area.Width() - mine.Width()) / 2;
    const int y = area.top + (area.Height() - mine.Height()) / 2;
    SetWindowPos(nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

RECT CWnd::GetWindowRect() const {
    GtkWidget* widget = Widget(m_hWnd);
    RECT rect;
    if (!widget) return rect;
    if (GTK_IS_WINDOW(widget)) {
        int x = 0, y = 0, w = 0, h = 0;
        gtk_window_get_position(GTK_WINDOW(widget), &x, &y);
        gtk_widget_get_size_request(widget, &w, &h);
        if (w <= 0 || h <= 0) gtk_window_get_size(GTK_WINDOW(widget), &w, &h);
        return {x, y, x + w, y + h};
    }
    int w = 0, h = 0;
    gtk_widget_get_size_request(widget, &w, &h);
    int x = 0, y = 0;
    GtkWidget* toplevel = gtk_widget_get_toplevel(widget);
    if (CWnd* top = FromHandle(Handle(toplevel))) {
        const RECT outer = top->GetWindowRect();
        if (m_parkedFrom && m_pParent) {  // where it belongs, not where it waits
            const RECT parent = m_pParent->GetWindowRect();
            return {parent.left + m_parkedFrom->x, parent.top + m_parkedFrom->y,
                    parent.left + m_parkedFrom->x + w, parent.top + m_parkedFrom->y + h};
        }
        gtk_widget_translate_coordinates(widget, toplevel, 0, 0, &x, &y);
        x += outer.left;
        y += outer.top;
    }
    return {x, y, x + w, y + h};
}

RECT CWnd::GetClientRect() const {
    const RECT window = GetWindowRect();
    return {0, 0, window.Width(), window.Height()};
}

bool CWnd::ModifyStyle(uint32_t remove, uint32_t add, unsigned) {
    const uint32_t before = m_dwStyle;
    m_dwStyle = (m_dwStyle & ~remove) | add;
    if (GtkWidget* widget = Widget(m_hWnd); widget && GTK_IS_WINDOW(widget)) {
        gtk_window_set_decorated(GTK_WINDOW(widget), (m_dwStyle & WS_CAPTION) == WS_CAPTION);
    }
    return before != m_dwStyle;
}

bool CWnd::ModifyStyleEx(uint32_t remove, uint32_t add, unsigned) {
    const uint32_t before = m_dwExStyle;
    m_dwExStyle = (m_dwExStyle & ~remove) | add;
    if (m_native && (before ^ m_dwExStyle) & WS_EX_LAYERED) {
        m_native->ApplyShape();
        Invalidate();
    }
    return before != m_dwExStyle;
}

void CWnd::SetWindowText(const std::u16string& text) {
    m_text = text;
    if (GtkWidget* widget = Widget(m_hWnd); widget && GTK_IS_WINDOW(widget)) {
        gtk_window_set_title(GTK_WINDOW(widget), WideToUtf8(text).c_str());
    }
    Invalidate();
}

void CWnd::SetIcon(HICON icon, bool) {
    GtkWidget* widget = Widget(m_hWnd);
    if (!m_native || !widget || !icon || !icon->Ok()) return;
    m_native->icon = icon;
    GdkPixbuf* pixbuf =
        gdk_pixbuf_get_from_surface(icon->Surface(), 0, 0, icon->GetWidth(), icon->GetHeight());
    if (pixbuf) {
        gtk_window_set_icon(GTK_WINDOW(widget), pixbuf);
        g_object_unref(pixbuf);
    }
}

void CWnd::Invalidate() {
    if (GtkWidget* widget = Widget(m_hWnd)) gtk_widget_queue_draw(widget);
}

IUnknown* CWnd::GetControlUnknown() const {
    return m_browserHost ? m_browserHost->ControlUnknown() : nullptr;
}

void* CWnd::ChildContainer() const {
    GtkWidget* widget = Widget(m_hWnd);
    return widget ? g_object_get_data(G_OBJECT(widget), kChildrenKey) : nullptr;
}

unsigned CWnd::OnNcHitTest(POINT point) {
    const RECT rect = GetWindowRect();
    const bool inside = point.x >= rect.left && point.x < rect.right && point.y >= rect.top &&
                        point.y < rect.bottom;
    return inside ? HTCLIENT : HTNOWHERE;
}

void CWnd::OnMove(int, int) {}
void CWnd::OnShowWindow(bool, unsigned) {}
void CWnd::OnClose() {
    DestroyWindow();
}
void CWnd::OnPaint(CDC&) {}
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, unsigned) {
    return nullptr;
}
bool CWnd::OnCommand(unsigned) {
    return false;
}

// --- free window functions ---

namespace {
CWnd* g_mainWindow = nullptr;
}

void AfxSetMainWnd(CWnd* window) {
    g_mainWindow = window;
}
CWnd* AfxGetMainWnd() {
    return g_mainWindow;
}

bool IsWindow(HWND hwnd) {
    return CWnd::FromHandle(hwnd) != nullptr;
}

uint32_t GetWindowLongW(HWND hwnd, int index) {
    CWnd* wnd = CWnd::FromHandle(hwnd);
    if (!wnd) return 0;
    return index == GWL_EXSTYLE ? wnd->GetExStyle() : index == GWL_STYLE ? wnd->GetStyle() : 0;
}

uint32_t SetWindowLongW(HWND hwnd, int index, uint32_t value) {
    CWnd* wnd = CWnd::FromHandle(hwnd);
    if (!wnd) return 0;
    const uint32_t previous = GetWindowLongW(hwnd, index);
    if (index == GWL_EXSTYLE) wnd->ModifyStyleEx(~0u, value);
    if (index == GWL_STYLE) wnd->ModifyStyle(~0u, value);
    return previous;
}

bool DisplaySupportsLayeredWindows() {
    return gdk_display_get_default() != nullptr;
}

bool UpdateLayeredWindow(HWND hwnd, const Image& image, POINT position) {
    CWnd* wnd = CWnd::FromHandle(hwnd);
    if (!wnd || !wnd->m_native || !image.Ok() || !(wnd->m_dwExStyle & WS_EX_LAYERED)) return false;
    NativeWindow& n = *wnd->m_native;
    if (n.layeredImage) cairo_surface_destroy(n.layeredImage);
    if (n.layeredOpaque) cairo_surface_destroy(n.layeredOpaque);
    n.layeredImage = cairo_surface_reference(image.Surface());
    n.layeredOpaque = OpaqueCopy(image.Surface());
    n.layeredShown = true;
    wnd->SetWindowPos(nullptr, position.x, position.y, image.GetWidth(), image.GetHeight(),
                      SWP_NOZORDER);
    if (n.shape) cairo_region_destroy(n.shape);
    n.shape = nullptr;
    n.ApplyShape();
    wnd->Invalidate();
    return true;
}

bool SetLayeredWindowAttributes(HWND hwnd, COLORREF key, uint8_t, unsigned flags) {
    CWnd* wnd = CWnd::FromHandle(hwnd);
    if (!wnd || !wnd->m_native || !(wnd->m_dwExStyle & WS_EX_LAYERED)) return false;
    NativeWindow& n = *wnd->m_native;
    n.colorKeyed = flags & LWA_COLORKEY;
    n.colorKey = key;
    n.layeredShown = true;
    n.ApplyShape();
    n.ScheduleShape();
    wnd->Invalidate();
    return true;
}

}  // namespace platform
