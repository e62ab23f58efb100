#include "app/TMainForm.h"

#include "app/ApplicationTitle.h"
#include "app/DatabaseWatch.h"
#include "app/MessageBoxPrompts.h"
#include "app/PageControlStyle.h"
#include "app/PatternProbe.h"
#include "app/QtTranslations.h"
#include "app/WindowBitmaps.h"
#include "store/DaysInTransit.h"
#include "parcels/ParcelGrid.h"
#include "parcels/TFm_Track.h"
#include "parcels/Tahoma.h"
#include "parcels/VisibleText.h"
#include "store/Cp1251.h"
#include "store/DatabaseErrorText.h"
#include "store/ParcelStore.h"
#include "notify/DesktopNotifier.h"
#include "tracking/BrowserModule.h"
#include "tracking/CheckSession.h"
#include "tracking/RunLock.h"
#include "tracking/TrackingPage.h"
#include "tracking/TrackingRoad.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

// Resources of a static library are registered by hand; Q_INIT_RESOURCE must stand outside
// any namespace.
static void initKurierixResources()
{
    Q_INIT_RESOURCE(kurierix);
}

namespace {

const QColor kGrey(0x80, 0x80, 0x80);
const QColor kBlue(0x00, 0x00, 0xFF);
const QColor kNavy(0x00, 0x00, 0x80);
const QColor kLime(0x00, 0xFF, 0x00);

// While a check run of another process of ours holds the database (`kurierix --check` from the
// timer), a statement that meets its lock waits this long for it: its writes take milliseconds.
// Another program's lock still fails at once.
constexpr int kWaitForOurRunMs = 2000;

const QString kParcelBitmap = QStringLiteral(":/images/parcel.bmp");
const QString kShopLargeBitmap = QStringLiteral(":/images/shop1-large.bmp");
const QString kShopWideBitmap = QStringLiteral(":/images/shop1-wide.bmp");
const QString kShopSquareBitmap = QStringLiteral(":/images/shop1-square.bmp");
const QString kShop3Bitmap = QStringLiteral(":/images/shop3.bmp");

// The date the hidden day-count button measures from.
constexpr const char* kDayCountOrigin = "2011-11-10 10:36:09";

void setTextColour(QWidget* widget, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, colour);
    palette.setColor(QPalette::Text, colour);
    widget->setPalette(palette);
}

QGroupBox* makeGroup(QWidget* parent, const char* name, const QString& caption, const QRect& geometry)
{
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(QLatin1String(name));
    // Only the caption is bold; every control inside sets its own regular font.
    group->setFont(tahoma::font(tahoma::k10pt, true));
    group->setGeometry(geometry);
    return group;
}

QLabel* makeLabel(QWidget* parent, const char* name, const QString& text, const QPoint& position, const QFont& font)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QLatin1String(name));
    label->setFont(font);
    label->move(position);
    label->adjustSize();
    return label;
}

QPlainTextEdit* makeMemo(QWidget* parent, const char* name, const QRect& geometry, const QFont& font)
{
    auto* memo = new QPlainTextEdit(parent);
    memo->setObjectName(QLatin1String(name));
    memo->setFont(font);
    memo->setGeometry(geometry);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    return memo;
}

