// The About box: a skinned, shaped dialog showing the product's name, a line
// about it and two links, the maker's web address and the support mail
// address. Enter and Esc do nothing here; a double click on its face or the
// window's close request closes it, and any point of its face drags it.
#pragma once

#include <string>

#include "frontend/controls/skin_dialog.h"

constexpr int IDD_ABOUTBOX = 100;
constexpr int IDC_ABOUT_TEXT = 1228;
constexpr int IDC_ABOUT_SUPPORT_LABEL = 1232;
constexpr int IDC_ABOUT_WEB = 1098;
constexpr int IDC_ABOUT_MAIL = 1099;
constexpr int IDC_ABOUT_HIDDEN = 1230;
constexpr int IDC_ABOUT_IGNORED = 1018;
// Icons of the window: big and small.
constexpr int IDI_ABOUT_BIG = 175;
constexpr int IDI_ABOUT_SMALL = 178;
// The skin, in the resource folder, and its key colour (magenta).
inline constexpr const char* kAboutSkinFile = "brelsk.bmp";
constexpr uint32_t kAboutSkinKey = 0xFF00FF;
// The colour and font of the links.
constexpr uint32_t kAboutLinkColour = 0x3300CC;

class CLinkButton;
class CGradientLabel;

class CDlgAbout : public CSkinDialog {
 public:
  explicit CDlgAbout(QWidget* parent = nullptr);

  // In: filled by the caller before DoModal.
  std::string webAddress;
  std::string supportAddress;
  std::string description;  // the line under the title

  CLinkButton* WebLink() const;
  CLinkButton* MailLink() const;
  CGradientLabel* Label(int id) const;

  bool OnCommand(int id, int code) override;

 protected:
  bool OnInitDialog() override;
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};
