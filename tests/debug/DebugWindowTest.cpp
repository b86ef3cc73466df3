#include "data/Clock.h"
#include "data/DebugPrint.h"
#include "data/IniFile.h"
#include "data/PublicStruct.h"
#include "lang/Gbk.h"
#include "ui/FormDebug.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace {
std::atomic<uint32_t> g_now { 1000 };
uint32_t FakeTick() { return g_now.load(); }

// What each visible row shows: the rightmost text pixel, 0 for a row without text.
QList<int> RowExtents(const TFrmDebug& window)
{
    const QImage& picture = window.Image1->Picture;
    QList<int> extents(window.VisibleRows(), 0);
    for (int row = 0; row < extents.size(); ++row)
        for (int y = row * 20 + 10; y < row * 20 + 30; ++y)
            for (int x = 0; x < picture.width(); ++x)
                if (qRed(picture.pixel(x, y)) > 128)
                    extents[row] = std::max(extents[row], x);
    return extents;
}

// One character per visible row, 'X' when it holds text.
QString RowPattern(const TFrmDebug& window)
{
    QString pattern;
    for (int extent : RowExtents(window))
        pattern += extent > 0 ? QLatin1Char('X') : QLatin1Char('.');
    return pattern;
}

// Delivers the pending redraw messages, then draws with the throttle certainly passed.
void DrawNow()
{
    QCoreApplication::sendPostedEvents();
    g_now += 1000;
    FrmDebug->Redraw();
}

QByteArray Gbk(const char* utf8) { return ToGbk(QString::fromUtf8(utf8)); }
} // namespace

