// Resource module Morvex.dll: every text its callers load, their buffer
// limits and printf conversions, the drag cursor, and the module's shape.
#include <gtest/gtest.h>
#include <windows.h>

#include <cctype>
#include <cstring>
#include <set>
#include <string>

#include "../components/resources/resource.h"

namespace {

enum class Role {
  Message,  // message box text: a full sentence
  Caption,  // message box caption or dialog title
  Label,    // shown beside its value
  Prefix,   // followed directly by a number
  Text,     // anything else: list entries, units, tab and button texts
};

struct ExpectedString {
  UINT id;
  const char* name;
  int buffer;               // smallest buffer any caller loads it into, NUL included
  Role role;
  const char* conversions;  // printf conversions in the caller's order; null = not a format
};

// Buffers the callers state. Where no caller states one, the smallest buffer
// any caller uses (40) applies, except for message box texts (300).
constexpr int kMessage = 300;
constexpr int kCaption = 40;
constexpr int kUnstated = 40;
constexpr int kChooserTitle = 256;
constexpr int kPictureInfo = 256;
constexpr int kSearchTexts = 256;
constexpr int kNameOrFilter = 260;

#define ROW(id, buffer, role, conversions) {id, #id, buffer, Role::role, conversions}
const ExpectedString kStrings[] = {
    ROW(IDS_CANNOT_OPEN_PICTURE, kMessage, Message, nullptr),
    ROW(IDS_PICTURE_FILE_ERROR, kMessage, Message, nullptr),
    ROW(IDS_INVALID_ALBUM_NAME, kMessage, Message, nullptr),
    ROW(IDS_ASK_SAVE_CHANGES, kMessage, Message, nullptr),
    ROW(IDS_ALBUM_NAME_EXISTS, kMessage, Message, nullptr),
    ROW(IDS_CANNOT_PREPARE_PICTURE, kMessage, Message, nullptr),
    ROW(IDS_ASK_DELETE_ALBUM, kMessage, Message, nullptr),
    ROW(IDS_CANNOT_DELETE_ALBUM, kMessage, Message, nullptr),
    ROW(IDS_ALBUM_NAME_RESERVED, kMessage, Message, nullptr),
    ROW(IDS_INVALID_DATE_RANGE, kMessage, Message, nullptr),
    ROW(IDS_ASK_SAVE_RESULTS, kMessage, Message, nullptr),
    ROW(IDS_ASK_REMOVE_RESOURCES, kMessage, Message, nullptr),
    ROW(IDS_SOME_DROPS_FAILED, kMessage, Message, nullptr),
    ROW(IDS_NO_WILDCARDS_IN_NAME, kMessage, Message, nullptr),
    ROW(IDS_INVALID_SIZE, kMessage, Message, nullptr),
    ROW(IDS_ASK_REFRESH_DUPLICATE, kMessage, Message, "s"),
    ROW(IDS_ASK_REPLACE_RESOURCE, kMessage, Message, "s"),
    ROW(IDS_RESOURCE_ALBUM_UNREADABLE, kMessage, Message, nullptr),
    ROW(IDS_PATH_TOO_LONG, kMessage, Message, nullptr),
    ROW(IDS_CANNOT_OPEN_ALBUM, kMessage, Message, nullptr),
    ROW(IDS_CANNOT_SAVE_ALBUM, kMessage, Message, nullptr),

    ROW(IDS_CAPTION_ADD_RESOURCES, kCaption, Caption, nullptr),
    ROW(IDS_TITLE_ADD_TO_ALBUM, kChooserTitle, Caption, nullptr),
    ROW(IDS_CAPTION_ALBUM, kCaption, Caption, nullptr),
    ROW(IDS_CAPTION_ALBUM_MANAGER, kCaption, Caption, nullptr),
    ROW(IDS_CAPTION_RESOURCE_ALBUM, kCaption, Caption, nullptr),
    ROW(IDS_TITLE_OPEN_ALBUM, kChooserTitle, Caption, nullptr),
    ROW(IDS_CAPTION_SEARCH, kCaption, Caption, nullptr),
    ROW(IDS_CAPTION_PHOTO_ALBUM, kCaption, Caption, nullptr),

    ROW(IDS_FMT_ITEM_INFO, 100, Text, "dddddd"),
    ROW(IDS_FMT_ITEM_COUNT, kUnstated, Text, "d"),
    ROW(IDS_SEARCH_STARTING, 50, Text, nullptr),
    ROW(IDS_FMT_SEARCHING, 100, Text, "s"),
    ROW(IDS_FMT_ADDING, 128, Text, "dds"),
    ROW(IDS_FMT_SEARCH_DONE, kUnstated, Text, "d"),

    ROW(IDS_UNTITLED_ALBUM, kNameOrFilter, Text, nullptr),
    ROW(IDS_ALL_ALBUMS, kUnstated, Text, nullptr),

    ROW(IDS_TIP_ADD, kUnstated, Text, nullptr),
    ROW(IDS_TIP_ACQUIRE, kUnstated, Text, nullptr),
    ROW(IDS_TIP_SORT, kUnstated, Text, nullptr),
    ROW(IDS_TIP_DELETE, kUnstated, Text, nullptr),
    ROW(IDS_TIP_SAVE, kUnstated, Text, nullptr),
    ROW(IDS_TIP_PRINT, kUnstated, Text, nullptr),
    ROW(IDS_TIP_SEARCH, kUnstated, Text, nullptr),
    ROW(IDS_TIP_BATCH, kUnstated, Text, nullptr),
    ROW(IDS_TIP_HELP, kUnstated, Text, nullptr),

    ROW(IDS_PRINT_BOX_1IN, kUnstated, Text, nullptr),
    ROW(IDS_PRINT_BOX_1_5IN, kUnstated, Text, nullptr),
    ROW(IDS_PRINT_BOX_2IN, kUnstated, Text, nullptr),
    ROW(IDS_PRINT_BOX_2_5IN, kUnstated, Text, nullptr),
    ROW(IDS_PRINT_NAMES, kUnstated, Text, nullptr),

    ROW(IDS_TAB_NAME_LOCATION, kSearchTexts, Text, nullptr),
    ROW(IDS_TAB_DATE, kSearchTexts, Text, nullptr),
    ROW(IDS_TAB_TYPE_SIZE, kSearchTexts, Text, nullptr),
    ROW(IDS_SIZE_AT_LEAST, kSearchTexts, Text, nullptr),
    ROW(IDS_SIZE_AT_MOST, kSearchTexts, Text, nullptr),
    ROW(IDS_BUTTON_CONTINUE, kSearchTexts, Text, nullptr),
    ROW(IDS_BUTTON_FIND, kSearchTexts, Text, nullptr),

    ROW(IDS_INFO_COL_PROPERTY, kUnstated, Text, nullptr),
    ROW(IDS_INFO_COL_VALUE, kUnstated, Text, nullptr),
    ROW(IDS_UNIT_BITS_PER_PIXEL, kPictureInfo, Text, nullptr),
    ROW(IDS_UNIT_SECONDS, kPictureInfo, Text, nullptr),
    ROW(IDS_UNIT_MILLIMETRES, kPictureInfo, Text, nullptr),
    ROW(IDS_UNIT_PIXELS_PER_INCH, kPictureInfo, Text, nullptr),
    ROW(IDS_ISO_PREFIX, kPictureInfo, Prefix, nullptr),
    ROW(IDS_FLASH_FIRED, kPictureInfo, Text, nullptr),
    ROW(IDS_FLASH_NOT_FIRED, kPictureInfo, Text, nullptr),
    ROW(IDS_LIGHT_UNKNOWN, kPictureInfo, Text, nullptr),
    ROW(IDS_LIGHT_DAYLIGHT, kPictureInfo, Text, nullptr),
    ROW(IDS_LIGHT_FLUORESCENT, kPictureInfo, Text, nullptr),
    ROW(IDS_LIGHT_TUNGSTEN, kPictureInfo, Text, nullptr),
    ROW(IDS_LIGHT_FLASH, kPictureInfo, Text, nullptr),
    ROW(IDS_PROGRAM_NORMAL, kPictureInfo, Text, nullptr),
    ROW(IDS_PROGRAM_MANUAL, kPictureInfo, Text, nullptr),
    ROW(IDS_PROGRAM_APERTURE_PRIORITY, kPictureInfo, Text, nullptr),
    ROW(IDS_PROGRAM_SHUTTER_PRIORITY, kPictureInfo, Text, nullptr),
    ROW(IDS_PROGRAM_CREATIVE, kPictureInfo, Text, nullptr),
    ROW(IDS_PROGRAM_ACTION, kPictureInfo, Text, nullptr),
    ROW(IDS_PROGRAM_PORTRAIT, kPictureInfo, Text, nullptr),
    ROW(IDS_PROGRAM_LANDSCAPE, kPictureInfo, Text, nullptr),
    ROW(IDS_INFO_MAKE, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_MODEL, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_EXIF_VERSION, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_DATE_TAKEN, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_DATE_DIGITIZED, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_COMPRESSION, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_EXPOSURE_TIME, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_F_NUMBER, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_EXPOSURE_BIAS, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_FOCAL_LENGTH, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_FOCAL_PLANE_XRES, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_FOCAL_PLANE_YRES, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_ISO_SPEED, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_FLASH, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_LIGHT_SOURCE, kPictureInfo, Label, nullptr),
    ROW(IDS_INFO_EXPOSURE_PROGRAM, kPictureInfo, Label, nullptr),

    ROW(IDS_PICTURE_FILTER, kNameOrFilter, Text, nullptr),
};
#undef ROW

// Resources of other kinds; none of them may also be a string.
const UINT kOtherKinds[] = {
    IDD_NEW_ALBUM, IDD_PRINT, IDD_CHOOSE_ALBUM, IDD_SEARCH, IDD_PICTURE_INFO, IDD_SORT,
    IDD_ALBUM_MANAGER, IDD_REMOVE_CHOICE, IDM_ITEM_CONTEXT, IDB_CLOSE_BUTTON,
    IDB_TOOLBAR_CLASSIC_1, IDB_TOOLBAR_CLASSIC_2, IDB_TOOLBAR_CLASSIC_3, IDB_TOOLBAR_CLASSIC_4,
    IDB_TOOLBAR_NEW_1, IDB_TOOLBAR_NEW_2, IDB_TOOLBAR_NEW_3, IDB_TOOLBAR_NEW_4, IDC_DRAGCURSOR,
};

HMODULE Morvex() {
  static HMODULE module = LoadLibraryA("Morvex.dll");
  return module;
}

std::string Load(HMODULE module, UINT id) {
  char text[1024] = {};
  int n = LoadStringA(module, id, text, sizeof(text));
  return std::string(text, n > 0 ? n : 0);
}

// The conversion letters of a printf format, in order ("%5.1f %s" gives "fs").
std::string Conversions(const std::string& format) {
  std::string found;
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] != '%') continue;
    ++i;
    if (i < format.size() && format[i] == '%') continue;
    while (i < format.size() && std::strchr("-+ #0123456789.*hlLqjzt", format[i])) ++i;
    if (i < format.size()) found += format[i];
  }
  return found;
}

