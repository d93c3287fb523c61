// AlbumKit public header: the records that cross the library boundary, the
// exported album classes and the exported functions.
#pragma once

#include <windows.h>
#include <stddef.h>
#include <time.h>

#ifdef ALBUM_BUILDING_DLL
#define ALBUM_CLASS __declspec(dllexport)
#define ALBUM_API extern "C" __declspec(dllexport)
#define ALBUM_FUNC __declspec(dllexport)
#else
#define ALBUM_CLASS __declspec(dllimport)
#define ALBUM_API extern "C" __declspec(dllimport)
#define ALBUM_FUNC __declspec(dllimport)
#endif
// ALBUM_API functions are exported under their plain names; ALBUM_FUNC
// functions of the host interface under their decorated (C++) names.

// Blocks and pictures the library hands to the host are freed with the image
// services' ToviMemFree (QILDLL.dll).
extern "C" __declspec(dllimport) void ToviMemFree(void* block);

class CThumbTable2;
class CAlbumDoc2;
class CAlbum;
class CThumbView2;
class CThumbListView2;
class CAlbumCtrl;
class CAlbumMan;

// ---------------------------------------------------------------------------
// Information record of one album item: stored in album files, handed to the
// host and shown by the views. Copied byte for byte; the layout is binding.
#pragma pack(push, 1)
struct tagALBUMINFOHEADER {
  DWORD aiFileSize;         // size of the source file in bytes
  DWORD aiFileTime;         // later of modification and creation time (seconds since 1970)
  char aiPath[260];         // source picture path, absolute or relative
  char aiDescription[128];  // description, at most 127 characters
  WORD aiRelative;          // 1 when aiPath has no drive part
  WORD aiBitCount;          // bits per pixel of the source picture
  WORD aiWidth;             // source width in pixels
  WORD aiHeight;            // source height in pixels
  DWORD aiReserved1;
  WORD aiThumbWidth;        // thumbnail width
  WORD aiThumbHeight;       // thumbnail height
  DWORD aiThumbSize;        // byte size of the thumbnail picture handle
  WORD aiReserved2;
  WORD aiReserved3;
};
#pragma pack(pop)
static_assert(sizeof(tagALBUMINFOHEADER) == 420, "information record is 420 bytes");
static_assert(offsetof(tagALBUMINFOHEADER, aiPath) == 8, "aiPath at 8");
static_assert(offsetof(tagALBUMINFOHEADER, aiDescription) == 268, "aiDescription at 268");
static_assert(offsetof(tagALBUMINFOHEADER, aiRelative) == 396, "aiRelative at 396");
static_assert(offsetof(tagALBUMINFOHEADER, aiWidth) == 400, "aiWidth at 400");
static_assert(offsetof(tagALBUMINFOHEADER, aiThumbWidth) == 408, "aiThumbWidth at 408");
static_assert(offsetof(tagALBUMINFOHEADER, aiThumbSize) == 412, "aiThumbSize at 412");
static_assert(offsetof(tagALBUMINFOHEADER, aiReserved3) == 418, "aiReserved3 at 418");

// Search criteria, passed to CThumbTable2::Search by value.
#pragma pack(push, 1)
struct tagAlbumSearchCreteria {
  char szName[256];         // piece of the file path; empty = any
  char szDescription[256];  // piece of the description; empty = any
  int nDescriptionOption;   // check-box state of the search dialog
  struct tm tmFrom;         // earliest date (year counted from 1900)
  struct tm tmTo;           // latest date
  int bDateTest;            // non-zero: apply the date range
  char szTypes[40];         // ";"-separated patterns; empty = any
  int nSizeBound;           // 0 any; n > 0 at least n bytes; n < 0 at most -n bytes
  BYTE scope[528];          // the search dialog's own fields
};
#pragma pack(pop)
static_assert(sizeof(struct tm) == 36, "struct tm is nine 32-bit fields");
static_assert(sizeof(tagAlbumSearchCreteria) == 1164, "criteria record is 1164 bytes");
static_assert(offsetof(tagAlbumSearchCreteria, nDescriptionOption) == 512, "option at 512");
static_assert(offsetof(tagAlbumSearchCreteria, tmFrom) == 516, "earliest date at 516");
static_assert(offsetof(tagAlbumSearchCreteria, tmTo) == 552, "latest date at 552");
static_assert(offsetof(tagAlbumSearchCreteria, bDateTest) == 588, "date test at 588");
static_assert(offsetof(tagAlbumSearchCreteria, szTypes) == 592, "types at 592");
static_assert(offsetof(tagAlbumSearchCreteria, nSizeBound) == 632, "size bound at 632");
static_assert(offsetof(tagAlbumSearchCreteria, scope) == 636, "scope at 636");

