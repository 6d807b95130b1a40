// Reads the resources of a built program, opened as a data file (nothing of
// it runs), and checks them against what the saver promises:
//   - dialog 104: a DIALOG template (not DIALOGEX), read field by field to
//     its last byte;
//   - string 1, the saver's description;
//   - icon group 1: a 32 x 32 and a 16 x 16 image of 16 colours;
//   - the four pictures as RCDATA under their names, each a JPEG.
// Prints one line per failed check; exits 0 when all hold.
//
//   hl_resource_inspector FILE
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "tests/windows/probe_checks.h"

namespace {

using probe::Fail;
using probe::failures;

// Reads a resource's bytes in order, never past its end.
class Reader {
 public:
  Reader(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  bool ok() const { return ok_; }
  size_t offset() const { return at_; }
  uint16_t Word() {
    if (at_ + 2 > size_) return Short();
    uint16_t v;
    std::memcpy(&v, data_ + at_, 2);
    at_ += 2;
    return v;
  }
  uint32_t Dword() {
    const uint32_t lo = Word();
    return lo | (static_cast<uint32_t>(Word()) << 16);
  }
  // A 16-bit string ending in 0; plain ASCII expected.
  std::string String() {
    std::string s;
    for (uint16_t c; ok_ && (c = Word()) != 0;) s += c < 128 ? static_cast<char>(c) : '?';
    return s;
  }
  void AlignDword() { at_ = (at_ + 3) & ~size_t{3}; }

 private:
  uint16_t Short() {
    ok_ = false;
    at_ = size_;
    return 0;
  }
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
  bool ok_ = true;
};

const uint8_t* Bytes(HMODULE module, LPCSTR name, LPCSTR type, DWORD* size) {
  HRSRC found = FindResourceA(module, name, type);
  if (!found) return nullptr;
  *size = SizeofResource(module, found);
  HGLOBAL loaded = LoadResource(module, found);
  return loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
}

std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(v));
  return text;
}

struct Item {
  uint32_t style;
  int16_t x, y, cx, cy;
  uint16_t id;
  uint16_t atom;  // 0x0080 button, 0x0082 static
  const char* text;  // nullptr: any non-empty text
};

constexpr uint32_t kChild = WS_CHILD | WS_VISIBLE;
const Item kItems[] = {
    {kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 172, 4, 50, 14, IDOK, 0x0080, "OK"},
    {kChild | WS_TABSTOP | BS_PUSHBUTTON, 172, 23, 50, 14, IDCANCEL, 0x0080, "Cancel"},
    {kChild | WS_GROUP | SS_LEFT, 7, 78, 100, 8, 0xFFFF, 0x0082, nullptr},
    {kChild | WS_GROUP | SS_LEFT, 7, 55, 53, 8, 0xFFFF, 0x0082, nullptr},
    {kChild | WS_GROUP | SS_LEFT, 7, 63, 49, 8, 0xFFFF, 0x0082, nullptr},
    {kChild | WS_TABSTOP | BS_AUTOCHECKBOX, 9, 14, 52, 10, 1001, 0x0080, "Use Mirrors"},
    {kChild | WS_GROUP | SS_LEFT, 7, 34, 36, 8, 0xFFFF, 0x0082, "Version 1.0"},
};

void CheckDialog(HMODULE module) {
  DWORD size = 0;
  const uint8_t* data = Bytes(module, MAKEINTRESOURCEA(104), MAKEINTRESOURCEA(5) /* RT_DIALOG */, &size);
  if (!data) return Fail("no dialog 104");
  Reader r(data, size);
  const uint32_t style = r.Dword();
  if ((style & 0xFFFF0000u) == 0xFFFF0000u) return Fail("dialog 104 is a DIALOGEX template");
  const uint32_t wantStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT;
  if (style != wantStyle) Fail("dialog style " + Hex(style) + ", not " + Hex(wantStyle));
  if (const uint32_t ex = r.Dword()) Fail("dialog extended style " + Hex(ex));
  const uint16_t count = r.Word();
  const int16_t x = static_cast<int16_t>(r.Word()), y = static_cast<int16_t>(r.Word());
  const int16_t cx = static_cast<int16_t>(r.Word()), cy = static_cast<int16_t>(r.Word());
  if (count != 7) Fail("dialog has " + std::to_string(count) + " controls");
  if (x != 0 || y != 0 || cx != 228 || cy != 102)
    Fail("dialog at " + std::to_string(x) + "," + std::to_string(y) + " size " + std::to_string(cx) + "x" +
         std::to_string(cy));
  if (r.Word() != 0) Fail("dialog has a menu");
  if (r.Word() != 0) Fail("dialog has a class of its own");
  const std::string caption = r.String();
  if (caption != "Config dialog") Fail("dialog caption \"" + caption + "\"");
  const uint16_t points = r.Word();
  const std::string face = r.String();
  if (points != 8 || face != "MS Sans Serif") Fail("dialog font " + std::to_string(points) + " \"" + face + "\"");

  for (uint16_t i = 0; i < count && i < 7 && r.ok(); ++i) {
    const Item& want = kItems[i];
    const std::string n = "control " + std::to_string(i + 1) + ": ";
    r.AlignDword();
    const uint32_t s = r.Dword();
    const uint32_t ex = r.Dword();
    const int16_t ix = static_cast<int16_t>(r.Word()), iy = static_cast<int16_t>(r.Word());
    const int16_t icx = static_cast<int16_t>(r.Word()), icy = static_cast<int16_t>(r.Word());
    const uint16_t id = r.Word();
    const uint16_t classMark = r.Word();
    const uint16_t atom = classMark == 0xFFFF ? r.Word() : 0;
    if (classMark != 0xFFFF) r.String();  // a class by name: not what the template asks for
    uint16_t textMark = r.Word();
    std::string text;
    if (textMark == 0xFFFF) {
      r.Word();
      text = "#ordinal";
    } else if (textMark != 0) {
      text = std::string(1, static_cast<char>(textMark)) + r.String();
    }
    const uint16_t extra = r.Word();
    if (s != want.style) Fail(n + "style " + Hex(s) + ", not " + Hex(want.style));
    if (ex != 0) Fail(n + "extended style " + Hex(ex));
    if (ix != want.x || iy != want.y || icx != want.cx || icy != want.cy)
      Fail(n + "at " + std::to_string(ix) + "," + std::to_string(iy) + " size " + std::to_string(icx) + "x" +
           std::to_string(icy));
    if (id != want.id) Fail(n + "id " + std::to_string(id));
    if (classMark != 0xFFFF || atom != want.atom) Fail(n + "not the standard " + (want.atom == 0x80 ? "button" : "static"));
    if (want.text ? text != want.text : text.empty()) Fail(n + "text \"" + text + "\"");
    if (extra != 0) Fail(n + std::to_string(extra) + " bytes of creation data");
  }
  if (!r.ok()) Fail("dialog 104 ends inside its last control");
  else if (size - r.offset() > 3) Fail(std::to_string(size - r.offset()) + " bytes after the last control");
}

