#include "platform/Button.h"

#include <gtk/gtk.h>

#include "platform/Dialog.h"
#include "platform/TextCodec.h"

namespace platform {

struct ButtonSignals {
    static CButton* Of(GtkWidget* widget) {
        return dynamic_cast<CButton*>(CWnd::FromHandle(reinterpret_cast<HWND>(widget)));
    }
    static gboolean Draw(GtkWidget* widget, cairo_t* cr, gpointer) {
        CButton* button = Of(widget);
        if (!button) return FALSE;
        CDC dc(cr);
        DRAWITEMSTRUCT item;
        item.itemState = button->m_pressed && button->m_inside ? ODS_SELECTED : 0;
        item.rcItem = button->GetClientRect();
        item.pDC = &dc;
        try {
            if ((button->GetStyle() & 0xF) == BS_OWNERDRAW) {
                button->DrawItem(&item);
            } else {
                DrawPlain(widget, cr, *button, item.itemState & ODS_SELECTED);
            }
        } catch (...) {
        }
        return TRUE;
    }
    static void DrawPlain(GtkWidget* widget, cairo_t* cr, CButton& button, bool pressed) {
        GtkStyleContext* style = gtk_widget_get_style_context(widget);
        gtk_style_context_save(style);
        gtk_style_context_add_class(style, "button");
        if (pressed) gtk_style_context_set_state(style, GTK_STATE_FLAG_ACTIVE);
        const int w = gtk_widget_get_allocated_width(widget),
                  h = gtk_widget_get_allocated_height(widget);
        gtk_render_background(style, cr, 0, 0, w, h);
        gtk_render_frame(style, cr, 0, 0, w, h);
        PangoLayout* layout =
            gtk_widget_create_pango_layout(widget, WideToUtf8(button.GetWindowText()).c_str());
        int tw, th;
        pango_layout_get_pixel_size(layout, &tw, &th);
        gtk_render_layout(style, cr, (w - tw) / 2.0, (h - th) / 2.0, layout);
        g_object_unref(layout);
        gtk_style_context_restore(style);
    }
    static bool Inside(GtkWidget* widget, double x, double y) {
        return x >= 0 && y >= 0 && x < gtk_widget_get_allocated_width(widget) &&
               y < gtk_widget_get_allocated_height(widget);
    }
    static gboolean Press(GtkWidget* widget, GdkEventButton* event, gpointer) {
        CButton* button = Of(widget);
        if (!button || event->button != 1) return FALSE;
        // A double click arrives as press, double press, release: each press is a click.
        if (event->type != GDK_BUTTON_PRESS && event->type != GDK_2BUTTON_PRESS) return TRUE;
        if (event->time == button->m_lastPressTime && event->type == GDK_BUTTON_PRESS) return TRUE;
        button->m_lastPressTime = event->time;
        button->m_pressed = true;
        button->m_inside = true;
        gtk_widget_queue_draw(widget);
        return TRUE;
    }
    static gboolean Release(GtkWidget* widget, GdkEventButton* event, gpointer) {
        CButton* button = Of(widget);
        if (!button || event->button != 1 || !button->m_pressed) return FALSE;
        button->m_pressed = false;
        gtk_widget_queue_draw(widget);
        if (!Inside(widget, event->x, event->y)) return TRUE;
        if (CWnd* parent = button->GetParent()) {
            try {
                parent->OnCommand(button->GetDlgCtrlID());
            } catch (...) {
            }
        }
        return TRUE;
    }
    static gboolean Motion(GtkWidget* widget, GdkEventMotion* event, gpointer) {
        CButton* button = Of(widget);
        if (!button) return FALSE;
        const bool inside = Inside(widget, event->x, event->y);
        if (inside != button->m_inside) {
            button->m_inside = inside;
            gtk_widget_queue_draw(widget);
        }
        try {
            if (inside)
                button->OnMouseMove({static_cast<int>(event->x), static_cast<int>(event->y)});
        } catch (...) {
        }
        return TRUE;
    }
    static gboolean Enter(GtkWidget* widget, GdkEventCrossing*, gpointer) {
        CButton* button = Of(widget);
        if (button && button->m_cursorName) {
            GdkCursor* cursor =
                gdk_cursor_new_from_name(gtk_widget_get_display(widget), button->m_cursorName);
            gdk_window_set_cursor(gtk_widget_get_window(widget), cursor);
            if (cursor) g_object_unref(cursor);
        }
        return FALSE;
    }
    static gboolean Leave(GtkWidget* widget, GdkEventCrossing* event, gpointer) {
        CButton* button = Of(widget);
        if (!button || event->mode != GDK_CROSSING_NORMAL) return FALSE;
        if (!button->m_pressed) button->m_inside = false;
        gtk_widget_queue_draw(widget);
        if (!button->m_tracking) return FALSE;
        button->StopTracking();
        try {
            button->OnMouseLeave();
        } catch (...) {
        }
        return FALSE;
    }
};

bool CButton::CreateFromTemplateItem(const DialogItem& item, CWnd* parent) {
    if (m_hWnd || !parent) return false;
    m_dwStyle = item.style;
    PreSubclassWindow();
    GtkWidget* area = gtk_drawing_area_new();
    gtk_widget_add_events(area, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK |
                                    GDK_POINTER_MOTION_MASK | GDK_ENTER_NOTIFY_MASK |
                                    GDK_LEAVE_NOTIFY_MASK);
    g_signal_connect(area, "draw", G_CALLBACK(ButtonSignals::Draw), nullptr);
    g_signal_connect(area, "button-press-event", G_CALLBACK(ButtonSignals::Press), nullptr);
    g_signal_connect(area, "button-release-event", G_CALLBACK(ButtonSignals::Release), nullptr);
    g_signal_connect(area, "motion-notify-event", G_CALLBACK(ButtonSignals::Motion), nullptr);
    g_signal_connect(area, "enter-notify-event", G_CALLBACK(ButtonSignals::Enter), nullptr);
    g_signal_connect(area, "leave-notify-event", G_CALLBACK(ButtonSignals::Leave), nullptr);
    m_text = item.text;
    const uint32_t style = m_dwStyle;
    AttachChild(area, parent, item.rect, item.id, style, item.exStyle);
    return true;
}

bool CButton::Create(const std::u16string& text, uint32_t style, const RECT& rect, CWnd* parent,
                     unsigned id) {
    DialogItem item;
    item.id = id;
    item.windowClass = "button";
    item.text = text;
    item.style = style;
    item.rect = rect;
    return CreateFromTemplateItem(item, parent);
}

CButton::~CButton() {
    StopTracking();
}

bool CButton::TrackMouseEvent(unsigned hoverMs) {
    if (!m_hWnd) return false;
    m_tracking = true;
    m_hoverMs = hoverMs;
    RestartHoverTimer();
    return true;
}

void CButton::RestartHoverTimer() {
    if (m_hoverTimer) g_source_remove(m_hoverTimer);
    m_hoverTimer = g_timeout_add(
        m_hoverMs,
        [](gpointer data) -> gboolean {
            auto* button = static_cast<CButton*>(data);
            button->m_hoverTimer = 0;
            try {
                if (button->m_inside) button->OnMouseHover(button->m_lastPoint);
            } catch (...) {
            }
            return G_SOURCE_REMOVE;
        },
        this);
}

void CButton::StopTracking() {
    if (m_hoverTimer) g_source_remove(m_hoverTimer);
    m_hoverTimer = 0;
    m_tracking = false;
}

void CButton::DrawItem(DRAWITEMSTRUCT*) {}
void CButton::OnMouseMove(POINT) {}
void CButton::OnMouseHover(POINT) {}
void CButton::OnMouseLeave() {}

}  // namespace platform
