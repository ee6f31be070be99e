#pragma once
// Push buttons: a click (press and release over the button) reaches the parent window as
// OnCommand with the button's id. An owner-drawn button (BS_OWNERDRAW) paints itself in
// DrawItem; others look like the desktop's buttons. GUI thread only.

#include "platform/Window.h"

namespace platform {

constexpr uint32_t BS_OWNERDRAW = 0x0000000B;
constexpr unsigned ODS_SELECTED = 0x0001;

struct DRAWITEMSTRUCT {
    unsigned itemState = 0;  // ODS_SELECTED while pressed
    RECT rcItem;
    CDC* pDC = nullptr;
};

class CButton : public CWnd {
public:
    bool CreateFromTemplateItem(const DialogItem& item, CWnd* parent) override;
    // A button made in code, as a template item with these values would make it.
    bool Create(const std::u16string& text, uint32_t style, const RECT& rect, CWnd* parent,
                unsigned id);

    // Called before the button's window exists, with its style; may change the style.
    virtual void PreSubclassWindow() {}
    // Paints an owner-drawn button.
    virtual void DrawItem(DRAWITEMSTRUCT* pDrawItem);
    // The pointer over the button: it moved, it rested for the tracked hover time, or it left.
    virtual void OnMouseMove(POINT point);
    virtual void OnMouseHover(POINT point);
    virtual void OnMouseLeave();

    // Asks for one OnMouseHover once the pointer has rested over the button for `hoverMs`, and
    // for OnMouseLeave when it leaves. Returns whether tracking is on.
    bool TrackMouseEvent(unsigned hoverMs);

    bool IsPressed() const { return m_pressed; }
    bool IsPointerInside() const { return m_inside; }
    // The cursor shown over the button (a GDK cursor name, "pointer" for the hand).
    void SetCursorName(const char* name) { m_cursorName = name; }

private:
    friend struct ButtonSignals;
    bool m_pressed = false;
    bool m_inside = false;
    uint32_t m_lastPressTime = 0;
    bool m_tracking = false;
    unsigned m_hoverMs = 0;
    unsigned m_hoverTimer = 0;
    POINT m_lastPoint;

    void RestartHoverTimer();
    void StopTracking();

public:
    ~CButton() override;
    const char* m_cursorName = nullptr;
};

}  // namespace platform
