#include "history/store.h"

#include <sqlite3.h>
#include <stdio.h>
#include <string.h>

sqlite3 *historyDb;

// "KVLN": marks the file as a Kelvane history, so another program's database is never
// taken for one, nor written to.
static const int kApplicationId = 0x4b564c4e;
// Long enough for another Kelvane to record its run (a few milliseconds), short enough that
// a history someone holds locked costs the end of a test little.
static const int kBusyMillis = 5000;

static const char kCreate[] = "CREATE TABLE IF NOT EXISTS runs ("
                              " id INTEGER PRIMARY KEY,"
                              " started TEXT NOT NULL,"
                              " version TEXT NOT NULL,"
                              " renderer TEXT NOT NULL,"
                              " vendor TEXT NOT NULL,"
                              " gl_version TEXT NOT NULL,"
                              " kernel TEXT NOT NULL,"
                              " cpu TEXT NOT NULL,"
                              " driver TEXT NOT NULL,"
                              " width INTEGER NOT NULL,"
                              " height INTEGER NOT NULL,"
                              " protocol TEXT NOT NULL,"
                              " end_state TEXT NOT NULL,"
                              " score INTEGER,"
                              " steady REAL,"
                              " steady_uncertainty REAL,"
                              " disturbed INTEGER,"
                              " validation TEXT,"
                              " digest TEXT NOT NULL UNIQUE,"
                              " document TEXT NOT NULL);"
                              "CREATE INDEX IF NOT EXISTS runs_by_start ON runs(started, id);";

static int Fail(std::string *why, const char *what) {
    *why = std::string(what) + ": " + (historyDb ? sqlite3_errmsg(historyDb) : "out of memory");
    return 0;
}

static int Exec(const char *sql, std::string *why, const char *what) {
    return sqlite3_exec(historyDb, sql, nullptr, nullptr, nullptr) == SQLITE_OK || Fail(why, what);
}

static int PragmaInt(const char *sql, int *value) {
    sqlite3_stmt *st = nullptr;
    int rc = sqlite3_prepare_v2(historyDb, sql, -1, &st, nullptr);
    if (rc == SQLITE_OK) rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) *value = sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return rc == SQLITE_ROW;
}

// Where the next change of format brings an older history up to this one, inside the
// transaction that checked it. Format 1 is the first: nothing older exists yet.
static int Migrate(int from, std::string *why) {
    (void)from;
    (void)why;
    return 1;
}

// Makes or brings up to date a history this process may write: inside one transaction, so
// that two programs starting on a new file agree on it.
static int Prepare(std::string *why) {
    if (!Exec("BEGIN IMMEDIATE", why, "the history is locked")) return 0;
    int id = 0, format = 0, tables = 0;
    if (!PragmaInt("PRAGMA application_id", &id) || !PragmaInt("PRAGMA user_version", &format) ||
        !PragmaInt("SELECT count(*) FROM sqlite_master", &tables)) {
        Fail(why, "cannot be read");
        sqlite3_exec(historyDb, "ROLLBACK", nullptr, nullptr, nullptr);
        return 0;
    }
    bool fresh = id == 0 && format == 0 && tables == 0;
    const char *refusal = nullptr;
    if (!fresh && id != kApplicationId)
        refusal = "not a Kelvane history (another program's database)";
    else if (format > kHistoryFormat)
        refusal = "written by a newer Kelvane, in a format this one does not know";
    if (refusal) {
        *why = refusal;
        sqlite3_exec(historyDb, "ROLLBACK", nullptr, nullptr, nullptr);
        return 0;
    }
    char set[96];
    snprintf(set, sizeof set, "PRAGMA application_id = %d; PRAGMA user_version = %d;",
             kApplicationId, kHistoryFormat);
    // A history of this format is left as it is: reading it writes nothing.
    bool current = !fresh && format == kHistoryFormat;
    bool ok =
        (current || ((fresh || Migrate(format, why)) && Exec(kCreate, why, "cannot be made") &&
                     Exec(set, why, "cannot be marked"))) &&
        Exec("COMMIT", why, "cannot be written");
    if (!ok) sqlite3_exec(historyDb, "ROLLBACK", nullptr, nullptr, nullptr);
    return ok;
}

// Reads the file's header, without SQLite, before anything may write to it: only an empty
// file, a Kelvane history, or an SQLite file without a mark (a history whose first
// transaction never ended, or another program's, which Prepare tells apart) go on.
static int Recognise(const char *path, std::string *why) {
    FILE *f = fopen(path, "rb");
    if (!f) return 1; // made by the open, or refused by it with its reason
    unsigned char h[100];
    size_t n = fread(h, 1, sizeof h, f);
    fclose(f);
    if (n == 0) return 1;
    if (n < sizeof h || memcmp(h, "SQLite format 3", 16) != 0) {
        *why = "not a Kelvane history (not an SQLite database)";
        return 0;
    }
    uint32_t id = (uint32_t)h[68] << 24 | (uint32_t)h[69] << 16 | (uint32_t)h[70] << 8 | h[71];
    if (id == (uint32_t)kApplicationId || id == 0) return 1;
    *why = "not a Kelvane history (another program's database)";
    return 0;
}

int OpenHistory(const char *path, std::string *why) {
    CloseHistory();
    if (!Recognise(path, why)) return 0;
    int rc = sqlite3_open_v2(path, &historyDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc == SQLITE_OK) sqlite3_busy_timeout(historyDb, kBusyMillis);
    // WAL lets a reader list the history while another program records a run.
    bool ok = rc == SQLITE_OK
                  ? Prepare(why) && Exec("PRAGMA journal_mode = WAL", why, "cannot be set up")
                  : Fail(why, "cannot be opened");
    if (!ok) CloseHistory();
    return ok;
}

