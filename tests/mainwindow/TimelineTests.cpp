// The timeline window over a real Timeline.sqlite: replies and episodes that went through the
// main window come back as lanes, a single-reply dip stays visible in a day's view, the chosen
// channels and period are exported as CSV.
#include "MainFixture.h"

#include "protocol/Commands.h"
#include "store/TimelineStore.h"
#include "ui/timeline/FormTimeline.h"
#include "ui/timeline/TimelineChart.h"

#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace fixture;

namespace
{

QList<StoredRecord> TwoChannels()
{
    StoredRecord lead;
    lead.name = QStringLiteral("Lead vocal");
    StoredRecord guitar;
    guitar.devIdx = 2;
    guitar.name = QStringLiteral("Guitar, \"acoustic\"");
    return { lead, guitar };
}

bool IsGreen(const QColor& c)
{
    return c.green() > 120 && c.red() < 60 && c.blue() < 60;
}

bool IsRed(const QColor& c)
{
    return c.red() > 180 && c.green() < 60 && c.blue() < 60;
}

// The lowest row of the lane's plot where column x shows RF A.
int LowestGreen(const QImage& image, int x, int laneTop)
{
    int lowest = -1;
    for (int y = laneTop; y < laneTop + TimelineChart::LaneHeight; ++y)
        if (IsGreen(image.pixelColor(x, y)))
            lowest = y;
    return lowest;
}

} // namespace

class TestTimeline : public QObject
{
    Q_OBJECT

private slots:
    void init() { UseFakeClock(50000); }
    void cleanup() { UseRealClock(); }

    // A day of replies at 80 dB with one reply at 5 dB: thousands of rows share each pixel
    // column, and the column of the dip still reaches down to it.
    void singleReplyDipStaysVisibleInADay()
    {
        ExeDir dir(TwoChannels());
        auto window = MakeWindow();
        const int64_t now = QDateTime::currentMSecsSinceEpoch();
        const int64_t day = 24LL * 3600 * 1000;
        const int64_t dipAt = now - day + 1000 + 8640 * 5000; // on a reply, half a day ago
        for (int64_t t = now - day + 1000; t < now; t += 5000) {
            StatusRow row;
            row.TimeMs = t;
            row.Rxid = 1;
            row.DevIdx = 1;
            row.RfA = t == dipAt ? 5 : 80;
            row.RfB = 30;
            row.Battery = 3;
            row.Audio = 40;
            window->Timeline().Record(row);
        }

        window->Timeline().Flush();
        auto* timeline = window->OpenTimeline(false);
        timeline->cbPeriod->setCurrentIndex(TFrmTimeline::Last24Hours);
        QVERIFY(!timeline->lbLoading->text().isEmpty()); // read on the loader's thread: said while it lasts
        QTRY_VERIFY(!timeline->Loading());
        QVERIFY(timeline->lbLoading->text().isEmpty());
        TimelineChart& chart = timeline->Chart();
        const QImage shown = timeline->grab().toImage();
        const QPoint origin = chart.mapTo(timeline, QPoint(0, 0));
        const int laneTop = origin.y() + TimelineChart::AxisHeight;
        const int dipX = origin.x() + TimelineChart::LabelWidth
            + static_cast<int>((dipAt - chart.From()) * chart.Columns() / (chart.To() - chart.From()));
        const int calm = LowestGreen(shown, dipX - 40, laneTop);
        const int dip = LowestGreen(shown, dipX, laneTop);
        QVERIFY2(calm > 0 && dip > calm + 20, qPrintable(QStringLiteral("calm %1, dip %2").arg(calm).arg(dip)));
        QVERIFY2(chart.ReadOut(QPoint(dipX - origin.x(), TimelineChart::AxisHeight + 5))
                     .contains(QStringLiteral("RF A 5-80 dB")),
            qPrintable(chart.ReadOut(QPoint(dipX - origin.x(), TimelineChart::AxisHeight + 5))));
        timeline->close();
    }

