#include "ui/FormDebug.h"

#include "data/Clock.h"
#include "data/IniFile.h"
#include "data/LogFile.h"
#include "data/PublicStruct.h"
#include "lang/Gbk.h"
#include "lang/Language.h"
#include "protocol/Messages.h"
#include "ui/Pictures.h"
#include "ui/PublicFont.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <algorithm>
#include <memory>

TFrmDebug* FrmDebug = nullptr;

namespace {
constexpr int FormWidth = 766;
constexpr int FormHeight = 612;
constexpr int ToolBarHeight = 57;
constexpr int IconSize = 32;
constexpr int RowHeight = 20;
constexpr int TextMargin = 10;
constexpr uint32_t RedrawInterval = 150;
constexpr int DefaultBufferLines = 500;
constexpr int MinBytesPerRow = 2;

// 40 bytes in GBK: its width / 40 is the average width of one byte of text.
const QString SampleText = QStringLiteral("测试1234567890ABCDEFGHIJKLMNOPQRSTuvwxyz");
constexpr double SampleBytesInverse = 0.025;

std::unique_ptr<TFrmDebug> g_debugWindow;

int BytesPerRow(const QFontMetricsF& metrics, int surfaceWidth)
{
    const double charWidth = metrics.horizontalAdvance(SampleText) * SampleBytesInverse;
    if (charWidth <= 0)
        return MinBytesPerRow;
    return std::max(MinBytesPerRow, static_cast<int>((surfaceWidth - 2 * TextMargin) / charWidth));
}
} // namespace

QList<QByteArrayView> WrapGbkLine(QByteArrayView line, int bytesPerRow)
{
    const qsizetype width = std::max(bytesPerRow, MinBytesPerRow);
    QList<QByteArrayView> pieces;
    while (!line.isEmpty()) {
        const qsizetype size = GbkCharBoundary(line, width);
        pieces.append(line.first(size));
        line = line.sliced(size);
    }
    return pieces;
}

TDebugImage::TDebugImage(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TDebugImage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    painter.drawImage(0, 0, Picture);
}

TFrmDebug::TFrmDebug(QWidget* owner, const QString& settingsFileName)
    : QWidget(nullptr)
    , m_folder(PublicStruct::Instance().SettingsFolder())
    , m_settingsPath(m_folder + settingsFileName)
    , m_lineLimit(IniReadInt(m_settingsPath, QStringLiteral("Public"), QStringLiteral("DebugBufferLines"),
          DefaultBufferLines))
{
    // A console beside the main window: its closing must not end the application.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFont(PublicWindowFont());
    setWindowTitle(TranslateText(QStringLiteral("调试窗口")));

    ToolBar1 = new QToolBar(this);
    ToolBar1->setIconSize(QSize(IconSize, IconSize));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tbClrScr = AddToolButton(QStringLiteral("清屏"), QStringLiteral(":/debug_clear.png"), false);
    tbFrozen = AddToolButton(QStringLiteral("冻结"), QStringLiteral(":/debug_frozen.png"), true);
    btStopDebug = AddToolButton(QStringLiteral("停止"), QStringLiteral(":/debug_stop.png"), true);
    btSave = AddToolButton(QStringLiteral("保存"), QStringLiteral(":/debug_save.png"), true);
    tbStayOnTop = AddToolButton(QStringLiteral("最前"), QStringLiteral(":/debug_top.png"), true);
    connect(tbClrScr, &QToolButton::clicked, this, &TFrmDebug::tbClrScrClick);
    connect(tbFrozen, &QToolButton::toggled, this, &TFrmDebug::tbFrozenClick);
    connect(btStopDebug, &QToolButton::toggled, this, &TFrmDebug::btStopDebugClick);
    connect(btSave, &QToolButton::toggled, this, &TFrmDebug::btSaveClick);
    connect(tbStayOnTop, &QToolButton::toggled, this, &TFrmDebug::tbStayOnTopClick);

    Image1 = new TDebugImage(this);

    ScrollBar1 = new QScrollBar(Qt::Vertical, this);
    ScrollBar1->setRange(0, 100);
    ScrollBar1->setPageStep(5);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &TFrmDebug::ScrollBar1Change);

    Timer1 = new QTimer(this);
    Timer1->setInterval(static_cast<int>(RedrawInterval));
    // A coarse timer may fire a little early, which would only defer the redraw once more.
    Timer1->setTimerType(Qt::PreciseTimer);
    connect(Timer1, &QTimer::timeout, this, &TFrmDebug::Timer1Timer);

    resize(FormWidth, FormHeight);
    PlaceAtStoredPosition(owner);
    FormResize();
    m_lastRedraw = GetTickCount();

    // Last: from here on other threads deliver lines to this window.
    FrmDebug = this;
    RegisterDebugSink(this);
}

