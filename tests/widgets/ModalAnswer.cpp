#include "ModalAnswer.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <memory>

void AnswerNextModal(std::function<void(QWidget* modal)> answer)
{
    auto* poll = new QTimer(qApp);
    auto attempts = std::make_shared<int>(0);
    poll->setInterval(10);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, attempts, answer = std::move(answer)] {
        QPointer<QWidget> modal = QApplication::activeModalWidget();
        if (modal && modal->isVisible()) {
            poll->stop();
            poll->deleteLater();
            answer(modal);
            if (modal && modal->isVisible()) {
                QTest::qFail("the modal window stayed open after its answer", __FILE__, __LINE__);
                modal->close();
            }
            return;
        }
        if (++*attempts > 500) {
            poll->stop();
            poll->deleteLater();
            QTest::qFail("no modal window appeared", __FILE__, __LINE__);
        }
    });
    poll->start();
}

void ExpectWindowMaskNotices(int shownBoxes)
{
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        return;
    for (int i = 0; i < shownBoxes; ++i)
        QTest::ignoreMessage(QtWarningMsg, "This plugin does not support setting window masks");
}
