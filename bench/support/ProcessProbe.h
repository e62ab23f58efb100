#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

// What /proc says about a process: the processes below it, its name, the CPU time it has used
// and its resident memory. Every reading of a process that has gone gives 0 or nothing.
class ProcessProbe
{
public:
    // Every process below `pid` (children, their children, and so on), `pid` itself not included.
    static std::vector<pid_t> descendants(pid_t pid);
    // The command name as the kernel keeps it (at most 15 characters).
    static std::string name(pid_t pid);
    // CPU time of all the process's threads, those that have ended included, in nanoseconds.
    static std::int64_t cpuNanoseconds(pid_t pid);
    // Resident memory now (VmRSS) and at its peak so far (VmHWM), in KiB.
    static std::int64_t residentKiB(pid_t pid);
    static std::int64_t peakResidentKiB(pid_t pid);
};
