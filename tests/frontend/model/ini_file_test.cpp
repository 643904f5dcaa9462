// The ini reader and writer against the rules of the Windows profile functions.
#include "frontend/model/ini_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "frontend/model/whole_file.h"
#include "tests/frontend/model/model_test_util.h"

namespace {

struct ReadCase {
  const char* label;
  const char* text;
  const char* section;
  const char* key;
  const char* expected;  // null: the default answers
};

// One table over the reading rules: every case asks with the default "<def>".
const ReadCase kReads[] = {
    {"plain", "[CONFIG]\r\nNAME=mp3\r\n", "CONFIG", "NAME", "mp3"},
    {"no section: keys before the first section are never found", "NAME=top\r\n[CONFIG]\r\nX=1\r\n", "CONFIG", "NAME",
     nullptr},
    {"no section at all", "NAME=top\r\n", "", "NAME", nullptr},
    {"duplicate keys: the first wins", "[C]\r\nK=first\r\nK=second\r\n", "C", "K", "first"},
    {"duplicate sections: only the first is read", "[C]\r\nA=1\r\n[C]\r\nB=2\r\n", "C", "B", nullptr},
    {"duplicate sections: the first's key", "[C]\r\nA=1\r\n[C]\r\nA=2\r\n", "C", "A", "1"},
    {"LF-only lines", "[C]\nA=1\nB=2\n", "C", "B", "2"},
    {"CR-only lines", "[C]\rA=1\rB=2\r", "C", "B", "2"},
    {"last line without a line end", "[C]\r\nA=tail", "C", "A", "tail"},
    {"byte-order mark", "\xEF\xBB\xBF[C]\r\nA=1\r\n", "C", "A", "1"},
    {"names without case", "[config]\r\nDspName=x\r\n", "CONFIG", "DSPNAME", "x"},
    {"blanks around names and values", "  [ C ]  \r\n\t KEY \t=  some value \t\r\n", "C", "KEY", "some value"},
    {"double quotes stripped", "[C]\r\nA=\"quoted text\"\r\n", "C", "A", "quoted text"},
    {"single quotes stripped", "[C]\r\nA='x'\r\n", "C", "A", "x"},
    {"one pair only", "[C]\r\nA=\"\"K\"=1\"\r\n", "C", "A", "\"K\"=1"},
    {"quotes that do not match stay", "[C]\r\nA=\"x'\r\n", "C", "A", "\"x'"},
    {"a lone quote stays", "[C]\r\nA=\"\r\n", "C", "A", "\""},
    {"inner quotes stay", "[C]\r\nA=say \"hi\"\r\n", "C", "A", "say \"hi\""},
    {"comment line", "[C]\r\n;A=1\r\nB=2\r\n", "C", "A", nullptr},
    {"indented comment", "[C]\r\n   ; A=1\r\n", "C", "; A", nullptr},
    {"'#' starts a key, not a comment", "[C]\r\n#A=1\r\n", "C", "#A", "1"},
    {"a ';' after a value belongs to it", "[C]\r\nA=1 ; note\r\n", "C", "A", "1 ; note"},
    {"key without '=' answers the default", "[C]\r\nA\r\n", "C", "A", nullptr},
    {"empty value is an empty text", "[C]\r\nA=\r\n", "C", "A", ""},
    {"first '=' splits", "[C]\r\nA=b=c\r\n", "C", "A", "b=c"},
    {"text after ']' ignored", "[C] trailing\r\nA=1\r\n", "C", "A", "1"},
    {"an unclosed section header starts no section", "[C]\r\nA=1\r\n[D\r\nB=2\r\n", "C", "B", "2"},
    {"missing section", "[C]\r\nA=1\r\n", "D", "A", nullptr},
    {"empty file", "", "C", "A", nullptr},
};

class IniFileTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& text) {
    const std::string path = dir_.File("t" + std::to_string(++count_) + ".ini");
    EXPECT_TRUE(WriteWholeFile(path, text));
    return path;
  }
  TempDir dir_;
  int count_ = 0;
};

TEST_F(IniFileTest, ReadingRules) {
  for (const ReadCase& c : kReads) {
    SCOPED_TRACE(c.label);
    const std::string path = Write(c.text);
    char buffer[256];
    const uint32_t n = IniGetString(c.section, c.key, "<def>", buffer, sizeof(buffer), path.c_str());
    const std::string expected = c.expected ? c.expected : "<def>";
    EXPECT_EQ(expected, buffer);
    EXPECT_EQ(expected.size(), n);
  }
}

TEST_F(IniFileTest, BuffersAndDefaults) {
  const std::string path = Write("[C]\r\nA=abcdef\r\n");
  char buffer[8];
  EXPECT_EQ(3u, IniGetString("C", "A", "", buffer, 4, path.c_str()));
  EXPECT_STREQ("abc", buffer);
  buffer[0] = 'x';
  EXPECT_EQ(0u, IniGetString("C", "A", "", buffer, 0, path.c_str()));
  EXPECT_EQ('x', buffer[0]);
  EXPECT_EQ(0u, IniGetString("C", "missing", nullptr, buffer, sizeof(buffer), path.c_str()));
  EXPECT_STREQ("", buffer);
  // Trailing blanks of the default are dropped.
  EXPECT_EQ(3u, IniGetString("C", "missing", "def  ", buffer, sizeof(buffer), path.c_str()));
  EXPECT_STREQ("def", buffer);
  // A missing file, a folder and a null path answer the default.
  for (const std::string& p : {dir_.File("none.ini"), dir_.path()}) {
    EXPECT_EQ(1u, IniGetString("C", "A", "d", buffer, sizeof(buffer), p.c_str()));
    EXPECT_STREQ("d", buffer);
  }
  EXPECT_EQ(1u, IniGetString("C", "A", "d", buffer, sizeof(buffer), nullptr));
}

