#include "WidgetTests.h"

#include "data/PublicStruct.h"
#include "lang/Language.h"

#include <QApplication>
#include <QTemporaryDir>
#include <memory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QTemporaryDir exeDir;
    if (!exeDir.isValid())
        return 1;
    PublicStruct::Install(std::make_unique<PublicStruct>(exeDir.path() + QLatin1Char('/')));
    cLanguage::Install(std::make_unique<cLanguage>());

    int failures = 0;
    failures += RunPictureTests(argc, argv);
    failures += RunMessageBoxTests(argc, argv);
    failures += RunTileTests(argc, argv);
    failures += RunAboutTests(argc, argv);
    return failures == 0 ? 0 : 1;
}
