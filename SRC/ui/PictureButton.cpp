#include "PictureButton.h"

#include "Pictures.h"

#include <QPainter>

TPictureButton::TPictureButton(const QString& picturePath, QWidget* parent)
    : QAbstractButton(parent), m_picture(LoadPicture(picturePath))
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

QSize TPictureButton::sizeHint() const
{
    return m_picture.isNull() ? QSize(24, 24) : m_picture.size();
}

void TPictureButton::paintEvent(QPaintEvent*)
{
    QImage face(size(), QImage::Format_ARGB32_Premultiplied);
    face.fill(Qt::transparent);
    {
        QPainter painter(&face);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        if (m_picture.isNull()) {
            // Without its picture the button still shows where it is.
            painter.fillRect(face.rect(), palette().button());
            painter.setPen(palette().color(QPalette::Mid));
            painter.drawRect(face.rect().adjusted(0, 0, -1, -1));
        } else {
            painter.drawImage(face.rect(), m_picture);
        }
        if (isDown() || m_hovered) {
            painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
            painter.fillRect(face.rect(), isDown() ? QColor(0, 0, 0, 60) : QColor(255, 255, 255, 45));
        }
    }
    QPainter painter(this);
    painter.drawImage(0, 0, face);
    if (!text().isEmpty()) {
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        painter.drawText(rect().translated(isDown() ? QPoint(1, 1) : QPoint()), Qt::AlignCenter, text());
    }
}

void TPictureButton::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void TPictureButton::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}
