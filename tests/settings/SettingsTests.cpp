// The system settings window over a temporary ExeDir: what it shows of the stored settings, and
// what Confirm and Cancel do to the settings, the serial port, Config.ini and the debug window.
#include "MainFixture.h"

#include "data/PublicStruct.h"
#include "protocol/Commands.h"
#include "transport/ClassCom.h"
#include "transport/SendCommand.h"
#include "ui/FormDebug.h"
#include "ui/FormSet.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

using namespace fixture;

namespace
{

// A pseudo-terminal behind COM<port> in the ExeDir; the test holds both ends.
class ComPty
{
public:
    ComPty(const ExeDir& dir, int port)
    {
        if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) == 0)
            QFile::link(QString::fromLocal8Bit(ttyname(m_slave)), dir.Path() + QStringLiteral("COM%1").arg(port));
    }
    ~ComPty()
    {
        close(m_master);
        close(m_slave);
    }
    ComPty(const ComPty&) = delete;
    ComPty& operator=(const ComPty&) = delete;

    speed_t OutputSpeed() const
    {
        termios settings {};
        tcgetattr(m_slave, &settings);
        return cfgetospeed(&settings);
    }
    QByteArray Read(int waitMs) const
    {
        pollfd p { m_master, POLLIN, 0 };
        if (poll(&p, 1, waitMs) <= 0)
            return QByteArray();
        char buffer[256];
        const ssize_t n = read(m_master, buffer, sizeof buffer);
        return n > 0 ? QByteArray(buffer, n) : QByteArray();
    }

private:
    int m_master = -1;
    int m_slave = -1;
};

