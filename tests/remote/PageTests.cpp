// The remote view's page in a real browser against the real main window and the receiver
// simulator, inside a private network namespace (so the default port 8080 is ours alone).
#include "HeadlessChromium.h"
#include "MainFixture.h"

#include "data/Device.h"
#include "protocol/Commands.h"
#include "protocol/Frame.h"
#include "remote/AccessGate.h"
#include "remote/RemoteServer.h"
#include "ui/FormSet.h"
#include "ui/RemoteView.h"
#include "ui/RemoteViewSettings.h"
#include "ui/TTMICObject.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPushButton>
#include <QSignalSpy>

#include <NetNamespace.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <RxSim.h>

using namespace fixture;
using testsupport::RxSim;
using testsupport::RxSimReceiver;

namespace
{

const QString Code = AccessGate::NewCode();
const QString PageUrl = "http://127.0.0.1:8080/?code=" + Code;

StoredRecord ChannelOf(const RxSimReceiver& receiver, int devIdx, const QString& name)
{
    StoredRecord r;
    r.ip = receiver.Ip;
    r.rxid = receiver.Rxid;
    r.devIdx = devIdx;
    r.band = receiver.Band;
    r.name = name;
    r.startFreq = receiver.StartFreq.toDouble();
    r.startChannel = receiver.FirstChannel;
    return r;
}

void WriteSettings(const ExeDir& dir, const QList<StoredRecord>& records)
{
    dir.WriteConfig(records);
    QFile config(dir.ConfigPath());
    QVERIFY(config.open(QIODevice::Append));
    config.write("[Remote]\r\nEnabled=1\r\nAddress=127.0.0.1\r\nCode=" + Code.toUtf8() + "\r\n");
}

std::unique_ptr<TFrmMain> ConnectedWindow()
{
    auto window = MakeWindow(LocalUdpPort, false);
    window->tbConnectClick();
    for (int row = 0; row < window->Devices().Count(); ++row) {
        SelectRow(*window, row);
        window->lbDevListDblClick();
    }
    return window;
}

// The tiles as the page shows them.
const QString TilesScript = QStringLiteral(R"([...document.querySelectorAll('.tile')].map(t => ({
    id: t.dataset.id, name: t.querySelector('.name').textContent, freq: t.querySelector('.freq').textContent,
    channel: t.querySelector('.channel').textContent, rfA: t.querySelector('.meter.rfA').dataset.value,
    rfB: t.querySelector('.meter.rfB').dataset.value, audio: t.querySelector('.meter.audio').dataset.value,
    battery: t.querySelector('.battery').dataset.value, antenna: (t.querySelector('.ant.on') || {}).textContent || '',
    lost: t.classList.contains('lost') })))");

// The status replies the simulator sent for this channel, newest last.
QList<StatusReply> SentStatus(RxSim& sim, int rxid, int devIdx)
{
    QList<StatusReply> sent;
    const QRegularExpression tx(QStringLiteral("^TX udp .*\\[\\d+\\] ([0-9A-F ]+)$"));
    for (const QString& line : sim.Output()) {
        const QRegularExpressionMatch m = tx.match(line);
        if (!m.hasMatch())
            continue;
        const QByteArray frame = QByteArray::fromHex(m.captured(1).remove(' ').toLatin1());
        const auto* f = reinterpret_cast<const uint8_t*>(frame.constData());
        if (frame.size() < 7 || FrameCmd(f) != CMD_STATUS || FrameRxid(f) != rxid || FrameDevIdx(f) != devIdx)
            continue;
        if (const auto status = DecodeStatus(f, static_cast<size_t>(frame.size())))
            sent.append(*status);
    }
    return sent;
}

