// The serial port against real pseudo-terminals: the test holds the master side as the far end of
// the line, and a COM<n> link in a temporary executable directory names the slave side.
#include "DebugLines.h"
#include "data/DebugPrint.h"
#include "data/PublicStruct.h"
#include "protocol/Messages.h"
#include "transport/ClassCom.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>

namespace
{

const QString LinkLogName = QStringLiteral(u"调试日志.Log");

// The status poll for RXID 1, DevIdx 1.
const QByteArray StatusPoll = QByteArray::fromHex("C80101C903010035");

// Stands in for the main window: records each MSG_SERIAL_DATA and optionally reads the port.
class Receiver : public QObject
{
public:
    Receiver() { m_clock.start(); }
    bool event(QEvent* e) override
    {
        if (e->type() != EventType(MSG_SERIAL_DATA))
            return QObject::event(e);
        times.append(m_clock.elapsed());
        ports.append(static_cast<MessageEvent*>(e)->wParam());
        if (onNotify)
            onNotify();
        return true;
    }
    qint64 Since() const { return m_clock.elapsed(); }

    std::function<void()> onNotify;
    QList<qint64> times;
    QList<quintptr> ports;

private:
    QElapsedTimer m_clock;
};

} // namespace

class SerialTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void openSetsRawLineAtStandardRates();
    void openRefusesBadPortsAndMissingDevices();
    void closedPortDoesNothing();
    void notifiesAfterDelayOncePerArrival();
    void frameWithinDelayIsReadByOneNotification();
    void readerWithSmallBufferIsNotifiedForTheRest();
    void closeEndsWaitingWatcherAtOnce();
    void hungUpLineFailsQuietly();
    void linkLogRecordsEveryTransfer();
    void writeToStuckLineNeverBlocksAndGivesUp();
    void queuedOutputLeavesInOrderWhenLineDrains();

private:
    void WriteMaster(const QByteArray& bytes);
    QByteArray ReadMaster();
    // Reads the far end until the line has been quiet for a while.
    QByteArray DrainMaster();
    QByteArray LinkLog() const;
    termios SlaveSettings() const;
    // Fills the line towards the far end, which never reads; returns what it wrote.
    QByteArray FillLine();
    QByteArray ReadMasterUntil(qsizetype size);
    void WriteFrame(const QByteArray& frame, int expected);

    std::unique_ptr<QTemporaryDir> m_dir;
    int m_master = -1;
    int m_slave = -1;
    std::unique_ptr<cnComm> m_port;
};

void SerialTest::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    PublicStruct::Install(std::make_unique<PublicStruct>(m_dir->path() + QLatin1Char('/')));
    char name[128] = {};
    QVERIFY(openpty(&m_master, &m_slave, name, nullptr, nullptr) == 0);
    QVERIFY(fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK) == 0);
    QVERIFY(QFile::link(QString::fromLocal8Bit(name), m_dir->filePath(QStringLiteral("COM3"))));
    m_port = std::make_unique<cnComm>();
}

void SerialTest::cleanup()
{
    m_port.reset();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slave >= 0)
        ::close(m_slave);
    m_master = m_slave = -1;
    m_dir.reset();
}

void SerialTest::WriteMaster(const QByteArray& bytes)
{
    QCOMPARE(::write(m_master, bytes.constData(), static_cast<size_t>(bytes.size())), bytes.size());
}

QByteArray SerialTest::ReadMaster()
{
    QByteArray all;
    char chunk[4096];
    ssize_t got = 0;
    while ((got = ::read(m_master, chunk, sizeof chunk)) > 0)
        all.append(chunk, got);
    return all;
}

QByteArray SerialTest::DrainMaster()
{
    QByteArray all;
    QElapsedTimer quiet;
    quiet.start();
    while (quiet.elapsed() < 200) {
        QTest::qWait(10);
        const QByteArray more = ReadMaster();
        if (!more.isEmpty())
            quiet.restart();
        all += more;
    }
    return all;
}

