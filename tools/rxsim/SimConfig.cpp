#include "SimConfig.h"

#include "lang/Gbk.h"

#include <QCommandLineParser>
#include <QFile>
#include <QRegularExpression>
#include <arpa/inet.h>
#include <map>

namespace
{

constexpr int MaxRxid = 254; // 255 addresses the device search
constexpr int NameBytes = 12;

struct Template {
    int Channels;
    const char* StartFreq;
    int First;
    int Last;
    char Band;
    const char* Name; // UTF-8
    const char* HW;
    const char* SW;
};

// Four receivers on different bands, 2 or 4 channels each.
constexpr Template Templates[] = {
    { 2, "640.0", 0, 99, 'A', "主舞台", "H1", "S3" },
    { 4, "740.5", 4, 80, 'B', "Lectern", "H2", "S1" },
    { 2, "520.125", 1, 96, 'C', "会议室", "H1", "S2" },
    { 4, "470.25", 0, 63, 'D', "Studio", "H3", "S4" },
};
constexpr int TemplateCount = static_cast<int>(std::size(Templates));

// Splits "a=1, b=\"x y\"" into key/value pairs; values may be double-quoted.
bool SplitPairs(const QString& text, std::vector<std::pair<QString, QString>>& pairs, QString* error)
{
    int i = 0;
    const int n = static_cast<int>(text.size());
    auto isSeparator = [](QChar c) { return c == u',' || c.isSpace(); };
    while (i < n) {
        while (i < n && isSeparator(text[i]))
            ++i;
        if (i >= n)
            break;
        const int keyStart = i;
        while (i < n && text[i] != u'=' && !isSeparator(text[i]))
            ++i;
        const QString key = text.mid(keyStart, i - keyStart).toLower();
        if (i >= n || text[i] != u'=') {
            *error = QStringLiteral("\"%1\" is not key=value").arg(key);
            return false;
        }
        ++i;
        QString value;
        if (i < n && text[i] == u'"') {
            const int close = static_cast<int>(text.indexOf(u'"', i + 1));
            if (close < 0) {
                *error = QStringLiteral("unterminated quote in the value of %1").arg(key);
                return false;
            }
            value = text.mid(i + 1, close - i - 1);
            i = close + 1;
        } else {
            const int valueStart = i;
            while (i < n && !isSeparator(text[i]))
                ++i;
            value = text.mid(valueStart, i - valueStart);
        }
        pairs.emplace_back(key, value);
    }
    return true;
}

bool ParseInt(const QString& text, int low, int high, int* out)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < low || value > high)
        return false;
    *out = value;
    return true;
}

// The integer and fraction words of a frequency: the fraction word's decimal digits are the
// digits after the point, so 640.125 is 640 and 125, 640.5 is 640 and 5.
bool ParseStartFreq(const QString& text, ReceiverSetup& setup, QString* error)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})(?:\\.(\\d+))?$"));
    const QRegularExpressionMatch match = pattern.match(text);
    const int integer = match.hasMatch() ? match.captured(1).toInt() : -1;
    if (integer < 0 || integer > 65535) {
        *error = QStringLiteral("start=%1 is not a frequency in MHz (0 to 65535, e.g. 640.125)").arg(text);
        return false;
    }
    QString digits = match.captured(2);
    while (digits.endsWith(u'0'))
        digits.chop(1);
    if (digits.startsWith(u'0')) {
        *error = QStringLiteral("start=%1 cannot be sent: the first decimal digit of the fraction must not be 0")
                     .arg(text);
        return false;
    }
    const int fraction = digits.isEmpty() ? 0 : (digits.size() <= 5 ? digits.toInt() : 65536);
    if (fraction > 65535) {
        *error = QStringLiteral("start=%1 has too many decimal digits for the fraction word").arg(text);
        return false;
    }
    setup.StartFreqText = text;
    setup.FreqInteger = static_cast<uint16_t>(integer);
    setup.FreqFraction = static_cast<uint16_t>(fraction);
    return true;
}

