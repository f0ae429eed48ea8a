#include "report/compare.h"

#include "report/plot.h"
#include "record/environment.h"
#include "record/reader.h"
#include "watch/steady.h"
#include "watch/trust.h"
#include "report/summary.h"

#include <algorithm>
#include <map>
#include <math.h>
#include <string.h>
#include <string>

// Each grid size's frame rates over all runs of a result.
static std::map<int, std::vector<double>> RatesByGrid(const ResultFile &r) {
    std::map<int, std::vector<double>> rates;
    for (const ResultRun &run : r.runs)
        for (const ResultStep &s : run.steps)
            rates[s.grid].push_back(s.fps);
    return rates;
}

static void PrintSteps(FILE *out, const ResultFile &a, const ResultFile &b) {
    auto ra = RatesByGrid(a), rb = RatesByGrid(b);
    fprintf(out, "%6s %12s %10s %10s %8s\n", "grid", "triangles", "fps A", "fps B", "B/A");
    for (const auto &[grid, fa] : ra) {
        auto it = rb.find(grid);
        if (it == rb.end()) continue;
        double x = Median(fa), y = Median(it->second);
        char ratio[16] = "-";
        if (x > 0) snprintf(ratio, sizeof ratio, "%.2f", y / x);
        fprintf(out, "%6d %12d %10.1f %10.1f %8s\n", grid, ResultTriangles(grid), x, y, ratio);
    }
}

// How many runs a side's figures leave out, or that they are of disturbed or drifted runs only.
static void PrintDisturbed(FILE *out, const char *which, const ResultSummary &s) {
    if (!s.disturbed && !s.drifted) return;
    const char *kind = !s.drifted     ? DisturbedWord(s)
                       : !s.disturbed ? "drifted"
                       : s.heldBack   ? "disturbed, held back or drifted"
                                      : "disturbed or drifted";
    // A quick run's figure is its steady one: it has no score to speak of.
    const char *figure = s.scored ? "score" : "steady figure";
    int n = s.scored + s.measured;
    if (s.ofDisturbed && n == 1)
        fprintf(out, "%s %s: the one %s; the %s is not this machine's best\n", kind, which,
                FiguredRuns(s), figure);
    else if (s.ofDisturbed)
        fprintf(out, "%s %s: all %d %ss; the %s is not this machine's best\n", kind, which, n,
                FiguredRuns(s), figure);
    else
        fprintf(out, "%s %s: %d run%s, left out of the %s\n", kind, which, s.disturbed + s.drifted,
                s.disturbed + s.drifted == 1 ? "" : "s",
                s.scored ? "score and its spread" : "steady figure");
}

static void PrintScore(FILE *out, const char *which, const ResultSummary &s) {
    if (!s.counted)
        fprintf(out, "score %s: none (%d run%s, all aborted)\n", which, s.runs,
                s.runs == 1 ? "" : "s");
    else if (s.counted == 1)
        fprintf(out, "score %s: %d (one run)\n", which, s.lowestScore);
    else
        fprintf(out, "score %s: %g (median of %d runs, %d to %d, %d grid steps)\n", which,
                s.medianScore, s.counted, s.lowestScore, s.highestScore, s.spreadGridSteps);
    PrintDisturbed(out, which, s);
}

// With repeats the difference counts when the two ranges of scores do not overlap: every run
// of one scored above every run of the other. Only undisturbed runs are judged: a side whose
// every run was disturbed says what its machine had left, and no difference is real on its
// account.
static void PrintDifference(FILE *out, const ResultSummary &a, const ResultSummary &b) {
    if (!a.counted || !b.counted) return;
    fprintf(out, "difference: %+.1f %% (B against A)\n",
            (b.medianScore - a.medianScore) / a.medianScore * 100);
    if (a.ofDisturbed || b.ofDisturbed) {
        fprintf(out,
                "spread: every run of %s was %s: the difference cannot be judged "
                "(repeat the tests on a quiet machine)\n",
                a.ofDisturbed && b.ofDisturbed ? "both"
                : a.ofDisturbed                ? "A"
                                               : "B",
                a.drifted || b.drifted     ? "disturbed or drifted"
                : a.heldBack || b.heldBack ? "disturbed or held back"
                                           : "disturbed");
        return;
    }
    const char *kind = a.drifted || b.drifted       ? "trusted "
                       : a.disturbed || b.disturbed ? "undisturbed "
                                                    : "";
    if (a.counted < 2 && b.counted < 2) {
        fprintf(out,
                "spread: one %srun each, nothing to judge the difference against "
                "(repeat the tests with --repeat)\n",
                kind);
        return;
    }
    bool apart = b.lowestScore > a.highestScore || a.lowestScore > b.highestScore;
    fprintf(out, "spread: the difference %s the spread of the %sruns (A %d to %d, B %d to %d)\n",
            apart ? "exceeds" : "does not exceed", kind, a.lowestScore, a.highestScore,
            b.lowestScore, b.highestScore);
}

