// What the download box says, before any window exists for it.
#include <gtest/gtest.h>

#include <thread>

#include "platform/TextCodec.h"
#include "ui/DownloadStatus.h"

namespace {

std::string Utf8(const std::u16string& text) {
    return platform::WideToUtf8(text);
}

// Reports progress until the box shows (it waits a moment first).
void ProgressUntilShown(CDownloadStatus& box, uint64_t received, std::optional<uint64_t> total) {
    box.ShowProgress(received, total);
    std::this_thread::sleep_for(CDownloadStatus::kShowAfter + std::chrono::milliseconds(20));
    box.ShowProgress(received, total);
}

}  // namespace

TEST(FormatByteCount, UnitsAtTheirBoundaries) {
    const std::vector<std::pair<uint64_t, std::string>> cases = {
        {0, "0 B"},
        {1023, "1023 B"},
        {1024, "1.0 KB"},
        {1536, "1.5 KB"},
        {1024 * 1024 - 1, "1024.0 KB"},
        {1024 * 1024, "1.0 MB"},
        {12'900'000, "12.3 MB"},
        {1ull << 30, "1.00 GB"},
        {UINT64_MAX, "17179869184.00 GB"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(Utf8(FormatByteCount(bytes)), text) << bytes;
}

TEST(DownloadStatus, QuickDownloadShowsNothing) {
    CDownloadStatus box;
    box.ShowProgress(100, 1000);
    box.ShowProgress(1000, 1000);
    box.HideProgress();
    EXPECT_EQ(box.GetState(), CDownloadStatus::State::Hidden);
    EXPECT_EQ(box.Title(), u"");
}

TEST(DownloadStatus, ProgressWithAndWithoutALength) {
    CDownloadStatus box;
    ProgressUntilShown(box, 1536 * 1024, 4 * 1024 * 1024);
    EXPECT_EQ(box.GetState(), CDownloadStatus::State::Progress);
    EXPECT_EQ(Utf8(box.Title()), "正在下载游戏启动器…");
    EXPECT_EQ(Utf8(box.Detail()), "1.5 MB / 4.0 MB（37%）");
    EXPECT_EQ(box.BarPermille(), 375u);

    box.ShowProgress(5 * 1024 * 1024, 4 * 1024 * 1024);  // more than announced: a full bar
    EXPECT_EQ(box.BarPermille(), 1000u);
    EXPECT_EQ(Utf8(box.Detail()), "5.0 MB / 4.0 MB（100%）");

    box.ShowProgress(UINT64_MAX / 2, UINT64_MAX);  // no overflow on huge lengths
    EXPECT_EQ(box.BarPermille(), 500u);

    box.ShowProgress(2048, std::nullopt);
    EXPECT_EQ(Utf8(box.Detail()), "已下载 2.0 KB");
    EXPECT_EQ(box.BarPermille(), std::nullopt);

    box.HideProgress();
    EXPECT_EQ(box.GetState(), CDownloadStatus::State::Hidden);
}

TEST(DownloadStatus, FailureStaysUntilClickedOrTheNextDownloadShows) {
    CDownloadStatus box;
    box.ShowFailed();
    EXPECT_EQ(Utf8(box.Title()), "游戏启动器下载失败");
    EXPECT_EQ(Utf8(box.Detail()), "请检查网络连接后重新登录。（点击关闭）");
    EXPECT_EQ(box.BarPermille(), std::nullopt);
    box.HideProgress();  // the end of a download does not take a failure away
    EXPECT_EQ(box.GetState(), CDownloadStatus::State::Failed);
    box.OnClicked();
    EXPECT_EQ(box.GetState(), CDownloadStatus::State::Hidden);

    box.ShowFailed();
    box.ShowProgress(10, 100);  // a new download's first moment: the notice stays
    EXPECT_EQ(box.GetState(), CDownloadStatus::State::Failed);
    ProgressUntilShown(box, 20, 100);
    EXPECT_EQ(box.GetState(), CDownloadStatus::State::Progress);
    box.OnClicked();  // progress is not dismissed
    EXPECT_EQ(box.GetState(), CDownloadStatus::State::Progress);
}
