#include "report/history_plot.h"

#include "report/canvas.h"
#include "report/summary.h"
#include "report/utf8.h"
#include "record/environment.h"

#include <algorithm>
#include <map>
#include <math.h>
#include <stdio.h>

struct TimeFrame {
    double left, top, right, bottom;
    double t0, t1; // seconds at the left and right edge
    double yMax;   // thousands of triangles a frame at the top edge; 0 at the bottom
    std::vector<std::string> series; // in order of first appearance: colour i is series i
};

static double X(const TimeFrame &f, double t) {
    return f.left + (f.right - f.left) * (t - f.t0) / (f.t1 - f.t0);
}
static double Y(const TimeFrame &f, double v) {
    return f.bottom - (f.bottom - f.top) * v / f.yMax;
}

static TimeFrame Frame(const std::vector<HistoryPoint> &points) {
    TimeFrame f = {80, 70, kPlotWidth - 40.0, kPlotHeight - 70.0, 0, 1, 1, {}};
    double lo = 0, hi = 0, top = 0;
    for (size_t i = 0; i < points.size(); i++) {
        const HistoryPoint &p = points[i];
        lo = i ? std::min(lo, (double)p.when) : p.when;
        hi = i ? std::max(hi, (double)p.when) : p.when;
        if (p.scored) top = std::max(top, (double)p.score);
        if (p.steadyKnown) top = std::max(top, p.steady + p.uncertainty);
        if (std::find(f.series.begin(), f.series.end(), p.series) == f.series.end())
            f.series.push_back(p.series);
    }
    // A little room on either side, and a day's span for runs of one moment.
    double pad = std::max(hi - lo, 3600.0) * 0.05;
    f.t0 = lo - pad;
    f.t1 = hi + pad;
    f.yMax = top > 0 ? NiceCeiling(top * 1.05) : 1;
    return f;
}

static void TimeAxis(cairo_t *cr, const TimeFrame &f) {
    bool days = f.t1 - f.t0 > 3 * 86400;
    for (int i = 0; i <= 6; i++) {
        double t = f.t0 + (f.t1 - f.t0) * (0.5 + i) / 7, x = X(f, t);
        cairo_set_source_rgb(cr, 0.9, 0.9, 0.9);
        PlotLine(cr, x, f.top, x, f.bottom);
        char label[32];
        struct tm utc;
        time_t when = (time_t)t;
        if (!gmtime_r(&when, &utc) ||
            !strftime(label, sizeof label, days ? "%Y-%m-%d" : "%m-%d %H:%M", &utc))
            label[0] = 0;
        cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
        PlotText(cr, x, f.bottom + 16, 11, false, label, 0.5);
    }
    PlotText(cr, (f.left + f.right) / 2, f.bottom + 40, 12, false, "when the run started (UTC)",
             0.5);
}

static void ValueAxis(cairo_t *cr, const TimeFrame &f) {
    for (int i = 0; i <= 5; i++)
        PlotValueLine(cr, f.left, f.right, Y(f, f.yMax * i / 5), f.yMax * i / 5);
    cairo_save(cr);
    cairo_translate(cr, f.left - 55, (f.top + f.bottom) / 2);
    cairo_rotate(cr, -M_PI / 2);
    PlotText(cr, 0, 0, 12, false, "score, steady figure (thousand triangles a frame)", 0.5);
    cairo_restore(cr);
}

