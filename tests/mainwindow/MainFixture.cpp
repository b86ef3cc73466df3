#include "MainFixture.h"

#include "data/Clock.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "protocol/Frame.h"
#include "ui/FormMessage.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QListWidget>
#include <QStyleOptionViewItem>
#include <QTimer>
#include <QTreeWidget>
#include <arpa/inet.h>
#include <atomic>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace fixture
{

namespace
{
std::atomic<uint32_t> g_now { 0 };
uint32_t FakeTicks()
{
    return g_now.load();
}
} // namespace

void UseFakeClock(uint32_t start)
{
    g_now = start;
    SetTickSource(&FakeTicks);
}
void SetNow(uint32_t t)
{
    g_now = t;
}
void Advance(uint32_t ms)
{
    g_now += ms;
}
uint32_t Now()
{
    return g_now.load();
}
void UseRealClock()
{
    SetTickSource(nullptr);
}

MessageBoxes::MessageBoxes()
{
    SetMessageBoxHook([this](QWidget*, const QString& message, const QString& title, int flags, int timeout) {
        calls.push_back({ message, title, flags, timeout });
        if (whileShown)
            whileShown();
        if (answers.empty())
            return 1;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    });
}

MessageBoxes::~MessageBoxes()
{
    SetMessageBoxHook({});
}

ExeDir::ExeDir(const QList<StoredRecord>& records, const QByteArray& extraPublic)
{
    if (!cLanguage::Instance())
        cLanguage::Install(std::make_unique<cLanguage>());
    if (openpty(&m_master, &m_slave, nullptr, nullptr, nullptr) == 0) {
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        QFile::link(QString::fromLocal8Bit(ttyname(m_slave)), Path() + QStringLiteral("COM1"));
    }
    WriteConfig(records, extraPublic);
    PublicStruct::Install(std::make_unique<PublicStruct>(Path()));
}

ExeDir::~ExeDir()
{
    if (m_slave >= 0)
        close(m_slave);
    if (m_master >= 0)
        close(m_master);
}

QString ExeDir::Path() const
{
    return m_dir.path() + QLatin1Char('/');
}

QString ExeDir::ConfigPath() const
{
    return Path() + QStringLiteral("Config.ini");
}

QByteArray ExeDir::ConfigText() const
{
    QFile file(ConfigPath());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void ExeDir::WriteConfig(const QList<StoredRecord>& records, const QByteArray& extraPublic) const
{
    QByteArray text = "[Public]\r\nUartDelayTime=5\r\n" + extraPublic;
    if (!extraPublic.contains("UartPort="))
        text += "UartPort=1\r\n";
    text += "[History]\r\nDevCnt=" + QByteArray::number(records.size()) + "\r\n";
    for (int i = 0; i < records.size(); ++i) {
        const StoredRecord& r = records[i];
        const QByteArray n = QByteArray::number(i);
        text += "IP" + n + "=" + r.ip.toLatin1() + "\r\n";
        text += "RXID" + n + "=" + QByteArray::number(r.rxid) + "\r\n";
        text += "DevIdx" + n + "=" + QByteArray::number(r.devIdx) + "\r\n";
        text += "Band" + n + "=" + r.band.toLatin1() + "\r\n";
        text += "Channel" + n + "=" + QByteArray::number(r.channel) + "\r\n";
        text += "StartChannel" + n + "=" + QByteArray::number(r.startChannel) + "\r\n";
        text += "MaxChannel" + n + "=" + QByteArray::number(r.maxChannel) + "\r\n";
        text += "StartFreq" + n + "=" + QByteArray::number(r.startFreq, 'g', 15) + "\r\n";
        text += "Freq" + n + "=" + QByteArray::number(r.freq, 'g', 15) + "\r\n";
        text += "Name" + n + "=" + r.name.toLatin1() + "\r\n";
    }
    QFile file(ConfigPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

QString ExeDir::HistoryValue(const QString& key) const
{
    bool inHistory = false;
    for (const QByteArray& line : ConfigText().split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith('['))
            inHistory = trimmed.compare("[History]", Qt::CaseInsensitive) == 0;
        else if (inHistory && trimmed.startsWith(key.toLatin1() + "="))
            return QString::fromLatin1(trimmed.mid(key.size() + 1));
    }
    return QString();
}

// Returns once the bytes have reached the window's side of the line. Only the GUI thread reads
// them there, and it does not while this waits, so WaitSerialConsumed sees them arrive.
void ExeDir::WriteSerial(const QByteArray& bytes) const
{
    const int expected = QueuedAtWindow() + static_cast<int>(bytes.size());
    if (write(m_master, bytes.constData(), static_cast<size_t>(bytes.size())) != bytes.size())
        qWarning("pseudo-terminal write failed");
    const QDeadlineTimer deadline(2000);
    while (QueuedAtWindow() < expected && !deadline.hasExpired())
        usleep(500);
}

QByteArray ExeDir::ReadSerial(int waitMs) const
{
    QByteArray bytes;
    const QDeadlineTimer deadline(waitMs);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents();
        char buffer[512];
        const ssize_t n = read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, n);
            continue;
        }
        if (!bytes.isEmpty())
            break;
        usleep(2000);
    }
    return bytes;
}

