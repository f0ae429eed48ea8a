#include "report/compare.h"

#include "report/plot.h"
#include "record/reader.h"
#include "watch/steady.h"
#include "report/summary.h"

#include <map>
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

// How many runs a side's figures leave out, or that they are of disturbed runs only.
static void PrintDisturbed(FILE *out, const char *which, const ResultSummary &s) {
    if (!s.disturbed) return;
    if (s.ofDisturbed)
        fprintf(out, "disturbed %s: all %d scored runs; the score is not this machine's best\n",
                which, s.scored);
    else
        fprintf(out, "disturbed %s: %d run%s, left out of the score and its spread\n", which,
                s.disturbed, s.disturbed == 1 ? "" : "s");
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
                "spread: every run of %s was disturbed: the difference cannot be judged "
                "(repeat the tests on a quiet machine)\n",
                a.ofDisturbed && b.ofDisturbed ? "both"
                : a.ofDisturbed                ? "A"
                                               : "B");
        return;
    }
    const char *kind = a.disturbed || b.disturbed ? "undisturbed " : "";
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

void PrintComparison(FILE *out, const ResultFile &a, const ResultFile &b) {
    const ResultFile *both[] = {&a, &b};
    for (int i = 0; i < 2; i++)
        fprintf(out, "%c: %s (%s, %dx%d, %zu run%s)\n", 'A' + i, both[i]->name.c_str(),
                both[i]->renderer.empty() ? "unknown renderer" : both[i]->renderer.c_str(),
                both[i]->width, both[i]->height, both[i]->runs.size(),
                both[i]->runs.size() == 1 ? "" : "s");
    PrintSteps(out, a, b);
    ResultSummary sa = Summarize(a.runs), sb = Summarize(b.runs);
    PrintScore(out, "A", sa);
    PrintScore(out, "B", sb);
    PrintDifference(out, sa, sb);
}

static bool EndsWith(const char *s, const char *end) {
    size_t n = strlen(s), m = strlen(end);
    return n >= m && strcmp(s + n - m, end) == 0;
}

int CompareResults(const char *pathA, const char *pathB, const char *plotPath, FILE *out, FILE *err,
                   ResultReader read) {
    ResultFile r[2];
    const char *paths[] = {pathA, pathB};
    for (int i = 0; i < 2; i++) {
        std::string why;
        if (read(paths[i], &r[i], &why)) continue;
        fprintf(err, "kelvane: %s: %s\n", paths[i], why.c_str());
        return 0;
    }
    PrintComparison(out, r[0], r[1]);
    if (!plotPath) return 1;
    bool svg = EndsWith(plotPath, ".svg");
    if (WritePlot({r[0], r[1]}, svg ? plotPath : nullptr, svg ? nullptr : plotPath)) return 1;
    fprintf(err, "kelvane: cannot write the plot %s\n", plotPath);
    return 0;
}
