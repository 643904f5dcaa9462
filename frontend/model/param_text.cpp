#include "frontend/model/param_text.h"

#include <memory>

std::string ParamListText(CParamList& list) {
  char* text = list.ToText();
  std::string out = text != nullptr ? text : "";
  list.FreeText(text);
  return out;
}

void ParseParamText(CParamList& list, std::string_view text) { list.ParseText(std::string(text).c_str()); }

double GetNumber(CParamList& list, const char* key, double def) {
  switch (list.GetType(key)) {
    case PARAM_TYPE_INT:
      return list.GetInt(key, 0);
    case PARAM_TYPE_DOUBLE:
      return list.GetDouble(key, def);
    default:
      return def;
  }
}

std::string GetText(CParamList& list, const char* key) {
  return list.GetType(key) == PARAM_TYPE_STRING ? std::string(list.GetStringPtr(key)) : std::string();
}
