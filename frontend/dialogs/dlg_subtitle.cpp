#include "frontend/dialogs/dlg_subtitle.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "frontend/controls/colour_picker.h"
#include "frontend/controls/hint_edit.h"
#include "frontend/dialogs/file_dialogs.h"
#include "frontend/dialogs/font_dialog.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/qt_text.h"

const int kSubtitleAlignIds[9] = {1201, 1202, 1203, 1198, 1199, 1200, 1195, 1196, 1197};

namespace {

const DialogTemplate kTemplate = {
    IDD_SUBTITLE,
    "Subtitle setting",
    340,
    284,
    {
        {CtrlKind::Text, IDC_STATIC, "Select subtitle file:", 7, 7, 120, 8},
        {CtrlKind::Placeholder, IDC_SUB_FILE, "", 7, 18, 294, 14},
        {CtrlKind::PushButton, IDC_SUB_BROWSE, "...", 305, 18, 28, 14},
        {CtrlKind::Text, IDC_STATIC, "Subtitle font:", 7, 42, 50, 8},
        {CtrlKind::PushButton, IDC_SUB_FONT, "", 60, 40, 110, 14},
        {CtrlKind::Text, IDC_STATIC, "Charset:", 180, 42, 36, 8},
        {CtrlKind::ComboDropList, IDC_SUB_CHARSET, "", 218, 40, 115, 120},
        {CtrlKind::GroupBox, IDC_STATIC, "Alignment:", 7, 60, 100, 64},
        {CtrlKind::Radio, 1201, "BL", 13, 104, 28, 10, kCtrlGroup},
        {CtrlKind::Radio, 1202, "BC", 43, 104, 28, 10},
        {CtrlKind::Radio, 1203, "BR", 73, 104, 28, 10},
        {CtrlKind::Radio, 1198, "ML", 13, 88, 28, 10},
        {CtrlKind::Radio, 1199, "MC", 43, 88, 28, 10},
        {CtrlKind::Radio, 1200, "MR", 73, 88, 28, 10},
        {CtrlKind::Radio, 1195, "TL", 13, 72, 28, 10},
        {CtrlKind::Radio, 1196, "TC", 43, 72, 28, 10},
        {CtrlKind::Radio, 1197, "TR", 73, 72, 28, 10},
        {CtrlKind::GroupBox, IDC_STATIC, "Margins:", 113, 60, 220, 64},
        {CtrlKind::Text, IDC_STATIC, "Left:", 121, 74, 28, 8},
        {CtrlKind::Edit, IDC_SUB_LEFT, "", 152, 72, 36, 12},
        {CtrlKind::Placeholder, IDC_SUB_SPIN_LEFT, "", 188, 72, 10, 12},
        {CtrlKind::Text, IDC_STATIC, "Right:", 223, 74, 28, 8},
        {CtrlKind::Edit, IDC_SUB_RIGHT, "", 254, 72, 36, 12},
        {CtrlKind::Placeholder, IDC_SUB_SPIN_RIGHT, "", 290, 72, 10, 12},
        {CtrlKind::Text, IDC_STATIC, "Top:", 121, 98, 28, 8},
        {CtrlKind::Edit, IDC_SUB_TOP, "", 152, 96, 36, 12},
        {CtrlKind::Placeholder, IDC_SUB_SPIN_TOP, "", 188, 96, 10, 12},
        {CtrlKind::Text, IDC_STATIC, "Bottom:", 223, 98, 28, 8},
        {CtrlKind::Edit, IDC_SUB_BOTTOM, "", 254, 96, 36, 12},
        {CtrlKind::Placeholder, IDC_SUB_SPIN_BOTTOM, "", 290, 96, 10, 12},
        {CtrlKind::GroupBox, IDC_STATIC, "Colors:", 7, 130, 326, 62},
        {CtrlKind::Text, IDC_STATIC, "Text color:", 13, 143, 52, 8},
        {CtrlKind::Placeholder, IDC_SUB_TEXT_COLOUR, "", 68, 141, 70, 14},
        {CtrlKind::Text, IDC_STATIC, "Alpha:", 150, 143, 28, 8},
        {CtrlKind::Placeholder, IDC_SUB_TEXT_ALPHA, "", 180, 141, 140, 14},
        {CtrlKind::Text, IDC_STATIC, "Border color:", 13, 159, 52, 8},
        {CtrlKind::Placeholder, IDC_SUB_BORDER_COLOUR, "", 68, 157, 70, 14},
        {CtrlKind::Text, IDC_STATIC, "Alpha:", 150, 159, 28, 8},
        {CtrlKind::Placeholder, IDC_SUB_BORDER_ALPHA, "", 180, 157, 140, 14},
        {CtrlKind::Text, IDC_STATIC, "Shadow color:", 13, 175, 52, 8},
        {CtrlKind::Placeholder, IDC_SUB_SHADOW_COLOUR, "", 68, 173, 70, 14},
        {CtrlKind::Text, IDC_STATIC, "Alpha:", 150, 175, 28, 8},
        {CtrlKind::Placeholder, IDC_SUB_SHADOW_ALPHA, "", 180, 173, 140, 14},
        {CtrlKind::Text, IDC_STATIC, "Border width:", 7, 200, 52, 8},
        {CtrlKind::Edit, IDC_SUB_BORDER_WIDTH, "", 60, 198, 36, 12},
        {CtrlKind::Placeholder, IDC_SUB_SPIN_BORDER, "", 96, 198, 10, 12},
        {CtrlKind::Text, IDC_STATIC, "Shadow depth:", 7, 214, 52, 8},
        {CtrlKind::Edit, IDC_SUB_SHADOW_DEPTH, "", 60, 212, 36, 12},
        {CtrlKind::Placeholder, IDC_SUB_SPIN_SHADOW, "", 96, 212, 10, 12},
        {CtrlKind::Text, IDC_STATIC, "Text spacing:", 7, 228, 52, 8},
        {CtrlKind::Edit, IDC_SUB_SPACING, "", 60, 226, 36, 12},
        {CtrlKind::Placeholder, IDC_SUB_SPIN_SPACING, "", 96, 226, 10, 12},
        {CtrlKind::Text, IDC_STATIC, "Text angle:", 115, 200, 42, 8},
        {CtrlKind::Edit, IDC_SUB_ANGLE, "", 160, 198, 36, 12},
        {CtrlKind::Placeholder, IDC_SUB_SPIN_ANGLE, "", 196, 198, 10, 12},
        {CtrlKind::Text, IDC_STATIC, "X scale:", 115, 214, 42, 8},
        {CtrlKind::Edit, IDC_SUB_SCALE_X, "", 160, 212, 36, 12},
        {CtrlKind::Placeholder, IDC_SUB_SPIN_SCALE_X, "", 196, 212, 10, 12},
        {CtrlKind::Text, IDC_STATIC, "%", 208, 214, 8, 8},
        {CtrlKind::Text, IDC_STATIC, "Y scale:", 115, 228, 42, 8},
        {CtrlKind::Edit, IDC_SUB_SCALE_Y, "", 160, 226, 36, 12},
        {CtrlKind::Placeholder, IDC_SUB_SPIN_SCALE_Y, "", 196, 226, 10, 12},
        {CtrlKind::Text, IDC_STATIC, "%", 208, 228, 8, 8},
        {CtrlKind::Text, IDC_STATIC, "Time delay:", 222, 200, 44, 8},
        {CtrlKind::Edit, IDC_SUB_DELAY, "", 268, 198, 40, 12},
        {CtrlKind::Placeholder, IDC_SUB_SPIN_DELAY, "", 308, 198, 10, 12},
        {CtrlKind::Text, IDC_STATIC, "ms", 321, 200, 12, 8},
        {CtrlKind::Text, IDC_STATIC, "Time factor:", 222, 214, 44, 8},
        {CtrlKind::Edit, IDC_SUB_FACTOR, "", 268, 212, 40, 12},
        {CtrlKind::Text, IDC_STATIC,
         "Note: above settings have no effect on vob subtitles and ssf subtitles for these files have settings "
         "internal.",
         7, 244, 326, 16},
        {CtrlKind::DefPushButton, IDOK, "OK", 229, 264, 50, 14},
        {CtrlKind::PushButton, IDCANCEL, "Cancel", 283, 264, 50, 14},
    },
};

// An up-down button pair that steps the integer of its buddy edit within a range.
class UpDown : public QWidget {
 public:
  explicit UpDown(QLineEdit* buddy) : buddy_(buddy) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int step : {1, -1}) {
      auto* button = new QToolButton(this);
      button->setArrowType(step > 0 ? Qt::UpArrow : Qt::DownArrow);
      button->setAutoRepeat(true);
      button->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
      connect(button, &QToolButton::clicked, this, [this, step] { Step(step); });
      layout->addWidget(button);
    }
  }
  void SetRange(int low, int high) {
    low_ = low;
    high_ = high;
  }
  int Low() const { return low_; }
  int High() const { return high_; }
  void Step(int by) {
    if (buddy_ == nullptr) return;
    bool ok = false;
    const int now = buddy_->text().trimmed().toInt(&ok);
    buddy_->setText(QString::number(std::clamp((ok ? now : 0) + by, low_, high_)));
  }

 private:
  QLineEdit* buddy_;
  int low_ = 0, high_ = 100;
};

