#include "app/GeneralErrorReport.h"

#include "app/Prompts.h"

QString GeneralErrorReport::withFullStop(const QString& message)
{
    if (message.isEmpty() || message.back().unicode() <= u'.')
        return message;
    return message + u'.';
}

void GeneralErrorReport::report(const QString& message)
{
    m_prompts.showMessage(withFullStop(message), Prompts::Icon::Error);
}
