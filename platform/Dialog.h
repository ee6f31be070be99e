#pragma once
// Dialogs built from templates held in the resources: modal runs, modeless popups, controls
// bound to members. GUI thread only.

#include <optional>
#include <string>
#include <vector>

#include "platform/Window.h"

namespace platform {

// One control of a template: what matters of it (its rectangle is replaced at run time).
struct DialogItem {
    unsigned id = 0;
    std::string windowClass;  // "button", "static", or a control's CLSID in braces
    std::u16string text;
    uint32_t style = 0;
    uint32_t exStyle = 0;
    RECT rect;
};

struct DialogTemplate {
    uint32_t style = 0;
    uint32_t exStyle = 0;
    SIZE size;
    std::u16string fontName;
    int fontPoints = 9;
    std::vector<DialogItem> items;

    // The template of resource ("DIALOG", id), or nothing when there is none or it is broken.
    static std::optional<DialogTemplate> Load(unsigned id);
};

class CDialog;

class CDataExchange {
public:
    explicit CDataExchange(CDialog* dialog) : m_pDlgWnd(dialog) {}
    CDialog* m_pDlgWnd;
    bool m_bSaveAndValidate = false;
};

// Creates the template's control `nIDC` as `rControl`.
void DDX_Control(CDataExchange* pDX, unsigned nIDC, CWnd& rControl);

class CDialog : public CWnd {
public:
    explicit CDialog(unsigned nIDTemplate = 0, CWnd* pParent = nullptr);
    ~CDialog() override;

    // Creates the dialog as a modeless window owned by `pParentWnd`'s top-level window.
    bool Create(unsigned nIDTemplate, CWnd* pParentWnd = nullptr);
    // Creates the dialog, runs it until EndDialog or a quit request, and destroys it. Returns
    // the EndDialog result; -1 when the dialog could not be created or a quit request ended
    // the run (the request stays pending).
    virtual int DoModal();
    void EndDialog(int nResult);

    virtual bool OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);
    virtual void OnOK();
    virtual void OnCancel();

    void OnClose() override;  // as Cancel
    bool OnCommand(unsigned id) override;

    const DialogTemplate* Template() const { return m_template ? &*m_template : nullptr; }

protected:
    unsigned m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    bool CreateFromTemplate(unsigned nIDTemplate, CWnd* owner);
    bool HasChild(unsigned id) const;

    std::optional<DialogTemplate> m_template;
    std::vector<std::unique_ptr<CWnd>> m_unboundControls;
    bool m_bModal = false;
    bool m_bEnded = false;
    int m_nModalResult = -1;
};

class CDialogEx : public CDialog {
public:
    using CDialog::CDialog;
};

}  // namespace platform
