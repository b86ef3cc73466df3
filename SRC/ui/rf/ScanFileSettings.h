#pragma once
// The settings window's coordination group for scan files: the calibration offset of our dBm
// exports and the level above which an imported scan marks a channel busy ([Coordination] in
// Config.ini).
#include <QGroupBox>

class IniFile;
class QDoubleSpinBox;

class ScanFileSettingsBox : public QGroupBox
{
    Q_OBJECT

public:
    // Shows the values of the Config.ini at configPath.
    ScanFileSettingsBox(QWidget* parent, const QString& configPath);
    // Puts both keys into the file the settings window stores at once.
    void Write(IniFile& file) const;

    QDoubleSpinBox* seScanDbmOffset = nullptr;
    QDoubleSpinBox* seImportThresholdDbm = nullptr;
};
