// What the intake benchmarks share: CPU clocks, a free loopback port, a wait that keeps the event
// loop running, the Config.ini lines of polled records and the shown main window over them.
#pragma once

#include "data/PublicStruct.h"
#include "ui/FormMain.h"

#include <QByteArray>
#include <QFile>
#include <QTreeWidget>
#include <memory>
#include <QEventLoop>
#include <QTimer>
#include <arpa/inet.h>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace bench
{

inline double CpuSeconds(clockid_t clock)
{
    timespec t {};
    clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// A UDP port the kernel has just handed out and taken back: free for the endpoint under test.
inline int FreeUdpPort()
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local {};
    local.sin_family = AF_INET;
    socklen_t length = sizeof local;
    bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length);
    close(fd);
    return ntohs(local.sin_port);
}

// A socket that sends from `address` (any port), as a receiver at that address replies: Tessaro
// takes a status reply only from its record's address.
inline int ReplySocketFrom(const char* address)
{
    const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in local {};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = inet_addr(address);
    bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);
    return fd;
}

// A precise timer: a coarse one (Qt's default from 2 s up) may end a 10 s wait 500 ms early.
inline void RunLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// The [History] lines of `records` channels at `ip`, four to a receiver, all on 640 MHz.
inline QByteArray PolledRecordsIni(int records, const QByteArray& ip)
{
    QByteArray text = "[History]\r\nDevCnt=" + QByteArray::number(records) + "\r\n";
    for (int i = 0; i < records; ++i) {
        const QByteArray n = QByteArray::number(i);
        text += "IP" + n + "=" + ip + "\r\nRXID" + n + "=" + QByteArray::number(i / 4 + 1) + "\r\nDevIdx" + n + "="
            + QByteArray::number(i % 4 + 1) + "\r\nStartFreq" + n + "=640\r\nFreq" + n + "=640\r\n";
    }
    return text;
}

// The main window on `config` (written as Config.ini of the installed settings), every record
// connected, the first `tiles` of them with a tile, shown large enough for every tile to be painted.
inline std::unique_ptr<TFrmMain> ShownWindow(const QByteArray& config, int port, int tiles)
{
    QFile file(PublicStruct::Instance().ConfigPath());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(config);
    file.close();
    auto window = std::make_unique<TFrmMain>(port);
    for (const auto& record : window->Devices())
        record->Connected = true;
    window->resize(2000, 1500);
    window->show();
    auto* list = window->findChild<QTreeWidget*>(QStringLiteral("lbDevList"));
    for (int i = 0; i < tiles; ++i) {
        list->setCurrentItem(list->topLevelItem(i));
        window->lbDevListDblClick();
    }
    RunLoop(300);
    return window;
}

}
