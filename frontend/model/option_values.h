// The value rules of the options of codec, muxer and filter descriptions:
// what may be typed into an option's box, the plain validator and its
// messages, fitting a value to its option, and rebuilding a parameter list
// against a description's LIMIT combinations when one value changes.
//
// Numbers are read with std::from_chars and written locale-free.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/param_list.h"
#include "frontend/model/profile_db.h"

// The option type of a box that has no option yet: nothing is validated.
constexpr int32_t kOptionTypeNone = 255;

// "FRAMERATE", "BITRATE", "WIDTH", "HEIGHT", "SAMPLERATE", "VOL" and
// "CHANNEL", without case: the keys the settings pages show directly.
bool IsLinkedOptionKey(std::string_view key);

// Keystroke filter of an option's edit box: integers keep digits, '-' and
// backspace (0x08); doubles also '.'; texts (and any other type) keep
// everything.
bool OptionCharPasses(int32_t type, char32_t ch);

// A validator: value is the text typed or picked (it may change it), takeBack
// asks the box to show the value again, message is the refusal's text. True
// accepts, false refuses.
using OptionValidator =
    std::function<bool(std::string& value, const OptionDesc& option, bool& takeBack, std::string& message)>;

// The plain validator:
// - integers: digits with an optional leading '-' ("The input value should be
//   a valid integer number!"); WIDTH or HEIGHT 0 is always accepted; else
//   MIN..MAX ("The input value should between %d and %d!");
// - doubles: digits, an optional leading '-' and at most one '.' ("The input
//   value should be a valid float number!"); then MIN..MAX ("The input value
//   should between %f and %f!");
// - texts: at most MAX characters ("The input string should not be longer
//   than %d!").
// A number needs at least one digit; one too long for any range gets the range
// message. takeBack stays false.
bool ValidateOptionValue(std::string& value, const OptionDesc& option, bool& takeBack, std::string& message);

// Lenient number reading of descriptor texts (VALUELIST entries, DEFAULT):
// blanks, a sign and the leading digits (and fraction); 0 when there are none.
// Integers are clamped to the int32 range.
int32_t LeadingInt(std::string_view text);
double LeadingDouble(std::string_view text);

// "%f" of a double, locale-free ("25.000000").
std::string FormatFixed6(double value);

// One typed value of a parameter list.
struct ParamValue {
  int32_t type = PARAM_TYPE_NONE;  // PARAM_TYPE_INT, _DOUBLE or _STRING; NONE when absent
  int32_t intValue = 0;
  double doubleValue = 0.0;
  std::string text;
};
// The entry of the key (integers, doubles and texts; other types read as absent).
ParamValue ReadParamValue(CParamList& list, const char* key);
void WriteParamValue(CParamList& list, const char* key, const ParamValue& value);

// Stores an accepted value text under the option's NAME by its TYPE.
void StoreOptionValue(CParamList& list, const OptionDesc& option, const std::string& value);
// The key's value as an option box shows it: "%d", "%f", a text cut to 63
// bytes; "" when absent.
std::string FormatOptionValue(CParamList& list, const std::string& key);

// Fits the option's value from source into result (see the rules in the
// source); a value that cannot be kept becomes the option's DEFAULT.
void FitOptionValue(const OptionDesc& option, CParamList& source, CParamList& result);

// The value that changed, when a list is rebuilt after an edit.
struct ChangedOption {
  std::string key;
  ParamValue value;
};

// The LIMIT entry nearest to the current values (index into limits); -1 when
// there is none. An entry that holds the changed key with another value is
// never nearer than one that agrees with it or lacks the key.
int ChooseLimitEntry(const ChangedOption* changed, const std::vector<std::string>& limits, CParamList& current);

// Rebuilds result (cleared first) from the current parameter text: every
// option in order gets the chosen LIMIT entry's value when the entry holds
// its key, else its value fitted from the current text.
void RecomputeOptions(const ChangedOption* changed, const std::vector<OptionDesc>& options,
                      const std::vector<std::string>& limits, const std::string& currentText, CParamList& result);
