#include "history/history.h"

#include "self/folders.h"
#include "record/json.h"
#include "record/reader.h"
#include "history/store.h"

#include <errno.h>
#include <nlohmann/json.hpp>
#include <stdlib.h>
#include <string.h>

using nlohmann::json;

int HistoryPath(std::string *path, bool make, std::string *why) {
    char folder[4096];
    const char *reason = nullptr;
    int made = UserDataFolder(folder, sizeof folder, make, &reason);
    *path = folder[0] ? std::string(folder) + "history.sqlite" : "";
    if (!made) *why = std::string("its folder cannot be made: ") + reason;
    return made;
}

// 64-bit FNV-1a: the same document always gives the same digest, whichever program wrote it
// and however often it is imported.
static std::string Digest(const std::string &s) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : s)
        h = (h ^ c) * 0x100000001b3ull;
    char hex[17];
    snprintf(hex, sizeof hex, "%016llx", (unsigned long long)h);
    return hex;
}

// The history's columns of one run of a result, as the reader read it: never from a second
// reading of the document, so that they hold what the listing and --compare see.
static HistoryRun RunOf(const ResultFile &file, const ResultRun &run) {
    static const char *const kEnds[] = {"going", "score", "aborted", "measured"};
    HistoryRun r = {};
    r.started = ResultTime(run.started);
    r.version = file.version;
    r.renderer = file.renderer;
    r.vendor = file.vendor;
    r.glVersion = file.glVersion;
    r.kernel = file.kernel;
    r.cpu = file.cpu;
    r.driver = file.driver;
    r.width = file.width;
    r.height = file.height;
    r.protocol = run.quick ? "quick" : "climb";
    r.end = kEnds[run.end];
    r.scored = run.end == kRunScore;
    r.score = run.score;
    r.steadyKnown = run.steady.known;
    r.steady = run.steady.score;
    r.steadyUncertainty = run.steady.uncertainty;
    r.disturbed = run.verdict.known ? run.verdict.disturbed : -1;
    r.validation = file.validation;
    return r;
}

// A paired comparison's columns: both sides' strings where they differ, the machine's as
// its document holds them (the reader has checked them), no score nor steady figure.
static HistoryRun PairOf(const PairResult &p, const json &doc) {
    auto both = [&](const std::string &a, const std::string &b) {
        return a == b ? a : a + " / " + b;
    };
    const PairSide &a = p.sides[0], &b = p.sides[1];
    HistoryRun r = {};
    r.started = ResultTime(p.started);
    r.version = doc["version"].get<std::string>();
    r.renderer = both(a.renderer, b.renderer);
    r.vendor = both(a.vendor, b.vendor);
    r.glVersion = both(a.glVersion, b.glVersion);
    r.kernel = doc["machine"]["kernel"].get<std::string>();
    r.cpu = doc["machine"]["cpu"].get<std::string>();
    r.driver = p.driver;
    r.width = p.width;
    r.height = p.height;
    r.protocol = "pair";
    r.end = p.precise ? "precise" : "time_limit";
    r.disturbed = -1;
    return r;
}

// A paired comparison is one entry, its document whole.
static int RecordPair(const std::string &result, int *added, std::string *why) {
    PairResult pair;
    if (!ParsePairResult(result.data(), result.size(), &pair, why)) return 0;
    json doc = json::parse(result, nullptr, false);
    std::string path;
    if (!HistoryPath(&path, true, why) || !OpenHistory(path.c_str(), kHistoryWrite, why)) return 0;
    std::string text = doc.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
    int ok = AddHistoryRun(PairOf(pair, doc), text, Digest(doc.dump()), added, why);
    CloseHistory();
    return ok;
}

int RecordInHistory(const std::string &result, int *added, std::string *why) {
    *added = 0;
    ResultFile parsed;
    if (!ParseResult(result.data(), result.size(), &parsed, why))
        return *why == kPairNotARun && RecordPair(result, added, why);
    json doc = json::parse(result, nullptr, false);
    std::string path;
    if (!HistoryPath(&path, true, why) || !OpenHistory(path.c_str(), kHistoryWrite, why)) return 0;
    json runs = doc["runs"];
    doc.erase("summary"); // of the whole series; each run is kept alone
    bool ok = true;
    for (size_t i = 0; ok && i < runs.size(); i++) {
        doc["runs"] = json::array({runs[i]});
        int one = 0;
        std::string text = doc.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
        ok = AddHistoryRun(RunOf(parsed, parsed.runs[i]), text, Digest(doc.dump()), &one, why);
        *added += one;
    }
    CloseHistory();
    return ok;
}