BOOL CALLBACK CollectBlock(HMODULE, LPCSTR, LPSTR name, LONG_PTR blocks) {
  if (IS_INTRESOURCE(name))
    reinterpret_cast<std::set<UINT>*>(blocks)->insert(LOWORD(reinterpret_cast<ULONG_PTR>(name)));
  return TRUE;
}

std::set<UINT> StringIdsInModule(HMODULE module) {
  std::set<UINT> blocks;
  EnumResourceNamesA(module, RT_STRING, CollectBlock, reinterpret_cast<LONG_PTR>(&blocks));
  // Block b holds the strings (b - 1) * 16 to (b - 1) * 16 + 15.
  std::set<UINT> ids;
  for (UINT block : blocks)
    for (UINT id = (block - 1) * 16; id < block * 16; ++id)
      if (!Load(module, id).empty()) ids.insert(id);
  return ids;
}

TEST(MorvexStrings, EveryTextLoadsAndFitsItsCallersBuffer) {
  ASSERT_NE(Morvex(), nullptr) << "LoadLibraryA(\"Morvex.dll\") failed, error " << GetLastError();
  for (const ExpectedString& s : kStrings) {
    std::string text = Load(Morvex(), s.id);
    EXPECT_FALSE(text.empty()) << s.name << " (" << s.id << ") expected a text, got none";
    EXPECT_LE(static_cast<int>(text.size()) + 1, s.buffer)
        << s.name << ": expected at most " << s.buffer - 1 << " characters, got " << text.size()
        << ": \"" << text << "\"";
    for (unsigned char c : text)
      EXPECT_TRUE(c < 0x80) << s.name << ": expected ASCII only, got byte " << int(c);
  }
}

