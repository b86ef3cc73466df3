#include "HeadlessChromium.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <unistd.h>

HeadlessChromium::~HeadlessChromium()
{
    m_devtools.abort();
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(3000))
            m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool HeadlessChromium::Start(const QString& url, int width, int height)
{
    // The browser asks nothing of the outside network: it runs in our private namespace anyway.
    QStringList args { "--headless", "--disable-gpu", "--no-first-run", "--disable-background-networking",
        "--disable-component-update", "--disable-sync", "--remote-debugging-port=0",
        "--remote-allow-origins=*", "--user-data-dir=" + m_profile.path(),
        QStringLiteral("--window-size=%1,%2").arg(width).arg(height), url };
    if (::geteuid() == 0)
        args.prepend("--no-sandbox");
    m_process.start(QStringLiteral("chromium"), args);
    if (!m_process.waitForStarted(5000)) {
        m_error = "chromium does not start: " + m_process.errorString();
        return false;
    }
    // "DevTools listening on ws://127.0.0.1:PORT/devtools/browser/ID" on standard error.
    QByteArray said;
    QRegularExpressionMatch found;
    const QRegularExpression listening(QStringLiteral("DevTools listening on ws://([^/]+)/"));
    // Each wait's outcome is read from what it found, not from its result.
    static_cast<void>(QTest::qWaitFor([&] {
        said += m_process.readAllStandardError();
        found = listening.match(QString::fromUtf8(said));
        return found.hasMatch() || m_process.state() == QProcess::NotRunning;
    }, 20000));
    if (!found.hasMatch()) {
        m_error = "chromium gave no DevTools address: " + QString::fromUtf8(said.right(2000));
        return false;
    }
    QNetworkAccessManager net;
    QJsonArray targets;
    static_cast<void>(QTest::qWaitFor([&] {
        std::unique_ptr<QNetworkReply> reply(net.get(QNetworkRequest(QUrl("http://" + found.captured(1) + "/json/list"))));
        QSignalSpy done(reply.get(), &QNetworkReply::finished);
        done.wait(3000);
        targets = QJsonDocument::fromJson(reply->readAll()).array();
        for (const QJsonValue& t : targets)
            if (t.toObject().value("type") == "page")
                return true;
        return false;
    }, 10000));
    for (const QJsonValue& t : targets)
        if (t.toObject().value("type") == "page") {
            QObject::connect(&m_devtools, &QWebSocket::textMessageReceived,
                [this](const QString& m) { m_replies.append(QJsonDocument::fromJson(m.toUtf8()).object()); });
            m_devtools.open(QUrl(t.toObject().value("webSocketDebuggerUrl").toString()));
            if (QTest::qWaitFor([this] { return m_devtools.state() == QAbstractSocket::ConnectedState; }, 5000))
                return true;
        }
    m_error = "no page target in chromium";
    return false;
}

QJsonObject HeadlessChromium::Call(const QString& method, const QJsonObject& params, int timeoutMs)
{
    const int id = m_nextId++;
    m_devtools.sendTextMessage(QString::fromUtf8(
        QJsonDocument(QJsonObject { { "id", id }, { "method", method }, { "params", params } }).toJson(QJsonDocument::Compact)));
    QJsonObject answer;
    static_cast<void>(QTest::qWaitFor([&] {
        for (qsizetype i = 0; i < m_replies.size(); ++i)
            if (m_replies[i].value("id").toInt() == id) {
                answer = m_replies.takeAt(i);
                return true;
            }
        return false;
    }, timeoutMs));
    return answer.value("result").toObject();
}

QJsonValue HeadlessChromium::Evaluate(const QString& expression, int timeoutMs)
{
    const QJsonObject result = Call("Runtime.evaluate",
        { { "expression", expression }, { "returnByValue", true }, { "awaitPromise", true } }, timeoutMs);
    return result.value("result").toObject().value("value");
}

bool HeadlessChromium::Screenshot(const QString& pngPath)
{
    const QJsonObject shot = Call("Page.captureScreenshot", { { "format", "png" } }, 10000);
    QFile file(pngPath);
    return !shot.value("data").toString().isEmpty() && file.open(QIODevice::WriteOnly)
        && file.write(QByteArray::fromBase64(shot.value("data").toString().toLatin1())) > 0;
}