    // Replies 30 s apart over the last hour: neighbours are joined by a line, not left as dots;
    // ten silent minutes, and a lost channel between two replies, stay gaps.
    void sparseRepliesJoinedAcrossColumnsButNotAcrossGaps()
    {
        ExeDir dir(TwoChannels());
        auto window = MakeWindow();
        const int64_t now = QDateTime::currentMSecsSinceEpoch();
        const int64_t minute = 60000;
        auto reply = [&window](int64_t t) {
            StatusRow row;
            row.TimeMs = t;
            row.Rxid = 1;
            row.DevIdx = 1;
            row.RfA = 80;
            row.Battery = 3;
            window->Timeline().Record(row);
        };
        for (int64_t t = now - 58 * minute; t < now - 30 * minute; t += 30000)
            reply(t);
        for (int64_t t = now - 20 * minute; t < now; t += 30000)
            reply(t);
        const int64_t lostAt = now - 10 * minute + 10000; // between two replies
        window->Timeline().Record(EventRow { lostAt, 1, 1, TimelineEvent::Lost, 0, {} });
        window->Timeline().Record(EventRow { lostAt + 15000, 1, 1, TimelineEvent::Restored, 0, {} });
        window->Timeline().Flush();

        auto* timeline = window->OpenTimeline(false);
        QTRY_VERIFY(!timeline->Loading());
        TimelineChart& chart = timeline->Chart();
        QVERIFY((chart.To() - chart.From()) / chart.Columns() < 30000 / 5); // replies several columns apart
        const QImage shown = timeline->grab().toImage();
        const QPoint origin = chart.mapTo(timeline, QPoint(0, 0));
        auto greenAt = [&](int64_t t) {
            const int x = origin.x() + TimelineChart::LabelWidth
                + static_cast<int>((t - chart.From()) * chart.Columns() / (chart.To() - chart.From()));
            return LowestGreen(shown, x, origin.y() + TimelineChart::AxisHeight) > 0;
        };
        QVERIFY(greenAt(now - 58 * minute + 15000)); // between two replies
        QVERIFY(greenAt(now - 15 * minute + 15000));
        QVERIFY(!greenAt(now - 25 * minute)); // silence
        QVERIFY(!greenAt(now - 10 * minute + 10000)); // lost
        timeline->close();
    }

    // Replies through the window's intake make an RF loss episode: the lane shows its red mark;
    // the name filter picks the lane; the CSV holds the rows, events and quoted texts.
    void episodesThroughTheWindowAndCsv()
    {
        ExeDir dir(TwoChannels());
        auto window = MakeWindow();
        for (int i = 0; i < window->Devices().Count(); ++i)
            window->Devices().At(i)->Connected = true;
        for (int rf : { 70, 70, 5, 5, 5, 5, 70, 70 }) {
            for (int devIdx : { 1, 2 })
                Deliver(*window,
                    Frame(1, devIdx, CMD_STATUS,
                        StatusPayload(3, 3, 40, devIdx == 1 ? rf : 70, devIdx == 1 ? rf : 70, 4, 40, 1)));
            QTest::qWait(30);
        }
        window->Timeline().Flush();
        auto* timeline = window->OpenTimeline(false);
        timeline->cbPeriod->setCurrentIndex(TFrmTimeline::SinceShowStart);
        QTRY_VERIFY(!timeline->Loading()); // the period now starts at the show's start
        timeline->cbScope->setCurrentIndex(TFrmTimeline::NameFilter);
        timeline->edNameFilter->setText(QStringLiteral("lead"));
        // Two seconds wide, so that a quarter second of episode is many columns.
        const int64_t start = timeline->Chart().From();
        timeline->Chart().SetPeriod(start, start + 2000);
        timeline->Refresh();
        QTRY_VERIFY(!timeline->Loading());
        const QImage image = timeline->Chart().grab().toImage();
        bool red = false;
        for (int x = TimelineChart::LabelWidth; x < image.width() && !red; ++x)
            red = IsRed(image.pixelColor(x, TimelineChart::AxisHeight + 3));
        QVERIFY(red);
        QCOMPARE(timeline->Chart().minimumHeight(), TimelineChart::AxisHeight + TimelineChart::LaneHeight);

        window->RecordEvent(1, 2, TimelineEvent::Sync, 1, QStringLiteral("a, \"b\""));
        const QString csv = dir.Path() + QStringLiteral("out.csv");
        timeline->cbScope->setCurrentIndex(TFrmTimeline::AllChannels);
        QTRY_VERIFY(!timeline->Loading()); // the export writes the lanes shown
        QVERIFY(timeline->ExportCsv(csv));
        QFile file(csv);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QCOMPARE(lines.first(),
            QByteArray("time,rxid,devidx,rf_a,rf_b,audio,battery,antenna,squelch,channel,event,value,text\r"));
        // header, replies, the episode's start and end, the sync, the last line break
        QCOMPARE(lines.count(), 1 + 16 + 2 + 1 + 1);
        auto count = [&lines](const char* part) {
            return std::count_if(lines.begin(), lines.end(), [part](const QByteArray& l) { return l.contains(part); });
        };
        QCOMPARE(count(",1,1,,,,,,,,rf_loss_start,"), 1);
        QCOMPARE(count(",1,1,,,,,,,,rf_loss_end,"), 1);
        QVERIFY(lines.at(lines.count() - 2).endsWith(",,,,,,,,sync,1,\"a, \"\"b\"\"\"\r"));
        timeline->close();
    }
};

QTEST_MAIN(TestTimeline)
#include "TimelineTests.moc"