// A tile's values are those of one status reply the simulator sent for its channel.
bool MatchesASentReply(const QJsonObject& tile, const QList<StatusReply>& sent, const RxSimReceiver& receiver)
{
    for (const StatusReply& s : sent) {
        const double freq = ChannelFrequency(receiver.StartFreq.toDouble(), receiver.FirstChannel, s.Channel);
        const QString antenna = s.Antenna == 1 ? "A" : s.Antenna == 2 ? "B" : "";
        if (tile.value("rfA").toString().toInt() == s.RfA && tile.value("rfB").toString().toInt() == s.RfB
            && tile.value("audio").toString().toInt() == s.Audio && tile.value("battery").toString().toInt() == s.Battery
            && tile.value("channel").toString().endsWith(" " + QString::number(s.Channel))
            && tile.value("freq").toString() == QString::number(freq, 'f', 3) + " MHz" && tile.value("antenna").toString() == antenna)
            return true;
    }
    return false;
}

int HttpStatus(const QString& url)
{
    QNetworkAccessManager net;
    std::unique_ptr<QNetworkReply> reply(net.get(QNetworkRequest(QUrl(url))));
    QSignalSpy finished(reply.get(), &QNetworkReply::finished);
    finished.wait(5000);
    return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
}

// Dark pixels of a label's rendering: a drawn QR code has many, an empty label none.
int DarkPixels(QWidget& widget)
{
    const QImage image = widget.grab().toImage();
    int dark = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            dark += qGray(image.pixel(x, y)) < 64;
    return dark;
}

} // namespace

