// The file property bag: values of every type back as they went in, pictures included;
// damaged lines skipped; saving whole or not at all.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "lumtwainpro/propbag.h"
#include "lumtwainpro/window.h"
#include "platform/win/win.h"
#include "support/test_env.h"

namespace {

ComPtr<IPropertyBag> open_bag(const std::string& path) {
    ComPtr<IPropertyBag> bag;
    EXPECT_EQ(ole::CreateFilePropertyBag(path, bag.put()), S_OK);
    return bag;
}

std::string read_text(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A 3 x 2 bitmap picture with distinct pixels.
ComPtr<IPicture> bitmap_picture() {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = 3;
    bi.bmiHeader.biHeight = -2;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bm = CreateDIBSection(0, &bi, DIB_RGB_COLORS, &bits, 0, 0);
    auto* px = static_cast<uint32_t*>(bits);
    for (int i = 0; i < 6; ++i) px[i] = 0xFF000000u | uint32_t(i * 0x102030);
    PICTDESC d;
    d.picType = PICTYPE_BITMAP;
    d.bmp.hbitmap = bm;
    ComPtr<IPicture> p;
    EXPECT_EQ(OleCreatePictureIndirect(&d, IID_IPicture, TRUE, reinterpret_cast<void**>(p.put())),
              S_OK);
    return p;
}

std::vector<uint32_t> picture_pixels(IUnknown* unknown) {
    ComPtr<IPicture> p = ComPtr<IUnknown>(unknown).query<IPicture>(IID_IPicture);
    OLE_HANDLE h = 0;
    if (!p || FAILED(p->get_Handle(&h))) return {};
    win::BitmapView v;
    if (!win::GetBitmapView(HBITMAP(h), &v)) return {};
    std::vector<uint32_t> out;
    for (int y = 0; y < v.height; ++y)
        for (int x = 0; x < v.width; ++x)
            out.push_back(reinterpret_cast<const uint32_t*>(v.scan0 + y * v.stride)[x] & 0xFFFFFF);
    return out;
}

TEST(FilePropertyBag, EveryTypeComesBackAsItWasWritten) {
    lumtest::TempDir dir;
    std::string path = dir.file("all.bag");
    {
        auto bag = open_bag(path);
        VARIANT values[] = {VARIANT::I2(-7),          VARIANT::I4(-123456789), VARIANT::UI1(200),
                            VARIANT::Bool(true),      VARIANT::R4(0.1f),       VARIANT::R8(1.0 / 3),
                            VARIANT::Str("a\\b\nc=d")};
        const char* names[] = {"i2", "i4", "ui1", "b", "r4", "r8", "s"};
        for (int i = 0; i < 7; ++i) ASSERT_EQ(bag->Write(names[i], &values[i]), S_OK) << names[i];
        VARIANT pic = VARIANT::Unknown(ComPtr<IUnknown>(bitmap_picture().get()));
        ASSERT_EQ(bag->Write("Picture", &pic), S_OK);
        ASSERT_EQ(ole::SaveFilePropertyBag(bag.get()), S_OK);
    }
    auto bag = open_bag(path);
    VARIANT v;
    ASSERT_EQ(bag->Read("I2", &v, nullptr), S_OK) << "names without regard to case";
    EXPECT_EQ(v.vt, VT_I2);
    EXPECT_EQ(v.lVal, -7);
    ASSERT_EQ(bag->Read("i4", &v, nullptr), S_OK);
    EXPECT_EQ(v.lVal, -123456789);
    ASSERT_EQ(bag->Read("r4", &v, nullptr), S_OK);
    EXPECT_EQ(float(v.dblVal), 0.1f);
    ASSERT_EQ(bag->Read("r8", &v, nullptr), S_OK);
    EXPECT_EQ(v.dblVal, 1.0 / 3) << "exactly";
    ASSERT_EQ(bag->Read("s", &v, nullptr), S_OK);
    EXPECT_EQ(v.bstrVal, "a\\b\nc=d");
    ASSERT_EQ(bag->Read("b", &v, nullptr), S_OK);
    EXPECT_EQ(v.vt, VT_BOOL);
    EXPECT_EQ(v.lVal, -1);
    ASSERT_EQ(bag->Read("Picture", &v, nullptr), S_OK);
    EXPECT_EQ(picture_pixels(v.punkVal.get()), picture_pixels(bitmap_picture().get()));
    EXPECT_EQ(bag->Read("missing", &v, nullptr), E_INVALIDARG);
}

TEST(FilePropertyBag, AnIconPictureKeepsItsColourAndMask) {
    lumtest::TempDir dir;
    std::string path = dir.file("icon.bag");
    ComPtr<IPicture> colour = bitmap_picture();
    OLE_HANDLE h = 0;
    colour->get_Handle(&h);
    ICONINFO info{TRUE, 0, 0, HBITMAP(h), HBITMAP(h)};
    PICTDESC d;
    d.picType = PICTYPE_ICON;
    d.icon.hicon = CreateIconIndirect(&info);
    ComPtr<IPicture> icon;
    ASSERT_EQ(
        OleCreatePictureIndirect(&d, IID_IPicture, TRUE, reinterpret_cast<void**>(icon.put())),
        S_OK);
    {
        auto bag = open_bag(path);
        VARIANT v = VARIANT::Unknown(ComPtr<IUnknown>(icon.get()));
        ASSERT_EQ(bag->Write("MouseIcon", &v), S_OK);
        ASSERT_EQ(ole::SaveFilePropertyBag(bag.get()), S_OK);
    }
    VARIANT v;
    ASSERT_EQ(open_bag(path)->Read("MouseIcon", &v, nullptr), S_OK);
    ComPtr<IPicture> back = v.punkVal.query<IPicture>(IID_IPicture);
    ASSERT_TRUE(back);
    SHORT type = 0;
    back->get_Type(&type);
    EXPECT_EQ(type, PICTYPE_ICON);
}

TEST(FilePropertyBag, DamagedLinesAreSkippedAndTheRestIsRead) {
    lumtest::TempDir dir;
    std::string path = dir.file("damaged.bag");
    std::ofstream(path) << "# comment\n=I4:1\nnoequals\nA=I4:12x\nB=R8:\nC=PIC:BMP:2x2:AAAA\n"
                           "D=PIC:BMP:99999999x99999999:\nE=BSTR:bad\\q\nF=I2:70000\nG=I4:5\r\n";
    auto bag = open_bag(path);
    VARIANT v;
    for (const char* name : {"A", "B", "C", "D", "E", "F"})
        EXPECT_EQ(bag->Read(name, &v, nullptr), E_INVALIDARG) << name;
    ASSERT_EQ(bag->Read("G", &v, nullptr), S_OK);
    EXPECT_EQ(v.lVal, 5) << "a Windows line end is fine";
}

TEST(FilePropertyBag, AFailedSaveLeavesTheOldFileAsItWas) {
    lumtest::TempDir dir;
    std::string sub = dir.file("ro");
    ASSERT_EQ(::mkdir(sub.c_str(), 0755), 0);
    std::string path = sub + "/kept.bag";
    std::ofstream(path) << "Zoom=R8:2\n";
    ASSERT_EQ(::chmod(sub.c_str(), 0555), 0);
    auto bag = open_bag(path);
    VARIANT v = VARIANT::R8(3);
    bag->Write("Zoom", &v);
    if (::geteuid() != 0) {  // root writes anywhere
        EXPECT_EQ(ole::SaveFilePropertyBag(bag.get()), E_FAIL);
        EXPECT_FALSE(win::GetErrorDetail().empty());
        EXPECT_EQ(read_text(path), "Zoom=R8:2\n");
    }
    ::chmod(sub.c_str(), 0755);
}

TEST(FilePropertyBag, RefusesNamesAndValuesItCannotKeep) {
    auto bag = open_bag("");
    VARIANT v = VARIANT::I4(1);
    EXPECT_EQ(bag->Write("a=b", &v), E_INVALIDARG);
    EXPECT_EQ(bag->Write("two\nlines", &v), E_INVALIDARG);
    VARIANT arr = VARIANT::FromArray(VT_UI1, SafeArray<uint8_t>(0, 3));
    EXPECT_EQ(bag->Write("array", &arr), E_INVALIDARG);
    EXPECT_EQ(ole::SaveFilePropertyBag(bag.get()), E_INVALIDARG) << "a bag without a file";
    lumtest::TempDir dir;
    std::string big = dir.file("big.bag");
    {
        std::ofstream out(big);
        std::string line(1 << 20, 'x');
        for (int i = 0; i < 17; ++i) out << "k" << i << "=BSTR:" << line << "\n";
    }
    ComPtr<IPropertyBag> refused;
    EXPECT_EQ(ole::CreateFilePropertyBag(big, refused.put()), STG_E_INVALIDFUNCTION);
    EXPECT_FALSE(refused);
}

}  // namespace
