#include "image/tga.h"
#include "tests/support/temp_dir.h"
#include "tests/support/tga_bytes.h"

#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

typedef std::vector<unsigned char> Bytes;

class ReadTgaTest : public ::testing::Test {
  protected:
    // Writes the file and reads it back; the outputs start at -1 to show what was written.
    void Read(const Bytes &file) {
        WriteBytes(path, file);
        ReadPath(path);
    }
    void ReadPath(const std::string &p) {
        width = height = depth = -1;
        free(pixels);
        pixels = ReadTGA(p.c_str(), &width, &height, &depth);
    }
    Bytes Pixels(size_t n) const { return Bytes(pixels, pixels + n); }
    void ExpectOutputs(int w, int h, int d) {
        EXPECT_EQ(w, width);
        EXPECT_EQ(h, height);
        EXPECT_EQ(d, depth);
    }
    void TearDown() override { free(pixels); }

    TempDir dir;
    std::string path = dir.path("image.tga");
    unsigned char *pixels = nullptr;
    int width = -1, height = -1, depth = -1;
};

TEST_F(ReadTgaTest, DecodesEachDepthIntoItsChannelOrder) {
    TgaHeader h;
    h.width = 2;
    Read(TgaFile(h, {10, 20, 30, 40, 50, 60}));
    ASSERT_NE(nullptr, pixels);
    ExpectOutputs(2, 1, 24);
    EXPECT_EQ(Bytes({30, 20, 10, 60, 50, 40}), Pixels(6));

    h.width = 1;
    h.depth = 32;
    Read(TgaFile(h, {10, 20, 30, 80}));
    ASSERT_NE(nullptr, pixels);
    ExpectOutputs(1, 1, 32);
    EXPECT_EQ(Bytes({30, 20, 10, 80}), Pixels(4));

    h.imageType = 3;
    h.width = 3;
    h.depth = 8;
    Read(TgaFile(h, {7, 8, 9}));
    ASSERT_NE(nullptr, pixels);
    EXPECT_EQ(Bytes({7, 8, 9}), Pixels(3));
}

TEST_F(ReadTgaTest, DepthAloneChoosesTheDecoding) {
    TgaHeader h;
    h.imageType = 3; // gray type with colour depth: decoded as colour
    Read(TgaFile(h, {1, 2, 3}));
    ASSERT_NE(nullptr, pixels);
    EXPECT_EQ(Bytes({3, 2, 1}), Pixels(3));

    h.imageType = 2; // colour type with 8 bits: gray bytes unchanged
    h.depth = 8;
    h.width = 2;
    Read(TgaFile(h, {1, 2}));
    ASSERT_NE(nullptr, pixels);
    EXPECT_EQ(Bytes({1, 2}), Pixels(2));
}

TEST_F(ReadTgaTest, SkipsTheImageIdAndIgnoresWhatFollowsThePixels) {
    TgaHeader h;
    h.idLength = 5;
    h.descriptor = 0x20; // top-left origin: rows still come back in file order
    h.height = 2;
    Read(TgaFile(h, {1, 2, 3, 4, 5, 6, 0xEE, 0xEE}));
    ASSERT_NE(nullptr, pixels);
    ExpectOutputs(1, 2, 24);
    EXPECT_EQ(Bytes({3, 2, 1, 6, 5, 4}), Pixels(6));
}

TEST_F(ReadTgaTest, LargeImagesDecodeEveryPixel) {
    TgaHeader h;
    h.width = 300;
    h.height = 7;
    for (int d : {24, 32}) {
        h.depth = d;
        int bpp = d / 8;
        Bytes data(300 * 7 * bpp);
        for (size_t i = 0; i < data.size(); i++)
            data[i] = (unsigned char)(i * 7 + i / 3);
        Read(TgaFile(h, data));
        ASSERT_NE(nullptr, pixels);
        for (size_t p = 0; p < data.size(); p += bpp) {
            ASSERT_EQ(data[p + 2], pixels[p]) << p;
            ASSERT_EQ(data[p + 1], pixels[p + 1]) << p;
            ASSERT_EQ(data[p], pixels[p + 2]) << p;
            if (bpp == 4) ASSERT_EQ(data[p + 3], pixels[p + 3]) << p;
        }
    }
}

TEST_F(ReadTgaTest, RejectedHeadersLeaveTheOutputsUntouched) {
    for (int type : {0, 1, 9, 10, 11, 32}) {
        TgaHeader h;
        h.imageType = type;
        Read(TgaFile(h, {1, 2, 3}));
        EXPECT_EQ(nullptr, pixels) << type;
        ExpectOutputs(-1, -1, -1);
    }
    TgaHeader mapped;
    mapped.colorMapType = 1;
    Read(TgaFile(mapped, {1, 2, 3}));
    EXPECT_EQ(nullptr, pixels);
    ExpectOutputs(-1, -1, -1);
}

