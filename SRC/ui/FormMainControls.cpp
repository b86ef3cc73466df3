// The main window's controls, menus, tool bar and texts.
#include "ui/FormMain.h"

#include "lang/Language.h"
#include "ui/AppVersion.h"
#include "ui/MessageLines.h"
#include "ui/Pictures.h"
#include "ui/PublicFont.h"
#include "ui/TTMICObject.h"
#include "ui/coord/PlanExport.h"
#include "ui/coord/ShowCommands.h"

#include <QAction>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace
{

constexpr int WindowWidth = 1216;
constexpr int WindowHeight = 866;
constexpr int TopBandHeight = 100;
constexpr int LogoPanelWidth = 296;
constexpr int LeftColumnWidth = 500;
constexpr QSize ToolButtonSize(77, 86);
constexpr QSize ToolIconSize(65, 65);
constexpr int StatusPanelWidths[TFrmMain::StatusPanelCount] = { 120, 80, 100, 50 };
constexpr int DeviceColumnWidths[] = { 100, 70, 60, 90, 100, 50 };
constexpr unsigned DeviceColumnCaptions[] = { 31, 32, 33, 34, 35, 36 };
constexpr int TimerInterval = 100;
constexpr int CloseButtonSize = 18;
// Each area's "x" stands in a strip above its list: over the list it would cover the scroll
// bar's up arrow once the list scrolls.
constexpr int CloseStripHeight = CloseButtonSize + 4;

QIcon Picture(const char* resource)
{
    return QIcon(QPixmap::fromImage(LoadPicture(QString::fromLatin1(resource))));
}

QAction* NewAction(QObject* parent, const char* name)
{
    auto* action = new QAction(parent);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

QAction* NewCheckedAction(QObject* parent, const char* name)
{
    QAction* action = NewAction(parent, name);
    action->setCheckable(true);
    action->setChecked(true);
    return action;
}

QMenu* NewMenu(QWidget* parent, const char* name)
{
    auto* menu = new QMenu(parent);
    menu->setObjectName(QString::fromLatin1(name));
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

QToolButton* NewCloseButton(QWidget* parent, const char* name)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setText(QStringLiteral("x"));
    button->setAutoRaise(true);
    button->setFixedSize(CloseButtonSize, CloseButtonSize);
    return button;
}

// Draws connected rows red and the grid lines; everything else is the list's own drawing.
class DevListDelegate : public QStyledItemDelegate
{
public:
    DevListDelegate(const TFrmMain* window, QObject* parent)
        : QStyledItemDelegate(parent)
        , m_window(window)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        m_window->lbDevListCustomDrawItem(index, *option);
    }

private:
    const TFrmMain* m_window;
};

} // namespace

void TFrmMain::CreateControls()
{
    setObjectName(QStringLiteral("FrmMain"));
    CreateMenus();

    auto* central = new QWidget(this);
    auto* column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(CreateTopBand());
    auto* body = new QHBoxLayout;
    body->setContentsMargins(0, 0, 0, 0);
    body->setSpacing(0);
    body->addWidget(CreateLeftColumn());
    CreateTileArea();
    body->addWidget(ScrollBox1, 1);
    column->addLayout(body, 1);
    setCentralWidget(central);
    CreateStatusBar();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(TimerInterval);
    connect(Timer1, &QTimer::timeout, this, &TFrmMain::Timer1Timer);

    resize(WindowWidth, WindowHeight);
    CenterOnScreen();
}

