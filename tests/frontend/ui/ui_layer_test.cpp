// The Qt layer: dialog units, templates and items, commands, timers, posted
// and sent messages, message boxes, modal loops, Enter and Esc.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <atomic>
#include <thread>
#include <vector>

#include "example_dialog.h"
#include "frontend/ui/message_box.h"
#include "frontend/ui/modal_script.h"
#include "frontend/ui/ui_dialog.h"
#include "qt_test_util.h"

namespace {

// ---- dialog units ----

TEST(DialogUnits, MulDivRoundsHalfAwayFromZero) {
  struct Case {
    int a, b, c, want;
  } cases[] = {
      {7, 6, 4, 11}, {339, 6, 4, 509}, {145, 13, 8, 236}, {20, 13, 8, 33}, {-7, 6, 4, -11}, {7, -6, 4, -11},
      {0, 6, 4, 0},  {1, 1, 0, -1},    {5, 1, 2, 3},      {4, 1, 8, 1},    {3, 1, 8, 0},    {1 << 30, 4, 8, 1 << 29},
  };
  for (const Case& c : cases) EXPECT_EQ(MulDivRound(c.a, c.b, c.c), c.want) << c.a << "*" << c.b << "/" << c.c;
}

TEST(DialogUnits, RectanglesConvertByTheBaseUnits) {
  DialogBaseUnits tahoma{6, 13};
  EXPECT_EQ(DialogUnitsToPixels(QRect(7, 20, 339, 145), tahoma), QRect(11, 33, 509, 236));
  DialogBaseUnits wide{8, 16};
  EXPECT_EQ(DialogUnitsToPixels(QRect(4, 8, 540, 262), wide), QRect(8, 16, 1080, 524));
}

TEST(DialogUnits, BaseUnitsGrowWithTheFont) {
  DialogBaseUnits small = BaseUnitsOf(DialogFont("Tahoma", 8));
  DialogBaseUnits large = BaseUnitsOf(DialogFont("Tahoma", 16));
  EXPECT_GT(small.cx, 2);
  EXPECT_GT(small.cy, 6);
  EXPECT_GT(large.cx, small.cx);
  EXPECT_GT(large.cy, small.cy);
}

TEST(DialogTemplates, ControlsSitWhereTheTemplateSaysInTheDialogsOwnUnits) {
  CDlgExample dlg;
  const DialogBaseUnits& u = dlg.BaseUnits();
  EXPECT_EQ(dlg.Client()->size(), QSize(DialogUnitsToPixelsX(220, u), DialogUnitsToPixelsY(90, u)));
  EXPECT_EQ(dlg.ItemRect(IDC_EXAMPLE_NAME), DialogUnitsToPixels(QRect(50, 7, 163, 14), u));
  EXPECT_EQ(dlg.ItemRect(IDOK), dlg.MapDialogRect(QRect(109, 69, 50, 14)));
  EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Output name"));
  EXPECT_EQ(dlg.DefaultId(), IDOK);
}

// ---- items by id ----

const DialogTemplate kKinds = {
    500,
    "Kinds",
    200,
    150,
    {
        {CtrlKind::Text, 10, "&Label && more", 5, 5, 60, 8},
        {CtrlKind::Edit, 11, "start", 5, 15, 60, 12},
        {CtrlKind::CheckBox, 12, "Check", 5, 30, 60, 10},
        {CtrlKind::CheckBox3, 13, "Three", 5, 42, 60, 10},
        {CtrlKind::Radio, 20, "A", 5, 55, 30, 10, kCtrlGroup},
        {CtrlKind::Radio, 21, "B", 5, 65, 30, 10},
        {CtrlKind::Radio, 22, "C", 5, 75, 30, 10},
        {CtrlKind::Radio, 30, "X", 80, 55, 30, 10, kCtrlGroup},
        {CtrlKind::ComboDropList, 14, "", 80, 5, 60, 80},
        {CtrlKind::EditMulti, 15, "", 80, 90, 100, 30},
        {CtrlKind::PushButton, 16, "Go", 5, 100, 40, 14, kCtrlDisabled},
        {CtrlKind::Placeholder, 17, "", 80, 125, 50, 20},
    },
};

TEST(DialogItems, TextsChecksAndStatesByIdAcrossKinds) {
  UiDialog dlg(kKinds);
  EXPECT_EQ(dlg.ItemText(10), QStringLiteral("Label & more"));
  EXPECT_EQ(dlg.ItemText(11), QStringLiteral("start"));
  dlg.SetItemText(11, QStringLiteral("42"));
  bool ok = false;
  EXPECT_EQ(dlg.ItemInt(11, &ok), 42);
  EXPECT_TRUE(ok);
  dlg.SetItemText(11, QStringLiteral("4x"));
  EXPECT_EQ(dlg.ItemInt(11, &ok), 0);
  EXPECT_FALSE(ok);
  dlg.SetItemText(15, QStringLiteral("two\nlines"));
  EXPECT_EQ(dlg.ItemText(15), QStringLiteral("two\nlines"));

  EXPECT_EQ(dlg.ItemCheck(12), 0);
  dlg.SetItemCheck(12, 1);
  EXPECT_EQ(dlg.ItemCheck(12), 1);
  dlg.SetItemCheck(13, 2);
  EXPECT_EQ(dlg.ItemCheck(13), 2);
  dlg.SetItemCheck(12, 2);  // a two-state box takes 2 as checked
  EXPECT_EQ(dlg.ItemCheck(12), 1);
  EXPECT_EQ(dlg.ItemCheck(11), -1);

  // Radios: one group per run, exclusive inside, independent outside.
  dlg.CheckRadio(20, 22, 21);
  dlg.SetItemCheck(30, 1);
  EXPECT_EQ(dlg.ItemCheck(20), 0);
  EXPECT_EQ(dlg.ItemCheck(21), 1);
  EXPECT_EQ(dlg.ItemCheck(30), 1);
  dlg.ItemAs<QRadioButton>(22)->click();
  EXPECT_EQ(dlg.ItemCheck(21), 0);
  EXPECT_EQ(dlg.ItemCheck(22), 1);
  EXPECT_EQ(dlg.ItemCheck(30), 1);
  dlg.CheckRadio(20, 22, 0);
  EXPECT_EQ(dlg.ItemCheck(22), 0);

  EXPECT_FALSE(dlg.Item(16)->isEnabled());
  dlg.EnableItem(16, true);
  EXPECT_TRUE(dlg.Item(16)->isEnabled());
  dlg.ShowItem(16, false);
  EXPECT_TRUE(dlg.Item(16)->isHidden());

  // Unknown ids are harmless.
  EXPECT_EQ(dlg.Item(999), nullptr);
  dlg.SetItemText(999, QStringLiteral("x"));
  EXPECT_TRUE(dlg.ItemText(999).isEmpty());
  EXPECT_EQ(dlg.ItemCheck(999), -1);
}

TEST(DialogItems, SubclassingPutsTheControlInThePlaceholdersPlace) {
  UiDialog dlg(kKinds);
  QRect place = dlg.ItemRect(17);
  auto* custom = dlg.SubclassItem(17, new QPushButton(QStringLiteral("custom")));
  EXPECT_EQ(dlg.Item(17), custom);
  EXPECT_EQ(custom->geometry(), place);
  EXPECT_EQ(ControlId(custom), 17);
  EXPECT_EQ(custom->parentWidget(), dlg.Client());
}

// A dialog that records what reaches it.
class Recorder : public UiDialog {
 public:
  explicit Recorder(const DialogTemplate& tpl) : UiDialog(tpl) {}
  bool OnCommand(int id, int code) override {
    commands.push_back({id, code});
    return UiDialog::OnCommand(id, code);
  }
  intptr_t OnNotify(const UiNotify& n) override {
    notifies.push_back({n.idFrom, n.code});
    return 7;
  }
  void OnOK() override { ++oks; }
  void OnCancel() override { ++cancels; }
  void OnTimer(int id) override { timerHits.push_back(id); }
  intptr_t OnMessage(const UiMessage& m) override {
    messages.push_back(m);
    onUiThread = onUiThread && QThread::currentThread() == qApp->thread();
    return static_cast<intptr_t>(m.wParam) * 2;
  }
  void OnDestroy() override { ++destroyed; }
  void Open() { Create(); }

