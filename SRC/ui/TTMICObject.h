#pragma once
#include <QFrame>
#include <QImage>
#include <QPointer>

class DeviceList;
class QLabel;
class QProgressBar;
class QPushButton;
class TPictureButton;
class TWidgetMover;

// The live tile of one managed channel in the main window's tile area: title, band, channel,
// frequency, RF levels of antennas A and B, audio level, active antenna and battery. It changes
// no record and sends nothing: its close and Sync Tx requests are posted to the main window.
class TTMICObject : public QFrame {
    Q_OBJECT
public:
    static constexpr int TileWidth = 135;
    static constexpr int TileHeight = 152;
    static constexpr int CellWidth = 140;
    static constexpr int CellHeight = 157;
    static constexpr int AreaMargin = 5;

    TTMICObject(QObject* mainWnd, const DeviceList& devices, int rxid, int devIdx, const QString& name,
        QWidget* parent = nullptr);

    int RXID() const { return m_rxid; }
    int DevIdx() const { return m_devIdx; }
    int Slot() const { return m_slot; }
    void SetSlot(int slot) { m_slot = slot; }

    void SetTitle(const QString& name);
    void SetBand(const QString& band);
    void SetChannel(int channel);
    void SetFreq(double mhz);
    // Each level 0..100 moves its bar; any other leaves that bar as it is.
    void SetRFLevels(int a, int b);
    void SetVoiceLevel(int level);
    // Symbol 0 (no battery state) to 3 (full); any other leaves the picture as it is.
    void SetBattery(int symbol);
    // 1: antenna A active, 2: antenna B, anything else: neither.
    void SetActiveAntenna(int code);
    void ApplyTileTexts();

    // The operator's watch. Lost: grey title bar, levels and battery, and the "lost m:ss" mark,
    // which SetLostSeconds keeps up to date. Low battery: the battery symbol flashes, framed in
    // red, with each FlashBattery phase. RF loss: the RF level bars framed in red.
    void SetLost(bool lost);
    void SetLostSeconds(int seconds);
    void SetLowBattery(bool low);
    void FlashBattery(bool on);
    void SetRfLoss(bool loss);
    bool IsLost() const { return m_lost; }
    bool IsLowBattery() const { return m_lowBattery; }
    bool IsRfLoss() const { return m_rfLoss; }

    int RFLevelA() const;
    int RFLevelB() const;
    int VoiceLevelValue() const;
    int BatterySymbol() const { return m_batterySymbol; }

    // Columns of the tile grid in an area of this width; at least one, so that an area
    // narrower than one cell still places its tiles.
    static int ColumnsFor(int areaWidth);
    // Top left corner of the cell for this position number.
    static QPoint CellPosition(int slot, int columns);

    void btCloseClick();
    void btSetClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    QLabel* AddLabel(const char* name, const QString& text, const QRect& geometry);
    QProgressBar* AddLevelBar(const char* name, const QRect& geometry, const QColor& colour);
    void SetAntennaColour(QLabel* label, bool active);
    static void SetLabelText(QLabel* label, const QString& text, bool fitToText);
    static void SetBarLevel(QProgressBar* bar, int level);
    void BuildWatchMarks();
    QFrame* AddMark(const char* name, const QRect& geometry, const QColor& colour);
    void ShowTitle();
    void ShowLostMark();
    void ShowBatteryPicture();
    void ShowRfLossFrame();
    void PostToMainWindow(int request);
    void lbTitleMouseDown();

    QPointer<QObject> MainWnd;
    const DeviceList& m_devices;
    int m_rxid;
    int m_devIdx;
    int m_slot = 0;
    int m_batterySymbol = -1;
    int m_antennaCode = -1;

    QLabel* Image2 = nullptr;
    QLabel* lbTitle = nullptr;
    TPictureButton* btClose = nullptr;
    QLabel* lbChannelA = nullptr;
    QLabel* lbChannelB = nullptr;
    QPushButton* btSet = nullptr;
    QProgressBar* ASignLevel = nullptr;
    QProgressBar* BSignLevel = nullptr;
    QLabel* lbBand = nullptr;
    QLabel* lbCH = nullptr;
    QLabel* lbFreq = nullptr;
    QProgressBar* VoiceLevel = nullptr;
    QLabel* Image1 = nullptr;
    QImage m_background;
    QImage m_batteryImage; // what Image1 shows
    QString m_title;       // the whole title; lbTitle shows it elided at the right
    QImage m_lostBackground;
    QLabel* lbLost = nullptr;
    QFrame* RfLossFrame = nullptr;
    QFrame* BatteryFlash = nullptr;
    bool m_lost = false;
    int m_lostSeconds = 0;
    bool m_lowBattery = false;
    bool m_rfLoss = false;
    TWidgetMover* m_mover = nullptr;
};
