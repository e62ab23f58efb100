#include "app/LastCheckFoot.h"

#include "tracking/CheckWords.h"

#include <QLabel>
#include <QStyle>

#include <utility>

namespace {

const QColor kFaultColour(0xA0, 0x00, 0x00);

} // namespace

LastCheckFoot::LastCheckFoot(QLabel* text, QLabel* faultMark, Sources sources, QObject* parent)
    : QObject(parent), m_text(text), m_faultMark(faultMark), m_sources(std::move(sources))
{
    m_minutes.setInterval(60000);
    connect(&m_minutes, &QTimer::timeout, this, &LastCheckFoot::render);
    m_minutes.start();
}

void LastCheckFoot::update()
{
    m_newest = m_sources.newestRun();
    if (m_unstored && m_newest && m_newest->ended >= m_unstored->ended)
        m_unstored.reset();
    render();
}

void LastCheckFoot::windowRun(const RunRecord& run, bool stored)
{
    if (stored)
        m_unstored.reset();
    else
        m_unstored = run;
    update();
}

void LastCheckFoot::render()
{
    const QDateTime now = m_sources.now();
    const std::optional<RunRecord>& shown = m_unstored ? m_unstored : m_newest;
    const std::optional<QDateTime> next = m_sources.nextCheck();
    const bool fault = shown && checkwords::isBackgroundFault(*shown);
    m_text->setText(checkwords::lastRunLine(shown, now, next));
    QPalette palette = m_text->palette();
    palette.setColor(QPalette::WindowText,
                     fault ? kFaultColour : m_text->parentWidget()->palette().color(QPalette::WindowText));
    m_text->setPalette(palette);
    if (fault && m_faultMark->pixmap().isNull()) {
        const int size = m_faultMark->parentWidget()->height() - 6;
        m_faultMark->setPixmap(m_faultMark->style()->standardIcon(QStyle::SP_MessageBoxWarning).pixmap(size, size));
    }
    m_faultMark->setVisible(fault);
    if (next && *next < now)
        emit nextCheckPassed();
}
