#pragma once
// The coordination inputs of the current show: its name and people, each device's profile, lock
// and inclusion list, exclusions, the TV channels on air, foreign carriers and inclusion lists.
// Every accepted entry goes straight into the show (marked modified); an entry that fails its
// check is named in lbProblem and nothing is stored.
#include "interchange/FrequencyLists.h"

#include <QDialog>
#include <optional>

class DeviceList;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QTableWidgetItem;
class QTreeWidget;
class QTreeWidgetItem;

class TFrmCoordInputs : public QDialog
{
    Q_OBJECT
public:
    enum DeviceColumn { ColDevice, ColName, ColBand, ColCurrent, ColProfile, ColLocked, ColInclusion, DeviceColumns };

    // devices: the managed records; each joins the show when it is not in it yet.
    TFrmCoordInputs(QWidget* owner, const DeviceList& devices);

    void btAddExclusionClick();
    void btRemoveExclusionClick();
    void btAddForeignClick();
    void btRemoveForeignClick();
    void btImportForeignClick();
    void btAddInclusionClick();
    void btRemoveInclusionClick();
    void btImportInclusionClick();
    void cbTvRegionChange();
    void btAddProfileClick();
    void btRemoveProfileClick();

    QTabWidget* pcInputs = nullptr;
    QLineEdit* edShowName = nullptr;
    QLineEdit* edVenue = nullptr;
    QLineEdit* edCoordinator = nullptr;
    QPlainTextEdit* edNotes = nullptr;
    QTableWidget* lvDevices = nullptr;
    QTableWidget* lvExclusions = nullptr;
    QLineEdit* edExclusionFrom = nullptr;
    QLineEdit* edExclusionTo = nullptr;
    QLineEdit* edExclusionNote = nullptr;
    QPushButton* btAddExclusion = nullptr;
    QPushButton* btRemoveExclusion = nullptr;
    QComboBox* cbTvRegion = nullptr;
    QTreeWidget* lvTvChannels = nullptr;
    QTableWidget* lvForeign = nullptr;
    QLineEdit* edForeignMHz = nullptr;
    QLineEdit* edForeignLabel = nullptr;
    QComboBox* cbForeignProfile = nullptr;
    QPushButton* btAddForeign = nullptr;
    QPushButton* btRemoveForeign = nullptr;
    QPushButton* btImportForeign = nullptr;
    QTableWidget* lvInclusions = nullptr;
    QLineEdit* edInclusionName = nullptr;
    QLineEdit* edInclusionMHz = nullptr;
    QPushButton* btAddInclusion = nullptr;
    QPushButton* btRemoveInclusion = nullptr;
    QPushButton* btImportInclusion = nullptr;
    QTableWidget* lvProfiles = nullptr;
    QLineEdit* edProfileName = nullptr;
    QLineEdit* edProfileSpacing = nullptr;
    QLineEdit* edProfileThirdTwo = nullptr;
    QLineEdit* edProfileThirdThree = nullptr;
    QLineEdit* edProfileFifth = nullptr;
    QPushButton* btAddProfile = nullptr;
    QPushButton* btRemoveProfile = nullptr;
    QLabel* lbProblem = nullptr;
    QPushButton* btClose = nullptr;

private:
    QWidget* CreateShowPage();
    QWidget* CreateDevicesPage();
    QWidget* CreateExclusionsPage();
    QWidget* CreateTvPage();
    QWidget* CreateForeignPage();
    QWidget* CreateInclusionsPage();
    QWidget* CreateProfilesPage();
    void FillDevices();
    void FillExclusions();
    void FillTvChannels();
    void FillForeign();
    void FillInclusions();
    void FillOwnProfiles();
    void FillProfiles(QComboBox& box, const QString& chosen) const;
    QPushButton* NewImportButton(const char* name);
    void ShowDetailsChanged();
    void DeviceProfileChosen(int row, const QString& profile);
    void DeviceInclusionChosen(int row, const QString& list);
    void DeviceLockTicked(QTableWidgetItem& tick);
    void TvChannelTicked();
    // The number in an edit; nullopt with the reason shown when it is none.
    std::optional<double> NumberIn(const QLineEdit& edit, const QString& what);
    // Asks for a frequency list file and reads it whole; nullopt when the operator cancels or the
    // file is refused (its reason shown). *name: the file's name without its extension.
    std::optional<interchange::FrequencyListReading> ChosenList(QString* name);
    // Shows why an entry was refused; true (and the message cleared) when there is no problem.
    bool Accepted(const QString& problem);

    const DeviceList& m_devices;
    bool m_filling = false; // the tables are being filled, not edited
};
