#include "ui/LoginDlg.h"

#include "app/LoginApp.h"
#include "login/ScriptBridge.h"
#include "ui/LoginActiveDlg.h"

using namespace platform;

namespace {

constexpr char16_t kCaption[] = u"Qarvelle";
constexpr unsigned kPanelTemplateId = 132;

std::unique_ptr<Image> LoadIcon(unsigned id) {
    const std::unique_ptr<ResourceData> data = FindResource("GROUP_ICON", id);
    if (!data) return nullptr;
    return Image::FromBytes(data->Bytes());
}

}  // namespace

CLoginDlg::CLoginDlg() : CDialogEx(kTemplateId), m_icon(LoadIcon(kIconId)) {
    m_hIcon = m_icon.get();
}

CLoginDlg::~CLoginDlg() = default;

bool CLoginDlg::OnInitDialog() {
    CDialogEx::OnInitDialog();
    SetWindowText(kCaption);
    m_layered.m_hWnd = m_hWnd;
    SetIcon(m_hIcon, true);
    SetIcon(m_hIcon, false);

    m_pLoginActiveDlg = new CLoginActiveDlg(this);
    m_pLoginActiveDlg->Create(kPanelTemplateId, this);
    m_pLoginActiveDlg->ShowWindow(SW_SHOWNORMAL);
    if (theApp.m_pScriptBridge) theApp.m_pScriptBridge->m_pOwner = m_pLoginActiveDlg;

    ModifyStyle(WS_CAPTION, 0);
    if (!m_layered.m_image.Load(kArtId)) return true;
    MoveWindow(0, 0, m_layered.m_image.GetWidth(), m_layered.m_image.GetHeight());
    CenterWindow();
    m_pLoginActiveDlg->MoveWindow(GetWindowRect());
    m_layered.UpdateLayered();
    return true;
}

void CLoginDlg::OnPaint(CDC& dc) {
    if (!IsIconic()) return;  // the layered content is all the window shows
    const RECT client = GetClientRect();
    const int x = (client.Width() - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.Height() - GetSystemMetrics(SM_CYICON) + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

unsigned CLoginDlg::OnNcHitTest(POINT point) {
    m_bDragFlag = true;
    const unsigned hit = CDialogEx::OnNcHitTest(point);
    return hit == HTCLIENT ? HTCAPTION : hit;
}

void CLoginDlg::OnMove(int, int) {
    if (!IsWindow(m_hWnd) || !m_bDragFlag || !m_pLoginActiveDlg) return;
    const RECT mine = GetWindowRect();
    const RECT panel = m_pLoginActiveDlg->GetWindowRect();
    m_pLoginActiveDlg->MoveWindow(mine.left, mine.top, panel.Width(), panel.Height(), true);
}

void CLoginDlg::OnShowWindow(bool bShow, unsigned nStatus) {
    CDialogEx::OnShowWindow(bShow, nStatus);
    if (m_pLoginActiveDlg) m_pLoginActiveDlg->ShowWindow(bShow ? SW_SHOWNORMAL : SW_HIDE);
}

void CLoginDlg::OnClose() {
    EndDialog(1);
}
