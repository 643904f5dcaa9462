// Small conveniences over CParamList for the model.
#pragma once

#include <string>
#include <string_view>

#include "common/param_list.h"

// The list's text form.
std::string ParamListText(CParamList& list);

// A list holding the entries of a parameter text.
void ParseParamText(CParamList& list, std::string_view text);

// A number entry read whichever numeric type it holds (integer or double);
// the default when absent or not a number.
double GetNumber(CParamList& list, const char* key, double def);

// Text of a text entry; empty when absent or not text.
std::string GetText(CParamList& list, const char* key);
