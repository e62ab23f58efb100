#include "app/TMainForm.h"

#include "app/DatabaseWatch.h"
#include "app/MessageBoxPrompts.h"
#include "app/PatternProbe.h"
#include "app/QtTranslations.h"
#include "store/DaysInTransit.h"
#include "parcels/ParcelGrid.h"
#include "parcels/Tahoma.h"
#include "parcels/TFm_Track.h"
#include "parcels/VisibleText.h"
#include "store/Cp1251.h"
#include "store/DatabaseErrorText.h"
#include "store/ParcelStore.h"
#include "notify/DesktopNotifier.h"
#include "tracking/BrowserModule.h"
#include "tracking/CheckSession.h"
#include "tracking/RunLock.h"
#include "tracking/PageSource.h"
#include "tracking/TrackingPage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <utility>

// Resources of a static library are registered by hand; Q_INIT_RESOURCE must stand outside
// any namespace.
static void initKurierixResources()
{
    Q_INIT_RESOURCE(kurierix);
}

namespace {


// The date the hidden day-count button measures from.
constexpr const char* kDayCountOrigin = "2011-11-10 10:36:09";

// Boxes of the commands on a parcel that another window or program deleted meanwhile.
const QString kParcelGone =
    QStringLiteral("Этой посылки уже нет в списке: её удалили в другом окне или другой программой.");
const QString kParcelGoneOnSave =
    QStringLiteral("Этой посылки уже нет в списке: её удалили в другом окне или другой программой, поэтому "
                   "изменения не сохранены. Всё введённое осталось в окне.");
const QString kNoParcelToEdit = QStringLiteral("В списке нет ни одной посылки: изменять нечего.");
const QString kChooseParcelToEdit =
    QStringLiteral("Список обновлён: выберите в нём посылку и снова откройте «Редактирова посылку».");

// What a fixed error box adds under its text, called inside the handler of the failure: for a
// database failure the user can act on, its cause in Russian and the access layer's words.
QString causeOfCurrentFailure()
{
    try {
        throw;
    } catch (const ESQLiteException& error) {
        return databaseErrorText(error);
    } catch (...) {
        return {};
    }
}

// The box for dialog fields that hold characters the code page lacks: it names them, so that the
// user can replace them and save again. Invisible ones are named by their code. The mark of a
// NUL byte is one of them: the dialog shows the mark, and the byte itself cannot be stored.
QString unstorableCharactersText(const QStringList& characters, bool inShownFields, bool inHiddenComment)
{
    constexpr qsizetype kNamed = 10;
    QStringList named;
    for (qsizetype i = 0; i < std::min(characters.size(), kNamed); ++i) {
        const QString& character = characters.at(i);
        const bool visible = character.size() == 2 || (character.at(0).isPrint() && !character.at(0).isSpace());
        named.push_back(visible
                            ? QStringLiteral("«%1»").arg(character)
                            : QStringLiteral("U+%1").arg(character.at(0).unicode(), 4, 16, QLatin1Char('0')).toUpper());
    }
    QString list = named.join(QStringLiteral(", "));
    if (characters.size() > kNamed)
        list += QStringLiteral(" и другие");
    QString text = QStringLiteral("Нельзя сохранить знаки: %1.").arg(list);
    if (characters.contains(QString(kNulMark)))
        text += QStringLiteral(" Знаком «␀» окно показывает нулевой байт, который в базу записала другая программа: "
                               "сохранить его нельзя.");
    if (inShownFields)
        text += QStringLiteral(" Замените или удалите их.");
    // Only a stored comment can hold them there: the user can neither see nor mend it here.
    if (inHiddenComment)
        text += QStringLiteral(" Такие знаки есть в комментарии посылки, которого это окно не показывает: чтобы "
                               "изменить посылку, удалите её и добавьте заново.");
    return text;
}

// The history text keeps its CR LF line breaks; the view shows one line per event.
QString historyForView(const QString& history)
{
    QString text = visibleText(history);
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text + QLatin1Char('\n');
}

} // namespace

