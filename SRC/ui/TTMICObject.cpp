#include "TTMICObject.h"

#include "FormMessage.h"
#include "PictureButton.h"
#include "Pictures.h"
#include "PublicFont.h"
#include "WidgetMover.h"
#include "data/Device.h"
#include "lang/Language.h"
#include "protocol/Messages.h"

#include <QCoreApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <array>

namespace {

const QColor AntennaIdle(0, 255, 255);   // aqua
const QColor AntennaActive(0, 255, 0);   // lime
const QColor RFBarColour(34, 160, 70);
const QColor VoiceBarColour(230, 140, 20);
const QRect BatteryRect(48, 124, 44, 20);
constexpr int BandFontPixels = 16, ChannelFontPixels = 16, FreqFontPixels = 12;

// ImageList1: the battery symbols 0 (no battery state) to 3 (full).
const std::array<QImage, 4>& BatterySymbols()
{
    static const std::array<QImage, 4> symbols = {
        LoadPicture(QStringLiteral(":/battery_0.png")),
        LoadPicture(QStringLiteral(":/battery_1.png")),
        LoadPicture(QStringLiteral(":/battery_2.png")),
        LoadPicture(QStringLiteral(":/battery_3.png")),
    };
    return symbols;
}

bool InRange(int level)
{
    return level >= 0 && level <= 100;
}

} // namespace

TTMICObject::TTMICObject(QObject* mainWnd, const DeviceList& devices, int rxid, int devIdx, const QString& name,
    QWidget* parent)
    : QFrame(parent), MainWnd(mainWnd), m_devices(devices), m_rxid(rxid), m_devIdx(devIdx)
{
    setFrameShape(QFrame::NoFrame);
    setFixedSize(TileWidth, TileHeight);
    BuildControls();
    SetBattery(0);
    SetActiveAntenna(0);
    SetTitle(name);
    ApplyTileTexts();
}

QLabel* TTMICObject::AddLabel(const char* name, const QString& text, const QRect& geometry)
{
    auto* label = new QLabel(text, this);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    if (geometry.size().isEmpty()) {
        label->move(geometry.topLeft());
        label->adjustSize();
    } else {
        label->setGeometry(geometry);
    }
    return label;
}

QProgressBar* TTMICObject::AddLevelBar(const char* name, const QRect& geometry, const QColor& colour)
{
    auto* bar = new QProgressBar(this);
    bar->setObjectName(QLatin1String(name));
    bar->setOrientation(Qt::Vertical);
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    bar->setGeometry(geometry);
    QPalette colours = bar->palette();
    colours.setColor(QPalette::Highlight, colour);
    colours.setColor(QPalette::Base, QColor(245, 248, 252));
    bar->setPalette(colours);
    return bar;
}

void TTMICObject::BuildControls()
{
    m_background = LoadPicture(QStringLiteral(":/tile_background.png"));
    Image2 = new QLabel(this);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(0, 0, TileWidth, TileHeight);
    Image2->setPixmap(QPixmap::fromImage(m_background));

    lbTitle = AddLabel("lbTitle", QString(), QRect(0, 2, 133, 19));
    lbTitle->setAlignment(Qt::AlignCenter);
    // The close button covers the title's right end: centre the text in the room left of it.
    lbTitle->setContentsMargins(0, 0, 133 - 104, 0);
    QPalette titleColours = lbTitle->palette();
    titleColours.setColor(QPalette::WindowText, Qt::white);
    lbTitle->setPalette(titleColours);
    lbTitle->installEventFilter(this);
    m_mover = new TWidgetMover(this);
    m_mover->AddHandle(lbTitle);

    btClose = new TPictureButton(QStringLiteral(":/tile_close.png"), this);
    btClose->setObjectName(QStringLiteral("btClose"));
    btClose->setGeometry(104, 2, 21, 18);
    connect(btClose, &TPictureButton::clicked, this, &TTMICObject::btCloseClick);

    lbChannelA = AddLabel("lbChannelA", QStringLiteral("A"), QRect(8, 27, 14, 16));
    lbChannelB = AddLabel("lbChannelB", QStringLiteral("B"), QRect(24, 27, 14, 16));
    for (QLabel* antenna : { lbChannelA, lbChannelB }) {
        antenna->setAlignment(Qt::AlignCenter);
        antenna->setAutoFillBackground(true);
    }

    btSet = new QPushButton(this);
    btSet->setObjectName(QStringLiteral("btSet"));
    btSet->setGeometry(43, 25, 58, 20);
    btSet->setFocusPolicy(Qt::NoFocus);
    connect(btSet, &QPushButton::clicked, this, &TTMICObject::btSetClick);

    ASignLevel = AddLevelBar("ASignLevel", QRect(8, 45, 13, 81), RFBarColour);
    BSignLevel = AddLevelBar("BSignLevel", QRect(26, 45, 13, 81), RFBarColour);
    lbBand = AddLabel("lbBand", QStringLiteral("Band ER"), QRect(39, 46, 0, 0));
    lbCH = AddLabel("lbCH", QStringLiteral("CH  --"), QRect(46, 66, 0, 0));
    lbFreq = AddLabel("lbFreq", QStringLiteral("618.000M"), QRect(45, 87, 0, 0));
    VoiceLevel = AddLevelBar("VoiceLevel", QRect(110, 41, 13, 81), VoiceBarColour);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(BatteryRect);
    m_batteryImage = QImage(BatteryRect.size(), QImage::Format_RGB32);
}

