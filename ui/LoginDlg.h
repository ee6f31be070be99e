#pragma once
// The backdrop: the program's main window, the game art as a per-pixel-alpha layered window.
// It carries the login panel over itself; the two drag and minimise together. GUI thread.

#include <memory>

#include "platform/Dialog.h"
#include "ui/GdiPlusPng.h"

class CLoginActiveDlg;

class CLoginDlg : public platform::CDialogEx {
public:
    static constexpr unsigned kTemplateId = 102;
    static constexpr unsigned kIconId = 128;
    static constexpr unsigned kArtId = 155;

    CLoginDlg();
    ~CLoginDlg() override;

    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    void OnPaint(platform::CDC& dc) override;
    unsigned OnNcHitTest(platform::POINT point) override;
    void OnMove(int x, int y) override;
    void OnShowWindow(bool bShow, unsigned nStatus) override;
    void OnClose() override;

    platform::HICON m_hIcon = nullptr;
    bool m_bDragFlag = false;  // true while the backdrop leads moves of the pair
    CLoginActiveDlg* m_pLoginActiveDlg = nullptr;  // deleted by the application after the run
    CLayeredPng m_layered;

private:
    std::unique_ptr<platform::Image> m_icon;
};