TEST_F(ReadTgaTest, UnsupportedDepthsAndShortDataStillReportTheHeader) {
    TgaHeader h;
    h.depth = 16;
    h.width = 2;
    Read(TgaFile(h, {1, 2, 3, 4}));
    EXPECT_EQ(nullptr, pixels);
    ExpectOutputs(2, 1, 16);

    h.depth = 24;
    h.height = 2;
    Read(TgaFile(h, Bytes(11, 9))); // one byte short of 2 × 2 × 3
    EXPECT_EQ(nullptr, pixels);
    ExpectOutputs(2, 2, 24);

    h.idLength = 20; // the image ID claims more bytes than the file has
    h.width = h.height = 1;
    Read(TgaFile(h, {}));
    EXPECT_EQ(nullptr, pixels);
}

TEST_F(ReadTgaTest, HeaderPromisingMoreThanTheFileHoldsGivesNoImage) {
    TgaHeader h;
    h.width = h.height = 65535;
    h.depth = 32; // 17 GB of pixels, over 32 bits
    Read(TgaFile(h, Bytes(64, 1)));
    EXPECT_EQ(nullptr, pixels);
    ExpectOutputs(65535, 65535, 32);
}

TEST_F(ReadTgaTest, EmptyImagesAreImages) {
    TgaHeader h;
    h.width = 0;
    h.height = 4;
    Read(TgaFile(h, {}));
    EXPECT_NE(nullptr, pixels);
    ExpectOutputs(0, 4, 24);
}

TEST_F(ReadTgaTest, ShortOrMissingFilesGiveNoImage) {
    Bytes header = TgaFile(TgaHeader(), {1, 2, 3});
    for (size_t n : {0, 1, 3, 17}) {
        Read(Bytes(header.begin(), header.begin() + n));
        EXPECT_EQ(nullptr, pixels) << n;
        ExpectOutputs(-1, -1, -1);
    }
    ReadPath(dir.path("missing.tga"));
    EXPECT_EQ(nullptr, pixels);
    ExpectOutputs(-1, -1, -1);
    ReadPath(dir.prefix()); // a folder
    EXPECT_EQ(nullptr, pixels);
    EXPECT_EQ(nullptr, ReadTGA(nullptr, &width, &height, &depth));
}

TEST_F(ReadTgaTest, ReadOnlyFilesAreImages) {
    TgaHeader h;
    WriteBytes(path, TgaFile(h, {1, 2, 3}));
    ASSERT_EQ(0, chmod(path.c_str(), 0444));
    ReadPath(path);
    ASSERT_NE(nullptr, pixels);
    EXPECT_EQ(Bytes({3, 2, 1}), Pixels(3));
}

// A FIFO under the picture's name is no picture: refused at once, whether no writer ever
// comes (an open would wait for one) or a writer holds it open and writes nothing (a read
// would wait for its bytes).
TEST_F(ReadTgaTest, AFifoIsRefusedWithoutWaiting) {
    ASSERT_EQ(0, mkfifo(path.c_str(), 0600));
    for (bool writer : {false, true}) {
        SCOPED_TRACE(writer ? "a silent writer" : "no writer");
        int held = writer ? open(path.c_str(), O_RDWR | O_NONBLOCK) : -1;
        ASSERT_EQ(writer, held >= 0);
        std::future<unsigned char *> read = std::async(std::launch::async, [this] {
            int w, h, d;
            return ReadTGA(path.c_str(), &w, &h, &d);
        });
        if (read.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
            // Come as the writer, or go as it, so that the blocked reader returns and the
            // test can end.
            if (held >= 0) close(held);
            held = open(path.c_str(), O_WRONLY | O_NONBLOCK);
            if (held >= 0) close(held);
            held = -1;
            ADD_FAILURE() << "ReadTGA waited on a FIFO";
        }
        unsigned char *fifoPixels = read.get();
        EXPECT_EQ(nullptr, fifoPixels);
        free(fifoPixels);
        if (held >= 0) close(held);
    }
}

TEST(TgaDecoders, ReadExactlyTheLengthOrNothing) {
    TempDir dir;
    std::string p = dir.path("raw");
    WriteBytes(p, {1, 2, 3, 4, 5, 6, 7, 8});
    FILE *f = fopen(p.c_str(), "rb");
    ASSERT_NE(nullptr, f);
    unsigned char *rgba = getRGBA(f, 8);
    ASSERT_NE(nullptr, rgba);
    EXPECT_EQ(Bytes({3, 2, 1, 4, 7, 6, 5, 8}), Bytes(rgba, rgba + 8));
    free(rgba);
    rewind(f);
    EXPECT_EQ(nullptr, getRGB(f, 9));
    rewind(f);
    unsigned char *rgb = getRGB(f, 8); // no whole number of pixels: the rest stays as read
    ASSERT_NE(nullptr, rgb);
    EXPECT_EQ(Bytes({3, 2, 1, 6, 5, 4, 7, 8}), Bytes(rgb, rgb + 8));
    free(rgb);
    rewind(f);
    EXPECT_EQ(nullptr, getGray(f, -1));
    rewind(f);
    unsigned char *gray = getGray(f, 8);
    ASSERT_NE(nullptr, gray);
    EXPECT_EQ(Bytes({1, 2, 3, 4, 5, 6, 7, 8}), Bytes(gray, gray + 8));
    free(gray);
    fclose(f);
}

} // namespace
