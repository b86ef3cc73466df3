#pragma once
// The analysis of the frequencies on air, as text the operator can read, select and copy.
#include <QDialog>
#include <QStringList>

class QPlainTextEdit;
class QPushButton;

class TFrmCoordAnalysis : public QDialog
{
    Q_OBJECT
public:
    TFrmCoordAnalysis(QWidget* owner, const QStringList& lines);

    void btCopyClick();

    QPlainTextEdit* meFindings = nullptr;
    QPushButton* btCopy = nullptr;
    QPushButton* btClose = nullptr;
};
