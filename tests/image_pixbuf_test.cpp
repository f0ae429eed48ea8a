#include "image/pixbuf.h"

#include <gtest/gtest.h>
#include <numeric>
#include <vector>

namespace {

typedef std::vector<unsigned char> Bytes;

Bytes Count(int n) {
    Bytes b(n);
    std::iota(b.begin(), b.end(), 1);
    return b;
}

TEST(Flip, ExchangesWholeRowsAndKeepsTheMiddleOne) {
    Bytes five = Count(5 * 2); // 2 pixels of 1 byte per row
    util_flip(five.data(), 2, 5, 1);
    EXPECT_EQ(Bytes({9, 10, 7, 8, 5, 6, 3, 4, 1, 2}), five);

    Bytes four = Count(4 * 3);
    util_flip(four.data(), 1, 4, 3);
    EXPECT_EQ(Bytes({10, 11, 12, 7, 8, 9, 4, 5, 6, 1, 2, 3}), four);

    Bytes quad = Count(16);
    util_flip(quad.data(), 2, 2, 4);
    EXPECT_EQ(Bytes({9, 10, 11, 12, 13, 14, 15, 16, 1, 2, 3, 4, 5, 6, 7, 8}), quad);
}

TEST(Flip, DegenerateSizesLeaveTheBufferAlone) {
    Bytes b = Count(12);
    const Bytes original = b;
    util_flip(b.data(), 4, 0, 3);
    util_flip(b.data(), 4, 1, 3);
    util_flip(b.data(), 0, 4, 3);
    util_flip(b.data(), -4, 4, 3);
    util_flip(b.data(), 4, -1, 3);
    util_flip(nullptr, 4, 4, 3);
    EXPECT_EQ(original, b);
}

TEST(Flip, AndMirrorTwiceGiveTheBufferBack) {
    for (int bpp : {1, 3, 4}) {
        Bytes b = Count(7 * 5 * bpp);
        const Bytes original = b;
        util_flip(b.data(), 7, 5, bpp);
        EXPECT_NE(original, b);
        util_flip(b.data(), 7, 5, bpp);
        EXPECT_EQ(original, b);
        util_mirror(b.data(), 7, 5, bpp);
        EXPECT_NE(original, b);
        util_mirror(b.data(), 7, 5, bpp);
        EXPECT_EQ(original, b);
    }
}

TEST(Mirror, ReversesPixelsNotTheirBytes) {
    Bytes rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    util_mirror(rgb.data(), 2, 2, 3);
    EXPECT_EQ(Bytes({4, 5, 6, 1, 2, 3, 10, 11, 12, 7, 8, 9}), rgb);

    Bytes gray = {1, 2, 3};
    util_mirror(gray.data(), 3, 1, 1);
    EXPECT_EQ(Bytes({3, 2, 1}), gray);

    Bytes rgba = Count(8);
    util_mirror(rgba.data(), 2, 1, 4);
    EXPECT_EQ(Bytes({5, 6, 7, 8, 1, 2, 3, 4}), rgba);
}

TEST(Swap, ReversesByteOrder) {
    unsigned char four[] = {1, 2, 3, 4};
    swap(four);
    EXPECT_EQ(Bytes({4, 3, 2, 1}), Bytes(four, four + 4));
    unsigned char two[] = {1, 2};
    swap16(two);
    EXPECT_EQ(Bytes({2, 1}), Bytes(two, two + 2));
}

} // namespace
