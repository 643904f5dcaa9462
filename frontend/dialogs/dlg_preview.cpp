#include "frontend/dialogs/dlg_preview.h"

#include <QAction>
#include <QEvent>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QTimerEvent>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <thread>

#include "common/control_block.h"
#include "frontend/controls/image_button.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/picture.h"
#include "frontend/ui/resources.h"
#include "frontend/ui/shell.h"

namespace {

const DialogTemplate kTemplate = {
    IDD_PREVIEW,
    "",
    180,
    145,
    {
        {CtrlKind::Text, IDC_PREVIEW_TITLE, "Preview", 18, 3, 158, 9},
        {CtrlKind::Placeholder, IDC_PREVIEW_VIDEO, "", 4, 14, 172, 96},
        {CtrlKind::Placeholder, IDC_PREVIEW_POSITION, "", 4, 111, 172, 9},
        {CtrlKind::Placeholder, IDC_PREVIEW_PLAY, "", 4, 121, 14, 13},
        {CtrlKind::Placeholder, IDC_PREVIEW_STOP, "", 20, 121, 14, 13},
        {CtrlKind::Text, IDC_PREVIEW_TIME, "", 38, 124, 74, 9},
        {CtrlKind::Placeholder, IDC_PREVIEW_SNAPSHOT, "", 114, 121, 14, 13},
        {CtrlKind::Placeholder, IDC_PREVIEW_SNAPSHOT_MENU, "", 130, 121, 14, 13},
        {CtrlKind::Placeholder, IDC_PREVIEW_MUTE, "", 160, 121, 14, 13},
    },
};

constexpr QRgb kOutline = qRgb(127, 157, 185);
// The panel's icon, drawn at the caption's left.
constexpr int kPreviewIcon = 227;

// The position bar: thumb picture 214 over the built-in groove. It sends
// WM_BAR_POSITION_DONE when a drag ends and on each key.
constexpr int kBarThumbBitmap = 214;
void SetupBar(CBitmapSlider* bar) {
  bar->SetRange(0, kPreviewBarRange, false);
  bar->SetPos(0);
  bar->SetBitmapThumb(kBarThumbBitmap, kBarThumbBitmap, true, kKeyColourFromPixel, 0, 0);
  bar->SetDrawFocusRect(false);
}

// The mute cell stays open for the life of the process.
MuteCell& TheMuteCell() {
  static MuteCell cell;
  return cell;
}

struct ButtonLook {
  const char* normal;
  const char* hover;
  const char* disabled;
  const char* tip;
};
constexpr ButtonLook kPlayIdle = {"playnormal.png", "playnormal_over.png", "playnormal_disable.png", "Play"};
constexpr ButtonLook kPlayPlaying = {"playpause.png", "playpause_over.png", "", "Pause"};
constexpr ButtonLook kStop = {"playstop.png", "playstop_over.png", "playstop_disable.png", "Stop"};
constexpr ButtonLook kSnapshot = {"playcap.png", "playcap_over.png", "playcap_disable.png", "Take a snapshot"};
constexpr ButtonLook kSnapshotMenu = {"playopen.png", "playopen_over.png", "playopen_disable.png",
                                      "Snapshot settings..."};
constexpr ButtonLook kSoundOn = {"playaudio.png", "playaudio_over.png", "", "Mute"};
constexpr ButtonLook kSoundOff = {"playnoaudio.png", "playnoaudio_over.png", "", "Unmute"};

void SetLook(CImageButton* button, const ButtonLook& look, bool tip = true) {
  if (tip)
    button->SetImages(look.normal, look.hover, look.disabled, QString::fromUtf8(look.tip));
  else
    button->LoadImages(look.normal, look.hover, look.disabled);
}

}  // namespace

// ---- the video area ----

CPreviewVideo::CPreviewVideo(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  OpenHandle();
}

CPreviewVideo::~CPreviewVideo() { CloseHandle(); }

bool CPreviewVideo::BeginFrames(int32_t width, int32_t height) {
  if (!surface_.Create(Handle(), std::max(width, 1), std::max(height, 1))) return false;
  counter_ = surface_.FrameCounter();
  poll_.start(15, this);
  return true;
}

void CPreviewVideo::EndFrames() {
  poll_.stop();
  frame_ = QImage();
  update();
}

