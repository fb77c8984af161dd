// The codec table, decode_bytes, the damaged-file corpus, and loading through the GDI+
// entry points (streams and files) with a session.
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include <fstream>
#include <sstream>

#include "pixels/gdip_fixture.h"
#include "codecs/codec_builders.h"

namespace codectest {
namespace {

Bytes tiny_bmp() {
    BmpSpec s;
    s.width = 2, s.height = 1, s.bits = 24;
    s.pixels = {1, 2, 3, 4, 5, 6, 0, 0};
    return make_bmp(s);
}

TEST(CodecTable, FixedOrderAndDisjointSniffers) {
    auto table = gdip::codecs();
    std::vector<std::string> names, encoders;
    for (const auto& d : table) {
        names.emplace_back(d.name);
        if (d.encode) encoders.emplace_back(d.name);
        EXPECT_EQ(gdip::find_encoder(d.clsid), d.encode ? &d : nullptr) << d.name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"BMP", "JPEG", "GIF", "TIFF", "PNG", "ICO"}));
    EXPECT_EQ(encoders, (std::vector<std::string>{"BMP", "JPEG", "GIF", "TIFF", "PNG"}));
    const Bytes samples[] = {tiny_bmp(),
                             read_file(data_path("jpeg_gray.jpg")),
                             make_gif(1, 1, {0, 0xFFFFFF}, {}),
                             read_file(data_path("tiff_tiled.tif")),
                             make_png(1, 1, 8, 0, {{0}}),
                             Bytes{0, 0, 1, 0, 1, 0}};
    for (size_t i = 0; i < table.size(); ++i)
        for (size_t j = 0; j < table.size(); ++j)
            EXPECT_EQ(table[j].sniff(samples[i].data(), samples[i].size()), i == j)
                << table[j].name << " on a " << table[i].name << " file";
    for (const auto& d : table) EXPECT_FALSE(d.sniff(nullptr, 0)) << d.name;
}

TEST(DecodeBytes, UnknownAndInvalidInput) {
    std::unique_ptr<gdip::Image> img;
    EXPECT_EQ(gdip::decode_bytes(nullptr, 0, &img), Gdiplus::UnknownImageFormat);
    const uint8_t text[] = "hello, this is not an image";
    EXPECT_EQ(gdip::decode_bytes(text, sizeof text, &img), Gdiplus::UnknownImageFormat);
    EXPECT_EQ(img, nullptr);
    EXPECT_EQ(gdip::decode_bytes(text, sizeof text, nullptr), Gdiplus::InvalidParameter);
    EXPECT_EQ(gdip::decode_bytes(nullptr, 5, &img), Gdiplus::InvalidParameter);
}

TEST(DecodeBytes, DecodedImagesAreReadOnlyBitmapsWithFlags) {
    Decoded d = decode(make_png(1, 1, 8, 6, {{1, 2, 3, 4}}));
    ASSERT_EQ(d.status, Gdiplus::Ok);
    EXPECT_EQ(d.image->kind, gdip::ImageKind::Bitmap);
    EXPECT_TRUE(d.image->flags & gdip::codec::kImageFlagsReadOnly);
    EXPECT_TRUE(d.image->flags & gdip::codec::kImageFlagsHasAlpha);
    EXPECT_FALSE(d.image->flags & gdip::codec::kImageFlagsHasRealDPI);
}

// tests/data/corrupt/README.txt: "file | expected status | what it breaks", one line each.
TEST(DamagedCorpus, EveryFileGivesItsStatus) {
    std::ifstream index(data_path("corrupt/README.txt"));
    ASSERT_TRUE(index) << "corrupt/README.txt missing";
    std::string line;
    int count = 0;
    while (std::getline(index, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream in(line);
        std::string file, bar;
        int want = -1;
        in >> file >> bar >> want;
        ASSERT_EQ(bar, "|") << line;
        Bytes b = read_file(data_path("corrupt/" + file));
        ASSERT_FALSE(b.empty()) << file;
        EXPECT_EQ(int(decode(b).status), want) << file;
        ++count;
    }
    EXPECT_GT(count, 5);
}

class LoadTest : public pixtest::GdipTest {
  protected:
    std::string write(const std::string& name, const Bytes& b) {
        std::string path = m_dir.file(name);
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(b.data()), long(b.size()));
        return path;
    }

    lumtest::TempDir m_dir;
};

