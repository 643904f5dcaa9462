// Short readable texts for the result codes the programs report.
#pragma once

#include <string>

#include "platform/win_types.h"

// What a result code means, in a few words ("no reader knows the file"); for a code
// without a text of its own, the family it belongs to ("a system error 0x8007....").
// S_OK is "success".
std::string ResultText(HRESULT result);

// "80040081": eight hexadecimal digits, as the programs print codes.
std::string Hex8(uint32_t code);

// "80040081 (not a file or a known protocol)": the code as the programs print it, with its text.
std::string ResultWithText(HRESULT result);
