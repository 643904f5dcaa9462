#pragma once
// Main-title vote: presses the buttons of the disc's menus and counts the titles they reach.

#include <cstdint>
#include <memory>
#include <vector>

#include <dvdnav/dvdnav.h>

struct DvdVoteList {
  std::vector<int32_t> records;  // title + 100 * part, in the order found
  int64_t budget = 0;            // navigator events left for the whole vote
  bool exhausted = false;
};

constexpr int64_t kDvdVoteEventBudget = 200000;
constexpr int kDvdVoteEventsPerLevel = 20000;

// Most-voted title (1..99) or 0 when there is no usable menu, no button led to a title,
// or the vote ran out of its event budget. Leaves the navigator somewhere in the menus.
int DvdFindMainTitle(dvdnav_t* nav);
// The same with a given event budget.
int DvdFindMainTitle(dvdnav_t* nav, int64_t budget);

// One level of the menu walk.
void DvdWalkMenuButtons(dvdnav_t* nav, int depth, DvdVoteList& list);

// A copy of the navigator (state and virtual machine) that the walk presses buttons in,
// so the navigator itself stays at the menu; null when it cannot be made.
void DvdNavFreeSnapshot(dvdnav_t* snapshot);
struct DvdNavSnapshotFree {
  void operator()(dvdnav_t* snapshot) const { DvdNavFreeSnapshot(snapshot); }
};
using DvdNavSnapshotPtr = std::unique_ptr<dvdnav_t, DvdNavSnapshotFree>;
DvdNavSnapshotPtr DvdNavSnapshot(dvdnav_t* nav);

// Title with the most records (the lowest on a tie), 0 when none counts.
int DvdCountVotes(const std::vector<int32_t>& records);
