#include "app/results.h"

#include "protocol/drift.h"
#include "record/record.h"
#include "report/plot.h"
#include "self/folders.h"
#include "watch/trust.h"

#include <stdlib.h>

std::string lastRunText;

// The plot of the result, both formats from one drawing.
static int WriteResultPlot(void) {
    char svg[kFolderSize + 32], png[kFolderSize + 32]; // the names are 18 bytes
    snprintf(svg, sizeof svg, "%s%s", app_folder, kResultSvgName);
    snprintf(png, sizeof png, "%s%s", app_folder, kResultPngName);
    return WritePlot({CurrentResult()}, svg, png, stderr);
}

// What a run's verdicts found against its figure, "disturbed, drifted and held back" or "".
static std::string Flags(const ResultRun &run) {
    const char *found[3];
    int n = 0;
    if (run.verdict.known && run.verdict.disturbed) found[n++] = "disturbed";
    if (run.drift.known && run.drift.drifted) found[n++] = "drifted";
    if (run.held.known && run.held.heldBack) found[n++] = "held back";
    std::string text;
    for (int i = 0; i < n; i++)
        text += std::string(i == 0 ? "" : i == n - 1 ? " and " : ", ") + found[i];
    return text;
}

// Whether a single run's figure is one to quote, and if not, what to do instead: a flag
// below the figure is read too late, if at all.
static void SayQuotable(FILE *out, const ResultRun &run) {
    std::string flags = Flags(run);
    if (flags.empty()) {
        fputs(", the figure to quote\n", out);
        return;
    }
    // Only a GPU kept from its clock: another machine would not help, a cool GPU would.
    bool gpuOnly =
        !(run.verdict.known && run.verdict.disturbed) && !(run.drift.known && run.drift.drifted);
    fprintf(out,
            ", %s: not a figure to quote or compare; run it again %s, or compare two "
            "settings with --pair\n",
            flags.c_str(), gpuOnly ? "once the GPU is cool" : "on a quieter machine");
}

// In a series the figure to quote is the series' own, said after its last run.
void SayRun(FILE *out, const ResultRun &run, int n) {
    bool series = resultSeriesAsked > 1;
    if (series) fprintf(out, "%s: ", SeriesRunLabel(n, true).c_str());
    if (run.end == kRunScore && series) {
        fprintf(out, "score %d\n", run.score);
    } else if (run.end == kRunScore) {
        fprintf(out, "score: %d", run.score);
        SayQuotable(out, run);
    } else if (run.end == kRunMeasured && series) {
        fputs("quick, no score\n", out);
    } else if (run.end == kRunMeasured && run.steady.known) {
        fprintf(out, "quick run, no score: steady figure %.0f ± %.0f", run.steady.score,
                run.steady.uncertainty);
        SayQuotable(out, run);
    } else if (run.end == kRunMeasured) {
        fputs("quick run, no score and no steady figure\n", out);
    } else {
        fputs(series ? "aborted\n" : "aborted: no score\n", out);
    }
}

// The frame times and the machine's counters were recorded for the test that just ended,
// and the next test's recording replaces them: gathered now, after its last frame.
void GatherRunTrust(ResultRun *run, FILE *out) {
    std::vector<StepTrust> steps;
    RunTrust trust;
    const DriftCheck *check = DriftCheckOfLastTest();
    GatherTrust(run->steps, run->quick, check ? check->first : -1, check ? check->again : -1,
                &steps, &trust);
    TrustIntoRun(steps, trust, run);
    if (!out) return;
    char *text = nullptr;
    size_t size = 0;
    FILE *said = open_memstream(&text, &size);
    if (!said) return;
    SayRun(said, *run, (int)resultRuns.size());
    PrintTrust(said, trust);
    bool trusted =
        run->verdict.known && !run->verdict.disturbed && run->drift.known && !run->drift.drifted;
    if (trusted && !run->held.known) fprintf(said, "verdicts: neither disturbed nor drifted\n");
    if (trusted && run->held.known && !run->held.heldBack)
        fprintf(said, "verdicts: neither disturbed, drifted nor held back\n");
    fclose(said);
    lastRunText = text ? text : "";
    free(text);
    // A series says each run as it ends, news to whoever watches a long one; a single test
    // says its run once, in the headline at the end.
    if (resultSeriesAsked > 1) fputs(lastRunText.c_str(), out);
    fflush(out);
}

int WritePendingResults(void) {
    if (!resultsPending) return 1;
    resultsPending = false;
    // Only --test keeps a series, and only it says more on standard output.
    if (!resultRuns.empty()) GatherRunTrust(&resultRuns.back(), resultSeries ? stdout : nullptr);
    int written = WriteResultJson();
    return WriteResultPlot() && written;
}
