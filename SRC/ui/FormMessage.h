#pragma once
#include <QDialog>
#include <functional>

class QLabel;
class QTimer;
class TPictureButton;

// Style flags of the message box (the values of the usual message box styles).
namespace msgbox {
constexpr int TwoButtons = 0x01;     // confirm and cancel; clear: confirm only
constexpr int IconMask = 0xF0;       // 0x10 error, 0x20 question, 0x30 warning, else information
constexpr int CancelDefault = 0x100; // the time-out ends with cancel and counts down on it
constexpr int Confirmed = 1;
constexpr int Cancelled = 2;
} // namespace msgbox

// The system's modal message box: a title, an icon, a word-wrapped message, one or two buttons
// and an optional time-out with a countdown on the default button.
class TFrmMessage : public QDialog {
    Q_OBJECT
public:
    // The owner places the box on its screen and keeps it above; it does not own the box.
    TFrmMessage(QWidget* owner, const QString& message, const QString& title, int flags, int timeout);

    int Result() const { return m_result; }
    int TicksLeft() const { return m_ticksLeft; }

    void btSureClick();
    void btCancelClick();
    void CashStyleCloseClick();
    void Timer1Timer();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void BuildTitleBand(const QString& title);
    void BuildBody();
    void ApplyFonts();
    void GrowForMessage(const QString& message);
    void ChooseButtons();
    void DrawIcon();
    void PrepareTimer(int timeout);
    void ArrangeToSize();
    void CentreOnScreen(QWidget* owner);
    void Finish(int result);
    TPictureButton* DefaultButton() const;
    QString DefaultButtonText() const;

    QLabel* imgTitleLeft = nullptr;
    QLabel* imgTitleMiddle = nullptr;
    QLabel* imgTitleRight = nullptr;
    QLabel* lbTitle = nullptr;
    TPictureButton* CashStyleClose = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* lbMsg = nullptr;
    TPictureButton* btSure = nullptr;
    TPictureButton* btCancel = nullptr;
    QTimer* Timer1 = nullptr;

    int m_flags = 0;
    int m_ticksLeft = 0;
    int m_result = msgbox::Confirmed;
    int m_sureRightOffset = 0; // window width minus btSure's left edge
};

// Shows the box modally and returns 1 (confirm) or 2 (cancel). The title "提示" is shown in the
// current language; timeout is in milliseconds, negative for none.
int ShowMessageBox(QWidget* owner, const QString& message, const QString& title, int flags, int timeout);

// Tests answer the box through this seam: while a hook is set, ShowMessageBox shows nothing and
// returns the hook's answer. An empty hook restores the box.
using MessageBoxHook
    = std::function<int(QWidget* owner, const QString& message, const QString& title, int flags, int timeout)>;
void SetMessageBoxHook(MessageBoxHook hook);
