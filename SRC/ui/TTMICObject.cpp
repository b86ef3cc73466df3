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
const QColor LostBarColour(165, 165, 165);
const QColor LostMarkColour(80, 80, 80);
const QColor AlertColour(220, 0, 0);
const QRect LostMarkRect(42, 104, 66, 18);
const QRect RfLossRect(5, 42, 37, 87);        // around ASignLevel and BSignLevel
const QRect BatteryFlashRect(45, 121, 50, 26); // around Image1
constexpr int TitleRightMargin = 133 - 104;    // the close button covers the title's right end
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

QImage Greyed(const QImage& image)
{
    return image.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
}

void SetBarColour(QProgressBar* bar, const QColor& colour)
{
    QPalette colours = bar->palette();
    colours.setColor(QPalette::Highlight, colour);
    bar->setPalette(colours);
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
    lbTitle->setContentsMargins(0, 0, TitleRightMargin, 0);
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
        // An unset background role is inherited from the parent: inside the tile area (Base,
        // white) the labels would fill with white whatever colour they are given.
        antenna->setBackgroundRole(QPalette::Window);
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
    BuildWatchMarks();
}

QFrame* TTMICObject::AddMark(const char* name, const QRect& geometry, const QColor& colour)
{
    auto* mark = new QFrame(this);
    mark->setObjectName(QLatin1String(name));
    mark->setGeometry(geometry);
    QPalette colours = mark->palette();
    colours.setColor(QPalette::Window, colour);
    mark->setPalette(colours);
    mark->setBackgroundRole(QPalette::Window);
    mark->setAutoFillBackground(true);
    mark->hide();
    return mark;
}

// The alert frames lie under what they frame; the lost mark above everything.
void TTMICObject::BuildWatchMarks()
{
    m_lostBackground = Greyed(m_background);
    RfLossFrame = AddMark("RfLossFrame", RfLossRect, AlertColour);
    RfLossFrame->stackUnder(ASignLevel);
    BatteryFlash = AddMark("BatteryFlash", BatteryFlashRect, AlertColour);
    BatteryFlash->stackUnder(Image1);
    lbLost = AddLabel("lbLost", QString(), LostMarkRect);
    lbLost->setAlignment(Qt::AlignCenter);
    QPalette colours = lbLost->palette();
    colours.setColor(QPalette::Window, LostMarkColour);
    colours.setColor(QPalette::WindowText, Qt::white);
    lbLost->setPalette(colours);
    lbLost->setBackgroundRole(QPalette::Window);
    lbLost->setAutoFillBackground(true);
    lbLost->hide();
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
    m_title = QStringLiteral("%1-%2: %3").arg(QString::number(m_rxid), QString::number(m_devIdx), name);
    ShowTitle();
}

// A title too long for the bar loses its end, never its "RXID-DevIdx" beginning.
void TTMICObject::ShowTitle()
{
    const int room = lbTitle->width() - TitleRightMargin;
    lbTitle->setText(lbTitle->fontMetrics().elidedText(m_title, Qt::ElideRight, room));
    lbTitle->setToolTip(m_title);
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
    m_batterySymbol = symbol;
    ShowBatteryPicture();
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
    lbLost->setFont(bold);
    ShowTitle();
    ShowLostMark();
}

void TTMICObject::SetLost(bool lost)
{
    if (lost == m_lost)
        return;
    m_lost = lost;
    m_lostSeconds = 0;
    Image2->setPixmap(QPixmap::fromImage(lost ? m_lostBackground : m_background));
    SetBarColour(ASignLevel, lost ? LostBarColour : RFBarColour);
    SetBarColour(BSignLevel, lost ? LostBarColour : RFBarColour);
    SetBarColour(VoiceLevel, lost ? LostBarColour : VoiceBarColour);
    ShowBatteryPicture();
    ShowLostMark();
    lbLost->setVisible(lost);
    // A lost channel tells nothing of its RF or its battery: its alerts wait for its return.
    ShowRfLossFrame();
    FlashBattery(true);
}

void TTMICObject::SetLostSeconds(int seconds)
{
    if (seconds == m_lostSeconds)
        return;
    m_lostSeconds = seconds;
    ShowLostMark();
}

void TTMICObject::ShowLostMark()
{
    const QString time = QString::asprintf("%d:%02d", m_lostSeconds / 60, m_lostSeconds % 60);
    lbLost->setText(LanguageText("丢失 ", "lost ") + time);
}

void TTMICObject::ShowBatteryPicture()
{
    Image1->setPixmap(QPixmap::fromImage(m_lost ? Greyed(m_batteryImage) : m_batteryImage));
}

void TTMICObject::SetLowBattery(bool low)
{
    m_lowBattery = low;
    if (!low)
        FlashBattery(true);
}

// On: the symbol in a red frame; off: neither, the tile's background shows through.
void TTMICObject::FlashBattery(bool on)
{
    const bool flashing = m_lowBattery && !m_lost;
    BatteryFlash->setVisible(flashing && on);
    Image1->setVisible(!flashing || on);
}

void TTMICObject::SetRfLoss(bool loss)
{
    m_rfLoss = loss;
    ShowRfLossFrame();
}

// The frame hugs the bars so closely that it reaches under the band text beside them: the text's
// box is cut out of it, so the red never runs through the letters.
void TTMICObject::ShowRfLossFrame()
{
    const QRegion frame(QRect(QPoint(0, 0), RfLossFrame->size()));
    RfLossFrame->setMask(frame.subtracted(lbBand->geometry().translated(-RfLossFrame->pos())));
    RfLossFrame->setVisible(m_rfLoss && !m_lost);
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