// The exchange record with the album store ("Vandor.DLL": ABM_OpenFile and
// ABM_SaveFile, called with the constant 4, the album path and this record).
// hBlocks is a global memory handle of an array of nCount global memory
// handles, one block per item: the 420-byte record, then aiThumbSize picture
// bytes, then at least 10 zero bytes.
#pragma pack(push, 1)
struct tagALBUMFILEDATA {
  char szDescription[128];  // bytes 126 and 127 are 0: at most 126 characters
  DWORD nCount;             // number of item blocks
  HGLOBAL hBlocks;          // array of nCount block handles
};
#pragma pack(pop)
static_assert(sizeof(HGLOBAL) == 4, "the album component is a 32-bit library");
static_assert(sizeof(tagALBUMFILEDATA) == 136, "exchange record is 136 bytes");
static_assert(offsetof(tagALBUMFILEDATA, nCount) == 128, "count at 128");
static_assert(offsetof(tagALBUMFILEDATA, hBlocks) == 132, "blocks at 132");

// The album store's version constant, the same for reading and writing.
enum { ALBUM_STORE_VERSION = 4 };
typedef int (*ABMFILEPROC)(int version, const char* path, tagALBUMFILEDATA* data);

// ---------------------------------------------------------------------------
// View configuration: grid, gaps, orientation, selection, drawing style,
// layout, captions, background, caption font, tooltips and cell size. Copied
// byte for byte into every list view and its cells.
#pragma pack(push, 1)
struct tagAlbumViewCreateInfo {
  int avcRows;         // rows of cells
  int avcCols;         // columns of cells
  int avcHGap;         // horizontal gap between cells, pixels
  int avcVGap;         // vertical gap between cells, pixels
  int avcScroll;       // 1 vertical (rows scroll), 2 horizontal (columns scroll)
  int avcSelect;       // 1 single selection; other values multiple
  int avcStyle;        // 2 thin frame, 3 relief, 4 framed card, other values no frame
  int avcLayout;       // 1 fit to window, 2 stretched to fill, other values fixed grid
  int avcCaption;      // 1 file name and number, 3 none, other values number only
  int avcBkMode;       // 1 transparent list view background (NULL_BRUSH)
  LOGFONTA avcFont;    // caption font
  int avcReserved1;
  int avcReserved2;
  int avcToolTip;      // non-zero: cells show a tooltip with the picture size
  int avcCellWidth;    // cell size used by the fit-to-window layout
  int avcCellHeight;
};
#pragma pack(pop)
static_assert(sizeof(LOGFONTA) == 60, "LOGFONTA is 60 bytes");
static_assert(sizeof(tagAlbumViewCreateInfo) == 120, "view configuration is 120 bytes");
static_assert(offsetof(tagAlbumViewCreateInfo, avcScroll) == 16, "avcScroll at 16");
static_assert(offsetof(tagAlbumViewCreateInfo, avcCaption) == 32, "avcCaption at 32");
static_assert(offsetof(tagAlbumViewCreateInfo, avcFont) == 40, "avcFont at 40");
static_assert(offsetof(tagAlbumViewCreateInfo, avcToolTip) == 108, "avcToolTip at 108");
static_assert(offsetof(tagAlbumViewCreateInfo, avcCellHeight) == 116, "avcCellHeight at 116");