void TFrmMain::CreateMenus()
{
    QMenuBar* MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));

    mnSystem = NewMenu(this, "mnSystem");
    mnSet = NewAction(this, "mnSet");
    mnInitialization = NewAction(this, "mnInitialization");
    mnOpen = NewAction(this, "mnOpen");
    mnSave = NewAction(this, "mnSave");
    mnSystem->addActions({ mnSet, mnInitialization, mnOpen, mnSave });
    mnInitialization->setVisible(false);
    mnOpen->setVisible(false);
    mnSave->setVisible(false);

    mnView = NewMenu(this, "mnView");
    mnTools = NewCheckedAction(this, "mnTools");
    mnStatus = NewCheckedAction(this, "mnStatus");
    mnDetails = NewCheckedAction(this, "mnDetails");
    mnDeviceManage = NewCheckedAction(this, "mnDeviceManage");
    mnView->addActions({ mnTools, mnStatus, mnDetails, mnDeviceManage });
    mnView->addSeparator();
    mnLanguage = NewMenu(this, "mnLanguage");
    mnEnglish = NewAction(this, "mnEnglish");
    mnEnglish->setCheckable(true);
    mnEnglish->setText(QStringLiteral("&English"));
    mnSimpleChinese = NewAction(this, "mnSimpleChinese");
    mnSimpleChinese->setCheckable(true);
    mnSimpleChinese->setText(QStringLiteral("简体中文(&S)"));
    mnSimpleChinese->setVisible(false);
    mnLanguage->addActions({ mnEnglish, mnSimpleChinese });
    mnView->addMenu(mnLanguage);

    mnDevices = NewMenu(this, "mnDevices");
    mnConnect = NewAction(this, "mnConnect");
    mnDisconnect = NewAction(this, "mnDisconnect");
    mnAddHR = NewAction(this, "mnAddHR");
    mnRFHistory = NewAction(this, "mnRFHistory");
    mnFreqScan = NewAction(this, "mnFreqScan");
    mnSingleSetup = NewAction(this, "mnSingleSetup");
    mnCompSetup = NewAction(this, "mnCompSetup");
    mnDevices->addActions({ mnConnect, mnDisconnect, mnAddHR, mnRFHistory, mnFreqScan, mnSingleSetup, mnCompSetup });

    mnHelp = NewMenu(this, "mnHelp");
    mnAbout = NewAction(this, "mnAbout");
    mnHelp->addAction(mnAbout);

    for (QMenu* menu : { mnSystem, mnView, mnDevices, mnHelp })
        MainMenu1->addMenu(menu);
    m_show = new ShowCommands(*this, *mnSystem, *mnDevices);
    AddPlanExportActions(*mnSystem, this);

    PopupMenu1 = NewMenu(this, "PopupMenu1");
    mnDelDevice = NewAction(this, "mnDelDevice");
    mnProperty = NewAction(this, "mnProperty");
    mnRFHistory2 = NewAction(this, "mnRFHistory2");
    mnScanFreq = NewAction(this, "mnScanFreq");
    PopupMenu1->addActions({ mnDelDevice, mnProperty, mnRFHistory2, mnScanFreq });

    connect(mnSet, &QAction::triggered, this, &TFrmMain::mnSetClick);
    connect(mnTools, &QAction::triggered, this, &TFrmMain::mnToolsClick);
    connect(mnStatus, &QAction::triggered, this, &TFrmMain::mnStatusClick);
    connect(mnDetails, &QAction::triggered, this, &TFrmMain::mnDetailsClick);
    connect(mnDeviceManage, &QAction::triggered, this, &TFrmMain::mnDeviceManageClick);
    connect(mnEnglish, &QAction::triggered, this, &TFrmMain::mnEnglishClick);
    connect(mnSimpleChinese, &QAction::triggered, this, &TFrmMain::mnSimpleChineseClick);
    // The Devices menu does what the tool bar buttons of the same captions do.
    connect(mnConnect, &QAction::triggered, this, &TFrmMain::tbConnectClick);
    connect(mnDisconnect, &QAction::triggered, this, &TFrmMain::tbDisConnectClick);
    connect(mnAddHR, &QAction::triggered, this, &TFrmMain::tbAddHRClick);
    connect(mnRFHistory, &QAction::triggered, this, &TFrmMain::tbRFHistoryClick);
    connect(mnFreqScan, &QAction::triggered, this, &TFrmMain::tbScanRFClick);
    connect(mnSingleSetup, &QAction::triggered, this, &TFrmMain::tbSingleSetClick);
    connect(mnCompSetup, &QAction::triggered, this, &TFrmMain::tbCompSetupClick);
    connect(mnAbout, &QAction::triggered, this, &TFrmMain::tbAboutClick);
    connect(mnDelDevice, &QAction::triggered, this, &TFrmMain::mnDelDeviceClick);
    connect(mnProperty, &QAction::triggered, this, &TFrmMain::mnPropertyClick);
    connect(mnRFHistory2, &QAction::triggered, this, &TFrmMain::tbRFHistoryClick);
    connect(mnScanFreq, &QAction::triggered, this, &TFrmMain::tbScanRFClick);
}

