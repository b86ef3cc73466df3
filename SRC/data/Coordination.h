#pragma once
// Frequency coordination of several systems that work side by side: which idle channels stay
// usable next to the carriers already on air, and a proposal for every device at once.
//
// Levels, each adding to the one before:
//   Off              the plain idle rule; a proposal only keeps two devices off the same frequency
//   Spacing          any two carriers at least SpacingKHz apart
//   TwoTransmitter   no third-order product 2f1 - f2 within GuardKHz of a carrier
//   ThreeTransmitter no third-order product f1 + f2 - f3 within GuardKHz of a carrier
//
// Frequencies are whole kHz: exact for the 250 kHz channel grid and band starts such as 520.125.
#include "data/IdleChannels.h"

#include <QString>
#include <cstdint>
#include <map>
#include <vector>

namespace coordination
{

enum class Level { Off = 0, Spacing = 1, TwoTransmitter = 2, ThreeTransmitter = 3 };
constexpr int LevelCount = 4;

struct Rule {
    Level level = Level::Off;
    int SpacingKHz = 400;
    int GuardKHz = 100;
};

// The rule as kept in Config.ini, section [Coordination]: Level (0..3), SpacingKHz, GuardKHz.
// Missing or unusable values take the defaults above.
Rule LoadRule(const QString& configPath);
bool SaveRule(const QString& configPath, const Rule& rule);
constexpr int MaxSettingKHz = 10000;

int FreqKHz(double mhz);

// A product or neighbour hits a carrier when it lies closer than this many kHz: the guard itself,
// but at least 1, so that a guard (or spacing) of 0 still forbids an exact hit.
constexpr int HitTolerance(int guardKHz)
{
    return guardKHz > 0 ? guardKHz : 1;
}

// Why a candidate frequency cannot be used next to the carriers added so far.
enum class Block { None, TooClose, Product };

// The carriers on air and the candidate frequencies they rule out. Each added carrier marks the
// candidates its spacing and its new products hit, so that asking about a candidate costs nothing.
class CarrierSet
{
public:
    CarrierSet(const Rule& rule, std::vector<int> candidatesKHz);

    void Add(int kHz);
    void RemoveLast(); // takes back the latest Add
    Block Why(int kHz) const; // a frequency that is not a candidate is never blocked
    bool IsFree(int kHz) const { return Why(kHz) == Block::None; }
    // The same by the candidate's position, for callers that ask about the same ones often.
    int IndexOf(int kHz) const; // -1 when not a candidate
    int CandidateAt(int index) const { return m_candidates[size_t(index)]; }
    int CandidateCount() const { return static_cast<int>(m_candidates.size()); }
    bool IsFreeAt(int index) const { return m_close[size_t(index)] == 0 && m_product[size_t(index)] == 0; }
    const std::vector<int>& Carriers() const { return m_carriers; }

private:
    void Apply(int kHz, int delta);
    // Adds delta to the marks of the candidates c with |2c - point| < tolerance (both in half kHz).
    void Mark(long long point, long long tolerance, std::vector<uint32_t>& marks, int delta);

    Rule m_rule;
    std::vector<int> m_candidates; // sorted, distinct
    std::vector<long long> m_doubled; // 2 x m_candidates
    std::vector<uint32_t> m_close;
    std::vector<uint32_t> m_product;
    std::vector<int> m_carriers;
};

// One device to place: the channels it may take (its idle channels, ascending). A locked device
// keeps the one frequency it holds, placed there whether or not that frequency is idle or clear.
struct DeviceOptions {
    int RXID = 0;
    int DevIdx = 0;
    std::vector<IdleChannel> Idle;
    bool locked = false;
};

// A carrier on air by name: one of ours ("7:2") or one we do not control ("IEM 1").
struct NamedCarrier {
    QString name;
    int kHz = 0;
};

// The devices, what they are planned around, and the channel chosen for each. A plan is also how
// a search is asked for: `chosen` is then left empty.
struct Plan {
    Rule rule;
    std::vector<DeviceOptions> devices;
    std::vector<int> chosen; // per device: its channel number, or -1 when it could not be placed
    // Carriers we do not control: they take part in spacing and products and are never moved.
    std::vector<NamedCarrier> fixed {};
    // The loudest level any scan saw at a frequency (kHz -> dBm); among usable channels the
    // quietest is preferred, one no scan saw after every scanned one, then the lowest.
    std::map<int, int> levelDbm {};

    int PlacedCount() const;
    int ChannelOf(size_t device) const; // -1 when not placed
    double FreqOf(size_t device) const; // 0 when not placed
};

// A frequency for every device, compatible at the rule's level with each other: most
// constrained device first (fewest usable channels left), lowest usable channel; when one
// cannot be placed, a few restarts take the failed devices first and break ties differently.
// The plan with the most devices placed is returned.
Plan AssignAll(const Rule& rule, std::vector<DeviceOptions> devices, int restarts = 12);
// The same around the problem's fixed carriers and locked devices, quietest channel first.
Plan AssignAll(Plan problem, int restarts = 12);

// Each device's idle positions in the order they are preferred: quietest, then lowest.
std::vector<std::vector<size_t>> PreferenceOrder(const Plan& problem);

// The frequencies a plan keeps regardless: its fixed carriers and its locked devices'.
std::vector<int> FixedKHzOf(const Plan& plan);

struct Violation {
    enum Kind { NotIdle, TooClose, TwoTransmitterProduct, ThreeTransmitterProduct, LockMoved } kind;
    // The devices involved, the hit carrier last for products; fixed carrier k counts as -1 - k.
    std::vector<int> devices;
};
// Recomputes a finished plan from scratch: every placed channel is one of its device's idle
// channels, every locked device is placed, every pair is spaced, and no product of the level
// lands on a carrier, fixed carriers taking part. What only fixed carriers and locked devices
// do among themselves is given, not the plan's doing, and not reported.
std::vector<Violation> check(const Plan& plan);

} // namespace coordination
