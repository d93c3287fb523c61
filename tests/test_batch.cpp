// The batch library: its dialog over the active album's selected pictures,
// driven the way a user drives it (choice, Start, Cancel), and the files it
// leaves on disk: lossless JPEG turns, grey, shrink, the other formats, and
// the files it must leave alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

#include "../components/batch/BatchResource.h"
#include "../components/resources/resource.h"
#include "../manager/AlbumMan.h"
#include "../manager/ThreadRegistry.h"
#include "../platform/batchel.h"
#include "../platform/qil.h"
#include "AlbumCtrlTestSupport.h"
#include "support/TestPictures.h"

using testpics::FileFormat;
using testpics::Pixels;

namespace {

// What the test does in the dialog, and what it saw there.
struct Script {
  int operation = IDC_BATCH_ROTATE_CW;
  int side = 0;                   // typed into the longest-side box when not 0
  bool start = true;              // false: Cancel at once
  bool cancelAfterStart = false;  // Cancel queued right behind Start
  std::string countText;
  bool startEnabled = false;
  int dialogs = 0;
  std::vector<std::string> messages;  // texts of the message boxes answered
};

Script* g_script = nullptr;

std::string ItemText(HWND dialog, int id) {
  char text[512] = "";
  GetDlgItemTextA(dialog, id, text, sizeof(text));
  return text;
}

// Acts on each dialog right after its WM_INITDIALOG: the batch dialog gets
// the script's choice and buttons, a message box is read and answered. The
// posted commands wait in the dialog's own queue, so nothing is timed.
LRESULT CALLBACK WatchDialogs(int code, WPARAM wParam, LPARAM lParam) {
  const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
  if (code == HC_ACTION && g_script && call->message == WM_INITDIALOG) {
    HWND dialog = call->hwnd;
    if (GetDlgItem(dialog, IDC_BATCH_COUNT)) {
      ++g_script->dialogs;
      g_script->countText = ItemText(dialog, IDC_BATCH_COUNT);
      g_script->startEnabled = IsWindowEnabled(GetDlgItem(dialog, IDOK)) != FALSE;
      CheckRadioButton(dialog, IDC_BATCH_ROTATE_CW, IDC_BATCH_SHRINK, g_script->operation);
      if (g_script->side) SetDlgItemInt(dialog, IDC_BATCH_SIDE, static_cast<UINT>(g_script->side), FALSE);
      PostMessageA(dialog, WM_COMMAND, g_script->start ? IDOK : IDCANCEL, 0);
      if (g_script->cancelAfterStart) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
    } else {
      g_script->messages.push_back(ItemText(dialog, 0xFFFF));
      PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

struct JpegErrors {
  jpeg_error_mgr manager;
  jmp_buf jump;
};

void JumpBack(j_common_ptr info) { longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1); }

// The pixels a JPEG stores (no Exif orientation), as B, G, R. Replicating
// chroma instead of libjpeg's smoothing upsampler, whose rounding leans one
// way, keeps a turned picture's pixels exactly the turned pixels.
bool DecodeStored(const std::string& path, Pixels* out) {
  std::vector<uint8_t> bytes;
  if (!testpics::ReadFileBytes(path, &bytes)) return false;
  auto info = std::make_unique<jpeg_decompress_struct>();
  auto errors = std::make_unique<JpegErrors>();
  info->err = jpeg_std_error(&errors->manager);
  errors->manager.error_exit = JumpBack;
  if (setjmp(errors->jump)) {
    jpeg_destroy_decompress(info.get());
    return false;
  }
  jpeg_create_decompress(info.get());
  jpeg_mem_src(info.get(), bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(info.get(), TRUE);
  info->out_color_space = JCS_EXT_BGR;
  info->do_fancy_upsampling = FALSE;
  jpeg_start_decompress(info.get());
  *out = Pixels(static_cast<int>(info->output_width), static_cast<int>(info->output_height), false);
  while (info->output_scanline < info->output_height) {
    JSAMPROW row = out->At(0, static_cast<int>(info->output_scanline));
    jpeg_read_scanlines(info.get(), &row, 1);
  }
  jpeg_finish_decompress(info.get());
  jpeg_destroy_decompress(info.get());
  return true;
}

// The pixels of a picture file through the image services, as B, G, R
// (24-bit pictures, or 8-bit ones through their palette).
bool DecodeThroughQil(const std::string& path, Pixels* out) {
  QILOPENOPTIONS options{};
  options.nMode = 1;
  HTOVIMEM dib = QilOpenFile(path.c_str(), 0, &options);
  if (!dib) return false;
  auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(dib));
  const int bpp = header ? header->biBitCount / 8 : 0;
  bool ok = header && (bpp == 3 || bpp == 1) && header->biHeight > 0 && header->biCompression == BI_RGB;
  if (ok) {
    *out = Pixels(header->biWidth, header->biHeight, false);
    const int stride = (header->biWidth * bpp + 3) & ~3;
    const auto* palette = reinterpret_cast<const RGBQUAD*>(reinterpret_cast<const uint8_t*>(header) + header->biSize);
    const int colours = bpp == 1 ? (header->biClrUsed ? header->biClrUsed : 256) : 0;
    const uint8_t* bits = reinterpret_cast<const uint8_t*>(palette + colours);
    for (int y = 0; y < out->height; ++y) {
      const uint8_t* row = bits + size_t(out->height - 1 - y) * stride;
      for (int x = 0; x < out->width; ++x) {
        const RGBQUAD c = bpp == 1 ? palette[row[x]] : RGBQUAD{row[x * 3], row[x * 3 + 1], row[x * 3 + 2], 0};
        out->At(x, y)[0] = c.rgbBlue;
        out->At(x, y)[1] = c.rgbGreen;
        out->At(x, y)[2] = c.rgbRed;
      }
    }
  }
  ToviMemUnlock(dib);
  ToviMemFree(dib);
  return ok;
}

enum class Turn { Clockwise, Half, Anticlockwise, FlipH, FlipV };

Pixels Turned(const Pixels& in, Turn turn) {
  const bool quarter = turn == Turn::Clockwise || turn == Turn::Anticlockwise;
  Pixels out(quarter ? in.height : in.width, quarter ? in.width : in.height, false);
  for (int y = 0; y < out.height; ++y) {
    for (int x = 0; x < out.width; ++x) {
      int sx = x, sy = y;
      switch (turn) {
        case Turn::Clockwise: sx = y; sy = in.height - 1 - x; break;
        case Turn::Anticlockwise: sx = in.width - 1 - y; sy = x; break;
        case Turn::Half: sx = in.width - 1 - x; sy = in.height - 1 - y; break;
        case Turn::FlipH: sx = in.width - 1 - x; break;
        case Turn::FlipV: sy = in.height - 1 - y; break;
      }
      memcpy(out.At(x, y), in.At(sx, sy), 3);
    }
  }
  return out;
}

// Tiles of 16 x 16 pixels, each one colour: every 8 x 8 block of the JPEG
// holds only its average, so decoding is exact whichever way it is turned.
Pixels TiledPixels(int width, int height) {
  Pixels pixels(width, height, false);
  for (int ty = 0; ty < height; ty += 16) {
    for (int tx = 0; tx < width; tx += 16) {
      const int n = tx / 16 * 7 + ty / 16 * 13;
      pixels.Fill(tx, ty, std::min(tx + 16, width), std::min(ty + 16, height), static_cast<uint8_t>(40 + n * 37 % 180),
                  static_cast<uint8_t>(30 + n * 53 % 190), static_cast<uint8_t>(20 + n * 71 % 200));
    }
  }
  return pixels;
}

// The body of the first Exif APP1 segment, or empty.
std::vector<uint8_t> ExifBody(const std::string& path) {
  std::vector<uint8_t> bytes;
  if (!testpics::ReadFileBytes(path, &bytes)) return {};
  size_t at = 2;
  while (at + 4 <= bytes.size() && bytes[at] == 0xFF && bytes[at + 1] != 0xDA) {
    const size_t length = size_t(bytes[at + 2]) << 8 | bytes[at + 3];
    if (length < 2 || at + 2 + length > bytes.size()) break;
    if (bytes[at + 1] == 0xE1 && length >= 8 && memcmp(&bytes[at + 4], "Exif\0\0", 6) == 0) {
      return std::vector<uint8_t>(bytes.begin() + at + 4, bytes.begin() + at + 2 + length);
    }
    at += 2 + length;
  }
  return {};
}

bool Same(const Pixels& a, const Pixels& b) {
  return a.width == b.width && a.height == b.height && a.data == b.data;
}

bool AllGrey(const Pixels& pixels) {
  for (int y = 0; y < pixels.height; ++y) {
    for (int x = 0; x < pixels.width; ++x) {
      const uint8_t* p = pixels.At(x, y);
      if (p[0] != p[1] || p[1] != p[2]) return false;
    }
  }
  return true;
}

std::vector<uint8_t> Bytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  testpics::ReadFileBytes(path, &bytes);
  return bytes;
}

FILETIME WriteTime(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

// A manager as the manager dialog registers one: its window and its album control.
struct ActiveAlbum {
  ctrltest::TestCtrl control;
  CAlbumMan manager;
};

}  // namespace

class BatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.ok());
    // Loaded the way the album component loads it.
    module_ = LoadLibraryA("Batchel.dll");
    ASSERT_NE(module_, nullptr);
    open_ = reinterpret_cast<OpenBatchDialogProc>(reinterpret_cast<void*>(GetProcAddress(module_, "OpenBatchDialog")));
    ASSERT_NE(open_, nullptr);
    parent_ = CreateWindowExA(0, "STATIC", "batch host", WS_POPUP | WS_VISIBLE, 0, 0, 700, 460, nullptr, nullptr,
                              nullptr, nullptr);
    ASSERT_NE(parent_, nullptr);
    hook_ = SetWindowsHookExA(WH_CALLWNDPROCRET, WatchDialogs, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook_, nullptr);
    g_script = &script_;
  }
  void TearDown() override {
    g_script = nullptr;
    if (hook_) UnhookWindowsHookEx(hook_);
    if (album_) GetThreadRegistry()->RemoveManager(GetCurrentThreadId(), &album_->manager);
    album_.reset();
    if (parent_) DestroyWindow(parent_);
    if (module_) FreeLibrary(module_);
  }

  // Makes an album of the files the calling thread's active album and
  // selects the items numbered in `selected`, as Ctrl+clicks.
  void ShowAlbum(const std::vector<std::string>& files, const std::vector<int>& selected) {
    CAlbumDoc2 document;
    for (const std::string& file : files) document.Insert(MakeItem(ItemSpec(file)), nullptr);
    const std::string path = folder_.File("batch.abm");
    ASSERT_NE(document.Save(path.c_str()), 0);
    album_ = std::make_unique<ActiveAlbum>();
    ASSERT_NE(album_->control.CALbumCtrl(parent_, "ManDlgAlbumCtrl", RECT{0, 0, 680, 440}), 0);
    album_->control.GetAlbum()->GetDocument()->SetAutoCheck(0);
    ASSERT_EQ(album_->control.GetAlbum()->Load(path.c_str()), 1);
    DeleteFileA(path.c_str());
    album_->manager.m_hWnd = parent_;
    album_->manager.m_pAlbumCtrl = &album_->control;
    ASSERT_EQ(GetThreadRegistry()->AddManager(GetCurrentThreadId(), &album_->manager), 1);
    ASSERT_EQ(GetThreadRegistry()->SetActiveManager(GetCurrentThreadId(), parent_), 1);
    for (int n : selected) {
      HWND cell = ctrltest::CellOfItem(&album_->control, n);
      ASSERT_NE(cell, nullptr) << "item " << n << " is not shown";
      SendMessageA(cell, WM_LBUTTONDOWN, MK_LBUTTON | MK_CONTROL, MAKELPARAM(5, 5));
      SendMessageA(cell, WM_LBUTTONUP, MK_CONTROL, MAKELPARAM(5, 5));
    }
  }

  std::string Jpeg(const std::string& name, const Pixels& pixels, int orientation = 0) {
    const std::string path = folder_.File(name);
    EXPECT_TRUE(testpics::WritePicture(path, FileFormat::Jpeg, pixels));
    if (orientation) {
      EXPECT_TRUE(testpics::WriteFileBytes(
          path, testpics::InsertApp1(Bytes(path), testpics::ExifOrientationBody(orientation, false))));
    }
    return path;
  }

  std::string Picture(const std::string& name, FileFormat format, const Pixels& pixels, Pixels* stored = nullptr) {
    const std::string path = folder_.File(name);
    EXPECT_TRUE(testpics::WritePicture(path, format, pixels, stored));
    return path;
  }

  int Run(int operation, int side = 0) {
    script_.operation = operation;
    script_.side = side;
    return open_(parent_);
  }

  testpics::TempFolder folder_;
  HMODULE module_ = nullptr;
  OpenBatchDialogProc open_ = nullptr;
  HWND parent_ = nullptr;
  HHOOK hook_ = nullptr;
  Script script_;
  std::unique_ptr<ActiveAlbum> album_;
};

