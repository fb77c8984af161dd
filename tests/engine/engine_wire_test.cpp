// The messages between the engine and its SANE worker, and the check on the pages it sends.
#include <sys/mman.h>
#include <sys/socket.h>

#include "codes.h"
#include "dib.h"
#include "engine_fixture.h"
#include "protocol.h"
#include "sane_link.h"

namespace lumtwain::test {
namespace {

wire::OpenReply sample_open() {
    wire::OpenReply o;
    o.status = 0;
    o.handle = 7;
    wire::OptionInfo mode;
    mode.name = "mode";
    mode.type = 3;
    mode.size = 16;
    mode.cap = 5;
    mode.strings = {"Gray", "Color"};
    mode.has_text = true;
    mode.text = "Color";
    wire::OptionInfo res;
    res.name = "resolution";
    res.type = 2;
    res.size = 4;
    res.has_range = true;
    res.min = 1;
    res.max = 1200;
    res.quant = 0.5;
    res.words = {75, 150};
    res.has_number = true;
    res.number = 50;
    o.options = {mode, res};
    return o;
}

TEST(Wire, OpenReplyRoundTrips) {
    wire::Writer w;
    wire::Put(w, sample_open());
    wire::Reader r(w.bytes());
    wire::OpenReply back;
    ASSERT_TRUE(wire::Get(r, &back));
    EXPECT_TRUE(r.at_end());
    ASSERT_EQ(back.options.size(), 2u);
    EXPECT_EQ(back.handle, 7u);
    EXPECT_EQ(back.options[0].strings[1], "Color");
    EXPECT_EQ(back.options[1].max, 1200);
    EXPECT_EQ(back.options[1].words[1], 150);
}

TEST(Wire, EveryTruncationOfAMessageFails) {
    wire::Writer w;
    wire::Put(w, sample_open());
    const std::vector<uint8_t>& bytes = w.bytes();
    for (size_t n = 0; n < bytes.size(); ++n) {
        wire::Reader r(bytes.data(), n);
        wire::OpenReply back;
        EXPECT_FALSE(wire::Get(r, &back)) << "cut at " << n;
    }
}

TEST(Wire, CountsBeyondTheMessageFailWithoutAllocating) {
    wire::Writer w;
    w.i32(0);
    w.u32(1);
    w.u32(0xFFFFFFF0u);  // options
    wire::Reader r(w.bytes());
    wire::OpenReply back;
    EXPECT_FALSE(wire::Get(r, &back));
    EXPECT_TRUE(back.options.empty());
}

TEST(Wire, NonFiniteNumbersAndBadFlagsFail) {
    wire::Writer w;
    w.f64(std::numeric_limits<double>::quiet_NaN());
    wire::Reader r(w.bytes());
    r.f64();
    EXPECT_FALSE(r.ok());
    wire::Writer f;
    f.u32(2);
    wire::Reader rf(f.bytes());
    rf.flag();
    EXPECT_FALSE(rf.ok());
}

TEST(Wire, ScanReplyRefusesAPageLargerThanTheLimit) {
    wire::ScanReply s;
    s.dib_bytes = kMaxDibBytes + 1;
    wire::Writer w;
    wire::Put(w, s);
    wire::Reader r(w.bytes());
    wire::ScanReply back;
    EXPECT_FALSE(wire::Get(r, &back));
}

TEST(Wire, MessagesAndDescriptorsCrossASocket) {
    int sv[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0, sv), 0);
    wire::UniqueFd a(sv[0]), b(sv[1]);
    wire::UniqueFd mem(memfd_create("test", MFD_CLOEXEC));
    ASSERT_TRUE(mem);
    ASSERT_TRUE(wire::Send(a.get(), {wire::Kind::Reply, 42, {1, 2, 3}}, mem.get()));
    wire::Message m;
    wire::UniqueFd got;
    ASSERT_TRUE(wire::Receive(b.get(), &m, &got));
    EXPECT_EQ(m.seq, 42u);
    EXPECT_EQ(m.body, (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(got);
    std::vector<uint8_t> big(wire::kMaxMessageBytes + 1);
    EXPECT_FALSE(wire::Send(a.get(), {wire::Kind::Reply, 1, big}));
    a.reset();
    EXPECT_FALSE(wire::Receive(b.get(), &m, &got)) << "the peer is gone";
}

std::vector<uint8_t> small_dib(int w, int h, int bits) {
    DibFormat s{w, h, bits, 100, 100, false};
    auto layout = ComputeDibLayout(s);
    std::vector<uint8_t> dib(layout->total);
    WriteDib(
        s, *layout, [](int, uint8_t*) {}, dib.data());
    return dib;
}

TEST(WorkerPages, OnlyWholeDibsAreTaken) {
    for (int bits : {1, 8, 24}) {
        std::vector<uint8_t> dib = small_dib(5, 3, bits);
        EXPECT_TRUE(IsWholeDib(dib.data(), dib.size())) << bits;
        EXPECT_FALSE(IsWholeDib(dib.data(), dib.size() - 1)) << "short, " << bits;
        dib.push_back(0);
        EXPECT_FALSE(IsWholeDib(dib.data(), dib.size())) << "trailing bytes, " << bits;
    }
    std::vector<uint8_t> dib = small_dib(5, 3, 8);
    reinterpret_cast<BITMAPINFOHEADER*>(dib.data())->biHeight = -3;
    EXPECT_FALSE(IsWholeDib(dib.data(), dib.size())) << "top-down";
}

TEST(WorkerPages, AMemfdShorterThanAnnouncedIsRefused) {
    std::vector<uint8_t> dib = small_dib(5, 3, 24);
    wire::UniqueFd mem(memfd_create("page", MFD_CLOEXEC));
    ASSERT_EQ(write(mem.get(), dib.data(), dib.size()), ssize_t(dib.size()));
    int condition = 0;
    EXPECT_EQ(ReadWorkerDib(mem.get(), dib.size() + 4, &condition), 0u);
    EXPECT_EQ(condition, kTwccOperationError);
    HGLOBAL block = ReadWorkerDib(mem.get(), dib.size(), &condition);
    ASSERT_NE(block, 0u);
    EXPECT_EQ(TakeBlock(block), dib);
}

}  // namespace
}  // namespace lumtwain::test
