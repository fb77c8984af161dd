// The SANE worker under real faults: devices of the tests' own backend (tests/engines/
// fake_sane.cpp) that hang, crash or report parameters that do not fit their data. Each
// acquisition ends in a status, no worker is left behind as a zombie, the host scans on, and
// the next call starts a fresh worker.
#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "codes.h"
#include "engine/engine_fixture.h"
#include "support/test_env.h"

namespace lumtwain::test {
namespace {

const char* const kTestBackends[] = {"/usr/lib/x86_64-linux-gnu/sane/libsane-test.so.1",
                                     "/usr/lib/sane/libsane-test.so.1"};
const char* const kDevice0 = "Noname frontend-tester (test:0)";
// Deadlines: short for the tests that wait one out, generous for everything else so that a
// busy machine cannot make a healthy worker miss one.
constexpr int kShortDeadlineMs = 3000;
constexpr int kLongDeadlineMs = 60000;

std::string fake(const std::string& device) {
    return "LumFake Scanner (lumfake:" + device + ")";
}

struct Child {
    pid_t pid;
    std::string name;
    char state;
};

// This process's children, from /proc.
std::vector<Child> children() {
    std::vector<Child> out;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir("/proc"), closedir);
    for (dirent* e; dir && (e = readdir(dir.get()));) {
        std::ifstream in(std::string("/proc/") + e->d_name + "/stat");
        std::string line;
        if (!std::getline(in, line)) continue;
        size_t open = line.find('('), close = line.rfind(')');
        if (open == std::string::npos || close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid == getpid())
            out.push_back(
                {pid_t(std::atoi(e->d_name)), line.substr(open + 1, close - open - 1), state});
    }
    return out;
}

int zombies() {
    int n = 0;
    for (const Child& c : children()) n += c.state == 'Z';
    return n;
}

std::vector<pid_t> workers() {
    std::vector<pid_t> out;
    for (const Child& c : children())
        if (c.name.rfind("lumtwain-sane", 0) == 0 && c.state != 'Z') out.push_back(c.pid);
    return out;
}

class SaneWorkerTest : public EngineTest {
  protected:
    // One SANE configuration for the program (workers read it when they start): the test
    // backend and the fake one, found through LD_LIBRARY_PATH.
    static void SetUpTestSuite() {
        static lumtest::TempDir dir;
        s_dir = dir.path();
        std::ofstream(dir.file("dll.conf")) << "test\nlumfake\n";
        std::ofstream(dir.file("test.conf"))
            << "number_of_devices 1\ngeometry_max 432.0\nresolution 50.0\n";
        setenv("SANE_CONFIG_DIR", dir.path().c_str(), 1);
        std::string libs = lumtest::build_dir() + "/tests/engines";
        if (const char* old = getenv("LD_LIBRARY_PATH")) libs += std::string(":") + old;
        setenv("LD_LIBRARY_PATH", libs.c_str(), 1);
        Deadline(kLongDeadlineMs);
        setenv("LUMFAKE_FLAG", dir.file("hang-once").c_str(), 1);
        // Workers that crash on purpose leave no core files behind.
        rlimit none{0, 0};
        setrlimit(RLIMIT_CORE, &none);
    }
    void SetUp() override {
        bool found = false;
        for (const char* p : kTestBackends) found = found || access(p, R_OK) == 0;
        if (!found) GTEST_SKIP() << "SANE's test backend is not installed";
        EngineTest::SetUp();
        setenv("LUMTWAIN_SANE", "1", 1);
    }
    void TearDown() override {
        EngineTest::TearDown();
        Deadline(kLongDeadlineMs);
        setenv("LUMTWAIN_SANE", "0", 1);
        EXPECT_EQ(zombies(), 0);
    }
    // Taken by the next source manager that opens.
    static void Deadline(int ms) {
        setenv("LUMTWAIN_SANE_TIMEOUT_MS", std::to_string(ms).c_str(), 1);
    }
    void Open(const std::string& name) {
        ASSERT_EQ(LUMTWAIN_OpenSource(name.c_str()), 1)
            << name << ": condition " << LUMTWAIN_GetLastConditionCode();
    }
    // The host still works: the virtual scanner and the test backend both scan.
    void ExpectScanningWorks() {
        LUMTWAIN_UnloadSourceManager();
        Deadline(kLongDeadlineMs);
        Open("Virtual Scanner");
        EXPECT_FALSE(Acquire().empty()) << "the virtual scanner";
        LUMTWAIN_CloseSource();
        Open(kDevice0);
        LUMTWAIN_SetCurrentUnits(kTwunMillimeters);
        ASSERT_EQ(LUMTWAIN_SetImageLayout(0, 0, 20, 20), 1);
        EXPECT_FALSE(Acquire().empty()) << "test:0, condition " << LUMTWAIN_GetLastConditionCode();
    }
    static inline std::string s_dir;
};

struct Fault {
    const char* device;
    int condition;
};

void PrintTo(const Fault& f, std::ostream* os) {
    *os << f.device;
}

class SaneFault : public SaneWorkerTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(SaneFault, EndsInAFailedTransferAndTheHostScansOn) {
    Deadline(kShortDeadlineMs);
    Open(fake(GetParam().device));
    std::vector<pid_t> before = workers();
    ASSERT_EQ(before.size(), 1u) << "one worker for the session";
    EXPECT_TRUE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_XferFail(), 1) << "the control reports status 34";
    EXPECT_EQ(LUMTWAIN_UserClosedSource(), 0);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), GetParam().condition);
    EXPECT_EQ(LUMTWAIN_State(), 4) << "the source stays open";
    EXPECT_EQ(zombies(), 0);
    if (GetParam().condition != kTwccOperationError) {
        EXPECT_EQ(kill(before[0], 0), -1) << "a worker that stopped answering is gone";
    }
    ExpectScanningWorks();
}

