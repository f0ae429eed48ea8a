#include "report/plot.h"

#include "report/canvas.h"

#include "watch/interference.h"
#include "record/json.h"
#include "report/summary.h"
#include "report/utf8.h"

#include <algorithm>
#include <cairo-svg.h>
#include <cairo.h>
#include <errno.h>
#include <math.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <time.h>

const char kPlotFont[] = "DejaVu Sans";

// Ten colours that stay apart from each other, also for readers with a colour weakness.
const PlotColour kPalette[kPaletteSize] = {
    {0.12, 0.47, 0.71}, {1.00, 0.50, 0.05}, {0.17, 0.63, 0.17}, {0.58, 0.40, 0.74},
    {0.55, 0.34, 0.29}, {0.89, 0.47, 0.76}, {0.50, 0.50, 0.50}, {0.74, 0.74, 0.13},
    {0.09, 0.75, 0.81}, {0.84, 0.15, 0.16},
};
static const PlotColour kStopColour = {0.80, 0.0, 0.0};

// The largest grid size a result reaches: the grid a scored run ended on, or the last one
// an aborted run measured.
static int LastGrid(const ResultRun &run) {
    if (run.end == kRunScore) return EndGrid(run);
    return run.steps.empty() ? 0 : run.steps.back().grid;
}

// The thousands of triangles a quick run's steady figure reaches with its uncertainty, or 0:
// a quick run has no score to draw, its figure stands in for it. An uncertainty wider than
// the figure itself runs off the plot rather than squeezing the steps into its left edge.
static double SteadyReach(const ResultRun &run) {
    if (run.end != kRunMeasured || !run.steady.known || !(run.steady.score > 0)) return 0;
    return run.steady.score + std::min(std::max(run.steady.uncertainty, 0.0), run.steady.score);
}

static int SteadyGrid(const ResultRun &run) {
    return (int)ceil(sqrt(SteadyReach(run) * 1000 / kResultTrianglesPerSphere));
}

// 1, 2 or 5 times a power of ten, at least v.
double NiceCeiling(double v) {
    double p = pow(10.0, floor(log10(v)));
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * p >= v * (1 - 1e-9)) return m * p;
    return 10 * p;
}

PlotFrame PlotAxes(const std::vector<ResultFile> &results) {
    PlotFrame f = {80, 70, kPlotWidth - 90.0, kPlotHeight - 70.0, 0, 1, 1, 10, 0, 0, 0, 0};
    int grid = 1;
    double low = 10, high = 10, rate = 0, clock = 0;
    for (const ResultFile &r : results)
        for (const ResultRun &run : r.runs) {
            grid = std::max(grid, LastGrid(run));
            grid = std::max(grid, SteadyGrid(run));
            for (const ResultStep &s : run.steps) {
                grid = std::max(grid, s.grid); // a file's steps need not be in order
                if (s.fps > 0) low = std::min(low, (double)s.fps);
                high = std::max(high, (double)s.fps);
                rate = std::max(rate, (double)s.fps * s.triangles / 1e6);
                if (s.gpu.known) clock = std::max({clock, s.gpu.medianMhz, s.gpu.maxMhz});
            }
        }
    // The clock's panel takes the bottom of the frame rate's room.
    if (clock > 0) {
        f.clockBottom = f.bottom;
        f.clockTop = f.bottom - 80;
        f.bottom = f.clockTop - 12;
        f.clockMax = ceil(clock / 500) * 500;
    }
    // Room for the points on the left edge, and for the last score's mark on the right.
    f.gridMin = -0.5;
    f.gridMax = grid + 1;
    // The stop line at 10 fps lies inside the frame, a decade at least from either edge,
    // whatever the steps' rates: a quick run's may all lie on one side of it.
    f.fpsMin = std::min(pow(10.0, floor(log10(low))), 1.0);
    f.fpsMax = std::max(pow(10.0, ceil(log10(high))), 100.0);
    f.rateMax = rate > 0 ? NiceCeiling(rate) : 1;
    return f;
}

double PlotX(const PlotFrame &f, double triangles) {
    double grid = sqrt(std::max(0.0, triangles) / kResultTrianglesPerSphere);
    return f.left + (f.right - f.left) * (grid - f.gridMin) / (f.gridMax - f.gridMin);
}

// A window that counted no frame cannot be shown on a log scale: it sits on the bottom edge.
double PlotY(const PlotFrame &f, double fps) {
    double v = std::max(fps, f.fpsMin);
    return f.bottom - (f.bottom - f.top) * log(v / f.fpsMin) / log(f.fpsMax / f.fpsMin);
}

