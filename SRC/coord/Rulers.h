#pragma once
// Modular Golomb rulers: sets of residues modulo n whose differences are all distinct. On an
// even channel grid with a product guard below the grid step, a set of carriers is free of
// third-order products exactly when their channel offsets form a Golomb ruler; the classical
// constructions below give rulers close to the shortest known, which the search tries as
// starting plans (any multiple by a unit and any rotation of one is again such a ruler).
//   Bose (1942): for a prime q, q marks modulo q^2 - 1
//   Singer (1938): for a prime q, q + 1 marks modulo q^2 + q + 1
#include <vector>

namespace coordination
{

struct ModularRuler {
    std::vector<int> marks; // ascending residues
    int modulus = 0;
    bool linear = false; // a plain ruler, given as one modulo more than twice its length
};

// The Bose and Singer rulers of every prime q with at least `fewest` and at most `most` marks.
std::vector<ModularRuler> ModularRulers(int fewest, int most);

// Short plain rulers of 4 to 14 marks with no two marks on neighbouring channels (which a
// spacing above the grid step forbids, and every modular ruler has), found by a depth-first
// search for each length in turn: the full modular rulers cannot lie in a band that short.
std::vector<ModularRuler> ShortRulers(int fewest, int most);

} // namespace coordination
