#pragma once

#include <QObject>

#include <functional>

class QWidget;

// Watches for the first time a top-level widget is exposed on screen, lets the widget draw
// itself, and then prints "exposed <ns>" (the monotonic clock, which a driver in another
// process shares) on standard output. `afterExposed` runs next, from the event loop.
class ExposeReporter : public QObject
{
    Q_OBJECT
public:
    ExposeReporter(QWidget& window, std::function<void()> afterExposed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& m_window;
    std::function<void()> m_afterExposed;
    bool m_reported = false;
};
