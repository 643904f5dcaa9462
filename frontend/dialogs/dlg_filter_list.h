// The filter picker: the filters of a catalogue by name, the chosen one's
// description below; a double click or OK takes the selected filter.
#pragma once

#include <vector>

#include "frontend/model/profile_db.h"
#include "frontend/ui/ui_dialog.h"

constexpr int IDD_FILTER_LIST = 121;
constexpr int IDC_FILTER_LIST = 1001;
constexpr int IDC_FILTER_DESCRIPTION = 1130;

inline constexpr char kSelectFilterMessage[] = "Select a filter to add to the filter graph.";

class CDlgFilterList : public UiDialog {
 public:
  explicit CDlgFilterList(QWidget* parent = nullptr);
  // The catalogue (not owned; it outlives the dialog).
  void SetCatalogue(const std::vector<FilterDesc>* catalogue) { catalogue_ = catalogue; }
  // After IDOK: the chosen entry of the catalogue.
  const FilterDesc* Chosen() const { return chosen_; }

  bool OnCommand(int id, int code) override;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  const FilterDesc* Selected() const;

  const std::vector<FilterDesc>* catalogue_ = nullptr;
  const FilterDesc* chosen_ = nullptr;
};