// The module-wide drag record; receivers of AVM_DRAGNOTIFY get its address.
#pragma pack(push, 1)
struct tagDRAGNOTIFY {
  int ddAction;         // 1 begin, 2 end, 3 drop query, 4 drop, 5 over, 6 leave
  int ddKind;           // 1 album items
  int ddKeys;           // MK_* flags of the current mouse message
  int ddX;              // cursor in the receiver's client coordinates (steps 3, 5)
  int ddY;
  int ddBeginResult;    // written by the source in step 1
  CAlbumDoc2* ddData;   // the dragged items, written by the source in step 1
  BYTE ddHandled;       // cleared before each step; set by a receiver that handles it
  BYTE ddPad[3];
  int ddEffect;         // 3 not accepted, 2 accepted, 1 no window accepted the drop
};
#pragma pack(pop)
static_assert(sizeof(void*) == 4, "the album component is a 32-bit library");
static_assert(offsetof(tagDRAGNOTIFY, ddKind) == 4, "ddKind at 4");
static_assert(offsetof(tagDRAGNOTIFY, ddX) == 12, "ddX at 12");
static_assert(offsetof(tagDRAGNOTIFY, ddBeginResult) == 20, "ddBeginResult at 20");
static_assert(offsetof(tagDRAGNOTIFY, ddData) == 24, "ddData at 24");
static_assert(offsetof(tagDRAGNOTIFY, ddHandled) == 28, "ddHandled at 28");
static_assert(offsetof(tagDRAGNOTIFY, ddEffect) == 32, "ddEffect at 32");
static_assert(sizeof(tagDRAGNOTIFY) == 36, "drag record is 36 bytes");

enum {
  DRAG_BEGIN = 1,
  DRAG_END = 2,
  DRAG_QUERY = 3,
  DRAG_DROP = 4,
  DRAG_OVER = 5,
  DRAG_LEAVE = 6,
};
enum { DRAG_KIND_ITEMS = 1 };
enum { DRAG_EFFECT_NONE = 1, DRAG_EFFECT_ACCEPTED = 2, DRAG_EFFECT_REFUSED = 3 };

// Private view messages, all sent with SendMessage.
enum : UINT {
  AVM_ITEMDBLCLK = WM_USER + 257,       // 0x501 wParam MK_* flags, lParam CThumbView2*
  AVM_ITEMLBUTTONDOWN = WM_USER + 258,  // 0x502 wParam MK_* flags, lParam CThumbView2*
  AVM_ITEMBUTTONUP = WM_USER + 259,     // 0x503 wParam MK_* flags, lParam CThumbView2*
  AVM_UPDATESCROLL = WM_USER + 260,     // 0x504 wParam the view's window
  AVM_FOCUSCHANGED = WM_USER + 261,     // 0x505 wParam the album view, lParam CThumbnail2* or null
  AVM_ITEMDROP = WM_USER + 262,         // 0x506 wParam target CThumbView2*, lParam tagDRAGNOTIFY*
  AVM_ITEMRBUTTONDOWN = WM_USER + 263,  // 0x507 wParam MK_* flags, lParam CThumbView2*
  AVM_HSCROLL = WM_USER + 264,          // 0x508 like WM_HSCROLL; lParam low max, high min
  AVM_VSCROLL = WM_USER + 265,          // 0x509 like WM_VSCROLL
  AVM_DRAGNOTIFY = WM_USER + 10000,     // 0x2B10 lParam tagDRAGNOTIFY*
};
static_assert(AVM_ITEMDBLCLK == 0x501 && AVM_VSCROLL == 0x509 && AVM_DRAGNOTIFY == 0x2B10, "message numbers");


// ---------------------------------------------------------------------------
// One album item: a thumbnail picture (owned) and its information record.
class ALBUM_CLASS CThumbnail2 {
public:
  // Copies the record, takes ownership of dib (may be null) and recomputes
  // aiRelative from aiPath.
  CThumbnail2(const tagALBUMINFOHEADER* info, void* dib, int id, int exist);
  // Shallow, like the assignment: the copy shares the picture handle and
  // never releases it.
  CThumbnail2(const CThumbnail2& other);
  ~CThumbnail2();