bool ParseTwoCharacters(const QString& key, const QString& value, QByteArray* out, QString* error)
{
    const QByteArray bytes = value.toLatin1();
    if (value.size() != 2 || bytes.size() != 2 || bytes[0] < 0x20 || bytes[1] < 0x20) {
        *error = QStringLiteral("%1=%2: two printable ASCII characters expected").arg(key, value);
        return false;
    }
    *out = bytes;
    return true;
}

bool SetName(const QString& value, ReceiverSetup& setup, QString* error)
{
    const QByteArray gbk = ToGbk(value);
    if (value.isEmpty() || gbk.size() > NameBytes || value.contains(u'"') || FromGbk(gbk) != value) {
        *error = QStringLiteral("name=%1: 1 to 12 bytes in GBK expected, without double quotes").arg(value);
        return false;
    }
    setup.Name = value;
    setup.NameGbk = gbk;
    return true;
}

// "12/30/31": channel numbers separated by '/'; "none": no busy channel at all. Checked against
// the band once every key is read.
bool ParseBusy(const QString& value, ReceiverSetup& setup, QString* error)
{
    setup.BusyChannels.clear();
    setup.BusyGiven = true;
    if (value == u"none")
        return true;
    for (const QString& part : value.split(u'/')) {
        int channel = 0;
        if (!ParseInt(part, 0, 255, &channel)) {
            *error = QStringLiteral("busy=%1: channel numbers 0 to 255 separated by '/' expected").arg(value);
            return false;
        }
        setup.BusyChannels.insert(channel);
    }
    return true;
}

bool ApplyPair(const QString& key, const QString& value, ReceiverSetup& setup, QString* error)
{
    auto badNumber = [&](const char* range) {
        *error = QStringLiteral("%1=%2: %3 expected").arg(key, value, QLatin1String(range));
        return false;
    };
    if (key == u"rxid")
        return ParseInt(value, 0, MaxRxid, &setup.Rxid) || badNumber("0 to 254");
    if (key == u"ip") {
        if (!ParseIpv4(value, &setup.Ip)) {
            *error = QStringLiteral("ip=%1 is not a dotted IPv4 address").arg(value);
            return false;
        }
        return true;
    }
    if (key == u"channels")
        return ParseInt(value, 1, 255, &setup.Channels) || badNumber("1 to 255");
    if (key == u"start")
        return ParseStartFreq(value, setup, error);
    if (key == u"first")
        return ParseInt(value, 0, 255, &setup.FirstChannel) || badNumber("0 to 255");
    if (key == u"last")
        return ParseInt(value, 0, 255, &setup.LastChannel) || badNumber("0 to 255");
    if (key == u"band") {
        const QByteArray letter = value.toLatin1();
        if (value.size() != 1 || letter.size() != 1 || letter[0] <= 0x20) {
            *error = QStringLiteral("band=%1: one ASCII character expected").arg(value);
            return false;
        }
        setup.Band = letter[0];
        return true;
    }
    if (key == u"name")
        return SetName(value, setup, error);
    if (key == u"hw")
        return ParseTwoCharacters(key, value, &setup.HWVer, error);
    if (key == u"sw")
        return ParseTwoCharacters(key, value, &setup.SWVer, error);
    if (key == u"busy")
        return ParseBusy(value, setup, error);
    *error = QStringLiteral("unknown key \"%1\" (rxid, ip, channels, start, first, last, band, name, hw, sw, busy)")
                 .arg(key);
    return false;
}

bool CheckUnique(const std::vector<ReceiverSetup>& receivers, QString* error)
{
    std::map<int, int> rxids;
    std::map<uint32_t, int> ips;
    for (size_t i = 0; i < receivers.size(); ++i) {
        const ReceiverSetup& r = receivers[i];
        if (!rxids.emplace(r.Rxid, static_cast<int>(i)).second) {
            *error = QStringLiteral("two receivers have RXID %1").arg(r.Rxid);
            return false;
        }
        if (!ips.emplace(r.Ip, static_cast<int>(i)).second) {
            *error = QStringLiteral("two receivers have the address %1").arg(Ipv4Text(r.Ip));
            return false;
        }
    }
    return true;
}

