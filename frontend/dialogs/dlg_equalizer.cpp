#include "frontend/dialogs/dlg_equalizer.h"

#include <QComboBox>
#include <QEvent>
#include <QPainter>

#include "frontend/controls/bitmap_slider.h"

const int kEqualizerSliderIds[kEqualizerSettings] = {1227, 1229, 1231, 1234, 1236, 1238, 1240, 1242, 1243, 1244, 1245};

namespace {

const DialogTemplate kTemplate = {
    IDD_EQUALIZER,
    "EQUALIZER",
    244,
    150,
    {
        {CtrlKind::Placeholder, 1245, "", 0, 0, 8, 60},
        {CtrlKind::Placeholder, 1227, "", 0, 0, 8, 60},
        {CtrlKind::Placeholder, 1229, "", 0, 0, 8, 60},
        {CtrlKind::Placeholder, 1231, "", 0, 0, 8, 60},
        {CtrlKind::Placeholder, 1234, "", 0, 0, 8, 60},
        {CtrlKind::Placeholder, 1236, "", 0, 0, 8, 60},
        {CtrlKind::Placeholder, 1238, "", 0, 0, 8, 60},
        {CtrlKind::Placeholder, 1240, "", 0, 0, 8, 60},
        {CtrlKind::Placeholder, 1242, "", 0, 0, 8, 60},
        {CtrlKind::Placeholder, 1243, "", 0, 0, 8, 60},
        {CtrlKind::Placeholder, 1244, "", 0, 0, 8, 60},
        {CtrlKind::Text, IDC_STATIC, "Predefine:", 7, 114, 40, 8},
        {CtrlKind::ComboDropList, IDC_EQ_PRESET, "", 50, 112, 100, 160},
        {CtrlKind::PushButton, IDC_EQ_RESET, "Reset", 156, 111, 40, 14},
        {CtrlKind::Text, IDC_EQ_READOUT, "", 200, 114, 40, 8},
        {CtrlKind::DefPushButton, IDOK, "OK", 133, 131, 50, 14},
        {CtrlKind::PushButton, IDCANCEL, "Cancel", 187, 131, 50, 14},
    },
};

// Where the sliders and the scale sit, in pixels: the scale's marks are
// painted in pixels, so the sliders are placed in pixels too. A band's
// centre column is BandX(k); the thumb's centre runs from y 50 to 147.
constexpr int kSliderTop = 46;
constexpr int kSliderWidth = 11;
constexpr int kSliderHeight = 106;
constexpr int kPreampLeft = 20;
int BandX(int band) { return 90 + 27 * band; }

QRect SliderRect(int index) {
  const int left = index == kEqualizerBands ? kPreampLeft : BandX(index) - 14;
  return QRect(left, kSliderTop, kSliderWidth, kSliderHeight);
}

}  // namespace

CDlgEqualizer::CDlgEqualizer(QWidget* parent) : UiDialog(kTemplate, parent) {
  settings_.fill(kEqualizerNeutral);
  for (int i = 0; i < kEqualizerSettings; ++i) {
    CBitmapSlider* slider = SubclassItem(kEqualizerSliderIds[i], new CBitmapSlider);
    slider->setGeometry(SliderRect(i));
  }
  Client()->installEventFilter(this);
}

CDlgEqualizer::~CDlgEqualizer() = default;

CBitmapSlider* CDlgEqualizer::Slider(int index) const {
  return index >= 0 && index < kEqualizerSettings ? dynamic_cast<CBitmapSlider*>(Item(kEqualizerSliderIds[index]))
                                                  : nullptr;
}

int CDlgEqualizer::PresetIndex() const { return ItemAs<QComboBox>(IDC_EQ_PRESET)->currentIndex(); }

HRESULT CDlgEqualizer::Edit(QWidget* parent) {
  if (parent != nullptr && parentWidget() != parent) setParent(parent, windowFlags());
  if (DoModal() != IDOK) return S_FALSE;
  acceptedText_ = EqualizerParamText(settings_);
  return S_OK;
}