void CPreviewVideo::timerEvent(QTimerEvent* event) {
  if (event->timerId() != poll_.timerId()) return QWidget::timerEvent(event);
  if (!surface_.IsOpen() || surface_.FrameCounter() == counter_) return;
  PreviewFrameInfo info;
  std::vector<uint8_t> pixels;
  if (!surface_.ReadFrame(&info, &pixels, 20) || info.format != PreviewSurface::kFormatBgrx32) return;
  counter_ = info.counter;
  QImage image(info.width, info.height, QImage::Format_RGB32);
  for (int32_t y = 0; y < info.height; ++y)
    std::memcpy(image.scanLine(y), pixels.data() + size_t(y) * info.stride, size_t(info.width) * 4);
  frame_ = std::move(image);
  frameTime_ = info.time;
  ++taken_;
  update();
}

void CPreviewVideo::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  if (!frame_.isNull()) painter.drawImage(0, 0, frame_);
}

// ---- the panel ----

CDlgPreview::CDlgPreview(QWidget* parent, IPlayerStarter* starter, ISnapshotFolder* folder)
    : UiDialog(kTemplate, parent), starter_(starter ? starter : &EnginePlayerStarter()), folder_(folder) {
  video_ = SubclassItem(IDC_PREVIEW_VIDEO, new CPreviewVideo);
  bar_ = SubclassItem(IDC_PREVIEW_POSITION, new CBitmapSlider);
  SetupBar(bar_);
  for (int id :
       {IDC_PREVIEW_PLAY, IDC_PREVIEW_STOP, IDC_PREVIEW_SNAPSHOT, IDC_PREVIEW_SNAPSHOT_MENU, IDC_PREVIEW_MUTE}) {
    SubclassItem(id, new CImageButton);
  }
  Client()->installEventFilter(this);
}

CDlgPreview::~CDlgPreview() {
  // An engine still playing is ended with the panel.
  if (session_) {
    session_->RequestStop();
    session_->Terminate();
  }
  EndSession();
}

uint32_t CDlgPreview::VideoWindow() const { return video_ ? video_->Handle() : 0; }

CImageButton* CDlgPreview::Button(int id) const { return dynamic_cast<CImageButton*>(Item(id)); }

bool CDlgPreview::OnInitDialog() {
  setWindowIcon(QIcon(QPixmap::fromImage(LoadIconResource(kPreviewIcon))));
  SetLook(Button(IDC_PREVIEW_PLAY), kPlayIdle);
  SetLook(Button(IDC_PREVIEW_STOP), kStop);
  SetLook(Button(IDC_PREVIEW_SNAPSHOT), kSnapshot);
  SetLook(Button(IDC_PREVIEW_SNAPSHOT_MENU), kSnapshotMenu);
  SetLook(Button(IDC_PREVIEW_MUTE), kSoundOn);
  EnableItem(IDC_PREVIEW_PLAY, chosen_ != nullptr);
  SetIdleLook();
  return true;
}

void CDlgPreview::SetIdleLook() {
  bar_->SetPos(0);
  bar_->Enable(false);
  EnableItem(IDC_PREVIEW_STOP, false);
  SetLook(Button(IDC_PREVIEW_PLAY), kPlayIdle);
  EnableItem(IDC_PREVIEW_SNAPSHOT, false);
  SetItemText(IDC_PREVIEW_TIME, QString());
  if (video_) video_->EndFrames();
}

void CDlgPreview::SetPlayingLook() {
  EnableItem(IDC_PREVIEW_STOP, true);
  bar_->Enable(true);
  EnableItem(IDC_PREVIEW_SNAPSHOT, true);
  SetLook(Button(IDC_PREVIEW_PLAY), kPlayPlaying);
}

void CDlgPreview::SetTask(CTask* task) {
  if (task == nullptr) {
    OnStop();
    chosen_ = nullptr;
    if (IsOpen()) {
      EnableItem(IDC_PREVIEW_PLAY, false);
      SetItemText(IDC_PREVIEW_TITLE, QStringLiteral("Preview"));
    }
    return;
  }
  chosen_ = task;
  if (IsOpen()) {
    EnableItem(IDC_PREVIEW_PLAY, true);
    SetItemText(IDC_PREVIEW_TITLE, QStringLiteral("Preview:") + QString::fromStdString(task->GetOutputTitle()));
  }
}