QByteArray SerialTest::LinkLog() const
{
    QFile file(m_dir->filePath(LinkLogName));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

termios SerialTest::SlaveSettings() const
{
    termios settings {};
    tcgetattr(m_slave, &settings);
    return settings;
}

QByteArray SerialTest::FillLine()
{
    // Straight into the slave, until the kernel has moved all it will towards the unread master.
    QByteArray filled;
    const QByteArray chunk(512, 'F');
    fcntl(m_slave, F_SETFL, fcntl(m_slave, F_GETFL) | O_NONBLOCK);
    for (int idle = 0; idle < 5;) {
        const ssize_t taken = ::write(m_slave, chunk.constData(), static_cast<size_t>(chunk.size()));
        if (taken > 0) {
            filled += chunk.left(taken);
            idle = 0;
        } else {
            ++idle;
            QThread::msleep(20);
        }
    }
    return filled;
}

QByteArray SerialTest::ReadMasterUntil(qsizetype size)
{
    QByteArray all;
    QElapsedTimer clock;
    clock.start();
    while (all.size() < size && clock.elapsed() < 3000) {
        all += ReadMaster();
        if (all.size() < size)
            QTest::qWait(5);
    }
    return all;
}

void SerialTest::WriteFrame(const QByteArray& frame, int expected)
{
    QCOMPARE(m_port->Write(reinterpret_cast<const uint8_t*>(frame.constData()), frame.size()), expected);
}

void SerialTest::openSetsRawLineAtStandardRates()
{
    const termios cooked = SlaveSettings();
    QVERIFY(cooked.c_lflag & ICANON);

    QVERIFY(m_port->Open(3, 115200));
    QVERIFY(m_port->IsOpen());
    QCOMPARE(m_port->Port(), 3u);
    QCOMPARE(m_port->PortName(), m_dir->filePath(QStringLiteral("COM3")));

    // A pty keeps the speed and the stop bits it is given but forces CS8 and clears PARENB
    // whatever it is asked: the rate and 8N1 are read back, parity could not tell a fault apart.
    termios raw = SlaveSettings();
    QCOMPARE(cfgetospeed(&raw), speed_t(B115200));
    QCOMPARE(cfgetispeed(&raw), speed_t(B115200));
    QCOMPARE(raw.c_cflag & CSIZE, tcflag_t(CS8));
    QCOMPARE(raw.c_cflag & (PARENB | CSTOPB), tcflag_t(0));
    QCOMPARE(raw.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
    QCOMPARE(raw.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), tcflag_t(0));
    QCOMPARE(raw.c_iflag & (IXON | ICRNL | INLCR | ISTRIP), tcflag_t(0));
    QCOMPARE(raw.c_oflag & OPOST, tcflag_t(0));
    QCOMPARE(int(raw.c_cc[VMIN]), 0);
    QCOMPARE(int(raw.c_cc[VTIME]), 0);

    // Raw in both directions: control and line-end bytes pass untouched.
    const QByteArray awkward = QByteArray::fromHex("030A0D111304157F1A00FF");
    QCOMPARE(m_port->Write(reinterpret_cast<const uint8_t*>(awkward.constData()), awkward.size()), awkward.size());
    QCOMPARE(ReadMasterUntil(awkward.size()), awkward);
    WriteMaster(awkward);
    QByteArray echoed(64, 0);
    QTRY_COMPARE(m_port->QueuedBytes(), awkward.size());
    QCOMPARE(m_port->ReadAvailable(reinterpret_cast<uint8_t*>(echoed.data()), echoed.size(), 10), awkward.size());
    QCOMPARE(echoed.left(awkward.size()), awkward);

    for (const auto& [baud, speed] :
        { std::pair { 9600, B9600 }, { 19200, B19200 }, { 57600, B57600 }, { 230400, B230400 }, { 921600, B921600 } }) {
        QVERIFY2(m_port->Open(3, baud), qPrintable(QString::number(baud)));
        const termios settings = SlaveSettings();
        QCOMPARE(cfgetospeed(&settings), speed_t(speed));
    }

    QVERIFY(!m_port->Open(3, 12345));
    QVERIFY(!m_port->IsOpen());

    // Close gives the device back as it was found.
    QVERIFY(m_port->Open(3, 9600));
    QVERIFY(m_port->Close());
    const termios restored = SlaveSettings();
    QCOMPARE(restored.c_lflag, cooked.c_lflag);
    QCOMPARE(restored.c_cflag, cooked.c_cflag);
}

void SerialTest::openRefusesBadPortsAndMissingDevices()
{
    QVERIFY(m_port->Open(3, 9600));
    QVERIFY(!m_port->Open(0, 9600));
    QVERIFY(!m_port->Open(1025, 9600));
    QVERIFY(m_port->IsOpen());
    QCOMPARE(m_port->Port(), 3u);
    QCOMPARE(m_port->Write(reinterpret_cast<const uint8_t*>(StatusPoll.constData()), StatusPoll.size()), 8);
    QCOMPARE(ReadMasterUntil(StatusPoll.size()), StatusPoll);

    // The port is claimed: a second opener of the same device is refused while we hold it.
    cnComm other;
    if (geteuid() != 0)
        QVERIFY(!other.Open(3, 9600));

    // COM4 names a device that is not there; the old port is closed all the same.
    QVERIFY(QFile::link(QStringLiteral("/dev/no-such-serial-device"), m_dir->filePath(QStringLiteral("COM4"))));
    QCOMPARE(cnComm::DevicePath(4, m_dir->path() + QLatin1Char('/')), m_dir->filePath(QStringLiteral("COM4")));
    QVERIFY(!m_port->Open(4, 9600));
    QVERIFY(!m_port->IsOpen());
    QCOMPARE(cnComm::DevicePath(5, m_dir->path() + QLatin1Char('/')), QStringLiteral("/dev/ttyS4"));

    // After we let go, the device can be opened again, by anyone.
    QVERIFY(other.Open(3, 9600));
    QVERIFY(other.Close());
    QVERIFY(m_port->Open(3, 9600));
}

void SerialTest::closedPortDoesNothing()
{
    DebugLines debug;
    uint8_t buffer[16] = {};
    QCOMPARE(m_port->Write(reinterpret_cast<const uint8_t*>(StatusPoll.constData()), StatusPoll.size()), 0);
    QCOMPARE(m_port->QueuedBytes(), 0);
    QCOMPARE(m_port->ReadSome(buffer, 16, 10), 0);
    QCOMPARE(m_port->ReadAvailable(buffer, 16, 10), 0);
    QVERIFY(!m_port->SetState(9600, 8, 'N', 1));
    QVERIFY(!m_port->Close());

    QVERIFY(m_port->Open(3, 9600));
    WriteMaster(StatusPoll);
    QTRY_COMPARE(m_port->QueuedBytes(), 8);
    QVERIFY(m_port->Close());
    QCOMPARE(m_port->QueuedBytes(), 0);
    QCOMPARE(m_port->ReadAvailable(buffer, 16, 10), 0);
    QCOMPARE(m_port->Write(reinterpret_cast<const uint8_t*>(StatusPoll.constData()), StatusPoll.size()), 0);
    QVERIFY(!QFile::exists(m_dir->filePath(LinkLogName)));
    QVERIFY(debug.Containing("Uart").isEmpty());
    QVERIFY(!cnComm::Instance().IsOpen());
}

void SerialTest::notifiesAfterDelayOncePerArrival()
{
    Receiver window;
    m_port->SetNotifyWindow(&window);
    m_port->SetDelay(200);
    QVERIFY(m_port->Open(3, 115200));

    // Nobody reads: the waiting bytes must not turn into a stream of notifications.
    const qint64 sent = window.Since();
    WriteMaster(StatusPoll);
    QTRY_COMPARE_WITH_TIMEOUT(window.times.size(), 1, 3000);
    QVERIFY2(window.times[0] - sent >= 190, qPrintable(QString::number(window.times[0] - sent)));
    QCOMPARE(window.ports[0], quintptr(3));
    QTest::qWait(500);
    QCOMPARE(window.times.size(), 1);

    // New bytes behind the unread ones are a new arrival.
    WriteMaster(StatusPoll);
    QTRY_COMPARE_WITH_TIMEOUT(window.times.size(), 2, 3000);
    QCOMPARE(m_port->QueuedBytes(), 16);

    // Once read, the line is quiet until the next arrival.
    uint8_t buffer[64];
    QCOMPARE(m_port->ReadAvailable(buffer, sizeof buffer, 10), 16);
    QTest::qWait(500);
    QCOMPARE(window.times.size(), 2);
    WriteMaster(StatusPoll);
    QTRY_COMPARE_WITH_TIMEOUT(window.times.size(), 3, 3000);
    m_port->SetNotifyWindow(nullptr);
}

void SerialTest::frameWithinDelayIsReadByOneNotification()
{
    Receiver window;
    QList<QByteArray> reads;
    window.onNotify = [&] {
        QByteArray buffer(256, 0);
        const int got = m_port->ReadAvailable(reinterpret_cast<uint8_t*>(buffer.data()), buffer.size(), 10);
        reads.append(buffer.left(got));
    };
    m_port->SetNotifyWindow(&window);
    m_port->SetDelay(50);
    QVERIFY(m_port->Open(3, 115200));

    WriteMaster(StatusPoll.left(3));
    QThread::msleep(20);
    WriteMaster(StatusPoll.mid(3));
    QTRY_VERIFY_WITH_TIMEOUT(!reads.isEmpty(), 3000);
    QCOMPARE(reads.first(), StatusPoll);
    QTest::qWait(200);
    for (const QByteArray& later : reads.mid(1))
        QVERIFY(later.isEmpty());
    m_port->SetNotifyWindow(nullptr);
}

void SerialTest::readerWithSmallBufferIsNotifiedForTheRest()
{
    Receiver window;
    QByteArray read;
    window.onNotify = [&] {
        uint8_t buffer[3];
        const int got = m_port->ReadAvailable(buffer, sizeof buffer, 10);
        read.append(reinterpret_cast<const char*>(buffer), got);
    };
    m_port->SetNotifyWindow(&window);
    m_port->SetDelay(5);
    QVERIFY(m_port->Open(3, 115200));
    const QByteArray burst = StatusPoll + StatusPoll;
    WriteMaster(burst);
    QTRY_COMPARE_WITH_TIMEOUT(read, burst, 3000);
    m_port->SetNotifyWindow(nullptr);
}

void SerialTest::closeEndsWaitingWatcherAtOnce()
{
    // Bounds far below the delay: a watcher that is not woken sleeps the whole second or forever.
    Receiver window;
    m_port->SetNotifyWindow(&window);
    m_port->SetDelay(1000);

    QVERIFY(m_port->Open(3, 9600));
    QThread::msleep(50);
    QElapsedTimer closing;
    closing.start();
    QVERIFY(m_port->Close());
    QVERIFY2(closing.elapsed() < 300, qPrintable(QString::number(closing.elapsed())));

    // Stopped in the middle of the notification delay: no notification follows.
    QVERIFY(m_port->Open(3, 9600));
    WriteMaster(StatusPoll);
    QThread::msleep(100);
    closing.restart();
    QVERIFY(m_port->Close());
    QVERIFY2(closing.elapsed() < 300, qPrintable(QString::number(closing.elapsed())));
    QTest::qWait(1200);
    QVERIFY(window.times.isEmpty());
}

void SerialTest::hungUpLineFailsQuietly()
{
    DebugLines debug;
    Receiver window;
    m_port->SetNotifyWindow(&window);
    QVERIFY(m_port->Open(3, 9600));
    ::close(m_master);
    m_master = -1;

    // A hung-up line stays readable to poll for ever; the watcher must not spin on it.
    const auto cpuMs = [] {
        rusage usage {};
        getrusage(RUSAGE_SELF, &usage);
        return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000
            + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
    };
    const long before = cpuMs();
    QTest::qWait(500);
    QVERIFY2(cpuMs() - before < 250, qPrintable(QString::number(cpuMs() - before)));
    QVERIFY(window.times.isEmpty());

    uint8_t buffer[16];
    QCOMPARE(m_port->ReadAvailable(buffer, sizeof buffer, 10), 0);
    WriteFrame(StatusPoll, 0);
    QCOMPARE(debug.Containing("Uart Write failed").size(), 1);
    QCOMPARE(debug.Containing("Uart Write [8]").size(), 1);
    QElapsedTimer closing;
    closing.start();
    QVERIFY(m_port->Close());
    QVERIFY(closing.elapsed() < 300);
    m_port->SetNotifyWindow(nullptr);
}

void SerialTest::linkLogRecordsEveryTransfer()
{
    DebugLines debug;
    QVERIFY(m_port->Open(3, 9600));
    QCOMPARE(m_port->Write(reinterpret_cast<const uint8_t*>(StatusPoll.constData()), StatusPoll.size()), 8);

    const QRegularExpression writeLine(
        QStringLiteral("^[0-2]\\d:[0-5]\\d:[0-5]\\d Uart Write \\[8\\]C8 01 01 C9 03 01 00 35 \r\n$"));
    QByteArray log = LinkLog();
    QVERIFY2(writeLine.match(QString::fromLatin1(log)).hasMatch(), log.constData());
    QCOMPARE(debug.Containing("Uart"), QList<QByteArray> { "Uart Write [8]C8 01 01 C9 03 01 00 35 " });

    // Nothing waiting: nothing read, nothing recorded.
    uint8_t buffer[64];
    QCOMPARE(m_port->ReadAvailable(buffer, sizeof buffer, 10), 0);
    QCOMPARE(LinkLog(), log);

    const QByteArray reply = QByteArray::fromHex("C80101C90401AB00");
    WriteMaster(reply);
    QTRY_COMPARE(m_port->QueuedBytes(), reply.size());
    // A read that fills the buffer leaves the rest for the next one and records what it moved.
    QCOMPARE(m_port->ReadAvailable(buffer, 5, 10), 5);
    QCOMPARE(m_port->ReadAvailable(buffer + 5, 59, 10), 3);
    QCOMPARE(QByteArray(reinterpret_cast<const char*>(buffer), 8), reply);
    const QList<QByteArray> lines = LinkLog().split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines[1].mid(8), QByteArray(" Uart Read [5]C8 01 01 C9 04 \r"));
    QCOMPARE(lines[2].mid(8), QByteArray(" Uart Read [3]01 AB 00 \r"));
    QCOMPARE(debug.Containing("Uart Read"),
        (QList<QByteArray> { "Uart Read [5]C8 01 01 C9 04 ", "Uart Read [3]01 AB 00 " }));

    // A log that cannot be opened loses the line, never the frame.
    QVERIFY(QFile::remove(m_dir->filePath(LinkLogName)));
    QVERIFY(QDir(m_dir->path()).mkdir(LinkLogName));
    ReadMaster();
    QCOMPARE(m_port->Write(reinterpret_cast<const uint8_t*>(StatusPoll.constData()), StatusPoll.size()), 8);
    QCOMPARE(ReadMasterUntil(StatusPoll.size()), StatusPoll);
    QCOMPARE(debug.Containing("Uart Write").size(), 2);
}

