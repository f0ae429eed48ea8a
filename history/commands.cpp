// --history and its options: the listing, the export and the import of runs.
#include "self/exits.h"
#include "history/history.h"
#include "history/store.h"
#include "record/environment.h"
#include "record/json.h"
#include "record/reader.h"
#include "report/history_plot.h"
#include "report/utf8.h"

#include <algorithm>
#include <errno.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
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

// A run of the history as the reader reads its document, as --compare @ID does; why says
// why not when it cannot (a document recorded before the reader refused what it holds).
struct Listed {
    int64_t id;
    ResultFile file;
    std::string why;
    bool pair; // a paired comparison's entry, read into comparison
    PairResult comparison;
};

// A document of the history through the reader: a run's, or a paired comparison's.
static int Parse(const std::string &text, Listed *l) {
    if (ParseResult(text.data(), text.size(), &l->file, &l->why)) return 1;
    if (l->why != kPairNotARun) return 0;
    l->why.clear();
    l->pair = ParsePairResult(text.data(), text.size(), &l->comparison, &l->why);
    return l->pair;
}

// A side's setting in a few words: the program as it is, or what was set, cut short.
static std::string Short(const PairSide &s) {
    if (s.setting.empty()) return "as it is";
    std::string cut = ValidUtf8(s.setting.c_str(), 40);
    return cut.size() < s.setting.size() ? cut + "…" : cut;
}

static void PrintPair(FILE *out, const Listed &l) {
    const PairResult &p = l.comparison;
    std::string when = ResultTime(p.started);
    when = when.substr(0, 10) + " " + when.substr(11, 5);
    fprintf(out, "%lld  %s  pair  A: %s  B: %s  %dx%d %s  %s%s\n", (long long)l.id, when.c_str(),
            Short(p.sides[0]).c_str(), Short(p.sides[1]).c_str(), p.width, p.height,
            p.driver.c_str(), p.verdict.c_str(), p.sameRenderer ? "  same renderer" : "");
}

// The GL variables a run had set, where it had any; cut short, so that a long search path
// leaves the listing a line a run.
static std::string Environment(const ResultFile &f) {
    if (!f.environment || f.environment->empty()) return "";
    std::string text = GlEnvironmentText(*f.environment), cut = ValidUtf8(text.c_str(), 100);
    return "  env: " + (cut.size() < text.size() ? cut + "…" : cut);
}

static void PrintRun(FILE *out, const Listed &l) {
    if (!l.why.empty()) {
        fprintf(out, "%lld  cannot be read: %s\n", (long long)l.id, l.why.c_str());
        return;
    }
    if (l.pair) return PrintPair(out, l);
    const ResultFile &f = l.file;
    const ResultRun &r = f.runs[0];
    char figure[96] = "aborted";
    if (r.end == kRunScore) snprintf(figure, sizeof figure, "score %d", r.score);
    if (r.end == kRunMeasured) snprintf(figure, sizeof figure, "no score");
    char steady[96] = "steady none";
    if (r.steady.known)
        snprintf(steady, sizeof steady, "steady %.0f ± %.0f", r.steady.score, r.steady.uncertainty);
    // "2026-12-08T12:30:05Z" as "2026-12-08 12:30".
    std::string when = ResultTime(r.started);
    when = when.substr(0, 10) + " " + when.substr(11, 5);
    // A drifted run is as little to be trusted as a disturbed one.
    fprintf(out, "%lld  %s  %s  %s  %dx%d %s  %s  %s%s%s%s%s%s%s\n", (long long)l.id, when.c_str(),
            f.renderer.c_str(), DriverVersion(f.glVersion).c_str(), f.width, f.height,
            f.driver.c_str(), figure, steady, r.quick ? "  quick" : "",
            r.verdict.known && r.verdict.disturbed ? "  disturbed" : "",
            r.drift.known && r.drift.drifted ? "  drifted" : "",
            r.held.known && r.held.heldBack ? "  held back" : "",
            f.validation == "failed" ? "  validation failed" : "", Environment(f).c_str());
}

// Each run's document through the reader: the listing and the plot show what it holds.
static int ReadRuns(const std::vector<HistoryRun> &rows, std::vector<Listed> *runs,
                    std::string *why) {
    for (const HistoryRun &row : rows) {
        std::string text;
        if (!HistoryDocument(row.id, &text, why)) return 0;
        Listed l = {row.id, {}, "", false, {}};
        Parse(text, &l); // l.why is set when it fails
        runs->push_back(l);
    }
    return 1;
}