double PlotRateY(const PlotFrame &f, double rate) {
    return f.bottom - (f.bottom - f.top) * rate / f.rateMax;
}

double PlotClockY(const PlotFrame &f, double mhz) {
    return f.clockBottom - (f.clockBottom - f.clockTop) * std::max(0.0, mhz) / f.clockMax;
}

static bool OwnColours(const std::vector<ResultFile> &results) {
    return results.size() == 1 && results[0].runs.size() <= kPaletteSize;
}

PlotColour RunColour(const std::vector<ResultFile> &results, size_t r, size_t i) {
    return kPalette[(OwnColours(results) ? i : r) % kPaletteSize];
}

// Many runs of one colour are drawn see-through, so that where they agree reads darker.
static double RunAlpha(const ResultFile &r) {
    return r.runs.size() <= kPaletteSize ? 1.0 : std::max(0.2, 3.0 / sqrt(r.runs.size()));
}

void PlotSetColour(cairo_t *cr, PlotColour c, double alpha) {
    cairo_set_source_rgba(cr, c.r, c.g, c.b, alpha);
}

// Every text goes through here: one string cairo cannot take would lose the whole plot.
void PlotText(cairo_t *cr, double x, double y, double size, bool bold, const char *s,
              double alignX) {
    std::string text = ValidUtf8(s);
    cairo_select_font_face(cr, kPlotFont, CAIRO_FONT_SLANT_NORMAL,
                           bold ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    cairo_move_to(cr, x - alignX * e.x_advance, y);
    cairo_show_text(cr, text.c_str());
}

void PlotValueLine(cairo_t *cr, double left, double right, double y, double v, const char *format) {
    cairo_set_source_rgb(cr, 0.9, 0.9, 0.9);
    PlotLine(cr, left, y, right, y);
    char label[32];
    snprintf(label, sizeof label, format, v);
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    PlotText(cr, left - 6, y + 4, 11, false, label, 1);
}

void PlotLine(cairo_t *cr, double x0, double y0, double x1, double y1) {
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
}

// 1152 as "1152", 82944 as "83k", 1.2 million as "1.2M".
static void TriangleLabel(double t, char *out, size_t size) {
    if (t >= 1e6)
        snprintf(out, size, "%.3gM", t / 1e6);
    else if (t >= 1e4)
        snprintf(out, size, "%.0fk", t / 1e3);
    else
        snprintf(out, size, "%.0f", t);
}

// Grid sizes at a round step, about eight of them, labelled with their triangles.
static void XAxis(cairo_t *cr, const PlotFrame &f) {
    int step = (int)NiceCeiling(std::max(1.0, f.gridMax / 8));
    double bottom = f.clockMax > 0 ? f.clockBottom : f.bottom;
    for (int g = 0; g <= f.gridMax; g += step) {
        double t = (double)g * g * kResultTrianglesPerSphere, x = PlotX(f, t);
        cairo_set_source_rgb(cr, 0.9, 0.9, 0.9);
        PlotLine(cr, x, f.top, x, bottom);
        char label[32];
        TriangleLabel(t, label, sizeof label);
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
        PlotText(cr, x, bottom + 16, 11, false, label, 0.5);
        snprintf(label, sizeof label, "%dx%d", g, g);
        cairo_set_source_rgb(cr, 0.5, 0.5, 0.5);
        PlotText(cr, x, bottom + 29, 9, false, label, 0.5);
    }
    cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
    PlotText(cr, (f.left + f.right) / 2, bottom + 50, 12, false,
             "triangles per frame (grid size below; square-root scale)", 0.5);
}

// 1, 2 and 5 in every decade on the log scale.
static void FpsAxis(cairo_t *cr, const PlotFrame &f) {
    for (double d = f.fpsMin; d < f.fpsMax * 1.5; d *= 10)
        for (double m : {1.0, 2.0, 5.0}) {
            double v = d * m;
            if (v > f.fpsMax * 1.0001) break;
            double y = PlotY(f, v);
            cairo_set_source_rgb(cr, m == 1 ? 0.8 : 0.92, m == 1 ? 0.8 : 0.92, m == 1 ? 0.8 : 0.92);
            PlotLine(cr, f.left, y, f.right, y);
            char label[32];
            snprintf(label, sizeof label, "%g", v);
            cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
            PlotText(cr, f.left - 6, y + 4, 11, false, label, 1);
        }
    cairo_save(cr);
    cairo_translate(cr, f.left - 50, (f.top + f.bottom) / 2);
    cairo_rotate(cr, -M_PI / 2);
    PlotText(cr, 0, 0, 12, false, "frames per second (log scale)", 0.5);
    cairo_restore(cr);
}

static void RateAxis(cairo_t *cr, const PlotFrame &f) {
    cairo_set_source_rgb(cr, 0.35, 0.35, 0.35);
    for (int i = 0; i <= 5; i++) {
        double v = f.rateMax * i / 5, y = PlotRateY(f, v);
        PlotLine(cr, f.right, y, f.right + 4, y);
        char label[32];
        snprintf(label, sizeof label, "%g", v);
        PlotText(cr, f.right + 7, y + 4, 11, false, label);
    }
    cairo_save(cr);
    cairo_translate(cr, f.right + 62, (f.top + f.bottom) / 2);
    cairo_rotate(cr, M_PI / 2);
    PlotText(cr, 0, 0, 12, false, "million triangles per second (dashed)", 0.5);
    cairo_restore(cr);
}

static void StopLine(cairo_t *cr, const PlotFrame &f) {
    double y = PlotY(f, 10), dash[] = {6, 4};
    PlotSetColour(cr, kStopColour, 1);
    cairo_set_line_width(cr, 2);
    cairo_set_dash(cr, dash, 2, 0);
    PlotLine(cr, f.left, y, f.right, y);
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_set_line_width(cr, 1);
    PlotText(cr, f.left + 6, y - 5, 10, false, "10 fps: a test stops below");
}

// A run's steps by their triangles: a climb's are so already, a quick run's were measured
// small and large in turn.
static std::vector<ResultStep> InGridOrder(const ResultRun &run) {
    std::vector<ResultStep> steps = run.steps;
    std::stable_sort(steps.begin(), steps.end(), [](const ResultStep &a, const ResultStep &b) {
        return a.triangles < b.triangles;
    });
    return steps;
}

static void RateLine(cairo_t *cr, const PlotFrame &f, const ResultRun &run) {
    double dash[] = {4, 3};
    cairo_set_dash(cr, dash, 2, 0);
    std::vector<ResultStep> steps = InGridOrder(run);
    for (size_t i = 0; i < steps.size(); i++) {
        const ResultStep &s = steps[i];
        double x = PlotX(f, s.triangles), y = PlotRateY(f, (double)s.fps * s.triangles / 1e6);
        i ? cairo_line_to(cr, x, y) : cairo_move_to(cr, x, y);
    }
    cairo_stroke(cr);
    cairo_set_dash(cr, nullptr, 0, 0);
}

static bool StepDisturbed(const ResultStep &s) {
    return s.load.known && s.load.taken > kDisturbedShare;
}

// Points shrink as steps grow many, so that 200 steps stay apart.
static void FpsLine(cairo_t *cr, const PlotFrame &f, const ResultRun &run) {
    std::vector<ResultStep> steps = InGridOrder(run);
    for (size_t i = 0; i < steps.size(); i++) {
        const ResultStep &s = steps[i];
        double x = PlotX(f, s.triangles), y = PlotY(f, s.fps);
        i ? cairo_line_to(cr, x, y) : cairo_move_to(cr, x, y);
    }
    cairo_stroke(cr);
    double radius = run.steps.size() > 60 ? 2 : 3.5;
    for (const ResultStep &s : run.steps) {
        double x = PlotX(f, s.triangles), y = PlotY(f, s.fps);
        cairo_arc(cr, x, y, radius, 0, 2 * M_PI);
        if (!StepDisturbed(s)) {
            cairo_fill(cr);
            continue;
        }
        // Hollow: a step whose frame rate others had a share in.
        cairo_save(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_fill_preserve(cr);
        cairo_restore(cr);
        cairo_save(cr);
        cairo_set_line_width(cr, 1.5);
        cairo_stroke(cr);
        cairo_restore(cr);
    }
}

// The GPU's clock a step: its median joined up, a tick down to its lowest.
static void ClockLine(cairo_t *cr, const PlotFrame &f, const ResultRun &run) {
    bool drawing = false;
    for (const ResultStep &s : InGridOrder(run)) {
        if (!s.gpu.known || s.gpu.medianMhz < 0) continue;
        double x = PlotX(f, s.triangles), y = PlotClockY(f, s.gpu.medianMhz);
        drawing ? cairo_line_to(cr, x, y) : cairo_move_to(cr, x, y);
        drawing = true;
    }
    cairo_stroke(cr);
    for (const ResultStep &s : run.steps)
        if (s.gpu.known && s.gpu.lowestMhz >= 0 && s.gpu.lowestMhz < s.gpu.medianMhz) {
            double x = PlotX(f, s.triangles);
            PlotLine(cr, x, PlotClockY(f, s.gpu.medianMhz), x, PlotClockY(f, s.gpu.lowestMhz));
        }
}

// The panel of the GPU's clock: 0 to clockMax MHz, each run's line in its colour.
static void ClockPanel(cairo_t *cr, const PlotFrame &f, const std::vector<ResultFile> &results) {
    if (!(f.clockMax > 0)) return;
    for (double v : {0.0, f.clockMax / 2, f.clockMax})
        PlotValueLine(cr, f.left, f.right, PlotClockY(f, v), v);
    PlotText(cr, f.right + 7, (f.clockTop + f.clockBottom) / 2 + 4, 11, false, "GPU MHz");
    for (size_t r = 0; r < results.size(); r++)
        for (size_t i = 0; i < results[r].runs.size(); i++) {
            PlotSetColour(cr, RunColour(results, r, i), RunAlpha(results[r]));
            cairo_set_line_width(cr, 1.5);
            ClockLine(cr, f, results[r].runs[i]);
        }
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    cairo_rectangle(cr, f.left, f.clockTop, f.right - f.left, f.clockBottom - f.clockTop);
    cairo_stroke(cr);
}

// The score's mark: a diamond where the run ended, on the stop line.
static void ScoreMark(cairo_t *cr, const PlotFrame &f, const ResultRun &run, int label) {
    if (run.end != kRunScore) return;
    int g = EndGrid(run);
    double x = PlotX(f, (double)g * g * kResultTrianglesPerSphere), y = PlotY(f, 10);
    cairo_move_to(cr, x, y - 7);
    cairo_line_to(cr, x + 6, y);
    cairo_line_to(cr, x, y + 7);
    cairo_line_to(cr, x - 6, y);
    cairo_close_path(cr);
    cairo_fill(cr);
    if (label < 0) return;
    char text[32];
    snprintf(text, sizeof text, "%d", run.score);
    PlotText(cr, x, y + 20 + 12 * label, 10, true, text, 0.5);
}

// A quick run's steady figure: a dot on the stop line, where its fit reads 10 fps, and a bar
// with ends as wide as its uncertainty either side.
static void SteadyMark(cairo_t *cr, const PlotFrame &f, const ResultRun &run, int label) {
    if (!SteadyReach(run)) return;
    const ResultSteady &s = run.steady;
    double y = PlotY(f, 10), x = PlotX(f, s.score * 1000);
    double x0 = PlotX(f, (s.score - s.uncertainty) * 1000),
           x1 = PlotX(f, (s.score + s.uncertainty) * 1000);
    cairo_save(cr);
    cairo_set_line_width(cr, 2);
    PlotLine(cr, x0, y, x1, y);
    PlotLine(cr, x0, y - 6, x0, y + 6);
    PlotLine(cr, x1, y - 6, x1, y + 6);
    cairo_restore(cr);
    cairo_arc(cr, x, y, 5, 0, 2 * M_PI);
    cairo_fill(cr);
    if (label < 0) return;
    char text[64];
    snprintf(text, sizeof text, "%.0f ± %.0f", s.score, s.uncertainty);
    PlotText(cr, x, y + 20 + 12 * label, 10, true, text, 0.5);
}

static void Runs(cairo_t *cr, const PlotFrame &f, const std::vector<ResultFile> &results) {
    size_t total = 0;
    for (const ResultFile &r : results)
        total += r.runs.size();
    for (size_t r = 0; r < results.size(); r++) {
        double alpha = RunAlpha(results[r]);
        for (size_t i = 0; i < results[r].runs.size(); i++) {
            const ResultRun &run = results[r].runs[i];
            PlotSetColour(cr, RunColour(results, r, i), alpha * 0.6);
            cairo_set_line_width(cr, 1.2);
            RateLine(cr, f, run);
            PlotSetColour(cr, RunColour(results, r, i), alpha);
            cairo_set_line_width(cr, total > 10 ? 1 : 2);
            FpsLine(cr, f, run);
            // Scores are written out while they can stand apart; the legend has the rest.
            ScoreMark(cr, f, run, total <= 4 ? (int)(r + i) : -1);
            SteadyMark(cr, f, run, total <= 4 ? (int)(r + i) : -1);
        }
    }
    cairo_set_line_width(cr, 1);
}

static std::string ScoreText(const ResultFile &r) {
    ResultSummary s = Summarize(r.runs);
    char text[160];
    if (s.scored == 0 && s.measured && s.steadyRuns == 1)
        snprintf(text, sizeof text, "%d run%s, quick: steady figure %.0f ± %.0f", s.runs,
                 s.runs == 1 ? "" : "s", s.medianSteady, s.steadyUncertainty);
    else if (s.scored == 0 && s.measured && s.steadyRuns)
        snprintf(text, sizeof text, "%d runs, quick: median steady figure %.0f ± %.0f", s.runs,
                 s.medianSteady, s.steadyUncertainty);
    else if (s.scored == 0)
        snprintf(text, sizeof text, "%d run%s, no score", s.runs, s.runs == 1 ? "" : "s");
    else if (s.runs == 1)
        snprintf(text, sizeof text, "score %d", s.lowestScore);
    else if (s.scored == 1) // no median of one
        snprintf(text, sizeof text, "%d runs, one scored: score %d", s.runs, s.lowestScore);
    else
        snprintf(text, sizeof text, "%d runs: median %g, %d to %d (%d grid steps)", s.runs,
                 s.medianScore, s.lowestScore, s.highestScore, s.spreadGridSteps);
    return text;
}

static void LegendEntry(cairo_t *cr, double x, double y, const PlotLegendEntry &e) {
    PlotSetColour(cr, e.colour, 1);
    cairo_rectangle(cr, x, y - 9, 14, 10);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    PlotText(cr, x + 20, y, 11, false, e.text.c_str());
}

std::vector<PlotLegendEntry> PlotLegend(const std::vector<ResultFile> &results) {
    std::vector<PlotLegendEntry> entries;
    if (OwnColours(results) && results[0].runs.size() > 1) {
        const ResultFile &r = results[0];
        for (size_t i = 0; i < r.runs.size(); i++) {
            const ResultRun &run = r.runs[i];
            char text[64];
            const char *disturbed = run.verdict.known && run.verdict.disturbed ? ", disturbed"
                                    : run.held.known && run.held.heldBack      ? ", held back"
                                                                               : "";
            if (run.end == kRunScore)
                snprintf(text, sizeof text, "run %zu: score %d%s", i + 1, run.score, disturbed);
            else if (run.end == kRunMeasured && run.steady.known)
                snprintf(text, sizeof text, "run %zu: quick, steady %.0f ± %.0f%s", i + 1,
                         run.steady.score, run.steady.uncertainty, disturbed);
            else if (run.end == kRunMeasured)
                snprintf(text, sizeof text, "run %zu: quick%s", i + 1, disturbed);
            else
                snprintf(text, sizeof text, "run %zu: aborted%s", i + 1, disturbed);
            entries.push_back({RunColour(results, 0, i), text});
        }
        entries.push_back({{0.3, 0.3, 0.3}, ScoreText(r)});
    } else {
        for (size_t r = 0; r < results.size(); r++) {
            std::string name = results[r].name.empty() ? "" : results[r].name + ": ";
            entries.push_back({RunColour(results, r, 0), name + ScoreText(results[r])});
        }
    }
    return entries;
}

// Top right, where the curves, falling from the top left, leave room.
static void Legend(cairo_t *cr, const PlotFrame &f, const std::vector<ResultFile> &results) {
    std::vector<PlotLegendEntry> entries = PlotLegend(results);
    double width = 0;
    cairo_select_font_face(cr, kPlotFont, CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
    cairo_set_font_size(cr, 11);
    for (const PlotLegendEntry &e : entries) {
        cairo_text_extents_t ext;
        cairo_text_extents(cr, ValidUtf8(e.text.c_str()).c_str(), &ext);
        width = std::max(width, ext.x_advance);
    }
    double x = f.right - width - 36, y = f.top + 8;
    cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
    cairo_rectangle(cr, x - 6, y, width + 38, 16.0 * entries.size() + 8);
    cairo_fill(cr);
    for (size_t i = 0; i < entries.size(); i++)
        LegendEntry(cr, x, y + 18 + 16.0 * i, entries[i]);
}

static std::string Date(const std::vector<ResultFile> &results) {
    for (const ResultFile &r : results)
        if (!r.runs.empty()) {
            char text[32];
            struct tm utc;
            time_t t = r.runs[0].started;
            if (gmtime_r(&t, &utc) && strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc))
                return text;
        }
    return "";
}

static void Title(cairo_t *cr, const std::vector<ResultFile> &results) {
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    PlotText(cr, 80, 26, 16, true,
             results.size() == 1 ? "Kelvane result" : "Kelvane: two results compared");
    double y = 46;
    for (size_t r = 0; r < results.size() && r < 2; r++, y += 15) {
        const ResultFile &f = results[r];
        std::string line = f.name.empty() ? "" : f.name + ": ";
        // A renderer's name can be long; about 200 bytes of it fit, cut between characters.
        line += f.renderer.empty() ? "unknown renderer" : ValidUtf8(f.renderer.c_str(), 200);
        char size[32];
        snprintf(size, sizeof size, ", %dx%d", f.width, f.height);
        line += size;
        if (r == 0) line += ", " + Date(results);
        PlotText(cr, 80, y, 12, false, ValidUtf8(line.c_str(), 399).c_str());
    }
}

static void Draw(cairo_t *cr, const std::vector<ResultFile> &results) {
    PlotFrame f = PlotAxes(results);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    Title(cr, results);
    cairo_set_line_width(cr, 1);
    XAxis(cr, f);
    FpsAxis(cr, f);
    RateAxis(cr, f);
    cairo_save(cr);
    cairo_rectangle(cr, f.left, f.top, f.right - f.left, f.bottom - f.top);
    cairo_clip(cr);
    StopLine(cr, f);
    Runs(cr, f, results);
    cairo_restore(cr);
    ClockPanel(cr, f, results);
    Legend(cr, f, results);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    cairo_rectangle(cr, f.left, f.top, f.right - f.left, f.bottom - f.top);
    cairo_stroke(cr);
}

static cairo_status_t Append(void *closure, const unsigned char *data, unsigned int length) {
    ((std::string *)closure)->append((const char *)data, length);
    return CAIRO_STATUS_SUCCESS;
}

// Plays the drawing onto an SVG surface, whose text is the file.
static bool Svg(cairo_surface_t *drawing, std::string *out) {
    cairo_surface_t *svg =
        cairo_svg_surface_create_for_stream(Append, out, kPlotWidth, kPlotHeight);
    // Pixels, not points: a renderer then draws it at the PNG's size.
    cairo_svg_surface_set_document_unit(svg, CAIRO_SVG_UNIT_PX);
    cairo_t *cr = cairo_create(svg);
    cairo_set_source_surface(cr, drawing, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    cairo_surface_finish(svg);
    bool ok = cairo_surface_status(svg) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(svg);
    return ok;
}

static bool Png(cairo_surface_t *drawing, std::string *out) {
    cairo_surface_t *image =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, kPlotWidth, kPlotHeight);
    cairo_t *cr = cairo_create(image);
    cairo_set_source_surface(cr, drawing, 0, 0);
    cairo_paint(cr);
    cairo_destroy(cr);
    bool ok = cairo_surface_write_to_png_stream(image, Append, out) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(image);
    return ok;
}

// One file of the drawing; on err, when it was not written, why.
static bool Written(const char *path, bool encoded, const std::string &text, FILE *err) {
    if (encoded && WriteWhole(path, text)) return true;
    if (err)
        fprintf(err, "kelvane: cannot write %s: %s\n", path,
                encoded ? strerror(errno) : "the plot could not be drawn");
    return false;
}

int WriteDrawing(void (*draw)(cairo_t *cr, const void *what), const void *what, const char *svgPath,
                 const char *pngPath, FILE *err) {
    cairo_rectangle_t extents = {0, 0, kPlotWidth, kPlotHeight};
    cairo_surface_t *drawing = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
    cairo_t *cr = cairo_create(drawing);
    draw(cr, what);
    bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    std::string svg, png;
    // Each file is tried whatever became of the other: each one not written is named.
    bool svgOk = !svgPath || Written(svgPath, ok && Svg(drawing, &svg), svg, err);
    bool pngOk = !pngPath || Written(pngPath, ok && Png(drawing, &png), png, err);
    cairo_surface_destroy(drawing);
    return svgOk && pngOk ? 1 : 0;
}

static void DrawResults(cairo_t *cr, const void *results) {
    Draw(cr, *(const std::vector<ResultFile> *)results);
}

int WritePlot(const std::vector<ResultFile> &results, const char *svgPath, const char *pngPath,
              FILE *err) {
    return WriteDrawing(DrawResults, &results, svgPath, pngPath, err);
}
