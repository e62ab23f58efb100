#include "app/MainFormUi.h"

#include "app/ApplicationTitle.h"
#include "app/PageControlStyle.h"
#include "app/WindowBitmaps.h"
#include "app/WindowFit.h"
#include "parcels/ParcelGrid.h"
#include "parcels/Tahoma.h"

#include <QFile>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QColor kGrey(0x80, 0x80, 0x80);
const QColor kBlue(0x00, 0x00, 0xFF);
const QColor kNavy(0x00, 0x00, 0x80);
const QColor kLime(0x00, 0xFF, 0x00);

const QString kParcelBitmap = QStringLiteral(":/images/parcel.bmp");
const QString kShopLargeBitmap = QStringLiteral(":/images/shop1-large.bmp");
const QString kShopWideBitmap = QStringLiteral(":/images/shop1-wide.bmp");
const QString kShopSquareBitmap = QStringLiteral(":/images/shop1-square.bmp");
const QString kShop3Bitmap = QStringLiteral(":/images/shop3.bmp");

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

} // namespace

void MainFormUi::setupUi(QWidget* form)
{
    form->setObjectName(QStringLiteral("MainForm"));
    form->setWindowTitle(applicationTitle()
                         + QStringLiteral(" (Все покупки из интернет-магазинов под контролем: www.ebay.com)"));
    form->setFont(tahoma::font(tahoma::k8pt));
    // The pages as designed, and the status bar under them.
    form->setFixedSize(WindowFit::kDesignedSize);
    form->move(181, 207);

    PageControl1 = new QTabWidget(form);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(0, 0, 944, 761);
    auto* pageStyle = new PageControlStyle;
    pageStyle->setParent(PageControl1);
    PageControl1->setStyle(pageStyle);
    PageControl1->tabBar()->setFont(tahoma::font(tahoma::k12pt));

    // The bitmaps are read while the controls before them are made.
    WindowBitmaps bitmaps({kParcelBitmap, kShopLargeBitmap, kShopWideBitmap, kShopSquareBitmap, kShop3Bitmap});
    setupProgramPage(bitmaps);
    setupShopsPage(bitmaps);
    setupBrowserPage();
    setupPopupMenu(form);
    setupStatusBar(form);
    PageControl1->setCurrentWidget(TabSheet1);
}

void MainFormUi::setupProgramPage(WindowBitmaps& bitmaps)
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

    QWidget::setTabOrder(StringGrid2, Memo_history);
    QWidget::setTabOrder(Memo_history, BitBtn4);
    QWidget::setTabOrder(BitBtn4, BitBtn1);
    QWidget::setTabOrder(BitBtn1, Memo_Status);
}

void MainFormUi::setupShopsPage(WindowBitmaps& bitmaps)
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

void MainFormUi::setupBrowserPage()
{
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    const int index = PageControl1->addTab(TabSheet3, QString());
    // The user never reaches this page: a hidden tab is still taken by Ctrl+Tab unless it is
    // disabled too.
    PageControl1->setTabVisible(index, false);
    PageControl1->tabBar()->setTabEnabled(index, false);
    // The browser control keeps its name and place on the page, but stays empty: the tracking
    // page is loaded in a browser-engine page of its own that is never shown (tracking/browser/).
    WebBrowser1 = new QWidget(TabSheet3);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setGeometry(5, 16, 300, 505);
}

void MainFormUi::setupPopupMenu(QWidget* form)
{
    PopupMenu1 = new QMenu(form);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    N4 = makeAction(PopupMenu1, "N4", QStringLiteral("Проверить посылки"));
    N5 = makeSeparator(PopupMenu1, "N5");
    Add = makeAction(PopupMenu1, "Add", QStringLiteral("Добавить посылку"));
    edit = makeAction(PopupMenu1, "edit", QStringLiteral("Редактирова посылку"));
    N2 = makeSeparator(PopupMenu1, "N2");
    N3 = makeAction(PopupMenu1, "N3", QStringLiteral("Удалить посылку"));
    New = makeAction(PopupMenu1, "New", QStringLiteral("Создание"));
    New->setVisible(false);

    // Beyond the program's first menu, after a separator of their own.
    N6 = makeSeparator(PopupMenu1, "N6");
    AddMany = makeAction(PopupMenu1, "AddMany", QStringLiteral("Добавить несколько посылок…"));
    Find = makeAction(PopupMenu1, "Find", QStringLiteral("Найти…"));
    N7 = makeSeparator(PopupMenu1, "N7");
    ToArchive = makeAction(PopupMenu1, "ToArchive", QStringLiteral("В архив"));
    FromArchive = makeAction(PopupMenu1, "FromArchive", QStringLiteral("Вернуть из архива"));
    ShowArchive = makeAction(PopupMenu1, "ShowArchive", QStringLiteral("Показать архив"));
    ShowArchive->setCheckable(true);
    N8 = makeSeparator(PopupMenu1, "N8");
    // Checked while checks run by themselves; a click opens the dialog that switches them.
    BackgroundChecks = makeAction(PopupMenu1, "BackgroundChecks", QStringLiteral("Проверять в фоне…"));
    BackgroundChecks->setCheckable(true);
}

void MainFormUi::setupStatusBar(QWidget* form)
{
    StatusBar_Checks = new QStatusBar(form);
    StatusBar_Checks->setObjectName(QStringLiteral("StatusBar_Checks"));
    StatusBar_Checks->setSizeGripEnabled(false);
    StatusBar_Checks->setGeometry(0, 761, 944, WindowFit::kFootHeight);
    // The mark of a failed background run, shown only with one (its picture is drawn then).
    Image_CheckFault = new QLabel(StatusBar_Checks);
    Image_CheckFault->setObjectName(QStringLiteral("Image_CheckFault"));
    Image_CheckFault->hide();
    StatusBar_Checks->addWidget(Image_CheckFault);
    Label_LastCheck = new QLabel(StatusBar_Checks);
    Label_LastCheck->setObjectName(QStringLiteral("Label_LastCheck"));
    Label_LastCheck->setFont(tahoma::font(tahoma::k8pt));
    Label_LastCheck->setTextInteractionFlags(Qt::TextSelectableByMouse);
    StatusBar_Checks->addWidget(Label_LastCheck, 1);
}