TEST_F(BatchTest, WithoutSelectionTheDialogSaysSoAndCannotStart) {
  const std::string file = Jpeg("a.jpg", TiledPixels(32, 32));
  ShowAlbum({file}, {});
  script_.start = false;
  EXPECT_EQ(Run(IDC_BATCH_ROTATE_CW), 0);
  EXPECT_EQ(script_.dialogs, 1);
  EXPECT_FALSE(script_.startEnabled) << "Start is disabled without a selection";
  EXPECT_NE(script_.countText.find("No pictures"), std::string::npos) << script_.countText;
}

TEST_F(BatchTest, WithoutActiveAlbumTheDialogStillRuns) {
  script_.start = false;
  EXPECT_EQ(Run(IDC_BATCH_ROTATE_CW), 0);
  EXPECT_FALSE(script_.startEnabled);
  EXPECT_EQ(open_(reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x7FF0))), -1) << "an owner that is no window";
  EXPECT_EQ(script_.dialogs, 1);
}

TEST_F(BatchTest, CancelBeforeStartChangesNothing) {
  const std::string file = Jpeg("a.jpg", TiledPixels(64, 48));
  const std::vector<uint8_t> before = Bytes(file);
  ShowAlbum({file}, {1});
  script_.start = false;
  EXPECT_EQ(Run(IDC_BATCH_ROTATE_CW), 0);
  EXPECT_NE(script_.countText.find("selected picture"), std::string::npos) << script_.countText;
  EXPECT_TRUE(script_.startEnabled);
  EXPECT_EQ(Bytes(file), before);
}