// What the runs of a side whose every run was left out were: "disturbed", "held back",
// "drifted", or two or three of them.
static std::string LeftOutFlags(const ResultSummary &s) {
    std::vector<const char *> flags;
    if (s.disturbed > s.heldBack) flags.push_back("disturbed");
    if (s.heldBack) flags.push_back("held back");
    if (s.drifted) flags.push_back("drifted");
    std::string text;
    for (size_t i = 0; i < flags.size(); i++)
        text += std::string(i == 0 ? "" : i + 1 == flags.size() ? " or " : ", ") + flags[i];
    return text.empty() ? "disturbed or drifted" : text;
}

// The steady figures' ratio with twice their uncertainties together, only of trusted runs:
// what the comparison judges and the gate judges alike.
static GateFigures SteadyRatio(const ResultSummary &sa, const ResultSummary &sb) {
    GateFigures f = {};
    const ResultSummary *both[] = {&sa, &sb};
    for (int i = 0; i < 2 && f.why.empty(); i++)
        if (!both[i]->steadyRuns || !(both[i]->medianSteady > 0))
            f.why = std::string(i ? "B" : "A") + " has no steady figure";
    for (int i = 0; i < 2 && f.why.empty(); i++)
        if (both[i]->ofDisturbed)
            f.why =
                std::string("every run of ") + (i ? "B" : "A") + " was " + LeftOutFlags(*both[i]);
    if (!f.why.empty()) return f;
    double bound = 2 * hypot(sa.steadyUncertainty, sb.steadyUncertainty);
    f.known = true;
    f.ratio = sb.medianSteady / sa.medianSteady;
    f.low = (sb.medianSteady - bound) / sa.medianSteady;
    f.high = (sb.medianSteady + bound) / sa.medianSteady;
    return f;
}

// The steady figures, each with its uncertainty (a series': its runs' median ones); a
// difference counts when it passes twice the two uncertainties together.
static void PrintSteady(FILE *out, const ResultSummary &a, const ResultSummary &b,
                        const GateFigures &f) {
    const ResultSummary *both[] = {&a, &b};
    for (int i = 0; i < 2; i++)
        if (both[i]->steadyRuns)
            fprintf(out, "steady %c: %.0f ± %.0f%s\n", 'A' + i, both[i]->medianSteady,
                    both[i]->steadyUncertainty,
                    both[i]->steadyRuns > 1 ? " (median of the runs' figures and uncertainties)"
                                            : "");
        else
            fprintf(out, "steady %c: none\n", 'A' + i);
    if (!a.steadyRuns || !b.steadyRuns || !(a.medianSteady > 0)) return;
    fprintf(out, "steady difference: %+.1f %% (B against A), ",
            (b.medianSteady - a.medianSteady) / a.medianSteady * 100);
    if (!f.known)
        fprintf(out, "not judged: %s\n", f.why.c_str());
    else
        fprintf(out, "%s twice the uncertainties\n", f.low > 1 || f.high < 1 ? "beyond" : "within");
}

