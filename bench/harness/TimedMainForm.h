#pragma once

#include "app/TMainForm.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

// The main window as the program builds it, taking the time (and, when asked, the resident
// memory) at the status-log lines that mark where a check run starts each parcel and where
// it ends. The lines themselves still go to the log as always.
class TimedMainForm : public TMainForm
{
    Q_OBJECT
public:
    using Clock = std::chrono::steady_clock;

    struct ParcelMark
    {
        Clock::time_point at;
        std::int64_t residentKiB = 0; // 0 unless memory is sampled
    };

    explicit TimedMainForm(MainFormOptions options);

    // Forgets the marks of the previous run.
    void resetMarks();
    void setSampleMemory(bool sample) { m_sampleMemory = sample; }
    // For a control measurement only: the lines are timed but kept out of the status log, to
    // tell the log's own growth from the rest of the program's.
    void setKeepLogLines(bool keep) { m_keepLogLines = keep; }

    const std::vector<ParcelMark>& parcelStarts() const { return m_parcelStarts; }
    // When the run wrote its elapsed time, after its last parcel.
    std::optional<Clock::time_point> runEnd() const { return m_runEnd; }
    // Every line of the run with its time, for a look at where the time goes.
    const std::vector<std::pair<Clock::time_point, std::string>>& lines() const { return m_lines; }

protected:
    void appendStatusLine(const QString& line) override;

private:
    bool m_sampleMemory = false;
    bool m_keepLogLines = true;
    std::vector<ParcelMark> m_parcelStarts;
    std::optional<Clock::time_point> m_runEnd;
    std::vector<std::pair<Clock::time_point, std::string>> m_lines;
};
