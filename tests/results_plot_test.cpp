// The plot, checked against numbers: where the axes say a value goes, the picture has it.
#include "results/plot.h"
#include "results/summary.h"
#include "tests/support/result_runs.h"
#include "tests/support/temp_dir.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>

namespace {

ResultFile Result(std::vector<ResultRun> runs) {
    ResultFile r = {};
    r.renderer = "llvmpipe (test)";
    r.width = 640;
    r.height = 480;
    r.runs = runs;
    return r;
}

// A picture read back from its PNG; pixels as 0xRRGGBB.
struct Picture {
    explicit Picture(const std::string &path)
        : surface(cairo_image_surface_create_from_png(path.c_str())) {}
    ~Picture() { cairo_surface_destroy(surface); }
    bool ok() const { return cairo_surface_status(surface) == CAIRO_STATUS_SUCCESS; }
    int width() const { return cairo_image_surface_get_width(surface); }
    int height() const { return cairo_image_surface_get_height(surface); }
    unsigned At(double x, double y) const {
        const unsigned char *row = cairo_image_surface_get_data(surface) +
                                   (int)floor(y) * cairo_image_surface_get_stride(surface);
        return ((const uint32_t *)row)[(int)floor(x)] & 0xffffff;
    }
    cairo_surface_t *surface;
};

unsigned Rgb(PlotColour c) {
    return (unsigned)lround(c.r * 255) << 16 | (unsigned)lround(c.g * 255) << 8 |
           (unsigned)lround(c.b * 255);
}

// Colours within a few steps of each other, for the rounding of their blending.
bool Near(unsigned a, unsigned b) {
    for (int shift : {0, 8, 16})
        if (abs((int)(a >> shift & 255) - (int)(b >> shift & 255)) > 3) return false;
    return true;
}

// One run of known rates: 600 frames a second at grid 0 down to 7 at grid 9, score 115.
const std::vector<float> kRates = {600, 300, 150, 80, 50, 30, 20, 14, 11, 7};

TEST(PlotTest, AxesSpanTheDataInDecadesAndGridSteps) {
    PlotFrame f = PlotAxes({Result({Measured(kRates, true)})});
    EXPECT_DOUBLE_EQ(1, f.fpsMin);     // 7 lies in the decade from 1
    EXPECT_DOUBLE_EQ(1000, f.fpsMax);  // 600 in the one up to 1000
    EXPECT_DOUBLE_EQ(11, f.gridMax);   // the score's grid 10, and a step of room
    EXPECT_DOUBLE_EQ(-0.5, f.gridMin); // half a step, for grid 0's points
    EXPECT_DOUBLE_EQ(1, f.rateMax);    // the peak, 11 × 8² × 1152 = 0.81 M/s, rounded up
    EXPECT_LT(f.left, f.right);
    EXPECT_LT(f.top, f.bottom);
    // A frame rate of 0 has no place on a log scale: the bottom edge.
    EXPECT_DOUBLE_EQ(f.bottom, PlotY(f, 0));
}

TEST(PlotTest, PointsStopLineAndScoreLieWhereTheAxesPutThem) {
    TempDir dir;
    std::vector<ResultFile> results = {Result({Measured(kRates, true)})};
    ASSERT_EQ(1, WritePlot(results, nullptr, dir.path("p.png").c_str()));
    Picture png(dir.path("p.png"));
    ASSERT_TRUE(png.ok());
    ASSERT_EQ(kPlotWidth, png.width());
    ASSERT_EQ(kPlotHeight, png.height());
    PlotFrame f = PlotAxes(results);
    // The axes' own arithmetic, written out: x linear in the grid, y in the log of fps.
    auto x = [&](double grid) {
        return f.left + (f.right - f.left) * (grid + 0.5) / (f.gridMax + 0.5);
    };
    auto y = [&](double fps) {
        return f.bottom - (f.bottom - f.top) * log10(fps / f.fpsMin) / log10(f.fpsMax / f.fpsMin);
    };
    unsigned run = Rgb(RunColour(results, 0, 0));
    for (size_t g = 0; g < kRates.size(); g++)
        for (auto [dx, dy] : {std::pair{0, 0}, {2, 0}, {-2, 0}, {0, 2}, {0, -2}})
            EXPECT_TRUE(Near(run, png.At(x(g) + dx, y(kRates[g]) + dy)))
                << "grid " << g << std::hex << ": " << png.At(x(g) + dx, y(kRates[g]) + dy);
    // Away from the points, the background.
    EXPECT_TRUE(Near(0xffffff, png.At(x(7.5), y(600))));
    // The stop line at 10 fps, in its red, where no run crosses it (the first dash).
    EXPECT_TRUE(Near(0xcc0000, png.At(f.left + 3, y(10)))) << std::hex << png.At(f.left + 3, y(10));
    EXPECT_TRUE(Near(0xffffff, png.At(f.left + 3, y(10) + 4)));
    // The score's mark on the stop line, at the grid the run ended on.
    EXPECT_TRUE(Near(run, png.At(x(10), y(10) - 4)));
    EXPECT_TRUE(Near(run, png.At(x(10) + 3, y(10))));
}

TEST(PlotTest, TheSvgRendersElsewhereAsThePng) {
    TempDir dir;
    std::vector<ResultFile> results = {Result(
        {Measured(kRates, true), Measured({500, 200, 60, 9}, true), Measured({550, 250}, false)})};
    std::string svg = dir.path("p.svg"), png = dir.path("p.png"), other = dir.path("rsvg.png");
    ASSERT_EQ(1, WritePlot(results, svg.c_str(), png.c_str()));
    EXPECT_EQ(0, ReadText(svg).find("<?xml"));
    ASSERT_EQ(0, system(("rsvg-convert -b white -o '" + other + "' '" + svg + "'").c_str()));
    Picture a(png), b(other);
    ASSERT_TRUE(a.ok() && b.ok());
    ASSERT_EQ(a.width(), b.width());
    ASSERT_EQ(a.height(), b.height());
    double sum = 0;
    int far = 0, dark = 0;
    for (int y = 0; y < a.height(); y++)
        for (int x = 0; x < a.width(); x++) {
            unsigned p = a.At(x, y), q = b.At(x, y);
            int worst = 0;
            for (int shift : {0, 8, 16})
                worst = std::max(worst, abs((int)(p >> shift & 255) - (int)(q >> shift & 255)));
            sum += worst;
            far += worst > 64;
            dark += p != 0xffffff;
        }
    int pixels = a.width() * a.height();
    EXPECT_GT(dark, pixels / 50); // a picture, not a blank page
    // Edges of shapes and glyphs may be rounded differently; nothing else may differ.
    EXPECT_LT(sum / pixels, 1.0);
    EXPECT_LT(far, pixels / 500) << far << " pixels far off";
}

// From one run of 5 steps to 100 runs of 200: every point inside the plotting area, and the
// picture is written.
TEST(PlotTest, ManyRunsAndLongRunsStayInsideThePlot) {
    std::vector<ResultRun> runs;
    for (int i = 0; i < 100; i++) {
        std::vector<float> rates;
        for (int g = 0; g < 200 - i % 3; g++)
            rates.push_back(9000.0f / (1 + g) + i % 7);
        runs.push_back(Measured(rates, i % 10 != 9));
    }
    for (auto set : {std::vector<ResultRun>{Measured({900, 400, 100, 30, 9}, true)}, runs}) {
        std::vector<ResultFile> results = {Result(set)};
        PlotFrame f = PlotAxes(results);
        for (const ResultRun &run : set)
            for (const ResultStep &s : run.steps) {
                double px = PlotX(f, s.triangles), py = PlotY(f, s.fps);
                double ry = PlotRateY(f, (double)s.fps * s.triangles / 1e6);
                ASSERT_TRUE(px >= f.left && px <= f.right && py >= f.top && py <= f.bottom &&
                            ry >= f.top && ry <= f.bottom)
                    << s.grid << " " << s.fps;
            }
        // The score marks too, a grid step beyond the last measured one.
        EXPECT_LT(PlotX(f, pow(EndGrid(set[0]), 2) * 1152), f.right);
        TempDir dir;
        EXPECT_EQ(1, WritePlot(results, dir.path("p.svg").c_str(), dir.path("p.png").c_str()));
    }
    // Beyond ten runs they share one colour; below, each has its own.
    std::vector<ResultFile> many = {Result(runs)};
    EXPECT_EQ(Rgb(RunColour(many, 0, 0)), Rgb(RunColour(many, 0, 5)));
    std::vector<ResultFile> few = {Result({Measured(kRates, true), Measured(kRates, true)})};
    EXPECT_NE(Rgb(RunColour(few, 0, 0)), Rgb(RunColour(few, 0, 1)));
}

TEST(PlotTest, AFolderThatCannotBeWrittenFailsAndLeavesNoFile) {
    TempDir dir;
    EXPECT_EQ(0, WritePlot({Result({Measured(kRates, true)})}, dir.path("none/p.svg").c_str(),
                           dir.path("p.png").c_str()));
    EXPECT_FALSE(FileExists(dir.path("p.png")));
}

} // namespace