TEST_F(BatchTest, JpegTurnsAreLosslessAndKeepExif) {
  const Pixels tiles = TiledPixels(64, 48);
  const std::string file = Jpeg("tiles.jpg", tiles, 6);
  const std::vector<uint8_t> exif = ExifBody(file);
  ASSERT_FALSE(exif.empty());
  Pixels original;
  ASSERT_TRUE(DecodeStored(file, &original));
  const FILETIME writtenAt = WriteTime(file);
  ShowAlbum({file}, {1});

  ASSERT_EQ(Run(IDC_BATCH_ROTATE_CW), 1);
  Pixels turned;
  ASSERT_TRUE(DecodeStored(file, &turned));
  EXPECT_TRUE(Same(turned, Turned(original, Turn::Clockwise))) << "got " << turned.width << "x" << turned.height;
  EXPECT_EQ(ExifBody(file), exif) << "the Exif block, orientation included, is kept byte for byte";
  const FILETIME rewrittenAt = WriteTime(file);
  EXPECT_NE(CompareFileTime(&writtenAt, &rewrittenAt), 0) << "the album sees the file changed";

  ASSERT_EQ(Run(IDC_BATCH_ROTATE_CCW), 1);
  ASSERT_TRUE(DecodeStored(file, &turned));
  EXPECT_TRUE(Same(turned, original)) << "anticlockwise undoes clockwise";
  ASSERT_EQ(Run(IDC_BATCH_ROTATE_180), 1);
  ASSERT_TRUE(DecodeStored(file, &turned));
  EXPECT_TRUE(Same(turned, Turned(original, Turn::Half)));
  ASSERT_EQ(Run(IDC_BATCH_FLIP_V), 1);
  ASSERT_TRUE(DecodeStored(file, &turned));
  EXPECT_TRUE(Same(turned, Turned(original, Turn::FlipH))) << "a half turn then a vertical flip is a horizontal flip";
  EXPECT_TRUE(script_.messages.empty());
}

