#include "link/ByteRing.h"

#include <gtest/gtest.h>

#include <vector>

using namespace zorflash;

namespace {

TEST(ByteRing, RoundsTheRequestToAPowerOfTwoWithinBounds)
{
    const std::pair<int32_t, uint32_t> cases[] = {{4096, 4096},   {100, 128}, {10, 64},    {100000, 65536},
                                                  {64, 64},       {65, 128},  {65536, 65536}, {0, 64},
                                                  {-5, 64},       {0x7FFFFFFF, 65536}};
    for (const auto& [requested, capacity] : cases) {
        CByteRing ring(requested);
        EXPECT_EQ(ring.Capacity(), capacity) << requested;
        EXPECT_EQ(ring.FreeRoom(), capacity - 1) << requested;
    }
}

// A full ring and an empty one must differ, so the ring holds one byte fewer than its
// capacity; what a refused Put offered must not get in.
TEST(ByteRing, HoldsOneByteFewerThanItsCapacityAndRefusesMore)
{
    CByteRing ring(64);
    uint8_t byte = 0xEE;
    EXPECT_FALSE(ring.Get(byte));
    for (int i = 0; i < 63; ++i)
        ASSERT_TRUE(ring.Put(static_cast<uint8_t>(i)));
    EXPECT_FALSE(ring.Put(0xFF));
    EXPECT_EQ(ring.PutBlock(reinterpret_cast<const uint8_t*>("xyz"), 3), 0u);
    for (int i = 0; i < 63; ++i) {
        ASSERT_TRUE(ring.Get(byte));
        EXPECT_EQ(byte, i);
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
    for (uint32_t round = 1; round < 200; ++round) {
        uint8_t block[100];
        const uint32_t offer = (round * 7) % 70;
        for (uint32_t i = 0; i < offer; ++i)
            block[i] = static_cast<uint8_t>(sent.size() + i);
        const uint32_t room = ring.FreeRoom();
        uint32_t put = 0;
        if (round % 3 == 0)
            while (put < offer && ring.Put(block[put]))
                ++put;
        else
            put = ring.PutBlock(block, offer);
        ASSERT_EQ(put, std::min(offer, room));
        sent.insert(sent.end(), block, block + put);

        const uint32_t want = (round * 11) % 50;
        uint32_t got = 0;
        if (round % 2 == 0)
            while (got < want && ring.Get(block[got]))
                ++got;
        else
            got = ring.GetBlock(block, want);
        taken.insert(taken.end(), block, block + got);
        ASSERT_EQ(ring.Count(), sent.size() - taken.size());
    }
    std::vector<uint8_t> rest(ring.Count());
    ring.GetBlock(rest.data(), ring.Count());
    taken.insert(taken.end(), rest.begin(), rest.end());
    EXPECT_EQ(taken, sent);
}

}  // namespace