void RecordTestInHistory(const std::string &result, FILE *err) {
    int added = 0;
    std::string why, path, ignored;
    if (RecordInHistory(result, &added, &why)) return;
    HistoryPath(&path, false, &ignored);
    fprintf(err, "kelvane: history%s%s: %s; the run was not recorded there\n",
            path.empty() ? "" : " ", path.c_str(), why.c_str());
}

// "@ID", "@last", "@last~N" into the run's id; with runsOnly, counting back passes over the
// paired comparisons, and *passed says how many.
static int HistoryId(const char *ref, bool runsOnly, int64_t *id, int *passed, std::string *why) {
    *passed = 0;
    const char *s = ref[0] == '@' ? ref + 1 : ref;
    char *end = nullptr;
    if (strncmp(s, "last", 4) == 0) {
        long back = 0;
        if (s[4] == '~') {
            errno = 0;
            back = s[5] >= '0' && s[5] <= '9' ? strtol(s + 5, &end, 10) : -1;
            if (back < 0 || *end || errno || back > 1000000000) back = -1;
        } else if (s[4]) {
            back = -1;
        }
        if (back >= 0) return HistoryIdFromLast((int)back, runsOnly, id, passed, why);
    } else if (s[0] >= '1' && s[0] <= '9') {
        errno = 0;
        long long n = strtoll(s, &end, 10);
        if (!*end && !errno) {
            *id = n;
            return 1;
        }
    }
    *why = std::string("not a run of the history (@ID, @last or @last~N): ") + ref;
    return 0;
}

// The document of the entry ref names, and its id; see HistoryId.
static int EntryText(const char *ref, bool runsOnly, std::string *text, int64_t *id, int *passed,
                     std::string *why) {
    std::string path;
    if (!HistoryPath(&path, false, why) || !OpenHistory(path.c_str(), kHistoryRead, why)) return 0;
    int ok = HistoryId(ref, runsOnly, id, passed, why) && HistoryDocument(*id, text, why);
    CloseHistory();
    return ok;
}

int HistoryRunText(const char *ref, std::string *text, int64_t *id, std::string *why) {
    int passed = 0;
    return EntryText(ref, false, text, id, &passed, why);
}

// --compare takes run results: counting back from the last passes over paired comparisons.
static std::string PairsPassed(int passed) {
    return (passed == 1 ? std::string("a paired comparison")
                        : std::to_string(passed) + " paired comparisons") +
           " passed over";
}

int ReadHistoryRun(const char *ref, ResultFile *result, std::string *why) {
    std::string text;
    int64_t id = 0;
    int passed = 0;
    if (!EntryText(ref, true, &text, &id, &passed, why)) {
        if (passed) *why += " (" + PairsPassed(passed) + ": --compare takes run results)";
        return 0;
    }
    if (!ParseResult(text.data(), text.size(), result, why)) return 0;
    result->name = "run " + std::to_string(id) + " of the history";
    if (passed) result->name += std::string(" (") + ref + ", " + PairsPassed(passed) + ")";
    return 1;
}

int CheckCountedBack(const char *a, const char *b, std::string *why) {
    const char *refs[] = {a, b};
    std::string series[2];
    int64_t ids[2] = {};
    for (int i = 0; i < 2; i++) {
        if (strncmp(refs[i], "@last", 5) != 0) return 1;
        std::string text, ignored;
        ResultFile r;
        // A reference that names nothing is said by the comparison itself.
        int passed = 0;
        if (!EntryText(refs[i], true, &text, &ids[i], &passed, &ignored) ||
            !ParseResult(text.data(), text.size(), &r, &ignored) || r.runs.empty())
            return 1;
        series[i] = r.runs[0].series;
    }
    if (series[0].empty() || series[0] != series[1] || ids[0] == ids[1]) return 1;
    *why = std::string(a) + " and " + b + " are runs " + std::to_string(ids[0]) + " and " +
           std::to_string(ids[1]) + " of one --repeat series (started " + series[0] +
           "), not two tests: name them by their ids (@" + std::to_string(ids[0]) + " @" +
           std::to_string(ids[1]) + ") to compare them all the same";
    return 0;
}

int ReadResultOrRun(const char *ref, ResultFile *result, std::string *why) {
    return ref[0] == '@' ? ReadHistoryRun(ref, result, why) : ReadResultFile(ref, result, why);
}