  std::vector<std::pair<int, int>> commands;
  std::vector<std::pair<int, int>> notifies;
  std::vector<int> timerHits;
  std::vector<UiMessage> messages;
  bool onUiThread = true;
  int oks = 0;
  int cancels = 0;
  int destroyed = 0;
};

TEST(DialogCommands, ControlsSendTheirIdAndCodeAndNotificationsReachTheDialog) {
  Recorder dlg(kKinds);
  dlg.EnableItem(16, true);
  dlg.ItemAs<QPushButton>(16)->click();
  dlg.ItemAs<QCheckBox>(12)->click();
  auto* combo = dlg.ItemAs<QComboBox>(14);
  combo->addItems({QStringLiteral("a"), QStringLiteral("b")});
  emit combo->activated(1);
  dlg.ItemAs<QLineEdit>(11)->setText(QStringLiteral("typed"));
  std::vector<std::pair<int, int>> want = {{16, BN_CLICKED}, {12, BN_CLICKED}, {14, CBN_SELCHANGE}, {11, EN_CHANGE}};
  EXPECT_EQ(dlg.commands, want);

  EXPECT_EQ(NotifyParent(dlg.Item(16), NM_DBLCLK), 7);
  ASSERT_EQ(dlg.notifies.size(), 1u);
  EXPECT_EQ(dlg.notifies[0], std::make_pair(16, NM_DBLCLK));
}

TEST(DialogCommands, MenuItemsSendTheirIds) {
  Recorder dlg(kKinds);
  dlg.SetMenu(
      {{"&File", 0, {{"&Open", 300, {}}, MenuSeparator(), {"E&xit", 301, {}}}}, {"&Help", 0, {{"&About", 302, {}}}}});
  ASSERT_NE(dlg.MenuAction(301), nullptr);
  EXPECT_EQ(dlg.MenuAction(999), nullptr);
  dlg.MenuAction(301)->trigger();
  dlg.MenuAction(302)->trigger();
  std::vector<std::pair<int, int>> want = {{301, 0}, {302, 0}};
  EXPECT_EQ(dlg.commands, want);
}

// ---- timers ----

TEST(DialogTimers, FireByIdRestartOnSetAndStopOnKillAndClose) {
  Recorder dlg(kKinds);
  dlg.Open();
  ASSERT_TRUE(dlg.SetTimer(5, 10));
  ASSERT_TRUE(dlg.SetTimer(9, 10));
  ASSERT_TRUE(WaitUntil([&] {
    return std::count(dlg.timerHits.begin(), dlg.timerHits.end(), 5) >= 2 &&
           std::count(dlg.timerHits.begin(), dlg.timerHits.end(), 9) >= 2;
  }));
  // Setting an id again replaces its timer rather than adding one.
  ASSERT_TRUE(dlg.SetTimer(5, 10000));
  EXPECT_TRUE(dlg.KillTimer(9));
  EXPECT_FALSE(dlg.KillTimer(9));
  EXPECT_FALSE(dlg.HasTimer(9));
  dlg.timerHits.clear();
  Pump(120);
  EXPECT_TRUE(dlg.timerHits.empty());
  // Closing the dialog ends its timers.
  ASSERT_TRUE(dlg.SetTimer(5, 5));
  dlg.DestroyWindow();
  EXPECT_FALSE(dlg.HasTimer(5));
  dlg.timerHits.clear();
  Pump(60);
  EXPECT_TRUE(dlg.timerHits.empty());
  EXPECT_EQ(dlg.destroyed, 1);
}

// ---- messages ----

struct Payload {
  explicit Payload(std::atomic<int>* freed) : freed_(freed) {}
  ~Payload() { ++*freed_; }
  std::atomic<int>* freed_;
};

TEST(DialogMessages, PostsFromWorkerThreadsArriveInOrderOnTheUiThread) {
  Recorder dlg(kKinds);
  dlg.Open();
  WindowId id = dlg.Handle();
  ASSERT_NE(id, 0u);
  std::atomic<int> freed{0};
  std::atomic<int> accepted{0};
  std::thread worker([&] {
    for (int i = 0; i < 50; ++i) {
      if (PostMessage(id, WM_APP + 1, static_cast<uint64_t>(i), -i, std::make_shared<Payload>(&freed))) ++accepted;
    }
  });
  worker.join();
  EXPECT_EQ(accepted, 50);
  ASSERT_TRUE(WaitUntil([&] { return dlg.messages.size() == 50; }));
  for (int i = 0; i < 50; ++i) {
    EXPECT_EQ(dlg.messages[i].wParam, static_cast<uint64_t>(i));
    EXPECT_EQ(dlg.messages[i].lParam, -i);
  }
  EXPECT_TRUE(dlg.onUiThread);
  dlg.messages.clear();
  EXPECT_EQ(freed, 50);
}

TEST(DialogMessages, PostsToAClosedWindowAreDroppedAndTheirPayloadsFreed) {
  std::atomic<int> freed{0};
  WindowId id = 0;
  {
    Recorder dlg(kKinds);
    dlg.Open();
    id = dlg.Handle();
    // Queued while open, then the window closes before the loop runs.
    std::thread worker([&] {
      for (int i = 0; i < 10; ++i) PostMessage(id, WM_APP + 2, 0, 0, std::make_shared<Payload>(&freed));
    });
    worker.join();
    dlg.DestroyWindow();
    EXPECT_EQ(dlg.Handle(), 0u);
    Pump(30);
    EXPECT_TRUE(dlg.messages.empty());
    EXPECT_EQ(freed, 10);
    // After closing, posting fails at once.
    EXPECT_FALSE(PostMessage(id, WM_APP + 3, 0, 0, std::make_shared<Payload>(&freed)));
    EXPECT_EQ(freed, 11);
  }
  // The object itself gone: still refused, from any thread.
  std::atomic<bool> posted{true};
  std::thread late([&] { posted = PostMessage(id, WM_APP + 4); });
  late.join();
  EXPECT_FALSE(posted);
  EXPECT_EQ(SendMessage(id, WM_APP + 4, 1), 0);
}

TEST(DialogMessages, SentMessagesAnswerDirectlyAndFromWorkersThroughTheUiThread) {
  Recorder dlg(kKinds);
  dlg.Open();
  WindowId id = dlg.Handle();
  EXPECT_EQ(SendMessage(id, WM_APP + 5, 21), 42);
  ASSERT_EQ(dlg.messages.size(), 1u);  // delivered before SendMessage returned

  std::atomic<intptr_t> answer{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    answer = SendMessage(id, WM_APP + 6, 50);
    done = true;
  });
  ASSERT_TRUE(WaitUntil([&] { return done.load(); }));
  worker.join();
  EXPECT_EQ(answer, 100);
  EXPECT_TRUE(dlg.onUiThread);

