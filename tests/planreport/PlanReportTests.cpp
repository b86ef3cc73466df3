// The show's plan leaving Tessaro: the plan exports written through their window from the stored
// plan, and the printable report as PDF (its text read back with pdftotext, its pages rendered with
// pdftoppm and checked for drawing outside the margins, on A4 and Letter) and as one HTML file.
#include "coord/CurrentShow.h"
#include "coord/PlanShow.h"
#include "interchange/PlanExports.h"
#include "ui/FormMessage.h"
#include "ui/coord/PlanExport.h"
#include "ui/coord/PlanReport.h"
#include "ui/rf/RfWindowParts.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace coordination;

namespace
{

// Two bands, eighteen devices (one with a name long enough to wrap), a scan in dBm with a carrier
// on it, an exclusion whose note needs escaping in HTML.
CoordinationFile Show()
{
    CoordinationFile show;
    show.showName = QStringLiteral("Spring gala");
    show.venue = QStringLiteral("Hall 2");
    show.coordinator = QStringLiteral("R. Vale");
    show.bands = { { QStringLiteral("A"), 640.0, 60 }, { QStringLiteral("B"), 600.0, 40 } };
    for (int i = 0; i < 18; ++i) {
        FileDevice device;
        device.rxid = i / 2 + 1;
        device.channel = i % 2 + 1;
        device.name = i == 3 ? QStringLiteral("Lead vocal, radio microphone at the front of the stage on the left side")
                             : QStringLiteral("Mic %1").arg(i + 1);
        device.band = i < 12 ? 0 : 1;
        show.devices.push_back(device);
    }
    show.exclusions = { { 650.0, 652.0, QStringLiteral("<b>house</b> intercom") } };
    FileScan scan { QStringLiteral("venue.csv"), true, {} };
    for (int k = 0; k <= 4000; ++k)
        scan.points.emplace_back(598.0 + k * 0.0175, k == 2000 ? -40.0 : -100.0 + (k % 7));
    show.scans.push_back(scan);
    return show;
}

QString Run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return QStringLiteral("FAILED: ") + QString::fromUtf8(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Non-white pixels closer to the page's edge than `inset` pixels.
int InkOutside(const QImage& page, int inset)
{
    int ink = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const bool inside = x >= inset && y >= inset && x < page.width() - inset && y < page.height() - inset;
            ink += !inside && qGray(page.pixel(x, y)) < 240;
        }
    return ink;
}

} // namespace

