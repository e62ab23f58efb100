#pragma once

#include <QWebEnginePage>

// A browser page that never asks anybody anything: JavaScript dialogs are answered at once
// without being shown, certificate errors are refused, new windows, file choosers and
// permission requests are declined. The tracking page runs unattended in the background,
// and any prompt would stall a check run that nobody is watching.
class SilentPage : public QWebEnginePage
{
    Q_OBJECT
public:
    explicit SilentPage(QWebEngineProfile* profile, QObject* parent = nullptr);

signals:
    // Every console message of the page's scripts and of the driver's, for whoever listens.
    void consoleMessage(const QString& message);

protected:
    void javaScriptAlert(const QUrl& securityOrigin, const QString& message) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& message) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& message, const QString& defaultValue,
                          QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message, int lineNumber,
                                  const QString& sourceId) override;
    QWebEnginePage* createWindow(WebWindowType type) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;
};