  // A worker waiting on a window that closes gets 0 rather than hanging.
  std::atomic<bool> waiting{false};
  std::thread blocked([&] {
    waiting = true;
    answer = SendMessage(id, WM_APP + 7, 1);
  });
  while (!waiting) std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  dlg.DestroyWindow();
  blocked.join();
  EXPECT_EQ(answer, 0);
}

TEST(DialogMessages, RegisteredNamesGetOneNumberEach) {
  uint32_t a = RegisterUiMessage("RANGE_CHANGED{2E7439A4-12DB-42a2-BB95-3462B3EC39CE}CRangeSlider");
  uint32_t b = RegisterUiMessage("WM_LINK_CLICKED");
  EXPECT_GE(a, 0xC000u);
  EXPECT_GE(b, 0xC000u);
  EXPECT_NE(a, b);
  EXPECT_EQ(RegisterUiMessage("WM_LINK_CLICKED"), b);
}

// ---- message boxes ----

TEST(MessageBoxes, TheRecorderKeepsEveryBoxAndCaptionsDefaultToTheApplicationName) {
  SetAppName("Velmo Test");
  MessageBoxRecorder boxes;
  EXPECT_EQ(ShowMessageBox("Please select a item from the list.", MB_ICONEXCLAMATION), IDOK);
  EXPECT_EQ(ShowMessageBox(nullptr, "Overwrite?", "Own caption", MB_YESNO | MB_ICONQUESTION), IDYES);
  EXPECT_EQ(ShowMessageBox(nullptr, "Second default", "", MB_YESNOCANCEL | MB_DEFBUTTON2), IDNO);
  boxes.Answer(IDCANCEL);
  EXPECT_EQ(ShowMessageBox("Scripted", MB_OKCANCEL), IDCANCEL);
  ASSERT_EQ(boxes.Shown().size(), 4u);
  EXPECT_EQ(boxes.Shown()[0].caption, "Velmo Test");
  EXPECT_EQ(boxes.Shown()[0].flags, MB_ICONEXCLAMATION);
  EXPECT_EQ(boxes.Shown()[1].caption, "Own caption");
  EXPECT_EQ(boxes.Shown()[2].caption, "Velmo Test");
  EXPECT_EQ(boxes.Texts()[3], "Scripted");
}

