#include "link/ByteRing.h"
#include "link/IoBuffer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

struct CapacityCase {
    int32_t requested;
    uint32_t capacity;
};

class ByteRingCapacity : public ::testing::TestWithParam<CapacityCase> {};

TEST_P(ByteRingCapacity, RoundsTheRequestToAPowerOfTwoWithinBounds)
{
    CByteRing ring(GetParam().requested);
    EXPECT_EQ(ring.Capacity(), GetParam().capacity);
    EXPECT_EQ(ring.Count(), 0u);
    EXPECT_EQ(ring.FreeRoom(), GetParam().capacity - 1);
}

INSTANTIATE_TEST_SUITE_P(Requests, ByteRingCapacity,
                         ::testing::Values(CapacityCase{4096, 4096}, CapacityCase{100, 128}, CapacityCase{10, 64},
                                           CapacityCase{100000, 65536}, CapacityCase{64, 64},
                                           CapacityCase{65, 128}, CapacityCase{65536, 65536},
                                           CapacityCase{0, 64}, CapacityCase{-5, 64},
                                           CapacityCase{0x7FFFFFFF, 65536}));

TEST(ByteRing, HoldsOneByteFewerThanItsCapacityAndRefusesMore)
{
    CByteRing ring(64);
    uint8_t byte = 0xEE;
    EXPECT_FALSE(ring.Get(byte));
    EXPECT_EQ(byte, 0xEE);
    for (int i = 0; i < 63; ++i)
        ASSERT_TRUE(ring.Put(static_cast<uint8_t>(i)));
    EXPECT_EQ(ring.Count(), 63u);
    EXPECT_FALSE(ring.Put(0xFF));
    EXPECT_EQ(ring.PutBlock(reinterpret_cast<const uint8_t*>("xyz"), 3), 0u);
    EXPECT_EQ(ring.Count(), 63u);
    for (int i = 0; i < 63; ++i) {
        ASSERT_TRUE(ring.Get(byte));
        EXPECT_EQ(byte, i);  // nothing the refused Put offered got in
    }
    EXPECT_FALSE(ring.Get(byte));
}

// Byte and block forms must agree in order and in count, across the wrap of the storage,
// whatever the sizes of the pieces moved.
TEST(ByteRing, BlockAndByteFormsKeepOrderAcrossTheWrap)
{
    CByteRing ring(64);
    std::vector<uint8_t> sent;
    std::vector<uint8_t> taken;
    uint8_t next = 0;
    for (uint32_t round = 1; round < 200; ++round) {
        uint8_t block[100];
        const uint32_t offer = (round * 7) % 70;
        for (uint32_t i = 0; i < offer; ++i)
            block[i] = static_cast<uint8_t>(next + i);
        const uint32_t room = ring.FreeRoom();
        uint32_t put = 0;
        if (round % 3 == 0) {
            while (put < offer && ring.Put(block[put]))
                ++put;
        } else {
            put = ring.PutBlock(block, offer);
        }
        ASSERT_EQ(put, std::min(offer, room));
        sent.insert(sent.end(), block, block + put);
        next = static_cast<uint8_t>(next + put);

        uint8_t out[100];
        const uint32_t want = (round * 11) % 50;
        uint32_t got = 0;
        if (round % 2 == 0) {
            while (got < want && ring.Get(out[got]))
                ++got;
        } else {
            got = ring.GetBlock(out, want);
        }
        taken.insert(taken.end(), out, out + got);
        ASSERT_EQ(ring.Count(), sent.size() - taken.size());
    }
    std::vector<uint8_t> rest(ring.Count());
    ring.GetBlock(rest.data(), ring.Count());
    taken.insert(taken.end(), rest.begin(), rest.end());
    EXPECT_EQ(taken, sent);
}

TEST(IoBuffer, BorrowsGivenBytesAndOwnsAllocatedOnes)
{
    char text[] = "MORVENAL";
    CIoBuffer borrowed(reinterpret_cast<uint8_t*>(text), 3);
    EXPECT_EQ(borrowed.Data(), reinterpret_cast<uint8_t*>(text));
    EXPECT_EQ(borrowed.Length(), 3u);
    EXPECT_FALSE(borrowed.Owned());

    CIoBuffer textLength(reinterpret_cast<uint8_t*>(text), 0);
    EXPECT_EQ(textLength.Length(), 8u);

    CIoBuffer empty(nullptr, 0);
    EXPECT_EQ(empty.Data(), nullptr);
    EXPECT_EQ(empty.Length(), 0u);
    EXPECT_FALSE(empty.Owned());

    CIoBuffer owned(nullptr, 4096);
    ASSERT_NE(owned.Data(), nullptr);
    EXPECT_EQ(owned.Length(), 4096u);
    EXPECT_TRUE(owned.Owned());
    std::memset(owned.Data(), 0x5A, owned.Length());  // the whole length is ours to use
}

}  // namespace