class TestRemotePage : public QObject
{
    Q_OBJECT

private slots:
    void pageShowsTheSimulatedChannelsAndSurvivesARestart()
    {
        REQUIRE_PRIVATE_NETNS();
        UseRealClock();
        RxSim sim;
        QVERIFY2(sim.Start({ "--hexlog" }), qPrintable(sim.Error()));
        const RxSimReceiver& one = sim.Receivers()[0];
        ExeDir dir;
        QList<StoredRecord> records { ChannelOf(one, 1, "Lead vocal"), ChannelOf(one, 2, "Guitar") };
        WriteSettings(dir, records);
        auto window = ConnectedWindow();

        HeadlessChromium browser;
        QVERIFY2(browser.Start(PageUrl), qPrintable(browser.Error()));
        QTRY_VERIFY_WITH_TIMEOUT(browser.Evaluate(TilesScript + ".filter(t => t.rfA !== '').length").toInt() == 2, 10000);
        QCOMPARE(browser.Evaluate("document.getElementById('link').className").toString(), QString("link up"));
        QCOMPARE(browser.Evaluate("document.documentElement.lang").toString(), QString("en"));

        const QJsonArray tiles = browser.Evaluate(TilesScript).toArray();
        QCOMPARE(tiles[0].toObject().value("id").toString(), QString("%1-1").arg(one.Rxid));
        // The receiver's device information names its channels, as on the desktop.
        QCOMPARE(tiles[0].toObject().value("name").toString(), one.Name);
        QCOMPARE(tiles[1].toObject().value("id").toString(), QString("%1-2").arg(one.Rxid));
        for (int i = 0; i < 2; ++i)
            QVERIFY2(MatchesASentReply(tiles[i].toObject(), SentStatus(sim, one.Rxid, i + 1), one),
                qPrintable(QJsonDocument(tiles[i].toObject()).toJson()));

        // Without the code the same server answers 401; the filter hides what does not match.
        QCOMPARE(browser.Evaluate("fetch('/api/v1/channels').then(r => r.status)").toInt(), 401);
        QCOMPARE(browser.Evaluate("fetch('/api/v1/channels?code=" + Code + "').then(r => r.status)").toInt(), 200);
        const QString shownIds = "[...document.querySelectorAll('.tile')].filter(t => !t.hidden).map(t => t.dataset.id).join()";
        browser.Evaluate("(f => { f.value = '-2'; f.dispatchEvent(new Event('input')); })(document.getElementById('filter'))");
        QCOMPARE(browser.Evaluate(shownIds).toString(), QString("%1-2").arg(one.Rxid));
        browser.Evaluate("(f => { f.value = ''; f.dispatchEvent(new Event('input')); })(document.getElementById('filter'))");
        QVERIFY(browser.Screenshot(QDir::currentPath() + "/remote-page.png"));

        // Tessaro goes and comes back: the page says so, reconnects and shows the new state.
        window.reset();
        QTRY_VERIFY_WITH_TIMEOUT(browser.Evaluate("document.getElementById('link').className").toString() == "link down", 5000);
        records.removeLast();
        WriteSettings(dir, records);
        window = ConnectedWindow();
        QTRY_VERIFY_WITH_TIMEOUT(browser.Evaluate("document.getElementById('link').className").toString() == "link up", 10000);
        QTRY_COMPARE_WITH_TIMEOUT(browser.Evaluate(shownIds).toString(), QString("%1-1").arg(one.Rxid), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(browser.Evaluate(TilesScript + "[0].rfA").toString() != "", 5000);
    }

    // Off by default; the settings group starts it, shows the URL with its QR code, and "New
    // code" locks out every old link at once.
    void settingsGroupServesAndNewCodeLocksOut()
    {
        REQUIRE_PRIVATE_NETNS();
        ExeDir dir;
        auto window = MakeWindow();
        RemoteView* view = RemoteView::Of(*window);
        QVERIFY(view && !view->Server());
        QCOMPARE(view->Settings().Code.size(), 43);
        MessageBoxes boxes;
        {
            TFrmSet set(*window);
            set.show();
            QVERIFY(!set.gbRemote->cbRemoteOn->isChecked());
            QCOMPARE(set.gbRemote->lbRemoteUrl->text(), "http://" + RemoteView::HostFor(QString()) + ":8080/?code=" + view->Settings().Code);
            QVERIFY(DarkPixels(*set.gbRemote->imRemoteQr) > 1000);
            set.gbRemote->cbRemoteOn->setChecked(true);
            set.gbRemote->edRemoteAddress->setText("127.0.0.1");
            QVERIFY(set.gbRemote->lbRemoteUrl->text().startsWith("http://127.0.0.1:8080/?code="));
            QTest::mouseClick(set.btSure, Qt::LeftButton);
        }
        QVERIFY(view->Server());
        const QString oldCode = view->Settings().Code;
        QVERIFY(dir.ConfigText().contains("Code=" + oldCode.toUtf8()));
        QCOMPARE(HttpStatus("http://127.0.0.1:8080/api/v1/channels?code=" + oldCode), 200);

        TFrmSet set(*window);
        set.show();
        QVERIFY(set.gbRemote->cbRemoteOn->isChecked());
        const QImage qrBefore = set.gbRemote->imRemoteQr->grab().toImage();
        QTest::mouseClick(set.gbRemote->btNewCode, Qt::LeftButton);
        const QString newCode = view->Settings().Code;
        QVERIFY(newCode != oldCode);
        QVERIFY(set.gbRemote->lbRemoteUrl->text().endsWith("?code=" + newCode));
        QVERIFY(set.gbRemote->imRemoteQr->grab().toImage() != qrBefore);
        QVERIFY(dir.ConfigText().contains("Code=" + newCode.toUtf8()));
        QCOMPARE(HttpStatus("http://127.0.0.1:8080/api/v1/channels?code=" + oldCode), 401);
        QCOMPARE(HttpStatus("http://127.0.0.1:8080/api/v1/channels?code=" + newCode), 200);

        // Confirming other settings leaves the server and its clients alone.
        const RemoteServer* running = view->Server();
        set.cbRFLoss->setChecked(false);
        QTest::mouseClick(set.btSure, Qt::LeftButton);
        QCOMPARE(view->Server(), running);
        QCOMPARE(view->Settings().Code, newCode);
    }
};

TESSARO_NETNS_TEST_MAIN(QApplication, TestRemotePage)
#include "PageTests.moc"