TEST(MessageBoxes, DefaultAnswersFollowTheButtonsAndTheDefaultButtonFlag) {
  struct Case {
    unsigned flags;
    int want;
  } cases[] = {{MB_OK, IDOK},
               {MB_OKCANCEL, IDOK},
               {MB_YESNO, IDYES},
               {MB_YESNO | MB_DEFBUTTON2, IDNO},
               {MB_RETRYCANCEL, IDRETRY},
               {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
               {MB_OK | MB_DEFBUTTON3, IDOK}};
  for (const Case& c : cases) EXPECT_EQ(DefaultMessageBoxAnswer(c.flags), c.want) << c.flags;
}

TEST(MessageBoxes, RecordersNestAndRestoreThePreviousSink) {
  MessageBoxRecorder outer;
  {
    MessageBoxRecorder inner;
    ShowMessageBox("inner");
    EXPECT_EQ(inner.Shown().size(), 1u);
  }
  ShowMessageBox("outer");
  ASSERT_EQ(outer.Shown().size(), 1u);
  EXPECT_EQ(outer.Texts()[0], "outer");
}

// ---- modal loops ----

TEST(ModalLoops, AScriptedLoopEditsTheDialogAndEndsIt) {
  MessageBoxRecorder boxes;
  ModalScript script;
  script.Then([](UiDialog& d) {
    // An empty name is refused with a box and the loop goes on...
    d.SetItemText(IDC_EXAMPLE_NAME, QString());
    d.OnCommand(IDOK, BN_CLICKED);
    EXPECT_TRUE(d.InModalLoop());
    // ...until the name is given.
    d.SetItemText(IDC_EXAMPLE_NAME, QStringLiteral("  clip  "));
    d.ItemAs<QCheckBox>(IDC_EXAMPLE_NUMBERED)->click();
    EXPECT_TRUE(d.Item(IDC_EXAMPLE_NUMBER)->isEnabled());
    d.SetItemText(IDC_EXAMPLE_NUMBER, QStringLiteral("3"));
    d.ItemAs<QPushButton>(IDOK)->click();
  });
  CDlgExample dlg;
  dlg.name = QStringLiteral("old");
  EXPECT_EQ(dlg.DoModal(), IDOK);
  EXPECT_EQ(dlg.name, QStringLiteral("clip"));
  EXPECT_TRUE(dlg.numbered);
  EXPECT_EQ(dlg.number, 3);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Please enter a name."});
  EXPECT_EQ(script.Remaining(), 0u);
  EXPECT_FALSE(dlg.IsOpen());
  EXPECT_EQ(dlg.Handle(), 0u);
}

TEST(ModalLoops, NestedLoopsTakeTheirStepsInOrderAndUnscriptedLoopsCancel) {
  ModalScript script;
  int innerResult = 0;
  script
      .Then([&](UiDialog& outer) {
        // The outer dialog opens a second modal dialog over itself.
        CDlgExample inner(&outer);
        innerResult = inner.DoModal();
        outer.EndDialog(IDOK);
      })
      .Then([](UiDialog& inner) { inner.EndDialog(IDRETRY); });
  CDlgExample outer;
  EXPECT_EQ(outer.DoModal(), IDOK);
  EXPECT_EQ(innerResult, IDRETRY);

  CDlgExample extra;
  EXPECT_EQ(extra.DoModal(), IDCANCEL);
  EXPECT_EQ(script.Unscripted(), 1);
}

class EndsAtInit : public UiDialog {
 public:
  EndsAtInit() : UiDialog(kKinds) {}
  bool OnInitDialog() override {
    EndDialog(IDABORT);
    return true;
  }
};

TEST(ModalLoops, EndDialogDuringInitialisationReturnsWithoutALoop) {
  ModalScript script;  // would cancel a loop; none may start
  EndsAtInit dlg;
  EXPECT_EQ(dlg.DoModal(), IDABORT);
  EXPECT_EQ(script.Unscripted(), 0);
}

TEST(ModalLoops, TimersAndPostedMessagesRunInsideTheLoop) {
  ModalScript script;
  CDlgExample dlg;
  script.Then([](UiDialog& d) {
    auto& ex = static_cast<CDlgExample&>(d);
    WindowId id = ex.Handle();
    std::thread worker([id] { PostMessage(id, WM_EXAMPLE_PROGRESS, 64); });
    worker.join();
    ASSERT_TRUE(WaitUntil([&] { return ex.ItemText(IDC_EXAMPLE_STATUS) == QStringLiteral("64%"); }));
    ex.EndDialog(IDCANCEL);
  });
  EXPECT_EQ(dlg.DoModal(), IDCANCEL);
  EXPECT_GT(dlg.ticks, 0);
  int ticks = dlg.ticks;
  Pump(120);
  EXPECT_EQ(dlg.ticks, ticks);  // the timer ended with the loop
}

// ---- Enter and Esc ----

void Key(QWidget* target, int key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, mods);
  QApplication::sendEvent(target, &press);
}

