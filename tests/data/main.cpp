#include "DataTestSupport.h"

#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int failed = 0;
    failed += RunRecordsTest(argc, argv);
    failed += RunConfigFileTest(argc, argv);
    return failed;
}
