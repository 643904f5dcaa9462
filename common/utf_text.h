// The text conversions live in platform/utf_text.h; this name stays for older includes.
#pragma once

#include "platform/utf_text.h"
