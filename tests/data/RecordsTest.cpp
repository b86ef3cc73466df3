#include "DataTestSupport.h"

#include "data/Device.h"

#include <QTest>

namespace {

std::unique_ptr<TTMICListObj> Record(int rxid, int devIdx, const QString& ip = QString())
{
    auto record = std::make_unique<TTMICListObj>();
    record->RXID = rxid;
    record->DevIdx = devIdx;
    record->IP = ip;
    return record;
}

} // namespace

class RecordsTest : public QObject {
    Q_OBJECT

private slots:
    void constructionValues()
    {
        const TTMICListObj r;
        QCOMPARE(r.IP, QString());
        QCOMPARE(r.RXID, -1);
        QCOMPARE(r.DevIdx, 0);
        QCOMPARE(r.Channel, 0);
        QCOMPARE(r.StartFreq, 640.0);
        QCOMPARE(r.Freq, 0.0);
        QCOMPARE(r.SQ, -1);
        QCOMPARE(r.StartChannel, 0);
        QCOMPARE(r.MaxChannel, 100);
        QCOMPARE(r.Band, QStringLiteral("-1"));
        QVERIFY(r.Name.isEmpty() && r.HWVer.isEmpty() && r.SWVer.isEmpty());
        QVERIFY(!r.Connected);
        QCOMPARE(r.ConnectDue, 0u);
        QCOMPARE(r.ConnectDeadline, 0u);
    }

    // Identity is (RXID, DevIdx) only; with duplicates the earlier record wins look-up and removal.
    void lookupAndRemovalTakeTheFirstOfDuplicates()
    {
        DeviceList list;
        list.Append(Record(5, 1, "10.0.0.1"));
        TTMICListObj* first = list.Append(Record(7, 2, "10.0.0.2"));
        TTMICListObj* second = list.Append(Record(7, 2, "10.0.0.3"));
        list.Append(Record(7, 3, "10.0.0.2"));

        QCOMPARE(FindDevice(list, 7, 2), first);
        QCOMPARE(FindDevice(list, 2, 7), nullptr);
        QCOMPARE(FindDevice(list, 5, 2), nullptr);

        QVERIFY(list.RemoveFirst(7, 2));
        QCOMPARE(list.Count(), 3);
        QCOMPARE(FindDevice(list, 7, 2), second);
        QCOMPARE(list.At(1), second); // the order of the others is kept
        QVERIFY(list.RemoveFirst(7, 2));
        QVERIFY(!list.RemoveFirst(7, 2));
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.At(1)->DevIdx, 3);
    }

    void theListRefusesRecordsBeyondItsBound()
    {
        DeviceList list;
        for (int i = 0; i < DeviceList::MaxRecords; ++i)
            QVERIFY(list.Append(Record(i % 256, i / 256)));
        QVERIFY(list.IsFull());
        QCOMPARE(list.Append(Record(1, 99)), nullptr);
        QCOMPARE(AddSearchedDevice(list, SearchDevStruct { "10.0.0.9", 1, 99, {}, {}, {}, "A" }), nullptr);
        QCOMPARE(AddRepliedDevice(list, "10.0.0.9", 1, 99, DeviceBandInfo {}), nullptr);
        QCOMPARE(list.Count(), DeviceList::MaxRecords);
        QCOMPARE(FindDevice(list, 1, 99), nullptr);

        QVERIFY(list.RemoveFirst(0, 0));
        QVERIFY(list.Append(Record(1, 99)));
        QCOMPARE(list.Append(nullptr), nullptr);
        list.Clear();
        QCOMPARE(list.Count(), 0);
    }

    void creationPathsSetTheirFields()
    {
        DeviceList list;
        const SearchDevStruct entry { "192.168.1.20", 12, 3, "Stage", "H1", "S2", "BX" };
        const TTMICListObj* searched = AddSearchedDevice(list, entry);
        QVERIFY(searched);
        QCOMPARE(searched->IP, QStringLiteral("192.168.1.20"));
        QCOMPARE(searched->RXID, 12);
        QCOMPARE(searched->DevIdx, 3);
        QCOMPARE(searched->Band, QStringLiteral("B"));
        QCOMPARE(searched->HWVer, QStringLiteral("H1"));
        QCOMPARE(searched->SWVer, QStringLiteral("S2"));
        QCOMPARE(searched->Freq, 640.0);
        QCOMPARE(searched->Name, QStringLiteral("QX-500"));
        QCOMPARE(searched->Channel, 0);
        QCOMPARE(searched->MaxChannel, 100);
        QCOMPARE(searched->SQ, -1);

        const DeviceBandInfo info { 520.5, 8, 40, "C", QStringLiteral("舞台"), "V3", "V4" };
        const TTMICListObj* replied = AddRepliedDevice(list, "127.0.0.2", 4, 1, info);
        QVERIFY(replied);
        QCOMPARE(replied->IP, QStringLiteral("127.0.0.2"));
        QCOMPARE(replied->RXID, 4);
        QCOMPARE(replied->DevIdx, 1);
        QCOMPARE(replied->StartFreq, 520.5);
        QCOMPARE(replied->Freq, 520.5);
        QCOMPARE(replied->StartChannel, 8);
        QCOMPARE(replied->MaxChannel, 40);
        QCOMPARE(replied->Band, QStringLiteral("C"));
        QCOMPARE(replied->Name, QStringLiteral("舞台"));
        QCOMPARE(replied->HWVer, QStringLiteral("V3"));
        QCOMPARE(replied->SWVer, QStringLiteral("V4"));
        QVERIFY(!replied->Connected);
        QCOMPARE(list.Count(), 2);
        QCOMPARE(list.At(1), replied);
    }

    void channelRule()
    {
        QCOMPARE(ChannelFrequency(640.0, 0, 3), 640.75);
        QCOMPARE(ChannelFrequency(640.0, 10, 13), 640.75);
        QCOMPARE(ChannelFrequency(520.0, 10, 10), 520.0);
        QCOMPARE(ChannelFrequency(520.0, 10, 8), 519.5);
        QCOMPARE(BandEnd(640.0, 100), 665.0);
        QCOMPARE(BandEnd(520.5, 1), 520.75);
    }
};

int RunRecordsTest(int argc, char** argv)
{
    RecordsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "RecordsTest.moc"
