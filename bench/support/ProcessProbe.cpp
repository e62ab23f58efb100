#include "bench/support/ProcessProbe.h"

#include <ctime>
#include <dirent.h>
#include <fstream>
#include <sstream>

namespace {

std::int64_t statusField(pid_t pid, const std::string& field)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, field.size() + 1, field + ":") == 0)
            return std::stoll(line.substr(field.size() + 1));
    }
    return 0;
}

void collectChildren(pid_t pid, std::vector<pid_t>& found)
{
    const std::string taskDir = "/proc/" + std::to_string(pid) + "/task";
    DIR* tasks = ::opendir(taskDir.c_str());
    if (!tasks)
        return;
    std::vector<pid_t> children;
    while (const dirent* task = ::readdir(tasks)) {
        if (task->d_name[0] == '.')
            continue;
        // Each thread lists the children it started; the browser engine starts its helpers
        // from threads other than the main one.
        std::ifstream in(taskDir + "/" + task->d_name + "/children");
        pid_t child = 0;
        while (in >> child)
            children.push_back(child);
    }
    ::closedir(tasks);
    for (const pid_t child : children) {
        found.push_back(child);
        collectChildren(child, found);
    }
}

} // namespace

std::vector<pid_t> ProcessProbe::descendants(pid_t pid)
{
    std::vector<pid_t> found;
    collectChildren(pid, found);
    return found;
}

std::string ProcessProbe::name(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string comm;
    std::getline(in, comm);
    return comm;
}

std::int64_t ProcessProbe::cpuNanoseconds(pid_t pid)
{
    // The process's CPU clock counts its ended threads too, to the nanosecond; the tick counts
    // in /proc/<pid>/stat are only good to 10 ms.
    clockid_t clock = 0;
    if (::clock_getcpuclockid(pid, &clock) != 0)
        return 0;
    timespec spent{};
    if (::clock_gettime(clock, &spent) != 0)
        return 0;
    return std::int64_t(spent.tv_sec) * 1000000000 + spent.tv_nsec;
}

std::int64_t ProcessProbe::residentKiB(pid_t pid)
{
    return statusField(pid, "VmRSS");
}

std::int64_t ProcessProbe::peakResidentKiB(pid_t pid)
{
    return statusField(pid, "VmHWM");
}