QPushButton* makeButton(QWidget* parent, const char* name, const QString& caption, const QRect& geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setFont(tahoma::font(tahoma::k10pt));
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

QPushButton* makeImageButton(QWidget* parent, const char* name, const QPixmap& glyph, const QRect& geometry)
{
    QPushButton* button = makeButton(parent, name, QString(), geometry);
    button->setIcon(QIcon(glyph));
    button->setIconSize(glyph.size());
    button->setCursor(Qt::PointingHandCursor);
    button->setToolTip(QStringLiteral("Зайти на сайт"));
    return button;
}

QAction* makeAction(QMenu* menu, const char* name, const QString& caption)
{
    auto* action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    return action;
}

QAction* makeSeparator(QMenu* menu, const char* name)
{
    QAction* separator = menu->addSeparator();
    separator->setObjectName(QLatin1String(name));
    return separator;
}

QString savedTrackingPage()
{
    QFile file(QStringLiteral(":/pages/saved-tracking-page.html"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

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
QString historyForView(const std::string& history)
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
    createControls();
    wireHandlers();
    m_checkSession =
        new CheckSession(m_options.databasePath,
                         makeTrackingSource(m_options.endpoints, m_options.pageFactory
                                                                     ? m_options.pageFactory
                                                                     : browserPageFactory(m_options.browserStorageDir)),
                         this);
    m_checkSession->setObjectName(QStringLiteral("checkSession"));
    m_checkSession->setLimits(m_options.checkRunLimits);
    followCheckSession();
    FormCreate();
}

TMainForm::~TMainForm() = default;

// ---------------------------------------------------------------------------------------------
// Controls

void TMainForm::createControls()
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(applicationTitle()
                   + QStringLiteral(" (Все покупки из интернет-магазинов под контролем: www.ebay.com)"));
    setFont(tahoma::font(tahoma::k8pt));
    setFixedSize(944, 761);
    move(181, 207);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 0, 945, 761);
    auto* pageStyle = new PageControlStyle;
    pageStyle->setParent(PageControl1);
    PageControl1->setStyle(pageStyle);
    PageControl1->tabBar()->setFont(tahoma::font(tahoma::k12pt));

    // The bitmaps are read while the controls before them are made.
    WindowBitmaps bitmaps({kParcelBitmap, kShopLargeBitmap, kShopWideBitmap, kShopSquareBitmap, kShop3Bitmap});
    createProgramPage(bitmaps);
    createShopsPage(bitmaps);
    createBrowserPage();
    createPopupMenu();
    PageControl1->setCurrentWidget(TabSheet1);
}

void TMainForm::createProgramPage(WindowBitmaps& bitmaps)
{
    const QFont pageFont = tahoma::font(tahoma::k10pt);

    TabSheet1 = new QWidget;
    TabSheet1->setObjectName(QStringLiteral("TabSheet1"));
    TabSheet1->setFont(pageFont);
    PageControl1->addTab(TabSheet1, QStringLiteral("Программа"));

    // Created first so that the parcel group covers it, as it always has.
    Memo1 = makeMemo(TabSheet1, "Memo1", QRect(240, 72, 185, 89), pageFont);
    Memo1->setPlainText(savedTrackingPage());
    Memo1->hide();

    GroupBox5 = makeGroup(TabSheet1, "GroupBox5", QStringLiteral("Номера посылок"), QRect(8, 4, 705, 357));
    Label7 = makeLabel(GroupBox5, "Label7",
                       QStringLiteral("Для управление посылками, нажмите правую кнопку мыши на таблице!"),
                       QPoint(8, 21), pageFont);
    setTextColour(Label7, kGrey);
    StringGrid2 = new ParcelGrid(GroupBox5);
    StringGrid2->setObjectName(QStringLiteral("StringGrid2"));
    StringGrid2->setGeometry(9, 40, 685, 281);
    Label_Status = makeLabel(GroupBox5, "Label_Status", QStringLiteral("Статус: ok"), QPoint(8, 330), pageFont);
    setTextColour(Label_Status, Qt::black);
    Memo2 = makeMemo(GroupBox5, "Memo2", QRect(216, 112, 417, 305), pageFont);
    Memo2->hide();

    GroupBox4 =
        makeGroup(TabSheet1, "GroupBox4", QStringLiteral("Расширенная информация о посылке"), QRect(8, 363, 705, 350));
    Memo_history = makeMemo(GroupBox4, "Memo_history", QRect(8, 24, 681, 313), pageFont);
    setTextColour(Memo_history, kNavy);
    SpeedButton1 = new QToolButton(GroupBox4);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setGeometry(488, 8, 55, 22);
    SpeedButton1->hide();

    GroupBox3 = makeGroup(TabSheet1, "GroupBox3", QStringLiteral("О программе"), QRect(721, 4, 207, 537));
    Label1 = makeLabel(GroupBox3, "Label1", applicationTitle(), QPoint(17, 21), tahoma::font(tahoma::k11pt, true));
    setTextColour(Label1, kBlue);
    Label4 = makeLabel(GroupBox3, "Label4", QStringLiteral("© 2013 Курьерикс, Минск"), QPoint(17, 41), pageFont);
    Label4->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    QFont linkFont = pageFont;
    linkFont.setUnderline(true);
    Label5 = makeLabel(GroupBox3, "Label5", QStringLiteral("Покупки на www.ebay.com"), QPoint(18, 58), linkFont);
    Label5->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    Label5->setCursor(Qt::PointingHandCursor);
    Label5->setToolTip(QStringLiteral("Зайти на сайт"));
    Image1 = new QLabel(GroupBox3);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(bitmaps.pixmap(kParcelBitmap));
    Image1->move(17, 81);
    Image1->adjustSize();
    Label2 = new QLabel(QStringLiteral("Программа для отслеживания посылок на сайте БелПочты "), GroupBox3);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFont(pageFont);
    Label2->setWordWrap(true);
    Label2->setGeometry(15, 232, 182, Label2->heightForWidth(182));
    BitBtn4 = makeImageButton(GroupBox3, "BitBtn4", bitmaps.pixmap(kShopLargeBitmap), QRect(9, 271, 190, 157));
    BitBtn1 = makeImageButton(GroupBox3, "BitBtn1", bitmaps.pixmap(kShopWideBitmap), QRect(9, 432, 190, 98));

    GroupBox1 = makeGroup(TabSheet1, "GroupBox1", QStringLiteral("Что делает программа "), QRect(718, 548, 209, 166));
    Memo_Status = makeMemo(GroupBox1, "Memo_Status", QRect(11, 21, 186, 134), tahoma::font(tahoma::k8pt));
    QPalette logPalette = Memo_Status->palette();
    logPalette.setColor(QPalette::Base, Qt::black);
    logPalette.setColor(QPalette::Text, kLime);
    Memo_Status->setPalette(logPalette);
    Memo_Status->setPlainText(QStringLiteral("Жду Вашу комманду..."));

    Button_Check = makeButton(TabSheet1, "Button_Check", QStringLiteral("Проверка"), QRect(355, 495, 118, 42));
    Button_Check->hide();
    BitBtn3 = makeButton(TabSheet1, "BitBtn3", QStringLiteral("Рег - Строка"), QRect(144, 504, 113, 33));
    BitBtn3->hide();
    Button1 = makeButton(TabSheet1, "Button1", QStringLiteral("Рег - Таблица"), QRect(272, 504, 75, 33));
    Button1->hide();

    setTabOrder(StringGrid2, Memo_history);
    setTabOrder(Memo_history, BitBtn4);
    setTabOrder(BitBtn4, BitBtn1);
    setTabOrder(BitBtn1, Memo_Status);
}

void TMainForm::createShopsPage(WindowBitmaps& bitmaps)
{
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName(QStringLiteral("TabSheet2"));
    PageControl1->addTab(TabSheet2, QStringLiteral("Супер магазины"));

    auto* layout = new QVBoxLayout(TabSheet2);
    layout->setContentsMargins(0, 0, 0, 0);
    Panel1 = new QFrame(TabSheet2);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    layout->addWidget(Panel1);

    BitBtn2 = makeImageButton(Panel1, "BitBtn2", bitmaps.pixmap(kShopSquareBitmap), QRect(9, 7, 190, 157));
    BitBtn6 = makeImageButton(Panel1, "BitBtn6", bitmaps.pixmap(kShop3Bitmap), QRect(209, 7, 190, 157));
}

void TMainForm::createBrowserPage()
{
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    const int index = PageControl1->addTab(TabSheet3, QString());
    // The page hosts the tracking browser; the user never reaches it. A hidden tab is still
    // taken by Ctrl+Tab unless it is disabled too; the page itself stays enabled for the browser.
    PageControl1->setTabVisible(index, false);
    PageControl1->tabBar()->setTabEnabled(index, false);
    WebBrowser1 = new QWidget(TabSheet3);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setGeometry(5, 16, 300, 505);
}

void TMainForm::createPopupMenu()
{
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N4 = makeAction(PopupMenu1, "N4", QStringLiteral("Проверить посылки"));
    N5 = makeSeparator(PopupMenu1, "N5");
    Add = makeAction(PopupMenu1, "Add", QStringLiteral("Добавить посылку"));
    edit = makeAction(PopupMenu1, "edit", QStringLiteral("Редактирова посылку"));
    N2 = makeSeparator(PopupMenu1, "N2");
    N3 = makeAction(PopupMenu1, "N3", QStringLiteral("Удалить посылку"));
    New = makeAction(PopupMenu1, "New", QStringLiteral("Создание"));
    New->setVisible(false);
}

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
        switch (m_store->open(m_options.databasePath)) {
        case ParcelStore::OpenResult::OpenFailed:
            m_prompts->showError(QStringLiteral("Ошибка №2 - Откытия базы данных"));
            m_startupFailed = true;
            return;
        case ParcelStore::OpenResult::CreateFailed:
            m_prompts->showError(QStringLiteral("Ошибка №1 - Ошибка создание новой базы данных"));
            break;
        case ParcelStore::OpenResult::Opened:
        case ParcelStore::OpenResult::Created:
            break;
        }
        if (m_store->isOpen()) {
            m_store->database().setBusyWait(kWaitForOurRunMs, [lock = RunLock::pathFor(m_options.databasePath)] {
                return RunLock::heldByAnotherProcess(lock);
            });
            // Before anything can change a status, so that every status stored now counts as seen.
            m_seenTable = SeenStatuses::prepare(m_store->database());
        }
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
        const bool revealAdded = std::exchange(m_revealAddedParcel, false);
        QString cause;
        if (reloadGrid(&cause) != GridReload::Done)
            m_prompts->showError(QStringLiteral("Ошибка - Во время обновление данных"), cause);
        // The parcel just added is the last row: the list comes in rowid order, and a new row
        // gets the highest rowid. The selection stays where it was.
        if (revealAdded)
            StringGrid2->scrollToRow(StringGrid2->parcelRowCount());
    });
}

