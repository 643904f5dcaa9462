// The log list of the progress dialog and the log window: a list view with
// the columns "Time" (100 pixels) and "Info" (300 pixels) and full-row
// selection, showing the program's log lines from a first one on. The lines
// live in the model's LogLines; the list only tells the view what was added,
// so thousands of lines cost no widgets.
#pragma once

#include <QTreeView>
#include <cstddef>

#include "frontend/model/log_reader.h"

class LogLinesModel;

class CLogListCtrl : public QTreeView {
 public:
  // Shows lines[first...] as they are when constructed and after each Refresh.
  explicit CLogListCtrl(const LogLines& lines, size_t first = 0, QWidget* parent = nullptr);
  ~CLogListCtrl() override;

  // Takes in the lines added since the last call; a view scrolled to the
  // last row follows the new ones.
  void Refresh();

  int RowCount() const;
  // The text of a row's column (0 time, 1 line).
  QString Text(int row, int column) const;

 private:
  LogLinesModel* model_;
};
