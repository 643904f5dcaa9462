// The colour picker's pop-up: a borderless grid of 40 named colours, 8 a row,
// with a default box above ("Automatic") and a custom box below ("More
// Colors...", which opens the system colour dialog). It reports to the
// picker that opened it (messages below, lParam 0) and deletes itself when it
// ends.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "frontend/ui/messages.h"

// The picker's private messages. To its parent (lParam: the picker's control
// id) and, for changed / end OK / end cancel, from the pop-up to the picker.
constexpr uint32_t WM_COLOUR_CHANGED = 2025;    // wParam: the colour of the selection
constexpr uint32_t WM_COLOUR_DROPDOWN = 2026;   // wParam: the colour when the pop-up opened
constexpr uint32_t WM_COLOUR_CLOSEUP = 2027;    // wParam: the colour the pop-up returned
constexpr uint32_t WM_COLOUR_ENDOK = 2028;      // wParam: the chosen colour
constexpr uint32_t WM_COLOUR_ENDCANCEL = 2029;  // wParam: the colour the pop-up started from

// COLORREF values (0x00BBGGRR); this one stands for "the default colour".
constexpr uint32_t kDefaultColour = 0xFF000000u;

struct NamedColour {
  uint32_t colour;
  const char* name;
};
// The pop-up's colours in grid order (left to right, top to bottom).
const std::vector<NamedColour>& NamedColours();
// The first named colour of that value, or -1.
int FindNamedColour(uint32_t colour);

// Cell indexes besides the colours 0..count-1.
constexpr int kNoCell = -1;
constexpr int kCustomBox = -2;
constexpr int kDefaultBox = -3;

enum class GridKey { Left, Up, Right, Down };
// Where an arrow key moves the selection; boxes without text are skipped.
int ColourGridNavigate(int from, GridKey key, int count, int columns, bool hasDefault, bool hasCustom);

// The pop-up's window moved onto the work area: back inside on the right and
// the left; above the picker when its bottom passes the work area's.
QRect PlaceColourPopup(QRect window, const QRect& workArea, int pickerHeight);

// The system colour dialog: opens at start with 16 custom colours it may
// change; true with *chosen set when the user pressed OK.
using CustomColours = std::array<uint32_t, 16>;
using ColourDialogHook = std::function<bool(QWidget* owner, uint32_t start, CustomColours& custom, uint32_t* chosen)>;
// Replaces the dialog (an empty hook restores the system's); the previous one.
ColourDialogHook SetColourDialogHook(ColourDialogHook hook);

// Custom colours of a registry section: "Software\velmo\<section>" of the
// user's registry file, values "CUSTOM_COLOR_0" to "CUSTOM_COLOR_15"; a
// missing value is white.
CustomColours ReadCustomColours(const std::string& section);
bool WriteCustomColours(const std::string& section, const CustomColours& colours);

class CColourGridPopup : public QWidget {
 public:
  // Opens at a screen point (the picker's bottom-left corner), placed on the
  // owner's screen; reports to the window notify.
  CColourGridPopup(const QPoint& at, uint32_t colour, QWidget* owner, WindowId notify, const QString& defaultText,
                   const QString& customText, const std::string& regSection);
  ~CColourGridPopup() override;

  int Count() const { return static_cast<int>(NamedColours().size()); }
  int SelectedIndex() const { return selected_; }
  int StartIndex() const { return start_; }
  uint32_t StartColour() const { return startColour_; }
  uint32_t ChosenColour() const { return chosen_; }
  bool Ended() const { return ended_; }

  // A cell's rectangle in the pop-up (a colour index or one of the boxes);
  // empty for a box without text.
  QRect CellRect(int index) const;
  // The cell under a point of the pop-up, or kNoCell.
  int HitTest(const QPoint& point) const;
  // Selects a cell as the mouse or the keys do, telling the picker.
  void SelectCell(int index);
  // Ends with WM_COLOUR_ENDOK or WM_COLOUR_ENDCANCEL; OK on the custom box
  // runs the colour dialog first. The pop-up goes away afterwards.
  void EndSelection(uint32_t message);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void Layout(const QPoint& at);
  void DrawCell(QPainter& painter, int index) const;
  void Tell(uint32_t message, uint32_t colour) const;

  QWidget* owner_;
  WindowId notify_;
  QString defaultText_, customText_;
  std::string regSection_;
  QFont font_;
  int margin_;
  int box_;
  int rows_;
  QRect defaultBox_, customBox_, gridRect_;
  int selected_ = kNoCell;
  int start_ = kNoCell;
  uint32_t startColour_;
  uint32_t chosen_;
  bool flatMenus_;
  bool inDialog_ = false;
  bool ended_ = false;
};
