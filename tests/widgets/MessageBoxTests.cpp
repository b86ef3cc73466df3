#include "ModalAnswer.h"
#include "WidgetTests.h"

#include "data/PublicStruct.h"
#include "ui/FormMessage.h"
#include "ui/Pictures.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

namespace {

QString LongMessage()
{
    QString text;
    for (int i = 0; i < 60; ++i)
        text += QStringLiteral("receiver%1 ").arg(i);
    return text;
}

// Pixmaps hold premultiplied pixels: compare pictures in that form.
QImage Premultiplied(const QImage& image)
{
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage ShownPicture(const QLabel* label)
{
    return Premultiplied(label->pixmap().toImage());
}

template <typename T> T* Part(const QWidget* box, const char* name)
{
    T* part = box->findChild<T*>(QLatin1String(name));
    if (!part)
        qWarning("missing part %s", name);
    return part;
}

enum class Action { Sure, Cancel, Enter, Return, Space, Escape, CloseButton, OtherKeyThenEscape };

void Perform(QWidget* box, Action action)
{
    QWidget* keyTarget = box->focusWidget() ? box->focusWidget() : box;
    switch (action) {
    case Action::Sure:
        QTest::mouseClick(Part<QAbstractButton>(box, "btSure"), Qt::LeftButton);
        break;
    case Action::Cancel:
        QTest::mouseClick(Part<QAbstractButton>(box, "btCancel"), Qt::LeftButton);
        break;
    case Action::Enter:
        QTest::keyClick(keyTarget, Qt::Key_Enter);
        break;
    case Action::Return:
        QTest::keyClick(keyTarget, Qt::Key_Return);
        break;
    case Action::Space:
        QTest::keyClick(keyTarget, Qt::Key_Space);
        break;
    case Action::Escape:
        QTest::keyClick(keyTarget, Qt::Key_Escape);
        break;
    case Action::CloseButton:
        QTest::mouseClick(Part<QAbstractButton>(box, "CashStyleClose"), Qt::LeftButton);
        break;
    case Action::OtherKeyThenEscape:
        QTest::keyClick(keyTarget, Qt::Key_A);
        QTest::keyClick(keyTarget, Qt::Key_Tab);
        QVERIFY(box->isVisible());
        QTest::keyClick(keyTarget, Qt::Key_Escape);
        break;
    }
}

void SendMouse(QWidget* widget, QEvent::Type type, const QPoint& local, const QPoint& global, Qt::MouseButtons buttons)
{
    QMouseEvent event(type, local, global, type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons,
        Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

} // namespace

Q_DECLARE_METATYPE(Action)

class MessageBoxTests : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void endings_data();
    void endings();
    void iconFollowsFlags_data();
    void iconFollowsFlags();
    void countdownOnCancelEndsWithCancel();
    void countdownOnConfirmEndsWithConfirm();
    void shortTimeoutsTickOnce();
    void realTimeoutEndsTheShownBox();
    void titleAndCaptionsFollowTheLanguage();
    void buttonsStandAtTheBottomRight();
    void longMessageGrowsTheWindow();
    void titleBandDragsTheBox();
    void hookAnswersInsteadOfTheBox();
};

void MessageBoxTests::cleanup()
{
    PublicStruct::Instance().LanguageIndex = 1;
    SetMessageBoxHook({});
}

void MessageBoxTests::endings_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("result");
    QTest::newRow("one button: Ok") << 0 << Action::Sure << 1;
    QTest::newRow("one button: Enter") << 0 << Action::Enter << 1;
    QTest::newRow("one button: Return") << 0 << Action::Return << 1;
    QTest::newRow("one button: Space") << 0 << Action::Space << 1;
    QTest::newRow("one button: Escape") << 0 << Action::Escape << 1;
    QTest::newRow("one button: close") << 0 << Action::CloseButton << 1;
    QTest::newRow("two buttons: Ok") << 0x21 << Action::Sure << 1;
    QTest::newRow("two buttons: Cancel") << 0x21 << Action::Cancel << 2;
    QTest::newRow("two buttons: Enter") << 0x21 << Action::Enter << 1;
    QTest::newRow("two buttons: Space") << 0x21 << Action::Space << 1;
    QTest::newRow("two buttons: Escape") << 0x21 << Action::Escape << 2;
    QTest::newRow("two buttons: close") << 0x21 << Action::CloseButton << 2;
    QTest::newRow("two buttons: other keys do nothing") << 0x01 << Action::OtherKeyThenEscape << 2;
    QTest::newRow("cancel default: Enter") << 0x101 << Action::Enter << 1;
}

void MessageBoxTests::endings()
{
    QFETCH(int, flags);
    QFETCH(Action, action);
    QFETCH(int, result);
    ExpectWindowMaskNotices(1);
    AnswerNextModal([action](QWidget* box) { Perform(box, action); });
    QCOMPARE(ShowMessageBox(nullptr, QStringLiteral("Device not connect!"), QStringLiteral("提示"), flags, -1), result);
    QVERIFY(!QApplication::activeModalWidget());
}

void MessageBoxTests::iconFollowsFlags_data()
{
    QTest::addColumn<int>("flags");
    QTest::addColumn<QString>("picture");
    QTest::newRow("0x00 information") << 0x00 << ":/msg_info.png";
    QTest::newRow("0x10 error") << 0x10 << ":/msg_error.png";
    QTest::newRow("0x20 question") << 0x20 << ":/msg_question.png";
    QTest::newRow("0x21 question") << 0x21 << ":/msg_question.png";
    QTest::newRow("0x30 warning") << 0x30 << ":/msg_warning.png";
    QTest::newRow("0x40 information") << 0x40 << ":/msg_info.png";
    QTest::newRow("0x130 warning") << 0x130 << ":/msg_warning.png";
}

void MessageBoxTests::iconFollowsFlags()
{
    QFETCH(int, flags);
    QFETCH(QString, picture);
    TFrmMessage box(nullptr, QStringLiteral("text"), QStringLiteral("提示"), flags, -1);
    const QImage shown = ShownPicture(Part<QLabel>(&box, "Image1"));
    QCOMPARE(shown.size(), QSize(64, 64));
    QCOMPARE(shown, Premultiplied(LoadPicture(picture)));
    // The four icons differ, so the comparison above tells them apart.
    for (const char* other : { ":/msg_info.png", ":/msg_question.png", ":/msg_warning.png", ":/msg_error.png" })
        if (picture != QLatin1String(other))
            QVERIFY(shown != Premultiplied(LoadPicture(QLatin1String(other))));
}

void MessageBoxTests::countdownOnCancelEndsWithCancel()
{
    TFrmMessage box(nullptr, QStringLiteral("Please select device!"), QStringLiteral("提示"), 0x101, 3000);
    auto* timer = Part<QTimer>(&box, "Timer1");
    auto* cancel = Part<QAbstractButton>(&box, "btCancel");
    auto* sure = Part<QAbstractButton>(&box, "btSure");
    QCOMPARE(timer->interval(), 100);
    QCOMPARE(box.TicksLeft(), 30);
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));

    QStringList captions;
    for (int tick = 1; tick < 30; ++tick) {
        box.Timer1Timer();
        captions << cancel->text();
    }
    QCOMPARE(captions.count(QStringLiteral("Cancel(3)")), 9);
    QCOMPARE(captions.count(QStringLiteral("Cancel(2)")), 10);
    QCOMPARE(captions.count(QStringLiteral("Cancel(1)")), 10);
    QCOMPARE(captions.first(), QStringLiteral("Cancel(3)"));
    QCOMPARE(captions.at(9), QStringLiteral("Cancel(2)"));
    QCOMPARE(captions.last(), QStringLiteral("Cancel(1)"));
    QCOMPARE(sure->text(), QStringLiteral("Ok"));

    box.Timer1Timer();
    QCOMPARE(box.TicksLeft(), 0);
    QCOMPARE(box.Result(), 2);
    QCOMPARE(box.result(), 2);
    // Further ticks change nothing once the box has ended.
    box.Timer1Timer();
    QCOMPARE(box.Result(), 2);
}

