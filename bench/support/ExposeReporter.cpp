#include "bench/support/ExposeReporter.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <chrono>
#include <cstdio>

ExposeReporter::ExposeReporter(QWidget& window, std::function<void()> afterExposed)
    : m_window(window), m_afterExposed(std::move(afterExposed))
{
    // Installed on the application because the widget's window does not exist before show().
    QCoreApplication::instance()->installEventFilter(this);
}

bool ExposeReporter::eventFilter(QObject* watched, QEvent* event)
{
    if (m_reported || event->type() != QEvent::Expose || watched != m_window.windowHandle()
        || !m_window.windowHandle()->isExposed())
        return false;
    m_reported = true;
    QCoreApplication::instance()->removeEventFilter(this);
    // Deliver the expose now, so that the widget paints and flushes its first frame, and take
    // the time after that: the window is shown when its content is on screen.
    watched->event(event);
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    std::printf("exposed %lld\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()));
    std::fflush(stdout);
    if (m_afterExposed)
        QTimer::singleShot(0, this, m_afterExposed);
    return true;
}