class TestPlanReport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        SetMessageBoxHook([this](QWidget*, const QString& message, const QString&, int, int) {
            m_boxes << message;
            return 1;
        });
        SetExportPathHook([this](const QString& suggested) { return m_dir.filePath(suggested); });
        CoordinationFile show = Show();
        SearchLimits limits;
        limits.budgetMs = 300;
        m_plan = PlanShow(show, limits);
        show.plan = FilePlanOf(show, m_plan);
        QVERIFY(show.plan->checked);
        TheShow().file = show;
    }
    void cleanupTestCase()
    {
        SetMessageBoxHook({});
        SetExportPathHook({});
    }

    void exportsWriteTheStoredPlan()
    {
        const CoordinationFile show = TheShow().file;
        TheShow().file.plan.reset();
        {
            TFrmPlanExport window(nullptr);
            window.btExportClick();
            QCOMPARE(m_boxes.last(), QStringLiteral("Nothing exported: the show holds no plan yet"));
            QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("plan.csv"))));
        }
        TheShow().file = show;

        TFrmPlanExport window(nullptr);
        QVERIFY(window.lbPlanState->text().startsWith(QStringLiteral("Spring gala: ")));
        QByteArray written[3];
        for (int form = 0; form < 3; ++form) {
            window.cbPlanForm->setCurrentIndex(form);
            window.btExportClick();
            QFile file(m_dir.filePath(interchange::PlanExportFileName(window.ChosenForm())));
            QVERIFY(file.open(QIODevice::ReadOnly));
            written[form] = file.readAll();
        }
        // The stored plan gives the CSV the search gave: frequencies, margins and backups.
        QCOMPARE(QString::fromUtf8(written[0]), PlanCsv(show, m_plan));
        QStringList list;
        for (double mhz : show.plan->mhz)
            if (mhz > 0)
                list << QString::number(mhz, 'f', 3);
        for (const FileBackup& backup : show.plan->backups)
            list << QString::number(backup.mhz, 'f', 3);
        QCOMPARE(written[1], (list.join(QLatin1Char('\n')) + QLatin1Char('\n')).toLatin1());
        const FileReading read = ReadCoordinationFile(written[2]);
        QVERIFY2(read.error.isEmpty(), qPrintable(read.error));
        QCOMPARE(read.file.plan->mhz, show.plan->mhz);
    }

    void pdfReadsOnA4AndLetter_data()
    {
        QTest::addColumn<int>("paper");
        QTest::addColumn<QString>("size");
        QTest::newRow("A4") << int(QPageSize::A4) << QStringLiteral("595 x 842 pts (A4)");
        QTest::newRow("Letter") << int(QPageSize::Letter) << QStringLiteral("612 x 792 pts (letter)");
    }

    void pdfReadsOnA4AndLetter()
    {
        QFETCH(int, paper);
        QFETCH(QString, size);
        if (QStandardPaths::findExecutable(QStringLiteral("pdftoppm")).isEmpty())
            QSKIP("poppler-utils is not installed (tools/setup.sh installs it)");
        TFrmPlanReport window(nullptr);
        window.cbPaper->setCurrentIndex(paper == int(QPageSize::A4) ? 0 : 1);
        window.btExportClick();
        const QString pdf = m_dir.filePath(QStringLiteral("plan-report.pdf"));
        const QString info = Run(QStringLiteral("pdfinfo"), { pdf });
        QVERIFY2(info.contains(size), qPrintable(info));
        const QString text = Run(QStringLiteral("pdftotext"), { QStringLiteral("-layout"), pdf, QStringLiteral("-") });
        for (const QString& expected : { QStringLiteral("Spring gala"), QStringLiteral("Hall 2"),
                 QStringLiteral("R. Vale"), QStringLiteral("The plan passed the check"),
                 QStringLiteral("650.000 – 652.000 MHz"), QStringLiteral("<b>house</b> intercom"),
                 QStringLiteral("Profile level 3"), QStringLiteral("front of the stage") })
            QVERIFY2(text.contains(expected), qPrintable(expected));
        int placed = 0;
        for (double mhz : TheShow().file.plan->mhz)
            if (mhz > 0 && ++placed)
                QVERIFY2(text.contains(QString::number(mhz, 'f', 3)), qPrintable(QString::number(mhz)));
        QVERIFY(placed >= 8);

        // Rendered at 50 dpi: 15 mm margins are 29 pixels; nothing is drawn within 25 of an edge.
        const QString prefix = m_dir.filePath(QStringLiteral("page-%1").arg(paper));
        Run(QStringLiteral("pdftoppm"),
            { QStringLiteral("-r"), QStringLiteral("50"), QStringLiteral("-png"), pdf, prefix });
        const QStringList pages = QDir(m_dir.path()).entryList({ QStringLiteral("page-%1*.png").arg(paper) });
        QVERIFY(pages.size() >= 2);
        for (const QString& name : pages) {
            const QImage page(m_dir.filePath(name));
            QVERIFY(!page.isNull());
            QCOMPARE(InkOutside(page, 25), 0);
        }
        if (!qEnvironmentVariableIsEmpty("TESSARO_KEEP_REPORT"))
            QFile::copy(pdf, qEnvironmentVariable("TESSARO_KEEP_REPORT") + QStringLiteral("-%1.pdf").arg(paper));
    }

    void htmlIsOneEscapedFile()
    {
        TFrmPlanReport window(nullptr);
        window.cbReportFormat->setCurrentIndex(1);
        QVERIFY(!window.cbPaper->isEnabled());
        window.btExportClick();
        QFile file(m_dir.filePath(QStringLiteral("plan-report.html")));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        QVERIFY(html.contains(QStringLiteral("&lt;b&gt;house&lt;/b&gt; intercom"))
            && !html.contains(QStringLiteral("<b>house")));
        const qsizetype data = html.indexOf(QStringLiteral("src=\"data:image/png;base64,"));
        QVERIFY(data > 0);
        const QByteArray png = QByteArray::fromBase64(
            html.mid(data + 27, html.indexOf(QLatin1Char('"'), data + 27) - data - 27).toLatin1());
        QVERIFY(QImage::fromData(png, "PNG").width() == 1600);
        QVERIFY(!html.contains(QStringLiteral("src=\"http")) && !html.contains(QStringLiteral("href=")));
    }

private:
    QTemporaryDir m_dir;
    QStringList m_boxes;
    ShowPlan m_plan;
};

QTEST_MAIN(TestPlanReport)
#include "PlanReportTests.moc"
