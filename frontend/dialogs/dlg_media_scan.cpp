#include "frontend/dialogs/dlg_media_scan.h"

#include <QImage>
#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include "frontend/model/engine_session.h"
#include "frontend/ui/resources.h"
#include "frontend/ui/sys_colors.h"

namespace {

constexpr uint32_t kCommandMessage = 0x0111;      // a command, posted: wParam = id | code << 16
constexpr uint32_t kStatusMessage = WM_USER + 1;  // data: the status text (std::string)
constexpr int kStripWidth = 411;
constexpr int kStripHeight = 5;
constexpr int kStripTop = 60;
constexpr int kStripMargin = 10;
constexpr int kStripStep = 10;
constexpr int kStripSteps = 41;

const DialogTemplate kTemplate = {
    IDD_MEDIA_SCAN,
    "",
    304,
    54,
    {
        {CtrlKind::Text, IDC_SCAN_STATUS, "", 7, 7, 290, 15},
        {CtrlKind::PushButton, IDC_SCAN_DONE, "", 0, 0, 10, 10, kCtrlHidden},
    },
};

}  // namespace

// The sliding strip: the picture three times, 411 pixels apart, starting
// (counter mod 41) x 10 pixels to the right.
class ScanStrip : public QWidget {
 public:
  explicit ScanStrip(QWidget* parent) : QWidget(parent), picture_(ScanStripPicture()) {
    setAttribute(Qt::WA_OpaquePaintEvent);
  }
  void SetCounter(int counter) {
    counter_ = counter;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    const int p = (counter_ % kStripSteps) * kStripStep - x();  // client x to strip x
    for (int copy = -1; copy <= 1; ++copy) painter.drawImage(QPoint(p + copy * kStripWidth, kStripTop - y()), picture_);
  }

 private:
  QImage picture_;
  int counter_ = 0;
};

QImage ScanStripPicture() {
  QImage picture = LoadBitmapResource(IDB_SCAN_STRIP);
  if (!picture.isNull()) return picture;
  // A band that brightens from the face colour into the highlight.
  picture = QImage(kStripWidth, kStripHeight, QImage::Format_RGB32);
  const QColor from = SysColor(COLOR_BTNFACE), to = SysColor(COLOR_HIGHLIGHT);
  for (int x = 0; x < kStripWidth; ++x) {
    const double t = static_cast<double>(x) / (kStripWidth - 1);
    const QColor c(static_cast<int>(from.red() + (to.red() - from.red()) * t),
                   static_cast<int>(from.green() + (to.green() - from.green()) * t),
                   static_cast<int>(from.blue() + (to.blue() - from.blue()) * t));
    for (int y = 0; y < kStripHeight; ++y) picture.setPixelColor(x, y, c);
  }
  return picture;
}

CDlgMediaScan::CDlgMediaScan() : UiDialog(kTemplate) {
  // A modal frame without a caption.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint);
}

CDlgMediaScan::~CDlgMediaScan() {
  if (worker_.joinable()) worker_.join();
}

QRect CDlgMediaScan::StripRect() const {
  return QRect(kStripMargin, kStripTop, Client()->width() - 2 * kStripMargin, kStripHeight);
}

bool CDlgMediaScan::OnInitDialog() {
  SetTimer(kScanTimerId, 50);
  strip_ = new ScanStrip(Client());
  strip_->setGeometry(StripRect());
  strip_->show();
  // The worker owns nothing of the dialog: it gets the paths, the list and the
  // dialog's id, and reports through posted messages only.
  const WindowId window = Handle();
  worker_ = std::thread([window, paths = paths, number = probeNumber, records = records] {
    for (const std::string& path : paths) {
      PostMessage(window, kStatusMessage, 0, 0,
                  std::make_shared<std::string>("Scan media info from  " + path + " ..."));
      auto record = std::make_unique<MediaInfoRecord>();
      ProbeMedia(path, number, *record);
      if (records) records->push_back(std::move(record));
    }
    PostMessage(window, kCommandMessage, IDC_SCAN_DONE);
  });
  return true;
}

bool CDlgMediaScan::OnCommand(int id, int code) {
  if (id == IDC_SCAN_DONE) {
    EndDialog(IDOK);
    return true;
  }
  return UiDialog::OnCommand(id, code);
}

void CDlgMediaScan::OnTimer(int id) {
  if (id != kScanTimerId) return;
  ++counter_;
  if (strip_) strip_->SetCounter(counter_);
}

intptr_t CDlgMediaScan::OnMessage(const UiMessage& message) {
  if (message.msg == kStatusMessage && message.data) {
    SetItemText(IDC_SCAN_STATUS, QString::fromStdString(*std::static_pointer_cast<std::string>(message.data)));
    return 1;
  }
  if (message.msg == kCommandMessage) {
    OnCommand(static_cast<int>(message.wParam & 0xFFFF), static_cast<int>(message.wParam >> 16));
    return 1;
  }
  return 0;
}

bool ScanMediaFiles(const std::vector<std::string>& paths, MediaInfoRecords& records, int32_t probeNumber) {
  CDlgMediaScan dialog;
  dialog.paths = paths;
  dialog.probeNumber = probeNumber;
  dialog.records = &records;
  dialog.DoModal();
  return true;
}
