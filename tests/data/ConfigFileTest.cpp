#include "DataTestSupport.h"

#include "data/DebugPrint.h"
#include "data/DeferredSave.h"
#include "data/Device.h"
#include "data/EventLog.h"
#include "data/IniFile.h"
#include "data/LogFile.h"
#include "data/PublicStruct.h"
#include "lang/Gbk.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// DebugPrint's lines, as the debug window would get them.
class CapturedDebugLines : public DebugSink {
public:
    CapturedDebugLines() { RegisterDebugSink(this); }
    ~CapturedDebugLines() override { UnregisterDebugSink(this); }
    bool DebugAccepting() const override { return true; }
    void DebugLine(const QByteArray& gbkLine) override { lines << FromGbk(gbkLine); }
    QStringList lines;
};

// Permission bits do not stop root: a privileged test run does the guarded step as "nobody".
class UnprivilegedScope {
public:
    UnprivilegedScope()
    {
        if (::geteuid() != 0)
            return;
        if (::setegid(65534) != 0) {
            m_failed = true;
            return;
        }
        if (::seteuid(65534) != 0) {
            m_failed = true;
            if (::setegid(0) != 0)
                qFatal("cannot return to the privileged group");
            return;
        }
        m_dropped = true;
    }
    ~UnprivilegedScope()
    {
        if (m_dropped && (::seteuid(0) != 0 || ::setegid(0) != 0))
            qFatal("cannot return to the privileged user");
    }
    bool Failed() const { return m_failed; }

private:
    bool m_dropped = false;
    bool m_failed = false;
};

std::unique_ptr<TTMICListObj> StoredRecord(int rxid, int devIdx, const QString& name, const QString& band, double freq)
{
    auto record = std::make_unique<TTMICListObj>();
    record->IP = QStringLiteral("10.0.0.%1").arg(rxid);
    record->RXID = rxid;
    record->DevIdx = devIdx;
    record->Name = name;
    record->Band = band;
    record->Channel = devIdx + 2;
    record->StartChannel = 4;
    record->MaxChannel = 64;
    record->StartFreq = 600.5;
    record->Freq = freq;
    return record;
}

void FillList(DeviceList& list, int count, const QString& name)
{
    for (int i = 0; i < count; ++i)
        list.Append(StoredRecord(i + 1, i % 4, name + QString::number(i), QStringLiteral("A"), 640.25 + i));
}

// A failed write is reported to the caller, on the warning channel and in the debug window.
void ExpectLoggedFailure(const QString& path)
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QRegularExpression::escape(path)));
}

} // namespace

class ConfigFileTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;

    QString Dir() const { return m_dir.path() + '/'; }

