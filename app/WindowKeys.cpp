#include "app/WindowKeys.h"

#include "parcels/FindBar.h"
#include "parcels/ParcelGrid.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPlainTextEdit>

#include <algorithm>

namespace {

constexpr int kNumberColumn = 2;

// A key on the grid alone: the history and the log keep Ctrl+C and Delete for their own text.
void onGrid(QAction* action, ParcelGrid* grid, const QList<QKeySequence>& keys)
{
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WidgetShortcut);
    grid->addAction(action);
}

void inWindow(QAction* action, QWidget* window, const QKeySequence& key)
{
    action->setShortcut(key);
    action->setShortcutContext(Qt::WindowShortcut);
    window->addAction(action);
}

} // namespace

WindowKeys::WindowKeys(QWidget* window, ParcelGrid* grid, Commands commands, QObject* parent)
    : QObject(parent), m_grid(grid), m_viewport(grid->viewport()), m_findBar(grid->findBar()), m_commands(commands)
{
    inWindow(m_commands.check, window, QKeySequence(Qt::Key_F5));
    inWindow(m_commands.add, window, QKeySequence(Qt::Key_Insert));
    // The menu shows the first: "Enter", as the key is called on the keyboard.
    onGrid(m_commands.edit, grid, {QKeySequence(Qt::Key_Enter), QKeySequence(Qt::Key_Return)});
    onGrid(m_commands.remove, grid, {QKeySequence(Qt::Key_Delete)});

    auto* copy = new QAction(this);
    copy->setObjectName(QStringLiteral("CopyNumbers"));
    onGrid(copy, grid, QKeySequence::keyBindings(QKeySequence::Copy));
    connect(copy, &QAction::triggered, this, [this] {
        const QString numbers = selectedNumbers(*m_grid);
        if (!numbers.isEmpty())
            QGuiApplication::clipboard()->setText(numbers);
    });

    // Escape closes the find field wherever the focus is in the window; only while it is open, so
    // that Escape means nothing else to the window otherwise.
    m_closeFind = new QAction(this);
    m_closeFind->setObjectName(QStringLiteral("CloseFind"));
    inWindow(m_closeFind, window, QKeySequence(Qt::Key_Escape));
    m_closeFind->setEnabled(false);
    connect(m_closeFind, &QAction::triggered, m_findBar, &FindBar::dismiss);
    m_findBar->installEventFilter(this);

    // The grid keeps the keyboard focus while its menu is open: its own keys must wait until the
    // menu is closed, or Delete would ask to delete under the open menu.
    for (QAction* onGridOnly : {m_commands.edit, m_commands.remove, copy})
        onGridOnly->installEventFilter(this);
    grid->installEventFilter(this);
    grid->viewport()->installEventFilter(this);
}

void WindowKeys::makeReadOnly(QPlainTextEdit* view)
{
    view->setReadOnly(true);
    view->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
}

QString WindowKeys::selectedNumbers(const ParcelGrid& grid)
{
    QModelIndexList rows = grid.selectionModel()->selectedRows(kNumberColumn);
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList numbers;
    for (const QModelIndex& row : rows)
        numbers.push_back(row.data().toString());
    return numbers.join(QLatin1Char('\n'));
}

bool WindowKeys::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_findBar && (event->type() == QEvent::Show || event->type() == QEvent::Hide))
        m_closeFind->setEnabled(event->type() == QEvent::Show);
    if (event->type() == QEvent::Shortcut && QApplication::activePopupWidget())
        return true;
    if (watched == m_grid && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Menu || (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier)) {
            openMenuAtCurrentRow();
            return true;
        }
    }
    // Where the platform turns the menu key into a context menu request itself.
    if (watched == m_grid && event->type() == QEvent::ContextMenu
        && static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
        openMenuAtCurrentRow();
        return true;
    }
    if (watched == m_viewport && event->type() == QEvent::MouseButtonDblClick) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && m_grid->indexAt(mouse->position().toPoint()).isValid()) {
            // The grid takes the second press as a click first; the dialog opens once the event
            // is done with.
            QMetaObject::invokeMethod(m_commands.edit, &QAction::trigger, Qt::QueuedConnection);
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowKeys::openMenuAtCurrentRow()
{
    QPoint at;
    const QModelIndex current = m_grid->currentIndex();
    if (current.isValid()) {
        const QModelIndex cell = m_grid->model()->index(current.row(), kNumberColumn);
        m_grid->scrollTo(cell);
        at = m_grid->visualRect(cell).bottomLeft();
    }
    emit m_grid->menuRequested(m_grid->viewport()->mapToGlobal(at));
}