  void* GetDib();                 // ownership stays with the item
  void SetDib(void* dib);         // the caller keeps the previous handle; the item owns the new one
  tagALBUMINFOHEADER* GetInfo();  // read and written in place
  int GetID();
  int SetID(int id);              // returns the previous id
  void SetExist(int exist);
  CThumbnail2* Clone();           // deep copy, or null
  // Shallow: shares the picture handle, which stays the other item's to
  // release; a picture this item owned before is released.
  CThumbnail2& operator=(const CThumbnail2& other);

protected:
  void SetSelect(int select);
  void SetFouse(int focus);
  int IsSelect();

private:
  friend class CThumbTable2;
  friend class CAlbumDoc2;
  friend class CAlbum;
  friend class CThumbView2;
  friend class CThumbListView2;
  friend class CAlbumPrintJob;  // prints only the selected items

  int m_nID;                    // 1-based position; 0 outside a table; -1 for a sentinel
  tagALBUMINFOHEADER m_Info;
  void* m_hDib;                 // owned
  int m_bSelect;
  int m_bFouse;
  CThumbnail2* m_pNext;         // not owned
  CThumbnail2* m_pPrev;         // not owned
  CThumbnail2* m_pSelNext;      // not owned
  CThumbnail2* m_pSelPrev;      // not owned
  int m_bExist;
  int m_bSharedDib;             // 1: m_hDib belongs to the item this one was copied from
};

// ---------------------------------------------------------------------------
// The ordered, owning table of album items. Ids always equal 1-based positions.
class ALBUM_CLASS CThumbTable2 {
public:
  CThumbTable2();
  ~CThumbTable2();
  // Copies only the list (both tables then refer to one list): for transient
  // views of a table, never to duplicate one. The copy never deletes an item
  // or the list it shares; emptying it gives it a new list of its own.
  CThumbTable2(const CThumbTable2& other);
  CThumbTable2& operator=(const CThumbTable2& other);

  int GetCount();
  CThumbnail2* GetThumbnail(int n);
  int Insert(CThumbnail2* item, CThumbnail2* position);
  int Insert(CThumbTable2* source, CThumbnail2* position);
  // Copies of the items matching the criteria, from position on; null when
  // the user asked to stop. The caller owns the returned table.
  CThumbTable2* Search(tagAlbumSearchCreteria criteria, int& position);

protected:
  void CleanTable();
  int Remove(CThumbnail2* item, int freeItem);
  int SortBy(int key, int order);

private:
  friend class CAlbumDoc2;
  friend class CAlbum;
  friend class CThumbListView2;

  int NameCmp(CThumbnail2* item, tagAlbumSearchCreteria* criteria);
  int DescriptionCmp(CThumbnail2* item, const char* text, int option);
  void ForgetCursor();
  // Bulk edits: Link and Unlink change the list and the count but leave the
  // ids of the items after the change as they were (a linked item gets id
  // 0), so that many edits cost one renumbering. The caller ends the edit
  // with RenumberFrom(the first item whose id may be wrong).
  void Link(CThumbnail2* item, CThumbnail2* position);
  void Unlink(CThumbnail2* item);
  void RenumberFrom(CThumbnail2* item);

  int m_nCount;                 // items, sentinel not counted
  CThumbnail2* m_pHead;         // owned sentinel of the circular list
  // Last item reached by GetThumbnail, so that walking the table in order
  // costs one step per item instead of a walk from the head.
  CThumbnail2* m_pCursor;       // not owned
  int m_nCursor;                // position of m_pCursor, 0 when unknown
  int m_bShared;                // 1: the list belongs to the table this one was copied from
};

// ---------------------------------------------------------------------------
// One album in memory: the item table plus the album file's path, its
// description, the folder relative item paths are resolved against, and the
// box new thumbnails must fit. Album files are read and written only through
// the album store.
class ALBUM_CLASS CAlbumDoc2 : public CThumbTable2 {
public:
  CAlbumDoc2();
  ~CAlbumDoc2();
  // Copies every member as it is: both documents then share one item list,
  // which stays the original's. Only for transient copies.
  CAlbumDoc2(const CAlbumDoc2& other);
  CAlbumDoc2& operator=(const CAlbumDoc2& other);

  int Load(const char* path, int withPictures);
  int Save(const char* path);
  int Refresh(CThumbnail2* item);
  int SetThumbnailSize(WORD width, WORD height);
  // Resolves a stored item path into full (MAX_PATH bytes); 1 when the
  // result is absolute or names an existing file.
  int GetThumbnailFullPath(const char* stored, char* full);
  CThumbnail2* FindFileInDoc(const char* path);

