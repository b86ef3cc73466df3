#pragma once
#include "data/DebugPrint.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <mutex>

class QScrollBar;
class QTimer;
class QToolBar;
class QToolButton;

// The pieces a GBK line is drawn in, one row each: at most bytesPerRow bytes (at least 2, so
// that a double-byte character always fits), never splitting a double-byte character, the last
// byte always kept. An empty line has no piece. The views point into line.
QList<QByteArrayView> WrapGbkLine(QByteArrayView line, int bytesPerRow);

// The drawing surface: shows its off-screen picture, which the debug window draws into.
class TDebugImage : public QWidget {
    Q_OBJECT
public:
    explicit TDebugImage(QWidget* parent);
    QImage Picture;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The diagnostic console: collects the DebugPrint lines (from any thread), draws the newest as
// white text on black and, while Save is down, appends them to DebugLog.Log in the settings folder.
class TFrmDebug : public QWidget, public DebugSink {
    Q_OBJECT
public:
    // A top-level window of its own (no Qt parent); owner only chooses the screen it is centred
    // on when no position is stored. settingsFileName is relative to the settings folder.
    TFrmDebug(QWidget* owner, const QString& settingsFileName);
    ~TFrmDebug() override;

    QList<QByteArray> LiveLines() const;
    const QList<QByteArray>& SnapshotLines() const { return m_snapshot; }
    int VisibleRows() const { return m_visibleRows; }

    // Draws the shown lines now, or, within 150 ms of the last redraw, once Timer1 runs out.
    void Redraw();

    QToolBar* ToolBar1;
    QToolButton* tbClrScr;
    QToolButton* tbFrozen;
    QToolButton* btStopDebug;
    QToolButton* btSave;
    QToolButton* tbStayOnTop;
    TDebugImage* Image1;
    QScrollBar* ScrollBar1;
    QTimer* Timer1;

protected:
    void customEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool DebugAccepting() const override;
    void DebugLine(const QByteArray& gbkLine) override;

    QToolButton* AddToolButton(const QString& caption, const QString& picture, bool toggle);
    void PlaceAtStoredPosition(QWidget* owner);
    void DrawLines(const QList<QByteArray>& lines);
    void AppendToLogFile(const QByteArray& gbkLine);

    void tbClrScrClick();
    void tbFrozenClick(bool down);
    void btStopDebugClick(bool down);
    void btSaveClick(bool down);
    void tbStayOnTopClick(bool down);
    void ScrollBar1Change();
    void Timer1Timer();
    void FormResize();

    const QString m_folder;
    const QString m_settingsPath;
    const int32_t m_lineLimit;

    // Guards m_lines: DebugLine runs on the printing thread.
    mutable std::mutex m_lock;
    QList<QByteArray> m_lines;

    QList<QByteArray> m_snapshot;
    std::atomic<bool> m_stopped { false };
    std::atomic<bool> m_saving { false };
    bool m_logFailureShown = false; // guarded by m_lock
    bool m_frozen = false;
    int m_visibleRows = 0;
    uint32_t m_lastRedraw = 0;
};

// The debug window while one exists, null otherwise.
extern TFrmDebug* FrmDebug;

// Creates and shows the debug window (settings in the settings folder's Config.ini) unless one exists;
// returns it. The window lives until DestroyDebugWindow, at the latest until the application
// object is destroyed.
TFrmDebug* CreateDebugWindow(QWidget* owner);
void DestroyDebugWindow();