bool ParseShare(const QString& name, const QString& text, double* out, QString* error)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || value < 0.0 || value > 1.0) {
        *error = QStringLiteral("--%1 %2: a share from 0 to 1 expected").arg(name, text);
        return false;
    }
    *out = value;
    return true;
}

bool ParseOptionInt(const QString& name, const QString& text, int low, int high, int* out, QString* error)
{
    if (ParseInt(text, low, high, out))
        return true;
    *error = QStringLiteral("--%1 %2: a whole number from %3 to %4 expected").arg(name, text).arg(low).arg(high);
    return false;
}

bool ParseRxidList(const QString& text, std::set<int>& out, QString* error)
{
    for (const QString& item : text.split(u',', Qt::SkipEmptyParts)) {
        int rxid = 0;
        if (!ParseInt(item.trimmed(), 0, MaxRxid, &rxid)) {
            *error = QStringLiteral("--silent-rx %1: a comma-separated list of RXIDs expected").arg(text);
            return false;
        }
        out.insert(rxid);
    }
    return true;
}

// "rxid:devidx" items, comma-separated.
bool ParseChannelList(const QString& text, std::set<std::pair<int, int>>& out, QString* error)
{
    for (const QString& item : text.split(u',', Qt::SkipEmptyParts)) {
        const QStringList parts = item.trimmed().split(u':');
        int rxid = 0;
        int devIdx = 0;
        if (parts.size() != 2 || !ParseInt(parts[0], 0, MaxRxid, &rxid) || !ParseInt(parts[1], 1, 255, &devIdx)) {
            *error = QStringLiteral("--no-set-ack %1: a comma-separated list of RXID:DevIdx expected").arg(text);
            return false;
        }
        out.emplace(rxid, devIdx);
    }
    return true;
}

// "RXID@FROM" or "RXID@FROM-TO", in seconds after the start.
bool ParseEpisode(const QString& option, const QString& text, bool withEnd, TimedEpisode& out, QString* error)
{
    const QStringList parts = text.split(u'@');
    const QStringList times = parts.value(1).split(u'-');
    bool fromOk = false;
    bool toOk = times.size() == 1;
    out.FromSeconds = times.value(0).toDouble(&fromOk);
    if (times.size() == 2)
        out.ToSeconds = times.value(1).toDouble(&toOk);
    const bool ok = parts.size() == 2 && ParseInt(parts[0].trimmed(), 0, MaxRxid, &out.Rxid) && fromOk && toOk
        && out.FromSeconds >= 0.0 && (withEnd || times.size() == 1)
        && (out.ToSeconds < 0.0 || out.ToSeconds > out.FromSeconds);
    if (!ok)
        *error = withEnd ? QStringLiteral("--%1 %2: RXID@FROM or RXID@FROM-TO (seconds) expected").arg(option, text)
                         : QStringLiteral("--%1 %2: RXID@SECONDS expected").arg(option, text);
    return ok;
}

bool ParseEpisodes(const QString& option, const QStringList& values, bool withEnd, std::vector<TimedEpisode>& out,
    QString* error)
{
    for (const QString& text : values) {
        TimedEpisode episode;
        if (!ParseEpisode(option, text, withEnd, episode, error))
            return false;
        out.push_back(episode);
    }
    return true;
}

} // namespace

QString Ipv4Text(uint32_t hostOrder)
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(hostOrder >> 24)
        .arg((hostOrder >> 16) & 0xFF)
        .arg((hostOrder >> 8) & 0xFF)
        .arg(hostOrder & 0xFF);
}

bool ParseIpv4(const QString& text, uint32_t* hostOrder)
{
    in_addr address {};
    if (inet_pton(AF_INET, text.toLatin1().constData(), &address) != 1)
        return false;
    *hostOrder = ntohl(address.s_addr);
    return true;
}

