// The translation table parser: any text gives a table within its bounds whose lookups stay
// inside it, and every source text translates to the text in its first row (itself when empty).
#include "FuzzCheck.h"
#include "lang/Language.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const cLanguage table(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    FUZZ_CHECK(table.Count() >= 0 && table.Count() <= cLanguage::MaxLanguages);
    FUZZ_CHECK(table.RowCount() >= 0);
    for (int column = -1; column <= table.Count(); ++column) {
        table.LanguageName(column);
        table.Text(column, -1);
        table.Text(column, table.RowCount());
    }
    for (int row = 0; row < table.RowCount() && row < 64; ++row) {
        const QString source = table.Text(0, row);
        int first = 0; // a source text repeated further down translates as its first row says
        while (table.Text(0, first) != source)
            ++first;
        for (int language = 0; language < table.Count(); ++language) {
            const QString text = table.Text(language, first);
            FUZZ_CHECK(table.Translate(source, language) == (text.isEmpty() ? source : text));
        }
    }
    return 0;
}
