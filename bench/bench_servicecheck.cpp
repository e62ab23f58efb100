// `kurierix --check` of 100 parcels whose answers take 300 ms, through the tracking-service
// double and, side by side, through the tracking-site double with the same events. The program
// runs as a child process started here; both doubles run in this process. Per road and run:
//
//   peak RSS          of the program's own process, as time(1) reads it (the page road's browser
//                     helper processes are not in it), target for the service <= 16 MiB. Not this
//                     process's own wait4: a child's ru_maxrss keeps the high-water mark of the
//                     process it was forked from, and this one holds both doubles.
//   CPU per parcel    user + system seconds of the program and every process below it, over the
//                     parcels, target for the service <= 2 ms
//   added per parcel  from each "- отправка данных" line to its "- получение данных", less the
//                     300 ms the double holds each answer: what the road adds to the answer
//                     (request, transfer, reading), target for the service <= 3 ms; beside it the
//                     run's own elapsed time (its closing log line) per parcel less the 300 ms,
//                     which adds storing each answer (the database's synchronous commit)
//   first request     from the start of the process to its first "- отправка данных" line
//
// Beside them, the peak RSS of `kurierix --help`, the least the program maps (target <= 12 MiB).
//
// --parcels, --latency-ms and --runs change the counts.
#include "bench/harness/BenchParcels.h"
#include "bench/support/BenchArguments.h"
#include "bench/support/BenchReport.h"
#include "bench/support/Samples.h"
#include "tools/servicedouble/ServiceDouble.h"
#include "tools/sitedouble/SiteDouble.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

struct RunFigures
{
    bool ok = false;
    double peakRssMiB = 0;
    double cpuMsPerParcel = 0;
    double addedMsPerParcel = 0;
    double runMsPerParcel = 0;
    double firstRequestMs = 0;
};

// time(1), which forks the program from its own small process and writes its peak RSS in KiB.
constexpr const char* kTime = "/usr/bin/time";

double peakRssKiB(const std::string& file)
{
    QFile written(QString::fromStdString(file));
    if (!written.open(QIODevice::ReadOnly))
        return -1;
    bool ok = false;
    const double kib = written.readAll().trimmed().split('\n').last().toDouble(&ok);
    return ok ? kib : -1;
}

