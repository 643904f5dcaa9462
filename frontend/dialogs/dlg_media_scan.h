// The media scan: a small modal dialog that probes a list of files with the
// engine on a worker thread, one after another, showing the file being
// probed above an endless sliding strip. It ends only when every file has
// been probed; Enter, Esc and the close box do nothing meanwhile.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/media_info_record.h"
#include "frontend/ui/ui_dialog.h"

constexpr int IDD_MEDIA_SCAN = 131;
constexpr int IDC_SCAN_STATUS = 1144;
constexpr int IDC_SCAN_DONE = 1256;  // hidden; the worker's command when it has finished
constexpr int IDB_SCAN_STRIP = 133;
constexpr int kScanTimerId = 100;

using MediaInfoRecords = std::vector<std::unique_ptr<MediaInfoRecord>>;

class ScanStrip;

class CDlgMediaScan : public UiDialog {
 public:
  CDlgMediaScan();
  ~CDlgMediaScan() override;

  // In: the files and the probe number. Out: one record per file, in order,
  // appended by the worker (read them once the dialog has ended).
  std::vector<std::string> paths;
  int32_t probeNumber = 0;
  MediaInfoRecords* records = nullptr;

  // Animation steps so far; the strip's rectangle in client coordinates.
  int Counter() const { return counter_; }
  QRect StripRect() const;

 protected:
  bool OnInitDialog() override;
  void OnOK() override {}
  void OnCancel() override {}
  bool OnCommand(int id, int code) override;
  void OnTimer(int id) override;
  intptr_t OnMessage(const UiMessage& message) override;

 private:
  std::thread worker_;
  int counter_ = 0;
  ScanStrip* strip_ = nullptr;
};

// Probes every file (as ProbeMedia does, with the probe number) in a modal
// scan dialog; records gets one record per path, in input order, failed
// probes included (their RET tells the failure). Always true.
bool ScanMediaFiles(const std::vector<std::string>& paths, MediaInfoRecords& records, int32_t probeNumber);

// The strip picture: bitmap 133 of the resources, or a drawn one of the same size.
QImage ScanStripPicture();
