// Contact-sheet printing, the print dialog and the printer setup.
#include "AlbumPrint.h"

#include <limits.h>
#include <stddef.h>
#include <stdint.h>
#include <string.h>

#include "components/resources/resource.h"
#include "manager/Module.h"
#include "platform/DibLayout.h"
#include "platform/Gdi.h"
#include "platform/Memory.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/pixamo.h"
#include "platform/qil.h"
#include "views/ThumbListView.h"

namespace {

// ---------------------------------------------------------------------------
// Scope objects: every object selected into a device context is put back and
// every object made is deleted on every path out.

// The stretch and background modes a print job changes, restored afterwards.
class ScopedDrawModes {
public:
  ScopedDrawModes(HDC dc, int stretchMode, int backgroundMode)
      : dc_(dc), stretchMode_(SetStretchBltMode(dc, stretchMode)), backgroundMode_(SetBkMode(dc, backgroundMode)) {}
  ~ScopedDrawModes() {
    if (stretchMode_) SetStretchBltMode(dc_, stretchMode_);
    if (backgroundMode_) SetBkMode(dc_, backgroundMode_);
  }
  ScopedDrawModes(const ScopedDrawModes&) = delete;
  ScopedDrawModes& operator=(const ScopedDrawModes&) = delete;

private:
  HDC dc_;  // not owned
  int stretchMode_;
  int backgroundMode_;
};

class ScopedWaitCursor {
public:
  ScopedWaitCursor() : previous_(SetCursor(LoadCursor(nullptr, IDC_WAIT))) {}
  ~ScopedWaitCursor() { SetCursor(previous_ ? previous_ : LoadCursor(nullptr, IDC_ARROW)); }
  ScopedWaitCursor(const ScopedWaitCursor&) = delete;
  ScopedWaitCursor& operator=(const ScopedWaitCursor&) = delete;

private:
  HCURSOR previous_;  // not owned
};

class PictureLock {
public:
  explicit PictureLock(void* picture)
      : picture_(picture), bytes_(static_cast<const BYTE*>(ToviMemLock(picture))), size_(bytes_ ? ToviMemSize(picture) : 0) {}
  ~PictureLock() {
    if (bytes_) ToviMemUnlock(picture_);
  }
  PictureLock(const PictureLock&) = delete;
  PictureLock& operator=(const PictureLock&) = delete;
  explicit operator bool() const { return bytes_ != nullptr; }
  const BYTE* bytes() const { return bytes_; }
  DWORD size() const { return size_; }

private:
  void* picture_;  // not owned
  const BYTE* bytes_;
  DWORD size_;
};

class GlobalBlockLock {
public:
  explicit GlobalBlockLock(HGLOBAL handle)
      : handle_(handle), bytes_(handle ? static_cast<BYTE*>(::GlobalLock(handle)) : nullptr),
        size_(bytes_ ? GlobalSize(handle) : 0) {}
  ~GlobalBlockLock() {
    if (bytes_) GlobalUnlock(handle_);
  }
  GlobalBlockLock(const GlobalBlockLock&) = delete;
  GlobalBlockLock& operator=(const GlobalBlockLock&) = delete;
  BYTE* bytes() const { return bytes_; }
  SIZE_T size() const { return size_; }

private:
  HGLOBAL handle_;  // not owned
  BYTE* bytes_;
  SIZE_T size_;
};

// ---------------------------------------------------------------------------
// Module-wide settings.

static_assert(sizeof(PRINTDLGA) == 66, "PRINTDLGA is the packed 66-byte structure");

const int kBoxSizes[] = {76, 114, 152, 190};
const UINT kBoxSizeLabels[] = {IDS_PRINT_BOX_1IN, IDS_PRINT_BOX_1_5IN, IDS_PRINT_BOX_2IN, IDS_PRINT_BOX_2_5IN};
const int kDefaultBoxIndex = 2;

// The printer choice keeps DEVMODE and DEVNAMES blocks that the printer
// setup allocated; they go with the module.
struct PrinterChoice {
  PRINTDLGA pd = {};
  ~PrinterChoice() {
    if (pd.hDevMode) GlobalFree(pd.hDevMode);
    if (pd.hDevNames) GlobalFree(pd.hDevNames);
  }
};

PrinterChoice g_printer;
PrintSettings g_settings = {76, 76, 1, 1};
PRINTPAGEPROC g_pageObserver = nullptr;
void* g_pageObserverContext = nullptr;

// ---------------------------------------------------------------------------
// Pictures.

// Pictures of this many pixels or more are sent in bands.
const uint64_t kBandPixels = 1u << 20;
// Largest header the banding copies: a version 5 header, 256 colours and the
// three bit-field masks.
const DWORD kMaxHeaderAndColours = sizeof(BITMAPV5HEADER) + 256 * sizeof(RGBQUAD) + 3 * sizeof(DWORD);

struct PictureLayout {
  const BITMAPINFO* info;
  DWORD headerAndColours;  // header plus colour table or masks, in bytes
  const BYTE* bits;
  LONG width;
  LONG height;             // rows, whatever the direction
  bool topDown;
  bool compressed;         // run-length coded: rows cannot be addressed
  uint64_t stride;         // bytes per row when not compressed
};

// Checks that the header describes the bytes the handle holds: pictures come
// from files and hosts, and GDI would read as far as the header claims.
bool ReadPictureLayout(const BYTE* bytes, DWORD available, PictureLayout* layout) {
  dib::Rules rules;
  rules.allowRle = true;
  dib::Layout checked;
  if (dib::CheckLayout(bytes, available, rules, &checked)) return false;
  layout->info = reinterpret_cast<const BITMAPINFO*>(bytes);
  layout->headerAndColours = checked.headerAndColours;
  layout->bits = bytes + checked.headerAndColours;
  layout->width = static_cast<LONG>(checked.width);
  layout->height = static_cast<LONG>(checked.height);
  layout->topDown = checked.topDown;
  layout->compressed = checked.compressed;
  layout->stride = checked.stride;
  return true;
}

// ---------------------------------------------------------------------------
// Text.

int MeasureOnDc(void* context, const char* text, int length) {
  SIZE size = {0, 0};
  GetTextExtentPoint32A(static_cast<HDC>(context), text, length, &size);
  return size.cx;
}

int64_t Scale(int64_t value, int64_t numerator, int64_t denominator) { return value * numerator / denominator; }

// GDI keeps coordinates within 2^27; pages and boxes beyond it cannot be drawn.
const int64_t kMaxCoordinate = (1 << 27) - 1;

}  // namespace

