// Dialog templates: a dialog described as a table, the way resource scripts
// describe it. Coordinates are dialog units of the template's font.
#pragma once

#include <cstdint>
#include <vector>

#include "frontend/ui/win_defs.h"

enum class CtrlKind {
  Text,         // static text, left-aligned
  TextRight,    // static text, right-aligned
  TextCenter,   // static text, centred
  Frame,        // etched frame without text
  Placeholder,  // empty static that a custom control replaces (UiDialog::SubclassItem)
  GroupBox,
  PushButton,
  DefPushButton,  // the push button Enter presses
  CheckBox,       // two-state
  CheckBox3,      // three-state
  Radio,          // a radio group starts at a control with kCtrlGroup
  Edit,
  EditMulti,
  ComboDropList,  // pick only
  ComboDropDown,  // pick or type
  ListBox,
};

// Style bits of a control row.
enum CtrlStyle : uint32_t {
  kCtrlDisabled = 1u << 0,
  kCtrlHidden = 1u << 1,
  kCtrlReadOnly = 1u << 2,    // edits
  kCtrlNumber = 1u << 3,      // edits: digits only
  kCtrlPassword = 1u << 4,    // edits
  kCtrlWantReturn = 1u << 5,  // multi-line edits keep Enter
  kCtrlGroup = 1u << 6,       // starts a radio group
  kCtrlSort = 1u << 7,        // combo and list boxes keep their items sorted
};

struct ControlTemplate {
  CtrlKind kind;
  int id;
  const char* text;  // caption; "" for none
  int x, y, cx, cy;  // dialog units
  uint32_t style = 0;
};

struct DialogTemplate {
  int id;               // the template's own number
  const char* caption;  // window title ("" = none)
  int cx, cy;           // client size in dialog units
  std::vector<ControlTemplate> controls;
  const char* fontFace = "Tahoma";
  int fontPoints = 8;
};
