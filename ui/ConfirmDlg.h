#pragma once
// The small modal box that asks the player to confirm leaving the game: a painted background,
// a title and a question in white, OK and Cancel image buttons. GUI thread.

#include <memory>

#include "platform/Dialog.h"
#include "platform/Image.h"
#include "platform/Static.h"
#include "ui/PngButton.h"

class CConfirmDlg : public platform::CDialogEx {
public:
    static constexpr unsigned kTemplateId = 172;
    static constexpr unsigned kTitleId = 1002, kMessageId = 1003, kOkId = 1008, kCancelId = 1009;

    CConfirmDlg();
    ~CConfirmDlg() override;

    void DoDataExchange(platform::CDataExchange* pDX) override;
    bool OnInitDialog() override;
    bool OnCommand(unsigned id) override;
    void OnPaint(platform::CDC& dc) override;
    platform::HBRUSH OnCtlColor(platform::CDC* pDC, platform::CWnd* pWnd,
                                unsigned nCtlColor) override;

    int m_nMode = 0;  // which wording: 0, closing the game
    CPngButton m_btnOk;
    CPngButton m_btnCancel;
    std::unique_ptr<platform::Image> m_bmpBack;
    platform::CStatic m_stTitle;
    platform::CStatic m_stMessage;

private:
    platform::CFont m_titleFont;
};