// atof without the user's locale: leading blanks, an optional sign, the
// longest number that follows; 0 when none.
double AtofC(const QString& text) {
  const std::string s = text.trimmed().toStdString();
  const char* begin = s.c_str();
  if (*begin == '+') ++begin;
  double value = 0;
  const auto [end, error] = std::from_chars(begin, s.c_str() + s.size(), value, std::chars_format::general);
  (void)end;
  return error == std::errc() && std::isfinite(value) ? value : 0.0;
}

struct SpinRow {
  int edit, spin, low, high;
};
const SpinRow kSpins[] = {
    {IDC_SUB_LEFT, IDC_SUB_SPIN_LEFT, 0, 1000},
    {IDC_SUB_RIGHT, IDC_SUB_SPIN_RIGHT, 0, 1000},
    {IDC_SUB_TOP, IDC_SUB_SPIN_TOP, 0, 1000},
    {IDC_SUB_BOTTOM, IDC_SUB_SPIN_BOTTOM, 0, 1000},
    {IDC_SUB_BORDER_WIDTH, IDC_SUB_SPIN_BORDER, 0, 1000},
    {IDC_SUB_SHADOW_DEPTH, IDC_SUB_SPIN_SHADOW, 0, 1000},
    {IDC_SUB_SPACING, IDC_SUB_SPIN_SPACING, 0, 1000},
    {IDC_SUB_ANGLE, IDC_SUB_SPIN_ANGLE, 0, 1000},
    {IDC_SUB_SCALE_X, IDC_SUB_SPIN_SCALE_X, 0, 1000},
    {IDC_SUB_SCALE_Y, IDC_SUB_SPIN_SCALE_Y, 0, 1000},
    {IDC_SUB_DELAY, IDC_SUB_SPIN_DELAY, -20000, 20000},
};