TMainForm::GridReload TMainForm::reloadGrid(QString* cause)
{
    if (!m_store)
        return GridReload::Failed;
    std::shared_ptr<TSQLiteTable> table;
    std::optional<std::int64_t> version;
    try {
        // A file that was locked at start-up gets its table of seen statuses now.
        if (m_seenTable == SeenStatuses::Preparation::Busy)
            m_seenTable = SeenStatuses::prepare(m_store->database());
        // Taken before the list: a commit in between is noticed once more, never missed.
        version = m_store->database().dataVersion();
    } catch (...) {
    }
    try {
        table = m_store->listAll();
    } catch (...) {
        if (cause)
            *cause = causeOfCurrentFailure();
        return GridReload::Failed;
    }
    m_currentResult = table;
    m_gridDataVersion = version;
    GridReload outcome = GridReload::Done;
    try {
        StringGrid2->fill(*table, now(), m_options.locale);
    } catch (...) {
        if (cause)
            *cause = causeOfCurrentFailure();
        outcome = GridReload::Partial;
    }
    showChangedRows(*table);
    return outcome;
}

void TMainForm::showChangedRows(TSQLiteTable& table)
{
    // Without the table (a read-only or foreign file) nothing counts as changed.
    const auto changed = SeenStatuses::changedParcels(m_store->database());
    std::int32_t idColumn = -1;
    if (changed && !changed->empty() && table.RowCount() > 0)
        idColumn = table.ColumnIndex("id");
    table.Rewind();
    for (int row = 1; !table.AtEnd(); ++row, table.NextRow())
        StringGrid2->setRowBold(row, idColumn >= 0 && changed->count(table.FieldText(idColumn)) > 0);
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
        if (!m_currentResult || m_currentResult->RowCount() == 0)
            return;
        const int row = StringGrid2->selectedRow();
        const std::string id = StringGrid2->selectedParcelId();
        std::shared_ptr<TSQLiteTable> table = m_store->parcel(id);
        m_currentResult = table;
        Memo_history->clear();
        Memo_history->setPlainText(historyForView(table->FieldText("s_trackfull")));
        // Its history is in view: the status just read is the one its user has now seen. A row
        // that stays bold because this could not be written is marked at the next click.
        if (StringGrid2->isRowBold(row)
            && SeenStatuses::markSeen(m_store->database(), id, table->FieldText("s_status")))
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
            std::shared_ptr<TSQLiteTable> table = m_store->listAll();
            m_currentResult = table;
            // With no parcel row in the grid (one that missed rows another program added) there
            // is no selected parcel to ask about: the refresh below shows them.
            const std::string id = StringGrid2->selectedParcelId();
            if (table->RowCount() > 0 && !id.empty()) {
                QWidget* owner = QApplication::activeWindow();
                const auto answer =
                    m_prompts->askYesNo(QStringLiteral("Подтверждение"), QStringLiteral("Удалить выбранную запись?"),
                                        Prompts::Icon::Warning, Prompts::Button::No, owner ? owner : this);
                if (answer == Prompts::Button::Yes && m_store) {
                    gone = !m_store->remove(id);
                    // A row left by a failure here is dropped when the table is next prepared.
                    SeenStatuses::forget(m_store->database(), id);
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
    m_editedRowId.clear();
    // No dialog opens for a parcel that is not there: its save could change no row.
    if (StringGrid2->selectedRow() == 0) {
        // The grid may have missed parcels another program added while a menu was open.
        RefreshGrid();
        m_prompts->showMessage(StringGrid2->parcelRowCount() == 0 ? kNoParcelToEdit : kChooseParcelToEdit,
                               Prompts::Icon::Information);
        return false;
    }
    try {
        m_editedRowId = StringGrid2->selectedParcelId();
        if (!m_store)
            throw ESQLiteException("The database is not open");
        std::shared_ptr<TSQLiteTable> table = m_store->parcel(m_editedRowId);
        m_currentResult = table;
        if (table->RowCount() == 0) {
            // Deleted by another window or program since the grid was filled.
            m_editedRowId.clear();
            RefreshGrid();
            m_prompts->showMessage(kParcelGone, Prompts::Icon::Information);
            return false;
        }
        dialog.Edit_Track->setText(visibleText(table->FieldText("s_track")));
        dialog.Edit_Shop->setText(visibleText(table->FieldText("s_shop")));
        dialog.Edit_Title->setText(visibleText(table->FieldText("s_title")));
        dialog.Edit_Komment->setText(visibleText(table->FieldText("s_comments")));
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
    if (!adding && !(editing && !m_editedRowId.empty()))
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
        if (adding) {
            m_store->insert(toCp1251(dialog.Edit_Track->text()), toCp1251(dialog.Edit_Shop->text()),
                            toCp1251(dialog.Edit_Title->text()), toCp1251(comment));
            m_revealAddedParcel = true;
        } else if (!m_store->edit(m_editedRowId, toCp1251(dialog.Edit_Track->text()),
                                  toCp1251(dialog.Edit_Shop->text()), toCp1251(dialog.Edit_Title->text()),
                                  toCp1251(comment))) {
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