TEST_F(LoadTest, FromFile) {
    GpImage img = 0;
    ASSERT_EQ(GdipLoadImageFromFile(write("a.bmp", tiny_bmp()).c_str(), &img), Gdiplus::Ok);
    keep(img);
    UINT w = 0;
    EXPECT_EQ(GdipGetImageWidth(img, &w), Gdiplus::Ok);
    EXPECT_EQ(w, 2u);
    GUID raw{};
    EXPECT_EQ(GdipGetImageRawFormat(img, &raw), Gdiplus::Ok);
    EXPECT_EQ(raw, ImageFormatBMP);
    GpBitmap bmp = 0;
    ASSERT_EQ(
        GdipCreateBitmapFromFile(write("b.png", make_png(3, 1, 8, 0, {{1, 2, 3}})).c_str(), &bmp),
        Gdiplus::Ok);
    keep(bmp);
    PixelFormat f = 0;
    EXPECT_EQ(GdipGetImagePixelFormat(bmp, &f), Gdiplus::Ok);
    EXPECT_EQ(f, PixelFormat8bppIndexed);
}

TEST_F(LoadTest, FileStatuses) {
    GpImage img = 123;
    EXPECT_EQ(GdipLoadImageFromFile(m_dir.file("missing.png").c_str(), &img),
              Gdiplus::FileNotFound);
    EXPECT_EQ(img, 0u);
    EXPECT_EQ(GdipLoadImageFromFile((m_dir.file("missing") + "/x.png").c_str(), &img),
              Gdiplus::FileNotFound);
    EXPECT_EQ(GdipLoadImageFromFile("", &img), Gdiplus::FileNotFound);
    EXPECT_EQ(GdipLoadImageFromFile(m_dir.path().c_str(), &img), Gdiplus::Win32Error);
    EXPECT_EQ(GdipLoadImageFromFile(write("t.txt", Bytes(100, 'x')).c_str(), &img),
              Gdiplus::UnknownImageFormat);
    EXPECT_EQ(GdipLoadImageFromFile(write("e.bmp", {}).c_str(), &img), Gdiplus::UnknownImageFormat);
    EXPECT_EQ(GdipLoadImageFromFile(write("h.bmp", Bytes{'B', 'M', 1}).c_str(), &img),
              Gdiplus::GenericError);
    EXPECT_EQ(GdipLoadImageFromFile(nullptr, &img), Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipLoadImageFromFile("x", nullptr), Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipCreateBitmapFromFile(m_dir.file("missing.gif").c_str(), &img),
              Gdiplus::FileNotFound);
}

