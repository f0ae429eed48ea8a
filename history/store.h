// The history's database: every run recorded once, in an SQLite file of the user's data
// folder, with what identifies it, what it found and its whole result document. Opened only
// after a test or for a history command, never inside a frame.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string>
#include <vector>

struct sqlite3;

extern sqlite3 *historyDb; // the open history, or null

// A run as the history lists it: the columns the listing and the plot read, not its document.
struct HistoryRun {
    int64_t id;
    std::string started;  // UTC, as the result file writes it
    std::string version;  // the program's
    std::string renderer; // the renderer, vendor and GL version strings
    std::string vendor;
    std::string glVersion;
    std::string kernel, cpu;
    std::string driver; // SDL's video driver: x11, wayland or offscreen
    int width, height;
    // How the run measured: "climb" (the score's test), "quick", or "pair": a paired
    // comparison, whose renderer strings are both sides' ("A / B" where they differ).
    std::string protocol;
    std::string end; // "score", "aborted", "measured"; a pair's "precise" or "time_limit"
    bool scored;
    int score;
    bool steadyKnown;
    double steady, steadyUncertainty;
    int disturbed;          // 1, 0, or -1 when not judged
    std::string validation; // "passed", "failed", "not_validated", or empty when none
};

enum { kHistoryFormat = 1 }; // the database's format, kept in its user_version

// Reading (listing, comparing, exporting, plotting) takes no lock a writer needs and makes
// nothing: a missing history reads as an empty one. Only recording opens it for writing.
enum HistoryAccess { kHistoryRead, kHistoryWrite };

// Opens the history at path; for writing, makes it when missing. Refuses a file that is not
// SQLite, or is another program's database, before SQLite may touch it: such a file is left
// as it was. Waits up to the busy timeout for another process's lock. Non-zero on success;
// otherwise *why says what stood in the way.
int OpenHistory(const char *path, HistoryAccess access, std::string *why);
void CloseHistory(void);

// Adds a run with its whole document (one run's result file), in one transaction. digest
// finds the document: a run whose document is already recorded is not added again (*added
// 0); one that only shares its digest is. Non-zero on success; otherwise *why.
int AddHistoryRun(const HistoryRun &run, const std::string &document, const std::string &digest,
                  int *added, std::string *why);

// Every run, oldest first (by start, then by id). Non-zero on success.
int ListHistory(std::vector<HistoryRun> *runs, std::string *why);

// The document recorded for run id. Non-zero when there is one.
int HistoryDocument(int64_t id, std::string *document, std::string *why);

// The id of the last entry but `back` (0: the last), by the listing's order; with runsOnly
// paired comparisons are not counted, and *passed says how many were passed over. Non-zero
// when there is one.
int HistoryIdFromLast(int back, bool runsOnly, int64_t *id, int *passed, std::string *why);

// Why SQLite's result code rc (with the system's errno, or 0) stood in the way, in words that
// name the real cause: a full disk or a read-only file is no lock.
std::string HistoryCause(int rc, int systemErrno);
