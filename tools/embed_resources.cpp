// Turns a resource list into a C++ source file holding the listed files' bytes
// and the table that platform/resources.cpp searches. Run by the build:
//   embed_resources LIST BASE_DIR OUTPUT.cpp
// LIST holds one resource per line, "NAME TYPE FILE" (see resources/resources.list);
// FILE is relative to BASE_DIR. The same inputs always give the same output.
#include <cctype>
#include <cstdio>
#include <strings.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Entry {
  std::string name;
  unsigned id = 0;
  unsigned type = 0;
  std::string file;
  std::vector<unsigned char> bytes;
};

// The system's numbers for the types a resource script names.
const std::map<std::string, unsigned> kTypeNames = {
    {"RT_CURSOR", 1}, {"RT_BITMAP", 2},  {"RT_ICON", 3},        {"RT_MENU", 4},      {"RT_DIALOG", 5},
    {"RT_STRING", 6}, {"RT_RCDATA", 10}, {"RT_GROUP_ICON", 14}, {"RT_VERSION", 16},  {"RT_HTML", 23},
    {"RT_MANIFEST", 24},
};

bool ParseNumber(const std::string& text, unsigned* value) {
  if (text.empty() || text.size() > 5) return false;
  unsigned long v = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    v = v * 10 + static_cast<unsigned long>(c - '0');
  }
  if (v == 0 || v > 0xFFFF) return false;
  *value = static_cast<unsigned>(v);
  return true;
}

bool Fail(const std::string& where, const std::string& what) {
  std::fprintf(stderr, "embed_resources: %s: %s\n", where.c_str(), what.c_str());
  return false;
}

bool ReadList(const std::string& listPath, const std::string& baseDir, std::vector<Entry>* entries) {
  std::ifstream list(listPath);
  if (!list) return Fail(listPath, "cannot open");
  std::string line;
  for (int lineNumber = 1; std::getline(list, line); ++lineNumber) {
    const std::string where = listPath + ":" + std::to_string(lineNumber);
    std::size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    std::istringstream fields(line);
    Entry entry;
    std::string type, extra;
    if (!(fields >> entry.name)) continue;  // blank or comment
    if (!(fields >> type >> entry.file) || (fields >> extra)) return Fail(where, "expected NAME TYPE FILE");
    ParseNumber(entry.name, &entry.id);
    auto known = kTypeNames.find(type);
    if (known != kTypeNames.end()) {
      entry.type = known->second;
    } else if (!ParseNumber(type, &entry.type)) {
      return Fail(where, "unknown resource type " + type);
    }
    // Lookups ignore case and read numbered names as numbers, so two names that
    // differ only so would hide one another.
    for (const Entry& other : *entries) {
      const bool sameName = entry.id != 0 ? other.id == entry.id
                                          : other.id == 0 && strcasecmp(other.name.c_str(), entry.name.c_str()) == 0;
      if (other.type == entry.type && sameName) return Fail(where, "duplicate resource " + entry.name);
    }
    std::ifstream file(baseDir + "/" + entry.file, std::ios::binary);
    if (!file) return Fail(where, "cannot open " + entry.file);
    entry.bytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    entries->push_back(std::move(entry));
  }
  return true;
}

std::string CString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

bool WriteTable(const std::string& outputPath, const std::vector<Entry>& entries) {
  std::ostringstream out;
  out << "// Written by tools/embed_resources.cpp from the resource list; do not edit.\n"
         "#include \"platform/resources.h\"\n\n"
         "namespace {\n";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const auto& bytes = entries[i].bytes;
    out << "// " << entries[i].file << "\n";
    out << "alignas(16) const unsigned char kData" << i << "[" << (bytes.empty() ? 1 : bytes.size()) << "] = {";
    for (std::size_t k = 0; k < bytes.size(); ++k) {
      out << (k % 24 == 0 ? "\n" : "") << static_cast<unsigned>(bytes[k]) << ',';
    }
    out << (bytes.empty() ? "0" : "") << "\n};\n";
  }
  out << "}  // namespace\n\n"
         "namespace platform {\n"
         "namespace detail {\n"
         "extern const ResourceEntry kResourceEntries[];\n"
         "extern const size_t kResourceEntryCount;\n"
         "const ResourceEntry kResourceEntries[] = {\n";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const Entry& e = entries[i];
    out << "    {" << CString(e.name) << ", " << e.id << ", " << e.type << ", kData" << i << ", " << e.bytes.size()
        << "},\n";
  }
  if (entries.empty()) out << "    {\"\", 0, 0, nullptr, 0},\n";  // an array may not be empty
  out << "};\n"
         "const size_t kResourceEntryCount = "
      << entries.size()
      << ";\n"
         "}  // namespace detail\n"
         "}  // namespace platform\n";

  // Leave an unchanged file alone, so that its object is not rebuilt.
  const std::string text = out.str();
  {
    std::ifstream old(outputPath, std::ios::binary);
    if (old && std::string(std::istreambuf_iterator<char>(old), std::istreambuf_iterator<char>()) == text) return true;
  }
  std::ofstream file(outputPath, std::ios::binary | std::ios::trunc);
  if (!(file << text) || !file.flush()) return Fail(outputPath, "cannot write");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: embed_resources LIST BASE_DIR OUTPUT.cpp\n");
    return 2;
  }
  std::vector<Entry> entries;
  if (!ReadList(argv[1], argv[2], &entries)) return 1;
  return WriteTable(argv[3], entries) ? 0 : 1;
}
