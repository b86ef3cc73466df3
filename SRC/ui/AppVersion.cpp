#include "AppVersion.h"

QString FileVersionText()
{
    return QStringLiteral("%1.%2.%3.%4")
        .arg(TESSARO_VERSION_MAJOR)
        .arg(TESSARO_VERSION_MINOR)
        .arg(TESSARO_VERSION_PATCH)
        .arg(TESSARO_VERSION_TWEAK);
}

QString CaptionVersionText(int major, int minor, int release, int build)
{
    const long long n = major * 1000000LL + minor * 10000LL + release * 100LL + build;
    return QString::asprintf("V%lld.%lld.%lld.%lld", n / 1000000, (n % 1000000) / 10000, (n % 10000) / 100, n % 100);
}

QString CaptionVersionText()
{
    return CaptionVersionText(TESSARO_VERSION_MAJOR, TESSARO_VERSION_MINOR, TESSARO_VERSION_PATCH, TESSARO_VERSION_TWEAK);
}
