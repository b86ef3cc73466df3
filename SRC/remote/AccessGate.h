#pragma once
// The access code every request and WebSocket of the remote view must carry. Compared in
// constant time; an address that keeps offering wrong codes is refused for a growing while, so
// that guessing a long random code over the network is hopeless.
#include <QByteArray>
#include <QHash>
#include <QString>
#include <functional>

class AccessGate
{
public:
    static constexpr int FreeFailures = 5;        // wrong codes an address may offer unslowed
    static constexpr qint64 LongestBlockMs = 60000;
    static constexpr int TrackedAddresses = 4096; // bound on the failure table

    enum class Verdict { Allowed, Refused, Throttled };

    // clock: monotonic milliseconds; tests give their own.
    explicit AccessGate(std::function<qint64()> clock = {});

    void SetCode(const QString& code) { m_code = code.toUtf8(); }
    QString Code() const { return QString::fromUtf8(m_code); }
    Verdict Check(const QString& address, const QByteArray& offered);

    // 32 random bytes from the system's generator in base64url: 43 characters.
    static QString NewCode();
    // Time depends on the offered length only, never on where the first difference lies.
    static bool SameCode(const QByteArray& expected, const QByteArray& offered);

private:
    struct Failures {
        int Count = 0;
        qint64 BlockedUntil = 0;
    };
    qint64 Now() const;
    void ForgetExpired(qint64 now);

    std::function<qint64()> m_clock;
    QByteArray m_code;
    QHash<QString, Failures> m_failures;
};