void TFrmMain::CreateToolBar()
{
    ToolBar1 = new QToolBar;
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setIconSize(ToolIconSize);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);

    struct Button {
        QAction** action;
        const char* name;
        const char* picture;
        void (TFrmMain::*handler)();
        bool separatorBefore;
    };
    const Button buttons[] = {
        { &tbAddHR, "tbAddHR", ":/tb_add.png", &TFrmMain::tbAddHRClick, false },
        { &tbConnect, "tbConnect", ":/tb_connect.png", &TFrmMain::tbConnectClick, false },
        { &tbDisConnect, "tbDisConnect", ":/tb_disconnect.png", &TFrmMain::tbDisConnectClick, false },
        { &tbRFHistory, "tbRFHistory", ":/tb_rfhistory.png", &TFrmMain::tbRFHistoryClick, true },
        { &tbScanRF, "tbScanRF", ":/tb_scanrf.png", &TFrmMain::tbScanRFClick, false },
        { &tbSingleSet, "tbSingleSet", ":/tb_singleset.png", &TFrmMain::tbSingleSetClick, false },
        { &tbCompSetup, "tbCompSetup", ":/tb_compsetup.png", &TFrmMain::tbCompSetupClick, false },
        { &tbAbout, "tbAbout", ":/tb_about.png", &TFrmMain::tbAboutClick, true },
    };
    for (const Button& b : buttons) {
        if (b.separatorBefore)
            ToolBar1->addSeparator();
        QAction* action = NewAction(this, b.name);
        action->setIcon(Picture(b.picture));
        ToolBar1->addAction(action);
        QWidget* button = ToolBar1->widgetForAction(action);
        button->setObjectName(QString::fromLatin1(b.name));
        button->setFixedSize(ToolButtonSize);
        connect(action, &QAction::triggered, this, b.handler);
        *b.action = action;
    }
}

QWidget* TFrmMain::CreateTopBand()
{
    auto* band = new QWidget;
    band->setObjectName(QStringLiteral("TopBand"));
    band->setFixedHeight(TopBandHeight);
    auto* row = new QHBoxLayout(band);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    CreateToolBar();
    row->addWidget(ToolBar1, 1);

    // The logo panel stays when the tool bar is hidden.
    auto* logoPanel = new QWidget;
    logoPanel->setObjectName(QStringLiteral("LogoPanel"));
    logoPanel->setFixedWidth(LogoPanelWidth);
    auto* logoRow = new QHBoxLayout(logoPanel);
    logoRow->setContentsMargins(0, 0, 0, 0);
    Image1 = new QLabel;
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    const QImage logo = LoadPicture(QStringLiteral(":/logo.png"));
    if (!logo.isNull())
        Image1->setPixmap(QPixmap::fromImage(
            logo.scaled(LogoPanelWidth, TopBandHeight, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
    logoRow->addWidget(Image1);
    row->addStretch(0);
    row->addWidget(logoPanel);
    return band;
}

QWidget* TFrmMain::CreateLeftColumn()
{
    Splitter1 = new QSplitter(Qt::Vertical);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setFixedWidth(LeftColumnWidth);
    Splitter1->setChildrenCollapsible(false);

    Panel2 = new QFrame;
    Panel2->setObjectName(QStringLiteral("Panel2"));
    auto* deviceLayout = new QVBoxLayout(Panel2);
    deviceLayout->setContentsMargins(0, CloseStripHeight, 0, 0);
    lbDevList = new QTreeWidget;
    lbDevList->setObjectName(QStringLiteral("lbDevList"));
    lbDevList->setColumnCount(static_cast<int>(std::size(DeviceColumnWidths)));
    for (int c = 0; c < lbDevList->columnCount(); ++c)
        lbDevList->setColumnWidth(c, DeviceColumnWidths[c]);
    lbDevList->setRootIsDecorated(false);
    lbDevList->setItemsExpandable(false);
    lbDevList->setUniformRowHeights(true);
    lbDevList->setAllColumnsShowFocus(true);
    lbDevList->setSelectionBehavior(QAbstractItemView::SelectRows);
    lbDevList->setSelectionMode(QAbstractItemView::SingleSelection);
    lbDevList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lbDevList->header()->setStretchLastSection(false);
    lbDevList->header()->setSectionsMovable(false);
    // The selection stays visible when the list loses the focus.
    QPalette palette = lbDevList->palette();
    for (QPalette::ColorRole role : { QPalette::Highlight, QPalette::HighlightedText })
        palette.setColor(QPalette::Inactive, role, palette.color(QPalette::Active, role));
    lbDevList->setPalette(palette);
    lbDevList->setItemDelegate(new DevListDelegate(this, lbDevList));
    lbDevList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lbDevList, &QWidget::customContextMenuRequested, this,
        [this](const QPoint& at) { PopupMenu1->popup(lbDevList->viewport()->mapToGlobal(at)); });
    connect(lbDevList, &QTreeWidget::itemDoubleClicked, this, &TFrmMain::lbDevListDblClick);
    deviceLayout->addWidget(lbDevList);
    SpeedButton1 = NewCloseButton(Panel2, "SpeedButton1");
    connect(SpeedButton1, &QToolButton::clicked, this, &TFrmMain::SpeedButton1Click);
    Panel2->installEventFilter(this);

    Panel3 = new QFrame;
    Panel3->setObjectName(QStringLiteral("Panel3"));
    auto* detailsLayout = new QVBoxLayout(Panel3);
    detailsLayout->setContentsMargins(0, CloseStripHeight, 0, 0);
    lbMsg = new QListWidget;
    lbMsg->setObjectName(QStringLiteral("lbMsg"));
    PrepareMessageList(*lbMsg);
    detailsLayout->addWidget(lbMsg);
    btDetailsClose = NewCloseButton(Panel3, "btDetailsClose");
    connect(btDetailsClose, &QToolButton::clicked, this, &TFrmMain::btDetailsCloseClick);
    Panel3->installEventFilter(this);

    Splitter1->addWidget(Panel2);
    Splitter1->addWidget(Panel3);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({ DeviceAreaHeight, WindowHeight });
    return Splitter1;
}

void TFrmMain::CreateTileArea()
{
    ScrollBox1 = new QScrollArea;
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setBackgroundRole(QPalette::Base);
    TileArea = new QWidget;
    TileArea->setObjectName(QStringLiteral("TileArea"));
    QPalette white = TileArea->palette();
    white.setColor(QPalette::Window, Qt::white);
    TileArea->setPalette(white);
    TileArea->setAutoFillBackground(true);
    ScrollBox1->setPalette(white);
    ScrollBox1->setWidget(TileArea);
    ScrollBox1->installEventFilter(this);
    ScrollBox1->viewport()->installEventFilter(this);
}

void TFrmMain::CreateStatusBar()
{
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    for (int i = 0; i < StatusPanelCount; ++i) {
        auto* panel = new QLabel;
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        const bool last = i == StatusPanelCount - 1;
        if (last)
            panel->setMinimumWidth(StatusPanelWidths[i]); // the last panel takes the rest of the bar
        else
            panel->setFixedWidth(StatusPanelWidths[i]);
        StatusBar1->addWidget(panel, last ? 1 : 0);
        StatusPanels[static_cast<size_t>(i)] = panel;
    }
    setStatusBar(StatusBar1);
}

void TFrmMain::CenterOnScreen()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

bool TFrmMain::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() == QEvent::Resize) {
        if (watched == ScrollBox1)
            ScrollBox1Resize();
        else if (watched == ScrollBox1->viewport())
            ResizeTileArea();
        else if (watched == Panel2 || watched == Panel3)
            PlaceCloseButtons();
    }
    return QMainWindow::eventFilter(watched, e);
}