TFrmDebug::~TFrmDebug()
{
    // First: once this returns no thread is inside DebugLine, and none will enter it.
    UnregisterDebugSink(this);
    if (FrmDebug == this)
        FrmDebug = nullptr;
    IniWriteInt(m_settingsPath, QStringLiteral("History"), QStringLiteral("DebugFormLeft"), x());
    IniWriteInt(m_settingsPath, QStringLiteral("History"), QStringLiteral("DebugFormTop"), y());
}

QToolButton* TFrmDebug::AddToolButton(const QString& caption, const QString& picture, bool toggle)
{
    auto* button = new QToolButton(ToolBar1);
    button->setText(TranslateText(caption));
    button->setIcon(QIcon(LoadPixmap(picture)));
    button->setIconSize(QSize(IconSize, IconSize));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setCheckable(toggle);
    ToolBar1->addWidget(button);
    return button;
}

void TFrmDebug::PlaceAtStoredPosition(QWidget* owner)
{
    const QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen ? screen->geometry() : QRect();
    const int centredLeft = (area.width() - width()) / 2;
    const int centredTop = (area.height() - height()) / 2;
    move(IniReadInt(m_settingsPath, QStringLiteral("History"), QStringLiteral("DebugFormLeft"), centredLeft),
        IniReadInt(m_settingsPath, QStringLiteral("History"), QStringLiteral("DebugFormTop"), centredTop));
}

QList<QByteArray> TFrmDebug::LiveLines() const
{
    const std::lock_guard lock(m_lock);
    return m_lines;
}

bool TFrmDebug::DebugAccepting() const
{
    return !m_stopped.load();
}

void TFrmDebug::DebugLine(const QByteArray& gbkLine)
{
    const std::lock_guard lock(m_lock);
    // Compared unsigned: a negative limit never trims.
    const auto limit = static_cast<qsizetype>(static_cast<uint32_t>(m_lineLimit));
    while (m_lines.size() > limit)
        m_lines.removeFirst();
    m_lines.append(gbkLine);
    QCoreApplication::postEvent(this, new MessageEvent(MSG_DEBUG_REDRAW, 0, 0));
    if (m_saving.load())
        AppendToLogFile(gbkLine);
}

// A line that cannot be written is missed. A symbolic link in the log's place is said once per
// run of failures, in the window itself (a DebugPrint from here would be dropped). Called with
// m_lock held.
void TFrmDebug::AppendToLogFile(const QByteArray& gbkLine)
{
    const QString path = m_folder + QStringLiteral("DebugLog.Log");
    QString error;
    if (AppendToLog(path, gbkLine + "\r\n", &error)) {
        m_logFailureShown = false;
        return;
    }
    if (m_logFailureShown || !QFileInfo(path).isSymLink())
        return;
    m_logFailureShown = true;
    m_lines.append(ToGbk(QStringLiteral("DebugLog.Log: ") + error));
}

void TFrmDebug::customEvent(QEvent* event)
{
    if (event->type() != EventType(MSG_DEBUG_REDRAW))
        return QWidget::customEvent(event);
    if (!m_frozen)
        ScrollBar1->setValue(ScrollBar1->maximum());
    Redraw();
}