void MessageBoxTests::countdownOnConfirmEndsWithConfirm()
{
    TFrmMessage box(nullptr, QStringLiteral("text"), QStringLiteral("提示"), 0x21, 1000);
    QCOMPARE(box.TicksLeft(), 10);
    QCOMPARE(box.Result(), 2);
    box.Timer1Timer();
    QCOMPARE(Part<QAbstractButton>(&box, "btSure")->text(), QStringLiteral("Ok(1)"));
    QCOMPARE(Part<QAbstractButton>(&box, "btCancel")->text(), QStringLiteral("Cancel"));
    for (int tick = 2; tick <= 10; ++tick)
        box.Timer1Timer();
    QCOMPARE(box.Result(), 1);
}

void MessageBoxTests::shortTimeoutsTickOnce()
{
    TFrmMessage twoTicks(nullptr, QStringLiteral("text"), QStringLiteral("提示"), 0, 150);
    QCOMPARE(twoTicks.TicksLeft(), 2);
    QCOMPARE(Part<QTimer>(&twoTicks, "Timer1")->interval(), 100);

    TFrmMessage oneTick(nullptr, QStringLiteral("text"), QStringLiteral("提示"), 0, 50);
    QCOMPARE(oneTick.TicksLeft(), 1);
    QCOMPARE(Part<QTimer>(&oneTick, "Timer1")->interval(), 50);

    TFrmMessage hundred(nullptr, QStringLiteral("text"), QStringLiteral("提示"), 0, 100);
    QCOMPARE(hundred.TicksLeft(), 1);
    QCOMPARE(Part<QTimer>(&hundred, "Timer1")->interval(), 100);

    TFrmMessage none(nullptr, QStringLiteral("text"), QStringLiteral("提示"), 0, -1);
    QCOMPARE(none.TicksLeft(), 0);
    ExpectWindowMaskNotices(1);
    none.show();
    QVERIFY(!Part<QTimer>(&none, "Timer1")->isActive());
    none.Timer1Timer();
    QVERIFY(none.isVisible());
    none.close();
}