// Every status reply sets every value: only a value that changed may cost a layout and a repaint.
void TTMICObject::SetLabelText(QLabel* label, const QString& text, bool fitToText)
{
    if (label->text() == text)
        return;
    label->setText(text);
    if (fitToText)
        label->adjustSize();
}

void TTMICObject::SetTitle(const QString& name)
{
    SetLabelText(lbTitle, QStringLiteral("%1-%2: %3").arg(QString::number(m_rxid), QString::number(m_devIdx), name),
        false);
}

void TTMICObject::SetBand(const QString& band)
{
    SetLabelText(lbBand, QStringLiteral("Band ") + band, true);
}

void TTMICObject::SetChannel(int channel)
{
    SetLabelText(lbCH, QString::asprintf("CH  %3d", channel), true);
}

void TTMICObject::SetFreq(double mhz)
{
    SetLabelText(lbFreq, QString::asprintf("%.3fM", mhz), true);
}

// QProgressBar::setValue repaints at once, which a stream of replies turns into one paint per
// reply and bar: the change waits for the window's next paint cycle instead.
void TTMICObject::SetBarLevel(QProgressBar* bar, int level)
{
    if (!InRange(level) || bar->value() == level)
        return;
    bar->setUpdatesEnabled(false);
    bar->setValue(level);
    bar->setUpdatesEnabled(true); // schedules the repaint
}

void TTMICObject::SetRFLevels(int a, int b)
{
    SetBarLevel(ASignLevel, a);
    SetBarLevel(BSignLevel, b);
}

void TTMICObject::SetVoiceLevel(int level)
{
    SetBarLevel(VoiceLevel, level);
}

void TTMICObject::SetBattery(int symbol)
{
    if (symbol < 0 || symbol >= static_cast<int>(BatterySymbols().size()) || symbol == m_batterySymbol)
        return;
    // Clear to what lies under the picture, then draw the symbol at the top left.
    m_batteryImage.fill(QColor(222, 236, 251));
    QPainter painter(&m_batteryImage);
    if (!m_background.isNull())
        painter.drawImage(QPoint(0, 0), m_background, BatteryRect);
    painter.drawImage(QPoint(0, 0), BatterySymbols()[static_cast<size_t>(symbol)]);
    painter.end();
    Image1->setPixmap(QPixmap::fromImage(m_batteryImage));
    m_batterySymbol = symbol;
}

void TTMICObject::SetAntennaColour(QLabel* label, bool active)
{
    QPalette colours = label->palette();
    colours.setColor(QPalette::Window, active ? AntennaActive : AntennaIdle);
    colours.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(colours);
}

void TTMICObject::SetActiveAntenna(int code)
{
    if (code == m_antennaCode)
        return;
    m_antennaCode = code;
    SetAntennaColour(lbChannelA, code == 1);
    SetAntennaColour(lbChannelB, code == 2);
}

void TTMICObject::ApplyTileTexts()
{
    setFont(PublicWindowFont());
    btSet->setText(BuiltinText(47));
    QFont bold;
    bold.setBold(true);
    lbChannelA->setFont(bold);
    lbChannelB->setFont(bold);
    lbBand->setFont(PublicFixedFont(BandFontPixels, true));
    lbCH->setFont(PublicFixedFont(ChannelFontPixels, true));
    lbFreq->setFont(PublicFixedFont(FreqFontPixels, true));
    for (QLabel* label : { lbBand, lbCH, lbFreq })
        label->adjustSize();
}

int TTMICObject::RFLevelA() const
{
    return ASignLevel->value();
}

int TTMICObject::RFLevelB() const
{
    return BSignLevel->value();
}

int TTMICObject::VoiceLevelValue() const
{
    return VoiceLevel->value();
}

int TTMICObject::ColumnsFor(int areaWidth)
{
    return qMax(1, (areaWidth - AreaMargin) / CellWidth);
}

QPoint TTMICObject::CellPosition(int slot, int columns)
{
    columns = qMax(1, columns);
    return { (slot % columns) * CellWidth + AreaMargin, (slot / columns) * CellHeight + AreaMargin };
}

void TTMICObject::PostToMainWindow(int request)
{
    if (MainWnd)
        QCoreApplication::postEvent(MainWnd, new MessageEvent(MSG_NOTIFY, static_cast<quintptr>(request),
                                                  PackChannel(m_rxid, m_devIdx)));
}

void TTMICObject::btCloseClick()
{
    PostToMainWindow(1);
}

// Sync Tx goes through the receiver: its first record decides, whichever channel it is.
void TTMICObject::btSetClick()
{
    const TTMICListObj* first = nullptr;
    for (const auto& record : m_devices) {
        if (record->RXID == m_rxid) {
            first = record.get();
            break;
        }
    }
    if (first && first->Connected)
        PostToMainWindow(2);
    else
        ShowMessageBox(window(), BuiltinText(46), QStringLiteral("提示"), 0, -1);
}

void TTMICObject::lbTitleMouseDown()
{
    update();
}

bool TTMICObject::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lbTitle && event->type() == QEvent::MouseButtonPress)
        lbTitleMouseDown();
    return QFrame::eventFilter(watched, event);
}
