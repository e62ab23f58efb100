#pragma once

#include <QString>

// The program's title: the task bar's text and the caption of the general error report.
inline QString applicationTitle()
{
    return QStringLiteral("Курьерикс 1.0");
}
