#pragma once
// The main window's part of the show: Open Show and Save Show in its first menu, the coordination
// inputs and Analyze in the Devices menu, the show's name in the caption, and the question
// before unsaved changes of the show are discarded (by Open Show or by closing the window).
#include <QObject>
#include <QString>

class QAction;
class QMenu;
class TFrmMain;

class ShowCommands : public QObject
{
    Q_OBJECT
public:
    ShowCommands(TFrmMain& window, QMenu& systemMenu, QMenu& devicesMenu);

    // The captions in the current language; baseCaption is the window's own caption, to which
    // the show's name is added.
    void ApplyTexts(const QString& baseCaption);

    void mnOpenShowClick();
    void mnSaveShowClick();
    void mnCoordInputsClick();
    void mnAnalyzeClick();
    // Opens or saves the show; false when it failed (the reason shown in a message box).
    bool OpenShow(const QString& path);
    bool SaveShow(const QString& path);
    // True when the show holds no unsaved changes or the operator lets them go.
    bool MayDiscard();

    QAction* mnOpenShow = nullptr;
    QAction* mnSaveShow = nullptr;
    QAction* mnCoordInputs = nullptr;
    QAction* mnAnalyze = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    QString ChooseFile(bool save);
    void ShowCaption();
    void Tell(const QString& text);

    TFrmMain& m_window;
    QString m_baseCaption;
};
