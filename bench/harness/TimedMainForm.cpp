#include "bench/harness/TimedMainForm.h"

#include "bench/support/ProcessProbe.h"
#include "store/Cp1251.h"

#include <unistd.h>

namespace {

// The benchmarks are not beside the program, where it looks for the browser module.
MainFormOptions withBuiltModule(MainFormOptions options)
{
    if (options.tracking.browserModule.isEmpty())
        options.tracking.browserModule = QStringLiteral(KURIERIX_BROWSER_MODULE_BUILT);
    // For experiments: the run left to the fallback looks alone.
    if (!qEnvironmentVariableIsEmpty("KURIERIX_NO_PAGE_NOTIFICATIONS"))
        options.tracking.pageNotifications = false;
    return options;
}

} // namespace

TimedMainForm::TimedMainForm(MainFormOptions options) : TMainForm(withBuiltModule(std::move(options)))
{
}

void TimedMainForm::resetMarks()
{
    m_parcelStarts.clear();
    m_runEnd.reset();
    m_lines.clear();
}

void TimedMainForm::appendStatusLine(const QString& line)
{
    const Clock::time_point now = Clock::now();
    m_lines.emplace_back(now, toCp1251(line));
    if (line.startsWith(QStringLiteral("- посылка №")))
        m_parcelStarts.push_back({now, m_sampleMemory ? ProcessProbe::residentKiB(::getpid()) : 0});
    else if (line.startsWith(QStringLiteral(" Время работы (сек) ")))
        m_runEnd = now;
    if (m_keepLogLines)
        TMainForm::appendStatusLine(line);
}
