#include "lang/Language.h"

#include "data/PublicStruct.h"
#include "lang/Gbk.h"

#include <QFile>
#include <QtGlobal>
#include <iterator>

namespace {

std::unique_ptr<cLanguage>& Installed()
{
    static std::unique_ptr<cLanguage> instance;
    return instance;
}

// Fields of one line, cut at every "||": a field ended by "||" counts even when empty, the rest
// after the last "||" only when it is not empty.
QStringList SplitFields(QStringView line)
{
    QStringList fields;
    const QLatin1String separator("||");
    qsizetype from = 0;
    for (qsizetype at = line.indexOf(separator); at >= 0; at = line.indexOf(separator, from)) {
        fields << line.mid(from, at - from).toString();
        from = at + separator.size();
    }
    if (from < line.size())
        fields << line.mid(from).toString();
    return fields;
}

// Lines end at CR or LF; CR LF is one line end.
QList<QStringView> SplitLines(QStringView text)
{
    QList<QStringView> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype stop = start;
        while (stop < text.size() && text[stop] != u'\r' && text[stop] != u'\n')
            ++stop;
        lines << text.mid(start, stop - start);
        if (stop < text.size() && text[stop] == u'\r' && stop + 1 < text.size() && text[stop + 1] == u'\n')
            ++stop;
        start = stop + 1;
    }
    return lines;
}

QStringList LineFields(QStringView line)
{
    if (line.startsWith(QLatin1String("##")))
        return {};
    return SplitFields(line);
}

QByteArray CompiledInTable()
{
    QFile resource(QStringLiteral(":/Language.txt"));
    if (!resource.open(QIODevice::ReadOnly)) {
        qWarning("The translation table resource is missing; texts stay in Chinese");
        return {};
    }
    return resource.readAll();
}

struct TextPair {
    const char* chinese;
    const char* english;
};

// Indexed by number; the callers name their texts by these numbers.
constexpr TextPair BuiltinTexts[] = {
    {"无线麦克风管理软件", "Korvane Tessaro"}, // 0
    {"对频成功!", "Sync Successfully!"}, // 1
    {"对频失败!", "Sync Error!"}, // 2
    {"系统(&S)", "&System"}, // 3
    {"初始化(&I)", "&Initialization"}, // 4
    {"打开(&O)", "&Open"}, // 5
    {"保存(&S)", "&Save"}, // 6
    {"查看(&V)", "&View"}, // 7
    {"工具栏(&T)", "&Tools"}, // 8
    {"状态栏(&S)", "&Status"}, // 9
    {"显示(&P)", "&Process"}, // 10
    {"连接信息(&D)", "&Details"}, // 11
    {"设备管理(&M)", "Device &Manage"}, // 12
    {"语言(&L)", "&Language"}, // 13
    {"设备(&D)", "&Devices"}, // 14
    {"连接(&C)", "&Connect"}, // 15
    {"断开(&D)", "&Disconnect"}, // 16
    {"添加设备(&A)", "&Add New"}, // 17
    {"&RF历史信息", "&RF History Plot"}, // 18
    {"扫频(&F)", "&Frequency Plot"}, // 19
    {"单系统设置(&S)", "&Single Band Setup"}, // 20
    {"多系统设置(&M)", "Co&mpatibility Setup"}, // 21
    {"帮助(&H)", "&Help"}, // 22
    {"关于(&A)", "&About"}, // 23
    {"添加设备", "Add New"}, // 24
    {"RF历史信息", "RF History"}, // 25
    {"扫频", "Scan RF"}, // 26
    {"单系统设置", "Single Setup"}, // 27
    {"多系统设置", "Compatible"}, // 28
    {"通道", "Channel"}, // 29
    {"设备", "Device"}, // 30
    {"IP", "IP"}, // 31
    {"设备编号", "RXID"}, // 32
    {"通道", "Channel"}, // 33
    {"频率", "Frequency"}, // 34
    {"名称", "Name"}, // 35
    {"频段", "Band"}, // 36
    {"删除设备", "Remove"}, // 37
    {"属性", "Property"}, // 38
    {"无法连接设备[%d:%d]", "Cannot Connect Device [%d:%d]"}, // 39
    {"打开端口%d成功", "Open port %d success"}, // 40
    {"打开端口%d失败", "Open port %d fail"}, // 41
    {"设置(&T)", "Se&t"}, // 42
    {"连接编号设备[%d]成功", "Connect DeviceID %d success!"}, // 43
    {"您确认要删除该设备吗?", "Are you sure remove device?"}, // 44
    {"删除确认", "Delete confirmation"}, // 45
    {"请先连接设备", "Device not connect!"}, // 46
    {"对频", "Sync Tx"}, // 47
    {"RF历史数据", "RF History Plot"}, // 48
    {"开始(&S)", "&Start"}, // 49
    {"停止(&P)", "Sto&p"}, // 50
    {"请先勾选一个设备!", "Please select device!"}, // 51
    {"设备编号", "RXID"}, // 52
    {"通道", "Channel"}, // 53
    {"名称", "Name"}, // 54
    {"IP", "IP"}, // 55
    {"提示", "Tips"}, // 56
    {"确认", "Ok"}, // 57
    {"取消", "Cancel"}, // 58
    {"设备属性信息", "Device Property"}, // 59
    {"设置", "Set"}, // 60
    {"返回", "Return"}, // 61
    {"硬件版本: ", "HW Version: "}, // 62
    {"软件版本: ", "Soft Version: "}, // 63
    {"频率", "Frequency"}, // 64
    {"名称", "Name"}, // 65
    {"连接: ", "Connected: "}, // 66
    {"是 ", "Yes"}, // 67
    {"否", "No"}, // 68
    {"设置成功!", "Set success!"}, // 69
    {"设置频率失败!", "Set frequency fail!"}, // 70
    {"设置SQ失败!", "Set SQ Fail!"}, // 71
    {"设置失败!", "Set fail!"}, // 72
    {"扫频", "Scan RF"}, // 73
    {"频带", "Band"}, // 74
    {"开始频率", "Start Freq"}, // 75
    {"结束频率", "End Freq"}, // 76
    {"开始", "Start"}, // 77
    {"结束", "Stop"}, // 78
    {"扫频结束", "Scan RF finish!"}, // 79
    {"单系统设置", "Single Band Setup"}, // 80
    {"设置频率", "Set Freq"}, // 81
    {"多系统设置", "Compatibility Setup"}, // 82
};
static_assert(std::size(BuiltinTexts) == BuiltinTextCount);

} // namespace

