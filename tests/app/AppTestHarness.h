#pragma once

// The main window on the offscreen platform over a database in a temporary directory, with a
// prompts recorder, a fixed clock and recorded shop links; and a second, independent look at
// the database file through SQLite itself.
#include "support/TestSupport.h"
#include "tests/support/RecordingPrompts.h"
#include "app/TMainForm.h"
#include "app/WindowSettings.h"
#include "tests/support/MainFormView.h"
#include "parcels/ParcelGrid.h"
#include "parcels/TFm_Track.h"
#include "store/ParcelStore.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QGuiApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace apptest {

// The texts of the program's error boxes, as the user reads them.
namespace boxes {
inline const QString kOpenFailed = QStringLiteral("Ошибка №2 - Откытия базы данных");
inline const QString kCreateFailed = QStringLiteral("Ошибка №1 - Ошибка создание новой базы данных");
inline const QString kRefreshFailed = QStringLiteral("Ошибка - Во время обновление данных");
inline const QString kAddFailed = QStringLiteral("Ошибка - Во время добавление данных возникла");
inline const QString kSaveFailed = QStringLiteral("Ошибка - Во время сохранения измененных данных");
inline const QString kLoadFailed = QStringLiteral("Ошибка - Загрузки изменненых данных!");
inline const QString kDeleteFailed = QStringLiteral("Ошибка - Во время удаление данных!");
inline const QString kStoreFailed = QStringLiteral("Ошибка №7 - Во время добавление данных возникла ошибка");
// A command on a parcel that another window or program deleted, and edit on an empty list.
inline const QString kParcelGone =
    QStringLiteral("Этой посылки уже нет в списке: её удалили в другом окне или другой программой.");
inline const QString kParcelGoneOnSave =
    QStringLiteral("Этой посылки уже нет в списке: её удалили в другом окне или другой программой, поэтому "
                   "изменения не сохранены. Всё введённое осталось в окне.");
inline const QString kNoParcelToEdit = QStringLiteral("В списке нет ни одной посылки: изменять нечего.");
inline const QString kChooseParcelToEdit =
    QStringLiteral("Список обновлён: выберите в нём посылку и снова откройте «Редактирова посылку».");
// How a database failure begins when the file is locked by another program.
inline const QString kFileBusy =
    QStringLiteral("Файл базы данных занят другой программой: закройте её и попробуйте снова");
} // namespace boxes

using Field = std::optional<std::string>; // nullopt: NULL
using Row = std::map<std::string, Field>;

// Opens the file for one call and closes it again, so the window's own connection never waits.
class Database
{
public:
    explicit Database(std::string path) : m_path(std::move(path)) {}

    void exec(const std::string& sql, const std::vector<Field>& values = {}) const
    {
        sqlite3* db = open();
        sqlite3_stmt* statement = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        for (std::size_t i = 0; i < values.size(); ++i) {
            const int slot = static_cast<int>(i + 1);
            if (values[i])
                sqlite3_bind_text(statement, slot, values[i]->data(), int(values[i]->size()), SQLITE_TRANSIENT);
            else
                sqlite3_bind_null(statement, slot);
        }
        EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE) << sqlite3_errmsg(db);
        sqlite3_finalize(statement);
        sqlite3_close(db);
    }

    std::vector<Row> rows(const std::string& sql = "SELECT * FROM tracks ORDER BY id") const
    {
        std::vector<Row> result;
        sqlite3* db = open();
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            ADD_FAILURE() << sqlite3_errmsg(db);
            sqlite3_close(db);
            return result;
        }
        while (sqlite3_step(statement) == SQLITE_ROW) {
            Row row;
            for (int c = 0; c < sqlite3_column_count(statement); ++c) {
                const char* name = sqlite3_column_name(statement, c);
                if (sqlite3_column_type(statement, c) == SQLITE_NULL) {
                    row[name] = std::nullopt;
                } else {
                    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, c));
                    row[name] = std::string(text, std::size_t(sqlite3_column_bytes(statement, c)));
                }
            }
            result.push_back(std::move(row));
        }
        sqlite3_finalize(statement);
        sqlite3_close(db);
        return result;
    }

    std::vector<std::string> tables() const
    {
        std::vector<std::string> names;
        for (const Row& row : rows("SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"))
            names.push_back(*row.at("name"));
        return names;
    }

    // A parcel as the dialog would store it, with optional check results.
    void addParcel(const std::string& track, const std::string& shop, const std::string& title,
                   const std::string& comment = {}, const Field& status = std::nullopt,
                   const Field& date = std::nullopt, const Field& history = std::nullopt) const
    {
        exec("INSERT INTO tracks (s_track,s_shop,s_title,s_comments,s_status,s_date,s_trackfull) "
             "VALUES (?1,?2,?3,?4,?5,?6,?7)",
             {track, shop, title, comment, status, date, history});
    }

    void create() const { exec(ParcelStore::createTableSql()); }

