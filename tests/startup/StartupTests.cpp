// Start-up and the application object: a taken UDP port ends the start with the error box and
// exit code 1, a good start runs the main window until it closes, and a handler that throws
// while the loop runs has its error shown without ending the loop. Port 1000 itself is taken
// only inside a private network namespace.
#include "MainFixture.h"

#include "data/PublicStruct.h"
#include "transport/UDPServer.h"
#include "ui/Startup.h"

#include <NetNamespace.h>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

using namespace fixture;

namespace
{

// A UDP socket holding a local port on every address, as another program would.
class TakenPort
{
public:
    explicit TakenPort(int port)
    {
        m_socket = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        socklen_t size = sizeof address;
        if (bind(m_socket, reinterpret_cast<sockaddr*>(&address), size) == 0
            && getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            m_port = ntohs(address.sin_port);
    }
    ~TakenPort() { close(m_socket); }
    TakenPort(const TakenPort&) = delete;
    TakenPort& operator=(const TakenPort&) = delete;
    int Port() const { return m_port; }

private:
    int m_socket = -1;
    int m_port = 0;
};

bool PortIsFree(int port)
{
    return TakenPort(port).Port() == port;
}

struct ErrorBox {
    QString text;
    bool mainWindowVisible = false;
};

// Closes the next error box, keeping its text and whether a main window was showing with it.
void CloseNextErrorBox(ErrorBox& seen)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, &seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll->deleteLater();
        seen.text = box->text();
        for (const QWidget* w : QApplication::topLevelWidgets())
            seen.mainWindowVisible |= qobject_cast<const TFrmMain*>(w) && w->isVisible();
        box->done(QMessageBox::Ok);
    });
    poll->start(20);
    QTimer::singleShot(10000, poll, [poll] {
        poll->deleteLater();
        QTest::qFail("no error box appeared", __FILE__, __LINE__);
    });
}

// Checks the running main window once it shows, through checks, then closes it.
void CloseMainWindowWhenShown(const std::function<void(TFrmMain&)>& checks)
{
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, qApp, [poll, checks] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* window = qobject_cast<TFrmMain*>(w);
            if (window && window->isVisible()) {
                poll->deleteLater();
                checks(*window);
                window->close();
                return;
            }
        }
    });
    poll->start(20);
}

// The code and its Chinese name first, then which port and the likely cause in the interface's
// language (English at every start).
QString PortInUseText(int port)
{
    return QStringLiteral("端口已被占用[-3]: UDP port %1 is in use: another copy of Tessaro may be running.").arg(port);
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void takenPortEndsStartWithErrorAndCodeOne()
    {
        ExeDir dir;
        TakenPort taken(0);
        QVERIFY(taken.Port() > 0);
        ErrorBox seen;
        CloseNextErrorBox(seen);
        QCOMPARE(RunMainWindow(taken.Port()), 1);
        QCOMPARE(seen.text, PortInUseText(taken.Port()));
        QVERIFY(!seen.mainWindowVisible);
        for (const QWidget* w : QApplication::topLevelWidgets())
            QVERIFY(!qobject_cast<const TFrmMain*>(w));
    }

    void goodStartRunsUntilTheWindowCloses()
    {
        ExeDir dir({ StoredRecord {} });
        int rows = -1;
        QString serialText;
        CloseMainWindowWhenShown([&](TFrmMain& window) {
            rows = window.findChild<QTreeWidget*>(QStringLiteral("lbDevList"))->topLevelItemCount();
            serialText = window.StatusPanelText(TFrmMain::SerialPanel);
        });
        QCOMPARE(RunMainWindow(0), 0);
        QCOMPARE(rows, 1);
        QCOMPARE(serialText, QStringLiteral("Open port 1 success"));
    }

    // The loop goes on after the error of a handler: a later event is still served.
    void handlerErrorIsShownAndTheLoopGoesOn()
    {
        QObject thrower;
        ErrorBox seen;
        CloseNextErrorBox(seen);
        bool servedAfter = false;
        QTimer::singleShot(0, &thrower, [] { throw std::runtime_error("handler failed"); });
        QTimer::singleShot(0, &thrower, [&servedAfter] { servedAfter = true; });
        QTRY_VERIFY_WITH_TIMEOUT(servedAfter, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(seen.text, QStringLiteral("handler failed"), 5000);
    }

    // The real port, 1000: taken by another program, and free at a first start beside no
    // Config.ini (English, no records, serial port 1, the endpoint on port 1000).
    void port1000TakenOrFree()
    {
        REQUIRE_PRIVATE_NETNS();
        ExeDir dir;
        {
            TakenPort taken(LocalUdpPort);
            QCOMPARE(taken.Port(), LocalUdpPort);
            ErrorBox seen;
            CloseNextErrorBox(seen);
            QCOMPARE(RunMainWindow(), 1);
            QCOMPARE(seen.text, PortInUseText(LocalUdpPort));
        }

        QVERIFY(QFile::remove(dir.ConfigPath()));
        PublicStruct::Install(std::make_unique<PublicStruct>(dir.Path()));
        bool portHeld = false;
        QString title;
        QString serialText;
        int rows = -1;
        CloseMainWindowWhenShown([&](TFrmMain& window) {
            portHeld = !PortIsFree(LocalUdpPort);
            title = window.windowTitle();
            serialText = window.StatusPanelText(TFrmMain::SerialPanel);
            rows = window.findChild<QTreeWidget*>(QStringLiteral("lbDevList"))->topLevelItemCount();
        });
        QCOMPARE(RunMainWindow(), 0);
        QVERIFY(portHeld);
        QVERIFY2(title.startsWith(QStringLiteral("Korvane Tessaro - V")), qPrintable(title));
        QCOMPARE(serialText, QStringLiteral("Open port 1 success"));
        QCOMPARE(rows, 0);
        QVERIFY(!QFile::exists(dir.ConfigPath())); // nothing is written at start or shutdown
    }
};

TESSARO_NETNS_TEST_MAIN(TessaroApplication, TestStartup)
#include "StartupTests.moc"
