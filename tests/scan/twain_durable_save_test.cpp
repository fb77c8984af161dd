// Saves that fail leave the file they would replace as it was, say so, and leave no temporary
// file behind; a multipage file that cannot be completed is reported; a save never writes
// under an open multipage file; success is never reported for a file that was not written.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "scan/save_fixture.h"
#include "scan/virtual_scanner.h"
#include "support/file_probe.h"

namespace {

// Files cannot grow past `bytes` while this lives: writes beyond fail with EFBIG, as on a
// full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_handler = signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_old);
        rlimit lim{bytes, m_old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_old);
        signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_old{};
    sighandler_t m_handler;
};

std::vector<std::string> names_in(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void write_text(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string read_text(const std::string& path) {
    auto bytes = lumtest::read_file(path);
    return std::string(bytes.begin(), bytes.end());
}

struct SaveMember {
    const char* name;
    std::function<int32_t(twain&, const std::string&)> save;
};

const SaveMember kSaves[] = {
    {"bmp", [](twain& t, const std::string& p) { return t.SaveAsBmp(p); }},
    {"jpg", [](twain& t, const std::string& p) { return t.SaveAsJpeg(p, 90); }},
    {"png", [](twain& t, const std::string& p) { return t.SaveAsPng(p); }},
    {"gif", [](twain& t, const std::string& p) { return t.SaveAsGif(p); }},
    {"tif", [](twain& t, const std::string& p) { return t.SaveAsTiff(p, 2); }},
    {"g4.tif", [](twain& t, const std::string& p) { return t.SaveAsTiff(p, 4, 1); }},
};

class DurableSave : public TwainSave {};

}  // namespace

TEST_F(DurableSave, AFailedSaveKeepsTheOldFileAndLeavesNoTemporary) {
    make_native(800, 600);
    for (const SaveMember& m : kSaves) {
        std::string name = std::string("old.") + m.name;
        write_text(path(name), "the file that was there");
        int32_t status;
        {
            FileSizeLimit full(512);
            status = m.save(control, path(name));
        }
        EXPECT_EQ(status, Gdiplus::Win32Error) << m.name;
        EXPECT_TRUE(read_text(path(name)) == "the file that was there") << m.name;
        EXPECT_EQ(names_in(dir.path()), std::vector<std::string>{name}) << m.name;
        std::filesystem::remove(path(name));
    }
}

TEST_F(DurableSave, AFullDeviceIsAFailure) {
    if (access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
    make_native(64, 64);
    for (const SaveMember& m : kSaves)
        EXPECT_EQ(m.save(control, "/dev/full"), Gdiplus::Win32Error) << m.name;
    struct stat st {};
    ASSERT_EQ(stat("/dev/full", &st), 0);
    EXPECT_TRUE(S_ISCHR(st.st_mode)) << "the device itself is never replaced";
}

TEST_F(DurableSave, ASuccessfulSaveReplacesThroughLinksAndKeepsPermissions) {
    make_native(16, 16);
    write_text(path("real.png"), "old");
    chmod(path("real.png").c_str(), 0640);
    ASSERT_EQ(symlink("real.png", path("link.png").c_str()), 0);
    ASSERT_EQ(control.SaveAsPng(path("link.png")), 0);
    struct stat st {};
    ASSERT_EQ(lstat(path("link.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";
    ASSERT_EQ(stat(path("real.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_NE(read_text(path("real.png")), "old");
    EXPECT_EQ(names_in(dir.path()), (std::vector<std::string>{"link.png", "real.png"}));
}

TEST_F(DurableSave, AMultipageFileThatCannotBeCompletedIsReported) {
    make_native(300, 200);
    int32_t page = make_native(300, 200);
    make_native(300, 200);
    ASSERT_EQ(control.TiffSaveAsNativeMultiPage(path("book.tif"), 6), 0);
    {
        FileSizeLimit full(uint64_t(std::filesystem::file_size(path("book.tif"))) + 1000);
        EXPECT_EQ(control.TiffAddToNativeMultipage(page), Gdiplus::Win32Error);
        EXPECT_EQ(control.TiffCloseNativeMultiPage(), Gdiplus::Win32Error);
    }
    EXPECT_EQ(control.multi_page_image(), 0) << "the session is over all the same";
    EXPECT_EQ(control.TiffAddToNativeMultipage(page), 1) << "no session";
}

TEST_F(DurableSave, AFirstPageThatCannotBeWrittenOpensNoSession) {
    make_native(300, 200);
    FileSizeLimit full(1024);
    EXPECT_EQ(control.TiffSaveAsNativeMultiPage(path("book.tif"), 6), Gdiplus::Win32Error);
    EXPECT_EQ(control.multi_page_image(), 0);
}

TEST_F(DurableSave, NoSaveWritesUnderAnOpenMultipageFile) {
    int32_t page = make_native(40, 30);
    make_native(40, 30);  // the session's first page, the native image
    ASSERT_EQ(control.TiffSaveAsNativeMultiPage(path("book.tif"), 2), 0);
    ASSERT_EQ(link(path("book.tif").c_str(), path("hard.tif").c_str()), 0);
    ASSERT_EQ(symlink("book.tif", path("soft.tif").c_str()), 0);
    for (const char* name : {"book.tif", "hard.tif", "soft.tif"}) {
        EXPECT_EQ(control.SaveAsTiff(path(name)), Gdiplus::Win32Error) << name;
        EXPECT_EQ(control.SaveAsBmp(path(name)), Gdiplus::Win32Error) << name;
    }
    twain other;
    other.SetNativeImage(page);
    EXPECT_EQ(other.TiffSaveAsNativeMultiPage(path("book.tif")), Gdiplus::Win32Error)
        << "a second session on the same file";
    ASSERT_EQ(control.TiffAddToNativeMultipage(page), 0);
    ASSERT_EQ(control.TiffCloseNativeMultiPage(), 0);
    EXPECT_EQ(lumtest::tiff_pages(lumtest::read_file(path("book.tif"))).size(), 2u)
        << "the session's file is intact";
    control.SetNativeImage(page);
    EXPECT_EQ(control.SaveAsTiff(path("book.tif")), 0) << "free again once completed";
}

TEST_F(TwainSave, WithoutAnyImageNoMemberReportsSuccess) {
    SafeArray<uint8_t> bytes;
    int32_t count = 0;
    ComPtr<IStream> stream;
    std::vector<std::function<int32_t()>> members = {
        [&] { return control.SaveAsBmp(path("a.bmp")); },
        [&] { return control.SaveAsJpeg(path("a.jpg")); },
        [&] { return control.SaveAsPng(path("a.png")); },
        [&] { return control.SaveAsGif(path("a.gif")); },
        [&] { return control.SaveAsTiff(path("a.tif")); },
        [&] { return control.TiffSaveAsNativeMultiPage(path("b.tif")); },
        [&] { return control.SaveAsByteArray(bytes, count, "png"); },
        [&] { return control.SaveAsStream(stream, "png"); },
        [&] { return control.SetHorizontalResolution(300); },
        [&] { return control.SetVerticalResolution(300); },
        [&] {
            control.SaveAsString("png");
            return control.GetStat();
        },
    };
    for (size_t i = 0; i < members.size(); ++i) {
        // Closing the native image succeeds: the last status is 0 and there is no image.
        ASSERT_EQ(control.CloseImage(make_native(8, 8)), 0);
        ASSERT_EQ(control.GetNativeImage(), 0);
        EXPECT_EQ(members[i](), LumTwainInvalidParameter) << "member " << i;
        EXPECT_EQ(control.GetStat(), LumTwainInvalidParameter) << "member " << i;
    }
    EXPECT_TRUE(names_in(dir.path()).empty()) << "nothing was written";
}

class AfterACancelledScan : public VirtualScannerTest {};

TEST_F(AfterACancelledScan, SavesKeepTheFailingStatus) {
    configure("cancel_at_page = 1\n");
    control->TwainSetHideUI(true);
    EXPECT_EQ(control->TwainAcquireToImageID(), 0);
    ASSERT_EQ(control->GetStat(), LumTwainTransferCanceled);
    lumtest::TempDir out;
    EXPECT_EQ(control->SaveAsJpeg(out.file("page.jpg")), LumTwainTransferCanceled)
        << "a host may check once at the end";
    EXPECT_TRUE(names_in(out.path()).empty());
}
