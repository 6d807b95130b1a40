#include "platform/linux/registry_file.h"

#include <cstdio>

namespace platform {
namespace {

constexpr uint32_t kTypeString = 1;  // REG_SZ
constexpr uint32_t kTypeBinary = 3;  // REG_BINARY
constexpr uint32_t kTypeDword = 4;   // REG_DWORD
constexpr const char* kHeader = "REGEDIT4";
constexpr const char* kCurrentUser = "HKEY_CURRENT_USER";
constexpr size_t kWrapColumn = 76;  // where regedit breaks long hex lines

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// Text without its final terminator ("\n" or "\r\n").
std::string Content(const std::string& raw) {
  size_t e = raw.size();
  if (e && raw[e - 1] == '\n') --e;
  if (e && raw[e - 1] == '\r') --e;
  return raw.substr(0, e);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = Lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Reads a quoted string at s[*pos] ('"'), undoing the format's two escapes.
bool ParseQuoted(const std::string& s, size_t* pos, std::string* out) {
  if (*pos >= s.size() || s[*pos] != '"') return false;
  out->clear();
  for (size_t i = *pos + 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c == '\\' && i + 1 < s.size() && (s[i + 1] == '\\' || s[i + 1] == '"')) {
      out->push_back(s[++i]);
    } else {
      out->push_back(c);
    }
  }
  return false;  // no closing quote
}

std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

bool OnlyBlanksFrom(const std::string& s, size_t pos) {
  for (size_t i = pos; i < s.size(); ++i) {
    if (!IsBlank(s[i])) return false;
  }
  return true;
}

// "01,02, ff" → bytes; an empty list is allowed, and so is one trailing comma
// (what a line continuation leaves behind).
bool ParseHexBytes(const std::string& s, std::vector<uint8_t>* out) {
  out->clear();
  size_t i = 0;
  auto skipBlanks = [&] {
    while (i < s.size() && IsBlank(s[i])) ++i;
  };
  skipBlanks();
  while (i < s.size()) {
    int value = 0, digits = 0;
    while (i < s.size() && HexDigit(s[i]) >= 0 && digits < 2) {
      value = value * 16 + HexDigit(s[i++]);
      ++digits;
    }
    if (digits == 0) return false;
    out->push_back(static_cast<uint8_t>(value));
    skipBlanks();
    if (i == s.size()) break;
    if (s[i] != ',') return false;
    ++i;
    skipBlanks();
  }
  return true;
}

// The data after '=': "text", dword:…, hex:…, hex(N):….
bool ParseData(const std::string& s, RegistryValue* value) {
  if (!s.empty() && s[0] == '"') {
    size_t pos = 0;
    std::string text;
    if (!ParseQuoted(s, &pos, &text) || !OnlyBlanksFrom(s, pos)) return false;
    value->type = kTypeString;
    value->data.assign(text.begin(), text.end());
    value->data.push_back(0);
    return true;
  }
  const std::string lower = [&] {
    std::string l;
    for (char c : s.substr(0, 16)) l.push_back(Lower(c));
    return l;
  }();
  if (lower.rfind("dword:", 0) == 0) {
    const std::string digits = Trim(s.substr(6));
    if (digits.empty() || digits.size() > 8) return false;
    uint32_t v = 0;
    for (char c : digits) {
      if (HexDigit(c) < 0) return false;
      v = v * 16 + static_cast<uint32_t>(HexDigit(c));
    }
    value->type = kTypeDword;
    value->data = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
                   static_cast<uint8_t>(v >> 24)};
    return true;
  }
  if (lower.rfind("hex:", 0) == 0) {
    value->type = kTypeBinary;
    return ParseHexBytes(s.substr(4), &value->data);
  }
  if (lower.rfind("hex(", 0) == 0) {
    const size_t close = s.find("):", 4);
    if (close == std::string::npos || close == 4 || close > 12) return false;
    uint32_t type = 0;
    for (size_t i = 4; i < close; ++i) {
      if (HexDigit(s[i]) < 0) return false;
      type = type * 16 + static_cast<uint32_t>(HexDigit(s[i]));
    }
    value->type = type;
    return ParseHexBytes(s.substr(close + 2), &value->data);
  }
  return false;  // "-" (a deletion, only meaningful to an import) and rubbish
}

// Where a value line's data starts: after the name ("…" or @), blanks, '='
// and blanks. npos when the line has no such start.
size_t DataStart(const std::string& content, std::string* name) {
  size_t pos = 0;
  if (!content.empty() && content[0] == '@') {
    name->clear();
    pos = 1;
  } else if (!ParseQuoted(content, &pos, name)) {
    return std::string::npos;
  }
  while (pos < content.size() && IsBlank(content[pos])) ++pos;
  if (pos >= content.size() || content[pos] != '=') return std::string::npos;
  ++pos;
  while (pos < content.size() && IsBlank(content[pos])) ++pos;
  return pos;
}

// `content` is a trimmed value line, hex continuations already joined.
bool ParseValueLine(const std::string& content, std::string* name, RegistryValue* value) {
  const size_t start = DataStart(content, name);
  return start != std::string::npos && ParseData(content.substr(start), value);
}

bool IsHexData(const std::string& content) {
  std::string name;
  const size_t start = DataStart(content, &name);
  return start != std::string::npos && content.size() - start >= 3 && Lower(content[start]) == 'h' &&
         Lower(content[start + 1]) == 'e' && Lower(content[start + 2]) == 'x';
}

bool EndsWithBackslash(const std::string& s) { return !s.empty() && s.back() == '\\'; }

// Whether the last physical line of `raw` (one or more lines) holds only blanks.
bool LastLineBlank(const std::string& raw) {
  const std::string content = Content(raw);
  const size_t newline = content.rfind('\n');
  return Trim(newline == std::string::npos ? content : content.substr(newline + 1)).empty();
}

bool BelowOrSame(const std::string& path, const std::string& key) {
  if (SameText(path, key)) return true;
  return path.size() > key.size() && path[key.size()] == '\\' && SameText(path.substr(0, key.size()), key);
}

std::string FormatValue(const std::string& name, const RegistryValue& value, const std::string& newline) {
  std::string line = name.empty() ? "@" : Quote(name);
  line += '=';
  const auto& d = value.data;
  if (value.type == kTypeDword && d.size() == 4) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "dword:%08x",
                  static_cast<unsigned>(d[0] | d[1] << 8 | d[2] << 16 | static_cast<uint32_t>(d[3]) << 24));
    return line + digits;
  }
  if (value.type == kTypeString && !d.empty() && d.back() == 0) {
    const std::string text(d.begin(), d.end() - 1);
    if (text.find_first_of(std::string("\r\n\0", 3)) == std::string::npos) return line + Quote(text);
  }
  char prefix[24];
  if (value.type == kTypeBinary) {
    std::snprintf(prefix, sizeof prefix, "hex:");
  } else {
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
  }
  line += prefix;
  size_t column = line.size();
  for (size_t i = 0; i < d.size(); ++i) {
    char byte[4];
    std::snprintf(byte, sizeof byte, "%02x", d[i]);
    line += byte;
    column += 2;
    if (i + 1 < d.size()) {
      line += ',';
      ++column;
      if (column > kWrapColumn) {
        line += "\\" + newline + "  ";
        column = 2;
      }
    }
  }
  return line;
}

}  // namespace

