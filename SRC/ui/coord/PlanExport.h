#pragma once
// The main window's first menu: "Export Plan…" writes the show's last plan in the chosen form,
// "Export Plan Report…" its printable report (ui/coord/PlanReport.h).
#include "interchange/PlanExports.h"

#include <QDialog>

class QComboBox;
class QLabel;
class QMenu;
class QPushButton;

class TFrmPlanExport : public QDialog
{
    Q_OBJECT
public:
    explicit TFrmPlanExport(QWidget* owner);

    // Writes the chosen form of the show (asking where); stays open when nothing was written.
    void btExportClick();
    interchange::PlanForm ChosenForm() const;

    QLabel* lbPlanState = nullptr; // what the show holds: its name, the plan's size
    QComboBox* cbPlanForm = nullptr;
    QPushButton* btExport = nullptr;
    QPushButton* btCancel = nullptr;
};

// Adds "Export Plan…" (mnExportPlan) and "Export Plan Report…" (mnExportPlanReport) to menu; each
// opens its window over owner.
void AddPlanExportActions(QMenu& menu, QWidget* owner);

// What the show holds, in a line: "Spring gala: 5 of 6 devices placed, 2 backups" or that there is
// no plan yet.
QString PlanStateText();