int ExeDir::QueuedAtWindow() const
{
    int queued = 0;
    ioctl(m_slave, FIONREAD, &queued);
    return queued;
}

bool ExeDir::WaitSerialConsumed(int waitMs) const
{
    const QDeadlineTimer deadline(waitMs);
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (QueuedAtWindow() == 0) {
            QCoreApplication::processEvents();
            return true;
        }
        usleep(2000);
    } while (!deadline.hasExpired());
    return false;
}

std::unique_ptr<TFrmMain> MakeWindow(int udpPort, bool stopCycle)
{
    auto window = std::make_unique<TFrmMain>(udpPort);
    if (stopCycle)
        window->findChild<QTimer*>(QStringLiteral("Timer1"))->stop();
    return window;
}

QByteArray Frame(int rxid, int devIdx, int cmd, const QByteArray& payload)
{
    const std::vector<uint8_t> frame
        = BuildFrame(static_cast<uint8_t>(rxid), static_cast<uint8_t>(devIdx), static_cast<uint8_t>(cmd),
            reinterpret_cast<const uint8_t*>(payload.constData()), static_cast<size_t>(payload.size()));
    return QByteArray(reinterpret_cast<const char*>(frame.data()), static_cast<qsizetype>(frame.size()));
}

QByteArray StatusPayload(int channel, int battery, int audio, int rfA, int rfB, int sq, int level, int antenna)
{
    QByteArray p(9, '\0');
    const int values[] = { 0, channel, battery, audio, rfA, rfB, sq, level, antenna };
    for (int i = 0; i < 9; ++i)
        p[i] = static_cast<char>(values[i]);
    return p;
}

QByteArray DeviceInfoPayload(int freqInt, int freqFrac, int firstChannel, int lastChannel, const QByteArray& band,
    const QByteArray& name, const QByteArray& hw, const QByteArray& sw)
{
    QByteArray p(24, '\0');
    p[0] = static_cast<char>(freqInt >> 8);
    p[1] = static_cast<char>(freqInt);
    p[2] = static_cast<char>(freqFrac >> 8);
    p[3] = static_cast<char>(freqFrac);
    p[4] = static_cast<char>(firstChannel);
    p[5] = static_cast<char>(lastChannel);
    p.replace(6, 2, hw.left(2));
    p.replace(8, 2, sw.left(2));
    p[10] = band.isEmpty() ? '\0' : band[0];
    p.replace(12, std::min<qsizetype>(name.size(), 12), name.left(12));
    return p.left(24);
}

void Deliver(TFrmMain& window, const QByteArray& frame, const QString& source)
{
    window.HandleFrame(source, reinterpret_cast<const uint8_t*>(frame.constData()), static_cast<int>(frame.size()));
}

QTreeWidget* DevList(TFrmMain& window)
{
    return window.findChild<QTreeWidget*>(QStringLiteral("lbDevList"));
}

QTreeWidgetItem* Row(TFrmMain& window, int index)
{
    return DevList(window)->topLevelItem(index);
}

QColor DrawnTextColour(TFrmMain& window, int row)
{
    QStyleOptionViewItem option;
    option.palette = DevList(window)->palette();
    window.lbDevListCustomDrawItem(DevList(window)->model()->index(row, 2), option);
    return option.palette.color(QPalette::Text);
}

QStringList Messages(TFrmMain& window)
{
    QStringList lines;
    const auto* list = window.findChild<QListWidget*>(QStringLiteral("lbMsg"));
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

void SelectRow(TFrmMain& window, int index)
{
    DevList(window)->setCurrentItem(Row(window, index));
}

int RowValue(TFrmMain& window, int index)
{
    return Row(window, index)->data(0, Qt::UserRole).toInt();
}

FarEnd::FarEnd(const char* ip, int port)
{
    m_socket = socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    const int on = 1;
    setsockopt(m_socket, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = inet_addr(ip);
    if (bind(m_socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        close(m_socket);
        m_socket = -1;
    }
}

FarEnd::~FarEnd()
{
    if (m_socket >= 0)
        close(m_socket);
}

std::vector<QByteArray> FarEnd::Receive(int waitMs)
{
    std::vector<QByteArray> datagrams;
    pollfd p { m_socket, POLLIN, 0 };
    while (poll(&p, 1, datagrams.empty() ? waitMs : 20) > 0) {
        char buffer[2048];
        const ssize_t n = recv(m_socket, buffer, sizeof buffer, 0);
        if (n < 0)
            break;
        datagrams.emplace_back(buffer, n);
    }
    return datagrams;
}

bool FarEnd::SendTo(const char* ip, int port, const QByteArray& bytes) const
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = inet_addr(ip);
    return sendto(m_socket, bytes.constData(), static_cast<size_t>(bytes.size()), 0,
               reinterpret_cast<const sockaddr*>(&address), sizeof address)
        == bytes.size();
}

} // namespace fixture