const DialogTemplate kKeys = {
    501,
    "Keys",
    200,
    100,
    {
        {CtrlKind::Edit, 11, "", 5, 5, 100, 12},
        {CtrlKind::EditMulti, 12, "", 5, 20, 100, 30},
        {CtrlKind::EditMulti, 13, "", 110, 20, 80, 30, kCtrlWantReturn},
        {CtrlKind::PushButton, 20, "Other", 5, 80, 40, 14},
        {CtrlKind::DefPushButton, 21, "Go", 50, 80, 40, 14},
        {CtrlKind::PushButton, IDCANCEL, "Cancel", 95, 80, 40, 14},
    },
};

TEST(DialogKeys, EnterPressesTheFocusedOrDefaultButtonAndEscCancels) {
  Recorder dlg(kKeys);
  dlg.Open();
  QApplication::setActiveWindow(&dlg);
  ASSERT_TRUE(WaitUntil([&] { return dlg.isActiveWindow(); }));

  dlg.FocusItem(11);
  ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == dlg.Item(11); }));
  Key(dlg.Item(11), Qt::Key_Return);  // an edit leaves Enter to the dialog: the default button
  Key(dlg.Item(11), Qt::Key_Enter);
  dlg.FocusItem(20);
  ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == dlg.Item(20); }));
  Key(dlg.Item(20), Qt::Key_Return);  // a focused push button presses itself
  Key(dlg.Item(20), Qt::Key_Escape);  // Esc is Cancel wherever the focus is
  dlg.FocusItem(12);
  ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == dlg.Item(12); }));
  Key(dlg.Item(12), Qt::Key_Return);  // a multi-line edit without "want return" too
  dlg.FocusItem(13);
  ASSERT_TRUE(WaitUntil([&] { return QApplication::focusWidget() == dlg.Item(13); }));
  Key(dlg.Item(13), Qt::Key_Return);  // with it, the edit keeps Enter
  EXPECT_EQ(dlg.ItemText(13), QStringLiteral("\n"));

  std::vector<std::pair<int, int>> clicks;
  for (auto& c : dlg.commands) {
    if (c.second == BN_CLICKED) clicks.push_back(c);
  }
  std::vector<std::pair<int, int>> want = {
      {21, BN_CLICKED}, {21, BN_CLICKED}, {20, BN_CLICKED}, {IDCANCEL, BN_CLICKED}, {21, BN_CLICKED}};
  EXPECT_EQ(clicks, want);
  EXPECT_EQ(dlg.cancels, 1);

  // A disabled default button makes Enter do nothing.
  dlg.commands.clear();
  dlg.EnableItem(21, false);
  dlg.FocusItem(11);
  Key(dlg.Item(11), Qt::Key_Return);
  EXPECT_TRUE(dlg.commands.empty());
  dlg.DestroyWindow();
}

