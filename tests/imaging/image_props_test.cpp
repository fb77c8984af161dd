// Frames, delays, pixel transfers and property items of the image engine.
#include <gtest/gtest.h>

#include "imaging/image_props.h"
#include "imaging/modGdiplus.h"
#include "imaging/save.h"
#include "support/file_probe.h"
#include "support/test_env.h"

using namespace modGdiplus;

namespace {

class ImageProps : public ::testing::Test {
protected:
    ImageProps() { EngineStartup(); }
    ~ImageProps() override { EngineShutdown(); }
    GpImage load(const std::string& name) {
        auto bytes = lumtest::read_file(lumtest::source_dir() + "/tests/data/" + name);
        GpImage img = 0;
        EXPECT_EQ(LoadImageFromBytes(img, SafeArray<uint8_t>::from(bytes), true), 0) << name;
        RegisterImage(img, "");
        return img;
    }
};

}  // namespace

TEST_F(ImageProps, FramesOnlyForGifAndPagesOnlyForTiff) {
    GpImage jpeg = load("small.jpg");
    int32_t n = -1;
    EXPECT_EQ(GetFrameCount(jpeg, n), 0);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(GetPageCount(jpeg, n), 0);
    EXPECT_EQ(n, 0);
    GpImage gif = load("anim3.gif");
    EXPECT_EQ(GetFrameCount(gif, n), 0);
    EXPECT_EQ(n, 3);
    EXPECT_EQ(GetPageCount(gif, n), 0);
    EXPECT_EQ(n, 0);
    GpImage tif = load("tiff_multipage.tif");
    EXPECT_EQ(GetPageCount(tif, n), 0);
    EXPECT_GT(n, 1);
    EXPECT_EQ(SelectPage(tif, n - 1), 0);
    EXPECT_NE(SelectPage(tif, n), 0) << "past the last page";
    EXPECT_EQ(GetFrameCount(0, n), Gdiplus::InvalidParameter);
}

TEST_F(ImageProps, DelaysFillOnlyTheFrames) {
    GpImage gif = load("anim3.gif");
    SafeArray<int32_t> delays;
    ASSERT_EQ(GetFrameDelays(gif, delays), 0);
    ASSERT_EQ(delays.size(), 3u);
    EXPECT_EQ(delays.lbound(), 0);
    EXPECT_EQ(delays.at(0), 10);
    EXPECT_EQ(delays.at(2), 30);
    // An item with more values than frames: only the first n are taken.
    int32_t four[4] = {5, 6, 7, 8};
    PropertyItem item{PropertyTagFrameDelay, sizeof four, PropertyTagTypeLong, four};
    ASSERT_EQ(GdipSetPropertyItem(gif, &item), 0);
    SafeArray<int32_t> again;
    ASSERT_EQ(GetFrameDelays(gif, again), 0);
    ASSERT_EQ(again.size(), 3u);
    EXPECT_EQ(again.at(2), 7);
}

TEST_F(ImageProps, PropertyItemsByIndex) {
    GpImage gif = load("anim3.gif");
    int32_t count = 0;
    GetPropertyCount(gif, count);
    ASSERT_GT(count, 0);
    EXPECT_FALSE(GetPropertyItemByIndex(gif, 0, count));
    EXPECT_FALSE(GetPropertyItemByIndex(gif, count + 1, count));
    auto first = GetPropertyItemByIndex(gif, 1, count);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->value.size(), first->length);
    EXPECT_GE(first->buffer_size, sizeof(PropertyItem) + first->length);
    GetPropertyCount(0, count);
    EXPECT_EQ(count, 0);
}

TEST_F(ImageProps, TransferArrayIsChannelFastest) {
    GpImage img = 0;
    ASSERT_EQ(CreateBlankImage(3, 2, PixelFormat24bppRGB, img), 0);
    SafeArray<uint8_t> px;
    GpRect all{0, 0, 3, 2};
    ASSERT_EQ(TransferArgbPixels(img, px, all, true), 0);
    ASSERT_EQ(px.dims(), 3u);
    EXPECT_EQ(px.ubound(0), 3);
    EXPECT_EQ(px.ubound(1), 2);
    EXPECT_EQ(px.ubound(2), 1);
    // Pixel (2, 1): blue 1, green 2, red 3.
    size_t at = (1 * 3 + 2) * 4;
    px.data()[at] = 1;
    px.data()[at + 1] = 2;
    px.data()[at + 2] = 3;
    px.data()[at + 3] = 255;
    ASSERT_EQ(TransferArgbPixels(img, px, all, false), 0);
    ARGB c = 0;
    GetPixel(img, 2, 1, c);
    EXPECT_EQ(c, 0xFF030201u);
    EXPECT_EQ(LastTransferRect().width, 3);
    SafeArray<uint8_t> small = SafeArray<uint8_t>::from({1, 2, 3});
    EXPECT_EQ(TransferArgbPixels(img, small, all, false), Gdiplus::InvalidParameter)
        << "an array smaller than the rectangle is refused";
}

