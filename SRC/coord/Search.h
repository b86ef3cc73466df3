#pragma once
// The best plan for Assign all within a time budget: a complete branch-and-bound search over the
// devices' usable channels that starts from the greedy plan, so it never places fewer, and
// returns the best plan found when the budget runs out or the caller cancels. It runs on any
// thread; progress is reported from that thread.
#include "data/Coordination.h"

#include <QString>
#include <atomic>
#include <functional>

namespace coordination
{

constexpr int DefaultBudgetMs = 2000;
constexpr int MaxBudgetMs = 60000;

// The budget as kept in Config.ini, section [Coordination], key BudgetMs (1000..60000).
int LoadBudgetMs(const QString& configPath);
bool SaveBudgetMs(const QString& configPath, int budgetMs);

struct SearchLimits {
    int budgetMs = DefaultBudgetMs;
    const std::atomic_bool* cancel = nullptr; // set by another thread to stop at the next step
    // The devices placed by the best plan so far and the share of the budget used (0..1).
    std::function<void(int placed, double used)> progress;
};

struct SearchResult {
    Plan plan;
    bool proved = false; // the search ran to its end: no plan places more devices
    bool cancelled = false;
    int worstMarginKHz = 0; // of the plan: how far its closest call stays clear of its rule
    double msToBest = 0; // time until the returned plan was found
    long long steps = 0; // placements tried
};

// The plan that places the most devices; its worst-case margin is reported with it.
SearchResult SearchBest(const Rule& rule, std::vector<DeviceOptions> devices, const SearchLimits& limits = {});
// The same around the problem's fixed carriers and locked devices (which stay where they are),
// trying the quietest channels first; among plans placing as many, the larger worst-case margin.
SearchResult SearchBest(Plan problem, const SearchLimits& limits = {});

// The placed devices' frequencies in kHz, in device order.
std::vector<int> CarriersOf(const Plan& plan);

// How far the plan's closest call stays clear of the rule, in kHz: the smallest distance by
// which a neighbour exceeds the spacing or a product misses a carrier beyond its guard. A plan
// with fewer than two carriers has nothing to be close to: MaxSettingKHz.
int WorstMarginKHz(const Rule& rule, const std::vector<int>& carriersKHz);
// The same for each carrier: how far its nearest neighbour and the products landing nearest to it
// stay clear of the spacing and the guard.
std::vector<int> MarginsKHz(const Rule& rule, const std::vector<int>& carriersKHz);
// The worst margin of the carriers the plan placed itself, the fixed ones and the locked devices
// taking part: how close they come is not the plan's to choose.
int WorstMarginKHz(const Rule& rule, const std::vector<int>& movableKHz, const std::vector<int>& fixedKHz);
int WorstMarginKHz(const Plan& plan);

} // namespace coordination
