// The plot, checked against numbers: where the axes say a value goes, the picture has it.
#include "report/canvas.h"
#include "report/compare.h"
#include "report/history_plot.h"
#include "report/pair_plot.h"
#include "record/json.h"
#include "report/plot.h"
#include "report/summary.h"
#include "report/utf8.h"
#include "tests/support/result_runs.h"
#include "tests/support/temp_dir.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

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
    // Rates all under 10 fps, or all over it: the stop line still a decade from either edge.
    for (std::vector<float> rates : {std::vector<float>{7, 5, 3, 2}, {40, 30, 12}}) {
        PlotFrame q = PlotAxes({Result({Measured(rates, false)})});
        EXPECT_EQ(1, q.fpsMin) << rates[0];
        EXPECT_EQ(100, q.fpsMax) << rates[0];
    }
    // A frame rate of 0 has no place on a log scale: the bottom edge.
    EXPECT_DOUBLE_EQ(f.bottom, PlotY(f, 0));
    EXPECT_EQ(0, f.clockMax); // no GPU watched: no panel
    // A GPU's clock: a panel under the frame rate, up to the next 500 MHz past its highest.
    ResultRun run = Measured(kRates, true);
    run.steps[3].gpu = {true, 10, 2450, 1820, 2610, -1, -1, NAN, -1, 0};
    PlotFrame c = PlotAxes({Result({run})});
    EXPECT_EQ(3000, c.clockMax);
    EXPECT_EQ(f.bottom, c.clockBottom);
    EXPECT_LT(c.bottom, c.clockTop);
    EXPECT_DOUBLE_EQ(c.clockBottom, PlotClockY(c, 0));
    EXPECT_DOUBLE_EQ(c.clockTop, PlotClockY(c, 3000));
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

// A quick run has no score: its steady figure stands on the stop line, a dot with a bar as
// wide as its uncertainty either side, and the legend gives both.
TEST(PlotTest, AQuickRunsSteadyFigureAndItsUncertainty) {
    ResultRun quick = Measured(kRates, false);
    quick.end = kRunMeasured;
    quick.quick = true;
    quick.steady = {true, 100, 20}; // grid 9.3, from 8.3 to 10.2
    TempDir dir;
    std::vector<ResultFile> results = {Result({quick})};
    ASSERT_EQ(1, WritePlot(results, nullptr, dir.path("p.png").c_str()));
    Picture png(dir.path("p.png"));
    ASSERT_TRUE(png.ok());
    PlotFrame f = PlotAxes(results);
    EXPECT_LE(11, f.gridMax); // room for the bar's right end
    unsigned run = Rgb(RunColour(results, 0, 0));
    double y = PlotY(f, 10);
    for (double t : {100e3, 80e3, 120e3})
        for (double dy : {-4, 0, 4})
            EXPECT_TRUE(Near(run, png.At(PlotX(f, t), y + dy)))
                << t << " " << dy << std::hex << ": " << png.At(PlotX(f, t), y + dy);
    EXPECT_EQ("1 run, quick: steady figure 100 ± 20", PlotLegend(results)[0].text);
    EXPECT_EQ("run 2: quick, steady 100 ± 20", PlotLegend({Result({quick, quick})})[1].text);
}

