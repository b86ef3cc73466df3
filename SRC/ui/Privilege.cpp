#include "ui/Privilege.h"

#include "transport/UDPServer.h"

#include <sys/capability.h>
#include <sys/prctl.h>

#include <cstring>
#include <memory>

namespace
{

struct CapFree {
    void operator()(void* caps) const { cap_free(caps); }
};
using CapHandle = std::unique_ptr<std::remove_pointer_t<cap_t>, CapFree>;

// The capabilities the process still holds in its effective or permitted set, as cap_to_text
// writes them; empty when none.
QString HeldCapabilities()
{
    const CapHandle held(cap_get_proc());
    const CapHandle none(cap_init());
    if (!held || !none)
        return QStringLiteral("(capabilities cannot be read)");
    cap_clear_flag(held.get(), CAP_INHERITABLE);
    if (cap_compare(held.get(), none.get()) == 0)
        return QString();
    char* text = cap_to_text(held.get(), nullptr);
    const QString result = QString::fromLatin1(text ? text : "?");
    cap_free(text);
    return result;
}

} // namespace

QString BindPortAndDropCapabilities(int udpPort)
{
    // A failure is left to the main window, which says why the port could not be bound.
    ReserveUdpPort(udpPort);
    for (cap_value_t cap = 0; cap <= CAP_LAST_CAP; ++cap)
        cap_drop_bound(cap); // refused without CAP_SETPCAP: the empty sets below still hold
    const CapHandle none(cap_init());
    if (none)
        cap_set_proc(none.get());
    const QString held = HeldCapabilities();
    if (held.isEmpty())
        return QString();
    return QStringLiteral("capabilities still held after start-up (%1): refusing to run with them").arg(held);
}
