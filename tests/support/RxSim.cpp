#include "RxSim.h"

#include <QDeadlineTimer>
#include <QMap>
#include <csignal>

namespace testsupport {
namespace {

QMap<QString, QString> KeyValues(const QString& line)
{
    static const QRegularExpression pair(QStringLiteral("(\\w+)=(?:\"([^\"]*)\"|(\\S*))"));
    QMap<QString, QString> values;
    for (const QRegularExpressionMatch& m : pair.globalMatch(line))
        values.insert(m.captured(1), m.capturedStart(2) >= 0 ? m.captured(2) : m.captured(3));
    return values;
}

} // namespace

RxSim::~RxSim()
{
    if (IsRunning())
        Stop();
}

QString RxSim::Program() { return qEnvironmentVariable("TESSARO_RXSIM"); }

bool RxSim::IsRunning() const { return m_process.state() != QProcess::NotRunning; }

bool RxSim::Start(const QStringList& options, int timeoutMs)
{
    m_error.clear();
    m_partial.clear();
    m_lines.clear();
    m_stderr.clear();
    m_receivers.clear();
    m_ready = false;
    const QString program = Program();
    if (program.isEmpty()) {
        m_error = QStringLiteral("TESSARO_RXSIM is not set (the path of tessaro-rxsim)");
        return false;
    }
    m_started = false;
    m_process.start(program, options);
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("%1 did not start: %2").arg(program, m_process.errorString());
        return false;
    }
    m_started = true;
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_ready) {
        if (!IsRunning()) {
            m_process.waitForFinished(0);
            TakeOutput();
            m_error = QStringLiteral("tessaro-rxsim ended (exit code %1) before READY: %2")
                          .arg(m_process.exitCode())
                          .arg(m_stderr.trimmed());
            return false;
        }
        if (deadline.hasExpired()) {
            TakeOutput();
            m_error = QStringLiteral("no READY within %1 ms: %2").arg(timeoutMs).arg(m_stderr.trimmed());
            Stop();
            return false;
        }
        m_process.waitForReadyRead(static_cast<int>(qMin<qint64>(deadline.remainingTime(), 100)));
        TakeOutput();
    }
    return true;
}

bool RxSim::ParseAnnouncement(const QString& line)
{
    const QMap<QString, QString> v = KeyValues(line);
    if (line.startsWith(QLatin1String("RECEIVER "))) {
        RxSimReceiver r;
        r.Rxid = v.value("rxid").toInt();
        r.Ip = v.value("ip");
        r.Port = v.value("port").toInt();
        r.Channels = v.value("channels").toInt();
        r.StartFreq = v.value("start");
        r.FirstChannel = v.value("first").toInt();
        r.LastChannel = v.value("last").toInt();
        r.Band = v.value("band");
        r.HWVer = v.value("hw");
        r.SWVer = v.value("sw");
        r.Name = v.value("name");
        for (const QString& channel : v.value("busy").split(u'/', Qt::SkipEmptyParts))
            if (channel != QLatin1String("none"))
                r.Busy.append(channel.toInt());
        m_receivers.append(r);
        return false;
    }
    if (!line.startsWith(QLatin1String("READY ")))
        return false;
    const QString udp = v.value("udp");
    m_port = udp == QLatin1String("none") ? 0 : udp.section(u',', 0, 0).section(u':', 1).toInt();
    m_broadcast = v.value("broadcast") == QLatin1String("none") ? QString() : v.value("broadcast");
    m_serialPath = v.value("serial") == QLatin1String("none") ? QString() : v.value("serial");
    return true;
}

void RxSim::TakeOutput()
{
    m_stderr += QString::fromUtf8(m_process.readAllStandardError());
    m_partial += m_process.readAllStandardOutput();
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_partial.left(end));
        m_partial.remove(0, end + 1);
        if (m_ready)
            m_lines.append(line);
        else
            m_ready = ParseAnnouncement(line);
    }
}

const RxSimReceiver* RxSim::Receiver(int rxid) const
{
    for (const RxSimReceiver& r : m_receivers) {
        if (r.Rxid == rxid)
            return &r;
    }
    return nullptr;
}

QStringList RxSim::Output()
{
    TakeOutput();
    return m_lines;
}

QString RxSim::ErrorOutput()
{
    TakeOutput();
    return m_stderr;
}

bool RxSim::WaitForLine(const QRegularExpression& pattern, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    qsizetype checked = 0;
    for (;;) {
        TakeOutput();
        for (; checked < m_lines.size(); ++checked) {
            if (pattern.match(m_lines[checked]).hasMatch())
                return true;
        }
        if (deadline.hasExpired() || !IsRunning())
            return false;
        m_process.waitForReadyRead(static_cast<int>(qMin<qint64>(deadline.remainingTime(), 50)));
    }
}

int RxSim::Stop(int timeoutMs)
{
    if (!IsRunning())
        return m_started && m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    ::kill(static_cast<pid_t>(m_process.processId()), SIGTERM);
    if (!m_process.waitForFinished(timeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(2000);
        TakeOutput();
        return -1;
    }
    TakeOutput();
    return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
}

} // namespace testsupport
