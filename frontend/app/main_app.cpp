#include "frontend/app/main_app.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItem>
#include <cstdio>
#include <memory>

#include "common/codec_tables.h"
#include "frontend/app/app_settings.h"
#include "frontend/app/codec_availability.h"
#include "frontend/app/dlg_dvd_main.h"
#include "frontend/app/product.h"
#include "frontend/app/user_folders.h"
#include "frontend/controls/column_tree.h"
#include "frontend/dialogs/dlg_convert_done.h"
#include "frontend/dialogs/dlg_frame_rate.h"
#include "frontend/model/profile_db.h"
#include "frontend/model/profile_lookup.h"
#include "frontend/model/profile_settings.h"
#include "frontend/model/profile_store.h"
#include "frontend/model/vfw_driver.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/resources.h"
#include "platform/named_objects.h"

namespace {

// Message boxes of an unattended run: printed, answered with their default.
class StderrMessageSink final : public MessageBoxSink {
 public:
  StderrMessageSink() : previous_(SetMessageBoxSink(this)) {}
  ~StderrMessageSink() override { SetMessageBoxSink(previous_); }
  int Show(const MessageBoxRequest& request) override {
    std::fprintf(stderr, "velmo: message: %s\n", request.text.c_str());
    return DefaultMessageBoxAnswer(request.flags);
  }

 private:
  MessageBoxSink* previous_;
};

void PrintRows(CColumnTreeCtrl& tree, QTreeWidgetItem* row, int depth) {
  std::string line(static_cast<size_t>(depth) * 4, ' ');
  line += tree.Tree().GetCheck(row) == 2 ? "[x]" : tree.Tree().GetCheck(row) == 1 ? "[-]" : "[ ]";
  for (int c = 0; c < tree.ColumnCount(); ++c) line += "\t" + CColumnTreeCtrl::GetItemText(row, c).toStdString();
  std::printf("row:%s\n", line.c_str());
  for (int i = 0; i < row->childCount(); ++i) PrintRows(tree, row->child(i), depth + 1);
}

void PrintCombo(const char* name, QComboBox* combo) {
  for (int i = 0; i < combo->count(); ++i)
    std::printf("%s:%c%s\n", name, i == combo->currentIndex() ? '*' : ' ', combo->itemText(i).toStdString().c_str());
}

// The tree and the selection panel as text, for the unattended run.
void PrintWindow(CDlgDvdMain& window) {
  CColumnTreeCtrl& tree = *window.TitleTree();
  CCustomTreeChildCtrl& t = tree.Tree();
  for (int i = 0; i < t.topLevelItemCount(); ++i) PrintRows(tree, t.topLevelItem(i), 0);
  QTreeWidgetItem* current = t.currentItem();
  std::printf("selected:%s\n", current ? CColumnTreeCtrl::GetItemText(current, 0).toStdString().c_str() : "");
  PrintCombo("audio", window.ItemAs<QComboBox>(IDC_AUDIO_TRACK));
  PrintCombo("subtitle", window.ItemAs<QComboBox>(IDC_SUBTITLE_TRACK));
  PrintCombo("deinterlace", window.ItemAs<QComboBox>(IDC_DEINTERLACE));
  PrintCombo("profile", window.ItemAs<QComboBox>(IDC_PROFILE));
  std::fflush(stdout);
}

// The dialogs of an unattended run: the frame-rate list is accepted as it
// opens; the completion dialog has its rows printed, is pictured into a PNG
// (when one is asked for) and is closed.
class UnattendedRun final : public QObject {
 public:
  explicit UnattendedRun(std::string picture) : picture_(std::move(picture)) { qApp->installEventFilter(this); }
  ~UnattendedRun() override { qApp->removeEventFilter(this); }
  bool pictureFailed = false;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show) return false;
    auto* dialog = dynamic_cast<UiDialog*>(watched);
    if (dialog == nullptr || !dialog->InModalLoop()) return false;
    if (dialog->TemplateId() == IDD_FRAME_RATE_LIST) {
      QTimer::singleShot(0, dialog, [dialog] { dialog->OnCommand(IDOK, BN_CLICKED); });
    } else if (dialog->TemplateId() == IDD_CONVERT_DONE) {
      QTimer::singleShot(0, dialog, [this, dialog] { Finish(*static_cast<CDlgConvertDone*>(dialog)); });
    }
    return false;
  }

 private:
  void Finish(CDlgConvertDone& done) {
    QTreeWidget* rows = done.ResultRows();
    for (int i = 0; i < rows->topLevelItemCount(); ++i)
      std::printf("done:%s\t%s\n", rows->topLevelItem(i)->text(0).toStdString().c_str(),
                  rows->topLevelItem(i)->text(1).toStdString().c_str());
    std::fflush(stdout);
    if (!picture_.empty() && !done.grab().toImage().save(QString::fromStdString(picture_), "PNG")) {
      std::fprintf(stderr, "velmo: cannot write the picture %s\n", picture_.c_str());
      pictureFailed = true;
    }
    done.EndDialog(IDOK);
  }

  std::string picture_;
};

