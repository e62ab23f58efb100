// Shows the main window over a sample database and grabs the screen: once with the window alone
// and once with the parcel dialog open for editing. Run under Xvfb (scripts/screenshot).
// Usage: kurierix_screenshot <main-window.png> <parcel-dialog.png>
#include "tests/support/RecordingPrompts.h"
#include "app/TMainForm.h"
#include "tests/support/MainFormView.h"
#include "parcels/ParcelGrid.h"
#include "parcels/TFm_Track.h"
#include "store/ParcelStore.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// Four parcels, two of them checked, as a user would have them after a while.
bool writeSampleDatabase(const std::string& path)
{
    ParcelStore store;
    const auto result = store.open(path);
    if (result != ParcelStore::OpenResult::Created)
        return false;
    const auto add = [&store](const char* number, const char* shop, const char* title, const char* comments) {
        Parcel parcel;
        parcel.number = QString::fromUtf8(number);
        parcel.shop = QString::fromUtf8(shop);
        parcel.title = QString::fromUtf8(title);
        parcel.comments = QString::fromUtf8(comments);
        store.insert(parcel);
    };
    add("RR123456789CN", "AliExpress", "Чехол для телефона", "");
    add("RA987654321CN", "AliExpress", "Фонарик", "");
    add("LK123456785US", "eBay", "Книга", "подарок");
    add("CP000000001DE", "Amazon", "Наушники", "");
    store.storeCheckResult(
        1, QString::fromUtf8("2013-03-16 12:30:00 Получение отправления от отправителя 100614* \r\n"),
        QStringLiteral("2013-03-16 12:30:00"),
        QString::fromUtf8("2013-03-16 12:30:00 Получение отправления от отправителя 100614* \r\n"
                          "2013-03-17 14:16:00 Отправка отправления из учреждения обмена BEIJING \r\n"
                          "2013-03-25 09:05:00 Поступление в учреждение обмена MINSK PI 2 "));
    store.storeCheckResult(2, QString::fromUtf8("2013-03-20 08:00:00 Получение отправления от отправителя 518000 \r\n"),
                           QStringLiteral("2013-03-20 08:00:00"),
                           QString::fromUtf8("2013-03-20 08:00:00 Получение отправления от отправителя 518000 "));
    store.storeNoInformation(3);
    return true;
}

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

bool grab(QWidget* window, const QString& path)
{
    // The frame the window manager would draw is not ours; the window's own area is grabbed
    // from the screen so that everything on it, child windows included, is in the picture.
    QScreen* screen = window->screen();
    const QRect area = window->frameGeometry();
    const QPixmap shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    if (!shot.save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <main-window.png> <parcel-dialog.png>\n", argv[0]);
        return 2;
    }
    const QString mainShot = QString::fromLocal8Bit(argv[1]);
    const QString dialogShot = QString::fromLocal8Bit(argv[2]);

    QTemporaryDir dir;
    const std::string database = QDir(dir.path()).filePath(QStringLiteral("database.db")).toStdString();
    if (!dir.isValid() || !writeSampleDatabase(database)) {
        std::fprintf(stderr, "cannot make the sample database\n");
        return 1;
    }

    RecordingPrompts prompts;
    MainFormOptions options;
    options.databasePath = database;
    options.prompts = &prompts;
    options.now = [] { return QDateTime(QDate(2013, 4, 1), QTime(10, 0)); };
    options.openUrl = [](const QUrl&) { return true; };
    TMainForm window(options);
    window.show();
    ui(window).StringGrid2->setSelectedRow(1);
    window.StringGrid2Click();
    settle(800);
    bool ok = grab(&window, mainShot);

    TFm_Track* dialog = window.findChild<TFm_Track*>();
    QTimer::singleShot(0, dialog, [&] {
        settle(800);
        // The dialog and the window under it, as the user sees them.
        const QRect area = window.frameGeometry().united(dialog->frameGeometry());
        const QPixmap shot = window.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        ok = shot.save(dialogShot, "PNG") && ok;
        dialog->Button2->click();
    });
    window.editClick();
    return ok && prompts.shown().empty() ? 0 : 1;
}
