// The show's coordination inputs, Assign all through them, Analyze from the Devices menu and the
// show file, driven through the windows as an operator would, with a loopback socket in each
// receiver's place.
#include "../mainwindow/MainFixture.h"

#include "coord/CurrentShow.h"
#include "coord/ShowFile.h"
#include "data/Coordination.h"
#include "data/PublicStruct.h"
#include "protocol/Commands.h"
#include "ui/coord/FormCoordAnalysis.h"
#include "ui/coord/FormCoordInputs.h"
#include "ui/coord/ShowCommands.h"
#include "ui/coord/ShowSignals.h"
#include "ui/rf/FormSetMuiltFreq.h"

#include <NetNamespace.h>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cmath>
#include <functional>

using namespace fixture;
using namespace coordination;

namespace
{

// Lead, Choir and Spare share band A (640.000 MHz, channels 4..103); Guest is on band B
// (660.000, channels 0..39) and has never reported its frequency.
QList<StoredRecord> Records()
{
    return { { "127.0.0.9", 7, 2, "A", 4, 4, 100, 640.0, 640.0, "Lead" },
        { "127.0.0.10", 8, 1, "A", 8, 4, 100, 640.0, 641.0, "Choir" },
        { "127.0.0.11", 9, 1, "A", 24, 4, 100, 640.0, 645.0, "Spare" },
        { "127.0.0.12", 10, 1, "B", 0, 0, 40, 660.0, 0.0, "Guest" } };
}

// Runs act on the modal window the next exec() shows.
void WhenShown(std::function<void(QWidget&)> act)
{
    QTimer::singleShot(0, [act] {
        QWidget* shown = QApplication::activeModalWidget();
        QVERIFY(shown);
        act(*shown);
    });
}

void ChooseFileWhenAsked(const QString& path)
{
    WhenShown([path](QWidget& shown) {
        auto* dialog = qobject_cast<QFileDialog*>(&shown);
        QVERIFY(dialog);
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

QAction& Action(TFrmMain& window, const char* name)
{
    auto* action = window.findChild<QAction*>(QString::fromLatin1(name));
    Q_ASSERT(action);
    return *action;
}

void Enter(QLineEdit* edit, const QString& text)
{
    edit->setText(text);
}

QStringList TableRow(const QTableWidget& table, int row)
{
    QStringList cells;
    for (int c = 0; c < table.columnCount(); ++c)
        cells << (table.item(row, c) ? table.item(row, c)->text() : QString());
    return cells;
}

// True when the widget as drawn holds clearly red pixels (the refusal's text).
bool DrawnInRed(QWidget& widget)
{
    const QImage shown = widget.grab().toImage();
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) {
            const QColor c = shown.pixelColor(x, y);
            if (c.red() > 120 && c.green() < 60 && c.blue() < 60)
                return true;
        }
    return false;
}

QString ShotPath(const QString& name)
{
    const QString dir = QCoreApplication::applicationDirPath() + QStringLiteral("/shots");
    QDir().mkpath(dir);
    return dir + QLatin1Char('/') + name;
}

struct Station {
    Station()
        : dir(Records())
        , window(MakeWindow())
    {
        for (const char* ip : { "127.0.0.9", "127.0.0.10", "127.0.0.11", "127.0.0.12" })
            receivers.push_back(std::make_unique<FarEnd>(ip, ReceiverPort));
    }
    ShowCommands& show() { return *window->findChild<ShowCommands*>(); }
    // The compatibility window's list with every device checked.
    std::unique_ptr<QTreeWidget> SourceList() const
    {
        auto list = std::make_unique<QTreeWidget>();
        list->setColumnCount(4);
        for (const auto& record : window->Devices()) {
            auto* row = new QTreeWidgetItem(list.get(),
                { QString::number(record->RXID), QString::number(record->DevIdx), record->Name, record->IP });
            row->setCheckState(0, Qt::Checked);
        }
        return list;
    }
    // Acknowledges each Set as it arrives until Assign all has gone through its devices; the
    // receivers that got a command, as "RXID:DevIdx@channel".
    QStringList AnswerSets(TFrmSetMuiltFreq& multi)
    {
        QStringList set;
        while (multi.Assigning()) {
            const TTMICListObj* target = multi.Target();
            const int at = static_cast<int>(window->Devices().Count());
            int index = 0;
            while (index < at && window->Devices().At(index) != target)
                ++index;
            const std::vector<QByteArray> got = receivers[size_t(index)]->Receive(2000);
            if (got.empty())
                break;
            set << QStringLiteral("%1:%2@%3").arg(target->RXID).arg(target->DevIdx).arg(uint8_t(got.front()[6]));
            Deliver(
                *window, Frame(target->RXID, target->DevIdx, CMD_SET_CHANNEL_ACK, QByteArray(1, '\x05')), target->IP);
            QCoreApplication::processEvents();
        }
        return set;
    }

    ExeDir dir;
    std::unique_ptr<TFrmMain> window;
    std::vector<std::unique_ptr<FarEnd>> receivers;
    MessageBoxes boxes;
};

} // namespace

class TestCoordUi : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        TheShow() = {};
        PublicStruct::Instance().LanguageIndex = 1;
    }

