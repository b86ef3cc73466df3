#pragma once
// The alert sounds that call the operator: one short sound per alert kind, played when a new
// alert starts and repeated every RepeatMs while any alert lasts, until Mute. Mute silences
// until the next new alert. Whatever happens, no sound starts within MinGapMs of the last one.
// Every attempt is recorded, also where no audio device exists, so that it can be checked.
#include "data/AlertLines.h"

#include <QObject>
#include <array>
#include <cstdint>
#include <deque>

class QSoundEffect;

class AlertSound : public QObject
{
    Q_OBJECT

public:
    static constexpr uint32_t MinGapMs = 3000;
    static constexpr uint32_t RepeatMs = 6000;
    static constexpr size_t KeptAttempts = 64;

    struct Attempt {
        AlertKind Kind;
        uint32_t Tick;
        bool Heard; // an audio output existed and the sound was loaded
    };

    explicit AlertSound(QObject* parent = nullptr);

    void SetEnabled(bool on) { m_enabled = on; }
    void SetVolume(int percent); // 0..100
    // A new alert started: unmutes and plays its sound.
    void NewAlert(AlertKind kind, uint32_t now);
    // Called from the watch's timer: repeats the last sound while an alert lasts.
    void Repeat(bool anyActive, uint32_t now);
    void Mute();
    bool Muted() const { return m_muted; }
    const std::deque<Attempt>& Attempts() const { return m_attempts; }

private:
    void Play(AlertKind kind, uint32_t now);
    QSoundEffect* Effect(AlertKind kind);

    std::array<QSoundEffect*, 3> m_effects {};
    std::deque<Attempt> m_attempts;
    AlertKind m_last = AlertKind::RfLoss;
    bool m_enabled = true;
    bool m_muted = true; // nothing to repeat before the first alert
    bool m_played = false;
    uint32_t m_lastPlayed = 0;
    float m_volume = 0.8f;
};
