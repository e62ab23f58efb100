#pragma once

#include <functional>

class GeneralErrorReport;

// Runs the body of an event handler so that no exception crosses Qt's event loop: whatever
// escapes the body goes to the general error report, and the program carries on with the
// next event.
class HandlerGuard
{
public:
    explicit HandlerGuard(GeneralErrorReport& report) : m_report(report) {}

    void run(const std::function<void()>& body) const noexcept;

private:
    GeneralErrorReport& m_report;
};
