#include "coord/Rulers.h"

#include <algorithm>
#include <set>

namespace coordination
{

namespace
{

bool IsPrime(int q)
{
    if (q < 2)
        return false;
    for (int d = 2; d * d <= q; ++d)
        if (q % d == 0)
            return false;
    return true;
}

// The powers x^0, x^1, ... x^(q^k - 2) of a primitive element of GF(q^k), each as its k
// coefficients (constant first), for a prime q: found by trying monic polynomials of degree k
// until x has the full order q^k - 1 modulo one of them.
std::vector<std::vector<int>> PrimitivePowers(int q, int k)
{
    int order = 1;
    for (int i = 0; i < k; ++i)
        order *= q;
    --order;
    std::vector<int> tail(size_t(k), 0); // x^k = -(tail[0] + tail[1] x + ... )
    for (int code = 0;; ++code) {
        int rest = code;
        for (int i = 0; i < k; ++i, rest /= q)
            tail[size_t(i)] = rest % q;
        if (rest != 0)
            return {}; // every polynomial tried (cannot happen for a prime q)
        if (tail[0] == 0)
            continue;
        std::vector<std::vector<int>> powers;
        std::vector<int> cur(size_t(k), 0);
        cur[0] = 1;
        bool primitive = true;
        for (int i = 0; i < order; ++i) {
            if (i > 0 && cur[0] == 1 && std::all_of(cur.begin() + 1, cur.end(), [](int c) { return c == 0; })) {
                primitive = false;
                break;
            }
            powers.push_back(cur);
            const int top = cur.back(); // multiply by x and reduce
            for (int j = k - 1; j > 0; --j)
                cur[size_t(j)] = ((cur[size_t(j - 1)] - top * tail[size_t(j)]) % q + q) % q;
            cur[0] = ((-top * tail[0]) % q + q) % q;
        }
        if (primitive)
            return powers;
    }
}

ModularRuler Bose(int q)
{
    const auto powers = PrimitivePowers(q, 2);
    ModularRuler ruler { {}, q * q - 1 };
    for (size_t i = 0; i < powers.size(); ++i)
        if (powers[i][1] == 1) // x^i = a + x for one a of GF(q)
            ruler.marks.push_back(static_cast<int>(i));
    return ruler;
}

ModularRuler Singer(int q)
{
    const auto powers = PrimitivePowers(q, 3);
    ModularRuler ruler { {}, q * q + q + 1 };
    std::set<int> marks;
    for (size_t i = 0; i < powers.size(); ++i)
        if (powers[i][2] == 0) // x^i on the plane spanned by 1 and x
            marks.insert(static_cast<int>(i % size_t(ruler.modulus)));
    ruler.marks.assign(marks.begin(), marks.end());
    return ruler;
}

const std::vector<std::vector<int>>& ShortRulerTable()
{
    static const std::vector<std::vector<int>> table {
        { 0, 2, 5, 9 },
        { 0, 2, 6, 9, 14 },
        { 0, 2, 8, 13, 17, 20 },
        { 0, 2, 10, 16, 21, 25, 28 },
        { 0, 2, 6, 16, 19, 27, 34, 39 },
        { 0, 2, 10, 15, 22, 26, 40, 43, 49 },
        { 0, 4, 11, 16, 25, 35, 38, 53, 55, 61 },
        { 0, 3, 7, 21, 23, 33, 48, 57, 65, 70, 76 },
        { 0, 2, 5, 19, 30, 40, 53, 62, 69, 77, 89, 95 },
        { 0, 2, 5, 16, 24, 44, 53, 65, 80, 98, 105, 111, 115 },
        { 0, 2, 5, 9, 34, 44, 55, 70, 82, 100, 113, 119, 133, 141 },
    };
    return table;
}

} // namespace

std::vector<ModularRuler> ShortRulers(int fewest, int most)
{
    std::vector<ModularRuler> rulers;
    for (const std::vector<int>& marks : ShortRulerTable())
        if (static_cast<int>(marks.size()) >= fewest && static_cast<int>(marks.size()) <= most)
            rulers.push_back({ marks, 2 * marks.back() + 1, true });
    return rulers;
}

std::vector<ModularRuler> ModularRulers(int fewest, int most)
{
    std::vector<ModularRuler> rulers;
    for (int q = std::max(2, fewest - 1); q <= most; ++q) {
        if (!IsPrime(q))
            continue;
        if (q >= fewest)
            rulers.push_back(Bose(q));
        if (q + 1 >= fewest && q + 1 <= most)
            rulers.push_back(Singer(q));
    }
    return rulers;
}

} // namespace coordination
