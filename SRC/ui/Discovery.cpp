#include "ui/Discovery.h"

#include "data/PublicStruct.h"
#include "protocol/Commands.h"
#include "transport/ClassCom.h"
#include "transport/SendCommand.h"
#include "ui/FormMessage.h"


namespace
{

constexpr uint8_t BroadcastDevIdx = 1; // a receiver's first channel answers for it

} // namespace

QString SendFailureText(int result)
{
    if (PublicStruct::Instance().ConnectType == 0)
        return LanguageText("请求未能发出: 网络发送失败(%1)!",
            "The request could not be sent: the network send failed (%1)!")
            .arg(result);
    if (!cnComm::Instance().IsOpen())
        return LanguageText("请求未能发出: 串口未打开!", "The request could not be sent: the serial port is not open!");
    return LanguageText("请求未能发出: 串口写入失败!", "The request could not be sent: the serial write failed!");
}

bool SendBroadcastRequest(QWidget* owner, uint8_t rxid, uint8_t cmd, const uint8_t* payload, int len)
{
    const int result = SendCommand(QString::fromLatin1(BroadcastAddress), rxid, BroadcastDevIdx, cmd, payload, len);
    if (result > 0)
        return true;
    ShowMessageBox(owner, SendFailureText(result), QStringLiteral("提示"), 0, -1);
    return false;
}