TEST_F(IniFileTest, NameLists) {
  const std::string path = Write("[One]\r\nA=1\r\nb=2\r\nB=3\r\nC\r\n[Two]\r\n[one]\r\nD=4\r\n");
  char buffer[64];
  EXPECT_EQ(8u, IniGetString(nullptr, nullptr, "", buffer, sizeof(buffer), path.c_str()));
  EXPECT_EQ(std::string("One\0Two\0\0", 9), std::string(buffer, 9));
  EXPECT_EQ(6u, IniGetString("ONE", nullptr, "", buffer, sizeof(buffer), path.c_str()));
  EXPECT_EQ(std::string("A\0b\0C\0\0", 7), std::string(buffer, 7));
  // A list that does not fit is cut and ends in two NULs.
  EXPECT_EQ(3u, IniGetString(nullptr, nullptr, "", buffer, 5, path.c_str()));
  EXPECT_EQ(std::string("One\0\0", 5), std::string(buffer, 5));
}

TEST_F(IniFileTest, IntegerReads) {
  const std::string path = Write(
      "[N]\r\nplain=42\r\nneg= -7\r\nplus=+5\r\nlead=12abc\r\nword=abc\r\nempty=\r\nquoted=\"9\"\r\nhex=0x10\r\n"
      "big=99999999999\r\nsmall=-99999999999\r\nnovalue\r\n");
  const struct {
    const char* key;
    int32_t expected;
  } cases[] = {{"plain", 42}, {"neg", -7}, {"plus", 5},        {"lead", 12},         {"word", 0},     {"empty", 77},
               {"quoted", 9}, {"hex", 0},  {"big", INT32_MAX}, {"small", INT32_MIN}, {"novalue", 77}, {"missing", 77}};
  for (const auto& c : cases) EXPECT_EQ(c.expected, IniGetInt("N", c.key, 77, path.c_str())) << c.key;
}

TEST_F(IniFileTest, WritesKeepTheRestOfTheFile) {
  const std::string path = Write("; head comment\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n");
  EXPECT_EQ(1, IniWriteString("A", "X", "10", path.c_str()));       // replaces, keeps the spelling
  EXPECT_EQ(1, IniWriteString("a", "z", "3", path.c_str()));        // appended inside [A]
  EXPECT_EQ(1, IniWriteString("C", "w", "new one", path.c_str()));  // new section at the end
  EXPECT_EQ(1, IniWriteString("B", "y", nullptr, path.c_str()));    // key removed
  std::string text;
  ASSERT_TRUE(ReadWholeFile(path, &text));
  EXPECT_EQ("; head comment\r\n[A]\r\nx=10\r\nz=3\r\n\r\n[B]\r\n[C]\r\nw=new one\r\n", text);
  EXPECT_EQ(1, IniWriteString("A", nullptr, nullptr, path.c_str()));  // section removed
  ASSERT_TRUE(ReadWholeFile(path, &text));
  EXPECT_EQ("; head comment\r\n[B]\r\n[C]\r\nw=new one\r\n", text);
  EXPECT_EQ(10, IniGetInt("C", "x", 10, path.c_str()));
}

TEST_F(IniFileTest, WritesKeepLfLines) {
  const std::string path = Write("[A]\nx=1\n");
  EXPECT_EQ(1, IniWriteString("A", "y", "2", path.c_str()));
  std::string text;
  ASSERT_TRUE(ReadWholeFile(path, &text));
  EXPECT_EQ("[A]\nx=1\ny=2\n", text);
}

TEST_F(IniFileTest, WriteCreatesAFileAndRefusesTextsThatWouldBreakIt) {
  const std::string path = dir_.File("new.ini");
  EXPECT_EQ(1, IniWriteString("S", "k", nullptr, path.c_str()));  // nothing to remove, no file made
  EXPECT_FALSE(IsRegularFile(path));
  EXPECT_EQ(1, IniWriteString("S", "k", "v", path.c_str()));
  char buffer[16];
  IniGetString("S", "k", "", buffer, sizeof(buffer), path.c_str());
  EXPECT_STREQ("v", buffer);
  EXPECT_EQ(0, IniWriteString("S", "k", "two\r\n[X]", path.c_str()));
  EXPECT_EQ(0, IniWriteString("S]", "k", "v", path.c_str()));
  EXPECT_EQ(0, IniWriteString("S", "a=b", "v", path.c_str()));
  EXPECT_EQ(0, IniWriteString("S", ";k", "v", path.c_str()));
  EXPECT_EQ(0, IniWriteString(nullptr, "k", "v", path.c_str()));
  EXPECT_EQ(0, IniWriteString("S", "k", "v", dir_.path().c_str()));  // a folder is not a file
  EXPECT_EQ(0, IniWriteString("S", "k", "v", dir_.File("no/such/folder.ini").c_str()));
  std::string text;
  ASSERT_TRUE(ReadWholeFile(path, &text));
  EXPECT_EQ("[S]\r\nk=v\r\n", text);
}

TEST_F(IniFileTest, ReaderSeesAFileThatChanged) {
  const std::string path = Write("[S]\r\nk=old\r\n");
  char buffer[16];
  IniGetString("S", "k", "", buffer, sizeof(buffer), path.c_str());
  EXPECT_STREQ("old", buffer);
  ASSERT_TRUE(WriteWholeFile(path, "[S]\r\nk=newer value\r\n"));
  IniGetString("S", "k", "", buffer, sizeof(buffer), path.c_str());
  EXPECT_STREQ("newer value", buffer);
}

}  // namespace