void CheckString(HMODULE module) {
  char text[128] = "";
  const int length = LoadStringA(module, 1, text, sizeof text);
  if (length <= 0) return Fail("no string 1");
  if (std::strcmp(text, "QUOX screen saver") != 0) Fail(std::string("string 1 is \"") + text + "\"");
}

#pragma pack(push, 2)
struct GroupEntry {
  BYTE width, height, colours, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

void CheckIcon(HMODULE module) {
  DWORD size = 0;
  const uint8_t* data = Bytes(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */, &size);
  if (!data) return Fail("no icon group 1");
  if (size < 6) return Fail("icon group 1 is too short");
  WORD type = 0, count = 0;
  std::memcpy(&type, data + 2, 2);
  std::memcpy(&count, data + 4, 2);
  if (type != 1 || count != 2) return Fail("icon group 1: type " + std::to_string(type) + ", " + std::to_string(count) + " images");
  if (size < 6 + 2 * sizeof(GroupEntry)) return Fail("icon group 1 is too short for its images");
  bool seen32 = false, seen16 = false;
  for (int i = 0; i < 2; ++i) {
    GroupEntry e;
    std::memcpy(&e, data + 6 + i * sizeof e, sizeof e);
    const std::string n = "icon image " + std::to_string(i + 1) + ": ";
    if (e.width != e.height || (e.width != 32 && e.width != 16)) Fail(n + std::to_string(e.width) + "x" + std::to_string(e.height));
    seen32 = seen32 || e.width == 32;
    seen16 = seen16 || e.width == 16;
    if (e.colours != 16) Fail(n + std::to_string(e.colours) + " colours in the group entry");
    DWORD imageSize = 0;
    const uint8_t* image = Bytes(module, MAKEINTRESOURCEA(e.id), MAKEINTRESOURCEA(3) /* RT_ICON */, &imageSize);
    if (!image || imageSize < sizeof(BITMAPINFOHEADER)) {
      Fail(n + "its image is missing");
      continue;
    }
    BITMAPINFOHEADER h;
    std::memcpy(&h, image, sizeof h);
    if (h.biWidth != e.width || h.biHeight != 2 * e.width || h.biBitCount != 4)
      Fail(n + "bitmap " + std::to_string(h.biWidth) + "x" + std::to_string(h.biHeight) + " at " +
           std::to_string(h.biBitCount) + " bits");
    // Header, 16-entry palette, 4-bit colour rows and 1-bit mask rows, each
    // padded to 32 bits.
    const DWORD want = sizeof h + 16 * 4 + e.width * ((e.width * 4 + 31) / 32 * 4) + e.width * ((e.width + 31) / 32 * 4);
    if (imageSize != want || e.bytes != want) Fail(n + std::to_string(imageSize) + " bytes, not " + std::to_string(want));
  }
  if (!seen32 || !seen16) Fail("icon group 1 lacks the 32 x 32 or the 16 x 16 image");
}

void CheckPictures(HMODULE module) {
  for (const char* name : {"JPEG_EYE", "JPEG_PELIROREL", "JPEG_PELIROEYE", "JPEG_PELIROBALL"}) {
    DWORD size = 0;
    const uint8_t* data = Bytes(module, name, MAKEINTRESOURCEA(10) /* RT_RCDATA */, &size);
    if (!data) Fail(std::string("no RCDATA ") + name);
    else if (size < 4 || data[0] != 0xFF || data[1] != 0xD8 || data[size - 2] != 0xFF || data[size - 1] != 0xD9)
      Fail(std::string("RCDATA ") + name + " is not a whole JPEG");
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: hl_resource_inspector FILE\n");
    return 2;
  }
  HMODULE module = LoadLibraryExA(argv[1], nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) {
    std::printf("FAIL: cannot open %s as a data file (error %lu)\n", argv[1], GetLastError());
    return 1;
  }
  CheckDialog(module);
  CheckString(module);
  CheckIcon(module);
  CheckPictures(module);
  FreeLibrary(module);
  if (failures == 0) std::printf("resources: dialog 104, string 1, icon group 1 and the four pictures as designed\n");
  return failures == 0 ? 0 : 1;
}
