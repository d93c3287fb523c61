// Printing an album as a contact sheet: a grid of equal square boxes on each
// page, each holding one picture scaled to fit, framed by a thick line and
// optionally named underneath; the print dialog and the printer setup that
// feed it.
#pragma once

#include <album.h>
#include <commdlg.h>

// Box sizes are given in 1/76 inch.
enum { PRINT_BOX_UNITS_PER_INCH = 76 };
// Device pixels kept free under each box for its name line.
enum { PRINT_NAME_ROOM = 50 };

// The grid of one page in device pixels.
struct PrintLayout {
  int columns;      // at least 1
  int rows;         // at least 1
  int columnPitch;  // page width / columns
  int rowPitch;     // page height / rows
  int boxWidth;     // the square's size in device pixels
  int boxHeight;
};

// Lays boxes of boxWidth x boxHeight (1/76 inch) out on a page of
// pageWidth x pageHeight device pixels at dpi pixels per inch; names 1 keeps
// PRINT_NAME_ROOM pixels under every box when the grid allows. 1 on success,
// 0 (layout zeroed) when a size or the resolution is not positive, or a page
// or box side lies beyond GDI's coordinate space (2^27 pixels).
ALBUM_API int ComputePrintLayout(int pageWidth, int pageHeight, int dpi, int boxWidth, int boxHeight,
                                 int names, PrintLayout* layout);

// Width in device pixels of the first length characters of text.
typedef int (*PRINTTEXTWIDTHPROC)(void* context, const char* text, int length);

// The text printed under a box: name itself when it is no wider than
// maxWidth, else "..." followed by a tail of the name (from K + 4 on, where K
// is the first position from which the rest fits), or "..." alone when no
// tail remains. Writes out (outSize bytes, always terminated) and returns the
// length written, or -1 for a null argument or no room.
ALBUM_API int ShortenPrintName(const char* name, int maxWidth, PRINTTEXTWIDTHPROC measure, void* context,
                               char* out, int outSize);

// A device context for the printer pd names, or for the default printer when
// pd names none (pd then receives the default's DEVMODE and DEVNAMES handles,
// which the caller frees with GlobalFree; a DEVMODE handle pd held without
// device names is never freed here and stays the caller's, and it is back in
// pd when there is no default printer). Prints one copy. Null when there is
// no printer.
ALBUM_API HDC CreatePrinterDC(PRINTDLGA* pd);

// Draws the whole picture (a packed DIB in a memory handle) stretched into
// (x, y, width, height). Pictures of 2^20 pixels or more go in horizontal
// bands of at most about 2^20 pixels, stacked upward from the bottom, so that
// no single call hands a printer driver a huge bitmap. 1 when drawn; 0 for a
// null picture or one whose header does not describe the bytes it holds.
ALBUM_API int StretchPictureBanded(HDC dc, void* picture, int x, int y, int width, int height);

// Prints the album as contact sheets on dc: range 1 only the selected items,
// any other value all of them; names 1 prints the file names; box size in
// 1/76 inch. Runs StartDoc ... EndDoc on the context but neither creates nor
// deletes it, and leaves its selected objects and modes as they were. An
// empty choice still gives one empty page. 1 after printing; 0 for a null
// context or album or a box size that is not positive.
ALBUM_API int PrintAlbumPages(HDC dc, const char* docName, CAlbumDoc2* album, int range, int names,
                              int boxWidth, int boxHeight);

// The whole print job on a printer: CreatePrinterDC on a copy of printer,
// PrintAlbumPages, DeleteDC. Handles fetched for the default printer are
// freed again. 0 when no printer device context could be made.
ALBUM_API int PrintAlbum(const char* docName, CAlbumDoc2* album, int range, int names, int boxWidth,
                         int boxHeight, PRINTDLGA printer);

// Called after every EndPage of PrintAlbumPages with the page just finished
// (1, 2, ...): lets a preview, or a test drawing into a memory bitmap, take
// each page before the next is drawn over it. Null removes the observer.
typedef void (*PRINTPAGEPROC)(void* context, HDC dc, int page);
ALBUM_API void SetPrintPageObserver(PRINTPAGEPROC observer, void* context);

// Module-wide print settings, kept between prints and changed by the print
// dialog.
struct PrintSettings {
  int boxWidth;    // 1/76 inch; initially 76
  int boxHeight;
  int allItems;    // 1 all items, 0 only the selection
  int printNames;  // 1 file names under the boxes
};
ALBUM_API void GetPrintSettings(PrintSettings* settings);
ALBUM_API void SetPrintSettings(const PrintSettings* settings);

// The module-wide printer choice (initially all zero: the default printer).
// Its DEVMODE and DEVNAMES handles belong to the module.
ALBUM_API PRINTDLGA* GetPrinterSetup();

// The box side (1/76 inch) offered at index 0-3 of the dialog's size list,
// or 0 for any other index.
ALBUM_API int GetPrintBoxSize(int index);

// Dialog procedure of the print dialog (template 4219 of the resource module).
ALBUM_API INT_PTR CALLBACK PrintDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The printer setup dialog over the module-wide printer choice, so that the
// printer chosen stays for later prints. 1 when the user chose, 0 otherwise.
ALBUM_API int DoPrintSetup(HWND owner);

// Shows the print dialog; 1 on OK (the module-wide settings then hold the
// user's choice), 0 on cancel or when the dialog cannot be shown.
ALBUM_API int RunPrintDialog(HWND owner);