TEST_F(ImageProps, ConvertByPixelCopyKeepsPixelsAndResolution) {
    GpImage img = load("small.jpg");
    SetImageResolution(img, 300, 150);
    GpImage argb = 0;
    ASSERT_EQ(ConvertByPixelCopy(img, argb, PixelFormat32bppARGB), 0);
    PixelFormat f = 0;
    GetPixelFormatValue(argb, f);
    EXPECT_EQ(f, PixelFormat32bppARGB);
    float dx = 0, dy = 0;
    GetImageHorizontalResolution(argb, dx);
    GetImageVerticalResolution(argb, dy);
    EXPECT_EQ(dx, 300);
    EXPECT_EQ(dy, 150);
    ARGB a = 0, b = 0;
    GetPixel(img, 4, 3, a);
    GetPixel(argb, 4, 3, b);
    EXPECT_EQ(a, b);
}

TEST_F(ImageProps, FormatNamesAndDepths) {
    GpImage img = 0;
    CreateBlankImage(2, 2, PixelFormat48bppRGB, img);
    std::string name = "kept";
    int32_t bits = 0;
    EXPECT_EQ(GetPixelFormatName(img, name), 0);
    EXPECT_EQ(name, "48bppRGB");
    EXPECT_EQ(GetBitDepth(img, bits), 0);
    EXPECT_EQ(bits, 48);
    EXPECT_EQ(BitDepthOfFormat(PixelFormat32bppCMYK), 0);
    name = "kept";
    EXPECT_EQ(GetPixelFormatName(0, name), Gdiplus::InvalidParameter);
    EXPECT_EQ(name, "kept");
    EXPECT_EQ(GetBitDepth(0, bits), Gdiplus::InvalidParameter);
    EXPECT_EQ(bits, 0);
}

TEST_F(ImageProps, EachTiffPageHasItsOwnTagsInClonesAndAfterEdits) {
    lumtest::TempDir dir;
    GpImage head = 0, second = 0;
    CreateBlankImage(8, 8, PixelFormat24bppRGB, head);
    CreateBlankImage(8, 8, PixelFormat24bppRGB, second);
    SetImageResolution(head, 100, 100);
    SetImageResolution(second, 300, 300);
    std::string path = dir.file("two.tif");
    ASSERT_EQ(GdipSaveImageToFile(head, path.c_str(), nullptr, nullptr), Gdiplus::InvalidParameter)
        << "no encoder given";
    ASSERT_EQ(BeginMultipageTiff(head, path, 2), 0);
    ASSERT_EQ(AddMultipageTiffPage(head, second), 0);
    ASSERT_EQ(DisposeImage(head), 0);
    auto bytes = lumtest::read_file(path);
    GpImage tif = 0;
    ASSERT_EQ(LoadImageFromBytes(tif, SafeArray<uint8_t>::from(bytes), true), 0);
    auto x_resolution = [&](GpImage image) {
        UINT size = 0;
        if (GdipGetPropertyItemSize(image, 282, &size) != 0) return 0.0;
        std::vector<BYTE> buf(size);
        auto* item = reinterpret_cast<PropertyItem*>(buf.data());
        GdipGetPropertyItem(image, 282, size, item);
        uint32_t r[2];
        std::memcpy(r, item->value, 8);
        return double(r[0]) / r[1];
    };
    EXPECT_EQ(x_resolution(tif), 100);
    ASSERT_EQ(SelectPage(tif, 1), 0);
    EXPECT_EQ(x_resolution(tif), 300) << "the selected page's tags";
    ASSERT_EQ(SelectPage(tif, 0), 0);
    EXPECT_EQ(x_resolution(tif), 100);

    GpImage clone = 0;
    ASSERT_EQ(GdipCloneImage(tif, &clone), 0);
    ASSERT_EQ(SelectPage(clone, 1), 0);
    EXPECT_EQ(x_resolution(clone), 300) << "a clone's pages keep their own tags";

    // An edit of a page's item is kept across page switches.
    uint32_t edited[2] = {600, 1};
    PropertyItem item{282, 8, PropertyTagTypeRational, edited};
    ASSERT_EQ(SelectPage(tif, 1), 0);
    ASSERT_EQ(GdipSetPropertyItem(tif, &item), 0);
    ASSERT_EQ(SelectPage(tif, 0), 0);
    EXPECT_EQ(x_resolution(tif), 100);
    ASSERT_EQ(SelectPage(tif, 1), 0);
    EXPECT_EQ(x_resolution(tif), 600);
    GdipDisposeImage(clone);
}