    // A plain list becomes an inclusion list named by its file, a WSM list foreign carriers named
    // by its rows; a file that is unreadable or reaches outside the show's bands adds nothing.
    void frequencyListsImported()
    {
        REQUIRE_PRIVATE_NETNS();
        Station station;
        TFrmCoordInputs inputs(station.window.get(), station.window->Devices());
        inputs.show();
        const auto file = [](const QString& name, const QByteArray& text) {
            const QString path = QDir::current().filePath(name);
            QFile out(path);
            const bool written = out.open(QIODevice::WriteOnly) && out.write(text) == text.size();
            return written ? path : QString();
        };
        const auto import = [](QPushButton* button, const QString& path) {
            QVERIFY(!path.isEmpty()); // the file was written
            ChooseFileWhenAsked(path);
            button->click();
        };

        inputs.pcInputs->setCurrentIndex(5);
        const QString licence = file("licence A.txt", "640.5; 641.25\r\n662\n");
        import(inputs.btImportInclusion, licence);
        QVERIFY2(inputs.lbProblem->text().isEmpty(), qPrintable(inputs.lbProblem->text()));
        QCOMPARE(TableRow(*inputs.lvInclusions, 0), (QStringList { "licence A", "640.500 641.250 662.000" }));
        QVERIFY(TheShow().modified);
        import(inputs.btImportInclusion, licence);
        QCOMPARE(inputs.lbProblem->text(),
            QStringLiteral("licence A: The list's name is empty or already taken: \"licence A\" (type another name in "
                           "the Name field and import again)"));
        Enter(inputs.edInclusionName, "licence B");
        import(inputs.btImportInclusion, licence);
        QCOMPARE(inputs.lvInclusions->item(1, 0)->text(), QStringLiteral("licence B"));
        import(inputs.btImportInclusion, file("wide.txt", "641\n700\n"));
        QCOMPARE(inputs.lbProblem->text(),
            QStringLiteral("wide: 700.000 MHz lies outside every band (640.000-665.000, 660.000-670.000 MHz)"));
        QVERIFY(DrawnInRed(*inputs.lbProblem));
        QCOMPARE(inputs.lvInclusions->rowCount(), 2);
        QCOMPARE(TheShow().file.inclusions.size(), size_t(2));
        QVERIFY(inputs.grab().save(ShotPath("coord-inputs-inclusions.png")));

        inputs.pcInputs->setCurrentIndex(4);
        inputs.cbForeignProfile->setCurrentIndex(inputs.cbForeignProfile->findData("in-ear"));
        import(inputs.btImportForeign, file("iem.csv", "Name;Type;Frequency [kHz]\nIEM 1;SR;645100\n;SR;663250\n"));
        QVERIFY2(inputs.lbProblem->text().isEmpty(), qPrintable(inputs.lbProblem->text()));
        QCOMPARE(TableRow(*inputs.lvForeign, 0), (QStringList { "645.100", "IEM 1", "in-ear" }));
        QCOMPARE(TableRow(*inputs.lvForeign, 1), (QStringList { "663.250", "iem 2", "in-ear" }));
        import(inputs.btImportForeign, file("broken.csv", "Name;Type;Frequency\nIEM 3;SR;645900\nIEM 4;SR;64x\n"));
        QCOMPARE(inputs.lbProblem->text(), QStringLiteral("broken.csv: line 3: not a frequency in kHz: \"64x\""));
        import(inputs.btImportForeign, file("far.csv", "IEM 5;SR;645900\nIEM 6;SR;610000\n"));
        QCOMPARE(inputs.lbProblem->text(),
            QStringLiteral("far: 610.000 MHz lies outside every band (640.000-665.000, 660.000-670.000 MHz)"));
        QCOMPARE(inputs.lvForeign->rowCount(), 2);
        const CoordinationFile& show = TheShow().file;
        QCOMPARE(show.foreign.size(), size_t(2));
        QCOMPARE(show.foreign[1].label, QStringLiteral("iem 2"));
        QCOMPARE(show.foreign[1].mhz, 663.25);
        QCOMPARE(show.inclusions[0].mhz, (std::vector<double> { 640.5, 641.25, 662.0 }));
        QVERIFY(inputs.grab().save(ShotPath("coord-inputs-imported.png")));
    }

