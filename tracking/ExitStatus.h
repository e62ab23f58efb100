#pragma once

// The exit statuses of the commands without a window. Scripts and the background check's
// systemd unit act on them, so a number never changes its meaning; the record of every check run,
// the window's too, keeps the one its ending gives.
struct ExitStatus
{
    static constexpr int Ok = 0;
    static constexpr int DatabaseUnreadable = 2; // the database could not be opened or read
    // No parcel got an answer (the site was not reachable or did not answer), or the run ended
    // before its last parcel.
    static constexpr int SiteUnreachable = 3;
    static constexpr int DatabaseBusy = 4;    // another check run holds the database
    static constexpr int StoreFailed = 5;     // at least one answer could not be stored
    static constexpr int LockUnavailable = 6; // the run lock cannot be had (an unusable lock file, a read-only folder)
    // At least one answer has a form this version does not read: the program wants an update, or
    // its maintainers the saved answer. Store failures (5) and no answer at all (3) come first.
    static constexpr int UnreadableAnswer = 7;
    // sysexits.h: 2 means an unreadable database here, so a wrong command line has its own number.
    static constexpr int Usage = 64;        // EX_USAGE
    static constexpr int OutputFailed = 74; // EX_IOERR: standard output could not be written
};
