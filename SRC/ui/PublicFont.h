#pragma once
#include <QFont>

// The fonts every window takes from [Public]. FontCharset has no counterpart in Qt: the font
// engine picks glyphs by script, so GB2312 text shows with a CJK font whatever the charset.

// FontName at FontSize points: the window font.
QFont PublicWindowFont();

// FontName with a size of its own in pixels, for controls that keep their size and weight.
QFont PublicFixedFont(int pixelSize, bool bold);