  const char* GetPath();
  int SetPath(const char* path);  // 0 when the path does not fit (nothing changes)
  const char* GetDescription();
  void SetDescription(const char* description);
  const char* GetExePath();
  int SetExePath(const char* path);  // 0 when the path does not fit (nothing changes)
  void SetAutoCheck(int autoCheck);

private:
  int CheckSourceFile(tagALBUMINFOHEADER* info, const char* full);

  char m_szExePath[260];      // host program folder with trailing backslash
  char m_szPath[260];         // album file last loaded or set
  char m_szDescription[256];  // album title
  int m_bAutoCheck;           // 1: Load refreshes items against their sources
  WORD m_wThumbWidth;
  WORD m_wThumbHeight;
};

// Sort keys and orders of CThumbTable2::SortBy.
enum {
  ALBUM_SORT_NAME = 0,
  ALBUM_SORT_TYPE = 1,
  ALBUM_SORT_SIZE = 2,
  ALBUM_SORT_DATE = 3,
  ALBUM_SORT_DESCRIPTION = 4,
};

// ---------------------------------------------------------------------------
// Thumbnail making. Pictures are image-services memory handles holding packed
// device-independent bitmaps; thumbnails are always 24 bits per pixel.
ALBUM_API void* MakeThumbnailPicture(void* dib, WORD maxWidth, WORD maxHeight);
ALBUM_API CThumbnail2* CreateThumbnailFromPicture(void* dib, const char* path, WORD maxWidth,
                                                  WORD maxHeight, const char* description);
ALBUM_API CThumbnail2* CreateThumbnailFromFile(const char* path, WORD maxWidth, WORD maxHeight,
                                               const char* description);

// ---------------------------------------------------------------------------
// Album files for hosts that open no album window.

// Reads a whole album: *count items, *pictures an array of picture handles
// and *infos an array of record blocks. Everything returned is the host's:
// both arrays, every record block and every picture are freed with
// ToviMemFree. Returns 0, -1 when memory or the document cannot be had,
// -2 when the album cannot be loaded; on failure nothing is written.
ALBUM_API int LoadAlbum(const char* path, int* count, void*** pictures, tagALBUMINFOHEADER*** infos);
ALBUM_API void ChangeRelativePathDepth(int depth);

// Adds picture files to an album file. album (at least MAX_PATH bytes) holds
// the full path of an ".abm" file, or a folder in which the user chooses an
// album (or asks for a new one); after a full path it holds that path's
// folder, without trailing backslash. *fileList holds count paths back to
// back, each after the previous one's terminating zero. results (count ints,
// the caller's) gets 1 for each file in the album afterwards, 0 for each that
// is not. size.x and size.y bound the new thumbnails. When a manager of the
// calling thread shows the album, the files go into that window and the file
// is not touched. Returns 0 when every file was added as a new item, and when
// the user cancelled the chooser (every result is then 0); 1 when at least one
// file was not newly added (it failed, or was already there and was only
// refreshed); -1 when the album cannot be loaded or saved, the arguments are
// unusable, or the user cancelled the new-album dialog.
ALBUM_API int AddToAlbum(HWND owner, char* album, char** fileList, int count, int*& results, POINT size);

// Path lists: one block of 260-byte entries grown with realloc; the caller
// passes a null list with count 0 or its own list and count, and frees the
// list with free().
enum { ALBUM_PATH_ENTRY = 260 };

// 1 when full has a drive and the extension ".ABM": folder (drive and folder
// without the trailing backslash) and name (without extension) are filled,
// each MAX_PATH bytes.
ALBUM_API int SplitAlbumPath(const char* full, char* folder, char* name);
// Appends the folder's subfolders, depth first. 0 done, -1 list and count
// disagree, -2 the folder cannot be searched, -3 stopped, -4 out of memory.
ALBUM_API int EnumSubfolders(const char* folder, char** list, int* count);
// Appends the folder's picture files (matching pattern, or every picture
// type when the pattern is empty). Returns the new count, or -1.
ALBUM_API int EnumPictureFiles(const char* folder, char** list, int* count, const char* pattern);
ALBUM_API int FileExists(const char* path);

