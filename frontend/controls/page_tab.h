// A tab control that shows one child dialog per tab in its display area.
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <vector>

class QTabBar;
class UiDialog;

// Sent to the parent window when the user selects another tab: wParam is the
// tab index, lParam 0.
constexpr uint32_t WM_PAGE_TAB_CHANGED = 3030;

class CPageTabCtrl : public QWidget {
 public:
  explicit CPageTabCtrl(QWidget* parent = nullptr);
  ~CPageTabCtrl() override;

  // Opens the page (a dialog the caller owns) as a hidden child of the
  // control, adds a tab with the caption at the end and, when no page is
  // shown yet, shows page 0. false for a null page.
  bool AddPage(const QString& caption, UiDialog* page);
  // Moves the page to the display area and shows it, hiding the one shown
  // before. Indexes not below the tab count are ignored. The tab selection
  // does not change (see SetCurSel).
  void SelectPage(int index);

  int CurrentPage() const { return current_; }
  int GetItemCount() const;
  UiDialog* Page(int index) const;
  // The selected tab, -1 when none; setting it sends no message.
  int GetCurSel() const;
  void SetCurSel(int index);
  // Where pages are shown: the client area less the tabs and the frame.
  QRect DisplayRect() const;
  QTabBar* TabBar() const { return tabs_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OnSelChange(int tab);
  void LayoutTabs();

  QTabBar* tabs_;
  std::vector<QPointer<UiDialog>> pages_;
  int current_ = -1;
  bool settingSelection_ = false;
};
