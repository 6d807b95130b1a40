// The registry file's text on its own: which lines of a hex list that goes on
// over several lines make a value, and that a file of any length reads back
// byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "platform/linux/registry_file.h"

namespace platform {
namespace {

using namespace std::string_literals;

constexpr const char* kHead = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n";

struct ContinuationCase {
  const char* what;
  std::string body;  // after kHead
  // The values "A" and "B" of key K: their bytes as text, or "-" for none.
  std::string a;
  std::string b;
};

std::string Bytes(const RegistryDocument& document, const char* name) {
  RegistryValue value;
  if (!document.FindValue("K", name, &value)) return "-";
  return std::string(value.data.begin(), value.data.end());
}

TEST(RegistryDocument, HexListsOverSeveralLines) {
  const ContinuationCase cases[] = {
      {"a list over three lines", "\"A\"=hex:41,\\\n  42,\\\n  43\n\"B\"=hex:44\n", "ABC", "D"},
      {"blanks around the continuations", "\"A\"=hex:41, \\ \n\t42 \n", "AB", "-"},
      {"a list the file cuts short holds no value", "\"B\"=hex:44\n\"A\"=hex:41,\\\n  42,\\\n", "-", "D"},
      {"a value line inside a list that cannot be read is part of it, not a value",
       "\"A\"=hex:zz,\\\n\"B\"=hex:42\n", "-", "-"},
      {"a section header ends a list; the list holds no value, the section stands",
       "\"A\"=hex:41,\\\n[HKEY_CURRENT_USER\\K]\n\"B\"=hex:42\n", "-", "B"},
      {"an empty line ends a list", "\"A\"=hex:41,\\\n\n\"B\"=hex:42\n", "A", "B"},
      {"a string ending in a backslash goes on nowhere", "\"A\"=\"x\\\\\"\n\"B\"=hex:42\n", "x\\\0"s, "B"},
      {"many unended lists, one after another",
       [] {
         std::string body;
         for (int i = 0; i < 2000; ++i) body += "\"A\"=hex:41,\\\n";
         return body;
       }(),
       "-", "-"},
  };
  for (const ContinuationCase& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string text = kHead + c.body;
    RegistryDocument document;
    ASSERT_TRUE(document.Parse(text));
    EXPECT_EQ(document.Text(), text);
    EXPECT_EQ(Bytes(document, "A"), c.a);
    EXPECT_EQ(Bytes(document, "B"), c.b);
  }
}

// A value added after a last line without its line end reads back, whatever
// that line is and however it was cut.
TEST(RegistryDocument, AValueAddedAfterAnUnendedLastLineReadsBack) {
  const std::string lastLines[] = {
      "[HKEY_CURRENT_USER\\K]",
      "[HKEY_CURRENT_USER\\K]\r",  // a CRLF file cut between its two bytes
      "[HKEY_CURRENT_USER\\K]\r\n\"A\"=hex:41",
      "[HKEY_CURRENT_USER\\K]\r\n\"A\"=hex:41\r",
  };
  for (const std::string& last : lastLines) {
    SCOPED_TRACE(last);
    for (const char* header : {"REGEDIT4\n", "REGEDIT4\r\n"}) {
      RegistryDocument document;
      ASSERT_TRUE(document.Parse(header + last));
      ASSERT_TRUE(document.SetValue("K", "B", RegistryValue{3, {0x42}}));
      RegistryDocument again;
      ASSERT_TRUE(again.Parse(document.Text()));
      EXPECT_EQ(Bytes(again, "B"), "B") << document.Text();
      if (last.find("\"A\"") != std::string::npos) {
        EXPECT_EQ(Bytes(again, "A"), "A") << document.Text();
      }
    }
  }
}

// A long file (hundreds of thousands of lines of every kind) reads back as it
// was, takes a value at its end and keeps everything else.
TEST(RegistryDocument, ALongFileReadsBackAndTakesAValue) {
  std::string text = kHead;
  for (int i = 0; i < 50000; ++i) {
    text += "\"V" + std::to_string(i) + "\"=hex:01,\\\n  02\n\"W\"=hex:03,\\\n; note\n\n";
  }
  RegistryDocument document;
  ASSERT_TRUE(document.Parse(text));
  EXPECT_EQ(document.Text(), text);
  RegistryValue value;
  ASSERT_TRUE(document.FindValue("K", "V49999", &value));
  EXPECT_EQ(value.data, (std::vector<uint8_t>{1, 2}));
  ASSERT_TRUE(document.SetValue("K", "New", RegistryValue{4, {7, 0, 0, 0}}));
  RegistryDocument again;
  ASSERT_TRUE(again.Parse(document.Text()));
  ASSERT_TRUE(again.FindValue("K", "New", &value));
  EXPECT_EQ(value.data[0], 7);
  EXPECT_EQ(document.Text().compare(0, text.size() / 2, text, 0, text.size() / 2), 0);
}

}  // namespace
}  // namespace platform
