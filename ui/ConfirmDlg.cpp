#include "ui/ConfirmDlg.h"

#include "platform/Resource.h"

using namespace platform;

namespace {

constexpr unsigned kBackgroundId = 177, kOkStrip = 175, kCancelStrip = 176;
constexpr int kWidth = 256, kHeight = 110;
constexpr COLORREF kWhite = 0xFFFFFF;

struct Wording {
    const char16_t* title;
    const char16_t* question;
};
constexpr Wording kWordings[] = {
    {u"关闭游戏", u"确定要退出游戏吗?"},
};

std::unique_ptr<Image> LoadBitmap(unsigned id) {
    const std::unique_ptr<ResourceData> data = FindResource("BITMAP", id);
    return data ? Image::FromBytes(data->Bytes()) : nullptr;
}

}  // namespace

CConfirmDlg::CConfirmDlg() : CDialogEx(kTemplateId) {}

CConfirmDlg::~CConfirmDlg() = default;

void CConfirmDlg::DoDataExchange(CDataExchange* pDX) {
    CDialogEx::DoDataExchange(pDX);
    DDX_Control(pDX, kOkId, m_btnOk);
    DDX_Control(pDX, kCancelId, m_btnCancel);
    DDX_Control(pDX, kTitleId, m_stTitle);
    DDX_Control(pDX, kMessageId, m_stMessage);
}

bool CConfirmDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    m_bmpBack = LoadBitmap(kBackgroundId);
    m_btnOk.SetPngStrip(kOkStrip);
    m_btnCancel.SetPngStrip(kCancelStrip);  // loaded last, so it lies above OK
    MoveWindow(0, 0, kWidth, kHeight);
    CenterWindow();
    // Each button's window runs on past its image: an unpainted, clickable part of it.
    m_btnOk.MoveWindow(40, 72, 256, 26);
    m_btnCancel.MoveWindow(140, 72, 256, 26);
    m_titleFont.CreatePointFont(120, u"Arial");
    m_stTitle.SetFont(&m_titleFont, true);
    const int mode = m_nMode >= 0 && m_nMode < int(std::size(kWordings)) ? m_nMode : 0;
    m_stTitle.SetWindowText(kWordings[mode].title);
    m_stMessage.SetWindowText(kWordings[mode].question);
    m_stTitle.MoveWindow(79, 10, 100, 30);
    m_stMessage.MoveWindow(28, 34, 200, 66);
    return true;
}

bool CConfirmDlg::OnCommand(unsigned id) {
    if (id == kOkId) {
        OnOK();
        return true;
    }
    if (id == kCancelId) {
        OnCancel();
        return true;
    }
    return CDialogEx::OnCommand(id);
}

void CConfirmDlg::OnPaint(CDC& dc) {
    if (IsIconic() || !m_bmpBack) return;
    dc.DrawImage(*m_bmpBack, 0, 0, RECT{0, 0, m_bmpBack->GetWidth(), m_bmpBack->GetHeight()});
}

HBRUSH CConfirmDlg::OnCtlColor(CDC* pDC, CWnd* pWnd, unsigned nCtlColor) {
    HBRUSH result = CDialogEx::OnCtlColor(pDC, pWnd, nCtlColor);
    if (!pWnd || (pWnd->GetDlgCtrlID() != kTitleId && pWnd->GetDlgCtrlID() != kMessageId))
        return result;
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(kWhite);
    return GetHollowBrush();  // the text goes straight over the painted background
}