// Rewrites [Public] with these lines and reads the settings anew, as a start would.
void StorePublic(const ExeDir& dir, const QByteArray& lines)
{
    QFile file(dir.ConfigPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[Public]\r\n" + lines + "[History]\r\nDevCnt=0\r\n");
    file.close();
    PublicStruct::Install(std::make_unique<PublicStruct>(dir.Path()));
}

QStringList Items(const QComboBox* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->itemText(i);
    return items;
}

QString PublicValue(const ExeDir& dir, const QByteArray& key)
{
    for (const QByteArray& line : dir.ConfigText().split('\n'))
        if (line.startsWith(key + '='))
            return QString::fromLatin1(line.mid(key.size() + 1).trimmed());
    return QString();
}

void Choose(TFrmSet& set, int type, const QString& port, const QString& rate, const QString& delay, bool debug)
{
    set.cbConnectType->setCurrentIndex(type);
    set.cbUart->setCurrentText(port);
    set.cbRate->setCurrentText(rate);
    set.cbUartDelay->setCurrentText(delay);
    set.cbDebug->setChecked(debug);
}

// Opens the window the way the menu does and runs 'inside' once it is shown.
void OpenFromMenu(TFrmMain& window, std::function<void(TFrmSet&)> inside)
{
    bool shown = false;
    QTimer::singleShot(0, &window, [&] {
        auto* set = qobject_cast<TFrmSet*>(QApplication::activeModalWidget());
        if (!set)
            return;
        shown = true;
        inside(*set);
        if (set->isVisible())
            set->reject();
    });
    window.mnSetClick();
    QVERIFY2(shown, "the settings window was not shown modally");
}

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { DestroyDebugWindow(); }

    void controlsAndCaptionsInBothLanguages()
    {
        ExeDir dir;
        auto window = MakeWindow();
        {
            TFrmSet set(*window);
            QCOMPARE(set.windowTitle(), QStringLiteral("System Configuration"));
            QCOMPARE(Items(set.cbConnectType), (QStringList { "Ethernet Port", "485" }));
            QCOMPARE(set.cbUart->count(), 32);
            QCOMPARE(set.cbUart->itemText(0), QStringLiteral("1"));
            QCOMPARE(set.cbUart->itemText(31), QStringLiteral("32"));
            QCOMPARE(Items(set.cbRate), (QStringList { "9600", "115200" }));
            QCOMPARE(Items(set.cbUartDelay), (QStringList { "5", "10", "15", "20", "25", "30", "40", "50" }));
            QCOMPARE(set.Label1->text(), QStringLiteral("Serial Port Number"));
            QCOMPARE(set.Label2->text(), QStringLiteral("Baud Rate"));
            QCOMPARE(set.Label3->text(), QStringLiteral("Serial Port Reception Delay"));
            QCOMPARE(set.cbDebug->text(), QStringLiteral("Debug Window"));
            QCOMPARE(set.btSure->text(), QStringLiteral("Confirm"));
            QCOMPARE(set.btCancel->text(), QStringLiteral("Cancel"));
            // Laid out so that no caption is cut: every label gets at least the width it needs.
            set.show();
            for (const QLabel* label : { set.Label1, set.Label2, set.Label3 })
                QVERIFY(label->width() >= label->sizeHint().width());
            QVERIFY(window->frameGeometry().contains(set.frameGeometry().center()));
        }
        PublicStruct::Instance().LanguageIndex = 0;
        TFrmSet set(*window);
        QCOMPARE(set.windowTitle(), QStringLiteral("系统设置"));
        QCOMPARE(Items(set.cbConnectType), (QStringList { "网口", "485" }));
        QCOMPARE(set.Label1->text(), QStringLiteral("串口端口号"));
        QCOMPARE(set.Label2->text(), QStringLiteral("波特率"));
        QCOMPARE(set.Label3->text(), QStringLiteral("串口接收延时"));
        QCOMPARE(set.cbDebug->text(), QStringLiteral("调试窗口"));
        QCOMPARE(set.btSure->text(), QStringLiteral("确认"));
        QCOMPARE(set.btCancel->text(), QStringLiteral("取消"));
    }

    void showsStoredValues_data()
    {
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("port");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<QString>("delay");
        QTest::newRow("defaults") << QByteArray() << 0 << 0 << "9600"
                                  << "30";
        QTest::newRow("all listed") << QByteArray(
            "ConnectType=1\r\nUartPort=32\r\nUartRate=115200\r\nUartDelayTime=50\r\n")
                                    << 1 << 31 << "115200"
                                    << "50";
        QTest::newRow("odd type, unlisted rate and delay")
            << QByteArray("ConnectType=3\r\nUartPort=5\r\nUartRate=4800\r\nUartDelayTime=35\r\n") << 1 << 4 << "115200"
            << "5";
        QTest::newRow("negative odd type, port beyond the list, delay no number")
            << QByteArray("ConnectType=-1\r\nUartPort=33\r\nUartDelayTime=x\r\n") << -1 << -1 << "9600"
            << "30";
        QTest::newRow("port 0, negative even type")
            << QByteArray("ConnectType=-2\r\nUartPort=0\r\n") << 0 << -1 << "9600"
            << "30";
    }
    void showsStoredValues()
    {
        QFETCH(QByteArray, stored);
        ExeDir dir;
        auto window = MakeWindow();
        StorePublic(dir, stored);
        TFrmSet set(*window);
        QTEST(set.cbConnectType->currentIndex(), "type");
        QTEST(set.cbUart->currentIndex(), "port");
        QTEST(set.cbRate->currentText(), "rate");
        QTEST(set.cbUartDelay->currentText(), "delay");
        QVERIFY(!set.cbDebug->isChecked());
    }

    // Serial port first, then the file, then the debug window, then "Saved!", then the window
    // closes: the box sees everything already done while the window is still open.
    void confirmAppliesEverythingInOrder()
    {
        ExeDir dir;
        ComPty com7(dir, 7);
        auto window = MakeWindow();
        QCOMPARE(cnComm::Instance().Port(), 1u);
        QByteArray configWhenShown;
        QStringList seen;
        MessageBoxes boxes;
        QPointer<TFrmSet> shownSet;
        boxes.whileShown = [&] {
            configWhenShown = dir.ConfigText();
            seen << window->StatusPanelText(TFrmMain::SerialPanel);
            seen << QString::number(cnComm::Instance().Port()) << QString::number(cnComm::Instance().IsOpen());
            seen << QString::number(FrmDebug != nullptr && FrmDebug->isVisible());
            seen << QString::number(shownSet && shownSet->isVisible());
        };
        OpenFromMenu(*window, [&](TFrmSet& set) {
            shownSet = &set;
            QVERIFY(!set.cbDebug->isChecked());
            Choose(set, 1, "7", "115200", "50", true);
            QTest::mouseClick(set.btSure, Qt::LeftButton);
            QVERIFY(!set.isVisible());
            QCOMPARE(set.result(), int(QDialog::Accepted));
        });
        QCOMPARE(seen, (QStringList { "Open port 7 success", "7", "1", "1", "1" }));
        QCOMPARE(boxes.calls.size(), size_t(1));
        QCOMPARE(boxes.calls[0].message, QStringLiteral("Saved!"));
        QCOMPARE(boxes.calls[0].title, QStringLiteral("提示"));
        QCOMPARE(boxes.calls[0].flags, 0);
        QVERIFY(boxes.calls[0].timeout < 0);
        QVERIFY(configWhenShown.contains("ConnectType=1\r\n"));
        QVERIFY(configWhenShown.contains("UartPort=7\r\n"));
        QVERIFY(configWhenShown.contains("UartRate=115200\r\n"));
        QVERIFY(configWhenShown.contains("UartDelayTime=50\r\n"));
        QVERIFY(configWhenShown.contains("[History]\r\nDevCnt=0\r\n")); // the rest kept

        const PublicStruct& ps = PublicStruct::Instance();
        QCOMPARE(ps.ConnectType, 1);
        QCOMPARE(ps.UartPort, 7);
        QCOMPARE(ps.UartRate, 115200);
        QCOMPARE(ps.UartDelayTime, 50);
        QCOMPARE(com7.OutputSpeed(), speed_t(B115200));
        // Frames now go to the line on COM7.
        SendCommand(QStringLiteral("127.0.0.2"), 3, 2, CMD_GET_STATUS, EmptyRequest, sizeof EmptyRequest);
        QCOMPARE(com7.Read(2000), Frame(3, 2, CMD_GET_STATUS, QByteArray(1, '\0')));

        // Shown again, the window reflects what was stored and the debug window that exists.
        OpenFromMenu(*window, [](TFrmSet& set) {
            QCOMPARE(set.cbConnectType->currentIndex(), 1);
            QCOMPARE(set.cbUart->currentText(), QStringLiteral("7"));
            QCOMPARE(set.cbRate->currentText(), QStringLiteral("115200"));
            QCOMPARE(set.cbUartDelay->currentText(), QStringLiteral("50"));
            QVERIFY(set.cbDebug->isChecked());
        });
    }

    // Ethernet selected still reopens the port; a port that cannot be opened shows only in the
    // status bar, and the settings are stored all the same.
    void portThatCannotBeOpenedIsOnlyShown()
    {
        ExeDir dir;
        QFile notATerminal(dir.Path() + QStringLiteral("COM9"));
        QVERIFY(notATerminal.open(QIODevice::WriteOnly));
        notATerminal.close();
        auto window = MakeWindow();
        MessageBoxes boxes;
        {
            TFrmSet set(*window);
            Choose(set, 0, "9", "9600", "10", false);
            set.btSureClick();
        }
        QCOMPARE(
            window->StatusPanelText(TFrmMain::SerialPanel), QStringLiteral("Serial port 9 not opened (LAN in use)"));
        QVERIFY(!cnComm::Instance().IsOpen());
        QCOMPARE(PublicValue(dir, "UartPort"), QStringLiteral("9"));
        QCOMPARE(PublicValue(dir, "ConnectType"), QStringLiteral("0"));
        QCOMPARE(PublicValue(dir, "UartDelayTime"), QStringLiteral("10"));
        QCOMPARE(boxes.calls.size(), size_t(1));
        QCOMPARE(boxes.calls[0].message, QStringLiteral("Saved!"));

        // Back on a port that opens, with Ethernet still selected.
        {
            TFrmSet set(*window);
            Choose(set, 0, "1", "9600", "10", false);
            set.btSureClick();
        }
        QCOMPARE(window->StatusPanelText(TFrmMain::SerialPanel), QStringLiteral("Open port 1 success"));
        QVERIFY(cnComm::Instance().IsOpen());
    }

    void confirmStoresWhatIsShown()
    {
        ExeDir dir;
        auto window = MakeWindow();
        StorePublic(dir, "UartPort=1\r\nUartRate=4800\r\nUartDelayTime=35\r\n");
        MessageBoxes boxes;
        TFrmSet(*window).btSureClick();
        QCOMPARE(PublicValue(dir, "UartRate"), QStringLiteral("115200"));
        QCOMPARE(PublicValue(dir, "UartDelayTime"), QStringLiteral("5"));
        QCOMPARE(PublicStruct::Instance().UartDelayTime, 5);
    }

    void cancelAndCloseChangeNothing()
    {
        ExeDir dir;
        auto window = MakeWindow();
        MessageBoxes boxes;
        CreateDebugWindow(window.get());
        const QByteArray before = dir.ConfigText();
        const QString statusBefore = window->StatusPanelText(TFrmMain::SerialPanel);
        using Ending = std::function<void(TFrmSet&)>;
        const Ending cancel = [](TFrmSet& set) { QTest::mouseClick(set.btCancel, Qt::LeftButton); };
        const Ending closeButton = [](TFrmSet& set) { set.close(); };
        for (const Ending& end : { cancel, closeButton }) {
            OpenFromMenu(*window, [&end](TFrmSet& set) {
                QVERIFY(set.cbDebug->isChecked());
                Choose(set, 1, "7", "115200", "50", false);
                end(set);
                QVERIFY(!set.isVisible());
                QCOMPARE(set.result(), int(QDialog::Rejected));
            });
        }
        QCOMPARE(dir.ConfigText(), before);
        QVERIFY(FrmDebug != nullptr);
        QVERIFY(boxes.calls.empty());
        QCOMPARE(cnComm::Instance().Port(), 1u);
        QVERIFY(cnComm::Instance().IsOpen());
        QCOMPARE(window->StatusPanelText(TFrmMain::SerialPanel), statusBefore);
        const PublicStruct& ps = PublicStruct::Instance();
        QCOMPARE(ps.ConnectType, 0);
        QCOMPARE(ps.UartPort, 1);
        QCOMPARE(ps.UartRate, 9600);
        QCOMPARE(ps.UartDelayTime, 5);
    }

    void debugWindowFollowsTheBox()
    {
        ExeDir dir;
        auto window = MakeWindow();
        MessageBoxes boxes;
        const auto confirmWith = [&window](bool debug) {
            TFrmSet set(*window);
            set.cbDebug->setChecked(debug);
            set.btSureClick();
        };
        confirmWith(true);
        QVERIFY(FrmDebug != nullptr);
        QVERIFY(FrmDebug->isVisible());
        // An existing hidden debug window stays as it is while the box stays ticked.
        QPointer<TFrmDebug> existing = FrmDebug;
        FrmDebug->hide();
        confirmWith(true);
        QCOMPARE(FrmDebug, existing.data());
        QVERIFY(!FrmDebug->isVisible());
        confirmWith(false);
        QVERIFY(FrmDebug == nullptr);
        QVERIFY(existing.isNull());
        confirmWith(false);
        QVERIFY(FrmDebug == nullptr);
        QCOMPARE(boxes.calls.size(), size_t(4));
    }

    // A read-only Config.ini: the box says the settings were not saved and why; the file stays
    // as it was while the settings hold in memory.
    void failedWriteIsReportedNotSaved()
    {
        ExeDir dir;
        auto window = MakeWindow();
        MessageBoxes boxes;
        const QByteArray before = dir.ConfigText();
        QVERIFY(QFile::setPermissions(dir.ConfigPath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Config file not written: .*Config.ini"));
        {
            TFrmSet set(*window);
            Choose(set, 1, "1", "115200", "20", false);
            set.btSureClick();
            QCOMPARE(set.result(), int(QDialog::Accepted));
        }
        QCOMPARE(boxes.calls.size(), size_t(1));
        const QString message = boxes.calls[0].message;
        QVERIFY2(!message.contains(QStringLiteral("Saved!")), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("not saved")), qPrintable(message));
        QVERIFY2(message.contains(dir.ConfigPath()), qPrintable(message));
        QCOMPARE(dir.ConfigText(), before);
        QCOMPARE(PublicStruct::Instance().UartRate, 115200);
        QCOMPARE(window->StatusPanelText(TFrmMain::SerialPanel), QStringLiteral("Open port 1 success"));
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    TestSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "SettingsTests.moc"
