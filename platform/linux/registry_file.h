#pragma once
// The text of the registry file: REGEDIT4, the format regedit exports.
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Qz\Harbor Lights]
//   "UseMirrors"=dword:00000001
//   "Text"="with \"quotes\" and \\ backslashes"
//   "Bytes"=hex:01,02,03      (long lists go on over lines ending in a backslash)
//   "Typed"=hex(2):25,00
//   @="the key's default value"
//
// The document keeps every line as it was read, so that writing one value
// rewrites that value's lines only: comments, other roots, values we cannot
// read and plain rubbish all survive a save byte for byte. No file access here;
// platform/registry.cpp does the reading, locking and atomic replacing.
#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct RegistryValue {
  uint32_t type = 0;
  std::vector<uint8_t> data;
};

class RegistryDocument {
 public:
  // Parses `text`. A document that is not safe to rewrite (no REGEDIT4 first
  // line, NUL bytes, …) gives false; the caller must then treat the registry
  // as empty and must not write over the file. Empty text is a valid document.
  bool Parse(const std::string& text);

  // The document as text: exactly the parsed text until something is changed.
  std::string Text() const;

  // Key paths are relative to HKEY_CURRENT_USER ("Software\Qz\Harbor Lights");
  // names and paths compare without regard to ASCII case, as the system does.
  // A key exists when it or a key below it has a section.
  bool KeyExists(const std::string& path) const;
  bool FindValue(const std::string& path, const std::string& name, RegistryValue* value) const;

  // Adds a section for the key if it has none. False for a path that cannot
  // be written as a section header.
  bool CreateKey(const std::string& path);
  // Replaces the value where it was read, or adds it to the key's section
  // (creating that). False for a name the format cannot hold.
  bool SetValue(const std::string& path, const std::string& name, const RegistryValue& value);

  // A path the format can name: no empty component, no line break, no ']'.
  static bool ValidKeyPath(const std::string& path);

 private:
  enum class Kind { Other, Section, Value };
  struct Line {
    std::string raw;  // the physical lines it came from, terminators included
    Kind kind = Kind::Other;
    bool currentUser = false;  // Section: under HKEY_CURRENT_USER
    std::string path;          // Section: the key path; Value: its section's key path
    std::string name;          // Value
    RegistryValue value;       // Value
  };

  static Line PlainLine(const std::string& raw);
  int LastValueLine(const std::string& path, const std::string& name) const;
  int LastSectionLine(const std::string& path) const;
  void EnsureNewlineAt(size_t index);
  std::string Section(const std::string& path) const;

  std::vector<Line> lines_;
  std::string newline_ = "\n";
};

}  // namespace platform