// Every run of the history, or a word on err of why not.
static int ReadHistory(FILE *err, std::vector<Listed> *runs, std::string *path) {
    std::string why;
    std::vector<HistoryRun> rows;
    if (!Open(err, path)) return 0;
    int ok = ListHistory(&rows, &why) && ReadRuns(rows, runs, &why);
    CloseHistory();
    if (!ok) fprintf(err, "kelvane: history %s: %s\n", path->c_str(), why.c_str());
    return ok;
}

// Where to say that path was written: on err when path is out itself (/dev/stdout into a
// pipe or a file), so that what was written stays whole.
static FILE *Beside(const char *path, FILE *out, FILE *err) {
    struct stat file, said;
    bool same = stat(path, &file) == 0 && fstat(fileno(out), &said) == 0 &&
                file.st_dev == said.st_dev && file.st_ino == said.st_ino;
    return same ? err : out;
}

int PrintHistory(FILE *out, FILE *err) {
    std::string path;
    std::vector<Listed> runs;
    if (!ReadHistory(err, &runs, &path)) return kExitUsage;
    if (runs.empty()) fprintf(out, "kelvane: no run recorded yet in %s\n", path.c_str());
    for (const Listed &r : runs)
        PrintRun(out, r);
    return kExitScore;
}

int ExportHistoryRun(const char *id, const char *path, FILE *out, FILE *err) {
    std::string ref = id[0] == '@' ? id : std::string("@") + id;
    std::string text;
    int64_t n = 0;
    Listed check = {};
    // Through the reader first: what is written out is a result file.
    if (!HistoryRunText(ref.c_str(), &text, &n, &check.why) || !Parse(text, &check)) {
        fprintf(err, "kelvane: %s: %s\n", id, check.why.c_str());
        return kExitUsage;
    }
    if (!WriteWhole(path, text)) {
        fprintf(err, "kelvane: cannot write %s: %s\n", path, strerror(errno));
        return kExitUsage;
    }
    fprintf(Beside(path, out, err), "kelvane: %s %lld written to %s\n",
            check.pair ? "paired comparison" : "run", (long long)n, path);
    return kExitScore;
}

int ImportIntoHistory(char *const *paths, int count, FILE *out, FILE *err) {
    int status = kExitScore;
    for (int i = 0; i < count; i++) {
        std::string text;
        int added = 0;
        Listed parsed = {};
        if (ReadResultText(paths[i], &text, &parsed.why) && Parse(text, &parsed) &&
            RecordInHistory(text, &added, &parsed.why)) {
            size_t runs = parsed.pair ? 1 : parsed.file.runs.size();
            fprintf(out, "kelvane: %s: %d %s%s added, %zu already in the history\n", paths[i],
                    added, parsed.pair ? "paired comparison" : "run",
                    added == 1 || parsed.pair ? "" : "s", runs - (size_t)added);
            continue;
        }
        fprintf(err, "kelvane: %s: %s\n", paths[i], parsed.why.c_str());
        status = kExitUsage;
    }
    return status;
}

static bool EndsWith(const char *s, const char *end) {
    size_t n = strlen(s), m = strlen(end);
    return n >= m && strcmp(s + n - m, end) == 0;
}

int PlotHistory(const char *path, FILE *out, FILE *err) {
    std::string historyPath;
    std::vector<Listed> runs;
    if (!ReadHistory(err, &runs, &historyPath)) return kExitUsage;
    std::vector<HistoryPoint> points;
    // A paired comparison has no score to draw over time: left out without a word.
    runs.erase(std::remove_if(runs.begin(), runs.end(), [](const Listed &r) { return r.pair; }),
               runs.end());
    for (const Listed &r : runs)
        if (r.why.empty()) points.push_back(HistoryPointOf(r.file));
    if (points.size() < runs.size())
        fprintf(err, "kelvane: %zu run%s of the history cannot be read and %s not drawn\n",
                runs.size() - points.size(), runs.size() - points.size() == 1 ? "" : "s",
                runs.size() - points.size() == 1 ? "is" : "are");
    bool svg = EndsWith(path, ".svg");
    if (!WriteHistoryPlot(points, svg ? path : nullptr, svg ? nullptr : path, err))
        return kExitUsage;
    fprintf(Beside(path, out, err), "kelvane: %zu run%s drawn into %s\n", points.size(),
            points.size() == 1 ? "" : "s", path);
    return kExitScore;
}
