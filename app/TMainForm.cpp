#include "app/TMainForm.h"

#include "app/AddManyCommand.h"
#include "app/AddParcelCommand.h"
#include "app/ArchiveCommands.h"
#include "app/BackgroundController.h"
#include "app/CheckController.h"
#include "app/DeleteParcelsCommand.h"
#include "app/EditParcelCommand.h"
#include "app/LastCheckFoot.h"
#include "app/MessageBoxPrompts.h"
#include "app/ParcelListController.h"
#include "app/PatternProbe.h"
#include "app/QtTranslations.h"
#include "app/WindowFit.h"
#include "app/WindowKeys.h"
#include "app/WindowSettings.h"
#include "parcels/ParcelGrid.h"
#include "parcels/Tahoma.h"
#include "parcels/TFm_Track.h"
#include "readings/DaysInTransit.h"
#include "store/ParcelStore.h"
#include "tracking/page/BrowserModule.h"
#include "tracking/CheckWords.h"
#include "tracking/TrackingRoad.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

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

// Where the window's check runs look the parcels up. Nothing is loaded here: the page is made
// at the first run.
std::unique_ptr<TrackingSource> windowTrackingSource(const MainFormOptions& options)
{
    return makeTrackingSource(options.tracking, options.endpoints,
                              options.pageFactory ? options.pageFactory
                                                  : browserPageFactory(options.browserStorageDir, options.tracking));
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
    m_list = std::make_unique<ParcelListController>(
        m_options, *m_prompts, m_guard,
        ParcelListController::Views{StringGrid2, Memo_history, this, [this] { return checkRunning(); }}, this);
    m_check = std::make_unique<CheckController>(
        m_options, windowTrackingSource(m_options), *m_list, *m_prompts, m_errorReport, m_guard,
        CheckController::Views{StringGrid2, Label_Status, [this](const QString& line) { appendStatusLine(line); }},
        this);
    m_archive = std::make_unique<ArchiveCommands>(
        *m_list, StringGrid2, *m_prompts, m_guard, [this](const QString& line) { appendStatusLine(line); }, this);
    m_background = std::make_unique<BackgroundController>(
        m_options, *m_prompts, m_guard,
        BackgroundController::Views{backgroundChecksAction, this, [this] { return m_list->windowFree(); },
                                    [this] { scheduledCheck(); }},
        this);
    m_foot = std::make_unique<LastCheckFoot>(
        lastCheckLabel, checkFaultImage,
        LastCheckFoot::Sources{[this]() -> std::optional<RunRecord> {
                                   return m_list->store() ? m_list->store()->newestRun() : std::nullopt;
                               },
                               [this] { return m_background->nextCheck(); },
                               [this] { return m_options.now ? m_options.now() : QDateTime::currentDateTime(); }},
        this);
    // Its box is the window's, under the window's guard: the dialog's own handler has none.
    m_parcelDialog =
        new TFm_Track([this](const QString& text) { runGuarded([&] { m_prompts->showError(text); }); }, this);
    m_addParcel = std::make_unique<AddParcelCommand>(*m_list, *m_parcelDialog, *m_prompts, m_guard);
    m_editParcel = std::make_unique<EditParcelCommand>(*m_list, *StringGrid2, *m_parcelDialog, *m_prompts, m_guard);
    m_deleteParcels = std::make_unique<DeleteParcelsCommand>(*m_list, *StringGrid2, *m_prompts, m_guard, this);
    m_addMany = std::make_unique<AddManyCommand>(*m_list, *StringGrid2, *m_prompts, m_guard, this);
    wireHandlers();
    FormCreate();
    updateMenuItems();
    WindowFit::restore(this);
    // The user manager is asked once the window is up: its answer only adds to what is shown.
    QTimer::singleShot(0, m_background.get(), &BackgroundController::start);
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
    connect(addManyAction, &QAction::triggered, this, [this] {
        m_addMany->run();
        backToGrid();
    });
    connect(Button_Check, &QPushButton::clicked, this, &TMainForm::Button_CheckClick);
    connect(toArchiveAction, &QAction::triggered, this, [this] {
        m_archive->toArchive();
        backToGrid();
    });
    connect(fromArchiveAction, &QAction::triggered, this, [this] {
        m_archive->fromArchive();
        backToGrid();
    });
    connect(showArchiveAction, &QAction::toggled, m_archive.get(), &ArchiveCommands::showArchived);
    // Items that cannot act on the selection are greyed: edit and delete without a parcel, "В
    // архив" on archived parcels, "Вернуть из архива" on parcels not archived.
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TMainForm::updateMenuItems);
    connect(StringGrid2->selectionModel(), &QItemSelectionModel::selectionChanged, this, &TMainForm::updateMenuItems);
    QAbstractItemModel* rows = StringGrid2->model();
    connect(rows, &QAbstractItemModel::modelReset, this, &TMainForm::updateMenuItems);
    connect(rows, &QAbstractItemModel::layoutChanged, this, &TMainForm::updateMenuItems);
    connect(rows, &QAbstractItemModel::rowsInserted, this, &TMainForm::updateMenuItems);
    connect(rows, &QAbstractItemModel::rowsRemoved, this, &TMainForm::updateMenuItems);
    connect(rows, &QAbstractItemModel::dataChanged, this, &TMainForm::updateMenuItems);
    connect(BitBtn4, &QPushButton::clicked, this, &TMainForm::BitBtn4Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TMainForm::BitBtn4Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TMainForm::BitBtn2Click);
    connect(BitBtn6, &QPushButton::clicked, this, &TMainForm::BitBtn6Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TMainForm::BitBtn3Click);
    connect(Button1, &QPushButton::clicked, this, &TMainForm::Button1Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &TMainForm::SpeedButton1Click);
    // Ctrl+F anywhere in the window, as well as the menu item, opens the grid's find field.
    findAction->setShortcut(QKeySequence::Find);
    addAction(findAction);
    connect(findAction, &QAction::triggered, StringGrid2, &ParcelGrid::showFind);
    keepGridSort(*StringGrid2);
    keepColumnWidths(*StringGrid2);
    connect(backgroundChecksAction, &QAction::triggered, m_background.get(), &BackgroundController::openDialog);
    connect(m_list.get(), &ParcelListController::reloaded, m_foot.get(), &LastCheckFoot::update);
    connect(m_check.get(), &CheckController::runRecorded, m_foot.get(), &LastCheckFoot::windowRun);
    connect(m_check.get(), &CheckController::runOver, m_background.get(), &BackgroundController::ranNow);
    connect(m_background.get(), &BackgroundController::changed, m_foot.get(), &LastCheckFoot::render);
    connect(m_foot.get(), &LastCheckFoot::nextCheckPassed, m_background.get(), &BackgroundController::nextCheckPassed);
    Label5->installEventFilter(this);
    WindowKeys::makeReadOnly(Memo_history);
    WindowKeys::makeReadOnly(Memo_Status);
    new WindowKeys(this, StringGrid2, {N4, Add, edit, N3}, this);
}

