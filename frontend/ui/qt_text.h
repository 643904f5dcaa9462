// Our texts (UTF-8, or UTF-16 where a record holds wide fields) as QStrings,
// and numbers read from edit boxes.
#pragma once

#include <QString>
#include <string>

inline QString Qs(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}
inline QString Qs(const std::u16string& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

// atoi without the user's locale: leading blanks, an optional sign, the
// longest number that follows, limited to the int range; 0 when none.
int AtoiC(const QString& text);
