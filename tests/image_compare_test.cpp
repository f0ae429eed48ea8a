// The comparison metric on synthetic pictures, and the writer of in-memory pictures.
#include "validation/compare.h"
#include "image/tga.h"
#include "image/tgawrite.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <vector>

namespace {

const int W = 200, H = 100, kPixels = W * H;

struct Picture {
    std::vector<unsigned char> rgb = std::vector<unsigned char>(W * H * 3, 40);
    unsigned char *at(int x, int y) { return &rgb[((size_t)y * W + x) * 3]; }
    void set(int x, int y, int r, int g, int b) {
        unsigned char *p = at(x, y);
        p[0] = (unsigned char)r, p[1] = (unsigned char)g, p[2] = (unsigned char)b;
    }
};

// Left half dark, right half bright: one sharp vertical edge at x = 100.
Picture Edge(int at = 100) {
    Picture p;
    for (int y = 0; y < H; y++)
        for (int x = at; x < W; x++)
            p.set(x, y, 200, 200, 200);
    return p;
}

int Compare(Picture &ref, Picture &pic, PictureDifference *d) {
    return ComparePictures(ref.rgb.data(), pic.rgb.data(), W, H, d);
}

TEST(ComparePictures, DistanceIsTheLargestChannelDifference) {
    unsigned char a[3] = {10, 200, 30}, b[3] = {12, 150, 90};
    EXPECT_EQ(60, PixelDistance(a, b));
    EXPECT_EQ(60, PixelDistance(b, a));
}

TEST(ComparePictures, SmallDifferencesEverywherePassButAShiftedColourFails) {
    Picture ref = Edge(), pic = Edge();
    PictureDifference d;
    EXPECT_TRUE(Compare(ref, pic, &d));
    EXPECT_EQ(0, d.worst);
    for (int y = 0; y < H; y += 2) // the last bit of lighting on every other row
        for (int x = 0; x < W; x++)
            pic.at(x, y)[1] ^= 1;
    EXPECT_TRUE(Compare(ref, pic, &d));
    EXPECT_DOUBLE_EQ(0.5, d.mean);
    // Every pixel a little off, none an outlier: the mean alone catches it.
    for (unsigned char &c : pic.rgb)
        c = (unsigned char)(c + 2);
    EXPECT_FALSE(Compare(ref, pic, &d));
    EXPECT_EQ(0.0, d.flatShare);
    EXPECT_EQ(0.0, d.edgeShare);
}

// An outlier is a pixel further than kOutlierDistance; exactly that far is not one.
TEST(ComparePictures, OutliersAwayFromEdgesHaveASmallBudget) {
    Picture ref, pic;
    const int budget = (int)(kMaxFlatShare * kPixels); // 20 pixels
    for (int i = 0; i < budget; i++)
        pic.set(10 + 5 * i % 180, 10 + 5 * (i / 36), 40 + kOutlierDistance + 1, 40, 40);
    PictureDifference d;
    EXPECT_TRUE(Compare(ref, pic, &d));
    EXPECT_DOUBLE_EQ(kMaxFlatShare, d.flatShare);
    pic.set(150, 80, 40, 40 + kOutlierDistance + 1, 40);
    EXPECT_FALSE(Compare(ref, pic, &d));
    pic.set(150, 80, 40, 40 + kOutlierDistance, 40);
    EXPECT_TRUE(Compare(ref, pic, &d));
}

// Along the reference's edges a correct picture may place a pixel differently: such
// outliers count against the edge budget, not the small one.
TEST(ComparePictures, OutliersAtEdgesCountAgainstTheEdgeBudget) {
    Picture ref = Edge(), pic = Edge();
    // The edge one pixel over on a few rows: its edge pixels are columns 99 and 100.
    int rows = (int)(kMaxEdgeShare * 2 * H); // 10 rows
    for (int y = 0; y < rows; y++)
        pic.set(100, y, 40, 40, 40);
    PictureDifference d;
    EXPECT_TRUE(Compare(ref, pic, &d));
    EXPECT_EQ(0.0, d.flatShare);
    EXPECT_DOUBLE_EQ(kMaxEdgeShare, d.edgeShare);
    pic.set(100, rows, 40, 40, 40);
    EXPECT_FALSE(Compare(ref, pic, &d));
    // Two pixels off the edge is no longer at the edge.
    Picture far = Edge();
    far.set(102, 50, 40, 40, 40);
    EXPECT_TRUE(Compare(ref, far, &d));
    EXPECT_DOUBLE_EQ(1.0 / kPixels, d.flatShare);
    EXPECT_EQ(0.0, d.edgeShare);
}

TEST(ComparePictures, AMissingShapeFails) {
    Picture ref = Edge(), pic; // the bright half left out
    PictureDifference d;
    EXPECT_FALSE(Compare(ref, pic, &d));
    EXPECT_EQ(160, d.worst);
    EXPECT_GT(d.flatShare, 0.4);
}

TEST(DifferencePicture, ColoursSayWhereAndHowFarOff) {
    Picture ref = Edge(), pic = Edge(), out;
    pic.set(10, 10, 40, 40, 40 + kOutlierDistance + 1); // flat outlier
    pic.set(100, 50, 40, 40, 40);                       // edge outlier
    pic.set(20, 20, 41, 40, 40);                        // within the tolerance
    DifferencePicture(ref.rgb.data(), pic.rgb.data(), W, H, out.rgb.data());
    EXPECT_EQ(std::vector<unsigned char>({255, 0, 0}),
              std::vector<unsigned char>(out.at(10, 10), out.at(10, 10) + 3));
    EXPECT_EQ(std::vector<unsigned char>({255, 255, 0}),
              std::vector<unsigned char>(out.at(100, 50), out.at(100, 50) + 3));
    EXPECT_EQ(0, out.at(20, 20)[0]);
    EXPECT_GT(out.at(20, 20)[2], 90);
    // Equal pixels: the reference, dimmed to grey.
    EXPECT_EQ(std::vector<unsigned char>({50, 50, 50}),
              std::vector<unsigned char>(out.at(150, 5), out.at(150, 5) + 3));
}

TEST(WriteTGA, RoundTripsThroughTheReaderBottomRowFirst) {
    TempDir dir;
    std::string path = dir.path("p.tga");
    // 3 × 2, every pixel different.
    std::vector<unsigned char> rgb;
    for (int i = 0; i < 18; i++)
        rgb.push_back((unsigned char)(i * 13));
    ASSERT_TRUE(WriteTGA(path.c_str(), rgb.data(), 3, 2));
    std::vector<unsigned char> file = ReadBytes(path);
    ASSERT_EQ(18u + 18, file.size());
    EXPECT_EQ(std::vector<unsigned char>({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0}),
              std::vector<unsigned char>(file.begin(), file.begin() + 18));
    EXPECT_EQ(26, file[18]); // blue of the first pixel first
    EXPECT_EQ(0, file[20]);
    int w, h, depth;
    unsigned char *back = ReadTGA(path.c_str(), &w, &h, &depth);
    ASSERT_NE(nullptr, back);
    EXPECT_EQ(rgb, std::vector<unsigned char>(back, back + 18));
    free(back);
    EXPECT_EQ(3, w);
    EXPECT_EQ(2, h);
}

TEST(WriteTGA, LargePicturesAreWrittenWhole) {
    TempDir dir;
    std::string path = dir.path("big.tga");
    std::vector<unsigned char> rgb(1000 * 3 * 3); // more than one conversion run
    for (size_t i = 0; i < rgb.size(); i++)
        rgb[i] = (unsigned char)(i % 251);
    ASSERT_TRUE(WriteTGA(path.c_str(), rgb.data(), 1000, 3));
    std::vector<unsigned char> file = ReadBytes(path);
    ASSERT_EQ(18u + rgb.size(), file.size());
    size_t last = rgb.size() - 3;
    EXPECT_EQ(rgb[last + 2], file[18 + last]);
    EXPECT_EQ(rgb[last], file[18 + last + 2]);
}

TEST(WriteTGA, RefusesWhatItCannotWrite) {
    unsigned char px[3] = {1, 2, 3};
    EXPECT_FALSE(WriteTGA("/nonexistent-folder/x.tga", px, 1, 1));
    EXPECT_FALSE(WriteTGA("/tmp/kv-never.tga", px, 0, 1));
    EXPECT_FALSE(WriteTGA("/tmp/kv-never.tga", px, 70000, 1));
    EXPECT_FALSE(FileExists("/tmp/kv-never.tga"));
    // Cut short, as on a full disk: no half picture is left.
    TempDir dir;
    std::vector<unsigned char> big(1000 * 3 * 3);
    struct rlimit was, small;
    signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &was);
    small = {100, was.rlim_max}; // the soft limit alone, which can be raised again
    setrlimit(RLIMIT_FSIZE, &small);
    EXPECT_FALSE(WriteTGA(dir.path("cut.tga").c_str(), big.data(), 1000, 3));
    setrlimit(RLIMIT_FSIZE, &was);
    EXPECT_FALSE(FileExists(dir.path("cut.tga")));
}

} // namespace