void CloseHistory(void) {
    if (historyDb) sqlite3_close(historyDb);
    historyDb = nullptr;
}

static void BindText(sqlite3_stmt *st, int i, const std::string &s) {
    sqlite3_bind_text(st, i, s.c_str(), (int)s.size(), SQLITE_TRANSIENT);
}

static const char kInsert[] =
    "INSERT OR IGNORE INTO runs (started, version, renderer, vendor, gl_version, kernel, cpu,"
    " driver, width, height, protocol, end_state, score, steady, steady_uncertainty,"
    " disturbed, validation, digest, document)"
    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)";

static void BindRun(sqlite3_stmt *st, const HistoryRun &r) {
    const std::string *texts[] = {&r.started,   &r.version, &r.renderer, &r.vendor,
                                  &r.glVersion, &r.kernel,  &r.cpu,      &r.driver};
    int i = 1;
    for (const std::string *t : texts)
        BindText(st, i++, *t);
    sqlite3_bind_int(st, i++, r.width);
    sqlite3_bind_int(st, i++, r.height);
    BindText(st, i++, r.protocol);
    BindText(st, i++, r.end);
    if (r.scored) sqlite3_bind_int(st, i, r.score);
    i++;
    if (r.steadyKnown) {
        sqlite3_bind_double(st, i, r.steady);
        sqlite3_bind_double(st, i + 1, r.steadyUncertainty);
    }
    i += 2;
    if (r.disturbed >= 0) sqlite3_bind_int(st, i, r.disturbed);
    i++;
    if (!r.validation.empty()) BindText(st, i, r.validation);
}

int AddHistoryRun(const HistoryRun &run, const std::string &document, const std::string &digest,
                  int *added, std::string *why) {
    *added = 0;
    if (!historyDb) return Fail(why, "not open");
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(historyDb, kInsert, -1, &st, nullptr) != SQLITE_OK)
        return Fail(why, "cannot be written");
    BindRun(st, run);
    BindText(st, 18, digest);
    BindText(st, 19, document);
    // One statement is one transaction: the run is in the history whole, or not at all.
    int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE) return Fail(why, rc == SQLITE_BUSY ? "locked" : "cannot be written");
    *added = sqlite3_changes(historyDb);
    return 1;
}

static std::string Column(sqlite3_stmt *st, int i) {
    const unsigned char *t = sqlite3_column_text(st, i);
    return t ? (const char *)t : "";
}

static HistoryRun RowOf(sqlite3_stmt *st) {
    HistoryRun r = {};
    r.id = sqlite3_column_int64(st, 0);
    std::string *texts[] = {&r.started,   &r.version, &r.renderer, &r.vendor,
                            &r.glVersion, &r.kernel,  &r.cpu,      &r.driver};
    int i = 1;
    for (std::string *t : texts)
        *t = Column(st, i++);
    r.width = sqlite3_column_int(st, i++);
    r.height = sqlite3_column_int(st, i++);
    r.protocol = Column(st, i++);
    r.end = Column(st, i++);
    r.scored = sqlite3_column_type(st, i) != SQLITE_NULL;
    r.score = sqlite3_column_int(st, i++);
    r.steadyKnown = sqlite3_column_type(st, i) != SQLITE_NULL;
    r.steady = sqlite3_column_double(st, i++);
    r.steadyUncertainty = sqlite3_column_double(st, i++);
    r.disturbed = sqlite3_column_type(st, i) == SQLITE_NULL ? -1 : sqlite3_column_int(st, i);
    i++;
    r.validation = Column(st, i);
    return r;
}

int ListHistory(std::vector<HistoryRun> *runs, std::string *why) {
    runs->clear();
    if (!historyDb) return Fail(why, "not open");
    static const char kList[] =
        "SELECT id, started, version, renderer, vendor, gl_version, kernel, cpu, driver, width,"
        " height, protocol, end_state, score, steady, steady_uncertainty, disturbed, validation"
        " FROM runs ORDER BY started, id";
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(historyDb, kList, -1, &st, nullptr) != SQLITE_OK)
        return Fail(why, "cannot be read");
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        runs->push_back(RowOf(st));
    sqlite3_finalize(st);
    return rc == SQLITE_DONE || Fail(why, "cannot be read");
}

int HistoryDocument(int64_t id, std::string *document, std::string *why) {
    if (!historyDb) return Fail(why, "not open");
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(historyDb, "SELECT document FROM runs WHERE id = ?", -1, &st, nullptr) !=
        SQLITE_OK)
        return Fail(why, "cannot be read");
    sqlite3_bind_int64(st, 1, id);
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) *document = Column(st, 0);
    sqlite3_finalize(st);
    if (rc == SQLITE_ROW) return 1;
    if (rc == SQLITE_DONE) *why = "no run " + std::to_string(id) + " in the history";
    return rc == SQLITE_DONE ? 0 : Fail(why, "cannot be read");
}

int HistoryIdFromLast(int back, int64_t *id, std::string *why) {
    if (!historyDb) return Fail(why, "not open");
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(historyDb,
                           "SELECT id FROM runs ORDER BY started DESC, id DESC LIMIT 1 OFFSET ?",
                           -1, &st, nullptr) != SQLITE_OK)
        return Fail(why, "cannot be read");
    sqlite3_bind_int(st, 1, back);
    int rc = sqlite3_step(st);
    if (rc == SQLITE_ROW) *id = sqlite3_column_int64(st, 0);
    sqlite3_finalize(st);
    if (rc == SQLITE_ROW) return 1;
    if (rc == SQLITE_DONE)
        *why = back ? "the history holds no run " + std::to_string(back) + " before the last"
                    : "the history holds no run";
    return rc == SQLITE_DONE ? 0 : Fail(why, "cannot be read");
}
