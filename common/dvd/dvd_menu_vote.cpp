#include "common/dvd/dvd_menu_vote.h"

#include <algorithm>
#include <array>

#include "common/dvd/dvd_title_reader.h"
#include "common/dvd/dvd_trace.h"

namespace {

constexpr int kMaxButtons = 36;
constexpr int kMenuDepth = 3;

// Takes one event from the budget; false when the budget is spent.
bool Spend(DvdVoteList& list) {
  if (list.budget <= 0) {
    list.exhausted = true;
    return false;
  }
  --list.budget;
  return true;
}

// Presses each button of the current menu in a snapshot and walks on from there.
void PressButtons(dvdnav_t* nav, int buttons, int depth, DvdVoteList& list) {
  DvdTrace("%d buttons\n", buttons);
  for (int b = 1; b <= buttons && !list.exhausted; ++b) {
    if (!Spend(list)) return;
    const DvdNavSnapshotPtr copy = DvdNavSnapshot(nav);
    if (!copy) continue;
    pci_t* pci = dvdnav_get_current_nav_pci(copy.get());
    if (dvdnav_button_select(copy.get(), pci, b) == DVDNAV_STATUS_OK &&
        dvdnav_button_activate(copy.get(), pci) == DVDNAV_STATUS_OK)
      DvdWalkMenuButtons(copy.get(), depth - 1, list);
  }
}

}  // namespace

DvdNavSnapshotPtr DvdNavSnapshot(dvdnav_t* nav) {
  dvdnav_t* copy = nullptr;
  if (nav == nullptr || dvdnav_dup(&copy, nav) != DVDNAV_STATUS_OK) return nullptr;
  return DvdNavSnapshotPtr(copy);
}

void DvdNavFreeSnapshot(dvdnav_t* snapshot) {
  if (snapshot != nullptr) dvdnav_free_dup(snapshot);
}

void DvdWalkMenuButtons(dvdnav_t* nav, int depth, DvdVoteList& list) {
  if (list.exhausted) return;
  int32_t title = 0;
  int32_t part = 0;
  if (dvdnav_current_title_info(nav, &title, &part) == DVDNAV_STATUS_OK) {
    if (title != 0) {
      list.records.push_back(title + 100 * part);
      return;
    }
    if (depth == 0) return;
  }
  uint8_t block[DVD_VIDEO_LB_LEN];
  for (int i = 0; i < kDvdVoteEventsPerLevel; ++i) {
    if (!Spend(list)) return;
    int32_t event = 0;
    int32_t length = 0;
    if (DvdNextBlock(nav, block, &event, &length) != DVDNAV_STATUS_OK) return;
    switch (event) {
      case DVDNAV_NOP:
      case DVDNAV_NAV_PACKET: {
        const pci_t* pci = dvdnav_get_current_nav_pci(nav);
        if (pci == nullptr || pci->hli.hl_gi.hli_ss == 0 || pci->hli.hl_gi.btn_ns == 0 || depth <= 0) break;
        PressButtons(nav, std::min<int>(pci->hli.hl_gi.btn_ns, kMaxButtons), depth, list);
        return;
      }
      case DVDNAV_STILL_FRAME:
        dvdnav_still_skip(nav);
        break;
      case DVDNAV_WAIT:
        dvdnav_wait_skip(nav);
        break;
      default:
        break;
    }
  }
}

int DvdCountVotes(const std::vector<int32_t>& records) {
  std::array<int32_t, 100> counts{};
  for (int32_t record : records) {
    const int32_t title = record % 100;
    if (title >= 1 && title <= 99) ++counts[title];
  }
  int best = 0;
  for (int t = 1; t <= 99; ++t)
    if (counts[t] > counts[best]) best = t;
  return counts[best] > 0 ? best : 0;
}

int DvdFindMainTitle(dvdnav_t* nav, int64_t budget) {
  if (nav == nullptr) return 0;
  if (dvdnav_set_PGC_positioning_flag(nav, 1) != DVDNAV_STATUS_OK) return 0;
  if (dvdnav_title_play(nav, 1) != DVDNAV_STATUS_OK) return 0;
  if (dvdnav_menu_call(nav, DVD_MENU_Title) != DVDNAV_STATUS_OK &&
      dvdnav_menu_call(nav, DVD_MENU_Root) != DVDNAV_STATUS_OK)
    return 0;
  DvdVoteList list{{}, budget, false};
  DvdWalkMenuButtons(nav, kMenuDepth, list);
  if (list.exhausted) {
    DvdTrace("menu vote stopped after its event budget\n");
    return 0;
  }
  for (int32_t record : list.records) DvdTrace("Title %d,chapter %d\n", record % 100, record / 100);
  return DvdCountVotes(list.records);
}

int DvdFindMainTitle(dvdnav_t* nav) { return DvdFindMainTitle(nav, kDvdVoteEventBudget); }
