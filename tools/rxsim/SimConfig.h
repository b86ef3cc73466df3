#pragma once
// What the simulator plays: its receivers, transports, behaviour and faults, taken from the
// command line and an optional receiver file.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

struct ReceiverSetup {
    int Rxid = 1;
    uint32_t Ip = 0; // host byte order
    int Channels = 2; // DevIdx 1..Channels
    QString StartFreqText; // as written, e.g. "640.125"
    uint16_t FreqInteger = 640;
    uint16_t FreqFraction = 0; // its decimal digits follow "0." on the wire
    int FirstChannel = 0;
    int LastChannel = 99;
    char Band = 'A';
    QString Name;
    QByteArray NameGbk; // at most 12 bytes
    QByteArray HWVer; // two characters
    QByteArray SWVer;
    // Channels of the band that other systems use, when given (busy=); otherwise drawn at random
    // with --busy-share from --seed.
    bool BusyGiven = false;
    std::set<int> BusyChannels;

    int BandSize() const { return LastChannel - FirstChannel + 1; }
};

struct FaultOptions {
    double DropShare = 0.0;
    double BadCrcShare = 0.0;
    double BadLenShare = 0.0;
    double GarbageShare = 0.0;
    int DelayMs = 0;
    int JitterMs = 0;
    bool SilentAll = false;
    std::set<int> SilentRxids;
    std::set<std::pair<int, int>> NoSetAck; // (RXID, DevIdx) that ignore CMD_SET_CHANNEL
};

// A receiver's scripted episode: from FromSeconds after the start until ToSeconds (for ever when
// ToSeconds is negative).
struct TimedEpisode {
    int Rxid = 0;
    double FromSeconds = 0.0;
    double ToSeconds = -1.0;
    bool Covers(int rxid, double seconds) const
    {
        return rxid == Rxid && seconds >= FromSeconds && (ToSeconds < 0.0 || seconds < ToSeconds);
    }
};

// What the receivers go through at given times, so that tests and the demo can show each state.
struct Scenario {
    std::vector<TimedEpisode> Silences; // the receiver answers nothing
    std::vector<TimedEpisode> RfLosses; // both antennas fall far below the squelch level
    std::vector<TimedEpisode> EmptyBatteries; // FromSeconds: the batteries are at their lowest
};

struct SimOptions {
    std::vector<ReceiverSetup> Receivers;

    bool Udp = true;
    int Port = 5000; // 0: one free port for every receiver
    bool Broadcast = true; // only ever bound inside a private network namespace
    bool NetnsAddresses = false;

    bool Pty = false;
    QString SerialPath;
    int Baud = 9600;
    int BusGapMs = 15;

    uint32_t Seed = 1;
    int ScanIntervalMs = 20;
    int ScanPoints = 0; // points per sweep, going round the band as often as needed; 0: the band once
    double BusyShare = 0.15;
    int SyncDelayMs = 1500;
    bool SyncFail = false;
    bool RfStorm = false; // levels wander far below the squelch level now and then
    double BatteryStepSeconds = 300.0; // 0: never drains

    FaultOptions Faults;
    Scenario Script;

    bool HexLog = false;
    bool DebugWindow = false;
};

// Exit codes of a run that cannot start.
constexpr int ExitUsage = 2;
constexpr int ExitSetup = 1;

struct ParseOutcome {
    enum Kind { Run, Help, Version, Error } Outcome = Run;
    QString Text; // help text, version text or the error
};

// Parses argv (program name first). Receivers come from --rx, --config and --receivers in that
// order of precedence; with none of them the four default receivers are played.
ParseOutcome ParseCommandLine(const QStringList& arguments, SimOptions& options);

// One receiver from "key=value" pairs (separated by commas or blanks, values may be quoted).
// index numbers the receiver for the defaults of keys not given. False with the reason.
bool ParseReceiverSetup(const QString& text, int index, ReceiverSetup& setup, QString* error);

// The receivers of a file, one per line; '#' starts a comment line.
bool LoadReceiverFile(const QString& path, int firstIndex, std::vector<ReceiverSetup>& out, QString* error);

// The built-in receiver number index (its RXID, address, channels and band follow from index).
ReceiverSetup DefaultReceiver(int index);

QString Ipv4Text(uint32_t hostOrder);
bool ParseIpv4(const QString& text, uint32_t* hostOrder);
