#include "tracking/page/BrowserModule.h"

#include <QCoreApplication>

#include <unistd.h>

void BrowserModule::prepareProcess(bool sandboxChosen)
{
    if (::geteuid() == 0 && !sandboxChosen)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

QString BrowserModule::missingSentence()
{
    return QStringLiteral("Для проверки на странице отслеживания нужен пакет kurierix-browser, а он не "
                          "установлен: установите его командой «sudo apt install kurierix-browser»");
}