ReceiverSetup DefaultReceiver(int index)
{
    const Template& t = Templates[index % TemplateCount];
    ReceiverSetup setup;
    setup.Rxid = index + 1;
    setup.Ip = 0x7F000002u + static_cast<uint32_t>(index); // 127.0.0.2, 127.0.0.3, ...
    setup.Channels = t.Channels;
    QString ignored;
    ParseStartFreq(QString::fromLatin1(t.StartFreq), setup, &ignored);
    setup.FirstChannel = t.First;
    setup.LastChannel = t.Last;
    setup.Band = t.Band;
    QString name = QString::fromUtf8(t.Name);
    if (index >= TemplateCount)
        name += QString::number(index + 1);
    SetName(name, setup, &ignored);
    setup.HWVer = t.HW;
    setup.SWVer = t.SW;
    return setup;
}

bool ParseReceiverSetup(const QString& text, int index, ReceiverSetup& setup, QString* error)
{
    std::vector<std::pair<QString, QString>> pairs;
    if (!SplitPairs(text, pairs, error))
        return false;
    if (pairs.empty()) {
        *error = QStringLiteral("empty receiver description");
        return false;
    }
    setup = DefaultReceiver(index);
    for (const auto& [key, value] : pairs) {
        if (!ApplyPair(key, value, setup, error))
            return false;
    }
    if (setup.LastChannel < setup.FirstChannel) {
        *error = QStringLiteral("last=%1 lies below first=%2").arg(setup.LastChannel).arg(setup.FirstChannel);
        return false;
    }
    for (int channel : setup.BusyChannels) {
        if (channel < setup.FirstChannel || channel > setup.LastChannel) {
            *error = QStringLiteral("busy channel %1 lies outside the band %2..%3")
                         .arg(channel)
                         .arg(setup.FirstChannel)
                         .arg(setup.LastChannel);
            return false;
        }
    }
    return true;
}

bool LoadReceiverFile(const QString& path, int firstIndex, std::vector<ReceiverSetup>& out, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return false;
    }
    int lineNumber = 0;
    while (!file.atEnd()) {
        ++lineNumber;
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        ReceiverSetup setup;
        QString why;
        if (!ParseReceiverSetup(line, firstIndex + static_cast<int>(out.size()), setup, &why)) {
            *error = QStringLiteral("%1:%2: %3").arg(path).arg(lineNumber).arg(why);
            return false;
        }
        out.push_back(setup);
    }
    return true;
}