    // Entries that fail their check are named in red and leave the show as it was; those that
    // pass go into it at once and mark it modified.
    void inputsAreCheckedAsEntered()
    {
        REQUIRE_PRIVATE_NETNS();
        Station station;
        TFrmCoordInputs inputs(station.window.get(), station.window->Devices());
        inputs.show();
        QCOMPARE(TheShow().file.devices.size(), size_t(4)); // every managed record joined
        QVERIFY(!TheShow().modified);

        Enter(inputs.edExclusionFrom, "650");
        Enter(inputs.edExclusionTo, "648");
        inputs.btAddExclusionClick();
        QCOMPARE(
            inputs.lbProblem->text(), QStringLiteral("Range upside down: from 650.000 MHz is above to 648.000 MHz"));
        QVERIFY(DrawnInRed(*inputs.lbProblem));
        Enter(inputs.edExclusionFrom, "700");
        Enter(inputs.edExclusionTo, "701");
        inputs.btAddExclusionClick();
        QCOMPARE(inputs.lbProblem->text(),
            QStringLiteral("700.000 MHz lies outside every band (640.000-665.000, 660.000-670.000 MHz)"));
        Enter(inputs.edForeignMHz, "6x0");
        inputs.btAddForeignClick();
        QCOMPARE(inputs.lbProblem->text(), QStringLiteral("MHz: not a number: \"6x0\""));
        Enter(inputs.edForeignMHz, "nan");
        inputs.btAddForeignClick();
        QVERIFY(inputs.lbProblem->text().startsWith("MHz: not a number"));
        Enter(inputs.edInclusionName, "licence A");
        Enter(inputs.edInclusionMHz, "641.25; 690");
        inputs.btAddInclusionClick();
        QVERIFY(inputs.lbProblem->text().startsWith("690.000 MHz lies outside every band"));
        // Guest never reported a frequency: it has none to keep.
        inputs.lvDevices->item(3, TFrmCoordInputs::ColLocked)->setCheckState(Qt::Checked);
        QCOMPARE(inputs.lbProblem->text(),
            QStringLiteral("Device 10:1 has not reported its frequency yet: connect it first"));
        QCOMPARE(inputs.lvDevices->item(3, TFrmCoordInputs::ColLocked)->checkState(), Qt::Unchecked);
        const CoordinationFile& show = TheShow().file;
        QVERIFY(show.exclusions.empty() && show.foreign.empty() && show.inclusions.empty() && !show.devices[3].locked);
        QVERIFY(!TheShow().modified);

        Enter(inputs.edInclusionMHz, "641.25 641.75,642.5");
        inputs.btAddInclusionClick();
        QVERIFY(inputs.lbProblem->text().isEmpty() && !DrawnInRed(*inputs.lbProblem));
        QCOMPARE(TableRow(*inputs.lvInclusions, 0), (QStringList { "licence A", "641.250 641.750 642.500" }));
        Enter(inputs.edInclusionName, "licence A");
        Enter(inputs.edInclusionMHz, "650");
        inputs.btAddInclusionClick(); // the same name again
        QCOMPARE(inputs.lbProblem->text(), QStringLiteral("The list's name is empty or already taken: \"licence A\""));
        auto* bound = qobject_cast<QComboBox*>(inputs.lvDevices->cellWidget(1, TFrmCoordInputs::ColInclusion));
        bound->setCurrentIndex(bound->findData("licence A"));
        emit bound->activated(bound->currentIndex());
        QCOMPARE(show.devices[1].inclusion, QStringLiteral("licence A"));
        inputs.lvInclusions->selectRow(0);
        inputs.btRemoveInclusionClick(); // a removed list binds no device any more
        QVERIFY(show.inclusions.empty() && show.devices[1].inclusion.isEmpty());

        // The show's own profile: guards in whole kHz or off, a name no preset has; in use, it stays.
        for (const auto& [name, spacing] : { std::pair { "wide", "12.5" }, std::pair { "analog", "500" } }) {
            Enter(inputs.edProfileName, name);
            Enter(inputs.edProfileSpacing, spacing);
            inputs.btAddProfileClick();
            QVERIFY(!inputs.lbProblem->text().isEmpty() && show.profiles.empty());
        }
        Enter(inputs.edProfileName, "wide");
        Enter(inputs.edProfileSpacing, "500");
        Enter(inputs.edProfileThirdTwo, "150");
        Enter(inputs.edProfileThirdThree, "off");
        inputs.btAddProfileClick();
        QCOMPARE(TableRow(*inputs.lvProfiles, 0), (QStringList { "wide", "500", "150", "off", "off" }));
        auto* profile = qobject_cast<QComboBox*>(inputs.lvDevices->cellWidget(0, TFrmCoordInputs::ColProfile));
        profile->setCurrentIndex(profile->findData("wide"));
        emit profile->activated(profile->currentIndex());
        inputs.lvProfiles->selectRow(0);
        inputs.btRemoveProfileClick();
        QCOMPARE(inputs.lbProblem->text(), QStringLiteral("Device 7:2 uses the profile \"wide\""));
        QVERIFY(show.profiles.size() == 1 && show.devices[0].profile == "wide");
        QVERIFY(TheShow().modified);
    }

