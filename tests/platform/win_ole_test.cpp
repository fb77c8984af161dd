// The win and ole stand-ins: global memory, streams, VARIANT coercion,
// GUID text, pictures, message boxes, version resource and the temporary folder.
#include <gtest/gtest.h>

#include <thread>

#include "lumtwainpro/ole.h"
#include "platform/gdiplus/gdiplus.h"
#include "support/test_env.h"

TEST(GlobalMemory, MovableBlocksLockAndFree) {
    size_t before = win::live_global_blocks();
    HGLOBAL m = GlobalAlloc(GHND, 100);
    ASSERT_NE(m, 0u);
    EXPECT_EQ(GlobalSize(m), 100u);
    auto* p = static_cast<BYTE*>(GlobalLock(m));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[99], 0) << "GHND zero-fills";
    EXPECT_FALSE(GlobalUnlock(m));
    EXPECT_EQ(GlobalFree(m), 0u);
    EXPECT_EQ(GlobalLock(m), nullptr) << "a freed block's handle is stale";
    EXPECT_EQ(GlobalFree(m), m);
    EXPECT_EQ(GlobalSize(m), 0u);
    EXPECT_EQ(win::live_global_blocks(), before);
}

TEST(GlobalMemory, ZeroSizedBlockStillLocks) {
    HGLOBAL m = GlobalAlloc(GMEM_MOVEABLE, 0);
    EXPECT_NE(GlobalLock(m), nullptr);
    GlobalUnlock(m);
    GlobalFree(m);
}

