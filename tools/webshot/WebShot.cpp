// tessaro-webshot URL PNG [TILES]: opens the remote view's page in headless chromium, waits
// until at least TILES tiles (default 1) show live values and the page is connected, and saves
// a screenshot. Exit code 0 when the screenshot was written.
#include "HeadlessChromium.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: tessaro-webshot URL PNG [TILES]\n");
        return 2;
    }
    const int tiles = args.size() > 3 ? args[3].toInt() : 1;
    HeadlessChromium browser;
    if (!browser.Start(args[1], 1280, 800)) {
        std::fprintf(stderr, "tessaro-webshot: %s\n", qPrintable(browser.Error()));
        return 1;
    }
    const QString live = QStringLiteral(
        "document.getElementById('link').className === 'link up' && "
        "[...document.querySelectorAll('.meter.rfA')].filter(m => m.dataset.value !== '').length");
    // Chromium may ask before the program listens; its error page never retries, so the page is
    // reloaded (at most once a second) until the view is served.
    QElapsedTimer sinceReload;
    sinceReload.start();
    const bool ready = QTest::qWaitFor(
        [&] {
            const bool served = browser.Evaluate(QStringLiteral("!!document.getElementById('link')")).toBool();
            if (!served && sinceReload.elapsed() > 1000) {
                browser.Evaluate(QStringLiteral("setTimeout(() => location.reload(), 0), 0"));
                sinceReload.restart();
            }
            return served && browser.Evaluate(live).toInt() >= tiles;
        },
        60000);
    if (!ready)
        std::fprintf(stderr, "tessaro-webshot: fewer than %d live tiles after a minute; taking the page as it is\n", tiles);
    QTest::qWait(1000); // one more round of pushes
    if (!browser.Screenshot(args[2])) {
        std::fprintf(stderr, "tessaro-webshot: no screenshot\n");
        return 1;
    }
    return ready ? 0 : 1;
}