    // The operator's flow: a TV channel on air, an exclusion, two foreign carriers and a locked
    // device; Assign all gives a plan with backups and sets the others; the show is saved,
    // cleared and opened with everything back.
    void showFlowEndToEnd()
    {
        REQUIRE_PRIVATE_NETNS();
        Station station;
        station.window->show();
        {
            TFrmCoordInputs inputs(station.window.get(), station.window->Devices());
            inputs.show();
            Enter(inputs.edShowName, "Arena Tour");
            emit inputs.edShowName->textEdited(inputs.edShowName->text());
            inputs.pcInputs->setCurrentIndex(3);
            inputs.cbTvRegion->setCurrentIndex(inputs.cbTvRegion->findData("europe"));
            emit inputs.cbTvRegion->activated(inputs.cbTvRegion->currentIndex());
            const QList<QTreeWidgetItem*> tv43 = inputs.lvTvChannels->findItems("TV 43", Qt::MatchExactly);
            QCOMPARE(tv43.size(), 1);
            QCOMPARE(tv43[0]->text(1), QStringLiteral("646.000-654.000 MHz"));
            tv43[0]->setCheckState(0, Qt::Checked);
            Enter(inputs.edExclusionFrom, "656");
            Enter(inputs.edExclusionTo, "657.5");
            Enter(inputs.edExclusionNote, "house intercom");
            inputs.btAddExclusionClick();
            for (const auto& [mhz, label] : { std::pair { "640.000", "IEM 1" }, std::pair { "641.0", "IEM 2" } }) {
                Enter(inputs.edForeignMHz, mhz);
                Enter(inputs.edForeignLabel, label);
                inputs.cbForeignProfile->setCurrentIndex(inputs.cbForeignProfile->findData("in-ear"));
                inputs.btAddForeignClick();
            }
            QVERIFY(inputs.grab().save(ShotPath("coord-inputs-tv.png")));
            inputs.lvDevices->item(2, TFrmCoordInputs::ColLocked)->setCheckState(Qt::Checked);
            QVERIFY2(inputs.lbProblem->text().isEmpty(), qPrintable(inputs.lbProblem->text()));
            inputs.pcInputs->setCurrentIndex(1);
            QVERIFY(inputs.grab().save(ShotPath("coord-inputs.png")));
        }
        const CoordinationFile& entered = TheShow().file;
        QCOMPARE(entered.tv.channels, std::vector<int> { 43 });
        QCOMPARE(entered.exclusions.size(), size_t(1));
        QCOMPARE(entered.foreign.size(), size_t(2));
        QVERIFY(entered.devices[2].locked && entered.devices[2].currentMHz == 645.0);
        QCOMPARE(station.window->windowTitle(), QStringLiteral("Korvane Tessaro - V1.0.0.1 - Arena Tour *"));

        auto source = station.SourceList();
        bool done = false;
        TFrmSetMuiltFreq multi(station.window.get(), done, {}, *source, station.window->Devices());
        multi.show();
        multi.cbIntermod->setCurrentIndex(static_cast<int>(Level::ThreeTransmitter));
        multi.btAnalyzeClick(); // the foreign carriers are on air with Lead and Choir
        QVERIFY2(station.boxes.calls.back().message.contains("7:2 and IEM 1 only 0 kHz apart"),
            qPrintable(station.boxes.calls.back().message));
        multi.btAssignAllClick();
        const QStringList set = station.AnswerSets(multi);
        QTRY_VERIFY(!multi.Assigning());
        QVERIFY(multi.grab().save(ShotPath("assign-all-plan.png")));

        // Lead, Choir and Guest are set; Spare is locked and gets nothing.
        QCOMPARE(set.size(), 3);
        QVERIFY(station.receivers[2]->Receive(200).empty());
        QCOMPARE(multi.lbDevList->topLevelItem(2)->text(TFrmSetMuiltFreq::ColResult), QStringLiteral("Locked"));
        QVERIFY2(multi.lbPlan->text().startsWith("Plan: 4 of 4 devices placed"), qPrintable(multi.lbPlan->text()));
        QVERIFY2(multi.lbPlan->text().contains(
                     QRegularExpression("Backups 640.000-664.750 MHz: \\d+\\.\\d{3}, \\d+\\.\\d{3}")),
            qPrintable(multi.lbPlan->text()));
        QVERIFY2(!multi.lbPlan->text().contains("645.000-645.000"), qPrintable(multi.lbPlan->text())); // no reserve for a lock
        const std::optional<FilePlan>& plan = TheShow().file.plan;
        QVERIFY(plan && plan->mhz.size() == 4 && !plan->backups.empty());
        for (double mhz : plan->mhz) // neither on the TV channel nor on the intercom
            QVERIFY2(mhz > 0 && !(mhz >= 646.0 && mhz <= 654.0) && !(mhz >= 656.0 && mhz <= 657.5),
                qPrintable(QString::number(mhz)));
        bool honoured = plan->mhz[2] == 645.0;
        for (double mhz : plan->mhz)
            honoured = honoured && std::abs(mhz - 640.0) >= 0.4 && std::abs(mhz - 641.0) >= 0.4;
        QVERIFY(honoured);

        const QString path = QDir(station.dir.Path()).filePath("arena.json");
        const QByteArray before = WriteCoordinationFile(TheShow().file);
        ChooseFileWhenAsked(path);
        Action(*station.window, "mnSaveShow").trigger();
        QVERIFY(QFile::exists(path) && !TheShow().modified);
        QCOMPARE(station.window->windowTitle(), QStringLiteral("Korvane Tessaro - V1.0.0.1 - Arena Tour"));
        QCOMPARE(Messages(*station.window).last(), "Show saved: " + path);

        TheShow() = {};
        ChooseFileWhenAsked(path);
        Action(*station.window, "mnOpenShow").trigger();
        QCOMPARE(WriteCoordinationFile(TheShow().file), before);
        QCOMPARE(TheShow().path, path);
        QVERIFY(station.receivers[0]->Receive(200).empty()); // opening sets no receiver

        TFrmCoordInputs reopened(station.window.get(), station.window->Devices());
        QCOMPARE(TableRow(*reopened.lvExclusions, 0), (QStringList { "656.000", "657.500", "house intercom" }));
        QCOMPARE(TableRow(*reopened.lvForeign, 1), (QStringList { "641.000", "IEM 2", "in-ear" }));
        QCOMPARE(reopened.lvTvChannels->findItems("TV 43", Qt::MatchExactly)[0]->checkState(0), Qt::Checked);
        QCOMPARE(reopened.lvDevices->item(2, TFrmCoordInputs::ColLocked)->checkState(), Qt::Checked);
        QCOMPARE(reopened.edShowName->text(), QStringLiteral("Arena Tour"));
    }

