#include "coord/Explain.h"

#include "coord/OnAir.h"
#include "coord/Search.h"
#include "lang/Language.h"

#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <map>

namespace coordination
{

namespace
{

std::vector<int> IdleKHz(const DeviceOptions& device)
{
    std::vector<int> kHz;
    for (const IdleChannel& c : device.Idle)
        kHz.push_back(FreqKHz(c.Freq));
    return kHz;
}

QString NameOf(const DeviceOptions& device)
{
    return QStringLiteral("%1:%2").arg(device.RXID).arg(device.DevIdx);
}

} // namespace

std::vector<int> BandsOf(const Plan& plan, int* bandCount)
{
    std::vector<std::vector<int>> seen;
    std::vector<int> bands;
    for (const DeviceOptions& device : plan.devices) {
        const std::vector<int> idle = IdleKHz(device);
        const auto at = std::find(seen.begin(), seen.end(), idle);
        bands.push_back(static_cast<int>(at - seen.begin()));
        if (at == seen.end())
            seen.push_back(idle);
    }
    if (bandCount)
        *bandCount = static_cast<int>(seen.size());
    return bands;
}

std::vector<Backup> Backups(const Plan& plan, int perBand)
{
    int bandCount = 0;
    const std::vector<int> bands = BandsOf(plan, &bandCount);
    std::vector<int> carriers = CarriersOf(plan);
    for (const NamedCarrier& c : plan.fixed)
        carriers.push_back(c.kHz);
    std::vector<Backup> backups;
    for (int band = 0; band < bandCount; ++band) {
        const auto first = std::find(bands.begin(), bands.end(), band) - bands.begin();
        const std::vector<int> idle = IdleKHz(plan.devices[static_cast<size_t>(first)]);
        // One at a time: each spare must also stand beside the spares chosen before it.
        for (int taken = 0; taken < perBand; ++taken) {
            const std::vector<Block> blocks = BlocksOnAir(plan.rule, idle, carriers);
            const auto free = std::find(blocks.begin(), blocks.end(), Block::None);
            if (free == blocks.end())
                break;
            const int kHz = idle[static_cast<size_t>(free - blocks.begin())];
            backups.push_back({ band, kHz });
            carriers.push_back(kHz);
        }
    }
    return backups;
}

QString WhyNotPlaced(const Plan& plan, size_t device)
{
    if (device >= plan.devices.size() || plan.ChannelOf(device) >= 0)
        return {};
    const std::vector<int> idle = IdleKHz(plan.devices[device]);
    if (idle.empty())
        return LanguageText("没有空闲通道", "no idle channel");
    // Ours in device order, then the fixed carriers by their labels.
    std::vector<int> carriers;
    QStringList owners;
    for (size_t d = 0; d < plan.devices.size(); ++d) {
        if (plan.ChannelOf(d) >= 0) {
            carriers.push_back(FreqKHz(plan.FreqOf(d)));
            owners << NameOf(plan.devices[d]);
        }
    }
    for (const NamedCarrier& c : plan.fixed) {
        carriers.push_back(c.kHz);
        owners << c.name;
    }
    const std::vector<Block> blocks = BlocksOnAir(plan.rule, idle, carriers);
    int byProducts = 0;
    int byProfiles = 0; // clear of the plan's rule, refused by a device's own profile
    std::map<size_t, int> tooCloseTo; // by the nearest carrier
    for (size_t i = 0; i < idle.size(); ++i) {
        if (blocks[i] == Block::None) {
            ++byProfiles;
        } else if (blocks[i] == Block::Product) {
            ++byProducts;
        } else if (blocks[i] == Block::TooClose) {
            const auto nearest = std::min_element(carriers.begin(), carriers.end(),
                [&](int a, int b) { return std::abs(a - idle[i]) < std::abs(b - idle[i]); });
            ++tooCloseTo[static_cast<size_t>(nearest - carriers.begin())];
        }
    }
    QStringList parts;
    if (byProducts > 0)
        parts << LanguageText("%1 个因互调产物", "%1 by products").arg(byProducts);
    for (const auto& [owner, count] : tooCloseTo)
        parts << LanguageText("%1 个太靠近 %2", "%1 too close to %2").arg(count).arg(owners[static_cast<qsizetype>(owner)]);
    if (byProfiles > 0)
        parts << LanguageText("%1 个违反设备配置", "%1 by equipment profiles").arg(byProfiles);
    return LanguageText("全部 %1 个空闲通道均被占用: %2", "all %1 idle channels blocked: %2")
        .arg(idle.size())
        .arg(parts.join(QStringLiteral(", ")));
}

QStringList Analyze(const Rule& rule, const std::vector<NamedCarrier>& carriers)
{
    const size_t n = carriers.size();
    if (n > size_t(MaxAnalyzedCarriers))
        return { LanguageText("载波过多 (%1 个), 最多分析 %2 个", "Too many carriers to analyze (%1), at most %2")
                .arg(n)
                .arg(MaxAnalyzedCarriers) };
    const long long spacing = rule.level == Level::Off ? 1 : HitTolerance(rule.SpacingKHz);
    const long long guard = HitTolerance(rule.GuardKHz);
    const bool two = rule.level >= Level::TwoTransmitter;
    const bool three = rule.level >= Level::ThreeTransmitter;
    QStringList conflicts;
    const auto name = [&](size_t i) { return carriers[i].name; };
    const auto f = [&](size_t i) { return static_cast<long long>(carriers[i].kHz); };
    const auto list = [&](const QString& text) {
        if (conflicts.size() < MaxListedConflicts)
            conflicts << text;
    };
    for (size_t i = 0; i < n; ++i) {
        for (size_t j = 0; j < n; ++j) {
            if (i == j)
                continue;
            if (i < j && std::llabs(f(i) - f(j)) < spacing)
                list(LanguageText("%1 与 %2 相距 %3 kHz (间隔 %4 kHz)", "%1 and %2 only %3 kHz apart (spacing %4 kHz)")
                         .arg(name(i), name(j))
                         .arg(std::llabs(f(i) - f(j)))
                         .arg(spacing));
            for (size_t t = 0; t < n; ++t) {
                if (t == i || t == j)
                    continue;
                const long long off2 = std::llabs(2 * f(i) - f(j) - f(t));
                if (two && off2 < guard)
                    list(LanguageText("三阶 2×%1 − %2 落在距 %3 %4 kHz 处", "3rd order 2×%1 − %2 lands %4 kHz from %3")
                             .arg(name(i), name(j), name(t))
                             .arg(off2));
                for (size_t k = 0; three && i < j && k < n; ++k) {
                    if (k == i || k == j || k == t)
                        continue;
                    const long long off3 = std::llabs(f(i) + f(j) - f(k) - f(t));
                    if (off3 < guard)
                        list(LanguageText("三阶 %1 + %2 − %3 落在距 %4 %5 kHz 处", "3rd order %1 + %2 − %3 lands %5 kHz from %4")
                                 .arg(name(i), name(j), name(k), name(t))
                                 .arg(off3));
                }
            }
        }
    }
    QStringList lines = conflicts.isEmpty() ? QStringList { LanguageText("无冲突", "No conflict") } : conflicts;
    std::vector<int> kHz;
    for (const NamedCarrier& c : carriers)
        kHz.push_back(c.kHz);
    const std::vector<int> margins = MarginsKHz(rule, kHz);
    for (size_t i = 0; i < n && n > 1; ++i)
        lines << LanguageText("%1 %2 MHz: 余量 %3 kHz", "%1 %2 MHz: margin %3 kHz")
                     .arg(name(i))
                     .arg(carriers[i].kHz / 1000.0, 0, 'f', 3)
                     .arg(margins[i]);
    return lines;
}

} // namespace coordination
