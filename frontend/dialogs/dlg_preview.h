// The preview panel: a child window of the main window that plays the chosen
// task's first source through the engine in play mode, inside its video area.
// Play, pause, stop and seek steer the engine through the control block; a
// snapshot saves the frame on screen as a JPEG in the snapshot folder; mute
// asks every preview engine to silence its sound through the mute cell.
#pragma once

#include <QBasicTimer>
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>

#include "common/preview_surface.h"
#include "frontend/controls/bitmap_slider.h"
#include "frontend/model/preview_play.h"
#include "frontend/model/task.h"
#include "frontend/ui/messages.h"
#include "frontend/ui/ui_dialog.h"

class CImageButton;

constexpr int IDD_PREVIEW = 158;
constexpr int IDC_PREVIEW_VIDEO = 1263;
constexpr int IDC_PREVIEW_PLAY = 1262;
constexpr int IDC_PREVIEW_STOP = 1018;
constexpr int IDC_PREVIEW_POSITION = 1268;
constexpr int IDC_PREVIEW_TIME = 1130;
constexpr int IDC_PREVIEW_SNAPSHOT = 1272;
constexpr int IDC_PREVIEW_SNAPSHOT_MENU = 1273;
constexpr int IDC_PREVIEW_TITLE = 1274;
constexpr int IDC_PREVIEW_MUTE = 1275;
constexpr int ID_OPEN_SNAPSHOT_FOLDER = 32834;
constexpr int ID_CHANGE_SNAPSHOT_FOLDER = 32835;
constexpr int kPreviewTimerId = 500;
constexpr int kPreviewTimerMs = 300;
// The position bar's message at the end of a drag and on keys (wParam id, lParam position).
constexpr uint32_t WM_BAR_POSITION_DONE = WM_BITMAPSLIDER_MOVED;

// Where snapshots go: [CONFIG] "SNAPOUTPATH" of the settings, or a default.
class ISnapshotFolder {
 public:
  virtual ~ISnapshotFolder() = default;
  // The folder to write into (made when it is the default).
  virtual std::string Read() = 0;
  virtual bool Write(const std::string& folder) = 0;
};

// The video area: paints the newest frame of the window's preview surface
// while a player draws into it, black otherwise. Its window id names the
// surface and the control block.
class CPreviewVideo : public QWidget, public MessageTarget {
 public:
  explicit CPreviewVideo(QWidget* parent = nullptr);
  ~CPreviewVideo() override;
  // Makes (or keeps) the surface for frames up to width x height and starts
  // following it; false when it cannot be made.
  bool BeginFrames(int32_t width, int32_t height);
  // Stops following the surface and shows black again.
  void EndFrames();
  // The last frame painted, and how many frames were taken from the surface.
  const QImage& Frame() const { return frame_; }
  int64_t FrameTime() const { return frameTime_; }  // media time, 100-ns units
  uint32_t FramesTaken() const { return taken_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void timerEvent(QTimerEvent* event) override;
  intptr_t OnMessage(const UiMessage&) override { return 0; }

 private:
  CPreviewSurface surface_;
  QBasicTimer poll_;
  QImage frame_;
  uint32_t counter_ = 0;
  uint32_t taken_ = 0;
  int64_t frameTime_ = 0;
};

class CDlgPreview : public UiDialog {
 public:
  // starter: how players start (the engine when null); folder: where
  // snapshots go (nowhere when null: snapshots are then not taken). Not owned.
  explicit CDlgPreview(QWidget* parent = nullptr, IPlayerStarter* starter = nullptr, ISnapshotFolder* folder = nullptr);
  ~CDlgPreview() override;

  // The task to play next; null stops any playback and disables play.
  void SetTask(CTask* task);
  // The task is about to be freed: stops when it is the one playing.
  void OnTaskRemoved(const CTask* task);

  // What the panel holds, for its owner and tests.
  IPlayerSession* Session() const { return session_.get(); }
  bool Paused() const { return paused_ != 0; }
  bool Muted() const { return muted_ != 0; }
  const CTask* ChosenTask() const { return chosen_; }
  const CTask* PlayingTask() const { return playing_; }
  const CTask& PreviewTask() const { return preview_; }
  CPreviewVideo* Video() const { return video_; }
  uint32_t VideoWindow() const;
  CBitmapSlider* PositionBar() const { return bar_; }
  CImageButton* Button(int id) const;
  // The file the last snapshot was written to; empty when none was.
  const std::string& LastSnapshot() const { return lastSnapshot_; }
  // The last reason a player did not start.
  const std::string& LastError() const { return lastError_; }

  bool OnCommand(int id, int code) override;

 protected:
  bool OnInitDialog() override;
  void OnOK() override {}
  void OnCancel() override {}
  void OnClose() override {}
  void OnTimer(int id) override;
  void OnDestroy() override;
  intptr_t OnMessage(const UiMessage& message) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void PaintFrame();
  void OnPlay();
  void StartPlayer();
  void OnStop();
  void OnSnapshot();
  void OnSnapshotMenu();
  void OnMute();
  void OnSeek();
  void SetIdleLook();
  void SetPlayingLook();
  void EndSession();

  IPlayerStarter* starter_;
  ISnapshotFolder* folder_;
  CPreviewVideo* video_ = nullptr;
  CBitmapSlider* bar_ = nullptr;
  std::unique_ptr<IPlayerSession> session_;
  int32_t muted_ = 0;
  int32_t paused_ = 0;
  CTask* chosen_ = nullptr;
  const CTask* playing_ = nullptr;
  CTask preview_;
  std::string lastSnapshot_;
  std::string lastError_;
};
