#include "NetNamespace.h"

#include <QProcess>
#include <QStandardPaths>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>
#include <vector>

namespace testsupport {
namespace {

constexpr const char* InsideMarker = "TESSARO_IN_PRIVATE_NETNS";
QString g_reason;

QStringList UnshareArguments()
{
    if (geteuid() == 0)
        return {QStringLiteral("-n")};
    return {QStringLiteral("-Urn")};
}

QString FindTool(const QString& name)
{
    const QString onPath = QStandardPaths::findExecutable(name);
    return onPath.isEmpty() ? QStandardPaths::findExecutable(name, {"/sbin", "/usr/sbin"}) : onPath;
}

// Probes before exec: a failing exec would end the test instead of skipping it.
bool CanMakeNamespace(QString* why)
{
    const QString unshare = FindTool(QStringLiteral("unshare"));
    const QString ip = FindTool(QStringLiteral("ip"));
    if (unshare.isEmpty() || ip.isEmpty()) {
        *why = QStringLiteral("no private network namespace: unshare or ip (iproute2) is missing");
        return false;
    }
    QProcess probe;
    probe.start(unshare, UnshareArguments() + QStringList{ip, "link", "set", "lo", "up"});
    if (!probe.waitForFinished(5000) || probe.exitStatus() != QProcess::NormalExit || probe.exitCode() != 0) {
        *why = QStringLiteral("no private network namespace could be made here (%1): %2")
                   .arg(UnshareArguments().join(' '), QString::fromLocal8Bit(probe.readAllStandardError()).trimmed());
        return false;
    }
    return true;
}

} // namespace

void EnterPrivateNetworkNamespace(int argc, char** argv)
{
    if (InPrivateNetworkNamespace())
        return;
    QString why;
    if (!CanMakeNamespace(&why)) {
        g_reason = why;
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return;
    }
    setenv(InsideMarker, "1", 1);
    // sh brings lo up and routes everything, broadcasts included, to it, then runs the test again.
    std::vector<std::string> args = {"unshare"};
    for (const QString& a : UnshareArguments())
        args.push_back(a.toStdString());
    args.insert(args.end(), {"sh", "-c",
                             "PATH=$PATH:/sbin:/usr/sbin; ip link set lo up && ip route add default dev lo && exec \"$0\" \"$@\""});
    for (int i = 0; i < argc; ++i)
        args.emplace_back(argv[i]);
    std::vector<char*> execArgs;
    for (std::string& a : args)
        execArgs.push_back(a.data());
    execArgs.push_back(nullptr);
    execvp("unshare", execArgs.data());
    unsetenv(InsideMarker);
    g_reason = QStringLiteral("could not run unshare");
}

bool InPrivateNetworkNamespace()
{
    const char* marker = std::getenv(InsideMarker);
    return marker && marker[0] == '1';
}

QString NetNamespaceUnavailableReason()
{
    return g_reason.isEmpty() ? QStringLiteral("not inside a private network namespace") : g_reason;
}

} // namespace testsupport