TMainForm::TMainForm(MainFormOptions options, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_options(std::move(options)), m_ownPrompts(m_options.prompts ? nullptr : std::make_unique<MessageBoxPrompts>()),
      m_prompts(m_options.prompts ? m_options.prompts : m_ownPrompts.get()), m_errorReport(*m_prompts),
      m_guard(m_errorReport)
{
    initKurierixResources();
    tahoma::registerFonts();
    // Qt's standard buttons and menus in this window and its boxes speak Russian like the rest.
    QtTranslations::installRussian();
    setupUi(this);
    wireHandlers();
    m_checkSession = new CheckSession(
        m_options.databasePath,
        std::make_unique<PageSource>(m_options.pageFactory ? m_options.pageFactory
                                                           : browserPageFactory(m_options.browserStorageDir),
                                     m_options.endpoints),
        this);
    m_checkSession->setObjectName(QStringLiteral("checkSession"));
    m_checkSession->setLimits(m_options.checkRunLimits);
    followCheckSession();
    FormCreate();
}

TMainForm::~TMainForm() = default;

// ---------------------------------------------------------------------------------------------
// Controls

void TMainForm::wireHandlers()
{
    connect(StringGrid2, &ParcelGrid::gridClicked, this, &TMainForm::StringGrid2Click);
    connect(StringGrid2, &ParcelGrid::menuRequested, this, [this](const QPoint& globalPosition) {
        if (!menuRefused())
            PopupMenu1->popup(globalPosition);
    });
    connect(N4, &QAction::triggered, this, &TMainForm::N4Click);
    connect(Add, &QAction::triggered, this, &TMainForm::AddClick);
    connect(edit, &QAction::triggered, this, &TMainForm::editClick);
    connect(N3, &QAction::triggered, this, &TMainForm::N3Click);
    connect(Button_Check, &QPushButton::clicked, this, &TMainForm::Button_CheckClick);
    connect(BitBtn4, &QPushButton::clicked, this, &TMainForm::BitBtn4Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TMainForm::BitBtn4Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TMainForm::BitBtn2Click);
    connect(BitBtn6, &QPushButton::clicked, this, &TMainForm::BitBtn6Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TMainForm::BitBtn3Click);
    connect(Button1, &QPushButton::clicked, this, &TMainForm::Button1Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TMainForm::SpeedButton1Click);
    Label5->installEventFilter(this);
}

TFm_Track* TMainForm::createParcelDialog()
{
    if (!m_parcelDialog)
        m_parcelDialog = new TFm_Track(*this, this);
    return m_parcelDialog;
}

// ---------------------------------------------------------------------------------------------
// Start-up and shut-down

void TMainForm::FormCreate()
{
    runGuarded([this] {
        m_store = std::make_unique<ParcelStore>();
        // While a check run of another process of ours holds the database (`kurierix --check`
        // from the timer), a statement that meets its lock waits for it; another program's lock
        // fails at once.
        const auto ourRun = [lock = RunLock::pathFor(m_options.databasePath)] {
            return RunLock::heldByAnotherProcess(lock);
        };
        switch (m_store->open(m_options.databasePath, ParcelStore::Role::Window, ourRun)) {
        case ParcelStore::OpenResult::OpenFailed:
            m_prompts->showError(QStringLiteral("Ошибка №2 - Откытия базы данных"));
            m_startupFailed = true;
            return;
        case ParcelStore::OpenResult::CreateFailed:
            m_prompts->showError(QStringLiteral("Ошибка №1 - Ошибка создание новой базы данных"));
            break;
        default:
            break;
        }
        // Before anything can change a status, so that every status stored now counts as seen.
        if (m_store->isOpen())
            m_seenTable = m_store->prepareSeen();
        m_databaseWatch = new DatabaseWatch(
            QString::fromStdString(m_options.databasePath), [this] { noticeOtherWriters(); }, this);
        RefreshGrid();
    });
}

void TMainForm::FormClose()
{
    runGuarded([this] {
        // A check run may still be on the stack; it sees the stop at its next step and ends there,
        // without touching the store again.
        m_checkSession->stop();
        m_closed = true;
        if (m_store) {
            m_store->close();
            m_store.reset();
        }
    });
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    FormClose();
    QWidget::closeEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Grid, history and delete

QDateTime TMainForm::now() const
{
    return m_options.now ? m_options.now() : QDateTime::currentDateTime();
}

void TMainForm::RefreshGrid()
{
    runGuarded([this] {
        if (m_closed)
            return;
        const std::optional<std::int64_t> added = std::exchange(m_addedParcelId, std::nullopt);
        QString cause;
        if (reloadGrid(&cause) != GridReload::Done)
            m_prompts->showError(QStringLiteral("Ошибка - Во время обновление данных"), cause);
        // The parcel just added comes into view; the selection stays where it was.
        if (added)
            StringGrid2->scrollToRow(StringGrid2->rowOf(*added));
    });
}

TMainForm::GridReload TMainForm::reloadGrid(QString* cause)
{
    if (!m_store)
        return GridReload::Failed;
    std::vector<Parcel> parcels;
    std::string fieldFailure;
    std::optional<std::int64_t> version;
    try {
        // A file that was locked at start-up gets its table of seen statuses now.
        if (m_seenTable == SeenStatuses::Preparation::Busy)
            m_seenTable = m_store->prepareSeen();
        // Taken before the list: a commit in between is noticed once more, never missed.
        version = m_store->database().dataVersion();
    } catch (...) {
    }
    try {
        parcels = m_store->parcels(&fieldFailure);
    } catch (...) {
        if (cause)
            *cause = causeOfCurrentFailure();
        return GridReload::Failed;
    }
    m_gridDataVersion = version;
    m_lastReadEmpty = parcels.empty();
    GridReload outcome = GridReload::Done;
    try {
        StringGrid2->fill(std::move(parcels), now(), m_options.locale, fieldFailure);
    } catch (...) {
        if (cause)
            *cause = causeOfCurrentFailure();
        outcome = GridReload::Partial;
    }
    showChangedRows();
    return outcome;
}

void TMainForm::showChangedRows()
{
    // Without the table (a read-only or foreign file) nothing counts as changed.
    const auto changed = m_store->changedParcels();
    for (int row = 1; row <= StringGrid2->parcelRowCount(); ++row) {
        const std::optional<std::int64_t> id = StringGrid2->parcelAt(row)->id;
        StringGrid2->setRowBold(row, changed && id && changed->count(*id) > 0);
    }
}

bool TMainForm::windowFree() const
{
    return !checkRunning() && !m_closed && !QApplication::activeModalWidget() && !QApplication::activePopupWidget();
}

void TMainForm::noticeOtherWriters()
{
    runGuarded([this] {
        if (m_closed || !m_store || !m_store->isOpen())
            return;
        if (!windowFree()) {
            m_databaseWatch->lookLater();
            return;
        }
        try {
            if (m_gridDataVersion && m_store->database().dataVersion() == *m_gridDataVersion)
                return;
        } catch (...) {
            // Unknown: reload, which meets the same lock and is then tried again.
        }
        if (reloadGrid() == GridReload::Failed && m_store && m_store->database().lockedByOther())
            m_databaseWatch->lookLater();
    });
}

void TMainForm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_databaseWatch)
        m_databaseWatch->lookSoon();
}