TEST(DialogKeys, WithoutButtonsEnterIsOkAndEscAndTheCloseBoxAreCancel) {
  const DialogTemplate bare = {502, "Bare", 100, 40, {{CtrlKind::Edit, 11, "", 5, 5, 80, 12}}};
  Recorder dlg(bare);
  dlg.Open();
  Key(dlg.Item(11), Qt::Key_Return);
  Key(dlg.Item(11), Qt::Key_Escape);
  dlg.close();  // the close box
  std::vector<std::pair<int, int>> want = {{IDOK, BN_CLICKED}, {IDCANCEL, BN_CLICKED}, {IDCANCEL, BN_CLICKED}};
  EXPECT_EQ(dlg.commands, want);
  EXPECT_EQ(dlg.oks, 1);
  EXPECT_EQ(dlg.cancels, 2);
  EXPECT_TRUE(dlg.isVisible());  // the handlers chose not to end it
  dlg.DestroyWindow();
}

TEST(DialogKeys, TheCloseBoxDoesNothingWhileCancelIsDisabled) {
  Recorder dlg(kKeys);
  dlg.Open();
  dlg.EnableItem(IDCANCEL, false);
  dlg.close();
  EXPECT_TRUE(dlg.commands.empty());
  dlg.DestroyWindow();
}

}  // namespace
