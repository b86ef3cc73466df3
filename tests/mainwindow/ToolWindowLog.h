#pragma once
// A stand-in for an open tool window: it registers itself for one kind and logs every reply the
// dispatch hands it.
#include <QObject>
#pragma push_macro("slots")
#undef slots
#include "ui/ToolWindows.h"
#pragma pop_macro("slots")

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>

class LoggingWindow : public ToolReplyHandler
{
public:
    LoggingWindow(ToolWindow kind, const QString& name, QStringList& log)
        : m_kind(kind)
        , m_name(name)
        , m_log(log)
    {
        RegisterToolWindow(kind, this);
    }
    ~LoggingWindow() override { UnregisterToolWindow(m_kind, this); }
    LoggingWindow(const LoggingWindow&) = delete;
    LoggingWindow& operator=(const LoggingWindow&) = delete;

    void OnStatus(int rxid, int devIdx, const uint8_t* payload) override
    {
        Log(QStringLiteral("Status %1 %2 ch%3").arg(rxid).arg(devIdx).arg(payload[1]));
    }
    void OnScanPoint(int rxid, const uint8_t* payload) override
    {
        Log(QStringLiteral("ScanPoint %1 %2 %3").arg(rxid).arg(payload[0]).arg(payload[1]));
    }
    void OnScanEnd(int rxid, int command) override { Log(QStringLiteral("ScanEnd %1 %2").arg(rxid).arg(command)); }
    void OnSetReply(int rxid, int devIdx, int command) override
    {
        Log(QStringLiteral("SetReply %1 %2 %3").arg(rxid).arg(devIdx).arg(command));
    }
    void OnSearchReply(const QString& source, const uint8_t* frame, int size) override
    {
        lastFrame = QByteArray(reinterpret_cast<const char*>(frame), size);
        Log(QStringLiteral("Search %1 %2").arg(source).arg(size));
    }
    void OnSetIpReply(const QString& source, const uint8_t* frame, int size) override
    {
        lastFrame = QByteArray(reinterpret_cast<const char*>(frame), size);
        Log(QStringLiteral("SetIp %1 %2 rx%3").arg(source).arg(size).arg(frame[1]));
    }

    QByteArray lastFrame;
    std::function<void()> duringCall; // runs inside each call, after it is logged

private:
    void Log(const QString& entry)
    {
        m_log << m_name + QLatin1Char(':') + entry;
        if (duringCall)
            duringCall();
    }

    ToolWindow m_kind;
    QString m_name;
    QStringList& m_log;
};
