// Images from the program's resources, and the art itself.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "platform/Dialog.h"
#include "ui/GdiPlusPng.h"

extern "C" void qarvelle_test_register_resource(void);

using namespace platform;

namespace {

constexpr unsigned kNotAnImage = 9001;
constexpr unsigned kEmpty = 9002;
constexpr unsigned kMissing = 4242;

class ImageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { qarvelle_test_register_resource(); }
};

struct AlphaFigures {
    double clear = 0, partial = 0;
    bool rectangleOpaque = true;
};

AlphaFigures Measure(const Image& image, const RECT& opaque) {
    long clear = 0, partial = 0;
    AlphaFigures figures;
    for (int y = 0; y < image.GetHeight(); ++y) {
        for (int x = 0; x < image.GetWidth(); ++x) {
            const uint32_t alpha = image.PixelAt(x, y) >> 24;
            clear += alpha == 0;
            partial += alpha > 0 && alpha < 255;
            const bool inside =
                x >= opaque.left && x < opaque.right && y >= opaque.top && y < opaque.bottom;
            if (inside && alpha != 255) figures.rectangleOpaque = false;
        }
    }
    const double total = double(image.GetWidth()) * image.GetHeight();
    figures.clear = 100 * clear / total;
    figures.partial = 100 * partial / total;
    return figures;
}

}  // namespace

TEST_F(ImageTest, HolderLoadsDecodableResourcesOnly) {
    CGdiPlusPngResource holder;
    EXPECT_EQ(holder.GetWidth(), 0);
    EXPECT_TRUE(holder.Load(160));
    EXPECT_EQ(holder.GetWidth(), 54);
    EXPECT_EQ(holder.GetHeight(), 216);
    ASSERT_NE(holder.m_hBuffer, nullptr);
    const uint8_t* firstBytes = holder.m_hBuffer->Bytes().data();

    EXPECT_TRUE(holder.Load(162));  // a reload replaces image and bytes
    EXPECT_EQ(holder.GetWidth(), 39);
    EXPECT_EQ(holder.GetHeight(), 156);
    ASSERT_NE(holder.m_hBuffer, nullptr);
    EXPECT_NE(holder.m_hBuffer->Bytes().data(), firstBytes);

    for (unsigned id : {kMissing, kNotAnImage, kEmpty}) {
        SCOPED_TRACE(id);
        EXPECT_FALSE(holder.Load(id));
        EXPECT_EQ(holder.m_pImage, nullptr);
        EXPECT_EQ(holder.m_hBuffer, nullptr);
        EXPECT_EQ(holder.GetWidth(), 0);
        EXPECT_EQ(holder.GetHeight(), 0);
    }
    EXPECT_TRUE(holder.Load(175));
    holder.Free();
    EXPECT_EQ(holder.m_pImage, nullptr);
    EXPECT_EQ(holder.m_hBuffer, nullptr);
}

TEST_F(ImageTest, FreeFunctionHandsOutAnImageEvenWhenItDoesNotDecode) {
    EXPECT_EQ(LoadPngFromResource(kMissing), nullptr);
    for (unsigned id : {kNotAnImage, kEmpty}) {
        std::unique_ptr<Image> image(LoadPngFromResource(id));
        ASSERT_NE(image, nullptr);
        EXPECT_FALSE(image->Ok());
        EXPECT_EQ(image->GetWidth(), 0);
        EXPECT_EQ(image->GetHeight(), 0);
    }
    std::unique_ptr<Image> strip(LoadPngFromResource(175));
    ASSERT_NE(strip, nullptr);
    EXPECT_EQ(strip->GetWidth(), 74);
    EXPECT_EQ(strip->GetHeight(), 104);
}

TEST_F(ImageTest, ArtHasTheSizesFramesAndTransparencyItsWindowsNeed) {
    const struct {
        const char* type;
        unsigned id;
        int width, height;
        bool opaque;  // 24-bit art: every pixel opaque
    } art[] = {
        {"PNG", 155, 1334, 725, false},     {"PNG", 160, 54, 216, false},
        {"PNG", 162, 39, 156, false},       {"PNG", 175, 74, 104, true},
        {"PNG", 176, 74, 104, true},        {"BITMAP", 177, 256, 110, true},
        {"GROUP_ICON", 128, 64, 64, false},
    };
    for (const auto& a : art) {
        SCOPED_TRACE(std::string(a.type) + " " + std::to_string(a.id));
        const std::unique_ptr<ResourceData> data = FindResource(a.type, a.id);
        ASSERT_NE(data, nullptr);
        const std::unique_ptr<Image> image = Image::FromBytes(data->Bytes());
        ASSERT_TRUE(image->Ok());
        EXPECT_EQ(image->GetWidth(), a.width);
        EXPECT_EQ(image->GetHeight(), a.height);
        if (a.opaque) {
            const AlphaFigures figures = Measure(*image, RECT{});
            EXPECT_EQ(figures.clear + figures.partial, 0);
        }
    }

    CGdiPlusPngResource backdrop;
    ASSERT_TRUE(backdrop.Load(155));
    const AlphaFigures figures = Measure(*backdrop.m_pImage, RECT{560, 177, 1191, 623});
    EXPECT_NEAR(figures.clear, 31, 1.0);
    EXPECT_NEAR(figures.partial, 8, 1.0);
    EXPECT_TRUE(figures.rectangleOpaque) << "the browser's place must be fully opaque";

    // Round buttons: each frame a disc, transparent at its corners and opaque at its centre,
    // the four frames differing from each other.
    for (const auto& [id, size] : {std::pair{160u, 54}, std::pair{162u, 39}}) {
        CGdiPlusPngResource strip;
        ASSERT_TRUE(strip.Load(id));
        std::vector<uint32_t> centres;
        for (int frame = 0; frame < 4; ++frame) {
            const int top = frame * size;
            EXPECT_EQ(strip.m_pImage->PixelAt(0, top) >> 24, 0u);
            EXPECT_EQ(strip.m_pImage->PixelAt(size - 1, top + size - 1) >> 24, 0u);
            EXPECT_EQ(strip.m_pImage->PixelAt(size / 2, top + size / 4) >> 24, 255u);
            centres.push_back(strip.m_pImage->PixelAt(size / 2 - size / 3, top + size / 2));
        }
        EXPECT_EQ(std::set<uint32_t>(centres.begin(), centres.end()).size(), 4u);
    }
}

TEST_F(ImageTest, DialogTemplatesCarryTheirControls) {
    const auto backdrop = DialogTemplate::Load(102);
    ASSERT_TRUE(backdrop);
    EXPECT_EQ(backdrop->style, 0x9000004Cu);
    EXPECT_EQ(backdrop->exStyle, WS_EX_APPWINDOW);
    EXPECT_TRUE(backdrop->items.empty());
    const auto panel = DialogTemplate::Load(132);
    ASSERT_TRUE(panel);
    ASSERT_EQ(panel->items.size(), 3u);
    EXPECT_EQ(panel->items[2].id, 1000u);
    EXPECT_EQ(panel->items[2].style, WS_CHILD);
    const auto confirm = DialogTemplate::Load(172);
    ASSERT_TRUE(confirm);
    ASSERT_EQ(confirm->items.size(), 4u);
    EXPECT_EQ(confirm->items[3].text, u"确定要退出游戏吗？");
    EXPECT_FALSE(DialogTemplate::Load(4242));
}
