// The installable application: which folder holds the settings, the command line and a start
// without a display, driven through the real program where a process shows it best.
#include "data/PublicStruct.h"
#include "data/SettingsFolder.h"
#include "ui/FormAbout.h"
#include "ui/StartOptions.h"
#include "ui/Startup.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace
{

// Makes a folder read-only for this process: permission bits stop a user, root needs a read-only
// bind mount, made in a private mount namespace. Empty on success, else why not.
QString MakeReadOnly(const QString& folder)
{
    if (geteuid() != 0)
        return QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner) ? QString() : QStringLiteral("chmod");
    const QByteArray path = QFile::encodeName(folder);
    if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
        || mount(path, path, nullptr, MS_BIND, nullptr) != 0
        || mount(nullptr, path, nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) != 0)
        return QStringLiteral("no read-only bind mount here: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}

void MakeWritable(const QString& folder)
{
    if (geteuid() == 0)
        umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
    else
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

bool Touch(const QString& path)
{
    return QFile(path).open(QIODevice::WriteOnly);
}

struct Outcome {
    int code = -1;
    QString out, err;
};

// The real program, its settings in home, no display unless one is named.
Outcome RunProgram(const QStringList& arguments, const QString& home, const QString& display = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_CONFIG_HOME" })
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("HOME"), home);
    if (!display.isEmpty())
        env.insert(QStringLiteral("DISPLAY"), display);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TESSARO_EXE), arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return { process.exitCode(), QString::fromLocal8Bit(process.readAllStandardOutput()),
        QString::fromLocal8Bit(process.readAllStandardError()) };
}

} // namespace

class InstallTests : public QObject
{
    Q_OBJECT

    const QByteArray m_home = qgetenv("HOME"), m_configHome = qgetenv("XDG_CONFIG_HOME");

private slots:
    void cleanup()
    {
        qputenv("HOME", m_home);
        qputenv("XDG_CONFIG_HOME", m_configHome);
    }

    void settingsFolderRule()
    {
        QTemporaryDir exe, home;
        const QString exeDir = exe.path() + '/';
        qputenv("HOME", QFile::encodeName(home.path()));
        qputenv("XDG_CONFIG_HOME", "relative/config"); // not absolute: ignored
        QCOMPARE(ChooseSettingsFolder(exeDir), home.path() + "/.config/tessaro/");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + "/xdg"));
        const QString xdg = home.path() + "/xdg/tessaro/";

        // A build folder holds nothing of the operator's: a rebuild must not take the settings.
        QCOMPARE(ChooseSettingsFolder(exeDir), xdg);
        QVERIFY(Touch(exeDir + PortableMarkerName));
        QCOMPARE(ChooseSettingsFolder(exeDir), exeDir);
        QVERIFY(QFile::remove(exeDir + PortableMarkerName));
        QVERIFY(Touch(exeDir + "Config.ini"));
        QCOMPARE(ChooseSettingsFolder(exeDir), exeDir);

        const QString why = MakeReadOnly(exe.path());
        if (!why.isEmpty())
            QSKIP(qPrintable(why));
        const QString chosen = ChooseSettingsFolder(exeDir);
        MakeWritable(exe.path());
        QCOMPARE(chosen, xdg);
    }

    // --config-dir, relative to the working directory, is made at start and shown in the about
    // window.
    void configDirIsMadeAndShown()
    {
        QTemporaryDir work;
        const QString previous = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));
        const StartOptions options = ParseStartOptions({ "tessaro", "--config-dir", "shows/second" });
        QVERIFY(QDir::setCurrent(previous));
        QCOMPARE(options.action, StartOptions::Action::Run);
        const QString folder = work.path() + "/shows/second/";
        QCOMPARE(options.configDir, folder);

        CreateProcessObjects(options.configDir);
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(PublicStruct::Instance().ConfigPath(), folder + "Config.ini");
        TFrmAbout about(nullptr);
        about.show();
        const auto* label = about.findChild<QLabel*>("lbSettingsFolder");
        QVERIFY(label && label->isVisible());
        QVERIFY2(label->text().remove(QChar(0x200B)).endsWith(folder), qPrintable(label->text()));
    }

    void commandLine()
    {
        QTemporaryDir home;
        Outcome run = RunProgram({ "--version" }, home.path());
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out, QStringLiteral("Tessaro " TESSARO_PROJECT_VERSION "\n"));

        run = RunProgram({ "--help" }, home.path());
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.startsWith("Usage: tessaro") && run.out.contains("--config-dir <dir>"), qPrintable(run.out));

        for (const QStringList& wrong : { QStringList { "--bogus" }, { "--config-dir" }, { "stray" } }) {
            run = RunProgram(wrong, home.path());
            QCOMPARE(run.code, UsageExitCode);
            QVERIFY(run.out.isEmpty());
            QVERIFY2(run.err.startsWith("tessaro: ") && run.err.contains("Usage: tessaro"), qPrintable(run.err));
        }
        // A toolkit option is named whole, with the way that works.
        run = RunProgram({ "-platform", "offscreen" }, home.path());
        QCOMPARE(run.code, UsageExitCode);
        QVERIFY2(
            run.err.startsWith("tessaro: unknown option -platform: ") && run.err.contains("QT_QPA_PLATFORM=offscreen"),
            qPrintable(run.err));
        QCOMPARE(ParseStartOptions({ "tessaro", "-vh" }).action, StartOptions::Action::Help);
        QCOMPARE(ParseStartOptions({ "tessaro", "--config-dir", "-show" }).configDir.endsWith("/-show/"), true);
        QVERIFY(QDir(home.path()).isEmpty()); // none of these makes a settings folder
    }

    void noDisplaySaysSoInOneLine()
    {
        QTemporaryDir home;
        for (const QString& display : { QString(), QStringLiteral(":87") }) {
            const Outcome run = RunProgram({}, home.path(), display);
            QCOMPARE(run.code, UsageExitCode);
            QVERIFY2(run.err.startsWith("tessaro: no display was found") && run.err.contains("xvfb-run tessaro")
                    && run.err.count('\n') == 1,
                qPrintable(run.err));
        }
        QVERIFY(QDir(home.path()).isEmpty());
    }
};

QTEST_MAIN(InstallTests)
#include "InstallTests.moc"
