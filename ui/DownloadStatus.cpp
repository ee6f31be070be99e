#include "ui/DownloadStatus.h"

#include <algorithm>
#include <cstdio>

#include "platform/TextCodec.h"

using namespace platform;

namespace {

constexpr COLORREF kBackground = 0x00141A1E;   // RGB(30, 26, 20): the art's dark wood
constexpr COLORREF kBorder = 0x003FA8D8;       // RGB(216, 168, 63): its gold
constexpr COLORREF kTitleColor = 0x0074D4F0;   // RGB(240, 212, 116)
constexpr COLORREF kDetailColor = 0x00D2E6F0;  // RGB(240, 230, 210)
constexpr COLORREF kBarBack = 0x0028323C;      // RGB(60, 50, 40)
constexpr COLORREF kBarFill = kBorder;
constexpr COLORREF kFailedTitleColor = 0x006070F0;  // RGB(240, 112, 96)

constexpr char16_t kDownloadingTitle[] = u"正在下载游戏启动器…";
constexpr char16_t kReceivedPrefix[] = u"已下载 ";
constexpr char16_t kFailedTitle[] = u"游戏启动器下载失败";
constexpr char16_t kFailedDetail[] = u"请检查网络连接后重新登录。（点击关闭）";
constexpr char16_t kFace[] = u"Noto Sans CJK SC";

constexpr int kPadding = 12;
constexpr int kBarHeight = 8;

}  // namespace

std::u16string FormatByteCount(uint64_t bytes) {
    char text[32];
    constexpr double kKiB = 1024.0, kMiB = kKiB * 1024, kGiB = kMiB * 1024;
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    } else if (bytes < 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f KB", bytes / kKiB);
    } else if (bytes < 1024ull * 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f MB", bytes / kMiB);
    } else {
        std::snprintf(text, sizeof text, "%.2f GB", bytes / kGiB);
    }
    return platform::Utf8ToWide(text);
}

bool CDownloadStatus::CreateOver(CWnd* parent, const RECT& rect, unsigned id) {
    m_titleFont.CreatePointFont(110, kFace);
    m_detailFont.CreatePointFont(95, kFace);
    return Create(u"", WS_CHILD | BS_OWNERDRAW, rect, parent, id);
}

void CDownloadStatus::ShowProgress(uint64_t received, std::optional<uint64_t> total) {
    const auto now = std::chrono::steady_clock::now();
    if (m_state != State::Progress && !m_started) m_started = now;
    const bool changed = received != m_received || total != m_total;
    m_received = received;
    m_total = total;
    if (m_state == State::Progress) {
        if (changed) Invalidate();
        return;
    }
    // A download over in a moment shows nothing; a failure notice stays until this one shows.
    if (now - *m_started >= kShowAfter) Show(State::Progress);
}

void CDownloadStatus::HideProgress() {
    m_started.reset();
    if (m_state == State::Progress) Show(State::Hidden);
}

void CDownloadStatus::ShowFailed() {
    m_started.reset();
    Show(State::Failed);
}

void CDownloadStatus::OnClicked() {
    if (m_state == State::Failed) Show(State::Hidden);
}

void CDownloadStatus::Show(State state) {
    m_state = state;
    if (!m_hWnd) return;
    if (state == State::Hidden) {
        ShowWindow(SW_HIDE);
        return;
    }
    SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);  // above the browser
    ShowWindow(SW_SHOW);
    Invalidate();
}

std::u16string CDownloadStatus::Title() const {
    switch (m_state) {
        case State::Progress:
            return kDownloadingTitle;
        case State::Failed:
            return kFailedTitle;
        case State::Hidden:
            break;
    }
    return {};
}

std::u16string CDownloadStatus::Detail() const {
    if (m_state == State::Failed) return kFailedDetail;
    if (m_state != State::Progress) return {};
    if (!m_total || *m_total == 0) return kReceivedPrefix + FormatByteCount(m_received);
    const uint64_t percent = std::min<uint64_t>(100, m_received * 100 / *m_total);
    return FormatByteCount(m_received) + u" / " + FormatByteCount(*m_total) + u"（" +
           platform::Utf8ToWide(std::to_string(percent)) + u"%）";
}

std::optional<unsigned> CDownloadStatus::BarPermille() const {
    if (m_state != State::Progress || !m_total || *m_total == 0) return std::nullopt;
    const uint64_t received = std::min(m_received, *m_total);
    constexpr uint64_t kSafe = UINT64_MAX / 1000;  // beyond it the product would overflow
    return static_cast<unsigned>(*m_total <= kSafe ? received * 1000 / *m_total
                                                   : received / (*m_total / 1000));
}

void CDownloadStatus::DrawItem(DRAWITEMSTRUCT* pDrawItem) {
    if (!pDrawItem || !pDrawItem->pDC || m_state == State::Hidden) return;
    CDC& dc = *pDrawItem->pDC;
    const RECT r = pDrawItem->rcItem;
    dc.FillSolidRect(r, kBorder);
    dc.FillSolidRect(RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, kBackground);

    const int width = r.Width() - 2 * kPadding;
    RECT line{r.left + kPadding, r.top + kPadding, r.left + kPadding + width,
              r.top + kPadding + 24};
    dc.SelectObject(&m_titleFont);
    dc.SetTextColor(m_state == State::Failed ? kFailedTitleColor : kTitleColor);
    dc.DrawText(Title(), line, DT_CENTER | DT_SINGLELINE | DT_VCENTER);

    line = RECT{line.left, line.bottom + 2, line.right, line.bottom + 24};
    dc.SelectObject(&m_detailFont);
    dc.SetTextColor(kDetailColor);
    dc.DrawText(Detail(), line, DT_CENTER | DT_SINGLELINE | DT_VCENTER);

    if (const std::optional<unsigned> permille = BarPermille()) {
        const RECT bar{line.left, r.bottom - kPadding - kBarHeight, line.right,
                       r.bottom - kPadding};
        dc.FillSolidRect(bar, kBarBack);
        const int filled = static_cast<int>(static_cast<long long>(bar.Width()) * *permille / 1000);
        if (filled > 0)
            dc.FillSolidRect(RECT{bar.left, bar.top, bar.left + filled, bar.bottom}, kBarFill);
    }
}
