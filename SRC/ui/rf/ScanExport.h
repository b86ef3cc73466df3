#pragma once
// The choice of form beside a scan window's Export CSV, and the export in that form.
#include "interchange/ScanFiles.h"

#include <QString>
#include <span>

class QComboBox;
class QWidget;

// "cbScanForm": the receiver's scale (the first item, as earlier versions wrote), MHz/dBm CSV,
// WSM CSV.
QComboBox* NewScanFormChoice(QWidget* owner);
interchange::ScanForm ChosenScanForm(const QComboBox& choice);

// Asks where to save "<baseName>.csv" (the dBm forms add "_dbm" or "_wsm") and writes the points
// there in the chosen form, in dBm with the offset of Config.ini. False when nothing was written.
bool ExportScanPoints(QWidget* owner, const QComboBox& choice, const QString& baseName, const QString& receiver,
    std::span<const interchange::LevelPoint> points);
