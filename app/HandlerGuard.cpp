#include "app/HandlerGuard.h"

#include "app/GeneralErrorReport.h"
#include "store/Cp1251.h"

#include <QtGlobal>

#include <exception>

void HandlerGuard::run(const std::function<void()>& body) const noexcept
{
    std::string message;
    try {
        body();
        return;
    } catch (const std::exception& error) {
        message = error.what();
    } catch (...) {
        message = toCp1251(QStringLiteral("Неизвестная ошибка"));
    }
    try {
        m_report.report(message);
    } catch (...) {
        // The report itself failed (out of memory): nothing more can be shown.
        qWarning("kurierix: an error could not be reported");
    }
}
