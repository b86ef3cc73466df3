#include "ui/DialogParts.h"

#include "ui/PublicFont.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

void PrepareModalWindow(QDialog& window, const char* name, const QString& caption)
{
    window.setObjectName(QString::fromLatin1(name));
    window.setFont(PublicWindowFont());
    window.setWindowTitle(caption);
    window.setModal(true);
}

QLabel* NewLabel(QWidget* parent, const char* name, const QString& caption)
{
    return Named(new QLabel(caption, parent), name);
}

QPushButton* NewButton(QWidget* parent, const char* name, const QString& caption)
{
    auto* button = Named(new QPushButton(caption, parent), name);
    button->setAutoDefault(false);
    return button;
}

void ArrangeFieldsAndButtons(QWidget& window, QLayout* fields, std::initializer_list<QWidget*> buttons)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    for (QWidget* button : buttons)
        row->addWidget(button);

    auto* column = new QVBoxLayout(&window);
    column->setContentsMargins(16, 16, 16, 12);
    column->setSpacing(14);
    column->addLayout(fields);
    column->addLayout(row);
}

void CentreOn(QWidget& window, const QWidget& owner)
{
    QRect frame(QPoint(), window.size());
    frame.moveCenter(owner.frameGeometry().center());
    window.move(frame.topLeft());
}
