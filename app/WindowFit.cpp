#include "app/WindowFit.h"

#include "app/MainFormUi.h"
#include "app/WindowSettings.h"
#include "parcels/ParcelGrid.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>

#include <algorithm>

namespace {

const QString kSizeKey = QStringLiteral("window/size");
const QString kPositionKey = QStringLiteral("window/position");
const QString kMaximisedKey = QStringLiteral("window/maximised");

// The designed geometry moved by `dx`, `dy` and grown by `dw`, `dh`.
QRect shifted(const QRect& designed, int dx, int dy, int dw, int dh)
{
    return QRect(designed.x() + dx, designed.y() + dy, designed.width() + dw, designed.height() + dh);
}

} // namespace

void WindowFit::fit(MainFormUi& ui, QSize size)
{
    const int dw = size.width() - kDesignedSize.width();
    const int dh = size.height() - kDesignedSize.height();
    const int gridDh = dh / 2;
    const int historyDh = dh - gridDh;

    // One pixel narrower than the pane the pages were laid out in, so that its right edge is drawn
    // inside the window: the page style keeps the pages at their size.
    ui.PageControl1->setGeometry(0, 0, 944 + dw, 761 + dh);

    ui.GroupBox5->setGeometry(shifted(QRect(8, 4, 705, 357), 0, 0, dw, gridDh));
    ui.StringGrid2->setGeometry(shifted(QRect(9, 40, 685, 281), 0, 0, dw, gridDh));
    ui.Label_Status->move(8, 330 + gridDh);
    ui.GroupBox4->setGeometry(shifted(QRect(8, 363, 705, 350), 0, gridDh, dw, historyDh));
    ui.Memo_history->setGeometry(shifted(QRect(8, 24, 681, 313), 0, 0, dw, historyDh));

    ui.GroupBox3->move(721 + dw, 4);
    ui.GroupBox1->setGeometry(shifted(QRect(718, 548, 209, 166), dw, 0, 0, dh));
    ui.Memo_Status->setGeometry(shifted(QRect(11, 21, 186, 134), 0, 0, 0, dh));

    ui.StatusBar_Checks->setGeometry(0, 761 + dh, 944 + dw, kFootHeight);
}

QRect WindowFit::fitted(const QRect& available, QPoint place, QSize size, QSize minimum, const QMargins& frame)
{
    // One direction at a time: moved back onto the area first, then made smaller if it must.
    const auto fit = [](int& at, int& length, int first, int room, int frameBefore, int frameAfter, int least) {
        const int outer = length + frameBefore + frameAfter;
        if (at + outer > first + room)
            at = first + room - outer;
        at = std::max(at, first);
        if (at + length + frameBefore + frameAfter > first + room)
            length = std::max(least, room - frameBefore - frameAfter);
    };
    int x = place.x();
    int y = place.y();
    int width = size.width();
    int height = size.height();
    fit(x, width, available.x(), available.width(), frame.left(), frame.right(), minimum.width());
    fit(y, height, available.y(), available.height(), frame.top(), frame.bottom(), minimum.height());
    return QRect(x, y, width, height);
}

void WindowFit::restore(QWidget* window)
{
    window->setMinimumSize(kMinimumSize);
    window->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    const WindowSettings kept;
    QSize size = window->size();
    QPoint place = window->pos();
    const QSize keptSize = kept.value(kSizeKey).toSize();
    if (keptSize.isValid())
        size = keptSize.expandedTo(kMinimumSize);
    const QVariant position = kept.value(kPositionKey);
    // A place on a screen that is no longer there is not taken: the window would be out of reach.
    if (position.isValid() && QGuiApplication::screenAt(position.toPoint() + QPoint(40, 10)))
        place = position.toPoint();
    const QScreen* screen = QGuiApplication::screenAt(place + QPoint(40, 10));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        const QRect onScreen = fitted(screen->availableGeometry(), place, size, kMinimumSize, kAssumedFrame);
        place = onScreen.topLeft();
        size = onScreen.size();
    }
    window->resize(size);
    window->move(place);
    if (kept.value(kMaximisedKey).toBool())
        window->setWindowState(window->windowState() | Qt::WindowMaximized);
}

void WindowFit::save(const QWidget* window)
{
    WindowSettings kept;
    const bool maximised = window->isMaximized();
    // A maximised window keeps the size and place it comes back to, its frame's corner as for
    // a window that is not.
    const QRect normal = maximised ? window->normalGeometry() : window->geometry();
    kept.setValue(kSizeKey, normal.size());
    kept.setValue(kPositionKey, normal.topLeft() - (window->geometry().topLeft() - window->pos()));
    kept.setValue(kMaximisedKey, maximised);
}
