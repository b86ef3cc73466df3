#include "coord/Explain.h"

#include "coord/OnAir.h"
#include "lang/Language.h"

#include <QStringList>
#include <algorithm>
#include <cstdlib>
#include <map>

namespace coordination
{

namespace
{

std::vector<int> CarriersOf(const Plan& plan)
{
    std::vector<int> carriers;
    for (size_t d = 0; d < plan.devices.size(); ++d)
        if (plan.ChannelOf(d) >= 0)
            carriers.push_back(FreqKHz(plan.FreqOf(d)));
    return carriers;
}

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
    std::vector<int> carriers;
    std::vector<size_t> owners;
    for (size_t d = 0; d < plan.devices.size(); ++d) {
        if (plan.ChannelOf(d) >= 0) {
            carriers.push_back(FreqKHz(plan.FreqOf(d)));
            owners.push_back(d);
        }
    }
    const std::vector<Block> blocks = BlocksOnAir(plan.rule, idle, carriers);
    int byProducts = 0;
    std::map<size_t, int> tooCloseTo; // by the nearest carrier's device
    for (size_t i = 0; i < idle.size(); ++i) {
        if (blocks[i] == Block::Product) {
            ++byProducts;
        } else if (blocks[i] == Block::TooClose) {
            const auto nearest = std::min_element(carriers.begin(), carriers.end(),
                [&](int a, int b) { return std::abs(a - idle[i]) < std::abs(b - idle[i]); });
            ++tooCloseTo[owners[static_cast<size_t>(nearest - carriers.begin())]];
        }
    }
    QStringList parts;
    if (byProducts > 0)
        parts << LanguageText("%1 个因互调产物", "%1 by products").arg(byProducts);
    for (const auto& [owner, count] : tooCloseTo)
        parts << LanguageText("%1 个太靠近 %2", "%1 too close to %2").arg(count).arg(NameOf(plan.devices[owner]));
    return LanguageText("全部 %1 个空闲通道均被占用: %2", "all %1 idle channels blocked: %2")
        .arg(idle.size())
        .arg(parts.join(QStringLiteral(", ")));
}

} // namespace coordination
