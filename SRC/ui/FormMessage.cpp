#include "FormMessage.h"

#include "PictureButton.h"
#include "Pictures.h"
#include "PublicFont.h"
#include "WidgetMover.h"
#include "lang/Language.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>
#include <QWindow>

namespace {

constexpr QSize InitialSize(594, 328);
constexpr int TitleBandHeight = 52;
constexpr int CornerPieceWidth = 40;
constexpr int CornerEllipse = 38;
constexpr QSize ButtonSize(123, 51);
constexpr int ButtonBottomOffset = 80;      // window height minus the buttons' top edge
constexpr int CancelRightOffset = 143;      // window width minus btCancel's left edge
constexpr int SureBesideCancelOffset = 275; // the same for btSure left of btCancel
constexpr int LoneButtonMargin = 36;        // a lone btSure keeps this much room on its right
constexpr int CloseSize = 29;
constexpr int CloseRightMargin = 14;
constexpr int TickInterval = 100;

const QColor PanelTop(250, 252, 255);
const QColor PanelBottom(226, 236, 248);
const QColor PanelEdge(14, 56, 128);

MessageBoxHook& Hook()
{
    static MessageBoxHook hook;
    return hook;
}

QString IconPicture(int flags)
{
    switch (flags & msgbox::IconMask) {
    case 0x10:
        return QStringLiteral(":/msg_error.png");
    case 0x20:
        return QStringLiteral(":/msg_question.png");
    case 0x30:
        return QStringLiteral(":/msg_warning.png");
    default:
        return QStringLiteral(":/msg_info.png");
    }
}

QLabel* PictureLabel(const QString& picture, const QRect& geometry, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setPixmap(LoadPixmap(picture));
    label->setScaledContents(true);
    label->setGeometry(geometry);
    return label;
}

} // namespace

TFrmMessage::TFrmMessage(QWidget* owner, const QString& message, const QString& title, int flags, int timeout)
    : QDialog(nullptr, Qt::Dialog | Qt::FramelessWindowHint), m_flags(flags)
{
    setObjectName(QStringLiteral("FrmMessage"));
    resize(InitialSize);
    BuildTitleBand(title);
    BuildBody();
    ApplyFonts();
    GrowForMessage(message);
    ChooseButtons();
    DrawIcon();
    ArrangeToSize();
    PrepareTimer(timeout);
    CentreOnScreen(owner);
    // The owner's window keeps the box above it without owning it: the caller destroys the box.
    if (owner && owner->window()->windowHandle()) {
        winId();
        windowHandle()->setTransientParent(owner->window()->windowHandle());
    }
}

void TFrmMessage::BuildTitleBand(const QString& title)
{
    imgTitleLeft = PictureLabel(QStringLiteral(":/msg_title_left.png"), QRect(), this);
    imgTitleMiddle = PictureLabel(QStringLiteral(":/msg_title_middle.png"), QRect(), this);
    imgTitleRight = PictureLabel(QStringLiteral(":/msg_title_right.png"), QRect(), this);

    lbTitle = new QLabel(this);
    lbTitle->setObjectName(QStringLiteral("lbTitle"));
    lbTitle->move(32, 16);
    lbTitle->setText(title == QStringLiteral("提示") ? BuiltinText(56) : title);
    QPalette titlePalette = lbTitle->palette();
    titlePalette.setColor(QPalette::WindowText, Qt::white);
    lbTitle->setPalette(titlePalette);

    CashStyleClose = new TPictureButton(QStringLiteral(":/msg_close.png"), this);
    CashStyleClose->setObjectName(QStringLiteral("CashStyleClose"));
    CashStyleClose->resize(CloseSize, CloseSize);
    connect(CashStyleClose, &TPictureButton::clicked, this, &TFrmMessage::CashStyleCloseClick);

    // MoveTitle: the band drags the box as a title bar does.
    auto* moveTitle = new TWidgetMover(this);
    for (QWidget* handle : { static_cast<QWidget*>(imgTitleLeft), static_cast<QWidget*>(imgTitleMiddle),
             static_cast<QWidget*>(imgTitleRight), static_cast<QWidget*>(lbTitle) })
        moveTitle->AddHandle(handle);
}

void TFrmMessage::BuildBody()
{
    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(28, 76, 64, 64);

    lbMsg = new QLabel(this);
    lbMsg->setObjectName(QStringLiteral("lbMsg"));
    lbMsg->setGeometry(120, 84, 457, 81);
    lbMsg->setWordWrap(true);
    lbMsg->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lbMsg->setTextFormat(Qt::PlainText);
    lbTitle->setTextFormat(Qt::PlainText);

    btSure = new TPictureButton(QStringLiteral(":/msg_button_ok.png"), this);
    btSure->setObjectName(QStringLiteral("btSure"));
    btSure->resize(ButtonSize);
    btSure->setText(BuiltinText(57));
    QPalette surePalette = btSure->palette();
    surePalette.setColor(QPalette::ButtonText, Qt::white);
    btSure->setPalette(surePalette);
    connect(btSure, &TPictureButton::clicked, this, &TFrmMessage::btSureClick);

    btCancel = new TPictureButton(QStringLiteral(":/msg_button_cancel.png"), this);
    btCancel->setObjectName(QStringLiteral("btCancel"));
    btCancel->resize(ButtonSize);
    btCancel->setText(BuiltinText(58));
    QPalette cancelPalette = btCancel->palette();
    cancelPalette.setColor(QPalette::ButtonText, QColor(40, 44, 52));
    btCancel->setPalette(cancelPalette);
    connect(btCancel, &TPictureButton::clicked, this, &TFrmMessage::btCancelClick);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, &TFrmMessage::Timer1Timer);
}

