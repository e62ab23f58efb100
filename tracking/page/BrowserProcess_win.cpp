// Qt WebEngine has no Windows build: the Windows program has no browser module, and checks
// through the tracking service only.
#include "tracking/page/BrowserModule.h"

#include <QCoreApplication>

void BrowserModule::prepareProcess(bool)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

QString BrowserModule::missingSentence()
{
    return QStringLiteral("В Windows программа проверяет посылки только через службу отслеживания Белпочты, "
                          "страницы отслеживания в ней нет: уберите KURIERIX_SOURCE=page и "
                          "KURIERIX_TRACKING_URL");
}