// A step from whose window more than a tenth of the machine was taken is drawn hollow; the
// others stay filled, however much of the machine others used beside the test, and the
// legend names the disturbed run.
TEST(PlotTest, DisturbedStepsAreHollowAndTheLegendSaysWhichRun) {
    ResultRun quiet = Measured(kRates, true), busy = Measured(kRates, true);
    for (ResultStep &s : quiet.steps)
        s.load = {true, 0.4, 0.04, 0.5, 0.09, true, 0.05}; // taken just under a tenth
    const ResultLoad taken = {true, 0.3, 0, 0.7, 0.3, true, 0.6};
    busy.steps[5].load = taken;
    busy.steps[7].load = {true, 0.06, 0.05, 0.89, 0.11, false, 0};
    busy.verdict = {true, true, 4, taken, taken};
    TempDir dir;
    std::vector<ResultFile> results = {Result({busy})};
    ASSERT_EQ(1, WritePlot(results, nullptr, dir.path("p.png").c_str()));
    Picture png(dir.path("p.png"));
    ASSERT_TRUE(png.ok());
    PlotFrame f = PlotAxes(results);
    unsigned run = Rgb(RunColour(results, 0, 0));
    for (size_t g = 0; g < kRates.size(); g++) {
        double x = PlotX(f, busy.steps[g].triangles), y = PlotY(f, kRates[g]);
        bool hollow = g == 5 || g == 7;
        EXPECT_EQ(hollow, Near(0xffffff, png.At(x, y))) << "grid " << g;
        // Inside a hollow point the background hides the line; a filled one is all colour.
        for (auto [dx, dy] : {std::pair{0, -2}, {0, 2}, {-2, 0}, {2, 0}})
            EXPECT_NE(hollow, Near(run, png.At(x + dx, y + dy))) << "grid " << g;
    }
    results = {Result({quiet})};
    ASSERT_EQ(1, WritePlot(results, nullptr, dir.path("q.png").c_str()));
    Picture q(dir.path("q.png"));
    for (size_t g = 0; g < kRates.size(); g++)
        EXPECT_TRUE(Near(run, q.At(PlotX(f, quiet.steps[g].triangles), PlotY(f, kRates[g]))));
    std::vector<PlotLegendEntry> legend = PlotLegend({Result({quiet, busy})});
    ASSERT_EQ(3u, legend.size());
    EXPECT_EQ("run 1: score 115", legend[0].text);
    EXPECT_EQ("run 2: score 115, disturbed", legend[1].text);
}