private:
    sqlite3* open() const
    {
        sqlite3* db = nullptr;
        sqlite3_open(m_path.c_str(), &db);
        return db;
    }

    std::string m_path;
};

inline std::string cp(const char* utf8)
{
    return testsupport::cp1251(utf8);
}

// Presses the dialog's save button; a save that failed keeps the dialog open with what was
// typed, and the user then cancels.
inline void saveOrCancel(TFm_Track& dialog)
{
    QTest::mouseClick(dialog.Button1, Qt::LeftButton);
    if (dialog.isVisible())
        QTest::mouseClick(dialog.Button2, Qt::LeftButton);
}

class Harness
{
public:
    Harness()
    {
        EXPECT_TRUE(tempDir.isValid());
        // The test process goes on after a window closes.
        QGuiApplication::setQuitOnLastWindowClosed(false);
        // The window's kept size and place are each test's own.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, tempDir.path());
        // Each test's window starts as a first start would: nothing remembered from the last.
        WindowSettings().clear();
    }

    std::string databasePath() const
    {
        return QDir(tempDir.path()).filePath(QStringLiteral("database.db")).toStdString();
    }
    QString dirPath() const { return tempDir.path(); }
    Database db() const { return Database(databasePath()); }

    MainFormOptions options()
    {
        MainFormOptions options;
        options.databasePath = databasePath();
        options.prompts = &prompts;
        options.now = [this] { return now; };
        options.locale = QLocale::c();
        options.openUrl = [this](const QUrl& url) {
            opened.push_back(url);
            return linksOpen;
        };
        options.browserStorageDir = QDir(tempDir.path()).filePath(QStringLiteral("browser"));
        return options;
    }

    // Builds the window (FormCreate runs here, and the parcel dialog is made) and shows it.
    TMainForm& start() { return start(options()); }

    TMainForm& start(MainFormOptions withOptions)
    {
        window = std::make_unique<TMainForm>(std::move(withOptions));
        window->show();
        return *window;
    }

    ParcelGrid& grid() const { return *ui(*window).StringGrid2; }
    TFm_Track& dialog() const { return *window->findChild<TFm_Track*>(); }

    QString history() const { return ui(*window).Memo_history->toPlainText(); }
    QString log() const { return ui(*window).Memo_Status->toPlainText(); }
    QString label() const { return ui(*window).Label_Status->text(); }

    // Texts of the boxes shown so far.
    std::vector<QString> boxTexts() const
    {
        std::vector<QString> texts;
        for (const auto& box : prompts.shown())
            texts.push_back(box.text);
        return texts;
    }

    // The first line of each box: the delete question without the parcel it names.
    std::vector<QString> boxHeads() const
    {
        std::vector<QString> heads;
        for (const auto& box : prompts.shown())
            heads.push_back(box.text.section(u'\n', 0, 0));
        return heads;
    }

    QPoint rowCentre(int row, int column = 2) const
    {
        return grid().visualRect(grid().model()->index(row - 1, column)).center();
    }

    void clickRow(int row, Qt::MouseButton button = Qt::LeftButton) const
    {
        QTest::mouseClick(grid().viewport(), button, Qt::NoModifier, rowCentre(row));
    }

    // Opens the parcel dialog through `open` (a menu command), runs `body` inside it once it is
    // shown, and returns when the dialog has closed. A body that leaves the dialog open fails
    // the test; the dialog is then cancelled so that the test can go on.
    void inDialog(const std::function<void()>& open, const std::function<void(TFm_Track&)>& body)
    {
        bool acted = false;
        bool leftOpen = false;
        TFm_Track* form = &dialog();
        // A timer of our own, so that nothing is left queued when the dialog never opened.
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, form, [&, form] {
            EXPECT_TRUE(form->isVisible());
            body(*form);
            acted = true;
            if (form->isVisible()) {
                leftOpen = true;
                form->reject();
            }
        });
        timer.start(0);
        open();
        ASSERT_TRUE(testsupport::waitUntil([&] { return acted && !form->isVisible(); }));
        EXPECT_FALSE(leftOpen) << "the dialog stayed open";
    }

    // Runs `open` (a menu command) and tells whether it showed the parcel dialog; a dialog that
    // did open is cancelled at once.
    bool showsDialog(const std::function<void()>& open)
    {
        bool shown = false;
        TFm_Track* form = &dialog();
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, form, [&, form] {
            shown = form->isVisible();
            if (shown)
                form->reject();
        });
        timer.start(0);
        open();
        return shown;
    }

    // Types `text` key by key; letters outside ASCII go as key events carrying their text.
    void typeInto(QWidget* field, const QString& text) const
    {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }

    QTemporaryDir tempDir;
    RecordingPrompts prompts;
    QDateTime now = QDateTime(QDate(2013, 4, 1), QTime(12, 0));
    std::vector<QUrl> opened;
    bool linksOpen = true;
    std::unique_ptr<TMainForm> window;
};

} // namespace apptest