TEST_F(LoadTest, HugeInputsAreRefusedNotAllocated) {
    std::string sparse = m_dir.file("huge.bmp");
    {
        std::ofstream f(sparse, std::ios::binary);
        f << "BM";
    }
    ASSERT_EQ(truncate(sparse.c_str(), off_t(5) << 30), 0);  // 5 GiB, sparse
    GpImage img = 0;
    EXPECT_EQ(GdipLoadImageFromFile(sparse.c_str(), &img), Gdiplus::OutOfMemory);
    EXPECT_EQ(img, 0u);

    // A stream whose size claim is absurd: the claim must not size an allocation.
    class Boastful : public RefCounted<IStream> {
    public:
        explicit Boastful(Bytes b) : m_bytes(std::move(b)) {}
        HRESULT QueryInterface(REFIID, void** out) override {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        HRESULT Read(void* buf, ULONG n, ULONG* read) override {
            ULONG k = ULONG(std::min<size_t>(n, m_bytes.size() - m_pos));
            std::memcpy(buf, m_bytes.data() + m_pos, k);
            m_pos += k;
            if (read) *read = k;
            return k < n ? S_FALSE : S_OK;
        }
        HRESULT Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
        HRESULT Seek(int64_t, DWORD, uint64_t* pos) override {
            if (pos) *pos = m_pos;
            return S_OK;
        }
        HRESULT SetSize(uint64_t) override { return E_NOTIMPL; }
        HRESULT Stat(STATSTG* st, DWORD) override {
            *st = STATSTG{};
            st->cbSize = uint64_t(1) << 62;
            return S_OK;
        }
        HRESULT Commit(DWORD) override { return S_OK; }
        HRESULT Clone(IStream** out) override {
            *out = nullptr;
            return E_NOTIMPL;
        }

    private:
        Bytes m_bytes;
        size_t m_pos = 0;
    };
    auto stream = ComPtr<IStream>::adopt(new Boastful(tiny_bmp()));
    ASSERT_EQ(GdipLoadImageFromStream(stream.get(), &img), Gdiplus::Ok);
    keep(img);
}

TEST_F(LoadTest, FromStreamReadsFromTheCurrentPosition) {
    Bytes junk = {'j', 'u', 'n', 'k', '!'};
    Bytes b = junk;
    append(b, tiny_bmp());
    ComPtr<IStream> stream = ole::CreateStreamOnMemory(b.data(), b.size());
    ASSERT_TRUE(stream);
    ASSERT_EQ(stream->Seek(int64_t(junk.size()), STREAM_SEEK_SET, nullptr), S_OK);
    GpImage img = 0;
    ASSERT_EQ(GdipLoadImageFromStream(stream.get(), &img), Gdiplus::Ok);
    keep(img);
    UINT h = 0;
    EXPECT_EQ(GdipGetImageHeight(img, &h), Gdiplus::Ok);
    EXPECT_EQ(h, 1u);
    stream->Seek(0, STREAM_SEEK_SET, nullptr);
    GpBitmap bmp = 0;
    EXPECT_EQ(GdipCreateBitmapFromStream(stream.get(), &bmp), Gdiplus::UnknownImageFormat);
    EXPECT_EQ(bmp, 0u);
    EXPECT_EQ(GdipLoadImageFromStream(nullptr, &img), Gdiplus::InvalidParameter);
    EXPECT_EQ(GdipLoadImageFromStream(stream.get(), nullptr), Gdiplus::InvalidParameter);
}

TEST_F(LoadTest, AnimatedGifFramesAndDelaysThroughTheApi) {
    GifFrame a, b;
    a.width = b.width = 1, a.height = b.height = 1;
    a.indices = {0}, b.indices = {1};
    a.delay = 7, b.delay = 9;
    Bytes gif = make_gif(1, 1, {0x000000, 0xFFFFFF}, {a, b}, 3);
    ComPtr<IStream> stream = ole::CreateStreamOnMemory(gif.data(), gif.size());
    GpImage img = 0;
    ASSERT_EQ(GdipLoadImageFromStream(stream.get(), &img), Gdiplus::Ok);
    keep(img);
    UINT frames = 0;
    EXPECT_EQ(GdipImageGetFrameCount(img, &FrameDimensionTime, &frames), Gdiplus::Ok);
    EXPECT_EQ(frames, 2u);
    UINT size = 0;
    ASSERT_EQ(GdipGetPropertyItemSize(img, PropertyTagFrameDelay, &size), Gdiplus::Ok);
    std::vector<uint8_t> buf(size);
    auto* item = reinterpret_cast<PropertyItem*>(buf.data());
    ASSERT_EQ(GdipGetPropertyItem(img, PropertyTagFrameDelay, size, item), Gdiplus::Ok);
    ASSERT_EQ(item->length, 8u);
    const uint32_t* delays = static_cast<const uint32_t*>(item->value);
    EXPECT_EQ(delays[0], 7u);
    EXPECT_EQ(delays[1], 9u);
}

TEST(LoadWithoutSession, IsRefused) {
    Bytes b = tiny_bmp();
    ComPtr<IStream> stream = ole::CreateStreamOnMemory(b.data(), b.size());
    GpImage img = 0;
    EXPECT_EQ(GdipLoadImageFromStream(stream.get(), &img), Gdiplus::GdiplusNotInitialized);
    EXPECT_EQ(GdipLoadImageFromFile("/nonexistent", &img), Gdiplus::GdiplusNotInitialized);
}

}  // namespace
}  // namespace codectest
