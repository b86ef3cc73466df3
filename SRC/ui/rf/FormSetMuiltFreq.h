#pragma once
#include "coord/PlanShow.h"
#include "coord/ShowInputs.h"
#include "data/Coordination.h"
#include "ui/rf/IdleFreqBase.h"

#include <map>
#include <utility>

class DeviceList;
class QSpinBox;
class QTreeWidgetItem;

// The idle channels of several scanned systems: for the device chosen in lbDevList, the channels
// of its band that no scan found busy, and Set for one of them. The window stays open for the
// next device. Beyond the plain rule it can keep channels clear of the carriers of the other
// listed devices (spacing and third-order intermodulation), and propose and set a frequency for
// every listed device at once (Assign all).
class TFrmSetMuiltFreq : public TIdleFreqBase
{
    Q_OBJECT
public:
    // The columns of lbDevList: the source rows' cells, then the proposal of Assign all.
    enum Column { ColID, ColChannel, ColName, ColIP, ColProposedChannel, ColProposedFreq, ColResult, ColumnCount };

    // scans: the points of the complete scans; source: the compatibility window's device list,
    // whose checked rows are listed here; devices: the records they name. Scans and records are
    // read while the window is open.
    TFrmSetMuiltFreq(
        QWidget* owner, bool& done, std::vector<ScanView> scans, const QTreeWidget& source, const DeviceList& devices);
    ~TFrmSetMuiltFreq() override;

    void lbDevListClick(QTreeWidgetItem* row);
    void btSetClick();
    void btAssignAllClick();
    void btAnalyzeClick();
    void btCoordInputsClick(); // the show's coordination inputs
    void OnSetReply(int rxid, int devIdx, int command) override;

    const TTMICListObj* Target() const { return m_target; }
    coordination::Rule Rule() const;
    bool Assigning() const { return m_step >= 0; }

    QTreeWidget* lbDevList = nullptr;
    QLabel* lbIntermod = nullptr;
    QComboBox* cbIntermod = nullptr;
    QLabel* lbSpacing = nullptr;
    QSpinBox* edSpacing = nullptr;
    QLabel* lbGuard = nullptr;
    QSpinBox* edGuard = nullptr;
    QLabel* lbBudget = nullptr;
    QSpinBox* edBudget = nullptr;
    QLabel* lbHidden = nullptr;
    QLabel* lbPlan = nullptr;
    QPushButton* btAssignAll = nullptr;
    QPushButton* btAnalyze = nullptr;
    QPushButton* btCoordInputs = nullptr;

protected:
    void cbMaxRFClick() override;
    void Timer1Timer() override;
    void OnAssignmentConfirmed() override;

private:
    struct Step {
        const TTMICListObj* device;
        QTreeWidgetItem* row;
        int channel;
        double freq;
    };
    using Pair = std::pair<int, int>;

    void CreateControls();
    void CopyCheckedRows(const QTreeWidget& source);
    const TTMICListObj* DeviceOf(const QTreeWidgetItem& row) const;
    void BuildFor(const TTMICListObj& device);
    std::vector<IdleChannel> IdleOf(const TTMICListObj& device) const;
    // The carriers on air beside this device: what this window assigned, else the current ones.
    std::vector<int> OtherCarriers(const TTMICListObj& device) const;
    void ShowHidden(int tooClose, int onProducts);
    void RuleChanged();
    coordination::ShowPlan Search(const coordination::CoordinationFile& file);
    void ShowPlanQuality(const coordination::CoordinationFile& file, const coordination::ShowPlan& shown);
    void ShowProposal(const coordination::CoordinationFile& file, const coordination::Plan& plan,
        const std::vector<coordination::WindowDevice>& devices, const std::vector<QTreeWidgetItem*>& rows);
    void SetNextDevice();
    void FinishStep(bool confirmed);
    void ReportAssignment();
    void EnableChoosing(bool on);

    const std::vector<ScanView> m_scans;
    const DeviceList& m_devices;
    const TTMICListObj* m_target = nullptr;
    int m_pendingChannel = -1;
    bool m_ackAwaited = false; // an acknowledgement confirms the Set it answers, once
    std::map<Pair, double> m_assigned;
    std::vector<Step> m_steps;
    std::vector<bool> m_confirmed;
    QString m_unplacedText; // the devices Assign all could not place, for its report
    int m_step = -1; // the Assign all step awaiting its reply; -1 when none runs
};

// The open window, or nullptr.
extern TFrmSetMuiltFreq* FrmSetMuiltFreq;
