#pragma once
#include <QAbstractButton>
#include <QImage>

// A flat button drawn from one picture, stretched to the button, with its caption centred on
// it; hovering lightens and pressing darkens the picture where it is opaque. It takes no
// keyboard focus: the windows that use it handle their keys themselves.
class TPictureButton : public QAbstractButton {
    Q_OBJECT
public:
    TPictureButton(const QString& picturePath, QWidget* parent);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QImage m_picture;
    bool m_hovered = false;
};
