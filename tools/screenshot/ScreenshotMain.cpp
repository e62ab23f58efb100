// Shows the main window over a sample database and grabs the screen four times: the window alone,
// the parcel dialog open for editing over it, the many-numbers dialog filled in over it, and the
// list with the archive shown, sorted by a column and narrowed by the find field. Run under Xvfb
// (scripts/screenshot).
//
// Usage: kurierix_screenshot <docs folder>
#include "tests/support/RecordingPrompts.h"
#include "app/TMainForm.h"
#include "tests/support/DialogControls.h"
#include "tests/support/MainFormView.h"
#include "parcels/AddManyDialog.h"
#include "parcels/FindBar.h"
#include "parcels/ParcelGrid.h"
#include "parcels/TFm_Track.h"
#include "store/ParcelStore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <cstdio>
#include <functional>

namespace {

// Eight parcels as a user would have them after a while: some under way, one not found yet,
// one never checked, and two delivered ones already in the archive.
bool writeSampleDatabase(const std::string& path)
{
    ParcelStore store;
    const auto result = store.open(path);
    if (result != ParcelStore::OpenResult::Created)
        return false;
    const auto add = [&store](const char* number, const char* shop, const char* title, const char* comments) {
        return store.insert(Parcel::typed(QString::fromUtf8(number), QString::fromUtf8(shop), QString::fromUtf8(title),
                                          QString::fromUtf8(comments)));
    };
    // The status is the newest event, the date the first one, as a check run stores them.
    const auto checked = [&store](std::int64_t id, const char* history) {
        const QStringList events = QString::fromUtf8(history).split(QStringLiteral("\r\n"));
        return store.storeCheckResult(id, events.last() + QStringLiteral("\r\n"), events.first().left(19),
                                      QString::fromUtf8(history));
    };
    const auto first = add("RR123456785CN", "AliExpress", "Чехол для телефона", "");
    const auto second = add("RA987654326CN", "AliExpress", "Фонарик", "");
    const auto notFound = add("LK123456785US", "eBay", "Книга", "подарок");
    add("CP000000005DE", "Amazon", "Наушники", "");
    const auto memoryCard = add("RB112233447CN", "AliExpress", "Карта памяти 32 ГБ", "");
    const auto cable = add("RS556677887CN", "AliExpress", "Кабель USB", "");
    const auto watch = add("RI445566777CN", "DealExtreme", "Часы", "");
    const auto bikeParts = add("LZ998877664US", "eBay", "Звонок для велосипеда", "");
    bool ok = checked(first, "2013-03-16 12:30:00 Получение отправления от отправителя 100614* \r\n"
                             "2013-03-17 14:16:00 Отправка отправления из учреждения обмена BEIJING \r\n"
                             "2013-03-25 09:05:00 Поступление в учреждение обмена MINSK PI 2 ");
    ok = checked(second, "2013-03-20 08:00:00 Получение отправления от отправителя 518000 ") && ok;
    ok = store.storeNoInformation(notFound) && ok;
    ok = checked(memoryCard, "2013-02-04 10:12:00 Получение отправления от отправителя 518000 \r\n"
                             "2013-02-06 18:40:00 Отправка отправления из учреждения обмена SHENZHEN \r\n"
                             "2013-02-22 07:55:00 Поступление в учреждение обмена MINSK PI 2 \r\n"
                             "2013-03-01 11:05:00 Вручено адресату 220030 ")
         && ok;
    ok = checked(cable, "2013-03-05 16:20:00 Получение отправления от отправителя 518000 \r\n"
                        "2013-03-08 21:10:00 Отправка отправления из учреждения обмена SHENZHEN ")
         && ok;
    ok = checked(watch, "2013-03-10 09:45:00 Получение отправления от отправителя 100614* \r\n"
                        "2013-03-28 13:30:00 Поступление в учреждение обмена MINSK PI 2 ")
         && ok;
    ok = checked(bikeParts, "2013-02-15 15:00:00 Получение отправления от отправителя 10001 \r\n"
                            "2013-02-27 10:25:00 Поступление в учреждение обмена MINSK PI 2 \r\n"
                            "2013-03-14 16:50:00 Вручено адресату 220114 ")
         && ok;
    store.setArchived({memoryCard, bikeParts}, true);
    return ok;
}

// Runs the event loop until `done` holds, at most `ms` milliseconds; tells whether it held.
bool waitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() >= ms)
            return false;
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

// Waits until `widget` is on the screen, then a moment more: the X server and the window manager
// draw after the window has said it is exposed, and nothing tells when they are done.
bool onScreen(const QWidget* widget)
{
    const bool shown = waitFor(
        [widget] { return widget->isVisible() && widget->windowHandle() && widget->windowHandle()->isExposed(); },
        5000);
    const auto never = [] { return false; };
    waitFor(never, 300);
    return shown;
}

