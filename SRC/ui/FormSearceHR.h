#pragma once
#include "data/Device.h"

#include "ui/ToolWindows.h"

#include <QDialog>
#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The device search and add window. It broadcasts a search when it opens and lists one row per
// channel of every receiver that answers; the user moves rows to the add list and confirms.
//
// The exchange with the opener: on entry, channels holds the channels already managed (IP, RXID
// and channel), which are never offered again; on confirm it is replaced by the rows of the add
// list and result becomes 1. Both containers grow as needed, so no channel is lost to a bound.
class TFrmSearceHR : public QDialog, public ToolReplyHandler
{
    Q_OBJECT

public:
    enum Column { ColIP, ColRXID, ColChannel, ColName, ColHW, ColSW, ColBand, ColumnCount };

    TFrmSearceHR(QWidget* owner, uint8_t& result, std::vector<SearchDevStruct>& channels);
    ~TFrmSearceHR() override;

    // The search reply from source (empty for the serial line): one row per channel not yet known.
    void OnSearchReply(const QString& source, const uint8_t* frame, int size) override;

    void btAddAllClick();
    void btAddClick();
    void btDelClick();
    void btDelAllClick();
    void btSearceClick();
    void btModifyIPClick();
    void btSureClick();
    void btCloseClick();

    QLabel* Label2 = nullptr;
    QTreeWidget* lvDev = nullptr;
    QLabel* Label3 = nullptr;
    QTreeWidget* lvAddDev = nullptr;
    QPushButton* btAddAll = nullptr;
    QPushButton* btAdd = nullptr;
    QPushButton* btDel = nullptr;
    QPushButton* btDelAll = nullptr;
    QPushButton* btSearce = nullptr;
    QPushButton* btModifyIP = nullptr;
    QPushButton* btSure = nullptr;
    QPushButton* btClose = nullptr;

private:
    void CreateControls();
    QTreeWidget* NewDeviceList(const char* name);
    void SendSearch();
    bool IsKnown(const QString& ip, int rxid, int channel) const;
    static bool ListHolds(const QTreeWidget& list, const QString& ip, int rxid, int channel);
    static void MoveSelected(QTreeWidget& from, QTreeWidget& to);
    static void MoveAll(QTreeWidget& from, QTreeWidget& to);
    static SearchDevStruct EntryOf(const QTreeWidgetItem& row);

    uint8_t& m_result;
    std::vector<SearchDevStruct>& m_channels;
};

// The open search window, or nullptr.
extern TFrmSearceHR* FrmSearceHR;

// The message naming the channels the device list had no room for.
QString ChannelsNotAddedText(const std::vector<SearchDevStruct>& refused);
