// Another program that has the database open in a write transaction:
//
//   faults_lockholder <database file> immediate|exclusive
//
// "immediate" takes the write lock (others may still read), "exclusive" keeps everyone out.
// Prints "locked" once the transaction is open, holds it until standard input closes or a line
// arrives, then rolls back, so that the file ends as it was.
#include <sqlite3.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[2], "immediate") != 0 && std::strcmp(argv[2], "exclusive") != 0)) {
        std::fprintf(stderr, "usage: %s <database file> immediate|exclusive\n", argv[0]);
        return 2;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "open: %s\n", db ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close(db);
        return 1;
    }
    const bool exclusive = std::strcmp(argv[2], "exclusive") == 0;
    const char* begin = exclusive ? "BEGIN EXCLUSIVE;" : "BEGIN IMMEDIATE;";
    char* error = nullptr;
    if (sqlite3_exec(db, begin, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "begin: %s\n", error ? error : "?");
        sqlite3_free(error);
        sqlite3_close(db);
        return 1;
    }
    std::printf("locked\n");
    std::fflush(stdout);

    char line[64];
    // A line or the end of the input (the test closing the pipe) releases the lock alike.
    if (std::fgets(line, sizeof line, stdin) == nullptr && std::ferror(stdin) != 0)
        std::fprintf(stderr, "lockholder: standard input unreadable, releasing the lock\n");

    sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}