// ---------------------------------------------------------------------------
// One print job on a device context. A class of its own because it reads the
// items' selection marks, which only the album's own classes may see.
class CAlbumPrintJob {
public:
  CAlbumPrintJob(HDC dc, CAlbumDoc2* album, const PrintLayout& layout, int names)
      : dc_(dc), album_(album), layout_(layout), names_(names) {}
  CAlbumPrintJob(const CAlbumPrintJob&) = delete;
  CAlbumPrintJob& operator=(const CAlbumPrintJob&) = delete;

  void Run(const char* docName, int range) {
    ScopedDrawModes modes(dc_, COLORONCOLOR, TRANSPARENT);
    DOCINFOA document = {};
    document.cbSize = sizeof(document);
    document.lpszDocName = docName;
    // The results of StartDoc, StartPage, EndPage and EndDoc do not stop the
    // job: a driver that refuses one still gets the rest of the album.
    StartDoc(dc_, &document);
    StartPage(dc_);
    int page = 1;
    {
      LOGFONTA logFont = {};
      SetLocaleFont(&logFont);
      logFont.lfHeight = -48;
      gdi::ScopedFont font(CreateFontIndirectA(&logFont));
      gdi::ScopedPen pen(CreatePen(PS_SOLID, 3, RGB(0, 0, 0)));
      gdi::ScopedSelect selectFont(dc_, font.get());
      gdi::ScopedSelect selectPen(dc_, pen.get());
      ScopedWaitCursor wait;

      int64_t perPage = static_cast<int64_t>(layout_.columns) * layout_.rows;
      int64_t slot = 0;
      int count = album_->GetCount();
      for (int n = 1; n <= count; ++n) {
        CThumbnail2* item = album_->GetThumbnail(n);
        if (!item || (range == 1 && !item->IsSelect())) continue;
        if (slot == perPage) {
          FinishPage(page++);
          StartPage(dc_);
          slot = 0;
        }
        PrintBox(item, static_cast<int>(slot % layout_.columns) * layout_.columnPitch,
                 static_cast<int>(slot / layout_.columns) * layout_.rowPitch);
        ++slot;
      }
    }
    FinishPage(page);
    EndDoc(dc_);
  }

private:
  void FinishPage(int page) {
    EndPage(dc_);
    if (g_pageObserver) g_pageObserver(g_pageObserverContext, dc_, page);
  }