void TMainForm::StringGrid2Click()
{
    runGuarded([this] {
        if (menuRefused() || !m_store)
            return;
        if (m_lastReadEmpty)
            return;
        const int row = StringGrid2->selectedRow();
        const Parcel* shown = StringGrid2->selectedParcel();
        const std::int64_t id = ParcelStore::rowId(shown ? *shown : Parcel());
        const std::optional<Parcel> parcel = m_store->parcel(id);
        m_lastReadEmpty = !parcel;
        Memo_history->clear();
        // Deleted by another window or program since the grid was filled. Clicks stay quiet
        // until a read finds parcels again (the next refresh).
        if (!parcel)
            throw ParcelStore::historyOfMissingParcel();
        Memo_history->setPlainText(historyForView(parcel->history));
        // Its history is in view: the status just read is the one its user has now seen. A row
        // that stays bold because this could not be written is marked at the next click.
        if (StringGrid2->isRowBold(row) && m_store->markSeen(id, parcel->status))
            StringGrid2->setRowBold(row, false);
    });
}

void TMainForm::N3Click()
{
    runGuarded([this] {
        if (menuRefused())
            return;
        bool gone = false;
        try {
            if (!m_store)
                throw ESQLiteException("The database is not open");
            const bool anyParcel = !m_store->parcels().empty();
            m_lastReadEmpty = !anyParcel;
            // With no parcel row in the grid (one that missed rows another program added) there
            // is no selected parcel to ask about: the refresh below shows them. A copy: the grid
            // may be refilled while the question is open.
            const std::optional<Parcel> shown =
                StringGrid2->selectedParcel() ? std::optional(*StringGrid2->selectedParcel()) : std::nullopt;
            if (anyParcel && shown) {
                QWidget* owner = QApplication::activeWindow();
                const auto answer =
                    m_prompts->askYesNo(QStringLiteral("Подтверждение"), QStringLiteral("Удалить выбранную запись?"),
                                        Prompts::Icon::Warning, Prompts::Button::No, owner ? owner : this);
                if (answer == Prompts::Button::Yes && m_store) {
                    const std::int64_t id = ParcelStore::rowId(*shown);
                    gone = !m_store->remove(id);
                    // A row left by a failure here is dropped when the table is next prepared.
                    m_store->forgetSeen(id);
                }
            }
        } catch (...) {
            m_prompts->showError(QStringLiteral("Ошибка - Во время удаление данных!"), causeOfCurrentFailure());
        }
        RefreshGrid();
        // Said over the list as it is now, not as it was.
        if (gone)
            m_prompts->showMessage(kParcelGone, Prompts::Icon::Information);
    });
}