    // A newer file is refused as such, a damaged one names its file and field, and neither
    // replaces the show; unsaved changes are not discarded without asking.
    void showFileRefusalsAndUnsavedChanges()
    {
        REQUIRE_PRIVATE_NETNS();
        Station station;
        ShowCommands& commands = station.show();
        QVERIFY(commands.SaveShow(QDir(station.dir.Path()).filePath("good.json")));
        QByteArray text = WriteCoordinationFile(TheShow().file);
        const QString newer = QDir(station.dir.Path()).filePath("newer.json");
        QFile out(newer);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(text).replace("\"version\": 1", "\"version\": 2"));
        out.close();
        TheShow().file.venue = QStringLiteral("Hall 3");
        QVERIFY(!commands.OpenShow(newer));
        QCOMPARE(station.boxes.calls.back().message,
            "Could not open the show: " + newer
                + ": version: made by a newer Tessaro (version 2; this program reads 1)");
        const QString damaged = QDir(station.dir.Path()).filePath("damaged.json");
        out.setFileName(damaged);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(QByteArray(text).replace("\"start_mhz\": 640", "\"start_mhz\": \"640\""));
        out.close();
        QVERIFY(!commands.OpenShow(damaged));
        QCOMPARE(station.boxes.calls.back().message,
            "Could not open the show: " + damaged + ": bands[0].start_mhz: not a number");
        QCOMPARE(TheShow().file.venue, QStringLiteral("Hall 3"));