  void PrintBox(CThumbnail2* item, int x, int y) {
    const tagALBUMINFOHEADER* info = item->GetInfo();
    int bw = layout_.boxWidth;
    int bh = layout_.boxHeight;
    int tw = info->aiThumbWidth;
    int th = info->aiThumbHeight;
    // A record without thumbnail dimensions gives no picture size: the box
    // stays empty but is still framed and named.
    if (tw > 0 && th > 0) {
      int width = bw;
      int height = bh;
      if (tw < th) {
        width = static_cast<int>(Scale(tw, bh, th));
      } else {
        height = static_cast<int>(Scale(th, bw, tw));
      }
      // The full-size source prints better than the thumbnail when it opens.
      char full[MAX_PATH] = "";
      QILOPENOPTIONS options = {};
      OwnedMem source(album_->GetThumbnailFullPath(info->aiPath, full) ? QilOpenFile(full, 0, &options)
                                                                              : nullptr);
      void* picture = source.get() ? source.get() : item->GetDib();
      StretchPictureBanded(dc_, picture, x + (bw - width) / 2, y + (bh - height) / 2, width, height);
    }
    if (names_ == 1) PrintName(info->aiPath, x, y + bh);
    MoveToEx(dc_, x, y, nullptr);
    LineTo(dc_, x + bw, y);
    LineTo(dc_, x + bw, y + bh);
    LineTo(dc_, x, y + bh);
    LineTo(dc_, x, y);
  }

  void PrintName(const char* path, int x, int y) {
    SplitPathParts parts;
    if (!SplitAlbumPathParts(path, &parts)) return;
    char name[sizeof(parts.fname) + sizeof(parts.ext)];
    CopyText(name, parts.fname);
    size_t used = strlen(name);
    CopyText(name + used, sizeof(name) - used, parts.ext);
    char text[sizeof(name) + 3];
    int length = ShortenPrintName(name, layout_.boxWidth, MeasureOnDc, dc_, text, sizeof(text));
    if (length > 0) TextOutA(dc_, x, y, text, length);
  }

  HDC dc_;             // not owned
  CAlbumDoc2* album_;  // not owned
  PrintLayout layout_;
  int names_;
};

// ---------------------------------------------------------------------------

