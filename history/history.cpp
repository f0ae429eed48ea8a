#include "history/history.h"

#include "app/folders.h"
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

static std::string Text(const json &o, const char *key) {
    auto v = o.find(key);
    return v != o.end() && v->is_string() ? v->get<std::string>() : "";
}

static const json &Member(const json &o, const char *key) {
    static const json none = json::object();
    auto v = o.find(key);
    return v != o.end() && v->is_object() ? *v : none;
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

// What the history lists of a one-run document, read from it.
static HistoryRun RunOf(const json &doc) {
    const json &run = doc["runs"][0];
    HistoryRun r = {};
    r.started = Text(run, "started");
    r.version = Text(doc, "version");
    r.renderer = Text(Member(doc, "opengl"), "renderer");
    r.vendor = Text(Member(doc, "opengl"), "vendor");
    r.glVersion = Text(Member(doc, "opengl"), "version");
    r.kernel = Text(Member(doc, "machine"), "kernel");
    r.cpu = Text(Member(doc, "machine"), "cpu");
    r.driver = Text(Member(doc, "video"), "driver");
    r.width = Member(doc, "surface").value("width", 0);
    r.height = Member(doc, "surface").value("height", 0);
    r.protocol = run.contains("protocol") ? Text(run, "protocol") : "climb";
    r.end = Text(run, "end");
    r.scored = run.contains("score") && run["score"].is_number();
    r.score = r.scored ? run["score"].get<int>() : 0;
    r.steadyKnown = run.contains("steady_score") && run["steady_score"].is_number();
    r.steady = r.steadyKnown ? run["steady_score"].get<double>() : 0;
    r.steadyUncertainty = r.steadyKnown && run.value("steady_uncertainty", json()).is_number()
                              ? run["steady_uncertainty"].get<double>()
                              : 0;
    const json &verdict = Member(run, "interference");
    r.disturbed = verdict.contains("disturbed") ? verdict["disturbed"].get<bool>() : -1;
    r.validation = Text(Member(doc, "validation"), "state");
    return r;
}

int RecordInHistory(const std::string &result, int *added, std::string *why) {
    *added = 0;
    ResultFile parsed;
    if (!ParseResult(result.data(), result.size(), &parsed, why)) return 0;
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
        ok = AddHistoryRun(RunOf(doc), text, Digest(doc.dump()), &one, why);
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

// "@ID", "@last", "@last~N" into the run's id.
static int HistoryId(const char *ref, int64_t *id, std::string *why) {
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
        if (back >= 0) return HistoryIdFromLast((int)back, id, why);
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

int HistoryRunText(const char *ref, std::string *text, int64_t *id, std::string *why) {
    std::string path;
    if (!HistoryPath(&path, false, why) || !OpenHistory(path.c_str(), kHistoryRead, why)) return 0;
    int ok = HistoryId(ref, id, why) && HistoryDocument(*id, text, why);
    CloseHistory();
    return ok;
}

int ReadHistoryRun(const char *ref, ResultFile *result, std::string *why) {
    std::string text;
    int64_t id = 0;
    if (!HistoryRunText(ref, &text, &id, why)) return 0;
    if (!ParseResult(text.data(), text.size(), result, why)) return 0;
    result->name = "run " + std::to_string(id) + " of the history";
    return 1;
}

int ReadResultOrRun(const char *ref, ResultFile *result, std::string *why) {
    return ref[0] == '@' ? ReadHistoryRun(ref, result, why) : ReadResultFile(ref, result, why);
}