HRESULT CDlgEqualizer::SetParams(const void* bytes, uint32_t length) {
  std::string_view text;
  if (!TextOf(bytes, length, text)) return E_POINTER;
  settings_ = LoadEqualizerSettings(text);
  return S_OK;
}

bool CDlgEqualizer::OnInitDialog() {
  auto* combo = ItemAs<QComboBox>(IDC_EQ_PRESET);
  combo->clear();
  for (const EqualizerPreset& preset : EqualizerPresets()) combo->addItem(QString::fromUtf8(preset.name));
  combo->setCurrentIndex(FindEqualizerPreset(settings_));
  for (int i = 0; i < kEqualizerSettings; ++i) {
    CBitmapSlider* slider = Slider(i);
    slider->SetVertical(true);
    slider->SetRange(0, kEqualizerMax);
    slider->SetPos(settings_[size_t(i)]);
    slider->SetBitmapChannel(IDB_EQ_CHANNEL, 0, true, kKeyColourFromPixel, 0, 0);
    slider->SetBitmapThumb(IDB_EQ_THUMB, IDB_EQ_THUMB_DRAGGED, true, kKeyColourFromPixel, 0, 0);
    slider->update();
  }
  return true;
}

void CDlgEqualizer::ChoosePreset(int index) {
  if (index < 0 || index >= int(EqualizerPresets().size())) return;
  ItemAs<QComboBox>(IDC_EQ_PRESET)->setCurrentIndex(index);
  const EqualizerSettings& values = EqualizerPresets()[size_t(index)].settings;
  for (int i = 0; i < kEqualizerSettings; ++i) Slider(i)->SetPos(values[size_t(i)]);
}

bool CDlgEqualizer::OnCommand(int id, int code) {
  if (id == IDC_EQ_PRESET && code == CBN_SELCHANGE) {
    ChoosePreset(PresetIndex());
    return true;
  }
  if (id == IDC_EQ_RESET && code == BN_CLICKED) {
    ChoosePreset(kEqualizerFlatPreset);
    return true;
  }
  return UiDialog::OnCommand(id, code);
}

intptr_t CDlgEqualizer::OnMessage(const UiMessage& message) {
  if (message.msg == WM_BITMAPSLIDER_MOVING) {
    SetItemText(IDC_EQ_READOUT, QString::fromStdString(EqualizerGainText(static_cast<int>(message.lParam))));
    return 0;
  }
  return UiDialog::OnMessage(message);
}

void CDlgEqualizer::OnOK() {
  for (int i = 0; i < kEqualizerSettings; ++i) settings_[size_t(i)] = static_cast<uint8_t>(Slider(i)->GetPos());
  EndDialog(IDOK);
}

bool CDlgEqualizer::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Client() && event->type() == QEvent::Paint) {
    QPainter p(Client());
    QFont font(QStringLiteral("Small Fonts"));
    font.setPixelSize(10);
    font.setStretch(80);  // as narrow as the small bitmap font the scale was laid out for
    p.setFont(font);
    p.setPen(palette().color(QPalette::WindowText));
    const auto text = [&p](int x, int y, const char* s) {
      p.drawText(QRect(x, y, 200, 20), Qt::AlignLeft | Qt::AlignTop, QString::fromUtf8(s));
    };
    text(42, 45, "+12 db");
    text(42, 94, "+0 db");
    text(42, 142, "-12 db");
    text(15, 156, EqualizerLabel(kEqualizerBands));
    // The preamplifier's ticks at 0 dB.
    p.drawLine(15, 99, 19, 99);
    p.drawLine(32, 99, 36, 99);
    for (int k = 0; k < kEqualizerBands; ++k) {
      const int a = BandX(k);
      for (int y : {50, 99, 147}) {
        p.drawLine(a - 3, y, a - 1, y);
        p.drawLine(a - 17, y, a - 15, y);
      }
      text(a - 14, 156, EqualizerLabel(k));
    }
  }
  return UiDialog::eventFilter(watched, event);
}

std::unique_ptr<IFilterSetup> CreateEqualizerSetup(QWidget* parent) { return std::make_unique<CDlgEqualizer>(parent); }