ParseOutcome ParseCommandLine(const QStringList& arguments, SimOptions& options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Plays wireless-microphone receivers over UDP and a serial line for Tessaro's tests and demo."));
    const QCommandLineOption help({ "h", "help" }, "Show this help.");
    const QCommandLineOption version("version", "Show the version.");
    const QCommandLineOption rx("rx",
        "One receiver: key=value pairs (rxid, ip, channels, start, first, last, band, name, hw, sw). Repeatable.",
        "setup");
    const QCommandLineOption config("config", "Receivers from a file, one per line.", "file");
    const QCommandLineOption receivers("receivers", "Play n built-in receivers (default 4).", "n");
    const QCommandLineOption port("port", "UDP port of every receiver (default 5000; 0 picks a free one).", "port");
    const QCommandLineOption noUdp("no-udp", "No UDP sockets.");
    const QCommandLineOption noBroadcast(
        "no-broadcast", "No 0.0.0.0 socket for broadcasts, even in a private network namespace.");
    const QCommandLineOption netnsAddresses(
        "netns-addresses", "Add receiver addresses outside 127/8 to lo (private network namespace only).");
    const QCommandLineOption pty("pty", "Create a pseudo-terminal for the serial bus and print its path.");
    const QCommandLineOption serial("serial", "Use this serial device for the bus.", "path");
    const QCommandLineOption baud("baud", "Serial baud rate (default 9600).", "rate");
    const QCommandLineOption busGap(
        "bus-gap", "Milliseconds between the answers to a search on the serial bus (default 15).", "ms");
    const QCommandLineOption seed("seed", "Seed of every random choice (default 1).", "n");
    const QCommandLineOption scanInterval("scan-interval", "Milliseconds per scan point (default 20).", "ms");
    const QCommandLineOption scanPoints("scan-points",
        "Points per sweep, going round the band as often as needed (default: the band once).", "n");
    const QCommandLineOption busyShare(
        "busy-share", "Share of a band's channels busy in a scan (default 0.15).", "share");
    const QCommandLineOption syncDelay("sync-delay", "Milliseconds before the Sync Tx result (default 1500).", "ms");
    const QCommandLineOption syncFail("sync-fail", "Sync Tx fails (result 2).");
    const QCommandLineOption rfStorm("rf-storm", "Levels wander far below the squelch level now and then.");
    const QCommandLineOption battery(
        "battery-drain", "Seconds per battery step 3 -> 2 -> 1 (default 300; 0 never drains).", "seconds");
    const QCommandLineOption drop("drop", "Share of replies dropped (seeded).", "share");
    const QCommandLineOption delay("delay", "Milliseconds every reply is held back.", "ms");
    const QCommandLineOption jitter("jitter", "Up to this many more milliseconds of random delay.", "ms");
    const QCommandLineOption badCrc("bad-crc", "Share of replies sent with a wrong checksum.", "share");
    const QCommandLineOption badLen("bad-len", "Share of replies sent with a wrong Len byte.", "share");
    const QCommandLineOption garbage("garbage", "Share of replies preceded by noise bytes.", "share");
    const QCommandLineOption silent("silent", "No receiver answers.");
    const QCommandLineOption silentRx("silent-rx", "These receivers (comma-separated RXIDs) do not answer.", "rxids");
    const QCommandLineOption noSetAck("no-set-ack",
        "These channels (comma-separated RXID:DevIdx) ignore set channel: no change, no acknowledgement.",
        "channels");
    const QCommandLineOption silence("silence",
        "Receiver RXID answers nothing from FROM until TO seconds after the start (for ever without -TO). "
        "Repeatable.",
        "rxid@from[-to]");
    const QCommandLineOption rfLoss("rf-loss",
        "Receiver RXID's antennas fall far below the squelch level from FROM until TO seconds. Repeatable.",
        "rxid@from[-to]");
    const QCommandLineOption batteryEmpty("battery-empty",
        "Receiver RXID's batteries drain to their lowest level by SECONDS after the start (half-way: 2). "
        "Repeatable.",
        "rxid@seconds");
    const QCommandLineOption hexlog("hexlog", "Print every frame received and sent in hex.");
    const QCommandLineOption debugWindow("debug-window", "Also show the frames in Tessaro's debug window.");
    parser.addOptions({ help, version, rx, config, receivers, port, noUdp, noBroadcast, netnsAddresses, pty, serial,
        baud, busGap, seed, scanInterval, scanPoints, busyShare, syncDelay, syncFail, rfStorm, battery, drop, delay,
        jitter, badCrc, badLen, garbage, silent, silentRx, noSetAck, silence, rfLoss, batteryEmpty, hexlog, debugWindow });

    ParseOutcome outcome;
    auto fail = [&](const QString& why) {
        outcome.Outcome = ParseOutcome::Error;
        outcome.Text = why;
        return outcome;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()));
    if (parser.isSet(help)) {
        outcome.Outcome = ParseOutcome::Help;
        outcome.Text = parser.helpText();
        return outcome;
    }
    if (parser.isSet(version)) {
        outcome.Outcome = ParseOutcome::Version;
        return outcome;
    }

    QString why;
    auto intOption = [&](const QCommandLineOption& option, int low, int high, int* out) {
        return !parser.isSet(option)
            || ParseOptionInt(option.names().constLast(), parser.value(option), low, high, out, &why);
    };
    auto shareOption = [&](const QCommandLineOption& option, double* out) {
        return !parser.isSet(option) || ParseShare(option.names().constLast(), parser.value(option), out, &why);
    };

    std::vector<ReceiverSetup>& list = options.Receivers;
    list.clear();
    for (const QString& text : parser.values(rx)) {
        ReceiverSetup setup;
        if (!ParseReceiverSetup(text, static_cast<int>(list.size()), setup, &why))
            return fail(QStringLiteral("--rx %1: %2").arg(text, why));
        list.push_back(setup);
    }
    if (parser.isSet(config) && !LoadReceiverFile(parser.value(config), static_cast<int>(list.size()), list, &why))
        return fail(why);
    int builtIn = list.empty() ? 4 : 0;
    if (!intOption(receivers, 1, MaxRxid, &builtIn))
        return fail(why);
    for (int i = 0; i < builtIn; ++i)
        list.push_back(DefaultReceiver(static_cast<int>(list.size())));
    if (!CheckUnique(list, &why))
        return fail(why);

    options.Udp = !parser.isSet(noUdp);
    options.Broadcast = !parser.isSet(noBroadcast);
    options.NetnsAddresses = parser.isSet(netnsAddresses);
    options.Pty = parser.isSet(pty);
    options.SerialPath = parser.value(serial);
    if (options.Pty && !options.SerialPath.isEmpty())
        return fail(QStringLiteral("--pty and --serial exclude each other"));
    if (!options.Udp && !options.Pty && options.SerialPath.isEmpty())
        return fail(QStringLiteral("--no-udp needs --pty or --serial: no transport is left"));

    int seedValue = 1;
    double batterySeconds = options.BatteryStepSeconds;
    if (parser.isSet(battery)) {
        bool ok = false;
        batterySeconds = parser.value(battery).toDouble(&ok);
        if (!ok || batterySeconds < 0.0)
            return fail(QStringLiteral("--battery-drain %1: seconds (0 or more) expected").arg(parser.value(battery)));
    }
    options.BatteryStepSeconds = batterySeconds;
    FaultOptions& faults = options.Faults;
    const bool ok = intOption(port, 0, 65535, &options.Port) && intOption(baud, 50, 4000000, &options.Baud)
        && intOption(busGap, 0, 10000, &options.BusGapMs) && intOption(seed, 0, 2147483647, &seedValue)
        && intOption(scanInterval, 1, 60000, &options.ScanIntervalMs)
        && intOption(scanPoints, 1, 1000000, &options.ScanPoints) && shareOption(busyShare, &options.BusyShare)
        && intOption(syncDelay, 0, 600000, &options.SyncDelayMs) && shareOption(drop, &faults.DropShare)
        && intOption(delay, 0, 600000, &faults.DelayMs) && intOption(jitter, 0, 600000, &faults.JitterMs)
        && shareOption(badCrc, &faults.BadCrcShare) && shareOption(badLen, &faults.BadLenShare)
        && shareOption(garbage, &faults.GarbageShare)
        && (!parser.isSet(silentRx) || ParseRxidList(parser.value(silentRx), faults.SilentRxids, &why))
        && (!parser.isSet(noSetAck) || ParseChannelList(parser.value(noSetAck), faults.NoSetAck, &why));
    if (!ok)
        return fail(why);
    Scenario& script = options.Script;
    if (!ParseEpisodes(QStringLiteral("silence"), parser.values(silence), true, script.Silences, &why)
        || !ParseEpisodes(QStringLiteral("rf-loss"), parser.values(rfLoss), true, script.RfLosses, &why)
        || !ParseEpisodes(QStringLiteral("battery-empty"), parser.values(batteryEmpty), false, script.EmptyBatteries,
            &why))
        return fail(why);
    options.Seed = static_cast<uint32_t>(seedValue);
    options.SyncFail = parser.isSet(syncFail);
    options.RfStorm = parser.isSet(rfStorm);
    faults.SilentAll = parser.isSet(silent);
    options.HexLog = parser.isSet(hexlog);
    options.DebugWindow = parser.isSet(debugWindow);
    return outcome;
}
