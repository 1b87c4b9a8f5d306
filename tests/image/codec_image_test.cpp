#include "image/codec_image.h"

#include <gtest/gtest.h>

#include "runtime/text_encoding.h"

namespace quillmere::image {
namespace {

TEST(CodecImageTest, StartupDefaults) {
    const CodecImage image(ImageFormat::Jpg);
    EXPECT_EQ(image.settings.formatType, ImageFormat::Jpg);
    EXPECT_EQ(image.settings.jpegQuality, 90);
    EXPECT_EQ(image.settings.xDpi, 96);
    EXPECT_EQ(image.settings.yDpi, 96);
    EXPECT_EQ(image.header.xPixelsPerMetre, 3780);
    EXPECT_EQ(image.header.width, 0);
    EXPECT_FALSE(image.HasPicture());
}

struct DepthCase {
    std::uint32_t bits;
    std::uint16_t depth;
    std::uint32_t colors;
};

TEST(CodecImageTest, CreateRoundsDepthAndDerivesColourCount) {
    const DepthCase cases[] = {{0, 1, 2},  {1, 1, 2},   {2, 4, 16}, {4, 4, 16}, {5, 8, 256},
                               {8, 8, 256}, {16, 24, 0}, {24, 24, 0}, {32, 24, 0}};
    for (const DepthCase& c : cases) {
        SCOPED_TRACE(c.bits);
        CodecImage image;
        ASSERT_TRUE(image.Create(7, 5, c.bits, ImageFormat::Tif));
        EXPECT_EQ(image.header.bitsPerPixel, c.depth);
        EXPECT_EQ(image.header.colorCount, c.colors);
        EXPECT_EQ(image.settings.formatType, ImageFormat::Tif);
        EXPECT_TRUE(image.HasPicture());
    }
}

TEST(CodecImageTest, CreateChecksSize) {
    CodecImage image;
    EXPECT_FALSE(image.Create(0, 5, 8, ImageFormat::Bmp));
    EXPECT_EQ(image.settings.lastError, TextFromUtf8("创建图像对象: 高度和宽度必须大于零").bytes());
    EXPECT_FALSE(image.Create(5, 0, 8, ImageFormat::Bmp));
    // Nothing is allocated, so large pictures are fine as long as the header can hold them.
    EXPECT_TRUE(image.Create(100000, 100000, 24, ImageFormat::Bmp));
    EXPECT_FALSE(image.Create(0x80000000u, 1, 8, ImageFormat::Bmp));
    EXPECT_EQ(image.settings.lastError, TextFromUtf8("超过规定的图像数据占用的内存大小").bytes());
}

TEST(CodecImageTest, SetAndStoreResolution) {
    CodecImage image;
    image.SetXDPI(300);
    EXPECT_EQ(image.settings.xDpi, 300);
    EXPECT_EQ(image.header.xPixelsPerMetre, 11811);
    image.SetXDPI(0);
    EXPECT_EQ(image.settings.xDpi, 96);
    image.SetYDPI(-5);
    EXPECT_EQ(image.settings.yDpi, 96);
    image.StoreXDPI(0);
    EXPECT_EQ(image.settings.xDpi, 0);
}

TEST(CodecImageTest, CopyInfoAndTransfer) {
    CodecImage object;
    object.SetXDPI(200);
    object.SetError("earlier");
    CodecImage attempt(ImageFormat::Png);
    attempt.CopyInfo(object);
    EXPECT_EQ(attempt.settings.xDpi, 200);
    EXPECT_EQ(attempt.settings.lastError, "earlier");
    ASSERT_TRUE(attempt.Create(3, 2, 8, ImageFormat::Png));
    EXPECT_TRUE(object.Transfer(attempt));
    EXPECT_TRUE(object.HasPicture());
    EXPECT_FALSE(attempt.HasPicture());
    EXPECT_EQ(object.header.width, 3);
    EXPECT_EQ(object.settings.formatType, ImageFormat::Png);

    // An object holding a picture keeps its settings.
    CodecImage other;
    other.SetXDPI(50);
    object.CopyInfo(other);
    EXPECT_EQ(object.settings.xDpi, 200);
}

}  // namespace
}  // namespace quillmere::image