ALBUM_API int ComputePrintLayout(int pageWidth, int pageHeight, int dpi, int boxWidth, int boxHeight, int names,
                                 PrintLayout* layout) {
  if (!layout) return 0;
  memset(layout, 0, sizeof(*layout));
  if (pageWidth <= 0 || pageHeight <= 0 || dpi <= 0 || boxWidth <= 0 || boxHeight <= 0) return 0;
  // Integer arithmetic throughout, in 64 bits so that no product overflows.
  int64_t bw = Scale(dpi, boxWidth, PRINT_BOX_UNITS_PER_INCH);
  int64_t bh = Scale(dpi, boxHeight, PRINT_BOX_UNITS_PER_INCH);
  if (pageWidth > kMaxCoordinate || pageHeight > kMaxCoordinate || bw > kMaxCoordinate || bh > kMaxCoordinate) {
    return 0;
  }
  int64_t columns = Scale(pageWidth, PRINT_BOX_UNITS_PER_INCH, dpi) / boxWidth;
  int64_t rows = Scale(pageHeight, PRINT_BOX_UNITS_PER_INCH, dpi) / boxHeight;
  // A box larger than the page still gets one box per page; a pitch is at
  // least one pixel.
  if (columns < 1) columns = 1;
  if (rows < 1) rows = 1;
  if (columns > pageWidth) columns = pageWidth;
  if (rows > pageHeight) rows = pageHeight;
  int64_t rowPitch = pageHeight / rows;
  if (names == 1 && rowPitch - bh < PRINT_NAME_ROOM) {
    rows = pageHeight / (bh + PRINT_NAME_ROOM);
    if (rows < 1) rows = 1;
    rowPitch = pageHeight / rows;
  }
  layout->columns = static_cast<int>(columns);
  layout->rows = static_cast<int>(rows);
  layout->columnPitch = static_cast<int>(pageWidth / columns);
  layout->rowPitch = static_cast<int>(rowPitch);
  layout->boxWidth = static_cast<int>(bw);
  layout->boxHeight = static_cast<int>(bh);
  return 1;
}

ALBUM_API int ShortenPrintName(const char* name, int maxWidth, PRINTTEXTWIDTHPROC measure, void* context,
                               char* out, int outSize) {
  if (!name || !measure || !out || outSize <= 0) return -1;
  int length = static_cast<int>(strlen(name));
  if (measure(context, name, length) <= maxWidth) {
    CopyText(out, outSize, name);
    return static_cast<int>(strlen(out));
  }
  // The tail starts four characters after the first position from which the
  // rest fits, leaving room for the three full stops; none fits: none shown.
  int tail = length;
  for (int k = 1; k < length; ++k) {
    if (measure(context, name + k, length - k) <= maxWidth) {
      tail = k + 4 < length ? k + 4 : length;
      break;
    }
  }
  CopyText(out, outSize, "...");
  size_t used = strlen(out);
  CopyText(out + used, outSize - used, name + tail);
  return static_cast<int>(strlen(out));
}

ALBUM_API HDC CreatePrinterDC(PRINTDLGA* pd) {
  if (!pd) return nullptr;
  if (!pd->hDevNames) {
    // The default printer is only returned into an empty choice. A device
    // mode the caller put there stays the caller's: it is set aside, never
    // freed, and comes back when there is no default printer.
    HGLOBAL callerMode = pd->hDevMode;
    pd->hDevMode = nullptr;
    pd->lStructSize = sizeof(PRINTDLGA);
    pd->Flags = PD_RETURNDEFAULT;
    PrintDlgA(pd);
    if (!pd->hDevNames) {
      if (pd->hDevMode) GlobalFree(pd->hDevMode);
      pd->hDevMode = callerMode;
      return nullptr;
    }
  }
  GlobalBlockLock devMode(pd->hDevMode);
  DEVMODEA* mode = nullptr;
  if (devMode.bytes() && devMode.size() >= offsetof(DEVMODEA, dmCopies) + sizeof(short)) {
    mode = reinterpret_cast<DEVMODEA*>(devMode.bytes());
    mode->dmCopies = 1;
  }
  GlobalBlockLock devNames(pd->hDevNames);
  if (!devNames.bytes() || devNames.size() < sizeof(DEVNAMES)) return nullptr;
  const DEVNAMES* names = reinterpret_cast<const DEVNAMES*>(devNames.bytes());
  // Offsets count characters from the start of the block; each name must end
  // inside it.
  auto nameAt = [&](WORD offset) -> const char* {
    if (offset < sizeof(DEVNAMES) || offset >= devNames.size()) return nullptr;
    const char* text = reinterpret_cast<const char*>(devNames.bytes()) + offset;
    return memchr(text, '\0', devNames.size() - offset) ? text : nullptr;
  };
  const char* driver = nameAt(names->wDriverOffset);
  const char* device = nameAt(names->wDeviceOffset);
  const char* output = nameAt(names->wOutputOffset);
  if (!device) return nullptr;
  return CreateDCA(driver, device, output, mode);
}