void MessageBoxTests::realTimeoutEndsTheShownBox()
{
    // Nobody answers: the time-out alone ends the box, with the default button's result.
    ExpectWindowMaskNotices(3);
    QCOMPARE(ShowMessageBox(nullptr, QStringLiteral("text"), QStringLiteral("提示"), 0, 50), 1);
    QCOMPARE(ShowMessageBox(nullptr, QStringLiteral("text"), QStringLiteral("提示"), 0x101, 50), 2);
    QCOMPARE(ShowMessageBox(nullptr, QStringLiteral("text"), QStringLiteral("提示"), 0x001, 150), 1);
}

void MessageBoxTests::titleAndCaptionsFollowTheLanguage()
{
    {
        TFrmMessage box(nullptr, QStringLiteral("text"), QStringLiteral("提示"), 0x01, -1);
        QCOMPARE(Part<QLabel>(&box, "lbTitle")->text(), QStringLiteral("Tips"));
        QCOMPARE(Part<QAbstractButton>(&box, "btSure")->text(), QStringLiteral("Ok"));
        QCOMPARE(Part<QAbstractButton>(&box, "btCancel")->text(), QStringLiteral("Cancel"));
        QCOMPARE(Part<QLabel>(&box, "lbMsg")->text(), QStringLiteral("text"));
    }
    {
        TFrmMessage box(nullptr, QStringLiteral("text"), QStringLiteral("Delete confirmation"), 0, -1);
        QCOMPARE(Part<QLabel>(&box, "lbTitle")->text(), QStringLiteral("Delete confirmation"));
    }
    {
        TFrmMessage box(nullptr, QStringLiteral("text"), QStringLiteral("提示 "), 0, -1);
        QCOMPARE(Part<QLabel>(&box, "lbTitle")->text(), QStringLiteral("提示 "));
    }
    PublicStruct::Instance().LanguageIndex = 0;
    TFrmMessage box(nullptr, QStringLiteral("text"), QStringLiteral("提示"), 0x01, -1);
    QCOMPARE(Part<QLabel>(&box, "lbTitle")->text(), QStringLiteral("提示"));
    QCOMPARE(Part<QAbstractButton>(&box, "btSure")->text(), QStringLiteral("确认"));
    QCOMPARE(Part<QAbstractButton>(&box, "btCancel")->text(), QStringLiteral("取消"));
}

void MessageBoxTests::buttonsStandAtTheBottomRight()
{
    TFrmMessage one(nullptr, QStringLiteral("short"), QStringLiteral("提示"), 0, -1);
    QCOMPARE(one.size(), QSize(594, 328));
    QVERIFY(Part<QAbstractButton>(&one, "btCancel")->isHidden());
    QCOMPARE(Part<QAbstractButton>(&one, "btSure")->geometry(), QRect(594 - 123 - 36, 248, 123, 51));
    QCOMPARE(one.Result(), 1);

    TFrmMessage two(nullptr, QStringLiteral("short"), QStringLiteral("提示"), 0x01, -1);
    QVERIFY(!Part<QAbstractButton>(&two, "btCancel")->isHidden());
    QCOMPARE(Part<QAbstractButton>(&two, "btSure")->geometry(), QRect(319, 248, 123, 51));
    QCOMPARE(Part<QAbstractButton>(&two, "btCancel")->geometry(), QRect(451, 248, 123, 51));
    QCOMPARE(two.Result(), 2);
    QCOMPARE(Part<QLabel>(&two, "lbMsg")->geometry(), QRect(120, 84, 457, 81));
    QCOMPARE(Part<QLabel>(&two, "Image1")->geometry(), QRect(28, 76, 64, 64));
    QCOMPARE(two.mask().boundingRect(), two.rect());
    QVERIFY(two.windowFlags() & Qt::FramelessWindowHint);
    // The outline is rounded: the corner pixel lies outside it, the middle of the edge inside.
    QVERIFY(!two.mask().contains(QPoint(0, 0)));
    QVERIFY(two.mask().contains(QPoint(297, 0)));
}

