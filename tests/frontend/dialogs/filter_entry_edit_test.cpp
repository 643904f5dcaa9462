// Editing a task's filter entry through a settings object: the entry found
// without case or appended as a user filter, the text kept only when accepted
// and short enough, the task untouched otherwise.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "frontend/dialogs/filter_entry_edit.h"
#include "frontend/model/task.h"
#include "frontend/ui/filter_setup.h"
#include "frontend/ui/message_box.h"

namespace {

// A settings object that records the text it was given and answers as told.
class FakeSetup : public IFilterSetup {
 public:
  HRESULT editResult = S_OK;
  std::string answer;
  std::string given;
  HRESULT Edit(QWidget*) override { return editResult; }
  HRESULT SetParams(const void* bytes, uint32_t length) override {
    given.assign(static_cast<const char*>(bytes), length);
    if (!given.empty() && given.back() == '\0') given.pop_back();
    return S_OK;
  }
  HRESULT GetParams(void* buffer, uint32_t* length) override {
    const uint32_t needed = static_cast<uint32_t>(answer.size() + 1);
    if (buffer == nullptr || *length < needed) {
      *length = needed;
      return SETUP_E_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, answer.c_str(), needed);
    *length = needed;
    return S_OK;
  }
};

std::vector<std::string> Entries(CTask& task) {
  std::vector<std::string> out;
  for (const FilterEntry& f : task.VideoFilters())
    out.push_back(std::string(f.key) + "|" + std::to_string(f.flags) + "|" + f.params);
  return out;
}

TEST(FilterEntryEdit, FindsOrAppendsTheEntryAndKeepsOnlyAnAcceptedShortText) {
  struct Case {
    const char* what;
    bool hasEntry;
    HRESULT edit;
    size_t answerSize;
    std::vector<std::string> after;
    bool changed;
    size_t boxes;
  };
  const std::vector<Case> cases = {
      {"an entry of another case is edited in place",
       true,
       S_OK,
       10,
       {"VRESIZE|1|r", "vsubtitle|2|aaaaaaaaaa"},
       true,
       0},
      {"no entry: one is appended", false, S_OK, 5, {"VRESIZE|1|r", "VSUBTITLE|2|aaaaa"}, true, 0},
      {"cancelled: nothing added", false, S_FALSE, 5, {"VRESIZE|1|r"}, false, 0},
      {"1023 bytes and the NUL are too long", true, S_OK, 1023, {"VRESIZE|1|r", "vsubtitle|2|old"}, false, 1},
      {"1022 bytes are kept", false, S_OK, 1022, {"VRESIZE|1|r", "VSUBTITLE|2|" + std::string(1022, 'a')}, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CTask task;
    task.AppendVideoFilter("VRESIZE", "r", 1);
    if (c.hasEntry) task.AppendVideoFilter("vsubtitle", "old", 2);
    FakeSetup setup;
    setup.editResult = c.edit;
    setup.answer = std::string(c.answerSize, 'a');
    MessageBoxRecorder boxes;
    EXPECT_EQ(EditVideoFilterEntry(nullptr, task, "VSUBTITLE", setup), c.changed);
    EXPECT_EQ(setup.given, c.hasEntry ? "old" : "");
    EXPECT_EQ(Entries(task), c.after);
    EXPECT_EQ(boxes.Shown().size(), c.boxes);
  }
}

}  // namespace