// ---------------------------------------------------------------------------------------------
// The parcel dialog

void TMainForm::AddClick()
{
    showParcelDialog(QStringLiteral("new"));
}

void TMainForm::editClick()
{
    showParcelDialog(QStringLiteral("edit"));
}

void TMainForm::showParcelDialog(const QString& mode)
{
    runGuarded([this, &mode] {
        if (menuRefused())
            return;
        TFm_Track* dialog = createParcelDialog();
        dialog->DialogMode = mode;
        // The modal result is of no interest: the dialog saves, or not, by itself.
        dialog->exec();
    });
}

bool TMainForm::loadForEditing(TFm_Track& dialog)
{
    m_editedParcelId.reset();
    // No dialog opens for a parcel that is not there: its save could change no row.
    if (StringGrid2->selectedRow() == 0) {
        // The grid may have missed parcels another program added while a menu was open.
        RefreshGrid();
        m_prompts->showMessage(StringGrid2->parcelRowCount() == 0 ? kNoParcelToEdit : kChooseParcelToEdit,
                               Prompts::Icon::Information);
        return false;
    }
    try {
        if (!m_store)
            throw ESQLiteException("The database is not open");
        const std::int64_t id = ParcelStore::rowId(*StringGrid2->selectedParcel());
        const std::optional<Parcel> parcel = m_store->parcel(id);
        m_lastReadEmpty = !parcel;
        if (!parcel) {
            // Deleted by another window or program since the grid was filled.
            RefreshGrid();
            m_prompts->showMessage(kParcelGone, Prompts::Icon::Information);
            return false;
        }
        m_editedParcelId = id;
        dialog.Edit_Track->setText(visibleText(parcel->number));
        dialog.Edit_Shop->setText(visibleText(parcel->shop));
        dialog.Edit_Title->setText(visibleText(parcel->title));
        dialog.Edit_Komment->setText(visibleText(parcel->comments));
        return true;
    } catch (...) {
        m_prompts->showError(QStringLiteral("Ошибка - Загрузки изменненых данных!"), causeOfCurrentFailure());
        return false;
    }
}