void MessageBoxTests::longMessageGrowsTheWindow()
{
    TFrmMessage box(nullptr, LongMessage(), QStringLiteral("提示"), 0x01, -1);
    auto* message = Part<QLabel>(&box, "lbMsg");
    QVERIFY(box.height() > 328);
    QCOMPARE(box.width(), 594);
    QCOMPARE(message->height() - 81, box.height() - 328);
    QVERIFY(message->height() >= message->heightForWidth(message->width()));
    for (const char* name : { "btSure", "btCancel" }) {
        const QRect button = Part<QAbstractButton>(&box, name)->geometry();
        QCOMPARE(button.top(), box.height() - 80);
        QVERIFY(button.top() > message->geometry().bottom());
        QVERIFY(box.rect().contains(button));
    }
    QCOMPARE(box.mask().boundingRect(), box.rect());
}

void MessageBoxTests::titleBandDragsTheBox()
{
    TFrmMessage box(nullptr, QStringLiteral("text"), QStringLiteral("提示"), 0, -1);
    ExpectWindowMaskNotices(1);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    auto* title = Part<QLabel>(&box, "lbTitle");
    const QPoint start = box.pos();
    const QPoint grab(5, 5);
    const QPoint globalGrab = title->mapToGlobal(grab);
    SendMouse(title, QEvent::MouseButtonPress, grab, globalGrab, Qt::LeftButton);
    SendMouse(title, QEvent::MouseMove, grab + QPoint(40, 25), globalGrab + QPoint(40, 25), Qt::LeftButton);
    SendMouse(title, QEvent::MouseButtonRelease, grab + QPoint(40, 25), globalGrab + QPoint(40, 25), Qt::NoButton);
    QCOMPARE(box.pos(), start + QPoint(40, 25));
    // Moving after the release no longer drags.
    SendMouse(title, QEvent::MouseMove, grab, globalGrab + QPoint(90, 90), Qt::NoButton);
    QCOMPARE(box.pos(), start + QPoint(40, 25));
    // The message area is no handle.
    auto* message = Part<QLabel>(&box, "lbMsg");
    SendMouse(message, QEvent::MouseButtonPress, grab, message->mapToGlobal(grab), Qt::LeftButton);
    SendMouse(message, QEvent::MouseMove, grab, message->mapToGlobal(grab) + QPoint(30, 30), Qt::LeftButton);
    QCOMPARE(box.pos(), start + QPoint(40, 25));
    box.close();
}

void MessageBoxTests::hookAnswersInsteadOfTheBox()
{
    QWidget owner;
    struct Call {
        QWidget* owner;
        QString message, title;
        int flags, timeout;
    };
    QList<Call> calls;
    bool boxShownMeanwhile = false;
    SetMessageBoxHook([&](QWidget* o, const QString& m, const QString& t, int f, int ms) {
        calls.append({ o, m, t, f, ms });
        boxShownMeanwhile = boxShownMeanwhile || QApplication::activeModalWidget();
        return 2;
    });
    QCOMPARE(ShowMessageBox(&owner, QStringLiteral("Are you sure remove device?"), QStringLiteral("删除确认"), 0x21, -1), 2);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls[0].owner, &owner);
    QCOMPARE(calls[0].message, QStringLiteral("Are you sure remove device?"));
    QCOMPARE(calls[0].title, QStringLiteral("删除确认"));
    QCOMPARE(calls[0].flags, 0x21);
    QCOMPARE(calls[0].timeout, -1);
    QVERIFY(!boxShownMeanwhile);

    SetMessageBoxHook({});
    ExpectWindowMaskNotices(1);
    bool shown = false;
    AnswerNextModal([&shown](QWidget* box) {
        shown = true;
        Perform(box, Action::Sure);
    });
    QCOMPARE(ShowMessageBox(&owner, QStringLiteral("text"), QStringLiteral("提示"), 0x21, -1), 1);
    QVERIFY(shown);
    QCOMPARE(calls.size(), 1);
}

int RunMessageBoxTests(int argc, char** argv)
{
    MessageBoxTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "MessageBoxTests.moc"