TEST_F(BatchTest, FourQuarterTurnsAndTwoFlipsGiveThePhotoBack) {
  const std::string photo = Jpeg("photo.jpg", testpics::MakePhotoPixels(96, 64, false));
  const std::string grey = Jpeg("grey.jpg", testpics::MakePhotoPixels(48, 40, true));
  Pixels photoBefore, greyBefore, after;
  ASSERT_TRUE(DecodeStored(photo, &photoBefore));
  ASSERT_TRUE(DecodeStored(grey, &greyBefore));
  ShowAlbum({photo, grey}, {1, 2});
  for (int i = 0; i < 4; ++i) ASSERT_EQ(Run(IDC_BATCH_ROTATE_CW), 2) << "turn " << i;
  ASSERT_TRUE(DecodeStored(photo, &after));
  EXPECT_TRUE(Same(after, photoBefore));
  ASSERT_TRUE(DecodeStored(grey, &after));
  EXPECT_TRUE(Same(after, greyBefore));
  ASSERT_EQ(Run(IDC_BATCH_FLIP_H), 2);
  ASSERT_TRUE(DecodeStored(photo, &after));
  EXPECT_FALSE(Same(after, photoBefore));
  ASSERT_EQ(Run(IDC_BATCH_FLIP_H), 2);
  ASSERT_TRUE(DecodeStored(photo, &after));
  EXPECT_TRUE(Same(after, photoBefore));
}

