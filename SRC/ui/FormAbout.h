#pragma once
#include <QDialog>
#include <QImage>

class QLabel;
class QTimer;

// The about window: the logo, the product name, the version, the settings folder in use and a
// slowly scrolling text.
// A click anywhere on it closes it.
class TFrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TFrmAbout(QWidget* owner);

    int TextTop() const { return m_textTop; }
    int RestartLimit() const { return m_restartLimit; }
    QString ScrollText() const { return m_scrollText; }

    void Timer1Timer();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void FormClick();
    void ShowSettingsFolder();
    void PrepareScrollText();
    void DrawScrollText();

    QLabel* Image1 = nullptr;
    QLabel* lbName = nullptr;
    QLabel* lbVersion = nullptr;
    QLabel* lbSettingsFolder = nullptr;
    QLabel* Image3 = nullptr;
    QTimer* Timer1 = nullptr;

    QString m_scrollText;
    QImage m_scrollImage; // what Image3 shows, redrawn on every step
    int m_textTop = 0;
    int m_restartLimit = 0;
};