ALBUM_API int StretchPictureBanded(HDC dc, void* picture, int x, int y, int width, int height) {
  if (!picture) return 0;
  PictureLock lock(picture);
  if (!lock) return 0;
  PictureLayout source;
  if (!ReadPictureLayout(lock.bytes(), lock.size(), &source)) return 0;

  uint64_t pixels = static_cast<uint64_t>(source.width) * static_cast<uint64_t>(source.height);
  if (pixels < kBandPixels || source.compressed) {
    StretchDIBits(dc, x, y, width, height, 0, 0, source.width, source.height, source.bits, source.info,
                  DIB_RGB_COLORS, SRCCOPY);
    return 1;
  }
  // Each band is a picture of its own: a copy of the header with the band's
  // height, pointing at the band's first row, so that the driver only ever
  // sees the band's bytes.
  alignas(8) BYTE bandInfo[kMaxHeaderAndColours];
  memcpy(bandInfo, source.info, source.headerAndColours);
  BITMAPINFOHEADER* bandHeader = reinterpret_cast<BITMAPINFOHEADER*>(bandInfo);
  int64_t bands = static_cast<int64_t>(pixels / kBandPixels) + 1;
  for (int64_t i = 0; i < bands; ++i) {
    // Rows and destination lines counted from the bottom.
    int64_t firstRow = Scale(source.height, i, bands);
    int64_t endRow = Scale(source.height, i + 1, bands);
    int64_t firstLine = Scale(height, i, bands);
    int64_t endLine = Scale(height, i + 1, bands);
    int64_t rows = endRow - firstRow;
    if (rows == 0 || endLine == firstLine) continue;
    // Bottom-up pictures store the bottom row first, top-down ones last.
    int64_t firstStored = source.topDown ? source.height - endRow : firstRow;
    bandHeader->biHeight = static_cast<LONG>(source.topDown ? -rows : rows);
    bandHeader->biSizeImage = static_cast<DWORD>(source.stride * rows);
    StretchDIBits(dc, x, static_cast<int>(y + height - endLine), width, static_cast<int>(endLine - firstLine), 0, 0,
                  source.width, static_cast<int>(rows), source.bits + source.stride * firstStored,
                  reinterpret_cast<const BITMAPINFO*>(bandInfo), DIB_RGB_COLORS, SRCCOPY);
  }
  return 1;
}

ALBUM_API int PrintAlbumPages(HDC dc, const char* docName, CAlbumDoc2* album, int range, int names, int boxWidth,
                              int boxHeight) {
  if (!dc || !album) return 0;
  PrintLayout layout;
  if (!ComputePrintLayout(GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES), GetDeviceCaps(dc, LOGPIXELSX),
                          boxWidth, boxHeight, names, &layout)) {
    return 0;
  }
  CAlbumPrintJob job(dc, album, layout, names);
  job.Run(docName, range);
  return 1;
}