TEST_F(BatchTest, JpegOfPartBlocksIsLeftAloneAndReported) {
  const std::string odd = Jpeg("odd.jpg", TiledPixels(70, 50));
  const std::string whole = Jpeg("whole.jpg", TiledPixels(64, 48));
  const std::vector<uint8_t> before = Bytes(odd);
  ShowAlbum({odd, whole}, {1, 2});
  EXPECT_EQ(Run(IDC_BATCH_ROTATE_CW), 1) << "only the whole-block picture is turned";
  EXPECT_EQ(Bytes(odd), before);
  ASSERT_EQ(script_.messages.size(), 1u);
  EXPECT_EQ(script_.messages[0].find("1 picture(s) were left unchanged"), 0u) << script_.messages[0];
}

TEST_F(BatchTest, GreyMakesEveryPixelGreyAndKeepsExif) {
  const std::string jpeg = Jpeg("colour.jpg", testpics::MakePhotoPixels(80, 60, false), 3);
  const std::vector<uint8_t> exif = ExifBody(jpeg);
  const std::string png = Picture("colour.png", FileFormat::Png, testpics::MakePhotoPixels(50, 30, false));
  ShowAlbum({jpeg, png}, {1, 2});
  ASSERT_EQ(Run(IDC_BATCH_GREY), 2);
  Pixels pixels;
  ASSERT_TRUE(DecodeStored(jpeg, &pixels));
  EXPECT_EQ(pixels.width, 80);
  EXPECT_TRUE(AllGrey(pixels));
  EXPECT_EQ(ExifBody(jpeg), exif);
  ASSERT_TRUE(DecodeThroughQil(png, &pixels));
  EXPECT_EQ(pixels.width, 50);
  EXPECT_TRUE(AllGrey(pixels));
  const std::vector<uint8_t> written = Bytes(png);
  EXPECT_TRUE(written.size() > 8 && memcmp(written.data(), "\x89PNG", 4) == 0) << "still a PNG file";
}

TEST_F(BatchTest, ShrinkLimitsTheLongestSide) {
  const std::string wide = Jpeg("wide.jpg", testpics::MakePhotoPixels(300, 200, false));
  const std::string tall = Picture("tall.png", FileFormat::Png, testpics::MakePhotoPixels(60, 150, false));
  const std::string small = Picture("small.bmp", FileFormat::Bmp, testpics::MakePhotoPixels(40, 30, false));
  const std::vector<uint8_t> smallBefore = Bytes(small);
  ShowAlbum({wide, tall, small}, {1, 2, 3});
  ASSERT_EQ(Run(IDC_BATCH_SHRINK, 100), 2) << "a picture that fits already is not rewritten";
  Pixels pixels;
  ASSERT_TRUE(DecodeStored(wide, &pixels));
  EXPECT_EQ(pixels.width, 100);
  EXPECT_EQ(pixels.height, 67);
  ASSERT_TRUE(DecodeThroughQil(tall, &pixels));
  EXPECT_EQ(pixels.width, 40);
  EXPECT_EQ(pixels.height, 100);
  EXPECT_EQ(Bytes(small), smallBefore);
  EXPECT_TRUE(script_.messages.empty());
}

