#include "frontend/dialogs/log_list.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QScrollBar>

class LogLinesModel : public QAbstractTableModel {
 public:
  LogLinesModel(const LogLines& lines, size_t first, QObject* parent)
      : QAbstractTableModel(parent), lines_(lines), first_(first), shown_(Available()) {}

  size_t Available() const { return lines_.size() > first_ ? lines_.size() - first_ : 0; }

  // Rows for the lines added since the last call; whether there were any.
  bool TakeNew() {
    const size_t now = Available();
    if (now <= shown_) return false;
    beginInsertRows(QModelIndex(), static_cast<int>(shown_), static_cast<int>(now - 1));
    shown_ = now;
    endInsertRows();
    return true;
  }

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : static_cast<int>(shown_); }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 2; }

  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid() || static_cast<size_t>(index.row()) >= shown_) return {};
    const LogLines::Line& line = lines_[first_ + static_cast<size_t>(index.row())];
    const std::string& text = index.column() == 0 ? line.time : line.text;
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
  }

  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    return section == 0 ? QStringLiteral("Time") : QStringLiteral("Info");
  }

 private:
  const LogLines& lines_;
  size_t first_;
  size_t shown_;
};

CLogListCtrl::CLogListCtrl(const LogLines& lines, size_t first, QWidget* parent)
    : QTreeView(parent), model_(new LogLinesModel(lines, first, this)) {
  setModel(model_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  header()->setStretchLastSection(false);
  setColumnWidth(0, 100);
  setColumnWidth(1, 300);
}

CLogListCtrl::~CLogListCtrl() = default;

void CLogListCtrl::Refresh() {
  QScrollBar* bar = verticalScrollBar();
  const bool atEnd = bar->value() >= bar->maximum();
  if (model_->TakeNew() && atEnd) scrollToBottom();
}

int CLogListCtrl::RowCount() const { return model_->rowCount(QModelIndex()); }

QString CLogListCtrl::Text(int row, int column) const {
  return model_->data(model_->index(row, column), Qt::DisplayRole).toString();
}
