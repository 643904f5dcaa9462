// A title view for the tests: keeps the rows the DVD loader adds, in the order
// the main window shows them (a checked row under the root goes first), and
// the calls it got.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "frontend/model/dvd_titles.h"

class TitleViewRecorder final : public IDvdTitleView {
 public:
  struct Row {
    CTask* task = nullptr;
    std::string text;
    const Row* parent = nullptr;
    bool checked = false;
  };

  void BeginLoad() override {
    calls.push_back("begin");
    rows_.clear();
    order.clear();
    selected = nullptr;
  }
  IDvdTitleView::Row AddTaskRow(CTask& task, const std::string& text, IDvdTitleView::Row parent,
                                bool checked) override {
    const Row& row = rows_.emplace_back(Row{&task, text, static_cast<const Row*>(parent), checked});
    if (!parent && checked)
      order.insert(order.begin(), &row);
    else
      order.push_back(&row);
    return &row;
  }
  void SelectRow(IDvdTitleView::Row row) override {
    calls.push_back("select " + static_cast<const Row*>(row)->text);
    selected = static_cast<const Row*>(row);
  }
  void EndLoad() override { calls.push_back("end"); }

  // Rows directly under the root, in the order shown.
  std::vector<const Row*> Titles() const {
    std::vector<const Row*> titles;
    for (const Row* r : order)
      if (!r->parent) titles.push_back(r);
    return titles;
  }
  std::vector<const Row*> ChildrenOf(const Row* title) const {
    std::vector<const Row*> children;
    for (const Row* r : order)
      if (r->parent == title) children.push_back(r);
    return children;
  }

  std::vector<const Row*> order;  // root rows (checked first) and chapter rows, as added
  std::vector<std::string> calls;
  const Row* selected = nullptr;

 private:
  std::deque<Row> rows_;
};