// Writes what the screen shows of `window` and, when given, of `dialog` over it. The frame the
// window manager draws is in the picture, and so is everything on the window, child windows
// included: the area is grabbed from the screen, not drawn by the widgets.
bool grab(const QWidget& window, const QWidget* dialog, const QString& path)
{
    QRect area = window.frameGeometry();
    if (dialog)
        area = area.united(dialog->frameGeometry());
    const QPixmap shot = window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (!shot.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

// Opens a modal dialog through `open` and runs `body` once the dialog (found by `find`) is on
// the screen; `body` must close it. False when no dialog opened or `body` failed.
bool inDialog(QWidget& window, const std::function<QWidget*()>& find, const std::function<void()>& open,
              const std::function<bool(QWidget&)>& body)
{
    bool acted = false;
    bool ok = false;
    // A timer of our own, so that nothing is left queued when the dialog never opened.
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &window, [&] {
        acted = true;
        QWidget* dialog = find();
        if (!dialog)
            return;
        ok = onScreen(dialog) && body(*dialog);
        if (dialog->isVisible()) {
            ok = false;
            dialog->close();
        }
    });
    timer.start(0);
    open();
    if (!acted)
        std::fprintf(stderr, "the dialog did not open\n");
    return acted && ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <docs folder>\n", argv[0]);
        return 2;
    }
    const QDir docs(QString::fromLocal8Bit(argv[1]));

    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a temporary folder\n");
        return 1;
    }
    // The window keeps its size, place and sort order in the settings file; the user's own
    // stays untouched, and what the user keeps there does not change the pictures.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    const std::string database = QDir(dir.path()).filePath(QStringLiteral("database.db")).toStdString();
    if (!writeSampleDatabase(database)) {
        std::fprintf(stderr, "cannot make the sample database\n");
        return 1;
    }

    RecordingPrompts prompts;
    MainFormOptions options;
    options.databasePath = database;
    options.browserStorageDir = QDir(dir.path()).filePath(QStringLiteral("browser"));
    options.prompts = &prompts;
    options.now = [] { return QDateTime(QDate(2013, 4, 1), QTime(10, 0)); };
    options.openUrl = [](const QUrl&) { return true; };
    TMainForm window(options);
    window.show();
    MainFormView& view = ui(window);
    ParcelGrid& grid = *view.StringGrid2;
    grid.selectionModel()->setCurrentIndex(grid.model()->index(0, 0),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    window.StringGrid2Click();
    bool ok = onScreen(&window) && grab(window, nullptr, docs.filePath(QStringLiteral("main-window.png")));

    TFm_Track* parcelDialog = window.findChild<TFm_Track*>();
    ok = inDialog(
             window, [&] { return parcelDialog; }, [&] { window.editClick(); },
             [&](QWidget& dialog) {
                 const bool saved = grab(window, &dialog, docs.filePath(QStringLiteral("parcel-dialog.png")));
                 controls(*parcelDialog).Button2->click();
                 return saved;
             })
         && ok;

    // Numbers as pasted from a shop's e-mail; the dialog is cancelled, so nothing is added.
    ok = inDialog(
             window, [&] { return window.findChild<AddManyDialog*>(); }, [&] { view.addManyAction->trigger(); },
             [&](QWidget& dialog) {
                 auto& many = static_cast<AddManyDialog&>(dialog);
                 controls(many).numbersEdit->setPlainText(
                     QStringLiteral("RT314159268CN\nRU271828189CN\nRV161803397CN\n"));
                 controls(many).shopEdit->setText(QStringLiteral("AliExpress"));
                 controls(many).titleEdit->setText(QStringLiteral("Наклейки на ноутбук"));
                 onScreen(&many);
                 const bool saved = grab(window, &many, docs.filePath(QStringLiteral("add-many.png")));
                 controls(many).cancelButton->click();
                 return saved;
             })
         && ok;

    // The archive shown greyed among the rest, the rows in the alphabetical order of what they
    // hold, and the find field keeping one shop's parcels. A wide column, so that the arrow has
    // room beside its title.
    view.showArchiveAction->trigger();
    grid.sortBy(1, Qt::DescendingOrder);
    grid.showFind();
    grid.findBar()->setText(QStringLiteral("AliExpress"));
    ok = view.showArchiveAction->isChecked() && ok;
    ok = onScreen(&window) && grab(window, nullptr, docs.filePath(QStringLiteral("parcel-list.png"))) && ok;

    return ok && prompts.shown().empty() ? 0 : 1;
}