        const QString nowhere = QDir(station.dir.Path()).filePath("missing/show.json");
        QVERIFY(!commands.SaveShow(nowhere));
        QVERIFY(station.boxes.calls.back().message.startsWith("Could not save the show: " + nowhere + ": "));

        MarkShowModified();
        station.boxes.answers = { 2 };
        Action(*station.window, "mnOpenShow").trigger(); // declined: no file dialog, the show stays
        QCOMPARE(station.boxes.calls.back().message, QStringLiteral("The show has unsaved changes. Discard them?"));
        QCOMPARE(TheShow().file.venue, QStringLiteral("Hall 3"));
        station.window->show();
        station.boxes.answers = { 2 };
        QVERIFY(!station.window->close() && station.window->isVisible());
        QVERIFY(station.window->close());
    }

    // Analyze in the Devices menu judges every managed device's frequency and the foreign
    // carriers: 2 x 641 - 640 lands on the in-ear monitor at 642.
    void analyzeFromDevicesMenu()
    {
        REQUIRE_PRIVATE_NETNS();
        Station station;
        QVERIFY(SaveRule(PublicStruct::Instance().ConfigPath(), { Level::ThreeTransmitter, 400, 100 }));
        TheShow().file.foreign.push_back({ 642.0, QStringLiteral("IEM 1"), {} });
        QString findings;
        WhenShown([&](QWidget& shown) {
            auto* analysis = qobject_cast<TFrmCoordAnalysis*>(&shown);
            QVERIFY(analysis);
            findings = analysis->meFindings->toPlainText();
            QVERIFY(analysis->meFindings->isReadOnly());
            QVERIFY(analysis->grab().save(ShotPath("analyze.png")));
            analysis->btClose->click();
        });
        Action(*station.window, "mnAnalyze").trigger();
        QVERIFY2(findings.startsWith("On air: 3 of our devices, 1 foreign carriers; rule: level 3, spacing 400 kHz, "
                                     "product guard 100 kHz\n"),
            qPrintable(findings));
        QVERIFY2(findings.contains("3rd order 2×8:1 − 7:2 lands 0 kHz from IEM 1"), qPrintable(findings));
    }
};

TESSARO_NETNS_TEST_MAIN(QApplication, TestCoordUi)

#include "CoordUiTests.moc"
