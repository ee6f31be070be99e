#pragma once
// The box over the login panel that tells the player how the game launcher's download goes:
// the bytes so far and, when the length is known, a bar; or that the download failed. It
// appears only for a download that lasts longer than a moment; a failure stays until it is
// clicked or another download begins. GUI thread.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Button.h"
#include "platform/Static.h"

// "512 B", "1.5 KB", "12.3 MB", "1.25 GB".
std::u16string FormatByteCount(uint64_t bytes);

class CDownloadStatus : public platform::CButton {
public:
    enum class State { Hidden, Progress, Failed };
    static constexpr auto kShowAfter = std::chrono::milliseconds(300);

    // Makes the (hidden) box at `rect` inside `parent`; clicks reach the parent as `id`.
    bool CreateOver(platform::CWnd* parent, const platform::RECT& rect, unsigned id);

    void ShowProgress(uint64_t received, std::optional<uint64_t> total);
    void HideProgress();
    void ShowFailed();
    // A click on the box: a failure notice goes; progress stays.
    void OnClicked();

    State GetState() const { return m_state; }
    // The box's two lines, as drawn.
    std::u16string Title() const;
    std::u16string Detail() const;
    // The bar's filled part in thousandths; nothing when no bar is drawn.
    std::optional<unsigned> BarPermille() const;

    void DrawItem(platform::DRAWITEMSTRUCT* pDrawItem) override;

private:
    void Show(State state);

    State m_state = State::Hidden;
    uint64_t m_received = 0;
    std::optional<uint64_t> m_total;
    std::optional<std::chrono::steady_clock::time_point> m_started;
    platform::CFont m_titleFont;
    platform::CFont m_detailFont;
};
