// --history and its options: the listing, the export and the import of runs.
#include "app/cmdline.h"
#include "history/history.h"
#include "history/store.h"
#include "record/json.h"
#include "record/reader.h"
#include "report/history_plot.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <time.h>
#include <vector>

// Opens the history to read it, or says why it cannot on err.
static int Open(FILE *err, std::string *path) {
    std::string why;
    if (HistoryPath(path, false, &why) && OpenHistory(path->c_str(), kHistoryRead, &why)) return 1;
    fprintf(err, "kelvane: history%s%s: %s\n", path->empty() ? "" : " ", path->c_str(),
            why.c_str());
    return 0;
}

// "4.5 (Compatibility Profile) Mesa 22.3.6" gives "Mesa 22.3.6": the driver's own version
// follows the GL version and its profile.
static std::string DriverVersion(const std::string &gl) {
    size_t at = gl.find(' ');
    if (at == std::string::npos) return gl;
    std::string rest = gl.substr(at + 1);
    if (!rest.empty() && rest[0] == '(') {
        size_t close = rest.find(") ");
        if (close != std::string::npos) rest = rest.substr(close + 2);
    }
    return rest;
}

// "2026-12-08T12:30:05Z" as "2026-12-08 12:30".
static std::string When(const std::string &started) {
    if (started.size() < 16) return started;
    return started.substr(0, 10) + " " + started.substr(11, 5);
}

static void PrintRun(FILE *out, const HistoryRun &r) {
    char figure[96];
    if (r.scored)
        snprintf(figure, sizeof figure, "score %d", r.score);
    else
        snprintf(figure, sizeof figure, "%s",
                 r.end == "score" || r.end == "measured" ? "no score" : "aborted");
    char steady[64] = "steady none";
    if (r.steadyKnown)
        snprintf(steady, sizeof steady, "steady %.0f ± %.0f", r.steady, r.steadyUncertainty);
    fprintf(out, "%lld  %s  %s  %s  %dx%d %s  %s  %s%s%s%s\n", (long long)r.id,
            When(r.started).c_str(), r.renderer.c_str(), DriverVersion(r.glVersion).c_str(),
            r.width, r.height, r.driver.c_str(), figure, steady,
            r.protocol == "climb" ? "" : ("  " + r.protocol).c_str(),
            r.disturbed == 1 ? "  disturbed" : "",
            r.validation == "failed" ? "  validation failed" : "");
}

// Every run of the history, or a word on err of why not.
static int ReadHistory(FILE *err, std::vector<HistoryRun> *runs, std::string *path) {
    std::string why;
    if (!Open(err, path)) return 0;
    int ok = ListHistory(runs, &why);
    CloseHistory();
    if (!ok) fprintf(err, "kelvane: history %s: %s\n", path->c_str(), why.c_str());
    return ok;
}

int PrintHistory(FILE *out, FILE *err) {
    std::string path;
    std::vector<HistoryRun> runs;
    if (!ReadHistory(err, &runs, &path)) return kExitUsage;
    if (runs.empty()) fprintf(out, "kelvane: no run recorded yet in %s\n", path.c_str());
    for (const HistoryRun &r : runs)
        PrintRun(out, r);
    return kExitScore;
}

int ExportHistoryRun(const char *id, const char *path, FILE *out, FILE *err) {
    std::string ref = id[0] == '@' ? id : std::string("@") + id;
    std::string text, why;
    int64_t n = 0;
    ResultFile check;
    // Through the reader first: what is written out is a result file.
    if (!HistoryRunText(ref.c_str(), &text, &n, &why) ||
        !ParseResult(text.data(), text.size(), &check, &why)) {
        fprintf(err, "kelvane: %s: %s\n", id, why.c_str());
        return kExitUsage;
    }
    if (!WriteWhole(path, text)) {
        fprintf(err, "kelvane: cannot write %s: %s\n", path, strerror(errno));
        return kExitUsage;
    }
    fprintf(out, "kelvane: run %lld written to %s\n", (long long)n, path);
    return kExitScore;
}

int ImportIntoHistory(char *const *paths, int count, FILE *out, FILE *err) {
    int status = kExitScore;
    for (int i = 0; i < count; i++) {
        std::string text, why;
        int added = 0;
        ResultFile parsed;
        if (ReadResultText(paths[i], &text, &why) &&
            ParseResult(text.data(), text.size(), &parsed, &why) &&
            RecordInHistory(text, &added, &why)) {
            size_t runs = parsed.runs.size();
            fprintf(out, "kelvane: %s: %d run%s added, %zu already in the history\n", paths[i],
                    added, added == 1 ? "" : "s", runs - (size_t)added);
            continue;
        }
        fprintf(err, "kelvane: %s: %s\n", paths[i], why.c_str());
        status = kExitUsage;
    }
    return status;
}

// "2026-12-08T12:30:05Z" in seconds since the epoch; 0 when it is not such a time.
static time_t Seconds(const std::string &started) {
    struct tm utc = {};
    const char *end = strptime(started.c_str(), "%Y-%m-%dT%H:%M:%SZ", &utc);
    return end && !*end ? timegm(&utc) : 0;
}

static bool EndsWith(const char *s, const char *end) {
    size_t n = strlen(s), m = strlen(end);
    return n >= m && strcmp(s + n - m, end) == 0;
}

int PlotHistory(const char *path, FILE *out, FILE *err) {
    std::string historyPath;
    std::vector<HistoryRun> runs;
    if (!ReadHistory(err, &runs, &historyPath)) return kExitUsage;
    std::vector<HistoryPoint> points;
    for (const HistoryRun &r : runs) {
        char size[32];
        snprintf(size, sizeof size, ", %dx%d", r.width, r.height);
        points.push_back({Seconds(r.started), r.renderer + size, r.scored, r.score, r.steadyKnown,
                          r.steady, r.steadyUncertainty, r.disturbed == 1});
    }
    bool svg = EndsWith(path, ".svg");
    if (!WriteHistoryPlot(points, svg ? path : nullptr, svg ? nullptr : path)) {
        fprintf(err, "kelvane: cannot write the plot %s\n", path);
        return kExitUsage;
    }
    fprintf(out, "kelvane: %zu run%s drawn into %s\n", runs.size(), runs.size() == 1 ? "" : "s",
            path);
    return kExitScore;
}
