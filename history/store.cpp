#include "history/store.h"

#include <ctype.h>
#include <errno.h>
#include <sqlite3.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

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

std::string HistoryCause(int rc, int systemErrno) {
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "locked by another program";
    case SQLITE_FULL:
        return "no space left on the device";
    case SQLITE_READONLY:
        return "the file cannot be opened for writing";
    case SQLITE_PERM:
        return "permission denied";
    case SQLITE_NOMEM:
        return "out of memory";
    }
    // An I/O error or a file that cannot be opened: the system's reason says more.
    if (systemErrno == ENOSPC || systemErrno == EDQUOT) return "no space left on the device";
    if (!systemErrno) return sqlite3_errstr(rc);
    std::string said = strerror(systemErrno);
    said[0] = (char)tolower((unsigned char)said[0]);
    return said;
}

static int Fail(std::string *why, const char *what) {
    std::string cause = historyDb ? HistoryCause(sqlite3_extended_errcode(historyDb),
                                                 sqlite3_system_errno(historyDb))
                                  : "out of memory";
    *why = std::string(what) + ": " + cause;
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

// Whether the open file is a history this program knows, with its format; *fresh when
// nothing is in it yet. Otherwise *why.
static int Identify(int *format, bool *fresh, std::string *why) {
    int id = 0, tables = 0;
    *format = 0;
    if (!PragmaInt("PRAGMA application_id", &id) || !PragmaInt("PRAGMA user_version", format) ||
        !PragmaInt("SELECT count(*) FROM sqlite_master", &tables))
        return Fail(why, "cannot be read");
    *fresh = id == 0 && *format == 0 && tables == 0;
    if (!*fresh && id != kApplicationId)
        *why = "not a Kelvane history (another program's database)";
    else if (*format > kHistoryFormat)
        *why = "written by a newer Kelvane, in a format this one does not know";
    else
        return 1;
    return 0;
}

// Makes or brings up to date a history this process may write: inside one transaction, so
// that two programs starting on a new file agree on it.
static int Prepare(std::string *why) {
    if (!Exec("BEGIN IMMEDIATE", why, "cannot be written")) return 0;
    int format = 0;
    bool fresh = false;
    if (!Identify(&format, &fresh, why)) {
        sqlite3_exec(historyDb, "ROLLBACK", nullptr, nullptr, nullptr);
        return 0;
    }
    char set[96];
    snprintf(set, sizeof set, "PRAGMA application_id = %d; PRAGMA user_version = %d;",
             kApplicationId, kHistoryFormat);
    bool current = !fresh && format == kHistoryFormat;
    bool ok =
        (current || ((fresh || Migrate(format, why)) && Exec(kCreate, why, "cannot be made") &&
                     Exec(set, why, "cannot be marked"))) &&
        Exec("COMMIT", why, "cannot be written");
    if (!ok) sqlite3_exec(historyDb, "ROLLBACK", nullptr, nullptr, nullptr);
    return ok;
}

// Reads the file's header, without SQLite, before SQLite may touch it: only an empty file, a
// Kelvane history, or an SQLite file without a mark (a history whose first transaction
// never ended, or another program's, which Identify tells apart) go on. Our history marks
// itself in its first transaction, before it turns WAL on: a file in WAL mode without the
// mark (its header says so, or a -wal beside it) is another program's, whose frames SQLite
// would recover and checkpoint into it on opening.
static int Recognise(const char *path, std::string *why) {
    FILE *f = fopen(path, "rb");
    if (!f) return 1; // made by the open, or refused by it with its reason
    unsigned char h[100];
    size_t n = fread(h, 1, sizeof h, f);
    fclose(f);
    bool wal = (n >= 20 && h[18] == 2 && h[19] == 2) ||
               access((std::string(path) + "-wal").c_str(), F_OK) == 0;
    if (n == 0 && !wal) return 1;
    if (n > 0 && (n < sizeof h || memcmp(h, "SQLite format 3", 16) != 0)) {
        *why = "not a Kelvane history (not an SQLite database)";
        return 0;
    }
    uint32_t id =
        n ? (uint32_t)h[68] << 24 | (uint32_t)h[69] << 16 | (uint32_t)h[70] << 8 | h[71] : 0;
    if (id == (uint32_t)kApplicationId || (id == 0 && !wal)) return 1;
    *why = "not a Kelvane history (another program's database)";
    return 0;
}

// An empty history in memory: what reading finds where none has been recorded yet.
static int OpenEmpty(std::string *why) {
    CloseHistory();
    return sqlite3_open_v2(":memory:", &historyDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                           nullptr) == SQLITE_OK
               ? Exec(kCreate, why, "cannot be made")
               : Fail(why, "cannot be opened");
}

static int OpenToRead(const char *path, std::string *why) {
    if (access(path, F_OK) != 0 && errno == ENOENT) return OpenEmpty(why);
    if (sqlite3_open_v2(path, &historyDb, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return Fail(why, "cannot be opened");
    // A reader never checkpoints: it writes nothing to the history.
    sqlite3_db_config(historyDb, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_busy_timeout(historyDb, kBusyMillis);
    int format = 0;
    bool fresh = false;
    if (!Identify(&format, &fresh, why)) return 0;
    return !fresh || OpenEmpty(why);
}

static int OpenToWrite(const char *path, std::string *why) {
    if (sqlite3_open_v2(path, &historyDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK)
        return Fail(why, "cannot be opened");
    // SQLite falls back to reading a file it may not write; say so before any lock is tried.
    if (sqlite3_db_readonly(historyDb, "main") == 1) {
        *why = "the file cannot be opened for writing";
        if (access(path, W_OK) != 0) *why += ": " + HistoryCause(SQLITE_CANTOPEN, errno);
        return 0;
    }
    sqlite3_busy_timeout(historyDb, kBusyMillis);
    // WAL lets a reader list the history while another program records a run. Its -wal and
    // -shm files stay once made, so that reading needs no room on a disk that has filled.
    int persist = 1;
    sqlite3_file_control(historyDb, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
    return Prepare(why) && Exec("PRAGMA journal_mode = WAL", why, "cannot be set up");
}

int OpenHistory(const char *path, HistoryAccess access, std::string *why) {
    CloseHistory();
    bool ok = Recognise(path, why) &&
              (access == kHistoryWrite ? OpenToWrite(path, why) : OpenToRead(path, why));
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
    "INSERT INTO runs (started, version, renderer, vendor, gl_version, kernel, cpu,"
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

static std::string Column(sqlite3_stmt *st, int i) {
    const unsigned char *t = sqlite3_column_text(st, i);
    return t ? (const char *)t : "";
}

// The key the document goes under: its digest, or the digest with "/2", "/3"... past those
// another document took, so that two documents of one digest are both kept. Empty when the
// document is recorded already.
static int KeyFor(const std::string &document, const std::string &digest, std::string *key,
                  std::string *why) {
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(historyDb, "SELECT document FROM runs WHERE digest = ?", -1, &st,
                           nullptr) != SQLITE_OK)
        return Fail(why, "cannot be read");
    int rc = SQLITE_ROW;
    for (int n = 1; rc == SQLITE_ROW; n++) {
        *key = n == 1 ? digest : digest + "/" + std::to_string(n);
        sqlite3_reset(st);
        BindText(st, 1, *key);
        rc = sqlite3_step(st);
        if (rc == SQLITE_ROW && Column(st, 0) == document) {
            key->clear();
            rc = SQLITE_DONE;
        }
    }
    sqlite3_finalize(st);
    return rc == SQLITE_DONE || Fail(why, "cannot be read");
}

static int Insert(const HistoryRun &run, const std::string &document, const std::string &key,
                  std::string *why) {
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(historyDb, kInsert, -1, &st, nullptr) != SQLITE_OK)
        return Fail(why, "cannot be written");
    BindRun(st, run);
    BindText(st, 18, key);
    BindText(st, 19, document);
    int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    return rc == SQLITE_DONE || Fail(why, "cannot be written");
}

int AddHistoryRun(const HistoryRun &run, const std::string &document, const std::string &digest,
                  int *added, std::string *why) {
    *added = 0;
    if (!historyDb) return Fail(why, "not open");
    // One transaction: the run is in the history whole, or not at all, and no other program
    // takes its key between the look and the insert.
    std::string key;
    if (!Exec("BEGIN IMMEDIATE", why, "cannot be written")) return 0;
    bool ok = KeyFor(document, digest, &key, why) &&
              (key.empty() || Insert(run, document, key, why)) &&
              Exec("COMMIT", why, "cannot be written");
    if (!ok) sqlite3_exec(historyDb, "ROLLBACK", nullptr, nullptr, nullptr);
    *added = ok && !key.empty();
    return ok;
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

int HistoryIdFromLast(int back, bool runsOnly, int64_t *id, int *passed, std::string *why) {
    if (!historyDb) return Fail(why, "not open");
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(historyDb,
                           "SELECT id, protocol = 'pair' FROM runs ORDER BY started DESC, id DESC",
                           -1, &st, nullptr) != SQLITE_OK)
        return Fail(why, "cannot be read");
    int rc, left = back;
    *passed = 0;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        if (runsOnly && sqlite3_column_int(st, 1)) {
            ++*passed;
        } else if (left-- == 0) {
            *id = sqlite3_column_int64(st, 0);
            break;
        }
    }
    sqlite3_finalize(st);
    if (rc == SQLITE_ROW) return 1;
    if (rc == SQLITE_DONE)
        *why = back ? "the history holds no run " + std::to_string(back) + " before the last"
                    : "the history holds no run";
    return rc == SQLITE_DONE ? 0 : Fail(why, "cannot be read");
}