// The history's runs lie when they ran, on a time axis of their days; a drifted run is
// hollow, as a disturbed one is.
TEST(PlotTest, HistoryRunsLieWhenTheyRanAndDriftedOnesAreHollow) {
    ResultFile plain = Result({Measured(kRates, true)}), drifted = plain;
    drifted.runs[0].started += 86400;
    drifted.runs[0].drift = {true, 5, 20, 30, 0.5, 0.05, true};
    std::vector<HistoryPoint> points = {HistoryPointOf(plain), HistoryPointOf(drifted)};
    TempDir dir;
    ASSERT_EQ(1, WriteHistoryPlot(points, nullptr, dir.path("h.png").c_str()));
    Picture png(dir.path("h.png"));
    HistoryFrame f = HistoryAxes(points);
    EXPECT_GT(f.t0, plain.runs[0].started - 86400.0); // not from 1970
    for (int i = 0; i < 2; i++) {
        double x = f.left + (f.right - f.left) * (points[i].when - f.t0) / (f.t1 - f.t0),
               y = f.bottom - (f.bottom - f.top) * points[i].score / f.yMax;
        EXPECT_TRUE(Near(i ? 0xffffff : Rgb(kPalette[0]), png.At(x, y))) << i;
    }
    drifted.environment.emplace();
    plain.environment = {{{"mesa_glthread", "true"}}};
    EXPECT_EQ("llvmpipe (test), 640x480", HistoryPointOf(drifted).series);
    EXPECT_EQ("llvmpipe (test), 640x480, mesa_glthread=true", HistoryPointOf(plain).series);
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

// Each file stands alone: the one that can be written is, the other fails the plot.
TEST(PlotTest, AFolderThatCannotBeWrittenFailsAndLeavesNoFile) {
    TempDir dir;
    EXPECT_EQ(0, WritePlot({Result({Measured(kRates, true)})}, dir.path("none/p.svg").c_str(),
                           dir.path("p.png").c_str()));
    EXPECT_FALSE(FileExists(dir.path("none")));
    EXPECT_TRUE(FileExists(dir.path("p.png")));
}

// Two results compared: each its own colour, and the legend names both in it; also where
// each has several runs, which would otherwise have colours of their own.
TEST(PlotTest, TwoResultsGetTheirOwnColoursAndTheLegendNamesBoth) {
    ResultFile a = Result({Measured(kRates, true)}), b = Result({Measured({900, 90, 9}, true)});
    a.name = "before.json";
    b.name = "after.json";
    ResultFile a3 = a, b2 = b, b1 = b;
    a3.runs = {a.runs[0], a.runs[0], a.runs[0]};
    b2.runs = {b.runs[0], b.runs[0]};
    b1.runs = {b.runs[0], Measured({900, 90}, false)};
    EXPECT_EQ("after.json: 2 runs, one scored: score 10", PlotLegend({a, b1})[1].text);
    for (const std::vector<ResultFile> &results : {std::vector<ResultFile>{a, b}, {a3, b2}}) {
        unsigned ca = Rgb(RunColour(results, 0, 0)), cb = Rgb(RunColour(results, 1, 0));
        EXPECT_NE(ca, cb);
        EXPECT_EQ(ca, Rgb(RunColour(results, 0, results[0].runs.size() - 1)));
        EXPECT_EQ(cb, Rgb(RunColour(results, 1, results[1].runs.size() - 1)));
        std::vector<PlotLegendEntry> legend = PlotLegend(results);
        ASSERT_EQ(2u, legend.size());
        EXPECT_EQ(0u, legend[0].text.find("before.json: ")) << legend[0].text;
        EXPECT_EQ(0u, legend[1].text.find("after.json: ")) << legend[1].text;
        EXPECT_EQ(ca, Rgb(legend[0].colour));
        EXPECT_EQ(cb, Rgb(legend[1].colour));
        // The legend's swatches, top right, in the results' colours: a row of at least
        // ten pixels of each at the height of its line.
        TempDir dir;
        ASSERT_EQ(1, WritePlot(results, nullptr, dir.path("p.png").c_str()));
        Picture png(dir.path("p.png"));
        ASSERT_TRUE(png.ok());
        PlotFrame f = PlotAxes(results);
        for (int i = 0; i < 2; i++) {
            unsigned colour = i ? cb : ca;
            int run = 0, longest = 0;
            for (int x = (int)f.left; x < (int)f.right; x++) {
                run = Near(png.At(x, f.top + 22 + 16 * i), colour) ? run + 1 : 0;
                longest = std::max(longest, run);
            }
            EXPECT_GE(longest, 10) << "legend line " << i << std::hex << " " << colour;
        }
    }
}

// A window that counted no frame: log axes must still start above 0 and end, whether some
// or all of the steps are at 0. Drawn in a child with an alarm, so that an endless axis
// loop fails the test instead of hanging it.
TEST(PlotTest, StepsOfNoFramesArePlottedAndComparedInBoundedTime) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    for (std::vector<float> rates : {std::vector<float>{600, 0, 9}, {0, 0}, {0}}) {
        std::vector<ResultFile> results = {Result({Measured(rates, true)})};
        PlotFrame f = PlotAxes(results);
        // Axes from 0, or of no span, would leave the tick loops to run on.
        ASSERT_GT(f.fpsMin, 0) << rates.size();
        ASSERT_GT(f.fpsMax, f.fpsMin) << rates.size();
        ASSERT_TRUE(isfinite(f.fpsMax)) << rates.size();
        TempDir dir;
        std::string json = dir.path("r.json");
        ResultSetting setting = {};
        setting.version = "1.0.0";
        setting.driver = "offscreen";
        setting.eglDevice = -1;
        ASSERT_EQ(1, WriteWhole(json.c_str(), ResultJson(setting, results[0].runs)));
        EXPECT_EXIT(
            {
                alarm(30);
                FILE *out = fopen("/dev/null", "w");
                bool plotted =
                    WritePlot(results, dir.path("p.svg").c_str(), dir.path("p.png").c_str()) &&
                    CompareResults(json.c_str(), json.c_str(), dir.path("c.png").c_str(), out, out);
                _exit(plotted ? 0 : 1);
            },
            ::testing::ExitedWithCode(0), "")
            << rates.size();
    }
}