// The GPU each side ran on, where it was watched: how many runs it held back, its clock at
// its highest while busy and its lowest over the steps that decided, its hottest, and the
// reasons its driver gave. A difference between sides whose GPU was held back is partly
// the GPU's state, not the renderer's.
static void PrintGpu(FILE *out, const ResultFile &a, const ResultFile &b) {
    const ResultFile *both[] = {&a, &b};
    bool any = false;
    for (const ResultFile *f : both)
        for (const ResultRun &run : f->runs)
            any = any || run.held.known;
    if (!any) return;
    for (int i = 0; i < 2; i++) {
        int watched = 0, held = 0;
        double top = 0, low = -1, hottest = -1;
        unsigned reasons = 0;
        for (const ResultRun &run : both[i]->runs) {
            const ResultHeld &h = run.held;
            if (!h.known) continue;
            watched++;
            held += h.heldBack;
            top = std::max(top, h.topMhz);
            if (h.lowMhz >= 0 && (low < 0 || h.lowMhz < low)) low = h.lowMhz;
            hottest = std::max(hottest, h.hottestC);
            reasons |= h.throttle;
        }
        fprintf(out, "gpu %c: ", 'A' + i);
        if (!watched) {
            fputs("not watched\n", out);
            continue;
        }
        fprintf(out, "%d of %d run%s held back", held, watched, watched == 1 ? "" : "s");
        if (low >= 0)
            fprintf(out, "; clock %s MHz at its highest busy, %s at its lowest deciding",
                    Thousands(top).c_str(), Thousands(low).c_str());
        if (hottest >= 0) fprintf(out, "; hottest %.0f °C", hottest);
        if (reasons) fprintf(out, "; throttled: %s", ThrottleNames(reasons).c_str());
        fputc('\n', out);
    }
}

// "climb", "quick" or "climb and quick": what a result's runs measured.
static std::string Protocol(const ResultFile &r) {
    bool climb = false, quick = false;
    for (const ResultRun &run : r.runs)
        (run.quick ? quick : climb) = true;
    return climb && quick ? "climb and quick" : quick ? "quick" : "climb";
}

static std::string Surface(const ResultFile &r) {
    return std::to_string(r.width) + "x" + std::to_string(r.height);
}

static std::string Video(const ResultFile &r) {
    return r.driver == "offscreen" ? "offscreen" : r.driver + " window";
}

static std::string Settings(const ResultFile &r) {
    return std::string("textures ") + (r.textures ? "on" : "off") + ", lighting " +
           (r.lighting ? "on" : "off") + ", keep in sync " + (r.keepInSync ? "on" : "off");
}

// The GL environments, variable by variable, "unset" where a side had none of it: each a
// plain difference, for a setting of the driver is what is being compared. A file written
// before they were recorded is said once, and differs in nothing. How many differ.
static int PrintEnvironments(FILE *out, const ResultFile &a, const ResultFile &b) {
    if (!a.environment || !b.environment) {
        fprintf(out, "environment: not recorded in %s\n",
                a.environment   ? "B"
                : b.environment ? "A"
                                : "A or B");
        return 0;
    }
    ResultEnvironment names = *a.environment;
    names.insert(b.environment->begin(), b.environment->end());
    int differ = 0;
    for (const auto &[name, _] : names) {
        auto x = a.environment->find(name), y = b.environment->find(name);
        std::string va = x == a.environment->end() ? "unset" : GlEnvironmentValue(x->second),
                    vb = y == b.environment->end() ? "unset" : GlEnvironmentValue(y->second);
        if (va == vb) continue;
        differ++;
        fprintf(out, "differs: environment: %s: %s (A), %s (B)\n", name.c_str(), va.c_str(),
                vb.c_str());
    }
    return differ;
}

struct Aspect {
    const char *name;
    std::string a, b;
    const char *warning; // null: a difference to compare, not one that spoils it
};

static std::vector<Aspect> Aspects(const ResultFile &a, const ResultFile &b) {
    return {
        {"surface", Surface(a), Surface(b),
         "the grids' triangles cover different pixels: the figures are not comparable"},
        {"settings", Settings(a), Settings(b),
         "the scene or its pacing is not the same: the figures are not comparable"},
        {"video", Video(a), Video(b),
         "a window's frames also pass through the window system: the figures are not "
         "comparable as the renderer's alone"},
        {"renderer", a.renderer, b.renderer, nullptr},
        {"OpenGL", a.glVersion, b.glVersion, nullptr},
        {"kernel", a.kernel, b.kernel, nullptr},
        {"CPU", a.cpu, b.cpu, nullptr},
        {"protocol", Protocol(a), Protocol(b), nullptr},
        {"Kelvane", a.version, b.version, nullptr},
    };
}

