// The history's store through its own calls: what a run's digest keeps apart, which run
// @last names, and the words for what stood in the way.
#include "history/store.h"
#include "support/temp_dir.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <thread>
#include <unistd.h>

TEST(HistoryStoreTest, KeepsEveryDocumentOnceAndCountsBackFromTheLatest) {
    TempDir dir;
    std::string why, path = dir.path("h.sqlite");
    ASSERT_EQ(1, OpenHistory(path.c_str(), kHistoryWrite, &why)) << why;
    HistoryRun run = {};
    // Two documents of one digest are both kept; each again is not. Starts out of id order.
    const char *adds[][3] = {{"2026-01-02", "a", "1"},
                             {"2026-01-03", "b", "1"},
                             {"2026-01-02", "a", "0"},
                             {"2026-01-01", "c", "1"},
                             {"2026-01-03", "b", "0"}};
    for (auto &a : adds) {
        int added = -1;
        run.started = a[0];
        EXPECT_EQ(1, AddHistoryRun(run, a[1], "same", &added, &why)) << why;
        EXPECT_EQ(a[2][0] - '0', added) << a[1];
    }
    int64_t fromLast[] = {2, 1, 3}; // run 3 started first
    for (int back = 0; back < 3; back++) {
        int64_t id = 0;
        int passed = -1;
        EXPECT_EQ(1, HistoryIdFromLast(back, true, &id, &passed, &why));
        EXPECT_EQ(0, passed);
        EXPECT_EQ(fromLast[back], id) << back;
    }
    CloseHistory();
}

// Another program's short write is waited out, not taken for a lock that lasts.
TEST(HistoryStoreTest, WaitsOutAnotherWritersShortTransaction) {
    TempDir dir;
    std::string why, path = dir.path("h.sqlite");
    ASSERT_EQ(1, OpenHistory(path.c_str(), kHistoryWrite, &why)) << why;
    CloseHistory();
    sqlite3 *other = nullptr;
    ASSERT_EQ(SQLITE_OK, sqlite3_open(path.c_str(), &other));
    ASSERT_EQ(SQLITE_OK, sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr));
    std::thread commit([other] {
        usleep(300000);
        sqlite3_exec(other, "COMMIT", nullptr, nullptr, nullptr);
    });
    EXPECT_EQ(1, OpenHistory(path.c_str(), kHistoryWrite, &why)) << why;
    commit.join();
    sqlite3_close(other);
    CloseHistory();
}

TEST(HistoryStoreTest, SaysTheRealCause) {
    struct {
        int rc, sys;
        const char *said;
    } rows[] = {{SQLITE_FULL, 0, "no space left on the device"},
                {SQLITE_IOERR_WRITE, ENOSPC, "no space left on the device"},
                {SQLITE_IOERR_SHMSIZE, EDQUOT, "no space left on the device"},
                {SQLITE_CANTOPEN, EACCES, "permission denied"},
                {SQLITE_READONLY, 0, "the file cannot be opened for writing"},
                {SQLITE_BUSY_SNAPSHOT, 0, "locked by another program"}};
    for (auto &r : rows)
        EXPECT_EQ(r.said, HistoryCause(r.rc, r.sys)) << r.rc;
}
