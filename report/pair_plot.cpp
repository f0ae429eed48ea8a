#include "report/pair_plot.h"

#include "report/canvas.h"
#include "report/utf8.h"

#include <algorithm>
#include <map>
#include <math.h>
#include <string>

static const PlotColour kSide[2] = {kPalette[0], kPalette[1]};

static double Throughput(const PairTurn &t) {
    return t.meanMs > 0 ? ResultTriangles(t.grid) / t.meanMs : 0;
}

std::vector<PairBlock> PairBlocks(const PairResult &p) {
    // Each pair's kept turns, A's and B's index, in the order the pairs' turns ran.
    std::map<int, std::pair<int, int>> kept;
    std::vector<int> order;
    for (size_t i = 0; i < p.turns.size(); i++) {
        const PairTurn &t = p.turns[i];
        if (t.dropped || t.side < 0 || t.side > 1) continue;
        auto found = kept.find(t.pair);
        if (found == kept.end()) {
            found = kept.emplace(t.pair, std::make_pair(-1, -1)).first;
            order.push_back(t.pair);
        }
        (t.side ? found->second.second : found->second.first) = (int)i;
    }
    std::vector<std::pair<int, int>> pairs;
    for (int n : order)
        if (kept[n].first >= 0 && kept[n].second >= 0) pairs.push_back(kept[n]);
    // Blocks of two pairs of one round, as judged.
    std::vector<PairBlock> blocks;
    for (size_t k = 0; k + 1 < pairs.size();) {
        // A round's odd last pair makes no block.
        if (p.turns[pairs[k].first].round != p.turns[pairs[k + 1].first].round) {
            k++;
            continue;
        }
        double logs = 0, turns = 0;
        for (const auto &[a, b] : {pairs[k], pairs[k + 1]}) {
            double ta = Throughput(p.turns[a]), tb = Throughput(p.turns[b]);
            logs += ta > 0 && tb > 0 ? log(tb / ta) : 0;
            turns += a + b;
        }
        blocks.push_back({turns / 4, exp(logs / 2)});
        k += 2;
    }
    return blocks;
}

// A little room beyond the values, and some where they are all one.
static void Pad(double *lo, double *hi, double least) {
    double room = std::max((*hi - *lo) * 0.08, least);
    *lo -= room;
    *hi += room;
}

PairPlotFrame PairPlotAxes(const PairResult &p) {
    PairPlotFrame f = {80, kPlotWidth - 40.0, 100, 380, 420, 530, 1, 0, 1, 0.9, 1.1};
    f.turns = std::max<double>(1, p.turns.size()) - 0.5;
    double lo = HUGE_VAL, hi = 0;
    for (const PairTurn &t : p.turns)
        if (t.meanMs > 0 && isfinite(t.meanMs))
            lo = std::min(lo, t.meanMs), hi = std::max(hi, t.meanMs);
    if (hi > 0) {
        Pad(&lo, &hi, hi * 0.01);
        f.msMin = std::max(0.0, lo), f.msMax = hi;
    }
    lo = hi = 1; // the ratio of no difference is always in sight
    for (const PairBlock &b : PairBlocks(p))
        lo = std::min(lo, b.ratio), hi = std::max(hi, b.ratio);
    const PairJudgement &j = p.judgement;
    if (j.known) lo = std::min(lo, j.low), hi = std::max(hi, j.high);
    Pad(&lo, &hi, 0.005);
    f.ratioMin = lo, f.ratioMax = hi;
    return f;
}

double PairPlotX(const PairPlotFrame &f, double turn) {
    return f.left + (f.right - f.left) * (turn + 0.5) / (f.turns + 0.5);
}

double PairPlotMsY(const PairPlotFrame &f, double ms) {
    return f.msBottom - (f.msBottom - f.msTop) * (ms - f.msMin) / (f.msMax - f.msMin);
}

double PairPlotRatioY(const PairPlotFrame &f, double ratio) {
    return f.ratioBottom -
           (f.ratioBottom - f.ratioTop) * (ratio - f.ratioMin) / (f.ratioMax - f.ratioMin);
}

// Five values from the bottom of a panel to its top, each with its grid line.
static void YAxis(cairo_t *cr, const PairPlotFrame &f, double top, double bottom, double lo,
                  double hi, const char *title) {
    for (int i = 0; i <= 4; i++)
        PlotValueLine(cr, f.left, f.right, bottom - (bottom - top) * i / 4, lo + (hi - lo) * i / 4,
                      "%.4g");
    cairo_save(cr);
    cairo_translate(cr, f.left - 58, (top + bottom) / 2);
    cairo_rotate(cr, -M_PI / 2);
    PlotText(cr, 0, 0, 12, false, title, 0.5);
    cairo_restore(cr);
}

static void TurnAxis(cairo_t *cr, const PairPlotFrame &f) {
    int step = (int)NiceCeiling(std::max(1.0, f.turns / 10));
    for (int t = 0; t <= f.turns; t += step) {
        double x = PairPlotX(f, t);
        cairo_set_source_rgb(cr, 0.9, 0.9, 0.9);
        PlotLine(cr, x, f.msTop, x, f.msBottom);
        PlotLine(cr, x, f.ratioTop, x, f.ratioBottom);
        char label[32];
        snprintf(label, sizeof label, "%d", t);
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
        PlotText(cr, x, f.ratioBottom + 16, 11, false, label, 0.5);
    }
    PlotText(cr, (f.left + f.right) / 2, f.ratioBottom + 33, 12, false, "turn, in the order run",
             0.5);
}