private slots:
    // A change every 10 ms for 600 ms: one save per 200 ms gap, not one per change, and the last
    // change is saved by the flush the window runs when it goes.
    void saveRateUnderAStreamOfChanges()
    {
        int changes = 0;
        int saved = 0;
        int saves = 0;
        DeferredSave save(
            [&] {
                saved = changes;
                ++saves;
            },
            200);
        QTimer change;
        change.setInterval(10);
        connect(&change, &QTimer::timeout, [&] {
            ++changes;
            save.Request();
        });
        change.start();
        QTest::qWait(600);
        change.stop();
        QVERIFY2(saves >= 2 && saves <= 4, qPrintable(QString::number(saves)));
        save.Flush();
        QCOMPARE(saved, changes);
    }

    // A log rotates by size into at most KeptFiles files, the newest line in the file itself; a
    // symbolic link in a log's place is refused, said, and what it points to left alone.
    void logsAreBoundedAndNeverFollowALink()
    {
        const QString log = Dir() + QStringLiteral("Events.log");
        const QByteArray line = QByteArray(99, 'x') + '\n';
        QString error;
        for (int i = 0; i < 60; ++i)
            QVERIFY2(AppendToLog(log, QByteArray::number(i) + line, &error, { 1000, 3 }), qPrintable(error));
        for (const QString& name : { log, log + ".1", log + ".2" }) {
            QVERIFY2(QFileInfo(name).size() > 0 && QFileInfo(name).size() <= 1000, qPrintable(name));
        }
        QVERIFY(!QFileInfo::exists(log + ".3"));
        QVERIFY(ReadBytes(log).endsWith("59" + line));

        const QString target = Dir() + QStringLiteral("elsewhere");
        WriteBytes(target, "keep");
        QVERIFY(QFile::remove(log) && QFile::link(target, log));
        EventLog events(log);
        QVERIFY(!events.Append(QStringLiteral("event")));
        QVERIFY2(events.ErrorString().contains(QStringLiteral("symbolic link")), qPrintable(events.ErrorString()));
        QCOMPARE(ReadBytes(target), QByteArray("keep"));
    }

    void init()
    {
        QVERIFY(m_dir.isValid());
        QDir(m_dir.path()).removeRecursively();
        QVERIFY(QDir().mkpath(m_dir.path()));
        m_path = Dir() + "Config.ini";
    }

    void withoutAFileEverythingIsDefault()
    {
        const PublicStruct settings(Dir());
        QCOMPARE(settings.SettingsFolder(), Dir());
        QCOMPARE(settings.ExeDir, PublicStruct::ExecutableDirectory());
        QCOMPARE(settings.ConfigPath(), m_path);
        QCOMPARE(settings.ConnectType, 0);
        QCOMPARE(settings.UartPort, 1);
        QCOMPARE(settings.UartRate, 9600);
        QCOMPARE(settings.UartDelayTime, 30);
        QCOMPARE(settings.FontName, QStringLiteral("Arial"));
        QCOMPARE(settings.FontCharset, uint8_t(0));
        QCOMPARE(settings.FontSize, 10);
        QCOMPARE(settings.LanguageIndex, 1);
        QVERIFY(!settings.ScanBusy && !settings.RFHistoryBusy);
        QCOMPARE(settings.SyncStartTick, 0u);

        DeviceList list;
        list.Append(std::make_unique<TTMICListObj>());
        QVERIFY(LoadDeviceList(m_path, list));
        QCOMPARE(list.Count(), 0);
        QVERIFY(!QFile::exists(m_path)); // reading never creates the file
    }

    void publicKeysOfAWindowsFile()
    {
        QVERIFY(WriteBytes(m_path,
            "[public]\r\n connecttype = 1 \r\nUARTPORT=4\r\nUartRate=abc\r\nUartDelayTime=-5\r\n"
            "FontName="
                + ToGbk(u"宋体") + "\r\nFontCharset=390\r\nFontSize=12\r\nLanguage=0\r\n"));
        const PublicStruct settings(Dir());
        QCOMPARE(settings.ConnectType, 1);
        QCOMPARE(settings.UartPort, 4);
        QCOMPARE(settings.UartRate, 9600); // not a number: the default
        QCOMPARE(settings.UartDelayTime, -5);
        QCOMPARE(settings.FontName, QStringLiteral("宋体"));
        QCOMPARE(settings.FontCharset, uint8_t(134));
        QCOMPARE(settings.FontSize, 12);
        QCOMPARE(settings.LanguageIndex, 1); // the stored language is not read back

        QVERIFY(WriteBytes(m_path, "[Public]\r\nFontCharset=134\r\n"));
        QCOMPARE(PublicStruct(Dir()).FontCharset, uint8_t(134));
    }

    void theInstanceIsInstalledOnFirstUse()
    {
        PublicStruct::Install(nullptr);
        QVERIFY(!PublicStruct::HasInstance());
        QCOMPARE(PublicStruct::ExecutableDirectory(), QCoreApplication::applicationDirPath() + '/');
        QCOMPARE(PublicStruct::Instance().ExeDir, PublicStruct::ExecutableDirectory());
        QVERIFY(PublicStruct::HasInstance());
        PublicStruct::Install(std::make_unique<PublicStruct>(Dir()));
        QCOMPARE(PublicStruct::Instance().SettingsFolder(), Dir());
    }

    void deviceListRoundTripInGbk()
    {
        DeviceList saved;
        saved.Append(StoredRecord(3, 1, QStringLiteral("舞台左"), QStringLiteral("A"), 640.0));
        saved.Append(StoredRecord(3, 2, QStringLiteral("主持人"), QStringLiteral("7"), 665.75));
        QVERIFY(SaveDeviceList(m_path, saved));

        const QByteArray bytes = ReadBytes(m_path);
        QVERIFY(bytes.contains("\r\nName0=" + ToGbk(u"舞台左") + "\r\n"));
        QVERIFY(!bytes.contains(QStringLiteral("舞台左").toUtf8()));
        QVERIFY(bytes.startsWith("[History]\r\nDevCnt=2\r\nIP0=10.0.0.3\r\nRXID0=3\r\nDevIdx0=1\r\nBand0=A\r\n"
                                 "Channel0=3\r\nStartChannel0=4\r\nMaxChannel0=64\r\nStartFreq0=600.5\r\nFreq0=640\r\n"));
        QVERIFY(bytes.contains("\r\nFreq1=665.75\r\nName1="));
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QVERIFY(bytes.endsWith("\r\n"));

        DeviceList loaded;
        QVERIFY(LoadDeviceList(m_path, loaded));
        QCOMPARE(loaded.Count(), 2);
        for (int i = 0; i < 2; ++i) {
            const TTMICListObj& a = *saved.At(i);
            const TTMICListObj& b = *loaded.At(i);
            QCOMPARE(b.IP, a.IP);
            QCOMPARE(b.RXID, a.RXID);
            QCOMPARE(b.DevIdx, a.DevIdx);
            QCOMPARE(b.Band, a.Band);
            QCOMPARE(b.Channel, a.Channel);
            QCOMPARE(b.StartChannel, a.StartChannel);
            QCOMPARE(b.MaxChannel, a.MaxChannel);
            QCOMPARE(b.StartFreq, a.StartFreq);
            QCOMPARE(b.Freq, a.Freq);
            QCOMPARE(b.Name, a.Name);
        }
    }

    void missingAndMalformedKeysReadAsDefaults()
    {
        QVERIFY(WriteBytes(m_path,
            "[History]\r\nDevCnt=3\r\nIP0=10.9.8.7\r\nIP1=10.9.8.6\r\nName1=Lectern\r\n"
            "RXID2=12abc\r\nDevIdx2=+2\r\nBand2=\r\nFreq2=6.4e2\r\nStartFreq2= 520.125 \r\nMaxChannel2=-3\r\n"
            "Channel2=99999999999\r\n"));
        DeviceList list;
        QVERIFY(LoadDeviceList(m_path, list));
        QCOMPARE(list.Count(), 3);
        for (int i = 0; i < 2; ++i) {
            const TTMICListObj& r = *list.At(i);
            QCOMPARE(r.RXID, i + 1);
            QCOMPARE(r.DevIdx, 1);
            QCOMPARE(r.Band, QStringLiteral("0"));
            QCOMPARE(r.Channel, 0);
            QCOMPARE(r.StartChannel, 0);
            QCOMPARE(r.MaxChannel, 100);
            QCOMPARE(r.StartFreq, 640.0);
            QCOMPARE(r.Freq, 640.0);
        }
        QCOMPARE(list.At(0)->IP, QStringLiteral("10.9.8.7"));
        QCOMPARE(list.At(0)->Name, QStringLiteral("QX-500"));
        QCOMPARE(list.At(1)->Name, QStringLiteral("Lectern"));
        const TTMICListObj& odd = *list.At(2);
        QCOMPARE(odd.IP, QStringLiteral("192.168.1.100"));
        QCOMPARE(odd.RXID, 3);
        QCOMPARE(odd.DevIdx, 1);
        QCOMPARE(odd.Band, QStringLiteral("0"));
        QCOMPARE(odd.Freq, 640.0);
        QCOMPARE(odd.StartFreq, 520.125);
        QCOMPARE(odd.MaxChannel, -3);
        QCOMPARE(odd.Channel, 0); // out of range
        QCOMPARE(odd.Connected, false);

        QVERIFY(WriteBytes(m_path, "[History]\r\nDevCnt=-3\r\nIP0=1.2.3.4\r\n"));
        QVERIFY(LoadDeviceList(m_path, list));
        QCOMPARE(list.Count(), 0);
    }

    void bandsReadBackAsStored()
    {
        DeviceList saved;
        saved.Append(StoredRecord(1, 1, "a", QStringLiteral("A"), 640.0));
        saved.Append(StoredRecord(2, 1, "b", QStringLiteral("12"), 640.0));
        saved.Append(StoredRecord(3, 1, "c", QString(), 640.0));
        QVERIFY(SaveDeviceList(m_path, saved));
        QVERIFY(ReadBytes(m_path).contains("\r\nBand0=A\r\n"));
        QVERIFY(IniWriteString(m_path, "History", "Band3", "07"));
        QVERIFY(IniWriteInt(m_path, "History", "DevCnt", 4));

        DeviceList loaded;
        QVERIFY(LoadDeviceList(m_path, loaded));
        QCOMPARE(loaded.At(0)->Band, QStringLiteral("A"));
        QCOMPARE(loaded.At(1)->Band, QStringLiteral("12"));
        QCOMPARE(loaded.At(2)->Band, QStringLiteral("0"));
        QCOMPARE(loaded.At(3)->Band, QStringLiteral("7"));
    }

    // A lone lead byte at the end of a value has no character to decode to; it is kept as stored.
    void aLoneTrailingLeadByteIsKept()
    {
        const QByteArray band = "\xA2";
        const QByteArray name = ToGbk(u"舞台") + "\xB5";
        WriteBytes(m_path, "[History]\r\nDevCnt=1\r\nBand0=" + band + "\r\nName0=" + name + "\r\n");
        DeviceList loaded;
        QVERIFY(LoadDeviceList(m_path, loaded));
        QVERIFY(loaded.At(0)->Name.startsWith(QStringLiteral("舞台")));
        QVERIFY(SaveDeviceList(m_path, loaded));
        const QByteArray bytes = ReadBytes(m_path);
        QVERIFY(bytes.contains("\r\nBand0=" + band + "\r\n"));
        QVERIFY(bytes.contains("\r\nName0=" + name + "\r\n"));
    }

    // Bytes GBK cannot pair survive a load and a save: a lead byte before an invalid trail, a
    // GB18030 four-byte sequence, the single bytes 0x80 and 0xFF; real characters around them too.
    void unpairedGbkBytesAreWrittenBackUnchanged()
    {
        const QList<QByteArray> names { "\x81\x7F", "\x81\x30\x81\x30", ToGbk(u"舞") + "\x80\xFF" + ToGbk(u"台"),
            "a\x81\x30\x81\x30" + ToGbk(u"大厅") + "\xFE" };
        QByteArray ini = "[History]\r\nDevCnt=" + QByteArray::number(names.size()) + "\r\n";
        for (int i = 0; i < names.size(); ++i)
            ini += "Name" + QByteArray::number(i) + "=" + names[i] + "\r\n";
        WriteBytes(m_path, ini);
        DeviceList loaded;
        QVERIFY(LoadDeviceList(m_path, loaded));
        QVERIFY(loaded.At(3)->Name.contains(QStringLiteral("大厅")));
        QVERIFY(SaveDeviceList(m_path, loaded));
        const QByteArray bytes = ReadBytes(m_path);
        for (int i = 0; i < names.size(); ++i)
            QVERIFY2(bytes.contains("\r\nName" + QByteArray::number(i) + "=" + names[i] + "\r\n"), names[i].toHex(' '));
    }

    // What killed writers leave is removed at the next start; a writer's file still held stays,
    // and so do files that are not ours.
    void staleTemporaryFilesAreRemoved()
    {
        const QStringList stale { ".Config.ini.Ab12Cd", ".Config.ini.000000" };
        const QStringList kept { ".Config.ini.held01", ".Config.ini.toolong7", ".Other.ini.Ab12Cd", "Config.ini" };
        for (const QString& name : stale + kept)
            WriteBytes(Dir() + name, "x");
        QFile held(Dir() + kept[0]);
        QVERIFY(held.open(QIODevice::ReadOnly));
        QCOMPARE(::flock(held.handle(), LOCK_EX), 0);

        QCOMPARE(RemoveStaleTemporaryFiles(m_path), 2);
        QStringList left = QDir(Dir()).entryList(QDir::Files | QDir::Hidden);
        QStringList expected = kept;
        left.sort();
        expected.sort();
        QCOMPARE(left, expected);
    }

    void shrinkingLeavesTheStaleKeys()
    {
        DeviceList list;
        FillList(list, 3, "mic");
        QVERIFY(SaveDeviceList(m_path, list));
        const QByteArray before = ReadBytes(m_path);
        const qsizetype staleStart = before.indexOf("IP2=");
        QVERIFY(staleStart > 0);
        const QByteArray staleKeys = before.mid(staleStart);

        QVERIFY(list.RemoveFirst(2, 1));
        QVERIFY(SaveDeviceList(m_path, list));
        const QByteArray after = ReadBytes(m_path);
        QVERIFY(after.startsWith("[History]\r\nDevCnt=2\r\nIP0=10.0.0.1\r\n"));
        QVERIFY(after.contains("\r\nIP1=10.0.0.3\r\nRXID1=3\r\nDevIdx1=2\r\n"));
        QVERIFY(after.endsWith(staleKeys));

        DeviceList loaded;
        QVERIFY(LoadDeviceList(m_path, loaded));
        QCOMPARE(loaded.Count(), 2);
        QCOMPARE(loaded.At(1)->RXID, 3);
    }

    void recordsBeyondTheBoundAreNotCreated()
    {
        QVERIFY(WriteBytes(m_path, "[History]\r\nDevCnt=2000\r\n"));
        CapturedDebugLines debug;
        ExpectLoggedFailure(m_path);
        DeviceList list;
        QVERIFY(!LoadDeviceList(m_path, list));
        QCOMPARE(list.Count(), DeviceList::MaxRecords);
        QCOMPARE(list.At(1023)->RXID, 1024);
        QCOMPARE(debug.lines.size(), 1);
        QVERIFY(debug.lines.first().contains("2000"));
    }

    // Comments, foreign sections, keys outside any section, unparsable lines and each line's own
    // line end survive a save; new keys go at the end of their section.
    void everythingElseIsKeptByteForByte()
    {
        const QByteArray head = "; settings of the operator\r\norphan=1\r\n[Public]\r\nConnectType=2\r\n"
                                "this line has no separator\r\n=no key\r\n[Public\r\n\r\n";
        const QByteArray tail = "\n[Other]\r\nKey=Wert  \r\nlast line without end";
        QVERIFY(WriteBytes(m_path, head + "[History]\nDevCnt=0\n; keep me\nDebugFormLeft=12\n" + tail));

        IniFile before(m_path);
        QVERIFY(before.Load());
        QVERIFY(!before.Contains("Public", "orphan") && !before.Contains("History", "orphan"));
        QCOMPARE(before.ReadInt("Public", "ConnectType", 0), 2);
        QCOMPARE(before.ReadString("Other", "Key", ""), QStringLiteral("Wert"));
        QVERIFY(!before.Contains("Public", "this line has no separator"));

        DeviceList list;
        list.Append(StoredRecord(9, 1, "x", "B", 641.0));
        QVERIFY(SaveDeviceList(m_path, list));
        const QByteArray recordKeys = "IP0=10.0.0.9\r\nRXID0=9\r\nDevIdx0=1\r\nBand0=B\r\nChannel0=3\r\n"
                                      "StartChannel0=4\r\nMaxChannel0=64\r\nStartFreq0=600.5\r\nFreq0=641\r\nName0=x\r\n";
        QCOMPARE(ReadBytes(m_path), head + "[History]\nDevCnt=1\n; keep me\nDebugFormLeft=12\n" + recordKeys + tail);

        QVERIFY(IniWriteInt(m_path, "NewSection", "Language", 1));
        QVERIFY(ReadBytes(m_path).endsWith(tail + "\r\n[NewSection]\r\nLanguage=1\r\n"));
    }

    void aWindowsFileIsRewrittenInItsOwnForm()
    {
        const QByteArray original = "[PUBLIC]\r\nconnecttype=1\r\n[history]\r\nDEVCNT=1\r\nip0=10.1.2.3\r\nname0="
            + ToGbk(u"会议室") + "\r\nBAND0=A\r\n\r\n[Other]\r\nx=1\r\n";
        QVERIFY(WriteBytes(m_path, original));
        DeviceList list;
        QVERIFY(LoadDeviceList(m_path, list));
        QCOMPARE(list.Count(), 1);
        QCOMPARE(list.At(0)->IP, QStringLiteral("10.1.2.3"));
        QCOMPARE(list.At(0)->Name, QStringLiteral("会议室"));
        QCOMPARE(list.At(0)->Band, QStringLiteral("A"));

        list.At(0)->Name = QStringLiteral("大厅");
        QVERIFY(SaveDeviceList(m_path, list));
        const QByteArray bytes = ReadBytes(m_path);
        QCOMPARE(bytes.count('\n'), bytes.count("\r\n"));
        QVERIFY(bytes.startsWith("[PUBLIC]\r\nconnecttype=1\r\n[history]\r\nDEVCNT=1\r\nip0=10.1.2.3\r\nname0="
            + ToGbk(u"大厅") + "\r\nBAND0=A\r\nRXID0=1\r\n"));
        QCOMPARE(bytes.toLower().count("name0="), 1);
        QCOMPARE(bytes.toLower().count("ip0="), 1);
        QVERIFY(bytes.endsWith("\r\n\r\n[Other]\r\nx=1\r\n"));
        QCOMPARE(PublicStruct(Dir()).ConnectType, 1);
    }

    void repeatedSectionsAndKeysUseTheFirst()
    {
        QVERIFY(WriteBytes(m_path, "[History]\r\nDevCnt=1\r\ndevcnt=5\r\n[HISTORY]\r\nIP0=9.9.9.9\r\n"));
        DeviceList list;
        QVERIFY(LoadDeviceList(m_path, list));
        QCOMPARE(list.Count(), 1);
        QCOMPARE(list.At(0)->IP, QStringLiteral("192.168.1.100"));
        QVERIFY(IniWriteInt(m_path, "history", "DevCnt", 2));
        QVERIFY(ReadBytes(m_path).startsWith("[History]\r\nDevCnt=2\r\ndevcnt=5\r\n[HISTORY]"));
    }

    // A name from a device cannot add lines or sections to the file.
    void valuesStayOnOneLine()
    {
        DeviceList list;
        list.Append(StoredRecord(1, 1, QStringLiteral("A\r\n[Public]\r\nConnectType=1\n"), "A", 640.0));
        QVERIFY(SaveDeviceList(m_path, list));
        QCOMPARE(PublicStruct(Dir()).ConnectType, 0);
        DeviceList loaded;
        QVERIFY(LoadDeviceList(m_path, loaded));
        QCOMPARE(loaded.At(0)->Name, QStringLiteral("A  [Public]  ConnectType=1"));
    }

    void numberForms()
    {
        QCOMPARE(FormatIniDouble(640.0), QByteArray("640"));
        QCOMPARE(FormatIniDouble(640.25), QByteArray("640.25"));
        QCOMPARE(FormatIniDouble(0.1), QByteArray("0.1"));
        QCOMPARE(FormatIniDouble(1.0 / 3.0), QByteArray("0.333333333333333"));
        QCOMPARE(FormatIniDouble(-12.5), QByteArray("-12.5"));
        QCOMPARE(FormatIniDouble(1e20), QByteArray("1e+20"));
        QCOMPARE(FormatIniDouble(1e-5), QByteArray("1e-05"));
        QCOMPARE(FormatIniDouble(123456789012345678.0), QByteArray("1.23456789012346e+17"));

        double d = 0;
        for (const char* text : { "640", "640.", ".5", "-1.5", "6.4E2", "+7" })
            QVERIFY2(ParseIniDouble(text, d), text);
        QVERIFY(ParseIniDouble("640.125", d) && d == 640.125);
        for (const char* text : { "", "abc", "1,5", "640 MHz", "nan", "inf", "1e999", "+-1", "--1" })
            QVERIFY2(!ParseIniDouble(text, d), text);

        int n = 0;
        QVERIFY(ParseIniInt("-7", n) && n == -7);
        QVERIFY(ParseIniInt("2147483647", n) && n == 2147483647);
        for (const char* text : { "", "+5", "12abc", "1.5", "2147483648", "-", "0x10" })
            QVERIFY2(!ParseIniInt(text, n), text);
    }

    void aSymbolicLinkStaysALink()
    {
        QVERIFY(QDir(m_dir.path()).mkdir("real"));
        const QString real = Dir() + "real/settings.ini";
        QVERIFY(WriteBytes(real, "[Public]\r\nUartPort=2\r\n"));
        QVERIFY(QFile::link(real, m_path));
        QVERIFY(IniWriteInt(m_path, "Public", "UartRate", 115200));
        QVERIFY(QFileInfo(m_path).isSymLink());
        QCOMPARE(ReadBytes(real), QByteArray("[Public]\r\nUartPort=2\r\nUartRate=115200\r\n"));
    }

    // A write that cannot be made is refused and reported, and the old file stays as it was, with no
    // temporary file left beside it.
    void failedWritesLeaveTheOldFile()
    {
        const QByteArray original = "[Public]\r\nUartPort=2\r\n";
        QVERIFY(WriteBytes(m_path, original));
        CapturedDebugLines debug;

        QVERIFY(QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        ExpectLoggedFailure(m_path);
        QVERIFY(!IniWriteInt(m_path, "Public", "UartPort", 3));
        QCOMPARE(ReadBytes(m_path), original);
        QCOMPARE(OtherEntries(m_dir.path(), "Config.ini"), QStringList());
        QCOMPARE(debug.lines.size(), 1);
        QVERIFY(debug.lines.first().contains(m_path));

        QVERIFY(WriteBytes(Dir() + "plain", "x"));
        const QString underAFile = Dir() + "plain/Config.ini";
        ExpectLoggedFailure(underAFile);
        DeviceList list;
        FillList(list, 1, "x");
        QVERIFY(!SaveDeviceList(underAFile, list));
    }

    void aFullDiskLeavesTheOldFile()
    {
        DeviceList list;
        FillList(list, 2, "old");
        QVERIFY(SaveDeviceList(m_path, list));
        const QByteArray original = ReadBytes(m_path);
        FillList(list, 40, "new");

        rlimit saved {};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = 512;
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &small), 0);
        ExpectLoggedFailure(m_path);
        const bool saved40 = SaveDeviceList(m_path, list);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(!saved40);
        QCOMPARE(ReadBytes(m_path), original);
        QCOMPARE(OtherEntries(m_dir.path(), "Config.ini"), QStringList());
    }

    void permissionsAreHonoured()
    {
        QVERIFY(QFile::setPermissions(m_dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
        const QByteArray original = "[Public]\r\nUartPort=2\r\n";
        const QString readOnlyDir = Dir() + "ro";
        const QString writeOnlyDir = Dir() + "wo";
        QVERIFY(QDir().mkdir(readOnlyDir) && QDir().mkdir(writeOnlyDir));
        QVERIFY(WriteBytes(readOnlyDir + "/Config.ini", original));
        QVERIFY(WriteBytes(writeOnlyDir + "/Config.ini", original));
        const auto all = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::WriteGroup
            | QFile::ExeGroup | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(readOnlyDir + "/Config.ini", all));
        QVERIFY(QFile::setPermissions(readOnlyDir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QFile::setPermissions(writeOnlyDir, all));
        // Writable but not readable: the file must not be replaced by one holding only the new key.
        QVERIFY(QFile::setPermissions(writeOnlyDir + "/Config.ini",
            QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther));

        bool inReadOnlyDir = true;
        bool unreadFile = true;
        {
            UnprivilegedScope unprivileged;
            if (unprivileged.Failed())
                QSKIP("running as root without the right to act as an unprivileged user");
            ExpectLoggedFailure(readOnlyDir);
            inReadOnlyDir = IniWriteInt(readOnlyDir + "/Config.ini", "Public", "UartPort", 3);
            ExpectLoggedFailure(writeOnlyDir);
            unreadFile = IniWriteInt(writeOnlyDir + "/Config.ini", "Public", "UartPort", 3);
            IniFile ignoringTheLoad(writeOnlyDir + "/Config.ini");
            ExpectLoggedFailure(writeOnlyDir);
            ignoringTheLoad.Load();
            ignoringTheLoad.WriteInt("Public", "UartPort", 3);
            ExpectLoggedFailure(writeOnlyDir);
            unreadFile = unreadFile || ignoringTheLoad.Save();
        }
        QVERIFY(!inReadOnlyDir);
        QVERIFY(!unreadFile);
        QCOMPARE(ReadBytes(readOnlyDir + "/Config.ini"), original);
        QCOMPARE(ReadBytes(writeOnlyDir + "/Config.ini"), original);
        QCOMPARE(OtherEntries(readOnlyDir, "Config.ini"), QStringList());
        QCOMPARE(OtherEntries(writeOnlyDir, "Config.ini"), QStringList());
        QVERIFY(QFile::setPermissions(readOnlyDir, all));
    }

    // Whoever reads the file while it is being rewritten, and whenever the writer is killed, finds
    // either the old or the new file whole, never a mixture or an empty one.
    void readersAndKilledWritersSeeWholeFiles()
    {
        DeviceList first;
        DeviceList second;
        FillList(first, 300, QStringLiteral("第一"));
        FillList(second, 300, QStringLiteral("第二"));
        QVERIFY(SaveDeviceList(Dir() + "first.ini", first));
        QVERIFY(SaveDeviceList(Dir() + "second.ini", second));
        const QByteArray firstBytes = ReadBytes(Dir() + "first.ini");
        const QByteArray secondBytes = ReadBytes(Dir() + "second.ini");
        QVERIFY(firstBytes != secondBytes);
        QVERIFY(SaveDeviceList(m_path, first));

        int reads = 0;
        for (int round = 0; round < 4; ++round) {
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                ::prctl(PR_SET_PDEATHSIG, SIGKILL);
                for (int i = 0;; ++i)
                    SaveDeviceList(m_path, i % 2 ? first : second);
            }
            QElapsedTimer running;
            running.start();
            QByteArray seen;
            while (running.elapsed() < 100 + round * 37) {
                seen = ReadBytes(m_path);
                ++reads;
                if (seen != firstBytes && seen != secondBytes)
                    break;
            }
            ::kill(child, SIGKILL);
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            QVERIFY2(seen == firstBytes || seen == secondBytes, qPrintable(QString::number(seen.size())));
            const QByteArray afterKill = ReadBytes(m_path);
            QVERIFY2(afterKill == firstBytes || afterKill == secondBytes, qPrintable(QString::number(afterKill.size())));
        }
        QVERIFY(reads > 0);
    }
};

int RunConfigFileTest(int argc, char** argv)
{
    ConfigFileTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "ConfigFileTest.moc"