void TFrmDebug::Redraw()
{
    const uint32_t now = GetTickCount();
    if (!TickPassed(m_lastRedraw + RedrawInterval, now)) {
        if (!Timer1->isActive())
            Timer1->start();
        return;
    }
    DrawLines(m_frozen ? m_snapshot : LiveLines());
    m_lastRedraw = now;
    Timer1->stop();
}

void TFrmDebug::DrawLines(const QList<QByteArray>& lines)
{
    QImage& picture = Image1->Picture;
    if (picture.isNull())
        return;
    picture.fill(Qt::black);
    QPainter painter(&picture);
    painter.setFont(PublicWindowFont());
    painter.setPen(Qt::white);
    const QFontMetricsF metrics(painter.font(), &picture);
    const int bytesPerRow = BytesPerRow(metrics, picture.width());
    const int ascent = qRound(metrics.ascent());

    // The top is counted in lines: with wrapped lines the newest may fall below the bottom edge.
    const qsizetype count = lines.size();
    const qsizetype top = count > m_visibleRows ? ScrollBar1->value() * (count - m_visibleRows) / 100 : 0;
    int row = 0;
    for (qsizetype index = top; index < count && row < m_visibleRows; ++index) {
        for (QByteArrayView piece : WrapGbkLine(lines[index], bytesPerRow)) {
            const int y = row * RowHeight + TextMargin;
            if (y < picture.height())
                painter.drawText(TextMargin, y + ascent, FromGbk(piece));
            ++row;
        }
    }
    painter.end();
    Image1->update();
}

void TFrmDebug::tbClrScrClick()
{
    {
        const std::lock_guard lock(m_lock);
        m_lines.clear();
    }
    Redraw();
}

void TFrmDebug::tbFrozenClick(bool down)
{
    m_frozen = down;
    if (down)
        m_snapshot = LiveLines();
}

void TFrmDebug::btStopDebugClick(bool down)
{
    m_stopped.store(down);
}

void TFrmDebug::btSaveClick(bool down)
{
    m_saving.store(down);
}

void TFrmDebug::tbStayOnTopClick(bool down)
{
    // Changing the window flags hides a shown window.
    const bool shown = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, down);
    if (shown)
        show();
}

void TFrmDebug::ScrollBar1Change()
{
    Redraw();
}

void TFrmDebug::Timer1Timer()
{
    Timer1->stop();
    Redraw();
}

void TFrmDebug::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    FormResize();
}

// The surface fills the client area below the tool bar, left of the scroll bar; it stays black
// until the next redraw request.
void TFrmDebug::FormResize()
{
    const int barWidth = ScrollBar1->sizeHint().width();
    const int surfaceHeight = std::max(0, height() - ToolBarHeight);
    ToolBar1->setGeometry(0, 0, width(), ToolBarHeight);
    ScrollBar1->setGeometry(width() - barWidth, ToolBarHeight, barWidth, surfaceHeight);
    Image1->setGeometry(0, ToolBarHeight, std::max(0, width() - barWidth), surfaceHeight);
    Image1->Picture = QImage(Image1->size(), QImage::Format_RGB32);
    Image1->Picture.fill(Qt::black);
    m_visibleRows = (Image1->height() - RowHeight) / RowHeight;
    Image1->update();
}

TFrmDebug* CreateDebugWindow(QWidget* owner)
{
    if (!g_debugWindow) {
        // Widgets must go before the application object: the window is destroyed with it at the latest.
        static const bool cleanupAdded = (qAddPostRoutine(DestroyDebugWindow), true);
        Q_UNUSED(cleanupAdded);
        g_debugWindow = std::make_unique<TFrmDebug>(owner, QStringLiteral("Config.ini"));
        g_debugWindow->show();
    }
    return g_debugWindow.get();
}

void DestroyDebugWindow()
{
    g_debugWindow.reset();
}
