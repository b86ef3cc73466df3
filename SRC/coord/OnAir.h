#pragma once
// Which candidate frequencies the carriers already on air rule out, computed at once for all
// candidates. Adding carriers one by one to a CarrierSet costs the cube of their number at the
// three-transmitter level; here the pair sums of the carriers are counted once, so that a
// candidate costs one look-up per carrier.
#include "data/Coordination.h"

#include <vector>

namespace coordination
{

// For each candidate (kHz), why the carriers (kHz, any order, repeats allowed) rule it out:
// the same answer as a CarrierSet holding those carriers.
std::vector<Block> BlocksOnAir(const Rule& rule, const std::vector<int>& candidatesKHz, const std::vector<int>& carriersKHz);

} // namespace coordination
