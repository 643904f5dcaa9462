// The option combo: items and display words, values in and out, the
// keystroke filter, and validation on picking and on leaving the box.
#include "frontend/controls/option_combo.h"

#include <gtest/gtest.h>

#include <QDialog>
#include <QLineEdit>
#include <QTest>

#include "frontend/ui/message_box.h"
#include "qt_test_util.h"

namespace {

OptionDesc Desc(const std::string& name, int32_t type, const std::string& values, bool editable,
                const std::vector<WordEntry>& words = {}) {
  OptionDesc o;
  o.name = name;
  o.displayName = name;
  o.type = type;
  o.valueText = values;
  o.values = SplitCommaList(values);
  o.editable = editable ? 1 : 0;
  o.words = words;
  return o;
}

OptionDesc IntDesc(const std::string& name, int32_t min, int32_t max) {
  OptionDesc o = Desc(name, kOptionInt, "96,128,160", true);
  o.minInt = min;
  o.maxInt = max;
  return o;
}

std::vector<QString> Items(const QComboBox& combo) {
  std::vector<QString> out;
  for (int i = 0; i < combo.count(); ++i) out.push_back(combo.itemText(i));
  return out;
}

// A window holding a combo and an edit to move the focus to.
struct Window {
  QDialog dialog;
  COptionCombo* combo = new COptionCombo(&dialog);
  QLineEdit* other = new QLineEdit(&dialog);
  Window() {
    combo->setGeometry(10, 10, 160, 24);
    other->setGeometry(10, 50, 160, 24);
    dialog.resize(200, 100);
  }
  bool Show() {
    dialog.show();
    dialog.activateWindow();
    return QTest::qWaitForWindowActive(&dialog);
  }
};

TEST(OptionCombo, ItemsShowWordsAndStyleFollowsTheOption) {
  COptionCombo combo;
  EXPECT_EQ(combo.OptionType(), kOptionTypeNone);
  combo.SetOption(Desc("FRAMERATE", kOptionFloat, "0,25,29.97", false, {{"0", "Original"}, {"", "stray"}}));
  EXPECT_EQ(Items(combo), (std::vector<QString>{"Original", "25", "29.97"}));
  EXPECT_FALSE(combo.isEditable());
  EXPECT_EQ(combo.OptionType(), kOptionFloat);
  EXPECT_EQ(combo.GetOptionName(), "FRAMERATE");

  OptionDesc editable = IntDesc("BITRATE", 32, 2048);
  editable.enable = 0;
  combo.SetOption(editable);
  EXPECT_TRUE(combo.isEditable());
  ASSERT_NE(combo.lineEdit(), nullptr);
  EXPECT_FALSE(combo.isEnabled());
  EXPECT_EQ(Items(combo), (std::vector<QString>{"96", "128", "160"}));

  combo.SetOption(Desc("FCC", kOptionText, "", false));
  EXPECT_FALSE(combo.isEditable());
  EXPECT_TRUE(combo.isEnabled());
  EXPECT_EQ(combo.count(), 0);
}

TEST(OptionCombo, ValuesInAndOut) {
  COptionCombo pick;
  pick.SetOption(Desc("FRAMERATE", kOptionFloat, "0,23.976,25,29.97", false, {{"0", "Original"}}));
  pick.SetValueText("29.970000");
  EXPECT_EQ(pick.currentText(), "29.97");
  pick.SetValueText("29.97009");  // within 0.0001
  EXPECT_EQ(pick.currentIndex(), 3);
  pick.SetValueText("0.000000");
  EXPECT_EQ(pick.currentText(), "Original");
  EXPECT_EQ(pick.GetValueText(), "0");  // the word read back as its value
  pick.SetValueText("30.000000");
  EXPECT_EQ(pick.currentIndex(), -1);
  pick.SetValueText("not a number");
  EXPECT_EQ(pick.currentIndex(), -1);

  COptionCombo typed;
  typed.SetOption(IntDesc("BITRATE", 32, 2048));
  typed.SetValueText("128");
  EXPECT_EQ(typed.currentIndex(), 1);
  EXPECT_EQ(typed.lineEdit()->text(), "128");
  typed.SetValueText("0128");  // integers and texts match exactly
  EXPECT_EQ(typed.currentIndex(), -1);
  EXPECT_EQ(typed.lineEdit()->text(), "0128");
  EXPECT_EQ(typed.GetValueText(), "0128");
}

TEST(OptionCombo, TypingIsFilteredByTheOptionsType) {
  struct Case {
    OptionDesc option;
    const char* keys;
    const char* shown;
  };
  const Case cases[] = {
      {IntDesc("GOP", 1, 600), "7.2a5-", "725-"},
      {Desc("FRAMERATE", kOptionFloat, "25", true), "2.5e,x", "2.5"},
      {Desc("TITLE", kOptionText, "", true), "a.b-c d", "a.b-c d"},
  };
  for (const Case& c : cases) {
    for (bool intoEdit : {false, true}) {
      COptionCombo combo;
      combo.SetOption(c.option);
      combo.SetValueText("");
      QWidget* target = intoEdit ? static_cast<QWidget*>(combo.lineEdit()) : &combo;
      QTest::keyClicks(target, QString::fromLatin1(c.keys));
      EXPECT_EQ(combo.lineEdit()->text().toStdString(), c.shown) << c.option.name << (intoEdit ? " (edit)" : "");
    }
  }
  // Backspace and shortcuts still work in an integer box.
  COptionCombo combo;
  combo.SetOption(IntDesc("GOP", 1, 600));
  combo.SetValueText("");
  QTest::keyClicks(&combo, "123");
  QTest::keyClick(&combo, Qt::Key_Backspace);
  EXPECT_EQ(combo.lineEdit()->text(), "12");
  QTest::keyClick(&combo, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(&combo, "9");
  EXPECT_EQ(combo.lineEdit()->text(), "9");
}

TEST(OptionCombo, APastedDecimalIsRefusedWithTheIntegerMessage) {
  MessageBoxRecorder boxes;
  Window w;
  w.combo->SetOption(IntDesc("GOP", 1, 600));
  ASSERT_TRUE(w.Show());
  w.combo->setFocus();
  w.combo->setEditText("1.5");  // a paste is not filtered
  w.other->setFocus(Qt::TabFocusReason);
  ASSERT_EQ(boxes.Texts(), std::vector<std::string>{"The input value should be a valid integer number!"});
  EXPECT_EQ(boxes.Shown()[0].flags & MB_ICONMASK, MB_ICONEXCLAMATION);
  EXPECT_EQ(boxes.Shown()[0].caption, AppName());
  EXPECT_TRUE(w.combo->hasFocus());  // back in the box
  EXPECT_EQ(w.combo->lineEdit()->text(), "1.5");
  // A good value leaves without a word.
  boxes.Clear();
  w.combo->setEditText("250");
  w.other->setFocus(Qt::TabFocusReason);
  EXPECT_TRUE(boxes.Texts().empty());
  EXPECT_TRUE(w.other->hasFocus());
}

TEST(OptionCombo, LeavingTheBoxRunsTheValidatorOnlyWithAnOptionAndAnActiveWindow) {
  MessageBoxRecorder boxes;
  Window w;
  int calls = 0;
  w.combo->SetValidator([&](std::string&, const OptionDesc&, bool&, std::string&) { return ++calls, true; });
  ASSERT_TRUE(w.Show());
  w.combo->setFocus();
  w.other->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(calls, 0);  // never given an option

  w.combo->SetOption(IntDesc("GOP", 1, 600));
  w.combo->setFocus();
  w.other->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(calls, 1);
  w.combo->setFocus();
  w.combo->hide();
  EXPECT_EQ(calls, 1);  // a box that is not shown is not left by the user
}

TEST(OptionCombo, PickingRunsTheValidatorOnTheValueAndShowsARefusal) {
  MessageBoxRecorder boxes;
  COptionCombo combo;
  combo.SetOption(Desc("CHANNEL", kOptionInt, "1,2", false, {{"1", "Mono"}, {"2", "Stereo"}}));
  std::vector<std::string> seen;
  combo.SetValidator([&](std::string& value, const OptionDesc& o, bool&, std::string& message) {
    seen.push_back(o.name + "=" + value);
    message = "no mono here";
    return value != "1";
  });
  combo.setCurrentIndex(1);
  emit combo.activated(1);
  combo.setCurrentIndex(0);
  emit combo.activated(0);
  EXPECT_EQ(seen, (std::vector<std::string>{"CHANNEL=2", "CHANNEL=1"}));
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"no mono here"});

  // A validator may give the box a value back to show.
  COptionCombo typed;
  typed.SetOption(IntDesc("BITRATE", 32, 2048));
  typed.SetValidator([](std::string& value, const OptionDesc&, bool& takeBack, std::string&) {
    value = "160";
    takeBack = true;
    return true;
  });
  typed.setEditText("150");
  EXPECT_TRUE(typed.CommitEdit());
  EXPECT_EQ(typed.lineEdit()->text(), "160");
  EXPECT_EQ(typed.currentIndex(), 2);
}

}  // namespace