TEST(MorvexStrings, FormatsCarryExactlyTheCallersConversions) {
  ASSERT_NE(Morvex(), nullptr) << "expected Morvex.dll to load";
  for (const ExpectedString& s : kStrings) {
    std::string text = Load(Morvex(), s.id);
    if (s.conversions) {
      EXPECT_EQ(Conversions(text), s.conversions) << s.name << ": \"" << text << "\"";
    } else {
      EXPECT_EQ(text.find('%'), std::string::npos)
          << s.name << " is no format, expected no %, got \"" << text << "\"";
    }
  }
}

TEST(MorvexStrings, TextsReadAsTheirRole) {
  ASSERT_NE(Morvex(), nullptr) << "expected Morvex.dll to load";
  for (const ExpectedString& s : kStrings) {
    std::string text = Load(Morvex(), s.id);
    if (text.empty()) continue;  // reported by the loading test
    char first = text.front(), last = text.back();
    switch (s.role) {
      case Role::Message:
        EXPECT_TRUE(std::isupper(static_cast<unsigned char>(first)) && (last == '.' || last == '?'))
            << s.name << ": expected a capitalised sentence, got \"" << text << "\"";
        break;
      case Role::Caption:
        EXPECT_TRUE(std::isupper(static_cast<unsigned char>(first)) &&
                    std::isalnum(static_cast<unsigned char>(last)))
            << s.name << ": expected a short title, got \"" << text << "\"";
        break;
      case Role::Label:
        EXPECT_EQ(last, ':') << s.name << ": expected a label ending in ':', got \"" << text << "\"";
        break;
      case Role::Prefix:
        EXPECT_EQ(last, ' ') << s.name << ": expected a space before the number, got \"" << text
                             << "\"";
        break;
      case Role::Text:
        EXPECT_FALSE(std::isspace(static_cast<unsigned char>(first)) ||
                     std::isspace(static_cast<unsigned char>(last)))
            << s.name << ": expected no surrounding blanks, got \"" << text << "\"";
        break;
    }
  }
}