// The peak RSS of `kurierix --help`, in MiB; negative when it failed.
double helpPeakRssMiB(const QString& directory)
{
    const std::string rssFile = QFile::encodeName(directory).toStdString() + "/help-peak-rss-kib";
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        execl(kTime, "time", "-f", "%M", "-o", rssFile.c_str(), KURIERIX_PROGRAM, "--help",
              static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    return peakRssKiB(rssFile) / 1024.0;
}

// Starts the program with `settings` added to this process's environment and reads its log.
RunFigures runCheck(const QString& directory, const std::vector<std::string>& settings, int parcels, int latencyMs)
{
    RunFigures figures;
    int out[2];
    if (pipe(out) != 0)
        return figures;
    const Clock::time_point started = Clock::now();
    const std::string rssFile = QFile::encodeName(directory).toStdString() + "/peak-rss-kib";
    const pid_t child = fork();
    if (child == 0) {
        for (const std::string& setting : settings)
            putenv(const_cast<char*>(setting.c_str()));
        unsetenv("QT_QPA_PLATFORM");
        unsetenv("DISPLAY");
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        if (chdir(QFile::encodeName(directory).constData()) != 0)
            _exit(127);
        execle(kTime, "time", "-f", "%M", "-o", rssFile.c_str(), KURIERIX_PROGRAM, "--check",
               static_cast<char*>(nullptr), environ);
        _exit(127);
    }
    close(out[1]);
    std::string pending;
    bool firstSeen = false;
    Clock::time_point sentAt;
    double answeredMs = 0; // from each request's line to its answer's
    int answered = 0;
    double elapsedSeconds = -1;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(out[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        pending.append(buffer, static_cast<std::size_t>(got));
        std::size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            const Clock::time_point now = Clock::now();
            if (line == "- отправка данных") {
                if (!firstSeen)
                    figures.firstRequestMs = std::chrono::duration<double, std::milli>(now - started).count();
                firstSeen = true;
                sentAt = now;
            } else if (line == "- получение данных") {
                answeredMs += std::chrono::duration<double, std::milli>(now - sentAt).count();
                ++answered;
            }
            const std::string elapsedMark = " Время работы (сек) ";
            if (line.rfind(elapsedMark, 0) == 0)
                elapsedSeconds = std::stod(line.substr(elapsedMark.size()));
        }
    }
    close(out[0]);
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0 || !firstSeen
        || elapsedSeconds < 0 || answered != parcels)
        return figures;
    const double cpuMs = (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000.0
                         + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000.0;
    figures.peakRssMiB = peakRssKiB(rssFile) / 1024.0;
    figures.ok = figures.peakRssMiB > 0;
    figures.cpuMsPerParcel = cpuMs / parcels;
    figures.addedMsPerParcel = answeredMs / answered - latencyMs;
    figures.runMsPerParcel = elapsedSeconds * 1000.0 / parcels - latencyMs;
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const BenchArguments args(QCoreApplication::arguments());
    const int parcels = args.intValue(QStringLiteral("--parcels"), 100);
    const int latencyMs = args.intValue(QStringLiteral("--latency-ms"), 300);
    const int runs = args.intValue(QStringLiteral("--runs"), 3);
    BenchReport report("service");
    report.command(argc, argv);

    QTemporaryDir dir;
    const QString fixture = dir.filePath(QStringLiteral("fixture.json"));
    BenchParcels::writeFixture(fixture.toStdString(), parcels, latencyMs);
    SiteDouble site;
    ServiceDouble service;
    QString error;
    if (!site.loadFixture(fixture, &error) || !service.loadFixture(fixture, &error) || !site.start()
        || !service.start()) {
        report.failure("the doubles did not start: " + error.toStdString());
        return report.exitCode();
    }
    service.setLatency(std::chrono::milliseconds(latencyMs));
    const std::string database = dir.filePath(QStringLiteral("database.db")).toStdString();
    BenchParcels::writeDatabase(database, parcels, false);
    const std::string cache = "XDG_CACHE_HOME=" + dir.filePath(QStringLiteral("cache")).toStdString();

    struct Road
    {
        const char* name;
        std::vector<std::string> settings;
        Samples rss, cpu, added, run, first;
    };
    std::vector<Road> roads = {
        {"service",
         {"KURIERIX_SERVICE_URL=" + service.url().toStdString(),
          "KURIERIX_PROBE=127.0.0.1:" + std::to_string(service.port()), "KURIERIX_SOURCE=service",
          "KURIERIX_SERVICE_PACE=0", cache},
         {},
         {},
         {},
         {},
         {}},
        {"page",
         {"KURIERIX_TRACKING_URL=" + site.url().toStdString(),
          "KURIERIX_PROBE=127.0.0.1:" + std::to_string(site.port()), "KURIERIX_SOURCE=page", cache},
         {},
         {},
         {},
         {},
         {}},
    };
    Samples help;
    for (int run = 0; run < runs; ++run) {
        const double helpMiB = helpPeakRssMiB(dir.path());
        if (helpMiB <= 0) {
            report.failure("kurierix --help did not go through");
            return report.exitCode();
        }
        help.add(helpMiB);
        for (Road& road : roads) {
            BenchParcels::clearResults(database);
            const RunFigures figures = runCheck(dir.path(), road.settings, parcels, latencyMs);
            if (!figures.ok || BenchParcels::checkedRows(database) != parcels) {
                report.failure(std::string("the ") + road.name + " road's check did not go through");
                return report.exitCode();
            }
            road.rss.add(figures.peakRssMiB);
            road.cpu.add(figures.cpuMsPerParcel);
            road.added.add(figures.addedMsPerParcel);
            road.run.add(figures.runMsPerParcel);
            road.first.add(figures.firstRequestMs);
        }
    }
    for (const Road& road : roads) {
        const std::string of = std::string(road.name) + " road: ";
        report.figure(of + "peak RSS of the program's process", road.rss, "MiB", 1);
        report.figure(of + "CPU per parcel (program and its helpers)", road.cpu, "ms", 2);
        report.figure(of + "time added to a " + std::to_string(latencyMs) + " ms answer", road.added, "ms", 2);
        report.figure(of + "whole run per parcel beyond the answer (with storing)", road.run, "ms", 2);
        report.figure(of + "start to first request", road.first, "ms", 0);
    }
    report.figure("kurierix --help: peak RSS", help, "MiB", 1);
    const Road& measured = roads.front();
    char text[64];
    std::snprintf(text, sizeof text, "%.1f MiB", help.median());
    report.verdict("kurierix --help: peak RSS <= 12 MiB", text, help.median() <= 12.0);
    std::snprintf(text, sizeof text, "%.1f MiB", measured.rss.median());
    report.verdict("service road: peak RSS <= 16 MiB", text, measured.rss.median() <= 16.0);
    std::snprintf(text, sizeof text, "%.2f ms", measured.cpu.median());
    report.verdict("service road: CPU per parcel <= 2 ms", text, measured.cpu.median() <= 2.0);
    std::snprintf(text, sizeof text, "%.2f ms", measured.added.median());
    report.verdict("service road: time added to the answer <= 3 ms", text, measured.added.median() <= 3.0);
    return report.exitCode();
}