void CDlgPreview::OnTaskRemoved(const CTask* task) {
  if (task == nullptr) return;
  if (task == playing_ && session_) OnStop();
  // The chosen task is about to be freed: it is never started afterwards.
  if (task == chosen_) {
    chosen_ = nullptr;
    if (IsOpen() && !session_) {
      EnableItem(IDC_PREVIEW_PLAY, false);
      SetItemText(IDC_PREVIEW_TITLE, QStringLiteral("Preview"));
    }
  }
}

bool CDlgPreview::OnCommand(int id, int code) {
  switch (id) {
    case IDC_PREVIEW_PLAY:
      OnPlay();
      return true;
    case IDC_PREVIEW_STOP:
      OnStop();
      return true;
    case IDC_PREVIEW_SNAPSHOT:
      OnSnapshot();
      return true;
    case IDC_PREVIEW_SNAPSHOT_MENU:
      OnSnapshotMenu();
      return true;
    case ID_OPEN_SNAPSHOT_FOLDER:
      if (folder_) OpenFolderWithShell(this, folder_->Read());
      return true;
    case ID_CHANGE_SNAPSHOT_FOLDER:
      if (folder_) {
        std::string path = folder_->Read();
        if (BrowseForFolderWithShell(this, path)) folder_->Write(path);
      }
      return true;
    case IDC_PREVIEW_MUTE:
      OnMute();
      return true;
    default:
      return UiDialog::OnCommand(id, code);
  }
}

void CDlgPreview::OnPlay() {
  if (session_) {
    if (!paused_) {
      paused_ = 1;
      session_->SetPlayerPause(1);
      SetLook(Button(IDC_PREVIEW_PLAY), kPlayIdle, false);
    } else {
      paused_ = 0;
      session_->SetPlayerPause(0);
      SetLook(Button(IDC_PREVIEW_PLAY), kPlayPlaying, false);
    }
    return;
  }
  if (chosen_ == nullptr) return;
  StartPlayer();
}