class DebugWindowTest : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    QString Config() const { return m_dir->filePath("Config.ini"); }
    QString LogPath() const { return m_dir->filePath("DebugLog.Log"); }
    QByteArray LogBytes() const
    {
        QFile file(LogPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void initTestCase() { SetTickSource(FakeTick); }
    void cleanupTestCase() { SetTickSource(nullptr); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        PublicStruct::Install(std::make_unique<PublicStruct>(m_dir->path() + "/"));
        g_now = 1000;
    }
    void cleanup() { DestroyDebugWindow(); }

    void linesFromManyThreadsArriveWholeAndInOrder()
    {
        IniWriteInt(Config(), "Public", "DebugBufferLines", -1);
        CreateDebugWindow(nullptr)->btSave->click();
        constexpr int Threads = 4, Lines = 500;
        const QByteArray payload = QString::fromUtf8("中文").repeated(100).toUtf8();
        std::vector<std::thread> threads;
        for (int t = 0; t < Threads; ++t)
            threads.emplace_back([t, &payload] {
                for (int i = 0; i < Lines; ++i)
                    DebugPrint("thread %d line %04d %s", t, i, payload.constData());
            });
        for (std::thread& thread : threads)
            thread.join();

        const QList<QByteArray> lines = FrmDebug->LiveLines();
        QCOMPARE(lines.size(), Threads * Lines);
        std::vector<int> next(Threads, 0);
        for (const QByteArray& line : lines) {
            const int t = line.mid(7, 1).toInt();
            QVERIFY(t >= 0 && t < Threads);
            QCOMPARE(line, ToGbk(QString("thread %1 line %2 ").arg(t).arg(next[t]++, 4, 10, QChar('0')) + payload));
        }
        QCOMPARE(LogBytes(), lines.join("\r\n") + "\r\n");
    }

    void windowGoesAwayWhileOtherThreadsPrint()
    {
        std::atomic<bool> stop { false };
        std::vector<std::thread> threads;
        for (int t = 0; t < 3; ++t)
            threads.emplace_back([&stop] {
                for (int i = 0; !stop.load(); ++i)
                    DebugPrint("busy %d", i);
            });
        for (int cycle = 0; cycle < 20; ++cycle) {
            CreateDebugWindow(nullptr);
            QTRY_VERIFY(!FrmDebug->LiveLines().isEmpty());
            DestroyDebugWindow();
            QVERIFY(FrmDebug == nullptr);
        }
        stop = true;
        for (std::thread& thread : threads)
            thread.join();
    }

    void linesCollectOnlyWhileTheWindowExists()
    {
        DebugPrint("before");
        TFrmDebug* window = CreateDebugWindow(nullptr);
        QCOMPARE(FrmDebug, window);
        QVERIFY(window->LiveLines().isEmpty());
        window->close(); // the title-bar button only hides it
        QVERIFY(!window->isVisible());
        DebugPrint("hidden %d", 1);
        QCOMPARE(FrmDebug->LiveLines(), QList<QByteArray> { "hidden 1" });
        DestroyDebugWindow();
        DebugPrint("after");
        QVERIFY(CreateDebugWindow(nullptr)->LiveLines().isEmpty());
    }

    void lineLimitKeepsTheNewest_data()
    {
        QTest::addColumn<QVariant>("limit");
        QTest::addColumn<int>("printed");
        QTest::addColumn<int>("kept");
        QTest::newRow("default 500") << QVariant() << 600 << 501;
        QTest::newRow("negative never trims") << QVariant(-1) << 600 << 600;
        QTest::newRow("zero keeps one") << QVariant(0) << 5 << 1;
    }
    void lineLimitKeepsTheNewest()
    {
        QFETCH(QVariant, limit);
        QFETCH(int, printed);
        QFETCH(int, kept);
        if (limit.isValid())
            IniWriteInt(Config(), "Public", "DebugBufferLines", limit.toInt());
        CreateDebugWindow(nullptr);
        for (int i = 0; i < printed; ++i)
            DebugPrint("line %d", i);
        const QList<QByteArray> lines = FrmDebug->LiveLines();
        QCOMPARE(lines.size(), kept);
        QCOMPARE(lines.first(), QByteArray("line ") + QByteArray::number(printed - kept));
        QCOMPARE(lines.last(), QByteArray("line ") + QByteArray::number(printed - 1));
    }

    void stopDropsLinesEvenWhileSaving()
    {
        TFrmDebug* window = CreateDebugWindow(nullptr);
        window->btSave->click();
        window->btStopDebug->click();
        DebugPrint("dropped");
        QVERIFY(window->LiveLines().isEmpty());
        QVERIFY(!QFile::exists(LogPath()));
        window->btStopDebug->click();
        DebugPrint("kept");
        QCOMPARE(window->LiveLines(), QList<QByteArray> { "kept" });
        QCOMPARE(LogBytes(), QByteArray("kept\r\n"));
    }

    void saveAppendsGbkLinesWithCrLf()
    {
        QFile old(LogPath());
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old\r\n");
        old.close();
        TFrmDebug* window = CreateDebugWindow(nullptr);
        DebugPrint("not saved");
        window->btSave->click();
        DebugPrint("abc");
        DebugPrint("中文%d", 5);
        window->btSave->click();
        DebugPrint("not saved either");
        QCOMPARE(LogBytes(), "old\r\nabc\r\n" + Gbk("中文5") + "\r\n");

        // A log that cannot be opened only misses the line.
        QVERIFY(QFile::remove(LogPath()) && QDir(m_dir->path()).mkdir("DebugLog.Log"));
        window->btSave->click();
        DebugPrint("still shown");
        QCOMPARE(window->LiveLines().last(), QByteArray("still shown"));
    }

    void longLineIsCutAtACharacterBoundary_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("whole");
        QTest::newRow("exactly the capacity") << QString(8191, 'a') << true;
        QTest::newRow("long in UTF-8, fits in GBK") << QString::fromUtf8("中").repeated(4000) << true;
        QTest::newRow("one byte over") << QString(8192, 'a') << false;
        QTest::newRow("odd start, double-byte text") << "a" + QString::fromUtf8("中").repeated(5000) << false;
    }
    void longLineIsCutAtACharacterBoundary()
    {
        QFETCH(QString, text);
        QFETCH(bool, whole);
        CreateDebugWindow(nullptr);
        DebugPrint("%s", text.toUtf8().constData());
        const QByteArray line = FrmDebug->LiveLines().value(0);
        const QByteArray full = ToGbk(text);
        if (whole) {
            QCOMPARE(line, full);
            return;
        }
        QVERIFY(line.size() <= DebugLineCapacity);
        QVERIFY(line.endsWith(DebugCutMark));
        const QByteArray kept = line.chopped(3);
        QVERIFY(full.startsWith(kept));
        QVERIFY(kept.size() >= DebugLineCapacity - 4);
        QCOMPARE(ToGbk(FromGbk(kept)), kept); // no half character at the end
    }

    void wrappingNeverSplitsACharacter_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("mixed") << Gbk("A中文BC测试1234调试窗口x");
        QTest::newRow("low trail bytes, one-byte euro") << Gbk("丂€丂x€中丂");
        QTest::newRow("ends in double-byte") << Gbk("ab中文");
    }
    void wrappingNeverSplitsACharacter()
    {
        QFETCH(QByteArray, line);
        for (int bytesPerRow = -1; bytesPerRow <= 7; ++bytesPerRow) {
            const int width = std::max(bytesPerRow, 2);
            const QList<QByteArrayView> pieces = WrapGbkLine(line, bytesPerRow);
            QByteArray joined;
            for (qsizetype i = 0; i < pieces.size(); ++i) {
                const QByteArray piece = pieces[i].toByteArray();
                QVERIFY(piece.size() <= width);
                QVERIFY(i + 1 == pieces.size() || piece.size() >= width - 1);
                QCOMPARE(ToGbk(FromGbk(piece)), piece);
                joined += piece;
            }
            QCOMPARE(joined, line);
        }
        QVERIFY(WrapGbkLine(QByteArrayView(), 10).isEmpty());
    }

    void drawingRowsFollowLinesAndScrollPosition()
    {
        TFrmDebug* window = CreateDebugWindow(nullptr);
        DebugPrint("A");
        DebugPrint("%s", "");
        DebugPrint("%s", QByteArray(600, 'W').constData());
        DebugPrint("B");
        DrawNow();
        // The empty line takes no row, the long one several, the next line comes right after it.
        QVERIFY(QRegularExpression("^XX{2,}X\\.+$").match(RowPattern(*window)).hasMatch());

        window->tbClrScr->click();
        const int count = window->VisibleRows() + 30;
        for (int i = 0; i < count; ++i)
            DebugPrint("%s", QByteArray(i + 1, 'W').constData());
        DrawNow();
        QCOMPARE(window->ScrollBar1->value(), 100);
        const int bottomTop = RowExtents(*window)[0];
        window->ScrollBar1->setValue(0);
        DrawNow();
        // Row r now holds r + 1 characters; the advance per character is taken over all rows, since
        // a font's advance need not be a whole number of pixels.
        const QList<int> extents = RowExtents(*window);
        QVERIFY(extents.size() > 1);
        const int one = extents[0];
        const double perChar = double(extents.last() - one) / double(extents.size() - 1);
        QVERIFY(perChar > 0);
        QCOMPARE(1 + qRound(double(bottomTop - one) / perChar), count - window->VisibleRows() + 1);

        // A resize leaves the surface black until the next redraw.
        window->resize(500, 300);
        QTRY_COMPARE(window->Image1->Picture.size(), window->Image1->size());
        QCOMPARE(window->VisibleRows(), (300 - 57 - 20) / 20);
        QVERIFY(!RowPattern(*window).contains('X'));
    }

    void frozenShowsTheSnapshotWhileCollecting()
    {
        TFrmDebug* window = CreateDebugWindow(nullptr);
        for (const char* text : { "a", "b", "c" })
            DebugPrint("%s", text);
        DrawNow();
        window->tbFrozen->click();
        window->ScrollBar1->setValue(0);
        DebugPrint("d");
        DrawNow();
        QCOMPARE(window->ScrollBar1->value(), 0); // new lines do not scroll a frozen window
        QCOMPARE(window->LiveLines().size(), 4);
        QVERIFY(RowPattern(*window).startsWith("XXX."));

        window->tbClrScr->click();
        DrawNow();
        QVERIFY(window->LiveLines().isEmpty());
        QCOMPARE(window->SnapshotLines().size(), 3);
        QVERIFY(RowPattern(*window).startsWith("XXX."));

        window->tbFrozen->click();
        DrawNow();
        QVERIFY(!RowPattern(*window).contains('X'));
        DebugPrint("e");
        QCoreApplication::sendPostedEvents();
        QCOMPARE(window->ScrollBar1->value(), 100);
    }

    void throttleCollapsesRequestsIntoOneDeferredRedraw()
    {
        g_now = 0xFFFFFFA0; // the counter wraps inside the throttle interval
        TFrmDebug* window = CreateDebugWindow(nullptr);
        for (int i = 0; i < 30; ++i)
            DebugPrint("line %d", i);
        QCoreApplication::sendPostedEvents();
        QVERIFY(window->Timer1->isActive());
        g_now += 100;
        QTest::qWait(250); // the timer ran out within the interval: deferred once more
        QVERIFY(window->Timer1->isActive());
        QVERIFY(!RowPattern(*window).contains('X'));
        g_now += 100;
        QTRY_VERIFY(!window->Timer1->isActive());
        QVERIFY(!RowPattern(*window).contains('.'));
        QTest::qWait(300);
        QVERIFY(!window->Timer1->isActive());
    }

    void positionIsStoredAndRestored()
    {
        TFrmDebug* window = CreateDebugWindow(nullptr);
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        QCOMPARE(window->size(), QSize(766, 612));
        QCOMPARE(window->pos(), QPoint((screen.width() - 766) / 2, (screen.height() - 612) / 2));
        QCOMPARE(window->Image1->geometry(), QRect(0, 57, window->ScrollBar1->x(), 612 - 57));
        window->tbStayOnTop->click();
        QVERIFY(window->isVisible() && window->windowFlags().testFlag(Qt::WindowStaysOnTopHint));

        window->move(123, 45);
        DestroyDebugWindow();
        QCOMPARE(IniReadInt(Config(), "History", "DebugFormLeft", 0), 123);
        QCOMPARE(IniReadInt(Config(), "History", "DebugFormTop", 0), 45);
        QCOMPARE(CreateDebugWindow(nullptr)->pos(), QPoint(123, 45));
    }
};

QTEST_MAIN(DebugWindowTest)
#include "DebugWindowTest.moc"
