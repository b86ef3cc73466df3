// Frequency lists from other tools: each form on hand-made files with their odd corners, refusals
// named by file, line and reason, and the lists as inclusion lists and foreign carriers.
#include "interchange/FrequencyLists.h"

#include <QTest>

using namespace interchange;

namespace
{

std::vector<double> Mhz(const FrequencyListReading& reading)
{
    std::vector<double> mhz;
    for (const FrequencyEntry& e : reading.Entries)
        mhz.push_back(e.Mhz);
    return mhz;
}

} // namespace

class TestFrequencyLists : public QObject
{
    Q_OBJECT
private slots:
    void handMadeListsOfEachForm()
    {
        const FrequencyListReading plain
            = ReadFrequencyList("\xEF\xBB\xBF\r\n470.250 470.5\t471.125;\r\n;472\r\n\r\n", QStringLiteral("p.txt"));
        QVERIFY2(plain.Ok(), qPrintable(plain.Error));
        QCOMPARE(plain.Kind, FrequencyListKind::Plain);
        QCOMPARE(Mhz(plain), (std::vector<double> { 470.25, 470.5, 471.125, 472.0 }));

        // The frequency column found by its name, a decimal comma, quotes, CR LF.
        const FrequencyListReading named = ReadFrequencyList(
            "Name;Type;Bank;Frequency [kHz];Channel\r\n\"Lead vocal\";SKM;1;548300;1\r\nIEM 1;SR;1;556125,5;2\r\n",
            QStringLiteral("w.csv"));
        QVERIFY2(named.Ok(), qPrintable(named.Error));
        QCOMPARE(named.Kind, FrequencyListKind::Wsm);
        QCOMPARE(Mhz(named), (std::vector<double> { 548.3, 556.1255 }));
        QCOMPARE(named.Entries[0].Name, QStringLiteral("Lead vocal"));

        const FrequencyListReading bare
            = ReadFrequencyList("Lead;EM;548300\nBass;EM;551000;x\n", QStringLiteral("b.csv"));
        QCOMPARE(Mhz(bare), (std::vector<double> { 548.3, 551.0 }));
    }

    void refusalsNameFileLineAndReason_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("error");
        QTest::newRow("decimal comma in MHz")
            << QByteArray("470.250\n\n470,500\n") << QStringLiteral("f: line 3: not a frequency in MHz: \"470,500\"");
        QTest::newRow("header in a plain list")
            << QByteArray("\nMHz\n470.250\n") << QStringLiteral("f: line 2: not a frequency in MHz: \"MHz\"");
        QTest::newRow("out of range") << QByteArray("470.25 1e9\n")
                                      << QStringLiteral("f: line 1: not a frequency in MHz: \"1e9\"");
        QTest::newRow("zero") << QByteArray("0\n") << QStringLiteral("f: line 1: frequency 0 MHz out of range");
        QTest::newRow("no frequency column") << QByteArray("Name;Type;Bank\nLead;EM;1\n")
                                             << QStringLiteral("f: line 1: no Frequency column in the header");
        QTest::newRow("short row") << QByteArray("Name;Type;Frequency\nLead;EM\n")
                                   << QStringLiteral("f: line 2: expected at least 3 columns, found 2");
        QTest::newRow("empty frequency") << QByteArray("Name;Type;Frequency\nLead;EM;\n")
                                         << QStringLiteral("f: line 2: not a frequency in kHz: \"\"");
        QTest::newRow("nothing") << QByteArray("\r\n \r\n") << QStringLiteral("f: no frequencies");
        QByteArray many;
        for (int i = 0; i <= MaxFrequencyListEntries; ++i)
            many += QByteArray::number(470.0 + i * 0.025, 'f', 3) + '\n';
        QTest::newRow("too many") << many << QStringLiteral("f: line 4097: more than 4096 frequencies");
    }

    void refusalsNameFileLineAndReason()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, error);
        const FrequencyListReading reading = ReadFrequencyList(bytes, QStringLiteral("f"));
        QCOMPARE(reading.Error, error);
        QVERIFY(reading.Entries.empty());
    }

    void listsBecomeInclusionsAndForeignCarriers()
    {
        coordination::CoordinationFile show;
        QString why;
        const FrequencyListReading first = ReadFrequencyList("641.5 640.25 641.5 640.2500001\n", QStringLiteral("f"));
        QVERIFY(AddInclusionList(show, QStringLiteral("licence A"), first, &why));
        QCOMPARE(show.inclusions[0].mhz, (std::vector<double> { 640.25, 641.5 }));
        // The same name again takes the new list instead of adding a second one.
        QVERIFY(
            AddInclusionList(show, QStringLiteral("licence A"), ReadFrequencyList("650\n", QStringLiteral("f")), &why));
        QCOMPARE(show.inclusions.size(), size_t(1));
        QCOMPARE(show.inclusions[0].mhz, std::vector<double> { 650.0 });

        const FrequencyListReading wsm = ReadFrequencyList("IEM 1;SR;645100\n;SR;645600\n", QStringLiteral("f"));
        QVERIFY(AddForeignCarriers(show, wsm, QStringLiteral("iem.csv"), QStringLiteral("in-ear"), &why));
        QCOMPARE(show.foreign.size(), size_t(2));
        QCOMPARE(show.foreign[0].label, QStringLiteral("IEM 1"));
        QCOMPARE(show.foreign[1].label, QStringLiteral("iem.csv 2")); // a row without a name
        QCOMPARE(show.foreign[1].profile, QStringLiteral("in-ear"));

        show.foreign.resize(size_t(coordination::MaxFileForeign) - 1);
        QVERIFY(!AddForeignCarriers(show, wsm, QStringLiteral("iem.csv"), {}, &why));
        QCOMPARE(why, QStringLiteral("the show would hold more than 1024 foreign carriers"));
        QCOMPARE(show.foreign.size(), size_t(coordination::MaxFileForeign) - 1);
    }
};

QTEST_GUILESS_MAIN(TestFrequencyLists)
#include "FrequencyListTests.moc"
