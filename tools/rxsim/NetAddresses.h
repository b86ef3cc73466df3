#pragma once
// Where the simulator may listen for broadcasts and add addresses: only inside a private network
// namespace, recognised by having no interface but lo.
#include <QString>
#include <cstdint>

bool NetworkIsPrivate();
bool IsLoopback(uint32_t hostOrder);
// True when an interface of this namespace holds the address.
bool AddressIsLocal(uint32_t hostOrder);
// ip addr add <address>/32 dev lo; false with the reason.
bool AddLoopbackAddress(uint32_t hostOrder, QString* error);
void RemoveLoopbackAddress(uint32_t hostOrder);
