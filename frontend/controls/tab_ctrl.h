// A tab control: a row of tabs over a framed display area in which the owner
// places its pages as children. A tab the user picks is told to the parent as
// a TCN_SELCHANGE notification; selecting from code tells nothing.
#pragma once

#include <QString>
#include <QWidget>

class QTabBar;

class CTabCtrl : public QWidget {
 public:
  explicit CTabCtrl(QWidget* parent = nullptr);

  // The new tab's index.
  int InsertItem(int index, const QString& text);
  void DeleteAllItems();
  int GetItemCount() const;
  QString GetItemText(int index) const;
  // The selected tab, -1 for none.
  int GetCurSel() const;
  // Selects a tab; the previous selection.
  int SetCurSel(int index);
  // The area inside the frame below the tabs, in this control's coordinates.
  QRect DisplayRect() const;
  QTabBar* Bar() const { return bar_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  int BarHeight() const;

  QTabBar* bar_;
  bool quiet_ = false;
};
