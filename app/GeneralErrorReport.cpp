#include "app/GeneralErrorReport.h"

#include "app/Prompts.h"

namespace {

QString withFullStop(const QString& message)
{
    if (message.isEmpty() || message.back().unicode() <= u'.')
        return message;
    return message + u'.';
}

} // namespace

void GeneralErrorReport::report(const QString& message)
{
    m_prompts.showMessage(withFullStop(message), Prompts::Icon::Error);
}