// What the two were measured with, where it differs; a difference that makes the figures
// measure different things is warned about: the verdicts below cannot see it.
static int PrintDifferences(FILE *out, const ResultFile &a, const ResultFile &b) {
    std::vector<Aspect> aspects = Aspects(a, b);
    int differ = 0, warned = 0;
    for (const Aspect &x : aspects) {
        if (x.a == x.b) continue;
        differ++;
        warned += x.warning != nullptr;
        fprintf(out, "differs: %s: %s (A), %s (B)\n", x.name, x.a.empty() ? "unknown" : x.a.c_str(),
                x.b.empty() ? "unknown" : x.b.c_str());
        if (x.warning) fprintf(out, "warning: %s\n", x.warning);
    }
    differ += PrintEnvironments(out, a, b);
    if (!differ) {
        // The list of what is the same is the table's own names, so it cannot fall behind it.
        std::vector<const char *> same;
        for (const Aspect &x : aspects)
            same.push_back(x.name);
        if (a.environment && b.environment) same.push_back("environment");
        const size_t n = same.size();
        fputs("same: ", out);
        for (size_t i = 0; i < n; i++)
            fprintf(out, "%s%s", same[i], i + 2 < n ? ", " : i + 1 < n ? " and " : "\n");
    }
    return warned;
}

void PrintComparison(FILE *out, const ResultFile &a, const ResultFile &b) {
    const ResultFile *both[] = {&a, &b};
    for (int i = 0; i < 2; i++)
        fprintf(out, "%c: %s (%s, %dx%d, %zu run%s)\n", 'A' + i, both[i]->name.c_str(),
                both[i]->renderer.empty() ? "unknown renderer" : both[i]->renderer.c_str(),
                both[i]->width, both[i]->height, both[i]->runs.size(),
                both[i]->runs.size() == 1 ? "" : "s");
    int warned = PrintDifferences(out, a, b);
    PrintSteps(out, a, b);
    ResultSummary sa = Summarize(a.runs), sb = Summarize(b.runs);
    // A quick run has no score: against anything, only the steady figures compare.
    if ((sa.measured && !sa.scored) || (sb.measured && !sb.scored)) {
        fprintf(out, "score: %s quick, without a score: only the steady figures are compared\n",
                sa.measured && !sa.scored && sb.measured && !sb.scored ? "both are"
                : sa.measured && !sa.scored                            ? "A is"
                                                                       : "B is");
        PrintDisturbed(out, "A", sa);
        PrintDisturbed(out, "B", sb);
    } else {
        PrintScore(out, "A", sa);
        PrintScore(out, "B", sb);
        PrintDifference(out, sa, sb);
    }
    PrintSteady(out, sa, sb, CompareGateFigures(a, b));
    PrintGpu(out, a, b);
    if (warned)
        fprintf(out, "warning: not comparable: the difference above is not the renderer's "
                     "alone (see the warnings at the top)\n");
}

GateFigures CompareGateFigures(const ResultFile &a, const ResultFile &b) {
    // Figures that measure different things have no ratio to judge, however it falls.
    for (const Aspect &x : Aspects(a, b))
        if (x.warning && x.a != x.b) {
            GateFigures f = {};
            f.why = std::string("not comparable: ") + x.name + " " + x.a + " (A), " + x.b + " (B)";
            return f;
        }
    return SteadyRatio(Summarize(a.runs), Summarize(b.runs));
}

static bool EndsWith(const char *s, const char *end) {
    size_t n = strlen(s), m = strlen(end);
    return n >= m && strcmp(s + n - m, end) == 0;
}

int CompareResults(const char *pathA, const char *pathB, const char *plotPath, FILE *out, FILE *err,
                   ResultReader read, double failIfSlower, GateOutcome *gate) {
    ResultFile r[2];
    const char *paths[] = {pathA, pathB};
    for (int i = 0; i < 2; i++) {
        std::string why;
        if (read(paths[i], &r[i], &why)) continue;
        fprintf(err, "kelvane: %s: %s\n", paths[i], why.c_str());
        return 0;
    }
    PrintComparison(out, r[0], r[1]);
    if (gate && failIfSlower >= 0)
        *gate = JudgeGate(CompareGateFigures(r[0], r[1]), failIfSlower, out);
    if (!plotPath) return 1;
    bool svg = EndsWith(plotPath, ".svg");
    // A plot not written is named on err with why.
    return WritePlot({r[0], r[1]}, svg ? plotPath : nullptr, svg ? nullptr : plotPath, err);
}