void TMainForm::runGuarded(const std::function<void()>& body)
{
    m_guard.run(body);
}

bool TMainForm::checkRunning() const
{
    return m_check->running();
}

bool TMainForm::menuRefused() const
{
    return checkRunning() || m_list->closed();
}

void TMainForm::updateMenuItems()
{
    const bool anyParcel = StringGrid2->currentParcel().has_value();
    edit->setEnabled(anyParcel);
    N3->setEnabled(anyParcel);
    bool anyArchived = false;
    bool anyNotArchived = false;
    for (const Parcel& parcel : StringGrid2->selectedParcels())
        (parcel.archived ? anyArchived : anyNotArchived) = true;
    toArchiveAction->setEnabled(anyNotArchived);
    fromArchiveAction->setEnabled(anyArchived);
}

void TMainForm::backToGrid()
{
    // After a dialog, a question or a run the keys act on the list again, not on the history or
    // the log that took the focus meanwhile.
    if (!m_list->closed() && StringGrid2->isEnabled())
        StringGrid2->setFocus(Qt::OtherFocusReason);
}

// ---------------------------------------------------------------------------------------------
// Start-up and shut-down

void TMainForm::FormCreate()
{
    m_startupFailed = !m_list->open();
}

void TMainForm::FormClose()
{
    runGuarded([this] {
        m_check->stop();
        m_list->close();
    });
}

void TMainForm::closeEvent(QCloseEvent* event)
{
    WindowFit::save(this);
    saveColumnWidths(*StringGrid2);
    FormClose();
    QWidget::closeEvent(event);
}

void TMainForm::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    WindowFit::fit(*this, size());
}

void TMainForm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_list)
        m_list->lookSoon();
}

// ---------------------------------------------------------------------------------------------
// The parcel list and the check run

void TMainForm::RefreshGrid()
{
    m_list->refresh();
}

void TMainForm::StringGrid2Click()
{
    m_list->showHistory();
}

void TMainForm::N3Click()
{
    m_deleteParcels->run();
    backToGrid();
}

void TMainForm::AddClick()
{
    m_addParcel->run();
    backToGrid();
}

void TMainForm::editClick()
{
    m_editParcel->run();
    backToGrid();
}

void TMainForm::N4Click()
{
    runGuarded([this] { Button_Check->click(); });
}

void TMainForm::Button_CheckClick()
{
    m_check->run();
    // After the run, not inside one that handled this click while it waited.
    if (!checkRunning()) {
        m_archive->offerDelivered();
        backToGrid();
    }
}

void TMainForm::scheduledCheck()
{
    appendStatusLine(checkwords::scheduledRunLine());
    m_check->run(CheckController::Trigger::Schedule);
    if (!checkRunning())
        m_archive->offerDelivered();
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
    const bool opened = m_options.openUrl ? m_options.openUrl(url) : QDesktopServices::openUrl(url);
    // Without a browser (or a desktop that names one) nothing would happen at all.
    if (!opened)
        m_prompts->showMessage(
            QStringLiteral("Не удалось открыть страницу магазина в браузере. Откройте её сами: %1").arg(url.toString()),
            Prompts::Icon::Warning);
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
        // The patterns are ASCII: they match as often in the UTF-8 form as in any one-byte form.
        const std::string page = Memo1->toPlainText().toStdString();
        PatternProbe::countMatches(PatternProbe::resultsPattern(), page);
        PatternProbe::countMatches(PatternProbe::cellPattern(), page);
    });
}

void TMainForm::Button1Click()
{
    runGuarded([this] {
        const std::string page = Memo1->toPlainText().toStdString();
        PatternProbe::countMatches(PatternProbe::resultsPattern(), page);
    });
}

void TMainForm::SpeedButton1Click()
{
    runGuarded([this] {
        const auto days = daysInTransit(kDayCountOrigin, m_options.now ? m_options.now() : QDateTime::currentDateTime(),
                                        m_options.locale);
        m_prompts->showMessage(QString::number(days), Prompts::Icon::NoIcon);
    });
}
