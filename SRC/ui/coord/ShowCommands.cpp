#include "ui/coord/ShowCommands.h"

#include "coord/CurrentShow.h"
#include "coord/ShowFile.h"
#include "coord/ShowInputs.h"
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "ui/FormMain.h"
#include "ui/FormMessage.h"
#include "ui/coord/FormCoordAnalysis.h"
#include "ui/coord/FormCoordInputs.h"
#include "ui/coord/ShowSignals.h"

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMenu>

using namespace coordination;

namespace
{

constexpr int ConfirmButtons = 0x21; // confirm and cancel, question icon

QString Tips()
{
    return QStringLiteral("提示");
}

} // namespace

ShowCommands::ShowCommands(TFrmMain& window, QMenu& systemMenu, QMenu& devicesMenu)
    : QObject(&window)
    , m_window(window)
{
    const auto action = [this](const char* name) {
        auto* a = new QAction(this);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    mnOpenShow = action("mnOpenShow");
    mnSaveShow = action("mnSaveShow");
    mnCoordInputs = action("mnCoordInputs");
    mnAnalyze = action("mnAnalyze");
    systemMenu.addSeparator();
    systemMenu.addActions({ mnOpenShow, mnSaveShow });
    devicesMenu.addActions({ mnCoordInputs, mnAnalyze });
    connect(mnOpenShow, &QAction::triggered, this, &ShowCommands::mnOpenShowClick);
    connect(mnSaveShow, &QAction::triggered, this, &ShowCommands::mnSaveShowClick);
    connect(mnCoordInputs, &QAction::triggered, this, &ShowCommands::mnCoordInputsClick);
    connect(mnAnalyze, &QAction::triggered, this, &ShowCommands::mnAnalyzeClick);
    connect(&ShowSignals::Instance(), &ShowSignals::Changed, this, &ShowCommands::ShowCaption);
    window.installEventFilter(this);
}

void ShowCommands::ApplyTexts(const QString& baseCaption)
{
    m_baseCaption = baseCaption;
    mnOpenShow->setText(LanguageText("打开演出(&H)...", "Open S&how..."));
    mnSaveShow->setText(LanguageText("保存演出(&W)", "Save Sho&w"));
    mnCoordInputs->setText(LanguageText("协调输入(&I)...", "Coordination &Inputs..."));
    mnAnalyze->setText(LanguageText("分析在用频率(&Y)", "Anal&yze"));
    ShowCaption();
}

// "Korvane Tessaro - V1.0.0.1 - Arena Tour *": the name of the show, a star while unsaved.
void ShowCommands::ShowCaption()
{
    const CurrentShow& show = TheShow();
    QString caption = m_baseCaption;
    if (!show.file.showName.isEmpty())
        caption += QStringLiteral(" - ") + show.file.showName;
    if (show.modified)
        caption += QStringLiteral(" *");
    m_window.setWindowTitle(caption);
}

void ShowCommands::Tell(const QString& text)
{
    ShowMessageBox(&m_window, text, Tips(), 0, -1);
}

QString ShowCommands::ChooseFile(bool save)
{
    QFileDialog dialog(&m_window, save ? LanguageText("保存演出", "Save Show") : LanguageText("打开演出", "Open Show"),
        TheShow().path, LanguageText("演出文件 (*.json)", "Show files (*.json)"));
    dialog.setObjectName(QStringLiteral("dlgShowFile"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("json"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front();
}

void ShowCommands::mnOpenShowClick()
{
    if (!MayDiscard())
        return;
    if (const QString path = ChooseFile(false); !path.isEmpty())
        OpenShow(path);
}

// Saves where the show was opened from or last saved; a new show asks for its file.
void ShowCommands::mnSaveShowClick()
{
    const QString path = TheShow().path.isEmpty() ? ChooseFile(true) : TheShow().path;
    if (!path.isEmpty())
        SaveShow(path);
}

// Opening a show changes no receiver: the operator still sets each frequency.
bool ShowCommands::OpenShow(const QString& path)
{
    ShowFileReading reading = ReadShowFile(path);
    if (!reading.error.isEmpty()) {
        Tell(LanguageText("无法打开演出: %1", "Could not open the show: %1").arg(reading.error));
        return false;
    }
    TheShow() = { std::move(reading.file), path, false };
    m_window.AddMessage(LanguageText("已打开演出: %1", "Show opened: %1").arg(path));
    emit ShowSignals::Instance().Changed();
    return true;
}

bool ShowCommands::SaveShow(const QString& path)
{
    CurrentShow& show = TheShow();
    JoinManagedDevices(show.file, m_window.Devices());
    if (show.file.devices.empty()) {
        Tell(LanguageText("演出中还没有设备: 请先添加接收机", "The show has no device yet: add the receivers first"));
        return false;
    }
    if (const QString error = SaveShowFile(path, show.file); !error.isEmpty()) {
        Tell(LanguageText("无法保存演出: %1", "Could not save the show: %1").arg(error));
        return false;
    }
    show.path = path;
    show.modified = false;
    m_window.AddMessage(LanguageText("已保存演出: %1", "Show saved: %1").arg(path));
    ShowCaption();
    return true;
}

bool ShowCommands::MayDiscard()
{
    return !TheShow().modified
        || ShowMessageBox(&m_window,
               LanguageText("演出有未保存的更改, 放弃这些更改吗?", "The show has unsaved changes. Discard them?"),
               Tips(), ConfirmButtons, -1)
        == 1;
}

void ShowCommands::mnCoordInputsClick()
{
    TFrmCoordInputs inputs(&m_window, m_window.Devices());
    inputs.exec();
}

// The rule is the one the assignment window keeps in Config.ini.
void ShowCommands::mnAnalyzeClick()
{
    const Rule rule = LoadRule(PublicStruct::Instance().ConfigPath());
    TFrmCoordAnalysis analysis(&m_window, AnalyzeOnAir(rule, m_window.Devices(), TheShow().file));
    analysis.exec();
}

bool ShowCommands::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == &m_window && e->type() == QEvent::Close && !MayDiscard()) {
        e->ignore();
        return true;
    }
    return QObject::eventFilter(watched, e);
}