void TFrmMessage::ApplyFonts()
{
    setFont(PublicWindowFont());
    lbTitle->setFont(PublicFixedFont(24, true));
    lbMsg->setFont(PublicFixedFont(19, false));
    btSure->setFont(PublicFixedFont(20, false));
    btCancel->setFont(PublicFixedFont(20, false));
    lbTitle->adjustSize();
}

void TFrmMessage::GrowForMessage(const QString& message)
{
    lbMsg->setText(message);
    const int needed = lbMsg->heightForWidth(lbMsg->width());
    const int growth = needed - lbMsg->height();
    if (growth > 0) {
        lbMsg->resize(lbMsg->width(), needed);
        resize(width(), height() + growth);
    }
}

void TFrmMessage::ChooseButtons()
{
    if (m_flags & msgbox::TwoButtons) {
        m_result = msgbox::Cancelled;
        m_sureRightOffset = SureBesideCancelOffset;
    } else {
        btCancel->hide();
        m_sureRightOffset = ButtonSize.width() + LoneButtonMargin;
        m_result = msgbox::Confirmed;
    }
}

void TFrmMessage::DrawIcon()
{
    Image1->setPixmap(LoadPixmap(IconPicture(m_flags)));
}

void TFrmMessage::PrepareTimer(int timeout)
{
    m_ticksLeft = 0;
    // A negative time-out other than -1 cannot be timed either: no time-out.
    if (timeout < 0)
        return;
    if (timeout > TickInterval) {
        Timer1->setInterval(TickInterval);
        m_ticksLeft = (timeout + 60) / TickInterval;
    } else {
        Timer1->setInterval(timeout);
        m_ticksLeft = 1;
    }
}

// Places everything anchored to the right or the bottom edge and rounds the outline, for the
// window's current size.
void TFrmMessage::ArrangeToSize()
{
    const int w = width(), h = height();
    imgTitleLeft->setGeometry(0, 0, CornerPieceWidth, TitleBandHeight);
    imgTitleMiddle->setGeometry(CornerPieceWidth, 0, w - 2 * CornerPieceWidth, TitleBandHeight);
    imgTitleRight->setGeometry(w - CornerPieceWidth, 0, CornerPieceWidth, TitleBandHeight);
    lbTitle->raise();
    CashStyleClose->move(w - CloseSize - CloseRightMargin, (TitleBandHeight - CloseSize) / 2);
    CashStyleClose->raise();
    btSure->move(w - m_sureRightOffset, h - ButtonBottomOffset);
    btCancel->move(w - CancelRightOffset, h - ButtonBottomOffset);

    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, w, h), CornerEllipse / 2.0, CornerEllipse / 2.0);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

void TFrmMessage::CentreOnScreen(QWidget* owner)
{
    QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
}

TPictureButton* TFrmMessage::DefaultButton() const
{
    return (m_flags & msgbox::CancelDefault) ? btCancel : btSure;
}

QString TFrmMessage::DefaultButtonText() const
{
    return (m_flags & msgbox::CancelDefault) ? BuiltinText(58) : BuiltinText(57);
}

void TFrmMessage::Finish(int result)
{
    m_result = result;
    done(result);
}

void TFrmMessage::btSureClick()
{
    Finish(msgbox::Confirmed);
}

void TFrmMessage::btCancelClick()
{
    Finish(msgbox::Cancelled);
}

// The close button leaves the preset result: cancel with two buttons, confirm with one.
void TFrmMessage::CashStyleCloseClick()
{
    close();
}

void TFrmMessage::Timer1Timer()
{
    if (m_ticksLeft <= 0)
        return;
    --m_ticksLeft;
    if (m_ticksLeft == 0) {
        Timer1->stop();
        Finish((m_flags & msgbox::CancelDefault) ? msgbox::Cancelled : msgbox::Confirmed);
        return;
    }
    DefaultButton()->setText(QStringLiteral("%1(%2)").arg(DefaultButtonText()).arg((m_ticksLeft + 9) / 10));
}

void TFrmMessage::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        event->accept();
        Finish(msgbox::Confirmed);
        break;
    case Qt::Key_Escape:
        event->accept();
        Finish(btCancel->isHidden() ? msgbox::Confirmed : msgbox::Cancelled);
        break;
    default:
        QWidget::keyPressEvent(event);
        break;
    }
}

// The time-out is counted only while the box is shown.
void TFrmMessage::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_ticksLeft > 0 && !Timer1->isActive())
        Timer1->start();
}

void TFrmMessage::hideEvent(QHideEvent* event)
{
    Timer1->stop();
    QDialog::hideEvent(event);
}

void TFrmMessage::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF panel = QRectF(rect()).adjusted(1, 1, -1, -1);
    QLinearGradient shade(panel.topLeft(), panel.bottomLeft());
    shade.setColorAt(0, PanelTop);
    shade.setColorAt(1, PanelBottom);
    painter.setPen(QPen(PanelEdge, 2));
    painter.setBrush(shade);
    painter.drawRoundedRect(panel, CornerEllipse / 2.0 - 1, CornerEllipse / 2.0 - 1);
}

int ShowMessageBox(QWidget* owner, const QString& message, const QString& title, int flags, int timeout)
{
    if (Hook())
        return Hook()(owner, message, title, flags, timeout);
    TFrmMessage box(owner, message, title, flags, timeout);
    box.exec();
    return box.Result();
}

void SetMessageBoxHook(MessageBoxHook hook)
{
    Hook() = std::move(hook);
}
