// Start-up: the process-wide settings, translation table and serial port, then the main window
// and the message loop.
#include "data/PublicStruct.h"
#include "lang/Language.h"
#include "transport/ClassCom.h"
#include "transport/UDPServer.h"
#include "ui/FormMain.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <exception>
#include <memory>

namespace
{

const QString ApplicationTitle = QStringLiteral("Tessaro");

// In the box and, for a start from a terminal, on standard error.
void ShowError(const QString& message)
{
    const QString text = message.isEmpty() ? QStringLiteral("Unknown error") : message;
    std::fprintf(stderr, "tessaro: %s\n", qPrintable(text));
    QMessageBox::critical(nullptr, ApplicationTitle, text);
}

// A handler that throws while the loop runs shows its error, and the loop goes on.
class TessaroApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* e) override
    {
        try {
            return QApplication::notify(receiver, e);
        } catch (const UDPServerException& error) {
            ShowError(error.Message());
        } catch (const std::exception& error) {
            ShowError(QString::fromLocal8Bit(error.what()));
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    PublicStruct::Install(std::make_unique<PublicStruct>(PublicStruct::ExecutableDirectory()));
    cLanguage::Install(std::make_unique<cLanguage>());
    cnComm::Instance();

    TessaroApplication app(argc, argv);
    QApplication::setApplicationName(ApplicationTitle);
    // A start that fails ends the process with a non-zero code after saying why.
    try {
        TFrmMain window;
        window.show();
        return QApplication::exec();
    } catch (const UDPServerException& error) {
        ShowError(error.Message());
    } catch (const std::exception& error) {
        ShowError(QString::fromLocal8Bit(error.what()));
    } catch (...) {
        ShowError(QString());
    }
    return 1;
}
