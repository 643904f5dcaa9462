#include "frontend/dialogs/dlg_about.h"

#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <cstring>

#include "frontend/controls/gradient_label.h"
#include "frontend/controls/link_button.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/resources.h"

namespace {

const DialogTemplate kTemplate{
    IDD_ABOUTBOX,
    "",
    283,
    141,
    {
        {CtrlKind::Text, IDC_ABOUT_TEXT, "", 73, 55, 161, 8},
        {CtrlKind::Text, IDC_ABOUT_SUPPORT_LABEL, "Support:", 73, 80, 28, 8},
        {CtrlKind::PushButton, IDC_ABOUT_WEB, "", 69, 65, 89, 13},
        {CtrlKind::PushButton, IDC_ABOUT_MAIL, "", 102, 78, 75, 12},
        {CtrlKind::Text, IDC_ABOUT_HIDDEN, "", 234, 55, 37, 8, kCtrlHidden},
    },
    "Tahoma",
    9,
};

// The line under the title, in a dark blue.
constexpr uint32_t kAboutTextColour = 0x603010;

// A web address as the link shows it: without "http://" or "https://" and a
// final '/'.
QString ShownAddress(const std::string& address) {
  QString shown = QString::fromStdString(address);
  for (const char* scheme : {"https://", "http://"}) {
    if (shown.startsWith(QLatin1String(scheme), Qt::CaseInsensitive)) {
      shown.remove(0, static_cast<qsizetype>(std::strlen(scheme)));
      break;
    }
  }
  if (shown.endsWith(u'/')) shown.chop(1);
  return shown;
}

}  // namespace

CDlgAbout::CDlgAbout(QWidget* parent) : CSkinDialog(kTemplate, parent) {
  for (int id : {IDC_ABOUT_WEB, IDC_ABOUT_MAIL}) SubclassItem(id, new CLinkButton);
  for (int id : {IDC_ABOUT_TEXT, IDC_ABOUT_SUPPORT_LABEL, IDC_ABOUT_HIDDEN}) {
    const QString text = ItemText(id);
    SubclassItem(id, new CGradientLabel(text));
  }
}

CLinkButton* CDlgAbout::WebLink() const { return static_cast<CLinkButton*>(Item(IDC_ABOUT_WEB)); }
CLinkButton* CDlgAbout::MailLink() const { return static_cast<CLinkButton*>(Item(IDC_ABOUT_MAIL)); }
CGradientLabel* CDlgAbout::Label(int id) const { return dynamic_cast<CGradientLabel*>(Item(id)); }

bool CDlgAbout::OnInitDialog() {
  LoadSkin(ResourceFolder() + "/" + kAboutSkinFile, kAboutSkinKey);

  struct Link {
    CLinkButton* button;
    const std::string& text;
  };
  for (const Link& link : {Link{MailLink(), supportAddress}, Link{WebLink(), webAddress}}) {
    link.button->setText(QString::fromStdString(link.text));
    link.button->setToolTip(QString::fromStdString(link.text));
    link.button->SetFlat(true);
    link.button->SetUnderline(CLinkButton::kUnderlineAlways);
    link.button->SetTextColors(kAboutLinkColour, kAboutLinkColour);
    link.button->SetFontSpec("Tahoma", 10, 700, 0);
  }
  WebLink()->SetTextOverride(ShownAddress(webAddress));
  Label(IDC_ABOUT_TEXT)->SetText(QString::fromStdString(description));
  Label(IDC_ABOUT_TEXT)->SetTextColor(kAboutTextColour);
  for (int id : {IDC_ABOUT_TEXT, IDC_ABOUT_SUPPORT_LABEL}) Label(id)->SetTransparent(true);
  ShowItem(IDC_ABOUT_HIDDEN, false);

  QIcon icon;
  for (int id : {IDI_ABOUT_BIG, IDI_ABOUT_SMALL}) {
    const QImage image = LoadIconResource(id);
    if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
  }
  if (!icon.isNull()) setWindowIcon(icon);
  setWindowTitle(QString::fromStdString(AppName()));
  return true;
}

bool CDlgAbout::OnCommand(int id, int code) {
  switch (id) {
    case IDC_ABOUT_WEB:
      OpenLinkWithShell(this, webAddress);
      return true;
    case IDC_ABOUT_MAIL:
      OpenLinkWithShell(this, "mailto:" + supportAddress);
      return true;
    case IDC_ABOUT_IGNORED:
      return true;
    default:
      return CSkinDialog::OnCommand(id, code);
  }
}

void CDlgAbout::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) {
    event->accept();
    return;
  }
  CSkinDialog::keyPressEvent(event);
}

void CDlgAbout::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    EndDialog(IDCANCEL);
    event->accept();
    return;
  }
  CSkinDialog::mouseDoubleClickEvent(event);
}
