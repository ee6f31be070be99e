#pragma once
// Static text controls and fonts. A static draws its text in its font (or the dialog's), in
// the text colour and background its parent's OnCtlColor sets; a hollow brush, or none, leaves
// what lies beneath. GUI thread only.

#include <string>

#include "platform/Window.h"

namespace platform {

constexpr uint32_t SS_CENTER = 0x00000001;

class CFont {
public:
    // A font of `tenthsOfPoint` in `face`, sized as on a 96-dpi screen.
    bool CreatePointFont(int tenthsOfPoint, const std::u16string& face);
    bool IsCreated() const { return m_points > 0; }
    std::u16string m_face;
    double m_points = 0;
};

// The brush that paints nothing: a control given it shows what lies beneath.
HBRUSH GetHollowBrush();

class CStatic : public CWnd {
public:
    bool CreateFromTemplateItem(const DialogItem& item, CWnd* parent) override;
    void SetFont(const CFont* font, bool redraw = true);
    const CFont* GetFont() const { return m_font; }

private:
    friend struct StaticSignals;
    const CFont* m_font = nullptr;
};

}  // namespace platform