constexpr int kPickerIds[3] = {IDC_SUB_TEXT_COLOUR, IDC_SUB_BORDER_COLOUR, IDC_SUB_SHADOW_COLOUR};
constexpr int kAlphaIds[3] = {IDC_SUB_TEXT_ALPHA, IDC_SUB_BORDER_ALPHA, IDC_SUB_SHADOW_ALPHA};
constexpr int kStyleSlots[3] = {0, 2, 3};  // colour and alpha slots the three rows edit
constexpr uint32_t kPickerDefaults[3] = {0xFFFFFF, 0, 0};

QString IntText(double value) { return QString::number(static_cast<int>(value)); }

}  // namespace

CDlgSubtitle::CDlgSubtitle(QWidget* parent) : UiDialog(kTemplate, parent) {
  fileEdit_ = SubclassItem(IDC_SUB_FILE, new CHintEdit);
  for (int id : kPickerIds) SubclassItem(id, new CColourPickerXP);
  for (int id : kAlphaIds) {
    auto* slider = SubclassItem(id, new QSlider(Qt::Horizontal));
    slider->setRange(0, 255);
  }
  for (const SpinRow& row : kSpins) SubclassItem(row.spin, new UpDown(ItemAs<QLineEdit>(row.edit)));
}

CDlgSubtitle::~CDlgSubtitle() = default;

