// Handle tables of the per-thread context: values that never come back while a host may
// still hold them, lookups confined to their kind and their thread, and cross-thread
// releases run by the owner.
#include <gtest/gtest.h>

#include <thread>
#include <unordered_set>

#include "platform/context.h"
#include "lumtwainpro/ole.h"
#include "platform/win/win.h"

#define EXPECT_FAILED(hr) EXPECT_TRUE(FAILED(hr))

TEST(HandleTable, StaleAndForeignKindHandlesAreRejected) {
    platform::HandleTable<int> a(platform::HandleKind::Global);
    platform::HandleTable<int> b(platform::HandleKind::Image);
    uint32_t h = a.insert(std::make_unique<int>(7));
    ASSERT_NE(h, 0u);
    EXPECT_EQ(h >> 31, 0u) << "identifiers stay positive Longs";
    EXPECT_EQ(*a.find(h), 7);
    EXPECT_EQ(b.find(h), nullptr) << "a handle of another kind must not resolve";
    ASSERT_TRUE(a.erase(h));
    EXPECT_EQ(a.find(h), nullptr);
    EXPECT_EQ(a.find(0), nullptr);
    EXPECT_FALSE(a.erase(h));
}

TEST(HandleTable, OneSlotReusedAMillionTimesNeverRepeatsAValue) {
    platform::HandleTable<int> t(platform::HandleKind::Graphics);
    uint32_t first = t.insert(std::make_unique<int>(0));
    ASSERT_TRUE(t.erase(first));
    for (int i = 1; i <= (1 << 20) + 1; ++i) {
        uint32_t h = t.insert(std::make_unique<int>(i));
        ASSERT_NE(h, first) << "cycle " << i;
        ASSERT_TRUE(t.erase(h));
    }
    EXPECT_EQ(t.size(), 0u) << "closed entries leave nothing behind";
}

TEST(HandleTable, DestroysNewestFirstAndListsInCreationOrder) {
    std::vector<int> order;
    struct Noisy {
        Noisy(std::vector<int>* l, int i) : log(l), id(i) {}
        ~Noisy() { log->push_back(id); }
        std::vector<int>* log;
        int id;
    };
    std::vector<uint32_t> made;
    {
        platform::HandleTable<Noisy> t(platform::HandleKind::Window);
        for (int i = 0; i < 5; ++i) made.push_back(t.insert(std::make_unique<Noisy>(&order, i)));
        EXPECT_EQ(t.ordered(), made);
    }
    EXPECT_EQ(order, (std::vector<int>{4, 3, 2, 1, 0}));
}

TEST(ThreadContext, HandlesOfAnotherThreadAreUnknownHere) {
    HGLOBAL foreign = 0;
    std::thread([&] {
        foreign = GlobalAlloc(GMEM_MOVEABLE, 16);
        // The block would be freed with its thread's context; keep it alive past the check.
        EXPECT_NE(GlobalLock(foreign), nullptr);
        GlobalUnlock(foreign);
    }).join();
    ASSERT_NE(foreign, 0u);
    HGLOBAL mine = GlobalAlloc(GMEM_MOVEABLE, 16);
    EXPECT_NE(mine, foreign);
    EXPECT_EQ(GlobalLock(foreign), nullptr);
    EXPECT_EQ(GlobalSize(foreign), 0u);
    EXPECT_EQ(GlobalFree(foreign), foreign) << "a foreign handle is refused, not freed here";
    EXPECT_EQ(GlobalFree(mine), 0u);
}

TEST(ThreadContext, WorkPostedFromAnotherThreadRunsOnTheOwner) {
    auto mailbox = platform::ThreadContext::current().mailbox();
    std::thread::id ran_on;
    std::thread([&] {
        EXPECT_TRUE(mailbox->post([&] { ran_on = std::this_thread::get_id(); }));
    }).join();
    platform::ThreadContext::current();  // the owner's next use runs it
    EXPECT_EQ(ran_on, std::this_thread::get_id());
}

TEST(ThreadContext, PostingToAnEndedThreadIsRefused) {
    std::shared_ptr<platform::Mailbox> mailbox;
    std::thread([&] { mailbox = platform::ThreadContext::current().mailbox(); }).join();
    EXPECT_FALSE(mailbox->post([] { FAIL() << "must not run"; }));
}

TEST(ThreadContext, AStreamReleasedOnAnotherThreadFreesItsBlockOnItsOwn) {
    size_t before = win::live_global_blocks();
    IStream* raw = nullptr;
    ASSERT_EQ(CreateStreamOnHGlobal(0, TRUE, &raw), S_OK);
    ComPtr<IStream> stream = ComPtr<IStream>::adopt(raw);
    ULONG written = 0;
    ASSERT_EQ(stream->Write("abc", 3, &written), S_OK);
    HGLOBAL other_block = 0;
    std::thread([s = std::move(stream), &other_block]() mutable {
        other_block = GlobalAlloc(GMEM_MOVEABLE, 8);  // this thread's own block must survive
        ULONG n = 0;
        char buf[3];
        s->Seek(0, STREAM_SEEK_SET, nullptr);
        EXPECT_FAILED(s->Read(buf, 3, &n)) << "a foreign thread cannot reach the block";
        s = nullptr;  // the last reference goes here
        EXPECT_NE(GlobalLock(other_block), nullptr);
        GlobalUnlock(other_block);
    }).join();
    platform::ThreadContext::current();
    EXPECT_EQ(win::live_global_blocks(), before) << "freed on the owner thread";
}