// cairo gives up on a whole drawing at one string it does not take as UTF-8.
TEST(PlotTest, TextIsMadeValidUtf8AndCutBetweenCharacters) {
    struct Case {
        const char *in;
        size_t max;
        std::string out;
    } cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", SIZE_MAX, "llvmpipe (LLVM 15.0.6, 256 bits)"},
        {"caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80", SIZE_MAX,
         "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"a\xe9.json", SIZE_MAX, "a\xef\xbf\xbd.json"},     // Latin-1
        {"x\xc3", SIZE_MAX, "x\xef\xbf\xbd"},               // cut inside a character
        {"\xc0\xaf", SIZE_MAX, "\xef\xbf\xbd\xef\xbf\xbd"}, // overlong
        {"\xed\xa0\x80", SIZE_MAX, "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"}, // surrogate
        {"\xf4\x90\x80\x80", SIZE_MAX,
         "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"}, // beyond U+10FFFF
        {"\xef\xbf\xbf|\xef\xb7\x90|\xf4\x8f\xbf\xbe", SIZE_MAX,
         "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd|\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd|"
         "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"}, // noncharacters
        {"\xef\xbf\xbd\xef\xb7\xaf\xef\xb7\xb0", SIZE_MAX,
         "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\xef\xb7\xb0"},
        {"\xc2\x80\xe0\xa0\x80\xf0\x90\x80\x80", SIZE_MAX,
         "\xc2\x80\xe0\xa0\x80\xf0\x90\x80\x80"}, // the least of each length
        {"ab\xc3\xa9", 3, "ab"}, // a character that would not fit whole is left out
        {"ab\xc3\xa9", 4, "ab\xc3\xa9"},
        {"a\xff", 3, "a"},
        {"", 0, ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.out, ValidUtf8(c.in, c.max)) << c.in;
}

// A Latin-1 file name, a renderer cut in the middle of a character at 200 bytes, and a
// noncharacter: the plot is drawn all the same.
TEST(PlotTest, TextThatIsNotUtf8IsDrawnAllTheSame) {
    ResultFile a = Result({Measured(kRates, true)}), b = a;
    a.name = "a\xe9.json";
    a.renderer = std::string(199, 'x') + "\xc3\xa9";
    b.name = "b.json";
    b.renderer = "GPU \xef\xbf\xbf";
    TempDir dir;
    for (std::vector<ResultFile> results : {std::vector<ResultFile>{a}, {a, b}, {b, a}})
        EXPECT_EQ(1, WritePlot(results, dir.path("p.svg").c_str(), dir.path("p.png").c_str()))
            << results.size();
}

// A pair's turns lie where the axes put them, A's and B's in their colours, a dropped turn
// hollow; each block's ratio lies in its panel, within the verdict's band.
TEST(PlotTest, APairsTurnsAndBlocksLieWhereTheAxesPutThem) {
    PairResult p = GeneratedPair();
    TempDir dir;
    ASSERT_EQ(1, WritePairPlot(p, dir.path("p.svg").c_str(), dir.path("p.png").c_str()));
    EXPECT_EQ(0, ReadText(dir.path("p.svg")).find("<?xml"));
    Picture png(dir.path("p.png"));
    ASSERT_TRUE(png.ok());
    EXPECT_EQ(kPlotWidth, png.width());
    EXPECT_EQ(kPlotHeight, png.height());
    PairPlotFrame f = PairPlotAxes(p);
    for (size_t i = 0; i < p.turns.size(); i++) {
        unsigned want = p.turns[i].dropped ? 0xffffff : Rgb(kPalette[p.turns[i].side]);
        EXPECT_TRUE(Near(want, png.At(PairPlotX(f, i), PairPlotMsY(f, p.turns[i].meanMs)))) << i;
    }
    std::vector<PairBlock> blocks = PairBlocks(p);
    ASSERT_EQ(7u, blocks.size());
    EXPECT_DOUBLE_EQ(1.5, blocks[0].turn); // turns 0 to 3
    EXPECT_DOUBLE_EQ(7.5, blocks[1].turn); // turns 6 to 9: 4 and 5 were dropped
    for (const PairBlock &b : blocks) {
        EXPECT_NEAR(1.03, b.ratio, 1e-9);
        EXPECT_TRUE(Near(0x1a1a1a, png.At(PairPlotX(f, b.turn), PairPlotRatioY(f, b.ratio))));
    }
    // Pair 4 moved into round 1: no block spans two rounds, whose odd pairs stay alone.
    p.turns[8].round = p.turns[9].round = 1;
    blocks = PairBlocks(p);
    ASSERT_EQ(6u, blocks.size());
    EXPECT_DOUBLE_EQ(9.5, blocks[1].turn); // pairs 4 and 5
}

} // namespace
