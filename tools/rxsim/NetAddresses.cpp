#include "NetAddresses.h"

#include "SimConfig.h"

#include <QProcess>
#include <QStandardPaths>
#include <arpa/inet.h>
#include <cstring>
#include <ifaddrs.h>
#include <net/if.h>

namespace
{

QString IpTool()
{
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("ip"));
    return onPath.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("ip"), { "/sbin", "/usr/sbin" }) : onPath;
}

bool RunIp(const QStringList& arguments, QString* error)
{
    const QString tool = IpTool();
    if (tool.isEmpty()) {
        *error = QStringLiteral("the ip tool (iproute2) is missing");
        return false;
    }
    QProcess process;
    process.start(tool, arguments);
    if (!process.waitForFinished(5000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QStringLiteral("ip %1: %2")
                     .arg(arguments.join(' '), QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
        return false;
    }
    return true;
}

} // namespace

bool NetworkIsPrivate()
{
    struct if_nameindex* names = if_nameindex();
    if (!names)
        return false;
    bool onlyLoopback = true;
    for (struct if_nameindex* n = names; n->if_index != 0; ++n)
        onlyLoopback = onlyLoopback && std::strcmp(n->if_name, "lo") == 0;
    if_freenameindex(names);
    return onlyLoopback;
}

bool IsLoopback(uint32_t hostOrder)
{
    return (hostOrder >> 24) == 127;
}

bool AddressIsLocal(uint32_t hostOrder)
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return false;
    bool found = false;
    for (ifaddrs* a = list; a && !found; a = a->ifa_next) {
        if (a->ifa_addr && a->ifa_addr->sa_family == AF_INET)
            found = ntohl(reinterpret_cast<const sockaddr_in*>(a->ifa_addr)->sin_addr.s_addr) == hostOrder;
    }
    freeifaddrs(list);
    return found;
}

bool AddLoopbackAddress(uint32_t hostOrder, QString* error)
{
    return RunIp({ "addr", "add", Ipv4Text(hostOrder) + "/32", "dev", "lo" }, error);
}

void RemoveLoopbackAddress(uint32_t hostOrder)
{
    QString ignored; // the namespace ends with the process anyway
    RunIp({ "addr", "del", Ipv4Text(hostOrder) + "/32", "dev", "lo" }, &ignored);
}