bool TMainForm::writeFromDialog(TFm_Track& dialog)
{
    const bool adding = dialog.DialogMode == QLatin1String("new");
    const bool editing = dialog.DialogMode == QLatin1String("edit");
    if (!adding && !(editing && m_editedParcelId))
        return true;

    // Nothing is written that the code page cannot hold, the mark of a NUL byte included: a text
    // shown with that mark is never written back cut at the byte or with the mark in its place.
    const QString shown =
        QStringList{dialog.Edit_Track->text(), dialog.Edit_Shop->text(), dialog.Edit_Title->text()}.join(u'\n');
    const QString comment = dialog.Edit_Komment->text();
    const QStringList unstorable = charactersOutsideCp1251(shown + u'\n' + comment);
    if (!unstorable.isEmpty()) {
        m_prompts->showError(unstorableCharactersText(unstorable, !charactersOutsideCp1251(shown).isEmpty(),
                                                      !charactersOutsideCp1251(comment).isEmpty()));
        return false;
    }

    // A failed statement, or an edit of a parcel that is gone, keeps the dialog open with
    // everything typed, so that the user can try again or copy it.
    try {
        if (!m_store)
            throw ESQLiteException("The database is not open");
        Parcel typed;
        typed.id = m_editedParcelId;
        typed.number = dialog.Edit_Track->text();
        typed.shop = dialog.Edit_Shop->text();
        typed.title = dialog.Edit_Title->text();
        typed.comments = comment;
        if (adding) {
            m_addedParcelId = m_store->insert(typed);
        } else if (!m_store->edit(typed)) {
            RefreshGrid();
            m_prompts->showMessage(kParcelGoneOnSave, Prompts::Icon::Warning);
            return false;
        }
    } catch (...) {
        m_prompts->showError(adding ? QStringLiteral("Ошибка - Во время добавление данных возникла")
                                    : QStringLiteral("Ошибка - Во время сохранения измененных данных"),
                             causeOfCurrentFailure());
        return false;
    }
    return true;
}

void TMainForm::runGuarded(const std::function<void()>& body)
{
    m_guard.run(body);
}

// ---------------------------------------------------------------------------------------------
// The check run

void TMainForm::N4Click()
{
    runGuarded([this] { Button_Check->click(); });
}

void TMainForm::Button_CheckClick()
{
    runGuarded([this] {
        if (checkRunning() || m_closed || !m_store)
            return;
        // However the run ends, the menu must be usable again: an error that ends it early
        // would otherwise leave the grid, and with it every command, disabled for good.
        struct RunEnd
        {
            TMainForm& form;
            ~RunEnd()
            {
                if (!form.m_closed)
                    form.StringGrid2->setEnabled(true);
            }
        } runEnd{*this};
        const CheckOutcome outcome = m_checkSession->run(*m_store);
        if (outcome.end == CheckOutcome::End::LockHeld && !m_closed)
            m_prompts->showMessage(QStringLiteral("Посылки уже проверяются в фоне. Попробуйте позже."),
                                   Prompts::Icon::Information);
        if (outcome.end == CheckOutcome::End::LockUnavailable && !m_closed)
            m_prompts->showError(outcome.cause);
        notifyChanged(outcome);
    });
}

