#include "app/HandlerGuard.h"

#include "app/GeneralErrorReport.h"
#include "store/DatabaseErrorText.h"

#include <QtGlobal>

#include <exception>

void HandlerGuard::run(const std::function<void()>& body) const noexcept
{
    QString message;
    try {
        body();
        return;
    } catch (const std::exception& error) {
        // A database failure leads with what it means to the user; the layer's own words follow.
        message = reportedMessage(error);
    } catch (...) {
        message = QStringLiteral("Неизвестная ошибка");
    }
    try {
        m_report.report(message);
    } catch (...) {
        // The report itself failed (out of memory): nothing more can be shown.
        qWarning("kurierix: an error could not be reported");
    }
}
