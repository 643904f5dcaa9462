// A property sheet: pages in tabs with OK and Cancel, to which pages can be
// added while it is on screen.
//
// A page is a CPropertyPage (a dialog built from its template, its caption the
// tab's text). The sheet creates a page as a child the first time it is
// shown; OnSetActive runs each time it is shown, OnKillActive when the user
// leaves it (false keeps it), OnApply for every created page on OK.
#pragma once

#include <QString>
#include <vector>

#include "frontend/ui/ui_dialog.h"

class QTabWidget;
class CMyPropSheet;

class CPropertyPage : public UiDialog {
 public:
  explicit CPropertyPage(const DialogTemplate& tpl);

  // The tab's text: the template's caption.
  QString Title() const { return windowTitle(); }
  CMyPropSheet* Sheet() const { return sheet_; }

  virtual bool OnSetActive() { return true; }
  virtual bool OnKillActive() { return true; }
  virtual bool OnApply() { return true; }

 protected:
  // Enter and Esc on a page press the sheet's OK and Cancel.
  void OnOK() override;
  void OnCancel() override;

 private:
  friend class CMyPropSheet;
  CMyPropSheet* sheet_ = nullptr;
};

class CMyPropSheet : public UiDialog {
 public:
  // The caption, the owner window and the page shown first.
  CMyPropSheet(const QString& caption, QWidget* parent = nullptr, int startPage = 0);
  ~CMyPropSheet() override;

  // Appends a page (the caller owns it and keeps it alive as long as the
  // sheet). On an open sheet its tab appears at once and the sheet grows to
  // fit it. false for a null page or one already added.
  bool AddPage(CPropertyPage* page);
  int GetPageCount() const { return static_cast<int>(pages_.size()); }
  CPropertyPage* GetPage(int index) const;
  // The page shown, -1 when none.
  int GetActiveIndex() const;
  // Shows a page (its OnKillActive may refuse to leave the current one).
  bool SetActivePage(int index);
  QTabWidget* Tabs() const { return tabs_; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  void OnDestroy() override;

 private:
  void Relayout();
  void Activate(int index);
  void OnTabChosen(int index);

  std::vector<CPropertyPage*> pages_;
  std::vector<bool> created_;
  QTabWidget* tabs_ = nullptr;
  int startPage_ = 0;
  int current_ = -1;
  bool switching_ = false;
};
