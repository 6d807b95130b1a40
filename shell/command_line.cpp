#include "shell/command_line.h"

#include <cstdint>

namespace hl {
namespace {

bool IsCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

// What atoi reads: blanks of any kind, a sign, decimal digits. Unlike atoi it
// is defined for numbers out of range, which it clamps to 32 bits.
int32_t ReadDecimal(const std::string& s, size_t i) {
  while (i < s.size() && IsCSpace(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int64_t value = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    value = value * 10 + (s[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) value = int64_t{INT32_MAX} + 1;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

// A window number as the system keeps it: the 32 bits atoi gave.
platform::WindowHandle WindowNumber(int32_t n) { return static_cast<uint32_t>(n); }

size_t SkipSpacesAndColons(const std::string& s, size_t i) {
  while (i < s.size() && (s[i] == ' ' || s[i] == ':')) ++i;
  return i;
}

}  // namespace

SaverCommandLine ParseSaverCommandLine(const std::string& line) {
  SaverCommandLine result;
  size_t i = 0;
  // The program token: quoted up to the next quote, else up to the first space.
  if (!line.empty() && line[0] == '"') {
    i = line.find('"', 1);
  } else {
    i = line.find(' ');
  }
  if (i == std::string::npos) {
    i = line.size();
  } else {
    ++i;
  }
  while (i < line.size() && line[i] == ' ') ++i;  // only the space counts as blank here

  if (i == line.size()) {
    result.mode = RunConfig;
    return result;
  }
  if (line[i] == '-' || line[i] == '/') ++i;
  const char letter = i < line.size() ? line[i] : '\0';
  ++i;
  switch (letter) {
    case 'p':
    case 'P':
    case 'l':
    case 'L':
      result.mode = RunPreview;
      result.parent = WindowNumber(ReadDecimal(line, SkipSpacesAndColons(line, i)));
      break;
    case 's':
    case 'S':
      result.mode = RunSaver;
      break;
    case 'c':
    case 'C':
      result.mode = RunConfig;
      i = SkipSpacesAndColons(line, i);
      if (i >= line.size()) {
        result.foregroundParent = true;
      } else {
        result.parent = WindowNumber(ReadDecimal(line, i));
      }
      break;
    case 'a':
    case 'A':
      result.mode = RunChangePassword;
      result.parent = WindowNumber(ReadDecimal(line, SkipSpacesAndColons(line, i)));
      break;
    default:
      break;  // RunNone: nothing runs
  }
  return result;
}

}  // namespace hl
