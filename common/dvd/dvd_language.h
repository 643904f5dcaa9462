#pragma once
// ISO-639 language table used for the audio and subpicture languages of a DVD.

#include <cstdint>

struct DvdLanguage {
  const char* englishName;
  const char* nativeName;  // empty for most rows
  const char* code2;       // ISO 639-1, empty for the unknown row
  const char* code3;       // ISO 639-2
};

// Number of rows (row 0 is the unknown language "???").
int DvdLanguageCount();
const DvdLanguage& DvdLanguageRow(int index);

// Row for an IFO language code (first letter in the high byte); row 0 when unknown.
const DvdLanguage& LangForCode(uint16_t code);

// The name the reader stores: native name when the row has one, else the English name.
const char* DvdLanguageName(const DvdLanguage& row);
