// The embedded resource table, over tests/scenes/picture_resources.list.
#include "platform/resources.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/gl_test_context.h"

namespace platform {
namespace {

std::string FileBytes(const std::string& relative) {
  std::ifstream file(testing_support::SourcePath(relative), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Bytes(ResourceBytes bytes) {
  return bytes.data ? std::string(reinterpret_cast<const char*>(bytes.data), bytes.size) : std::string();
}

TEST(ResourceTable, LookupsByNameAndType) {
  const std::string hello = FileBytes("tests/scenes/picture_fixtures/hello.txt");
  const std::string allBytes = FileBytes("tests/scenes/picture_fixtures/all_bytes.bin");
  ASSERT_EQ(hello.size(), 13u);
  ASSERT_EQ(allBytes.size(), 512u);
  const struct {
    const char* name;
    unsigned type;
    const std::string& expected;  // empty: no bytes
  } cases[] = {
      {"HELLO", RT_RCDATA, hello},
      {"hello", RT_RCDATA, hello},  // names match without regard to case
      {"HELLO", 23, allBytes},      // the same name under another type is another resource
      {"ALL_BYTES", RT_RCDATA, allBytes},
      {"#104", 5, hello},
      {MakeIntResource(104), 5, hello},
      {"104", 5, std::string()},  // a number is asked for as "#104"
      {"HELLO ", RT_RCDATA, std::string()},
      {"HELL", RT_RCDATA, std::string()},
      {"MISSING", RT_RCDATA, std::string()},
      {"ALL_BYTES", 5, std::string()},  // wrong type
      {"#104", RT_RCDATA, std::string()},
      {"EMPTY", RT_RCDATA, std::string()},
      {"", RT_RCDATA, std::string()},
  };
  for (const auto& c : cases) {
    const std::string label = reinterpret_cast<uintptr_t>(c.name) < 0x10000 ? "(number)" : c.name;
    EXPECT_EQ(Bytes(FindResourceBytes(c.name, c.type)), c.expected) << label << " type " << c.type;
    ResourceHandle found = FindResourceA(nullptr, c.name, c.type);
    const void* data = LockResource(LoadResource(nullptr, found));
    EXPECT_EQ(SizeofResource(nullptr, found), c.expected.size()) << label;
    EXPECT_EQ(data != nullptr, !c.expected.empty()) << label;
  }
}

TEST(ResourceTable, EmptyResourceIsFoundButHasNoBytes) {
  ResourceHandle empty = FindResourceA(nullptr, "EMPTY", RT_RCDATA);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(SizeofResource(nullptr, empty), 0u);
  EXPECT_EQ(LockResource(LoadResource(nullptr, empty)), nullptr);
}

TEST(ResourceTable, OnlyTheProgramsOwnModuleHoldsResources) {
  int other = 0;
  EXPECT_EQ(FindResourceA(&other, "HELLO", RT_RCDATA), nullptr);
  ResourceHandle hello = FindResourceA(nullptr, "HELLO", RT_RCDATA);
  ASSERT_NE(hello, nullptr);
  EXPECT_EQ(SizeofResource(&other, hello), 0u);
  EXPECT_EQ(LoadResource(&other, hello), nullptr);
  EXPECT_EQ(SizeofResource(nullptr, nullptr), 0u);
  EXPECT_EQ(LockResource(nullptr), nullptr);
}

TEST(ResourceTable, KeepsTheOrderOfTheList) {
  size_t count = 0;
  const ResourceEntry* table = ResourceTable(&count);
  ASSERT_EQ(count, 5u);
  EXPECT_STREQ(table[0].name, "HELLO");
  EXPECT_STREQ(table[3].name, "104");
  EXPECT_EQ(table[3].id, 104u);
  EXPECT_EQ(table[3].type, 5u);
  EXPECT_EQ(table[4].type, 23u);
  // The bytes of the table are aligned for any reader.
  EXPECT_EQ(reinterpret_cast<uintptr_t>(table[1].data) % 16, 0u);
}

}  // namespace
}  // namespace platform
