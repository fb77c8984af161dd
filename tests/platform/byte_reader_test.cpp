// The byte reader of the hand-written parsers: a read past the end fails it for good, and
// nothing it hands out lies outside the buffer.
#include <gtest/gtest.h>

#include "platform/byte_reader.h"

using platform::ByteReader;

TEST(ByteReader, ReadsBothByteOrders) {
    const uint8_t b[] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06};
    ByteReader r(b, sizeof b);
    EXPECT_EQ(r.u16le(), 0x0201);
    EXPECT_EQ(r.u32be(), 0x03040506u);
    EXPECT_TRUE(r.ok());
    EXPECT_TRUE(r.at_end());
}

TEST(ByteReader, AShortReadFailsEveryLaterRead) {
    const uint8_t b[] = {0xAA, 0xBB, 0xCC};
    ByteReader r(b, sizeof b);
    EXPECT_EQ(r.u32le(), 0u) << "three bytes cannot make four";
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.u8(), 0) << "failed stays failed, even for what would fit";
    EXPECT_TRUE(r.bytes(1).empty());
    EXPECT_EQ(r.get(), -1);
    EXPECT_EQ(r.remaining(), 0u);
}

TEST(ByteReader, SeeksAndSubReadersStayInside) {
    const uint8_t b[] = {1, 2, 3, 4, 5, 6, 7, 8};
    ByteReader r(b, sizeof b);
    r.seek(6);
    EXPECT_EQ(r.u16le(), 0x0807);
    EXPECT_FALSE(r.at(4, 5).ok()) << "a part beyond the end";
    EXPECT_FALSE(r.at(SIZE_MAX, 1).ok()) << "offsets that would wrap";
    ByteReader part = r.at(2, 3);
    EXPECT_EQ(part.u8(), 3);
    EXPECT_EQ(part.u16be(), 0x0405);
    EXPECT_EQ(part.u8(), 0);
    EXPECT_FALSE(part.ok());
    EXPECT_TRUE(r.ok()) << "a part's failure is its own";
    r.seek(9);
    EXPECT_FALSE(r.ok());
}

TEST(ByteReader, TextReadsSeeTheEndWithoutFailing) {
    const uint8_t b[] = {'P', '5'};
    ByteReader r(b, sizeof b);
    EXPECT_EQ(r.peek(), 'P');
    EXPECT_EQ(r.get(), 'P');
    EXPECT_EQ(r.get(), '5');
    EXPECT_EQ(r.get(), -1);
    EXPECT_TRUE(r.ok());
    ByteReader none(nullptr, 100);
    EXPECT_EQ(none.size(), 0u) << "no data, no size";
}