bool TMainForm::checkRunning() const
{
    return m_checkSession->running();
}

void TMainForm::notifyChanged(const CheckOutcome& outcome)
{
    const QList<ChangedParcel> changed = ChangedParcel::fromOutcome(outcome);
    if (changed.isEmpty() || m_closed)
        return;
    // Out of the run's handler, so that the grid is usable again before the desktop is asked:
    // its notification service may take up to the notifier's time limit to answer. The window
    // says nothing when no notification could be shown.
    QTimer::singleShot(0, this, [this, changed] {
        if (m_options.notifyChanged)
            m_options.notifyChanged(changed);
        else
            DesktopNotifier().notify(changed);
    });
}

void TMainForm::refreshGrid()
{
    RefreshGrid();
}

void TMainForm::followCheckSession()
{
    CheckSession* session = m_checkSession;
    connect(session, &CheckSession::progress, this, [this](const QString& line) { appendStatusLine(line); });
    connect(session, &CheckSession::statusLabel, this, [this](const QString& text) {
        Label_Status->setText(text);
        Label_Status->adjustSize();
    });
    // The grid, and with it every menu command, is the run's from the first question to the
    // end; a failed statement gives it back at once, as the program always did.
    connect(session, &CheckSession::askingStarted, this, [this] { StringGrid2->setEnabled(false); });
    connect(session, &CheckSession::parcelChecked, this, [this](const ParcelOutcome& parcel) {
        if (parcel.result == ParcelOutcome::Result::StoreFailed)
            StringGrid2->setEnabled(true);
    });
    connect(session, &CheckSession::resultsFinal, this, &TMainForm::RefreshGrid);
    connect(session, &CheckSession::finished, this, [this] {
        if (!m_closed)
            StringGrid2->setEnabled(true);
    });
    // The window's box shows no cause.
    connect(session, &CheckSession::errorBox, this, [this](const QString& text) { m_prompts->showError(text); });
    connect(session, &CheckSession::errorReport, this,
            [this](const QString& message) { m_errorReport.report(toCp1251(message)); });
}

void TMainForm::appendStatusLine(const QString& line)
{
    Memo_Status->appendPlainText(line);
    QScrollBar* bar = Memo_Status->verticalScrollBar();
    bar->setValue(bar->maximum());
}

// ---------------------------------------------------------------------------------------------
// Shop links and the hidden test controls

void TMainForm::openShopPage(int index)
{
    const QUrl& url = m_options.shopPages[std::size_t(index)];
    // A failed request is not reported: the user sees the browser open or not.
    if (m_options.openUrl)
        m_options.openUrl(url);
    else
        QDesktopServices::openUrl(url);
}

void TMainForm::BitBtn4Click()
{
    runGuarded([this] { openShopPage(0); });
}

void TMainForm::Label5Click()
{
    runGuarded([this] { openShopPage(1); });
}

void TMainForm::BitBtn2Click()
{
    runGuarded([this] { openShopPage(0); });
}

void TMainForm::BitBtn6Click()
{
    runGuarded([this] { openShopPage(2); });
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Label5 && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        Label5Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void TMainForm::BitBtn3Click()
{
    runGuarded([this] {
        const std::string page = toCp1251(Memo1->toPlainText());
        PatternProbe::countMatches(PatternProbe::resultsPattern(), page);
        PatternProbe::countMatches(PatternProbe::cellPattern(), page);
    });
}

void TMainForm::Button1Click()
{
    runGuarded([this] {
        const std::string page = toCp1251(Memo1->toPlainText());
        PatternProbe::countMatches(PatternProbe::resultsPattern(), page);
    });
}

void TMainForm::SpeedButton1Click()
{
    runGuarded([this] {
        const auto days = daysInTransit(kDayCountOrigin, now(), m_options.locale);
        m_prompts->showMessage(QString::number(days), Prompts::Icon::NoIcon);
    });
}