void SerialTest::writeToStuckLineNeverBlocksAndGivesUp()
{
    DebugLines debug;
    QVERIFY(m_port->Open(3, 115200));
    const QByteArray filled = FillLine();
    QVERIFY(!filled.isEmpty());

    // Writes on a full line return at once, and each is logged.
    const QByteArray frame(300, 'W');
    QElapsedTimer clock;
    clock.start();
    WriteFrame(frame, 0);
    for (int i = 0; i < 3; ++i)
        WriteFrame(StatusPoll, 0);
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(debug.Containing("Uart Write [").size(), 4);
    QVERIFY(debug.Containing("timeout").isEmpty());

    // The stuck frame and the three polls queued behind it are given up, each with its own line.
    QTRY_COMPARE_WITH_TIMEOUT(debug.Containing("timeout").size(), 4, 5000);
    QVERIFY2(clock.elapsed() >= 1900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(debug.Containing("timeout").first(), QByteArray("Uart Write timeout, 300 of 300 bytes dropped"));
    QCOMPARE(debug.Containing("timeout").last(), QByteArray("Uart Write timeout, 8 of 8 bytes dropped"));

    // The line drains: what it had taken arrives, the dropped frames never do, and it works again.
    QCOMPARE(DrainMaster(), filled);
    WriteFrame(StatusPoll, 8);
    QCOMPARE(ReadMasterUntil(StatusPoll.size()), StatusPoll);
}

void SerialTest::queuedOutputLeavesInOrderWhenLineDrains()
{
    DebugLines debug;
    QVERIFY(m_port->Open(3, 115200));
    QByteArray expected = FillLine();
    for (int i = 0; i < 20; ++i) {
        const QByteArray frame(700, static_cast<char>('a' + i));
        WriteFrame(frame, 0);
        expected += frame;
    }

    // The far end reads slowly; the rest goes out from the event loop as room appears.
    QCOMPARE(DrainMaster(), expected);
    QVERIFY(debug.Containing("dropped").isEmpty());

    // Closing with output still queued says how much was lost.
    FillLine();
    WriteFrame(StatusPoll, 0);
    QVERIFY(m_port->Close());
    QCOMPARE(debug.Containing("Uart closed"), QList<QByteArray> { "Uart closed, 8 unsent bytes dropped" });
}

QTEST_GUILESS_MAIN(SerialTest)
#include "SerialTest.moc"