// A side's kept turns joined by a line, its points filled; a dropped turn hollow, apart.
static void SideTurns(cairo_t *cr, const PairPlotFrame &f, const PairResult &p, int side) {
    PlotSetColour(cr, kSide[side], 1);
    cairo_set_line_width(cr, 1.5);
    bool first = true;
    for (size_t i = 0; i < p.turns.size(); i++) {
        const PairTurn &t = p.turns[i];
        if (t.side != side || t.dropped) continue;
        double x = PairPlotX(f, i), y = PairPlotMsY(f, t.meanMs);
        first ? cairo_move_to(cr, x, y) : cairo_line_to(cr, x, y);
        first = false;
    }
    cairo_stroke(cr);
    double radius = p.turns.size() > 150 ? 2 : 3.5;
    for (size_t i = 0; i < p.turns.size(); i++) {
        const PairTurn &t = p.turns[i];
        if (t.side != side) continue;
        cairo_arc(cr, PairPlotX(f, i), PairPlotMsY(f, t.meanMs), radius, 0, 2 * M_PI);
        if (!t.dropped) {
            cairo_fill(cr);
            continue;
        }
        cairo_save(cr);
        cairo_set_source_rgb(cr, 1, 1, 1);
        cairo_fill_preserve(cr);
        cairo_restore(cr);
        cairo_stroke(cr);
    }
    cairo_set_line_width(cr, 1);
}

// The verdict's interval as a band, its ratio as a line, no difference dashed, and each
// block's ratio as a point.
static void Ratios(cairo_t *cr, const PairPlotFrame &f, const PairResult &p) {
    const PairJudgement &j = p.judgement;
    if (j.known) {
        double y0 = PairPlotRatioY(f, j.high), y1 = PairPlotRatioY(f, j.low);
        cairo_set_source_rgba(cr, 0.17, 0.63, 0.17, 0.25);
        cairo_rectangle(cr, f.left, y0, f.right - f.left, y1 - y0);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0.17, 0.5, 0.17);
        cairo_set_line_width(cr, 1.5);
        PlotLine(cr, f.left, PairPlotRatioY(f, j.ratio), f.right, PairPlotRatioY(f, j.ratio));
    }
    double dash[] = {5, 4};
    cairo_set_dash(cr, dash, 2, 0);
    cairo_set_source_rgb(cr, 0.4, 0.4, 0.4);
    cairo_set_line_width(cr, 1);
    PlotLine(cr, f.left, PairPlotRatioY(f, 1), f.right, PairPlotRatioY(f, 1));
    cairo_set_dash(cr, nullptr, 0, 0);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    for (const PairBlock &b : PairBlocks(p)) {
        cairo_arc(cr, PairPlotX(f, b.turn), PairPlotRatioY(f, b.ratio), 3, 0, 2 * M_PI);
        cairo_fill(cr);
    }
}

static std::string SideLine(const PairResult &p, int side) {
    const PairSide &s = p.sides[side];
    std::string line = std::string(side ? "B: " : "A: ") +
                       (s.setting.empty() ? "as it is" : ValidUtf8(s.setting.c_str(), 120));
    line += " (" + (s.renderer.empty() ? "unknown renderer" : ValidUtf8(s.renderer.c_str(), 120));
    return line + ")";
}

// Below the turn axis, out of the way of any turn.
static void Legend(cairo_t *cr, const PairPlotFrame &f) {
    double x = f.left, y = kPlotHeight - 10.0;
    for (int side = 0; side < 2; side++, x += 90) {
        PlotSetColour(cr, kSide[side], 1);
        cairo_rectangle(cr, x, y - 9, 14, 10);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        PlotText(cr, x + 20, y, 11, false, side ? "B's turns" : "A's turns");
    }
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    PlotText(cr, x, y, 10, false, "hollow: dropped (disturbed, or its partner was)");
    PlotText(cr, f.left + 6, f.ratioTop - 6, 11, false,
             "each block's B/A throughput; band: the verdict's 95 % interval; dashed: no "
             "difference");
}

static void Draw(cairo_t *cr, const void *what) {
    const PairResult &p = *(const PairResult *)what;
    PairPlotFrame f = PairPlotAxes(p);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    PlotText(cr, 80, 22, 16, true, "Kelvane paired comparison");
    PlotText(cr, 80, 40, 12, false, SideLine(p, 0).c_str());
    PlotText(cr, 80, 55, 12, false, SideLine(p, 1).c_str());
    char grid[64];
    snprintf(grid, sizeof grid, ", grid %dx%d, %dx%d", p.grid, p.grid, p.width, p.height);
    PlotText(cr, 80, 72, 12, true, (ValidUtf8(p.verdict.c_str(), 200) + grid).c_str());
    cairo_set_line_width(cr, 1);
    TurnAxis(cr, f);
    YAxis(cr, f, f.msTop, f.msBottom, f.msMin, f.msMax, "mean frame time a turn (ms)");
    YAxis(cr, f, f.ratioTop, f.ratioBottom, f.ratioMin, f.ratioMax, "B / A");
    cairo_save(cr);
    cairo_rectangle(cr, f.left, f.msTop, f.right - f.left, f.msBottom - f.msTop);
    cairo_rectangle(cr, f.left, f.ratioTop, f.right - f.left, f.ratioBottom - f.ratioTop);
    cairo_clip(cr);
    SideTurns(cr, f, p, 0);
    SideTurns(cr, f, p, 1);
    Ratios(cr, f, p);
    cairo_restore(cr);
    Legend(cr, f);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    cairo_rectangle(cr, f.left, f.msTop, f.right - f.left, f.msBottom - f.msTop);
    cairo_rectangle(cr, f.left, f.ratioTop, f.right - f.left, f.ratioBottom - f.ratioTop);
    cairo_stroke(cr);
}

int WritePairPlot(const PairResult &p, const char *svgPath, const char *pngPath, FILE *err) {
    return WriteDrawing(Draw, &p, svgPath, pngPath, err);
}
