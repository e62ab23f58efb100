#include "bench/harness/TimedMainForm.h"

#include "bench/support/ProcessProbe.h"
#include "store/Cp1251.h"
#include "tracking/page/BrowserModule.h"

#include <unistd.h>

TimedMainForm::TimedMainForm(MainFormOptions options) : TMainForm(std::move(options))
{
    // The benchmarks are not beside the program, where it looks for the browser module.
    if (!qEnvironmentVariableIsSet(BrowserModule::kOverrideVariable))
        qputenv(BrowserModule::kOverrideVariable, KURIERIX_BROWSER_MODULE_BUILT);
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
