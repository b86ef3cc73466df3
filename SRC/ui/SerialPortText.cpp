#include "ui/SerialPortText.h"

#include "lang/Language.h"

namespace
{
constexpr int TextOpenPortSuccess = 40, TextOpenPortFail = 41;
constexpr int LanConnection = 0;
} // namespace

QString SerialPortStatusText(bool opened, int port, int connectType)
{
    if (!opened && connectType == LanConnection)
        return LanguageText("串口%1未打开(使用局域网)", "Serial port %1 not opened (LAN in use)").arg(port);
    return QString::asprintf(BuiltinText(opened ? TextOpenPortSuccess : TextOpenPortFail).toUtf8().constData(), port);
}