INSTANTIATE_TEST_SUITE_P(Devices, SaneFault,
                         ::testing::Values(Fault{"hang-read", kTwccCheckDeviceOnline},
                                           Fault{"hang-start", kTwccCheckDeviceOnline},
                                           Fault{"endless", kTwccCheckDeviceOnline},
                                           Fault{"abort-read", kTwccBummer},
                                           Fault{"short-bpl", kTwccOperationError},
                                           Fault{"depth4", kTwccOperationError},
                                           Fault{"bad-format", kTwccOperationError},
                                           Fault{"huge-lines", kTwccOperationError},
                                           Fault{"overlong-read", kTwccOperationError},
                                           Fault{"frame-mismatch", kTwccOperationError}),
                         [](const auto& info) {
                             std::string n = info.param.device;
                             for (char& c : n)
                                 if (c == '-') c = '_';
                             return n;
                         });

TEST_F(SaneWorkerTest, ACrashWhileOpeningFailsTheOpenOnly) {
    LUMTWAIN_OpenSourceManager(0);
    EXPECT_EQ(LUMTWAIN_OpenSource(fake("abort-open").c_str()), 0);
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccBummer);
    EXPECT_EQ(LUMTWAIN_State(), 3);
    EXPECT_EQ(zombies(), 0);
    ExpectScanningWorks();
}

TEST_F(SaneWorkerTest, TheNextScanStartsAFreshWorkerAndReopensTheDevice) {
    std::ofstream(s_dir + "/hang-once") << "1";
    Deadline(kShortDeadlineMs);
    Open(fake("hang-once"));
    std::vector<pid_t> first = workers();
    EXPECT_TRUE(Acquire().empty());
    EXPECT_EQ(LUMTWAIN_GetLastConditionCode(), kTwccCheckDeviceOnline);
    EXPECT_TRUE(workers().empty()) << "the hung worker was killed and reaped";
    std::vector<uint8_t> page = Acquire();
    ASSERT_FALSE(page.empty()) << "condition " << LUMTWAIN_GetLastConditionCode();
    std::vector<pid_t> second = workers();
    ASSERT_EQ(second.size(), 1u);
    EXPECT_NE(second, first);
    auto view = ParseDib(page.data(), page.size());
    ASSERT_TRUE(view);
    EXPECT_EQ(view->width(), 64);
}

TEST_F(SaneWorkerTest, AReaderCancelledInsideALockDoesNotHangTheScan) {
    // In-process, libsane would wait for ever for the reader thread (see fake_sane.cpp).
    Open(fake("cancel-race"));
    for (int i = 0; i < 3; ++i)
        ASSERT_FALSE(Acquire().empty())
            << "scan " << i << ", condition " << LUMTWAIN_GetLastConditionCode();
}

TEST_F(SaneWorkerTest, PagesComeThroughTheWorkerUnchanged) {
    Open(fake("good"));
    ASSERT_EQ(LUMTWAIN_SetCurrentPixelType(kTwptGray), 1);
    std::vector<uint8_t> page = Acquire();
    auto view = ParseDib(page.data(), page.size());
    ASSERT_TRUE(view) << "condition " << LUMTWAIN_GetLastConditionCode();
    ASSERT_EQ(view->width(), 64);
    ASSERT_EQ(view->height(), 48);
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 64; ++x)
            ASSERT_EQ(view->grey(x, y), uint8_t(3 * x + y)) << x << "," << y;
}

TEST_F(SaneWorkerTest, TheHostNeverLoadsLibsane) {
    ExpectScanningWorks();
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) ASSERT_EQ(line.find("libsane"), std::string::npos) << line;
}

TEST_F(SaneWorkerTest, ClosingTheManagerEndsTheWorker) {
    ASSERT_EQ(LUMTWAIN_OpenSourceManager(0), 1);
    EXPECT_EQ(workers().size(), 1u);
    ASSERT_EQ(LUMTWAIN_CloseSourceManager(0), 1);
    EXPECT_TRUE(workers().empty());
    EXPECT_EQ(zombies(), 0);
}

// Sessions belong to their threads, and so do their workers: two threads scan side by side.
TEST_F(SaneWorkerTest, EachThreadHasAWorkerOfItsOwn) {
    int pages[2] = {0, 0};
    auto scan = [&](int i) {
        setenv("LUMTWAIN_SANE", "1", 1);
        if (LUMTWAIN_OpenSource(fake("good").c_str()) != 1) return;
        for (int n = 0; n < 5; ++n) pages[i] += !TakeBlock(LUMTWAIN_AcquireNative(0)).empty();
        LUMTWAIN_UnloadSourceManager();
    };
    std::thread a(scan, 0), b(scan, 1);
    a.join();
    b.join();
    EXPECT_EQ(pages[0], 5);
    EXPECT_EQ(pages[1], 5);
    EXPECT_TRUE(workers().empty()) << "each thread's worker ended with its manager";
    EXPECT_EQ(zombies(), 0);
}

TEST_F(SaneWorkerTest, ErrorDisplayNamesTheParameterThatDoesNotFit) {
    LUMTWAIN_SetShowError(1);
    Open(fake("short-bpl"));
    testing::internal::CaptureStderr();
    EXPECT_TRUE(Acquire().empty());
    std::string said = testing::internal::GetCapturedStderr();
    LUMTWAIN_SetShowError(0);
    EXPECT_NE(said.find("bytes_per_line 150"), std::string::npos) << said;
}

}  // namespace
}  // namespace lumtwain::test
