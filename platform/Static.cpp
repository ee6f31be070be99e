#include "platform/Static.h"

#include <gtk/gtk.h>

#include "platform/Dialog.h"
#include "platform/TextCodec.h"

namespace platform {
namespace {

constexpr double kScreenDpi = 96.0;
constexpr char16_t kDefaultFace[] = u"Sans";
constexpr double kDefaultPoints = 9;

// A layout of `text` in the face and size, `width` wide, aligned and wrapped per `format`.
PangoLayout* CreateLayout(cairo_t* cr, const std::u16string& text, const std::u16string& face,
                          double points, int width, unsigned format) {
    PangoLayout* layout = pango_cairo_create_layout(cr);
    PangoFontDescription* font = pango_font_description_new();
    pango_font_description_set_family(font, WideToUtf8(face).c_str());
    pango_font_description_set_absolute_size(font, points * kScreenDpi / 72.0 * PANGO_SCALE);
    pango_layout_set_font_description(layout, font);
    pango_font_description_free(font);
    pango_layout_set_text(layout, WideToUtf8(text).c_str(), -1);
    pango_layout_set_width(layout, width * PANGO_SCALE);
    if (format & DT_WORDBREAK) {
        pango_layout_set_wrap(layout, PANGO_WRAP_WORD_CHAR);
    } else {
        pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    }
    pango_layout_set_alignment(layout,
                               (format & DT_CENTER) ? PANGO_ALIGN_CENTER : PANGO_ALIGN_LEFT);
    return layout;
}

void SetSourceColor(cairo_t* cr, COLORREF c) {
    cairo_set_source_rgb(cr, (c & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                         ((c >> 16) & 0xFF) / 255.0);
}

}  // namespace

bool CFont::CreatePointFont(int tenthsOfPoint, const std::u16string& face) {
    if (tenthsOfPoint <= 0) return false;
    m_points = tenthsOfPoint / 10.0;
    m_face = face;
    return true;
}

HBRUSH GetHollowBrush() {
    static CBrush hollow;  // never created: it paints nothing
    return &hollow;
}

const CFont* CDC::SelectObject(const CFont* font) {
    const CFont* previous = m_font;
    m_font = font;
    return previous;
}

int CDC::DrawText(const std::u16string& text, const RECT& rect, unsigned format) {
    if (rect.Width() <= 0 || rect.Height() <= 0) return 0;
    auto* cr = static_cast<cairo_t*>(m_cr);
    const bool hasFont = m_font && m_font->IsCreated();
    PangoLayout* layout =
        CreateLayout(cr, text, hasFont ? m_font->m_face : kDefaultFace,
                     hasFont ? m_font->m_points : kDefaultPoints, rect.Width(), format);
    int width = 0, height = 0;
    pango_layout_get_pixel_size(layout, &width, &height);
    double top = rect.top;
    if ((format & DT_SINGLELINE) && (format & DT_VCENTER)) {
        top += (rect.Height() - height) / 2.0;
    }
    cairo_save(cr);
    cairo_rectangle(cr, rect.left, rect.top, rect.Width(), rect.Height());
    cairo_clip(cr);
    SetSourceColor(cr, m_textColor);
    cairo_move_to(cr, rect.left, top);
    pango_cairo_show_layout(cr, layout);
    cairo_restore(cr);
    g_object_unref(layout);
    return height;
}

struct StaticSignals {
    static gboolean Draw(GtkWidget* widget, cairo_t* cr, gpointer) {
        auto* control = dynamic_cast<CStatic*>(CWnd::FromHandle(reinterpret_cast<HWND>(widget)));
        if (!control) return FALSE;
        try {
            Paint(widget, cr, *control);
        } catch (...) {
        }
        return TRUE;
    }
    static void Paint(GtkWidget* widget, cairo_t* cr, CStatic& control) {
        CDC dc(cr);
        dc.m_textColor = 0;
        dc.m_bkMode = OPAQUE;
        CWnd* parent = control.GetParent();
        HBRUSH brush = parent ? parent->OnCtlColor(&dc, &control, CTLCOLOR_STATIC) : nullptr;
        const int w = gtk_widget_get_allocated_width(widget),
                  h = gtk_widget_get_allocated_height(widget);
        if (brush && brush->IsCreated()) dc.FillSolidRect(RECT{0, 0, w, h}, brush->m_color);

        // The control's font, or the dialog's.
        std::u16string face = kDefaultFace;
        double points = kDefaultPoints;
        if (control.m_font && control.m_font->IsCreated()) {
            face = control.m_font->m_face;
            points = control.m_font->m_points;
        } else if (auto* dialog = dynamic_cast<CDialog*>(parent); dialog && dialog->Template()) {
            face = dialog->Template()->fontName;
            points = dialog->Template()->fontPoints;
        }
        const unsigned format =
            DT_WORDBREAK | ((control.GetStyle() & SS_CENTER) ? DT_CENTER : DT_LEFT);
        PangoLayout* layout = CreateLayout(cr, control.GetWindowText(), face, points, w, format);
        SetSourceColor(cr, dc.m_textColor);
        cairo_move_to(cr, 0, 0);
        pango_cairo_show_layout(cr, layout);
        g_object_unref(layout);
    }
};

bool CStatic::CreateFromTemplateItem(const DialogItem& item, CWnd* parent) {
    if (m_hWnd || !parent) return false;
    GtkWidget* area = gtk_drawing_area_new();
    g_signal_connect(area, "draw", G_CALLBACK(StaticSignals::Draw), nullptr);
    m_text = item.text;
    AttachChild(area, parent, item.rect, item.id, item.style, item.exStyle);
    return true;
}

void CStatic::SetFont(const CFont* font, bool redraw) {
    m_font = font;
    if (redraw) Invalidate();
}

}  // namespace platform