cLanguage::cLanguage()
    : cLanguage(CompiledInTable())
{
}

cLanguage::cLanguage(const QByteArray& gbkText)
{
    Parse(gbkText);
    m_marker = ConstructedMarker;
}

cLanguage::~cLanguage()
{
    m_marker = 0;
}

void cLanguage::Parse(const QByteArray& gbkText)
{
    // The table ends at its first NUL byte, if it has one. It is decoded before it is cut:
    // '|' can be the second byte of a GBK character, so cutting the bytes could split one.
    const qsizetype nul = gbkText.indexOf('\0');
    const QString text = FromGbk(nul < 0 ? QByteArrayView(gbkText) : QByteArrayView(gbkText).first(nul));
    const QList<QStringView> lines = SplitLines(text);
    if (lines.isEmpty())
        return;
    m_names = LineFields(lines.first()).mid(0, MaxLanguages);
    m_columns.resize(m_names.size());
    for (qsizetype n = 1; n < lines.size(); ++n) {
        const QStringList fields = LineFields(lines[n]);
        if (fields.isEmpty())
            continue;
        for (qsizetype k = 0; k < m_columns.size(); ++k)
            m_columns[k] << fields.value(k, fields.first());
    }
}

int cLanguage::Count() const
{
    return static_cast<int>(m_names.size());
}

QString cLanguage::LanguageName(int column) const
{
    return m_names.value(column);
}

int cLanguage::RowCount() const
{
    return m_columns.isEmpty() ? 0 : static_cast<int>(m_columns.first().size());
}

QString cLanguage::Text(int column, int row) const
{
    return column >= 0 && column < m_columns.size() ? m_columns[column].value(row) : QString();
}

QString cLanguage::Translate(const QString& source, int languageIndex) const
{
    if (!IsConstructed() || m_columns.isEmpty())
        return source;
    const qsizetype row = m_columns.first().indexOf(source);
    if (row < 0)
        return source;
    const int column = languageIndex >= 0 && languageIndex < Count() ? languageIndex : 0;
    const QString& text = m_columns[column][row];
    return text.isEmpty() ? source : text;
}

cLanguage* cLanguage::Instance()
{
    return Installed().get();
}

void cLanguage::Install(std::unique_ptr<cLanguage> instance)
{
    Installed() = std::move(instance);
}

QString TranslateText(const QString& source)
{
    const cLanguage* table = cLanguage::Instance();
    if (!table)
        return source;
    return table->Translate(source, PublicStruct::Instance().LanguageIndex);
}

QString BuiltinText(unsigned n)
{
    const auto language = static_cast<unsigned>(PublicStruct::Instance().LanguageIndex);
    if (language >= 2 || n >= BuiltinTextCount)
        return QString();
    const TextPair& pair = BuiltinTexts[n];
    return QString::fromUtf8(language == 0 ? pair.chinese : pair.english);
}

QString LanguageText(const char* chinese, const char* english)
{
    return QString::fromUtf8(PublicStruct::Instance().LanguageIndex == 0 ? chinese : english);
}
