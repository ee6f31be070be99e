#include "ui/PngButton.h"

#include "ui/GdiPlusPng.h"

using namespace platform;

namespace {

constexpr unsigned kHoverMilliseconds = 1;
constexpr int kFrames = 4;
constexpr int kPressedFrame = 2, kHoverFrame = 1, kNormalFrame = 0;
constexpr char kHandCursor[] = "pointer";

}  // namespace

CPngButton::~CPngButton() {
    delete m_pImage;
}

void CPngButton::PreSubclassWindow() {
    ModifyStyle(0, BS_OWNERDRAW);
    SetCursorName(kHandCursor);
    CButton::PreSubclassWindow();
}

void CPngButton::SetPngStrip(unsigned id) {
    delete m_pImage;
    m_pImage = LoadPngFromResource(id);
    m_nImageWidth = m_pImage ? m_pImage->GetWidth() : 0;
    m_nImageHeight = m_pImage ? m_pImage->GetHeight() : 0;
    m_nFrameHeight = m_nImageHeight / kFrames;
    SetWindowPos(nullptr, 0, 0, m_nImageWidth, m_nFrameHeight, SWP_NOMOVE);
}

void CPngButton::DrawItem(DRAWITEMSTRUCT* pDrawItem) {
    if (!m_pImage || !pDrawItem || !pDrawItem->pDC) return;
    const int frame = (pDrawItem->itemState & ODS_SELECTED) ? kPressedFrame
                      : m_bHover                            ? kHoverFrame
                                                            : kNormalFrame;
    const RECT source{0, frame * m_nFrameHeight, m_nImageWidth, (frame + 1) * m_nFrameHeight};
    pDrawItem->pDC->DrawImage(*m_pImage, 0, 0, source);
}

void CPngButton::OnMouseMove(POINT point) {
    if (!m_bTracking) m_bTracking = TrackMouseEvent(kHoverMilliseconds);
    CButton::OnMouseMove(point);
}

void CPngButton::OnMouseHover(POINT) {
    m_bHover = true;
    Invalidate();
}

void CPngButton::OnMouseLeave() {
    m_bTracking = false;
    m_bHover = false;
    Invalidate();
}