// The profile named "NODE/NUMBER" or by its display name as the window's output choice.
bool UseProfile(CDlgDvdMain& window, const std::string& name, std::string& message) {
  std::string node;
  OutputProfile profile;
  if (!FindNamedProfile(name, node, profile)) {
    message = "no profile named \"" + name + "\" in the profile tree";
    return false;
  }
  OutputSettings settings;
  if (!SettingsFromProfile(profile, settings, &message)) return false;
  return window.UseOutputChoice(settings, node, profile.number, node + "/" + profile.displayName, message);
}

}  // namespace

bool CMainApp::InitInstance(const AppStartOptions& options) {
  // Blocks of this user's programs that were killed: nobody holds them any more.
  RemoveLeftoverObjects();
  LoadOptionSettings();
  // This instance's preview pictures; folders of velmo processes that died are swept first.
  GetPreviewDir();
  // Profiles: the program folder's files, answered by the packed store when it
  // loads, under the per-user overlay.
  SetProfileFolders(ProfileFolders{ModulePath(), GetUserDataDir()});
  TheProfileIniCache().Load(ModulePath().c_str(), (ModulePath() + "/formats.dat").c_str());
  // Missing table files leave the tables empty; lookups then find nothing.
  LoadCodecTables(ModulePath());
  if (!IsVp6Installed()) RegisterVp6Codec();
  // Codec drivers are looked up in the same registry files.
  SetVfwDriverFolders(VfwDriverFolders{DefaultRegistryFiles(), ModulePath() + "/plugin"});
  SetAppName(kProductDisplayName);
  QCoreApplication::setApplicationName(QStringLiteral("velmo"));
  if (options.exitAfterInit) return false;
  QApplication::setWindowIcon(LoadProgramIcon());

  const bool unattended = !options.screenshot.empty() || options.exitWhenDone;
  std::unique_ptr<StderrMessageSink> quietBoxes;
  if (unattended) quietBoxes = std::make_unique<StderrMessageSink>();
  auto mainWindow = std::make_unique<CDlgDvdMain>();
  CDlgDvdMain* window = mainWindow.get();
  if (!options.loadDvd.empty() || unattended || options.convertChecked || !options.profile.empty()) {
    // Runs in the window's loop, once it shows.
    QTimer::singleShot(0, window, [this, window, options, unattended] {
      // Set here: the window reads the saved folder as it opens.
      if (!options.outputFolder.empty()) window->SetOutputFolder(options.outputFolder);
      std::string message;
      if (!options.profile.empty() && !UseProfile(*window, options.profile, message)) {
        std::fprintf(stderr, "velmo: %s\n", message.c_str());
        status_ = 2;
        window->EndDialog(IDCANCEL);
        return;
      }
      if (!options.loadDvd.empty() && !window->LoadDisc(options.loadDvd)) status_ = 1;
      if (options.convertChecked && status_ == 0) {
        std::unique_ptr<UnattendedRun> run;
        if (unattended) run = std::make_unique<UnattendedRun>(options.screenshot);
        if (window->OnConvertNow() != CDlgDvdMain::kConvertAllDone) status_ = 1;
        if (run && run->pictureFailed) status_ = 1;
      }
      if (!unattended) return;
      QTimer::singleShot(0, window, [this, window, options] {
        PrintWindow(*window);
        if (!options.screenshot.empty() && !options.convertChecked &&
            !window->grab().toImage().save(QString::fromStdString(options.screenshot), "PNG")) {
          std::fprintf(stderr, "velmo: cannot write the picture %s\n", options.screenshot.c_str());
          status_ = 1;
        }
        window->EndDialog(IDOK);
      });
    });
  }
  mainWindow->DoModal();
  return false;
}

int CMainApp::ExitInstance() {
  RemovePreviewDir();
  FreeCodecTables();
  TheProfileIniCache().Free();
  return status_;
}

std::string CMainApp::StartupReport() const {
  const OptionSettings* o = GetOptionSettings();
  std::string report;
  report += "MODE=" + std::to_string(o->mode) + "\n";
  report += "PREFRAME=" + std::to_string(o->preframe) + "\n";
  report += "OVERWRITE=" + std::to_string(o->overwrite) + "\n";
  report += "PRESEC=" + std::to_string(o->presec) + "\n";
  report += "DATA=" + GetUserDataDir() + "\n";
  report += "CONFIG=" + GetUserConfigDir() + "\n";
  report += "PREVIEW=" + GetPreviewDir() + "\n";
  report += "OUTPUT=" + ReadConvertOutPath() + "\n";
  report += "CODECS=" + std::to_string(TheVfccTable().Entries().size()) + "\n";
  report += std::string("VP6=") + (IsVp6Installed() ? "1" : "0") + "\n";
  return report;
}