CColourPickerXP* CDlgSubtitle::Picker(int id) const { return dynamic_cast<CColourPickerXP*>(Item(id)); }

QSlider* CDlgSubtitle::AlphaSlider(int id) const { return ItemAs<QSlider>(id); }

HRESULT CDlgSubtitle::Edit(QWidget* parent) {
  if (parent != nullptr && parentWidget() != parent) setParent(parent, windowFlags());
  if (DoModal() != IDOK) return S_FALSE;
  acceptedText_ = SubtitleParamText(params_);
  return S_OK;
}

HRESULT CDlgSubtitle::SetParams(const void* bytes, uint32_t length) {
  std::string_view text;
  if (!TextOf(bytes, length, text)) return E_POINTER;
  params_ = LoadSubtitleParams(text);
  return S_OK;
}

bool CDlgSubtitle::OnInitDialog() {
  work_ = params_;
  for (int i = 0; i < 3; ++i) {
    CColourPickerXP* picker = Picker(kPickerIds[i]);
    picker->SetDefaultText(QStringLiteral("Default"));
    picker->SetDefaultColor(kPickerDefaults[i]);
  }
  for (int i = 0; i < 9; ++i) SetItemCheck(kSubtitleAlignIds[i], i == params_.alignment - 1 ? 1 : 0);
  SetItemInt(IDC_SUB_LEFT, params_.marginLeft);
  SetItemInt(IDC_SUB_RIGHT, params_.marginRight);
  SetItemInt(IDC_SUB_TOP, params_.marginTop);
  SetItemInt(IDC_SUB_BOTTOM, params_.marginBottom);
  for (const SpinRow& row : kSpins) static_cast<UpDown*>(Item(row.spin))->SetRange(row.low, row.high);
  for (int i = 0; i < 3; ++i) {
    AlphaSlider(kAlphaIds[i])->setValue(255 - params_.alpha[kStyleSlots[i]]);
    Picker(kPickerIds[i])->SetColor(params_.colours[kStyleSlots[i]]);
  }
  SetItemText(IDC_SUB_BORDER_WIDTH, IntText(params_.outlineWidth));
  SetItemText(IDC_SUB_SHADOW_DEPTH, IntText(params_.shadowDepth));
  SetItemText(IDC_SUB_SPACING, IntText(params_.fontSpacing));
  SetItemText(IDC_SUB_ANGLE, IntText(params_.fontAngleZ));
  SetItemText(IDC_SUB_SCALE_X, IntText(params_.fontScaleX));
  SetItemText(IDC_SUB_SCALE_Y, IntText(params_.fontScaleY));
  SetItemInt(IDC_SUB_DELAY, params_.delay);
  SetItemText(IDC_SUB_FACTOR, QString::asprintf("%.2f", params_.timeFactor));
  fileEdit_->SetHint(QStringLiteral("<You can drag and drop files here>"));
  fileEdit_->SetTextOrHint(QString::fromStdString(params_.subtitleFile));
  SetItemText(IDC_SUB_FONT, QString::fromStdString(params_.fontName));
  auto* charSets = ItemAs<QComboBox>(IDC_SUB_CHARSET);
  charSets->clear();
  for (const SubtitleCharSet& set : SubtitleCharSets())
    charSets->addItem(QString::asprintf("%s (%d)", set.name, set.code), set.code);
  SelectCharSet(params_.charSet);
  return true;
}

void CDlgSubtitle::SelectCharSet(int32_t code) {
  ItemAs<QComboBox>(IDC_SUB_CHARSET)->setCurrentIndex(FindSubtitleCharSet(code));
}

