#pragma once

#include <QString>

// RFC 4180: a field with a comma, quote or line break is quoted, its quotes doubled.
QString CsvField(const QString& text);
