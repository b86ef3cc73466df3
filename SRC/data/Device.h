#pragma once
#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// One managed receiver channel, identified by (RXID, DevIdx).
class TTMICListObj {
public:
    QString IP;
    int32_t RXID = -1;
    int32_t DevIdx = 0;
    int32_t Channel = 0;
    double StartFreq = 640.0;
    double Freq = 0.0;
    int32_t SQ = -1;
    int32_t StartChannel = 0;
    int32_t MaxChannel = 100;
    QString Band = QStringLiteral("-1");
    QString Name;
    QString HWVer;
    QString SWVer;
    bool Connected = false;
    uint32_t ConnectDue = 0;
    uint32_t ConnectDeadline = 0;
};

// A channel chosen in the device search window (and, on the way in, a channel already managed).
struct SearchDevStruct {
    QString IP;
    int32_t RXID = 0;
    int32_t Channel = 0;
    QString Name;
    QString HWVer;
    QString SWVer;
    QString Band;
};

// What a device-information reply tells of a channel's band.
struct DeviceBandInfo {
    double StartFreq = 640.0;
    int32_t StartChannel = 0;
    int32_t MaxChannel = 100;
    QString Band;
    QString Name;
    QString HWVer;
    QString SWVer;
};

// The ordered, owning list of records. It holds at most MaxRecords: no sender can grow the list
// or Config.ini without end; an append beyond the bound is refused with nullptr.
class DeviceList {
public:
    static constexpr int MaxRecords = 1024;

    int Count() const { return static_cast<int>(m_records.size()); }
    bool IsFull() const { return Count() >= MaxRecords; }
    TTMICListObj* At(int index) const { return m_records[static_cast<size_t>(index)].get(); }
    TTMICListObj* Append(std::unique_ptr<TTMICListObj> record);
    // Destroys the first record with this pair; false when there is none.
    bool RemoveFirst(int rxid, int devIdx);
    void Clear();

    auto begin() const { return m_records.begin(); }
    auto end() const { return m_records.end(); }

private:
    std::vector<std::unique_ptr<TTMICListObj>> m_records;
};

// The first record in list order with this pair, or nullptr.
TTMICListObj* FindDevice(const DeviceList& list, int rxid, int devIdx);

// The creation paths besides loading; each returns nullptr when the list is full.
TTMICListObj* AddSearchedDevice(DeviceList& list, const SearchDevStruct& entry);
TTMICListObj* AddRepliedDevice(DeviceList& list, const QString& ip, int rxid, int devIdx, const DeviceBandInfo& info);

// Channel rule: channel c lies at StartFreq + (c - StartChannel) x 0.25 MHz.
constexpr double ChannelStep = 0.25;
double ChannelFrequency(double startFreq, int startChannel, int channel);
// One step above the band's last channel: the upper limit the RF windows accept.
double BandEnd(double startFreq, int maxChannel);

// Config.ini section [History]: DevCnt and ten keys per record. Loading replaces the list's
// contents; it returns false (logged) when the file could not be read or held more records than
// MaxRecords, which are then not created. Saving writes all keys in one replacement of the file
// and returns false when the file could not be written, leaving the previous file intact.
bool LoadDeviceList(const QString& path, DeviceList& list);
bool SaveDeviceList(const QString& path, const DeviceList& list);
