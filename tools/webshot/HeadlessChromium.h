#pragma once
// Debian's chromium, headless, driven over its DevTools protocol: open a page, evaluate script
// in it, take a screenshot. Each instance has its own profile folder, removed at the end.
#include <QJsonObject>
#include <QJsonValue>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QWebSocket>

class HeadlessChromium
{
public:
    ~HeadlessChromium();
    // False with Error() when chromium is missing or does not come up.
    bool Start(const QString& url, int width = 1100, int height = 800);
    QString Error() const { return m_error; }
    // The value of a script expression (promises awaited); undefined on failure.
    QJsonValue Evaluate(const QString& expression, int timeoutMs = 5000);
    bool Screenshot(const QString& pngPath);

private:
    QJsonObject Call(const QString& method, const QJsonObject& params, int timeoutMs);

    QProcess m_process;
    QTemporaryDir m_profile;
    QWebSocket m_devtools;
    QString m_error;
    int m_nextId = 1;
    QList<QJsonObject> m_replies;
};
