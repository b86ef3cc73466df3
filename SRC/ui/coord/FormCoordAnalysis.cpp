#include "ui/coord/FormCoordAnalysis.h"

#include "lang/Language.h"
#include "ui/DialogParts.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

TFrmCoordAnalysis::TFrmCoordAnalysis(QWidget* owner, const QStringList& lines)
    : QDialog(owner)
{
    PrepareModalWindow(*this, "FrmCoordAnalysis", LanguageText("在用频率分析", "Analysis of the frequencies on air"));
    meFindings = Named(new QPlainTextEdit(lines.join(QLatin1Char('\n')), this), "meFindings");
    meFindings->setReadOnly(true);
    meFindings->setLineWrapMode(QPlainTextEdit::NoWrap);
    btCopy = NewButton(this, "btCopy", LanguageText("复制", "Copy"));
    btClose = NewButton(this, "btClose", LanguageText("关闭", "Close"));
    connect(btCopy, &QPushButton::clicked, this, &TFrmCoordAnalysis::btCopyClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::accept);
    auto* fields = new QVBoxLayout;
    fields->addWidget(meFindings);
    ArrangeFieldsAndButtons(*this, fields, { btCopy, btClose });
    resize(640, 420);
}

void TFrmCoordAnalysis::btCopyClick()
{
    QGuiApplication::clipboard()->setText(meFindings->toPlainText());
}