void CDlgSubtitle::OnOK() {
  const std::string file = fileEdit_->GetText().toStdString();
  if (file.size() > kSubtitleFileMax) {
    ShowMessageBox(this, "The subtitle file's path is too long: a path holds at most 259 bytes.", nullptr,
                   MB_ICONEXCLAMATION);
    fileEdit_->setFocus();
    return;
  }
  SubtitleParams p = work_;
  for (int i = 0; i < 9; ++i)
    if (IsItemChecked(kSubtitleAlignIds[i])) p.alignment = i + 1;
  p.subtitleFile = file;
  p.marginLeft = AtoiC(ItemText(IDC_SUB_LEFT));
  p.marginRight = AtoiC(ItemText(IDC_SUB_RIGHT));
  p.marginTop = AtoiC(ItemText(IDC_SUB_TOP));
  p.marginBottom = AtoiC(ItemText(IDC_SUB_BOTTOM));
  for (int i = 0; i < 3; ++i) {
    p.alpha[kStyleSlots[i]] = static_cast<uint8_t>(255 - AlphaSlider(kAlphaIds[i])->value());
    p.colours[kStyleSlots[i]] = Picker(kPickerIds[i])->GetColor(true);
  }
  p.outlineWidth = AtofC(ItemText(IDC_SUB_BORDER_WIDTH));
  p.shadowDepth = AtofC(ItemText(IDC_SUB_SHADOW_DEPTH));
  p.fontSpacing = AtofC(ItemText(IDC_SUB_SPACING));
  p.fontAngleZ = AtofC(ItemText(IDC_SUB_ANGLE));
  p.fontScaleX = AtofC(ItemText(IDC_SUB_SCALE_X));
  p.fontScaleY = AtofC(ItemText(IDC_SUB_SCALE_Y));
  p.delay = AtoiC(ItemText(IDC_SUB_DELAY));
  p.timeFactor = AtofC(ItemText(IDC_SUB_FACTOR));
  const QVariant code = ItemAs<QComboBox>(IDC_SUB_CHARSET)->currentData();
  if (code.isValid()) p.charSet = code.toInt();
  params_ = p;
  EndDialog(IDOK);
}

bool CDlgSubtitle::OnCommand(int id, int code) {
  if (id == IDC_SUB_BROWSE && code == BN_CLICKED) {
    Browse();
    return true;
  }
  if (id == IDC_SUB_FONT && code == BN_CLICKED) {
    ChooseSubtitleFont();
    return true;
  }
  return UiDialog::OnCommand(id, code);
}

void CDlgSubtitle::Browse() {
  CFileFilter filter;
  filter.Add("All support files", "*.idx;*.sub;*.srt;*.ssa;*.ssf;*.ass");
  filter.Add("Vobsub files(*.idx;*.sub)", "*.idx;*.sub");
  filter.Add("SSA/ASS files(*.ssa;*.ssf;*.ass)", "*.ssa;*.ssf;*.ass");
  filter.Add("SRT files(*.srt)", "*.srt");
  filter.Add("All Files(*.*)", "*.*");
  std::vector<std::string> chosen;
  if (BrowseForFiles(this, "Select file", "", filter.GetFilterString(), false, chosen) && !chosen.empty())
    fileEdit_->SetText(QString::fromStdString(chosen.front()));
}

void CDlgSubtitle::ChooseSubtitleFont() {
  const int dpi = ScreenPixelsPerInchY();
  LogFont font;
  font.charSet = work_.charSet;
  font.faceName = work_.fontName;
  font.height = -MulDiv(static_cast<int32_t>(std::lround(work_.fontSize)), dpi, 72);
  font.weight = work_.fontWeight;
  font.italic = work_.italic;
  font.underline = work_.underline;
  font.strikeOut = work_.strikeOut;
  if (!ChooseFont(this, font)) return;
  SelectCharSet(font.charSet);
  work_.charSet = font.charSet;
  work_.fontName = font.faceName.substr(0, kSubtitleFontNameMax);
  work_.fontSize = static_cast<double>(-MulDiv(font.height, 72, dpi));
  work_.fontWeight = font.weight;
  work_.italic = font.italic;
  work_.underline = font.underline;
  work_.strikeOut = font.strikeOut;
  SetItemText(IDC_SUB_FONT, QString::fromStdString(work_.fontName));
}
