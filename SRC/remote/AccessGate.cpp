#include "remote/AccessGate.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <array>

AccessGate::AccessGate(std::function<qint64()> clock) : m_clock(std::move(clock)) { }

qint64 AccessGate::Now() const
{
    if (m_clock)
        return m_clock();
    static const QElapsedTimer started = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return started.elapsed();
}

AccessGate::Verdict AccessGate::Check(const QString& address, const QByteArray& offered)
{
    const qint64 now = Now();
    auto it = m_failures.find(address);
    if (it != m_failures.end() && it->BlockedUntil > now)
        return Verdict::Throttled;
    if (!m_code.isEmpty() && SameCode(m_code, offered)) {
        if (it != m_failures.end())
            m_failures.erase(it);
        return Verdict::Allowed;
    }
    if (it == m_failures.end()) {
        if (m_failures.size() >= TrackedAddresses)
            ForgetExpired(now);
        it = m_failures.insert(address, Failures {});
    }
    ++it->Count;
    if (it->Count >= FreeFailures) {
        const int doublings = std::min(it->Count - FreeFailures, 16);
        it->BlockedUntil = now + std::min<qint64>(qint64(1000) << doublings, LongestBlockMs);
    }
    return Verdict::Refused;
}

// A table full of addresses still blocked is emptied whole: the bound matters more than the
// memory of a flood of addresses.
void AccessGate::ForgetExpired(qint64 now)
{
    m_failures.removeIf([now](const auto& entry) { return entry.value().BlockedUntil <= now; });
    if (m_failures.size() >= TrackedAddresses)
        m_failures.clear();
}

QString AccessGate::NewCode()
{
    std::array<quint32, 8> words {};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray bytes(reinterpret_cast<const char*>(words.data()), sizeof(words));
    return QString::fromLatin1(bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
}

bool AccessGate::SameCode(const QByteArray& expected, const QByteArray& offered)
{
    unsigned difference = expected.size() == offered.size() ? 0U : 1U;
    for (qsizetype i = 0; i < offered.size(); ++i) {
        const char e = expected.isEmpty() ? 0 : expected[i % expected.size()];
        difference |= static_cast<unsigned>(static_cast<unsigned char>(e ^ offered[i]));
    }
    return difference == 0;
}