bool RegistryDocument::ValidKeyPath(const std::string& path) {
  if (path.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return false;
  if (path.empty()) return true;  // the root key itself
  if (path.front() == '\\' || path.back() == '\\') return false;
  return path.find("\\\\") == std::string::npos;
}

bool RegistryDocument::Parse(const std::string& text) {
  lines_.clear();
  newline_ = "\n";
  if (text.empty()) return true;
  if (text.find('\0') != std::string::npos) return false;  // binary: not ours to rewrite

  // One pass over the text: each physical line is looked at once as a line of
  // its own, and at most once more as part of a hex list that starts before it.
  auto lineEnd = [&text](size_t start) {
    const size_t newline = text.find('\n', start);
    return newline == std::string::npos ? text.size() : newline + 1;
  };
  auto contentOf = [&text](size_t start, size_t end) { return Trim(Content(text.substr(start, end - start))); };

  size_t end = lineEnd(0);
  const std::string header = text.substr(0, end);
  std::string first = Content(header);
  if (first.rfind("\xEF\xBB\xBF", 0) == 0) first.erase(0, 3);  // a byte-order mark some editors add
  if (Trim(first) != kHeader) return false;
  if (header.size() >= 2 && header.compare(header.size() - 2, 2, "\r\n") == 0) newline_ = "\r\n";
  lines_.push_back(PlainLine(header));

  bool inSection = false;  // inside a section of HKEY_CURRENT_USER we can name
  std::string section;
  for (size_t start = end; start < text.size(); start = end) {
    end = lineEnd(start);
    Line line;
    line.raw = text.substr(start, end - start);
    const std::string content = contentOf(start, end);
    if (!content.empty() && content[0] == '[') {
      // Every bracket line ends the section before it, even one we cannot
      // read, so that what follows is never taken for the earlier key's.
      line.kind = Kind::Section;
      inSection = false;
      if (content.size() >= 2 && content.back() == ']') {
        const std::string inner = content.substr(1, content.size() - 2);
        const size_t slash = inner.find('\\');
        const std::string root = inner.substr(0, slash);
        const std::string path = slash == std::string::npos ? "" : inner.substr(slash + 1);
        if (SameText(root, kCurrentUser) && ValidKeyPath(path)) {
          line.currentUser = true;
          line.path = path;
          inSection = true;
          section = path;
        }
      }
    } else if (inSection && !content.empty() && (content[0] == '"' || content[0] == '@')) {
      bool readable = true;
      std::string joined = content;
      if (IsHexData(content) && EndsWithBackslash(content)) {
        // A hex list goes on over further lines, each ending in a backslash
        // but the last. Those lines belong to it even when the whole cannot
        // be read (they are then kept as they are), so none is read again as
        // a value of its own. A list the file or a section header cuts short
        // holds no value.
        readable = false;
        joined.pop_back();
        while (end < text.size()) {
          const size_t nextEnd = lineEnd(end);
          const std::string next = contentOf(end, nextEnd);
          if (!next.empty() && next[0] == '[') break;
          line.raw.append(text, end, nextEnd - end);
          end = nextEnd;
          if (!EndsWithBackslash(next)) {
            joined += next;
            readable = true;
            break;
          }
          joined.append(next, 0, next.size() - 1);
        }
      }
      if (readable && ParseValueLine(joined, &line.name, &line.value)) {
        line.kind = Kind::Value;
        line.path = section;
      }
    }
    if (line.kind == Kind::Other && lines_.size() > 1 && lines_.back().kind == Kind::Other) {
      lines_.back().raw += line.raw;  // runs of other lines are kept as one, however many there are
    } else {
      lines_.push_back(std::move(line));
    }
  }
  return true;
}

RegistryDocument::Line RegistryDocument::PlainLine(const std::string& raw) {
  Line line;
  line.raw = raw;
  return line;
}

std::string RegistryDocument::Text() const {
  std::string text;
  for (const Line& line : lines_) text += line.raw;
  return text;
}

bool RegistryDocument::KeyExists(const std::string& path) const {
  if (path.empty()) return true;
  for (const Line& line : lines_) {
    if (line.kind == Kind::Section && line.currentUser && BelowOrSame(line.path, path)) return true;
  }
  return false;
}

int RegistryDocument::LastValueLine(const std::string& path, const std::string& name) const {
  for (size_t i = lines_.size(); i-- > 0;) {
    const Line& line = lines_[i];
    if (line.kind == Kind::Value && SameText(line.path, path) && SameText(line.name, name)) return static_cast<int>(i);
  }
  return -1;
}

int RegistryDocument::LastSectionLine(const std::string& path) const {
  for (size_t i = lines_.size(); i-- > 0;) {
    const Line& line = lines_[i];
    if (line.kind == Kind::Section && line.currentUser && SameText(line.path, path)) return static_cast<int>(i);
  }
  return -1;
}

bool RegistryDocument::FindValue(const std::string& path, const std::string& name, RegistryValue* value) const {
  // Like an import, the last occurrence wins.
  const int i = LastValueLine(path, name);
  if (i < 0) return false;
  *value = lines_[static_cast<size_t>(i)].value;
  return true;
}

void RegistryDocument::EnsureNewlineAt(size_t index) {
  std::string& raw = lines_[index].raw;
  if (!raw.empty() && raw.back() == '\n') return;
  // A file cut between the two bytes of a CRLF gets the other one: another
  // line end after the carriage return would leave it in the line's text.
  raw += !raw.empty() && raw.back() == '\r' ? "\n" : newline_;
}

std::string RegistryDocument::Section(const std::string& path) const {
  return "[" + std::string(kCurrentUser) + (path.empty() ? "" : "\\" + path) + "]";
}

bool RegistryDocument::CreateKey(const std::string& path) {
  if (!ValidKeyPath(path)) return false;
  if (LastSectionLine(path) >= 0) return true;
  if (lines_.empty()) lines_.push_back(PlainLine(std::string(kHeader) + newline_));
  EnsureNewlineAt(lines_.size() - 1);
  if (!LastLineBlank(lines_.back().raw) || lines_.size() == 1) lines_.push_back(PlainLine(newline_));
  Line section;
  section.raw = Section(path) + newline_;
  section.kind = Kind::Section;
  section.currentUser = true;
  section.path = path;
  lines_.push_back(std::move(section));
  return true;
}

bool RegistryDocument::SetValue(const std::string& path, const std::string& name, const RegistryValue& value) {
  if (!ValidKeyPath(path) || name.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) return false;
  Line line;
  line.kind = Kind::Value;
  line.path = path;
  line.name = name;
  line.value = value;
  line.raw = FormatValue(name, value, newline_);

  const int existing = LastValueLine(path, name);
  if (existing >= 0) {
    Line& old = lines_[static_cast<size_t>(existing)];
    // The replaced lines keep their terminator (none on an unterminated last line).
    line.raw += old.raw.substr(Content(old.raw).size());
    line.path = old.path;  // keep the spelling of the file
    old = std::move(line);
    return true;
  }
  if (LastSectionLine(path) < 0) CreateKey(path);
  size_t at = static_cast<size_t>(LastSectionLine(path));
  line.path = lines_[at].path;
  // After the section's last value, so comments and blank lines that lead
  // into the next section stay with it.
  for (size_t j = at + 1; j < lines_.size() && lines_[j].kind != Kind::Section; ++j) {
    if (lines_[j].kind == Kind::Value) at = j;
  }
  EnsureNewlineAt(at);
  line.raw += newline_;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at) + 1, std::move(line));
  return true;
}

}  // namespace platform
