// A push button that shows a colour and, when clicked (or on Down or F4),
// opens the colour grid pop-up. It tells its parent dialog every step with
// the messages of colour_grid_popup.h (lParam: the picker's control id):
// WM_COLOUR_DROPDOWN when the pop-up opens, WM_COLOUR_CHANGED as the
// selection moves, then WM_COLOUR_CLOSEUP followed by WM_COLOUR_ENDOK (and
// WM_COLOUR_CHANGED when the colour changed) or WM_COLOUR_ENDCANCEL.
//
// Two looks: a push button with a swatch and a small arrow, or a combo box
// with a swatch, the colour's name or components, and a drop arrow.
#pragma once

#include <QPointer>
#include <QPushButton>
#include <QString>
#include <string>

#include "frontend/controls/colour_grid_popup.h"
#include "frontend/ui/messages.h"
#include "frontend/ui/theme_lib.h"

class CColourPickerXP : public QPushButton, public MessageTarget {
 public:
  explicit CColourPickerXP(QWidget* parent = nullptr);
  ~CColourPickerXP() override;

  // The colour; with translateDefault, kDefaultColour reads as the default colour.
  uint32_t GetColor(bool translateDefault) const;
  uint32_t GetColor() const { return colour_; }
  void SetColor(uint32_t colour);
  uint32_t GetDefaultColor() const { return defaultColour_; }
  void SetDefaultColor(uint32_t colour);
  // The texts of the pop-up's boxes; an empty text leaves its box out.
  void SetCustomText(const QString& text);
  void SetDefaultText(const QString& text);
  // The registry section that keeps the colour dialog's custom colours; none
  // (the default) keeps nothing.
  void SetRegSection(const std::string& section);
  // Whether the picker takes each colour the pop-up's selection passes over.
  void SetTrackSelection(bool track) { track_ = track; }
  bool GetTrackSelection() const { return track_; }
  // The combo look (on) or the push-button look (off, the default).
  void SetStyle(bool comboLook);
  bool GetStyle() const { return comboLook_; }
  // The three letters before the components ("RGB"), padded with blanks.
  void SetRGBText(const QString& letters);
  // Whether a named colour shows its components after its name.
  void SetShowColourName(bool show);
  bool GetShowColourName() const { return showName_; }

  // What the combo look writes beside the swatch.
  QString ColourText() const;
  bool PopupOpen() const { return popupOpen_; }
  // The open pop-up, or null (also once it has ended).
  CColourGridPopup* Popup() const { return popup_ != nullptr && !popup_->Ended() ? popup_.data() : nullptr; }
  // Opens the pop-up below the picker as a click does.
  void OpenPopup();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;
  intptr_t OnMessage(const UiMessage& message) override;

 private:
  void TellParent(uint32_t message, uint32_t colour);
  bool ShowsDefault() const { return colour_ == kDefaultColour; }

  uint32_t colour_ = kDefaultColour;
  uint32_t defaultColour_;
  QString defaultText_ = QStringLiteral("Automatic");
  QString customText_ = QStringLiteral("More Colors...");
  bool popupOpen_ = false;
  bool track_ = false;
  bool hot_ = false;
  bool comboLook_ = false;
  bool showName_ = false;
  QString letters_ = QStringLiteral("RGB");
  std::string regSection_;
  uint32_t colourAtOpen_ = kDefaultColour;
  QPointer<CColourGridPopup> popup_;
  CThemeHandle buttonTheme_, editTheme_, comboTheme_;
  bool themesOpened_ = false;
};