// A mark filled, or hollow for a disturbed or drifted run: others had a share in its
// figures, or the machine's speed moved under them.
static void Mark(cairo_t *cr, bool hollow) {
    if (!hollow) {
        cairo_fill(cr);
        return;
    }
    cairo_save(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    cairo_restore(cr);
    cairo_set_line_width(cr, 1.5);
    cairo_stroke(cr);
}

// Scores as circles joined by a line, steady figures as squares with their uncertainty,
// joined by a dashed one.
static void Series(cairo_t *cr, const TimeFrame &f, const std::vector<HistoryPoint> &points,
                   const std::string &name, PlotColour colour) {
    double radius = points.size() > 200 ? 2 : 3.5, dash[] = {4, 3};
    for (int steady = 0; steady < 2; steady++) {
        PlotSetColour(cr, colour, 1);
        cairo_set_line_width(cr, 1.2);
        cairo_set_dash(cr, dash, steady ? 2 : 0, 0);
        bool first = true;
        for (const HistoryPoint &p : points) {
            if (p.series != name || !(steady ? p.steadyKnown : p.scored)) continue;
            double x = X(f, p.when), y = Y(f, steady ? p.steady : p.score);
            first ? cairo_move_to(cr, x, y) : cairo_line_to(cr, x, y);
            first = false;
        }
        cairo_stroke(cr);
        cairo_set_dash(cr, nullptr, 0, 0);
        for (const HistoryPoint &p : points) {
            if (p.series != name || !(steady ? p.steadyKnown : p.scored)) continue;
            double x = X(f, p.when), y = Y(f, steady ? p.steady : p.score);
            if (steady) {
                cairo_set_line_width(cr, 1);
                PlotLine(cr, x, Y(f, p.steady - p.uncertainty), x, Y(f, p.steady + p.uncertainty));
                cairo_rectangle(cr, x - radius, y - radius, 2 * radius, 2 * radius);
            } else {
                cairo_arc(cr, x, y, radius, 0, 2 * M_PI);
            }
            Mark(cr, p.disturbed);
        }
    }
    cairo_set_line_width(cr, 1);
}

static void Legend(cairo_t *cr, const TimeFrame &f, const std::vector<HistoryPoint> &points) {
    std::map<std::string, int> runs;
    for (const HistoryPoint &p : points)
        runs[p.series]++;
    size_t shown = std::min(f.series.size(), (size_t)kPaletteSize);
    double x = f.left + 10, y = f.top + 18;
    cairo_set_source_rgba(cr, 1, 1, 1, 0.85);
    cairo_rectangle(cr, x - 6, f.top + 4, 420, 16.0 * shown + 26);
    cairo_fill(cr);
    for (size_t i = 0; i < shown; i++, y += 16) {
        PlotSetColour(cr, kPalette[i], 1);
        cairo_rectangle(cr, x, y - 9, 14, 10);
        cairo_fill(cr);
        // A series named by a long search path is cut short, its count of runs still said.
        std::string name = ValidUtf8(f.series[i].c_str(), 120);
        if (name.size() < f.series[i].size()) name += "…";
        char text[400];
        snprintf(text, sizeof text, "%s (%d run%s)", name.c_str(), runs[f.series[i]],
                 runs[f.series[i]] == 1 ? "" : "s");
        cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
        PlotText(cr, x + 20, y, 11, false, text);
    }
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    PlotText(cr, x, y + 4, 10, false,
             "circles: the score; squares, dashed: the steady figure ± its uncertainty; "
             "hollow: disturbed, drifted or held back");
}

static void Draw(cairo_t *cr, const void *what) {
    const std::vector<HistoryPoint> &points = *(const std::vector<HistoryPoint> *)what;
    TimeFrame f = Frame(points);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_source_rgb(cr, 0.1, 0.1, 0.1);
    PlotText(cr, 80, 26, 16, true, "Kelvane history");
    char line[96];
    snprintf(line, sizeof line, "%zu run%s recorded on this machine", points.size(),
             points.size() == 1 ? "" : "s");
    PlotText(cr, 80, 46, 12, false, line);
    cairo_set_line_width(cr, 1);
    TimeAxis(cr, f);
    ValueAxis(cr, f);
    cairo_save(cr);
    cairo_rectangle(cr, f.left, f.top, f.right - f.left, f.bottom - f.top);
    cairo_clip(cr);
    // Past the palette, series share its colours; the legend names the first ten.
    for (size_t i = 0; i < f.series.size(); i++)
        Series(cr, f, points, f.series[i], kPalette[i % kPaletteSize]);
    cairo_restore(cr);
    Legend(cr, f, points);
    cairo_set_source_rgb(cr, 0.3, 0.3, 0.3);
    cairo_rectangle(cr, f.left, f.top, f.right - f.left, f.bottom - f.top);
    cairo_stroke(cr);
}

HistoryPoint HistoryPointOf(const ResultFile &file) {
    const ResultRun &r = file.runs[0];
    char size[32];
    snprintf(size, sizeof size, ", %dx%d", file.width, file.height);
    // A run with none of the GL variables set continues the line of the runs recorded before
    // they were: what most of those had.
    std::string set = file.environment ? GlEnvironmentText(*file.environment) : "";
    std::string series = file.renderer + size + (set.empty() ? "" : ", " + set);
    // A drifted or held-back run is no more to be trusted than a disturbed one.
    bool untrusted = Untrusted(r);
    return {r.started,      series,         r.end == kRunScore,   r.score,
            r.steady.known, r.steady.score, r.steady.uncertainty, untrusted};
}

HistoryFrame HistoryAxes(const std::vector<HistoryPoint> &points) {
    TimeFrame f = Frame(points);
    return {f.left, f.top, f.right, f.bottom, f.t0, f.t1, f.yMax};
}

int WriteHistoryPlot(const std::vector<HistoryPoint> &points, const char *svgPath,
                     const char *pngPath, FILE *err) {
    return WriteDrawing(Draw, &points, svgPath, pngPath, err);
}
