#include "ui/AlertSound.h"

#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QUrl>
#include <algorithm>

namespace
{

const char* const SoundFiles[]
    = { "qrc:/sounds/alert-lost.wav", "qrc:/sounds/alert-battery.wav", "qrc:/sounds/alert-rfloss.wav" };

} // namespace

AlertSound::AlertSound(QObject* parent)
    : QObject(parent)
{
}

void AlertSound::SetVolume(int percent)
{
    m_volume = static_cast<float>(std::clamp(percent, 0, 100)) / 100.0f;
    for (QSoundEffect* effect : m_effects)
        if (effect)
            effect->setVolume(m_volume);
}

void AlertSound::NewAlert(AlertKind kind, uint32_t now)
{
    m_muted = false;
    m_last = kind;
    Play(kind, now);
}

void AlertSound::Repeat(bool anyActive, uint32_t now)
{
    if (!anyActive)
        m_muted = true; // all over: nothing more to call about
    else if (!m_muted && m_played && now - m_lastPlayed >= RepeatMs)
        Play(m_last, now);
}

void AlertSound::Mute()
{
    m_muted = true;
    for (QSoundEffect* effect : m_effects)
        if (effect)
            effect->stop();
}

void AlertSound::Play(AlertKind kind, uint32_t now)
{
    if (!m_enabled || m_muted || (m_played && now - m_lastPlayed < MinGapMs))
        return;
    m_played = true;
    m_lastPlayed = now;
    // Loaded on first use: a machine without sound never opens an audio stream.
    const bool device = !QMediaDevices::audioOutputs().isEmpty();
    QSoundEffect* effect = device ? Effect(kind) : nullptr;
    if (effect)
        effect->play();
    if (m_attempts.size() >= KeptAttempts)
        m_attempts.pop_front();
    m_attempts.push_back({ kind, now, effect != nullptr && effect->status() != QSoundEffect::Error });
}

QSoundEffect* AlertSound::Effect(AlertKind kind)
{
    QSoundEffect*& effect = m_effects[static_cast<size_t>(kind)];
    if (!effect) {
        effect = new QSoundEffect(this);
        effect->setSource(QUrl(QLatin1String(SoundFiles[static_cast<size_t>(kind)])));
        effect->setVolume(m_volume);
    }
    return effect;
}