TEST_F(BatchTest, OtherFormatsTurnPixelForPixel) {
  Pixels bmpPixels, pngPixels, tiffPixels, after;
  const std::string bmp = Picture("p.bmp", FileFormat::Bmp, testpics::MakePhotoPixels(37, 21, false), &bmpPixels);
  const std::string png = Picture("p.png", FileFormat::Png, testpics::MakePhotoPixels(30, 17, false), &pngPixels);
  const std::string tiff = Picture("p.tif", FileFormat::Tiff, testpics::MakePhotoPixels(19, 23, false), &tiffPixels);
  ShowAlbum({bmp, png, tiff}, {1, 2, 3});
  ASSERT_EQ(Run(IDC_BATCH_ROTATE_CW), 3);
  ASSERT_TRUE(DecodeThroughQil(bmp, &after));
  EXPECT_TRUE(Same(after, Turned(bmpPixels, Turn::Clockwise)));
  ASSERT_TRUE(DecodeThroughQil(png, &after));
  EXPECT_TRUE(Same(after, Turned(pngPixels, Turn::Clockwise)));
  ASSERT_TRUE(DecodeThroughQil(tiff, &after));
  EXPECT_TRUE(Same(after, Turned(tiffPixels, Turn::Clockwise)));
  ASSERT_EQ(Run(IDC_BATCH_FLIP_H), 3);
  ASSERT_TRUE(DecodeThroughQil(png, &after));
  EXPECT_TRUE(Same(after, Turned(Turned(pngPixels, Turn::Clockwise), Turn::FlipH)));
}

TEST_F(BatchTest, GifIsLeftAloneAsItCannotBeWrittenBack) {
  const std::string gif = Picture("p.gif", FileFormat::Gif, testpics::MakePhotoPixels(20, 20, false));
  const std::vector<uint8_t> before = Bytes(gif);
  ShowAlbum({gif}, {1});
  EXPECT_EQ(Run(IDC_BATCH_ROTATE_180), 0);
  EXPECT_EQ(Bytes(gif), before);
  ASSERT_EQ(script_.messages.size(), 1u);
  EXPECT_NE(script_.messages[0].find("left unchanged"), std::string::npos);
}

TEST_F(BatchTest, ReadOnlyFileIsSkippedAndCounted) {
  const std::string locked = Jpeg("locked.jpg", TiledPixels(64, 48));
  const std::string open = Jpeg("open.jpg", TiledPixels(64, 48));
  const std::vector<uint8_t> before = Bytes(locked);
  ASSERT_TRUE(SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_READONLY));
  ShowAlbum({locked, open}, {1, 2});
  EXPECT_EQ(Run(IDC_BATCH_ROTATE_CW), 1);
  SetFileAttributesA(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(Bytes(locked), before);
  EXPECT_NE(Bytes(open), before);
  ASSERT_EQ(script_.messages.size(), 1u) << "one message at the end";
  EXPECT_EQ(script_.messages[0].find("1 picture(s) were skipped"), 0u) << script_.messages[0];
}