void CDlgPreview::StartPlayer() {
  const QSize area = video_->size();
  const int32_t width = area.width() / 4 * 4;
  const int32_t height = area.height() / 4 * 4;
  lastError_.clear();
  if (MakePlayerTask(*chosen_, preview_, VideoWindow(), width, height, lastError_)) {
    if (!video_->BeginFrames(width, height))
      lastError_ = "The preview surface cannot be made.";
    else
      session_ = starter_->Start(VideoWindow(), preview_.job, lastError_);
  }
  if (!session_) {
    // Nothing plays: the panel stays idle and play may be pressed again.
    SetIdleLook();
    ShowMessageBox(this, "The preview cannot start.\n" + lastError_, nullptr, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  playing_ = chosen_;
  paused_ = 0;
  SetPlayingLook();
  SetTimer(kPreviewTimerId, kPreviewTimerMs);
}

void CDlgPreview::OnTimer(int id) {
  if (id != kPreviewTimerId) return UiDialog::OnTimer(id);
  if (!session_) return;
  uint8_t* control = session_->Control();
  const bool seekPending = control != nullptr && BlockWord(control, ControlBlock::kSeekPending).load() != 0;
  if (!seekPending && !bar_->IsDragging()) {
    const int32_t ms = session_->GetResult();
    if (ms != kPlayerEndMark) {
      SetItemText(IDC_PREVIEW_TIME, QString::fromStdString(PositionText(ms, preview_.GetDurationText())));
      bar_->SetPos(BarPositionForMs(ms, preview_.duration));
    }
  }
  HRESULT code = 0;
  if (session_->GetExitCode(&code) == EngineExitState::kEnded) {
    EndSession();
    KillTimer(kPreviewTimerId);
    SetIdleLook();
  }
}

intptr_t CDlgPreview::OnMessage(const UiMessage& message) {
  if (message.msg == WM_BAR_POSITION_DONE) {
    OnSeek();
    return 0;
  }
  return UiDialog::OnMessage(message);
}

void CDlgPreview::OnSeek() {
  if (!session_) return;
  uint8_t* control = session_->Control();
  // A seek still being served is waited for, up to a second.
  for (int i = 0; control != nullptr && i < 100 && BlockWord(control, ControlBlock::kSeekPending).load() != 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  session_->PostSeek(SeekTargetForBar(bar_->GetPos(), preview_.duration));
}

void CDlgPreview::OnStop() {
  if (!session_) return;
  session_->SetValue(10);
  session_->RequestStop();
  KillTimer(kPreviewTimerId);
  for (int i = 0; i < 50; ++i) {
    HRESULT code = 0;
    if (session_->GetExitCode(&code) == EngineExitState::kEnded) {
      EndSession();
      SetIdleLook();
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  session_->Terminate();
  EndSession();
  SetIdleLook();
}

void CDlgPreview::EndSession() {
  session_.reset();
  playing_ = nullptr;
  paused_ = 0;
}

void CDlgPreview::OnSnapshot() {
  if (!session_ || folder_ == nullptr) return;
  uint8_t* control = session_->Control();
  if (control == nullptr) return;
  const double aspect = preview_.GetSourceAspect();
  const int32_t w = BlockWord(control, ControlBlock::kFrameWidth).load();
  const int32_t h = BlockWord(control, ControlBlock::kFrameHeight).load();
  if (w < 1 || w > 1999 || h < 1 || h > 1999) return;
  if (!LockCapturedFrame(control)) return;
  SnapshotPicture picture;
  const bool made = MakeSnapshotPicture(control, aspect, picture);
  UnlockCapturedFrame(control);
  if (!made) return;

  CPicture image(kPictureJpg);
  if (image.Create(picture.width, picture.height, 24, kPictureJpg) == nullptr) return;
  const size_t line = size_t(picture.width) * 3;
  for (int32_t i = 0; i < picture.height; ++i) std::memcpy(image.GetBits(i), &picture.rows[line * i], line);
  image.SetJpegQuality(90);
  const std::string folder = folder_->Read();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  const std::string path = SnapshotFilePath(folder, local);
  if (image.Save(path, kPictureJpg)) lastSnapshot_ = path;
}

void CDlgPreview::OnSnapshotMenu() {
  QMenu menu(this);
  int chosen = 0;
  QObject::connect(menu.addAction(QStringLiteral("Open snapshot folder...")), &QAction::triggered, this,
                   [&chosen] { chosen = ID_OPEN_SNAPSHOT_FOLDER; });
  QObject::connect(menu.addAction(QStringLiteral("Change snapshot folder...")), &QAction::triggered, this,
                   [&chosen] { chosen = ID_CHANGE_SNAPSHOT_FOLDER; });
  QWidget* button = Item(IDC_PREVIEW_SNAPSHOT_MENU);
  menu.exec(button->mapToGlobal(QPoint(0, button->height())));
  if (chosen != 0) OnCommand(chosen, 0);
}

void CDlgPreview::OnMute() {
  muted_ = muted_ ? 0 : 1;
  MuteCell& cell = TheMuteCell();
  if (!cell.IsOpen()) cell.Open();
  if (cell.IsOpen()) cell.Write(muted_);
  SetLook(Button(IDC_PREVIEW_MUTE), muted_ ? kSoundOff : kSoundOn);
}

bool CDlgPreview::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Client() && event->type() == QEvent::Paint) PaintFrame();
  return UiDialog::eventFilter(watched, event);
}

void CDlgPreview::PaintFrame() {
  QPainter painter(Client());
  const QRect video = ItemRect(IDC_PREVIEW_VIDEO).adjusted(-1, -1, 1, 1);
  painter.setPen(QColor(kOutline));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(video.adjusted(0, 0, -1, -1));
  painter.drawRect(QRect(video.left(), video.bottom() + 1, video.width(), 40).adjusted(0, 0, -1, -1));
  painter.drawRect(QRect(video.left(), video.top() - 21, video.width(), 21).adjusted(0, 0, -1, -1));
  const QIcon icon = windowIcon();
  if (!icon.isNull()) icon.paint(&painter, QRect(QPoint(7, 3), QSize(16, 16)));
}

void CDlgPreview::OnDestroy() {
  if (!session_) return;
  session_->RequestStop();
  KillTimer(kPreviewTimerId);
  session_->Terminate();
  EndSession();
}