ALBUM_API int PrintAlbum(const char* docName, CAlbumDoc2* album, int range, int names, int boxWidth, int boxHeight,
                         PRINTDLGA printer) {
  HGLOBAL callerMode = printer.hDevMode;
  HGLOBAL callerNames = printer.hDevNames;
  HDC dc = CreatePrinterDC(&printer);
  int result = 0;
  if (dc) {
    result = PrintAlbumPages(dc, docName, album, range, names, boxWidth, boxHeight);
    DeleteDC(dc);
  }
  // Only the default printer's blocks, made for this copy alone, are freed
  // here; the caller's stay the caller's.
  if (printer.hDevMode && printer.hDevMode != callerMode) GlobalFree(printer.hDevMode);
  if (printer.hDevNames && printer.hDevNames != callerNames) GlobalFree(printer.hDevNames);
  return result;
}

ALBUM_API void SetPrintPageObserver(PRINTPAGEPROC observer, void* context) {
  g_pageObserver = observer;
  g_pageObserverContext = observer ? context : nullptr;
}

ALBUM_API void GetPrintSettings(PrintSettings* settings) {
  if (settings) *settings = g_settings;
}

ALBUM_API void SetPrintSettings(const PrintSettings* settings) {
  if (settings) g_settings = *settings;
}

ALBUM_API PRINTDLGA* GetPrinterSetup() { return &g_printer.pd; }

ALBUM_API int GetPrintBoxSize(int index) {
  return index >= 0 && index < static_cast<int>(sizeof(kBoxSizes) / sizeof(kBoxSizes[0])) ? kBoxSizes[index] : 0;
}

// ---------------------------------------------------------------------------
// The print dialog.

namespace {

void OnInitPrintDialog(HWND dialog) {
  CheckDlgButton(dialog, IDC_PRINT_ALL_ITEMS, BST_CHECKED);
  CheckDlgButton(dialog, IDC_PRINT_FILE_NAMES, BST_CHECKED);
  HWND sizes = GetDlgItem(dialog, IDC_PRINT_BOX_SIZE);
  for (UINT label : kBoxSizeLabels) {
    char text[40] = "";
    LoadStringA(GetResourceModule(), label, text, sizeof(text));
    SendMessageA(sizes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  SendMessageA(sizes, CB_SETCURSEL, kDefaultBoxIndex, 0);
  ShowWindow(GetDlgItem(dialog, IDC_PRINT_HIDDEN_2), SW_HIDE);
  ShowWindow(GetDlgItem(dialog, IDC_PRINT_HIDDEN_1), SW_HIDE);
}

void OnPrintDialogOk(HWND dialog) {
  g_settings.allItems = IsDlgButtonChecked(dialog, IDC_PRINT_ALL_ITEMS) == BST_CHECKED ? 1 : 0;
  g_settings.printNames = IsDlgButtonChecked(dialog, IDC_PRINT_FILE_NAMES) == BST_CHECKED ? 1 : 0;
  int side = GetPrintBoxSize(static_cast<int>(SendDlgItemMessageA(dialog, IDC_PRINT_BOX_SIZE, CB_GETCURSEL, 0, 0)));
  if (side) {
    g_settings.boxWidth = side;
    g_settings.boxHeight = side;
  }
  EndDialog(dialog, 1);
}

}  // namespace

ALBUM_API INT_PTR CALLBACK PrintDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitPrintDialog(dialog);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK:
          OnPrintDialogOk(dialog);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        case IDC_PRINT_SETUP:
          DoPrintSetup(dialog);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

ALBUM_API int DoPrintSetup(HWND owner) {
  PRINTDLGA& pd = g_printer.pd;
  pd.lStructSize = sizeof(PRINTDLGA);
  pd.hwndOwner = owner;
  pd.Flags = PD_PRINTSETUP;
  void* token = LockupForModal();
  BOOL chosen = PrintDlgA(&pd);
  if (token) UnlockForModal(token);
  return chosen ? 1 : 0;
}

ALBUM_API int RunPrintDialog(HWND owner) {
  return RunModalDialog(GetResourceModule(), IDD_PRINT, owner, PrintDlgProc, 0) == 1 ? 1 : 0;
}
