#include "ModalAnswer.h"
#include "WidgetTests.h"

#include "data/PublicStruct.h"
#include "ui/AppVersion.h"
#include "ui/FormAbout.h"

#include <QFontMetrics>
#include <QLabel>
#include <QTest>
#include <QTimer>

namespace {

QLabel* Part(const QWidget* window, const char* name)
{
    auto* part = window->findChild<QLabel*>(QLatin1String(name));
    if (!part)
        qWarning("missing part %s", name);
    return part;
}

// Pixels of the scroll area that differ from the window colour: where text is drawn.
int InkedPixels(const TFrmAbout& about)
{
    const QImage shown = Part(&about, "Image3")->pixmap().toImage();
    const QRgb window = about.palette().color(QPalette::Window).rgb();
    int count = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            count += shown.pixel(x, y) != window;
    return count;
}

} // namespace

class AboutTests : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void showsNameAndVersion();
    void textsFollowTheLanguage();
    void scrollingTextRestartsBelowTheArea();
    void aClickAnywhereClosesIt_data();
    void aClickAnywhereClosesIt();
};

void AboutTests::cleanup()
{
    PublicStruct::Instance().LanguageIndex = 1;
}

void AboutTests::showsNameAndVersion()
{
    TFrmAbout about(nullptr);
    QCOMPARE(about.windowTitle(), QStringLiteral("Korvane wireless microphone management software"));
    QCOMPARE(Part(&about, "lbName")->text(), QStringLiteral("Korvane wireless microphone management software"));
    QCOMPARE(Part(&about, "lbVersion")->text(), QStringLiteral("Version number:") + FileVersionText());
    QVERIFY(!FileVersionText().isEmpty());
    QVERIFY(!Part(&about, "Image1")->pixmap().isNull());
    QCOMPARE(about.ScrollText(),
        QStringLiteral("Korvane wireless microphone management software\nVersion number:") + FileVersionText()
            + QStringLiteral("\n\n\n"));
}

void AboutTests::textsFollowTheLanguage()
{
    PublicStruct::Instance().LanguageIndex = 0;
    TFrmAbout about(nullptr);
    QCOMPARE(about.windowTitle(), QStringLiteral("无线麦克风管理软件"));
    QCOMPARE(Part(&about, "lbName")->text(), QStringLiteral("Korvane wireless microphone management software"));
    QCOMPARE(Part(&about, "lbVersion")->text(), QStringLiteral("版本号：") + FileVersionText());
}

void AboutTests::scrollingTextRestartsBelowTheArea()
{
    TFrmAbout about(nullptr);
    auto* area = Part(&about, "Image3");
    auto* timer = about.findChild<QTimer*>(QStringLiteral("Timer1"));
    QVERIFY(timer && timer->isActive());
    QCOMPARE(timer->interval(), 100);
    timer->stop(); // the test steps the text itself

    const int bottom = area->contentsRect().height();
    QCOMPARE(about.TextTop(), bottom);
    QCOMPARE(InkedPixels(about), 0);
    // Name and version on one line each at this width, two empty lines; the last line end adds none.
    QCOMPARE(about.RestartLimit(), -4 * QFontMetrics(about.font()).height());

    about.Timer1Timer();
    QCOMPARE(about.TextTop(), bottom - 1);
    for (int step = 0; step < 40; ++step)
        about.Timer1Timer();
    QCOMPARE(about.TextTop(), bottom - 41);
    QVERIFY(InkedPixels(about) > 0);

    // Up to the limit the text keeps moving; one step beyond it starts again at the bottom.
    while (about.TextTop() > about.RestartLimit())
        about.Timer1Timer();
    QCOMPARE(about.TextTop(), about.RestartLimit());
    about.Timer1Timer();
    QCOMPARE(about.TextTop(), bottom);
    QCOMPARE(InkedPixels(about), 0);
}

void AboutTests::aClickAnywhereClosesIt_data()
{
    QTest::addColumn<QString>("part");
    for (const char* part : { "", "Image1", "lbName", "lbVersion", "Image3" })
        QTest::newRow(*part ? part : "window") << QString::fromLatin1(part);
}

void AboutTests::aClickAnywhereClosesIt()
{
    QFETCH(QString, part);
    TFrmAbout about(nullptr);
    AnswerNextModal([part](QWidget* modal) {
        QWidget* target = part.isEmpty() ? modal : modal->findChild<QWidget*>(part);
        QVERIFY(target);
        QTest::mouseClick(target, Qt::LeftButton, {}, part.isEmpty() ? QPoint(5, 5) : QPoint(3, 3));
    });
    about.exec();
    QVERIFY(!about.isVisible());
}

int RunAboutTests(int argc, char** argv)
{
    AboutTests tests;
    return QTest::qExec(&tests, argc, argv);
}

#include "AboutTests.moc"
