#include "data/Device.h"

#include "data/DebugPrint.h"
#include "data/IniFile.h"

#include <QtGlobal>
#include <algorithm>

TTMICListObj* DeviceList::Append(std::unique_ptr<TTMICListObj> record)
{
    if (!record || IsFull())
        return nullptr;
    m_records.push_back(std::move(record));
    return m_records.back().get();
}

bool DeviceList::RemoveFirst(int rxid, int devIdx)
{
    const auto found = std::find_if(m_records.begin(), m_records.end(),
        [&](const std::unique_ptr<TTMICListObj>& r) { return r->RXID == rxid && r->DevIdx == devIdx; });
    if (found == m_records.end())
        return false;
    m_records.erase(found);
    return true;
}

void DeviceList::Clear()
{
    m_records.clear();
}

TTMICListObj* FindDevice(const DeviceList& list, int rxid, int devIdx)
{
    for (const auto& record : list) {
        if (record->RXID == rxid && record->DevIdx == devIdx)
            return record.get();
    }
    return nullptr;
}

TTMICListObj* AddSearchedDevice(DeviceList& list, const SearchDevStruct& entry)
{
    auto record = std::make_unique<TTMICListObj>();
    record->IP = entry.IP;
    record->RXID = entry.RXID;
    record->DevIdx = entry.Channel;
    record->HWVer = entry.HWVer;
    record->SWVer = entry.SWVer;
    record->Band = entry.Band.left(1);
    record->Freq = 640.0;
    record->Name = QStringLiteral("QX-500");
    record->Channel = 0;
    return list.Append(std::move(record));
}

TTMICListObj* AddRepliedDevice(DeviceList& list, const QString& ip, int rxid, int devIdx, const DeviceBandInfo& info)
{
    auto record = std::make_unique<TTMICListObj>();
    record->IP = ip;
    record->RXID = rxid;
    record->DevIdx = devIdx;
    record->StartFreq = info.StartFreq;
    record->Freq = info.StartFreq;
    record->Channel = 0;
    record->Band = info.Band;
    record->StartChannel = info.StartChannel;
    record->MaxChannel = info.MaxChannel;
    record->Name = info.Name;
    record->HWVer = info.HWVer;
    record->SWVer = info.SWVer;
    return list.Append(std::move(record));
}

double ChannelFrequency(double startFreq, int startChannel, int channel)
{
    return startFreq + (channel - startChannel) * ChannelStep;
}

double BandEnd(double startFreq, int maxChannel)
{
    return startFreq + maxChannel * ChannelStep;
}

namespace {

const QString History = QStringLiteral("History");

QString KeyOf(const char* stem, int index)
{
    return QLatin1String(stem) + QString::number(index);
}

// A band is kept as the text it was stored as: a device's band letter must survive a restart.
// A decimal band reads in its plain decimal form; only a missing or empty key gives "0".
QString ReadBand(const IniFile& file, int index)
{
    const QByteArray raw = file.ReadRaw(History, KeyOf("Band", index));
    if (raw.isEmpty())
        return QStringLiteral("0");
    int number = 0;
    if (ParseIniInt(raw, number))
        return QString::number(number);
    return file.ReadString(History, KeyOf("Band", index), QString());
}

std::unique_ptr<TTMICListObj> ReadRecord(const IniFile& file, int i)
{
    auto record = std::make_unique<TTMICListObj>();
    record->IP = file.ReadString(History, KeyOf("IP", i), QStringLiteral("192.168.1.100"));
    record->RXID = file.ReadInt(History, KeyOf("RXID", i), i + 1);
    record->DevIdx = file.ReadInt(History, KeyOf("DevIdx", i), 1);
    record->Band = ReadBand(file, i);
    record->Channel = file.ReadInt(History, KeyOf("Channel", i), 0);
    record->StartChannel = file.ReadInt(History, KeyOf("StartChannel", i), 0);
    record->MaxChannel = file.ReadInt(History, KeyOf("MaxChannel", i), 100);
    record->StartFreq = file.ReadDouble(History, KeyOf("StartFreq", i), 640.0);
    record->Freq = file.ReadDouble(History, KeyOf("Freq", i), 640.0);
    record->Name = file.ReadString(History, KeyOf("Name", i), QStringLiteral("QX-500"));
    return record;
}

void WriteRecord(IniFile& file, int i, const TTMICListObj& record)
{
    file.WriteString(History, KeyOf("IP", i), record.IP);
    file.WriteInt(History, KeyOf("RXID", i), record.RXID);
    file.WriteInt(History, KeyOf("DevIdx", i), record.DevIdx);
    file.WriteString(History, KeyOf("Band", i), record.Band);
    file.WriteInt(History, KeyOf("Channel", i), record.Channel);
    file.WriteInt(History, KeyOf("StartChannel", i), record.StartChannel);
    file.WriteInt(History, KeyOf("MaxChannel", i), record.MaxChannel);
    file.WriteDouble(History, KeyOf("StartFreq", i), record.StartFreq);
    file.WriteDouble(History, KeyOf("Freq", i), record.Freq);
    file.WriteString(History, KeyOf("Name", i), record.Name);
}

} // namespace

bool LoadDeviceList(const QString& path, DeviceList& list)
{
    list.Clear();
    IniFile file(path);
    const bool read = file.Load();
    const int count = file.ReadInt(History, QStringLiteral("DevCnt"), 0);
    const int created = std::clamp(count, 0, DeviceList::MaxRecords);
    for (int i = 0; i < created; ++i)
        list.Append(ReadRecord(file, i));
    if (count > created) {
        qWarning("%s: DevCnt %d, only the first %d records are loaded", qUtf8Printable(path), count, created);
        DebugPrint("%s: DevCnt %d, only the first %d records are loaded", qUtf8Printable(path), count, created);
        return false;
    }
    return read;
}

bool SaveDeviceList(const QString& path, const DeviceList& list)
{
    IniFile file(path);
    if (!file.Load())
        return false;
    file.WriteInt(History, QStringLiteral("DevCnt"), list.Count());
    for (int i = 0; i < list.Count(); ++i)
        WriteRecord(file, i, *list.At(i));
    return file.Save();
}