TEST_F(BatchTest, FailedReplaceKeepsTheOriginalAndLeavesNoTemporaryFile) {
  const std::string file = Jpeg("held.jpg", TiledPixels(64, 48));
  const std::vector<uint8_t> before = Bytes(file);
  ShowAlbum({file}, {1});
  // Another program reads and writes the file but does not let it be
  // renamed over: the new picture can be written, yet not moved in.
  HANDLE held = CreateFileA(file.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  EXPECT_EQ(Run(IDC_BATCH_ROTATE_180), 0);
  CloseHandle(held);
  EXPECT_EQ(Bytes(file), before);
  EXPECT_EQ(testpics::FolderEntries(folder_.path()), std::vector<std::string>{"held.jpg"});
  ASSERT_EQ(script_.messages.size(), 1u);
  EXPECT_EQ(script_.messages[0].find("1 picture(s) were skipped"), 0u) << script_.messages[0];
}

TEST_F(BatchTest, CancelStopsBetweenFiles) {
  std::vector<std::string> files;
  std::vector<std::vector<uint8_t>> before;
  for (int i = 0; i < 3; ++i) {
    files.push_back(Jpeg("c" + std::to_string(i) + ".jpg", TiledPixels(32, 32)));
    before.push_back(Bytes(files.back()));
  }
  ShowAlbum(files, {1, 2, 3});
  script_.cancelAfterStart = true;
  EXPECT_EQ(Run(IDC_BATCH_ROTATE_180), 1) << "the Cancel waiting behind Start is seen after the first file";
  int changed = 0;
  for (int i = 0; i < 3; ++i) changed += Bytes(files[i]) != before[i];
  EXPECT_EQ(changed, 1);
}

// The manager's batch button, the way a user reaches the library: the
// selected picture of the shown album is turned on disk and the album shows
// the turned picture at once.
TEST_F(BatchTest, ManagersBatchButtonTurnsTheSelectionAndRefreshesTheAlbum) {
  InitCurUserPath((folder_.path() + "\\").c_str());
  const std::string albums = folder_.File("albums");
  ASSERT_TRUE(CreateDirectoryA(albums.c_str(), nullptr));
  const Pixels tiles = TiledPixels(64, 48);
  const std::string turned = Jpeg("turned.jpg", tiles);
  const std::string kept = Jpeg("kept.jpg", tiles);
  // Written long ago: the album's times have whole seconds, and the turn
  // must be seen as a change even within the second the test wrote them.
  FILETIME longAgo{};
  SYSTEMTIME april2002{2002, 4, 3, 3, 12, 0, 0, 0};
  SystemTimeToFileTime(&april2002, &longAgo);
  for (const std::string& file : {turned, kept}) {
    HANDLE h = CreateFileA(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    SetFileTime(h, &longAgo, nullptr, &longAgo);
    CloseHandle(h);
  }
  Pixels turnedBefore, keptBefore;
  ASSERT_TRUE(DecodeStored(turned, &turnedBefore));
  ASSERT_TRUE(DecodeStored(kept, &keptBefore));
  {
    CAlbumDoc2 document;
    document.Insert(MakeItem(ItemSpec(turned)), nullptr);
    document.Insert(MakeItem(ItemSpec(kept)), nullptr);
    ASSERT_NE(document.Save((albums + "\\trip.abm").c_str()), 0);
  }

  g_script = nullptr;  // the manager's own dialog is no box to answer
  HWND dialog = OpenAlbumManagerEx(parent_, albums.c_str(), 64, 64, 0);
  g_script = &script_;
  ASSERT_NE(dialog, nullptr);
  auto* manager = reinterpret_cast<CAlbumMan*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  CAlbum* album = manager->GetAlbum();
  ASSERT_NE(album, nullptr);
  ASSERT_EQ(album->GetThumbNailCount(), 2);
  ASSERT_EQ(album->SetCurrentFocus(1), 1);

  SendMessageA(dialog, WM_COMMAND, IDM_TB_BATCH, 0);
  EXPECT_EQ(script_.dialogs, 1);
  EXPECT_TRUE(script_.messages.empty());
  Pixels after;
  ASSERT_TRUE(DecodeStored(turned, &after));
  EXPECT_TRUE(Same(after, Turned(turnedBefore, Turn::Clockwise))) << "got " << after.width << "x" << after.height;
  ASSERT_TRUE(DecodeStored(kept, &after));
  EXPECT_TRUE(Same(after, keptBefore)) << "the unselected picture is left alone";

  CThumbnail2* first = album->GetDocument()->GetThumbnail(1);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->GetInfo()->aiWidth, 48) << "the album shows the turned picture";
  EXPECT_EQ(first->GetInfo()->aiHeight, 64);
  EXPECT_GT(first->GetInfo()->aiThumbHeight, first->GetInfo()->aiThumbWidth);

  manager->m_bModified = 0;
  DestroyWindow(dialog);
}