// Writes the album as XML (album, title, desc, thumbnails/thumbnail with seq,
// link and desc). 0 when saved, -2 when the album cannot be loaded, -1 for
// every other failure.
ALBUM_API int __stdcall CreateXabm(const char* albumPath, const char* outputPath);

// ---------------------------------------------------------------------------
// Picture information: the camera data of a JPEG file's Exif block.
#include "ExifRecords.h"

// Marker class of a two-byte JPEG marker: SOI 0, APP0..APP15 1..16, COM 17,
// DQT 18, DHT 19, DRI 20, SOF0 21, SOS 22, anything else 23.
ALBUM_API int ClassifyJpegMarker(unsigned marker);
// 0 when the file is a ".jpg" starting with SOI, APP1 and "Exif\0\0"; else
// one of the EXIF_* codes of ExifRecords.h.
ALBUM_API int CheckExifFile(const char* path);
// String identifier (in the resource module) of row 0..15's label; 0 for
// any other row.
ALBUM_API UINT GetExifRowLabelId(int row);
// Reads the Exif IFD into both records (cleared first). 1 on success, 0 on
// any failure (nothing is then held). Release with ReleaseExifInfo.
ALBUM_API int ReadExifInfo(tagEXIFVALUES* values, tagEXIFPRESENCE* presence, const char* path);
ALBUM_API void ReleaseExifInfo(tagEXIFVALUES* values);
// Reads Make and Model (cleared first). 1 when at least one was read.
// Release with ReleaseCameraMakeModel.
ALBUM_API int ReadCameraMakeModel(const char* path, tagEXIFMAKEMODEL* makeModel);
ALBUM_API void ReleaseCameraMakeModel(tagEXIFMAKEMODEL* makeModel);
// The sixteen value texts of the information dialog, with units and choices
// from the resource module. makeModel may be null.
ALBUM_API void FormatExifRows(tagEXIFROWS* rows, const tagEXIFVALUES* values,
                              const tagEXIFPRESENCE* presence, const tagEXIFMAKEMODEL* makeModel);
// Runs the picture information dialog over the records, owned by owner.
// Returns its end code (IDOK or IDCANCEL), or -1 when it cannot run.
ALBUM_API INT_PTR ShowExifInformation(HWND owner, const tagEXIFVALUES* values,
                                      const tagEXIFPRESENCE* presence,
                                      const tagEXIFMAKEMODEL* makeModel);
// Checks and reads the file and shows its information. 1 when the dialog was
// shown, 0 when the file has no readable Exif block or the dialog could not run.
ALBUM_API int ShowPictureInformation(HWND owner, const char* path);

// ---------------------------------------------------------------------------
// Host interface: the active album manager of the calling thread.

// Full paths of every item, or of the selected items, of the active album,
// as count paths of 260 bytes each in one block (caller frees with
// ToviMemFree). 0 when the thread has no active album manager or it shows no
// album; count is then 0 and list null.
ALBUM_FUNC int GetAcitveAlbumThumbnialList(int& count, char (*&list)[260]);
ALBUM_FUNC int GetAcitveAlbumSelectedThumbnialList(int& count, char (*&list)[260]);

// Sets the user folder, which holds "album.ini". Returns the text's length
// including its terminating zero; 0 (folder unchanged) for a null text or
// one that does not fit a 260-byte path.
ALBUM_API int InitCurUserPath(const char* folder);

// Callbacks the host hands to the album managers.
// Makes the dock frame for a manager dialog (called with 15, 0, true); the
// returned window receives the dock frame messages, or null for none.
typedef HWND (*ALBUMDOCKCREATEPROC)(HWND dialog, int flags, int reserved, bool show);
// Whether the dialog is to be shown at once in its frame (non-zero) or
// hidden first (0).
typedef int (*ALBUMDOCKQUERYPROC)(HWND frame);
// A manager dialog with a dock frame is going.
typedef int (*ALBUMDOCKRELEASEPROC)(HWND dialog, HWND frame);
// The manager's acquire button.
typedef int (*ALBUMACQUIREPROC)(HWND dialog);
// The manager's help button and help command (topic 0).
typedef int (*ALBUMHELPPROC)(HWND dialog, int topic);