void TFrmMain::PlaceCloseButtons()
{
    for (QToolButton* button : { SpeedButton1, btDetailsClose }) {
        const QWidget* panel = button->parentWidget();
        button->move(panel->width() - button->width() - 2, 2);
        button->raise();
    }
}

// ---------------------------------------------------------------------------------------------
// Texts

void TFrmMain::ApplyTexts()
{
    setFont(PublicWindowFont());
    m_show->ApplyTexts(BuiltinText(0) + QStringLiteral(" - ") + CaptionVersionText()); // with the show's name

    const std::pair<QAction*, unsigned> captions[] = {
        { mnSystem->menuAction(), 3 },
        { mnSet, 42 },
        { mnInitialization, 4 },
        { mnOpen, 5 },
        { mnSave, 6 },
        { mnView->menuAction(), 7 },
        { mnTools, 8 },
        { mnStatus, 9 },
        { mnDetails, 11 },
        { mnDeviceManage, 12 },
        { mnLanguage->menuAction(), 13 },
        { mnDevices->menuAction(), 14 },
        { mnConnect, 15 },
        { mnDisconnect, 16 },
        { mnAddHR, 17 },
        { mnRFHistory, 18 },
        { mnFreqScan, 19 },
        { mnSingleSetup, 20 },
        { mnCompSetup, 21 },
        { mnHelp->menuAction(), 22 },
        { mnAbout, 23 },
        { tbAddHR, 24 },
        { tbConnect, 15 },
        { tbDisConnect, 16 },
        { tbRFHistory, 25 },
        { tbScanRF, 26 },
        { tbSingleSet, 27 },
        { tbCompSetup, 28 },
        { tbAbout, 23 },
        { mnDelDevice, 37 },
        { mnProperty, 38 },
        { mnRFHistory2, 18 },
        { mnScanFreq, 19 },
    };
    for (const auto& [action, entry] : captions)
        action->setText(BuiltinText(entry));

    QStringList headers;
    for (unsigned entry : DeviceColumnCaptions)
        headers << BuiltinText(entry);
    lbDevList->setHeaderLabels(headers);

    for (const auto& tile : m_tiles)
        tile->ApplyTileTexts();
    ApplyAlertTexts();
}
