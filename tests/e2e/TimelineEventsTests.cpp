// The tool windows' settings and scans against the simulator (inside a private network
// namespace): each reaches Timeline.sqlite and Events.log once, with its device and value.
#include "MainFixture.h"

#include "data/PublicStruct.h"
#include "store/TimelineStore.h"
#include "ui/FormDevProperty.h"
#include "ui/rf/FormScanRF.h"

#include <NetNamespace.h>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>
#include <QTreeWidget>
#include <RxSim.h>

using namespace fixture;

class TestTimelineEvents : public QObject
{
    Q_OBJECT

private slots:
    void settingsAndScanReachTheTimelineOnce()
    {
        REQUIRE_PRIVATE_NETNS();
        testsupport::RxSim sim;
        QVERIFY2(sim.Start(), qPrintable(sim.Error()));
        // Receiver 2 of the simulator: 740.5 MHz, channels 4..80.
        const StoredRecord stored { sim.Receiver(2)->Ip, 2, 2, QStringLiteral("65"), 0, 4, 77, 740.5, 740.5,
            QStringLiteral("Podium") };
        ExeDir dir({ stored });
        auto window = MakeWindow(0, false);
        MessageBoxes boxes;
        window->tbConnectClick();
        TTMICListObj& record = *window->Devices().At(0);
        QTRY_VERIFY_WITH_TIMEOUT(record.Connected && record.SQ >= 0, 5000);

        TFrmDevProperty property(window.get(), record);
        property.show();
        property.edFreq->setText(QStringLiteral("755.25")); // channel 4 + 59
        const int sq = (record.SQ + 1) % 9;
        property.cbSQ->setCurrentIndex(sq);
        property.btSureClick();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.calls.size(), size_t(1), 3000);
        QCOMPARE(boxes.calls[0].message, QStringLiteral("Set success!"));
        property.close();

        TFrmScanRF scan(window.get(), window->Devices());
        scan.show();
        QTreeWidgetItem* row = scan.lbDevList->topLevelItem(0);
        row->setCheckState(0, Qt::Checked);
        emit scan.lbDevList->itemClicked(row, 0);
        scan.btStart->click();
        QVERIFY(PublicStruct::Instance().ScanBusy);
        QTRY_VERIFY_WITH_TIMEOUT(!PublicStruct::Instance().ScanBusy, 15000);
        scan.close();
        QCOMPARE(sim.Stop(), 0);

        window->Timeline().Flush();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(window->Timeline().Path());
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(
                query.exec(QStringLiteral("SELECT kind, rxid, devidx, value FROM events WHERE kind IN"
                                          " ('set_channel', 'set_squelch', 'scan_start', 'scan_end') ORDER BY kind")));
            QStringList events;
            while (query.next())
                events << QStringLiteral("%1 %2:%3 %4")
                              .arg(query.value(0).toString())
                              .arg(query.value(1).toInt())
                              .arg(query.value(2).toInt())
                              .arg(query.value(3).toInt());
            QCOMPARE(events,
                (QStringList { "scan_end 2:2 1", "scan_start 2:2 0", "set_channel 2:2 63",
                    QStringLiteral("set_squelch 2:2 %1").arg(sq) }));
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));

        QFile log(window->EventLogPath());
        QVERIFY(log.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(log.readAll());
        for (const QString& line :
            { QStringLiteral("Set channel [2:2]: 63"), QStringLiteral("Set squelch [2:2]: %1").arg(sq),
                QStringLiteral("Scan started [2:2]"), QStringLiteral("Scan ended [2:2]") })
            QVERIFY2(text.count(line) == 1, qPrintable(line + QStringLiteral(" in:\n") + text));
    }
};

TESSARO_NETNS_TEST_MAIN(QApplication, TestTimelineEvents)
#include "TimelineEventsTests.moc"