// Opens an album manager dialog owned by host over folder, with thumbnails
// of at most width x height; with chooser non-zero the album chooser first
// picks the album. The dialog window, or null.
ALBUM_FUNC HWND OpenAlbumManagerEx(HWND host, const char* folder, int width, int height, int chooser);
// 1 while the calling thread has fewer than limit managers open.
ALBUM_FUNC int CanOpenMoreAlbum(int limit);
// The calling thread's active manager dialog, or null; name (MAX_PATH bytes,
// may be null) receives its album's name in form 1 (full path), 2 (file
// name) or 3 (name without extension).
ALBUM_FUNC HWND GetActiveAlbum(char* name, int form);
// The calling thread's manager dialogs: a 32-bit count, then the windows
// (caller frees with ToviMemFree); null when the thread is unknown.
ALBUM_FUNC void* GetAllAlbum();
// Inserts a thumbnail of picture (the caller keeps it) into the album of the
// manager dialog. 1 on success, 0 otherwise.
ALBUM_FUNC int InsertFromDib(HWND manager, void* picture, const char* description, const char* path);
ALBUM_FUNC int SetAlbumOption(HWND manager, int width, int height);
// Gives the keyboard focus to the manager's album control; always 1.
ALBUM_FUNC int SetFocusToAbm(HWND manager);
// The dragged items' full paths, 260 bytes per item, each zero-terminated
// and packed from the start (caller frees with ToviMemFree); null unless the
// drag record (a tagDRAGNOTIFY*) carries album items.
ALBUM_FUNC void* GetDropData(long dragRecord);
ALBUM_FUNC void SetDockFunction(ALBUMDOCKCREATEPROC create, ALBUMDOCKQUERYPROC query, ALBUMDOCKRELEASEPROC release);
ALBUM_FUNC void SetAcquireFunction(ALBUMACQUIREPROC acquire);
ALBUM_FUNC void SetAlbumHelpFunction(ALBUMHELPPROC help);
// Stored only: the item count of album tables is never changed by it.
ALBUM_FUNC void SetRedeyeFlag(bool redeye);
// Non-zero: the manager's toolbar uses the new images and size. Returns 1.
ALBUM_FUNC int SetNewVersion(int newVersion);
// Enables or greys a button of the shown manager's toolbar; the value given
// for the print button (1007) also allows or forbids printing from every
// manager opened from then on.
ALBUM_API void EnableAlbumToolbar(int command, int enable);
// Leaves PSD, PCX or GIF out of the add-files dialog of managers made later.
ALBUM_API void IsNoSupportPSDPCXGIF(int noPsd, int noPcx, int noGif);

// Shared dialogs.

// 1 when a new album file of the given name can be created in the folder.
// name is a MAX_PATH buffer holding the album's name, with or without
// ".abm"; on success it holds the file name, ".abm" included, and so does
// the module's new-album-name buffer. A blank name, the untitled album's
// name, a name with characters a file name cannot hold (\ / : * ? " < > |),
// a name that is too long, an existing file and a folder that cannot be
// written to are refused; with withMessages the refusal is shown to owner.
// The check leaves nothing on disk and never touches an existing file.
ALBUM_FUNC int ValidateAlbumName(HWND owner, const char* folder, char* name, int withMessages);

// Lets the user pick an album of folder. On acceptance (1) result, a MAX_PATH
// buffer or null, receives the album's name without ".abm" (the untitled
// album's name stands for a new album); 0 when cancelled or when the dialog
// cannot run. allowNew offers the untitled album at the top of the list. A
// non-empty title becomes the dialog's title, also for later calls that pass
// none. mode chooses the entry selected at first: 1 the album opened last
// ("LastOpen" in album.ini), 2 the active album, 3 the untitled album, any
// other value the first entry.
ALBUM_FUNC int ChooseAlbum(HWND owner, const char* folder, char* result, int allowNew, const char* title, int mode);

// ---------------------------------------------------------------------------
// The exported window classes.
#include "AlbumViews.h"
#include "AlbumManager.h"
