#pragma once
// The program's only button: an owner-drawn push button whose whole look is a four-frame PNG
// strip (normal, hover, pressed, and a greyed frame never shown), with the hand cursor and no
// background of its own. GUI thread.

#include "platform/Button.h"
#include "platform/Image.h"

class CPngButton : public platform::CButton {
public:
    CPngButton() = default;
    ~CPngButton() override;

    // Loads resource ("PNG", id) as the strip and sizes the button to one frame, raised above
    // its siblings; the position stays.
    void SetPngStrip(unsigned id);

    void PreSubclassWindow() override;
    void DrawItem(platform::DRAWITEMSTRUCT* pDrawItem) override;
    void OnMouseMove(platform::POINT point) override;
    void OnMouseHover(platform::POINT point) override;
    void OnMouseLeave() override;

    platform::Image* m_pImage = nullptr;  // the strip; owned
    bool m_bTracking = false;
    bool m_bHover = false;
    int m_nImageWidth = 0;
    int m_nImageHeight = 0;
    int m_nFrameHeight = 0;
};