TEST(Stream, GrowsReadsSeeksAndStats) {
    ComPtr<IStream> s;
    ASSERT_EQ(CreateStreamOnHGlobal(0, TRUE, s.put()), S_OK);
    const char text[] = "hello world";
    ULONG n = 0;
    for (int i = 0; i < 1000; ++i) ASSERT_EQ(s->Write(text, 11, &n), S_OK);
    STATSTG st;
    ASSERT_EQ(s->Stat(&st, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(st.cbSize, 11000u);
    uint64_t pos = 0;
    ASSERT_EQ(s->Seek(-11, STREAM_SEEK_END, &pos), S_OK);
    EXPECT_EQ(pos, 10989u);
    char buf[32] = {};
    EXPECT_EQ(s->Read(buf, 32, &n), S_FALSE);
    EXPECT_EQ(n, 11u);
    EXPECT_STREQ(buf, "hello world");
    EXPECT_NE(s->Seek(-1, STREAM_SEEK_SET, nullptr), S_OK) << "seeking before the start fails";
}

TEST(Stream, ReleaseModesDecideWhoFreesTheBlock) {
    HGLOBAL keep = GlobalAlloc(GMEM_MOVEABLE, 4);
    {
        ComPtr<IStream> s;
        ASSERT_EQ(CreateStreamOnHGlobal(keep, FALSE, s.put()), S_OK);
        HGLOBAL got = 0;
        GetHGlobalFromStream(s.get(), &got);
        EXPECT_EQ(got, keep);
    }
    EXPECT_NE(GlobalLock(keep), nullptr) << "not freed on release";
    GlobalUnlock(keep);
    HGLOBAL owned = GlobalAlloc(GMEM_MOVEABLE, 4);
    {
        ComPtr<IStream> s;
        ASSERT_EQ(CreateStreamOnHGlobal(owned, TRUE, s.put()), S_OK);
        ComPtr<IStream> second = s;  // a second reference keeps it alive
        s = nullptr;
        EXPECT_NE(GlobalLock(owned), nullptr);
        GlobalUnlock(owned);
    }
    EXPECT_EQ(GlobalLock(owned), nullptr) << "freed with the last reference";
    GlobalFree(keep);
    EXPECT_EQ(CreateStreamOnHGlobal(0x12345, TRUE, nullptr), E_INVALIDARG);
}

TEST(Variant, CoercionFollowsThePlatform) {
    VARIANT out;
    auto to = [&](const VARIANT& v, VARTYPE vt) { return VariantChangeType(&out, &v, 0, vt); };
    ASSERT_EQ(to(VARIANT::R8(2.5), VT_I4), S_OK);
    EXPECT_EQ(out.lVal, 2) << "halves round to even";
    ASSERT_EQ(to(VARIANT::R8(3.5), VT_I4), S_OK);
    EXPECT_EQ(out.lVal, 4);
    EXPECT_EQ(to(VARIANT::R8(3e10), VT_I4), DISP_E_OVERFLOW);
    EXPECT_EQ(to(VARIANT::I4(40000), VT_I2), DISP_E_OVERFLOW);
    EXPECT_EQ(to(VARIANT::I4(256), VT_UI1), DISP_E_OVERFLOW);
    ASSERT_EQ(to(VARIANT::Str(" 42 "), VT_I4), S_OK);
    EXPECT_EQ(out.lVal, 42);
    EXPECT_EQ(to(VARIANT::Str("4x"), VT_I4), DISP_E_TYPEMISMATCH);
    ASSERT_EQ(to(VARIANT::I4(5), VT_BOOL), S_OK);
    EXPECT_EQ(out.lVal, -1);
    ASSERT_EQ(to(VARIANT::Bool(true), VT_BSTR), S_OK);
    EXPECT_EQ(out.bstrVal, "True");
    ASSERT_EQ(to(VARIANT::R8(1.5), VT_BSTR), S_OK);
    EXPECT_EQ(out.bstrVal, "1.5");
}

TEST(Guid, TextRoundTrips) {
    char buf[40];
    ASSERT_EQ(StringFromGUID2(IID_IDispatch, buf, 40), 39);
    EXPECT_STREQ(buf, "{00020400-0000-0000-C000-000000000046}");
    EXPECT_EQ(StringFromGUID2(IID_IDispatch, buf, 38), 0);
    CLSID parsed;
    ASSERT_EQ(CLSIDFromString("{37d84f60-42cb-11ce-8135-00aa004bb851}", &parsed), S_OK);
    EXPECT_TRUE(parsed == IID_IPersistPropertyBag);
    EXPECT_NE(CLSIDFromString("{37d84f60-42cb-11ce-8135-00aa004bb85}", &parsed), S_OK);
    EXPECT_EQ(UuidToStringA(IID_IPersistStream), "00000109-0000-0000-c000-000000000046");
}

TEST(Picture, OwnsItsHandleOnlyWhenAsked) {
    for (BOOL own : {TRUE, FALSE}) {
        HBITMAP bm = CreateCompatibleBitmap(0, 4, 4);
        PICTDESC d;
        d.picType = PICTYPE_BITMAP;
        d.bmp.hbitmap = bm;
        IPicture* p = nullptr;
        ASSERT_EQ(OleCreatePictureIndirect(&d, IID_IPicture, own, reinterpret_cast<void**>(&p)),
                  S_OK);
        OLE_HANDLE h = 0;
        p->get_Handle(&h);
        EXPECT_EQ(h, bm);
        p->Release();
        BITMAP info;
        EXPECT_EQ(GetObject(bm, sizeof info, &info) != 0, own == FALSE);
        if (!own) DeleteObject(bm);
    }
}

TEST(MessageBox, RecordedPerThread) {
    win::SetMessageBoxEcho(false);
    win::TakeMessageBoxes();
    MessageBoxA(0, "one", "Error", MB_ICONSTOP);
    std::thread([] {
        win::SetMessageBoxEcho(false);
        MessageBoxA(0, "other thread", "x", 0);
    }).join();
    auto shown = win::TakeMessageBoxes();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "one");
    EXPECT_EQ(shown[0].type, MB_ICONSTOP);
    EXPECT_TRUE(win::TakeMessageBoxes().empty());
}

TEST(VersionResource, ReportsTheStandInVersion) {
    LumGdiplusSetFileVersion("5.1.3102.2180");
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA("GDIPLUS.DLL", &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> block(size);
    ASSERT_TRUE(GetFileVersionInfoA("gdiplus.dll", handle, size, block.data()));
    void* p = nullptr;
    UINT len = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &p, &len));
    auto* fi = static_cast<VS_FIXEDFILEINFO*>(p);
    EXPECT_EQ(fi->dwFileVersionMS, (5u << 16) | 1u);
    EXPECT_EQ(fi->dwFileVersionLS, (3102u << 16) | 2180u);
    EXPECT_EQ(GetFileVersionInfoSizeA("kernel32.dll", &handle), 0u);
    LumGdiplusSetFileVersion("");
    EXPECT_EQ(GetFileVersionInfoSizeA("gdiplus.dll", &handle), 0u) << "no version resource";
}

TEST(TempFolder, ReadsTmpThenTempThenTmpdir) {
    lumtest::ScopedEnv a("tmp", "");
    unsetenv("tmp");
    lumtest::ScopedEnv b("temp", "/var/tmp");
    EXPECT_EQ(win::GetTempFolder(), "/var/tmp/");
    lumtest::ScopedEnv c("tmp", "/scratch/");
    EXPECT_EQ(win::GetTempFolder(), "/scratch/");
}
