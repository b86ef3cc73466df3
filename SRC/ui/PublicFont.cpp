#include "PublicFont.h"

#include "data/PublicStruct.h"

QFont PublicWindowFont()
{
    const PublicStruct& settings = PublicStruct::Instance();
    QFont font(settings.FontName);
    if (settings.FontSize > 0)
        font.setPointSize(settings.FontSize);
    return font;
}

QFont PublicFixedFont(int pixelSize, bool bold)
{
    QFont font(PublicStruct::Instance().FontName);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}
