#pragma once
// Pieces the small modal windows share: named controls, the fields-over-buttons arrangement and
// centring on the opener.
#include <QString>
#include <initializer_list>

class QDialog;
class QLabel;
class QLayout;
class QPushButton;
class QWidget;

// The control with its design name as object name, so that tests and style sheets find it.
template <typename Widget> Widget* Named(Widget* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

// The start every small window shares: its name, the font of the settings, its caption, modal.
void PrepareModalWindow(QDialog& window, const char* name, const QString& caption);

QLabel* NewLabel(QWidget* parent, const char* name, const QString& caption);
// A push button that Enter in a field does not press.
QPushButton* NewButton(QWidget* parent, const char* name, const QString& caption);

// fields above a row of buttons aligned to the right, with the margins of every small window.
void ArrangeFieldsAndButtons(QWidget& window, QLayout* fields, std::initializer_list<QWidget*> buttons);

// Places window with its centre on the centre of owner.
void CentreOn(QWidget& window, const QWidget& owner);