TEST(MorvexStrings, StringTableHoldsExactlyTheListedIds) {
  ASSERT_NE(Morvex(), nullptr) << "expected Morvex.dll to load";
  for (UINT id : kOtherKinds)
    EXPECT_EQ(Load(Morvex(), id), "") << "id " << id << " is another kind of resource, not a string";

  std::set<UINT> expected;
  for (const ExpectedString& s : kStrings) expected.insert(s.id);
  ASSERT_EQ(expected.size(), sizeof(kStrings) / sizeof(kStrings[0])) << "an id is listed twice";
  std::set<UINT> found = StringIdsInModule(Morvex());
  for (UINT id : found)
    EXPECT_TRUE(expected.count(id)) << "unexpected string " << id << ": \"" << Load(Morvex(), id) << "\"";
  EXPECT_EQ(found.size(), expected.size()) << "expected " << expected.size() << " strings, got "
                                           << found.size();
}

// Bitmaps filled by GetIconInfo belong to the caller.
struct IconBitmaps {
  ICONINFO info = {};
  ~IconBitmaps() {
    if (info.hbmMask) DeleteObject(info.hbmMask);
    if (info.hbmColor) DeleteObject(info.hbmColor);
  }
};

TEST(MorvexCursor, DragCursorIs32PixelsWithTheArrowTipAtTheHotspot) {
  ASSERT_NE(Morvex(), nullptr) << "expected Morvex.dll to load";
  HCURSOR cursor = LoadCursorA(Morvex(), MAKEINTRESOURCEA(IDC_DRAGCURSOR));
  ASSERT_NE(cursor, nullptr) << "LoadCursorA(" << IDC_DRAGCURSOR << ") failed, error " << GetLastError();
  IconBitmaps bitmaps;
  ASSERT_TRUE(GetIconInfo(cursor, &bitmaps.info)) << "GetIconInfo failed, error " << GetLastError();
  EXPECT_FALSE(bitmaps.info.fIcon) << "expected a cursor, got an icon";
  EXPECT_EQ(bitmaps.info.xHotspot, 0u) << "expected the hotspot at the arrow tip (0, 0)";
  EXPECT_EQ(bitmaps.info.yHotspot, 0u) << "expected the hotspot at the arrow tip (0, 0)";
  EXPECT_EQ(bitmaps.info.hbmColor, nullptr) << "expected a monochrome cursor";

  // A monochrome cursor's mask holds the AND plane over the XOR plane.
  BITMAP mask = {};
  ASSERT_TRUE(GetObjectA(bitmaps.info.hbmMask, sizeof(mask), &mask));
  EXPECT_EQ(mask.bmWidth, 32) << "expected a 32-pixel cursor";
  ASSERT_EQ(mask.bmHeight, 64) << "expected 32 rows of AND mask over 32 of XOR plane";

  struct {
    BITMAPINFOHEADER header;
    RGBQUAD colors[2];
  } bmi = {};
  bmi.header.biSize = sizeof(bmi.header);
  bmi.header.biWidth = 32;
  bmi.header.biHeight = -64;  // top-down rows
  bmi.header.biPlanes = 1;
  bmi.header.biBitCount = 1;
  DWORD rows[64] = {};
  HDC screen = GetDC(nullptr);
  int got = GetDIBits(screen, bitmaps.info.hbmMask, 0, 64, rows, reinterpret_cast<BITMAPINFO*>(&bmi),
                      DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  ASSERT_EQ(got, 64) << "expected all 64 mask rows from GetDIBits";
  auto bit = [&](int x, int y) { return (reinterpret_cast<BYTE*>(&rows[y])[x / 8] >> (7 - x % 8)) & 1; };
  EXPECT_EQ(bit(0, 0), 0) << "the arrow tip at the hotspot must be opaque";
  EXPECT_EQ(bit(0, 32), 0) << "the arrow tip must be black";
  EXPECT_EQ(bit(31, 0), 1) << "the top right corner must be transparent";
  int badge = 0;
  for (int y = 16; y < 32; ++y)
    for (int x = 16; x < 32; ++x) badge += bit(x, y) == 0;
  EXPECT_GT(badge, 64) << "expected the picture badge in the lower right quarter, got " << badge
                       << " opaque pixels";
}

TEST(MorvexModule, IsResourceOnlyAndLoadsAsDataFile) {
  ASSERT_NE(Morvex(), nullptr) << "expected Morvex.dll to load";
  auto* base = reinterpret_cast<const BYTE*>(Morvex());
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  EXPECT_EQ(nt->OptionalHeader.AddressOfEntryPoint, 0u) << "expected no entry point";
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  int imported = 0;
  if (imports.VirtualAddress) {
    auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
    for (; d->Name; ++d) ++imported;
  }
  EXPECT_EQ(imported, 0) << "expected no imported DLLs";

  HMODULE data = LoadLibraryExA("Morvex.dll", nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(data, nullptr) << "LoadLibraryExA as data file failed, error " << GetLastError();
  EXPECT_EQ(Load(data, IDS_UNTITLED_ALBUM), Load(Morvex(), IDS_UNTITLED_ALBUM))
      << "expected the same text through the data-file handle";
  EXPECT_NE(LoadCursorA(data, MAKEINTRESOURCEA(IDC_DRAGCURSOR)), nullptr)
      << "expected the drag cursor through the data-file handle";
  FreeLibrary(data);
}

}  // namespace
