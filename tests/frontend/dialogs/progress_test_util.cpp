#include "progress_test_util.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QTimer>

#include "frontend/dialogs/log_list.h"
#include "frontend/ui/modal_script.h"

ProgressRun RunProgress(CDlgConvertProgress& dlg, const std::function<void(CDlgConvertProgress&, int64_t)>& poll,
                        int64_t limitMs) {
  ProgressRun run;
  QElapsedTimer clock;
  ModalScript script;
  script.Then([&](UiDialog&) {
    run.loopStarted = true;
    auto* timer = new QTimer(&dlg);
    QObject::connect(timer, &QTimer::timeout, &dlg, [&, timer] {
      if (!dlg.InModalLoop()) {
        timer->stop();
        return;
      }
      const int64_t now = clock.elapsed();
      if (now > limitMs + 20000) {
        dlg.EndDialog(-1);
        return;
      }
      if (now > limitMs && !run.watchdog) {
        run.watchdog = true;
        dlg.OnCommand(IDC_PROGRESS_STOP, BN_CLICKED);
        return;
      }
      if (poll) poll(dlg, now);
    });
    timer->start(50);
  });
  clock.start();
  run.result = dlg.DoModal();
  run.ms = clock.elapsed();
  return run;
}

void Click(CDlgConvertProgress& dlg, int id) {
  if (auto* button = dlg.ItemAs<QAbstractButton>(id)) button->click();
}

std::vector<std::string> LogRows(const CDlgConvertProgress& dlg) {
  std::vector<std::string> rows;
  const CLogListCtrl* list = dlg.LogList();
  for (int r = 0; list && r < list->RowCount(); ++r)
    rows.push_back((list->Text(r, 0) + "|" + list->Text(r, 1)).toStdString());
  return rows;
}

std::string Text(const CDlgConvertProgress& dlg, int id) { return dlg.ItemText(id).toStdString(); }
