// The resource albums of a painting host: small grids of brushes, stamps,
// textures and shapes, and the preparation of the pictures stored for them.
#pragma once

#include <album.h>

struct QILOPENOPTIONS;

// Resource kinds, taken from the window's class name.
enum {
  RESOURCE_KIND_NONE = 0,  // an unknown class: behaves as a texture album
  RESOURCE_KIND_BRUSH = 1,
  RESOURCE_KIND_STAMP = 2,
  RESOURCE_KIND_TEXTURE = 3,
  RESOURCE_KIND_SHAPE = 4,
};

// Sets the cell size shared by every resource album control of the process
// and registers "BrushAlbumCtrl", "TextureAlbumCtrl", "StampAlbumCtrl" and
// "ShapeAlbumCtrl" for instance, then the cell and list view classes. 1 when
// the four classes and both view classes are available afterwards (a
// repeated call included); 0 otherwise.
ALBUM_API int CBrushAlbumCtrlRegister(HINSTANCE instance, int cellWidth, int cellHeight);

// The exports through which a host works on a resource album window.
// Imports pictures the user picks; 0 for a window of another class, one
// without its control object, or a dialog that was cancelled.
ALBUM_API int AddItemToAbmCtrl(HWND window);
// Removes the selected items after asking; 1 when removed and saved.
ALBUM_API int DeleteItemFromAbmCtrl(HWND window);
// -1 without control object, 0 without album view, else the item count.
ALBUM_API int GetBrushCount(HWND window);
// -1 without control object, 0 without album view, else the focused item's
// number (1-based; -1 without focus).
ALBUM_API int GetCurrentBrushSelection(HWND window);
// Focuses item number (1-based) and scrolls it into view; 0 when there is
// no such item or no control.
ALBUM_API int SetCurrentBrushSelection(HWND window, int number);
// The focused item's full path into path (260 bytes): -1 without control
// object, 0 without album view or focus, else 1.
ALBUM_API int GetCurrentBrushFullPath(HWND window, char* path);

// A picture made ready for a brush album: at most 128 pixels on its longer
// side, grey, then inverted and brightness-scaled as the "Brush Parameter"
// switches of "album.ini" ask. The source stays the caller's; the result
// is the caller's (ToviMemFree); null when a step fails.
ALBUM_API void* PrepareBrushPicture(void* source);
// The same for stamp and shape albums: at most 256 pixels, the "Stamp
// Parameter" switches.
ALBUM_API void* PrepareStampPicture(void* source);

// The object behind one resource album window, bound to it through the
// window's user-data slot. A window made with a null creation parameter
// makes its own object; one passed as the creation parameter (made with
// new) is adopted. Either goes with the window.
class ALBUM_CLASS CBrushAlbumCtrl {
public:
  CBrushAlbumCtrl();
  CBrushAlbumCtrl(const CBrushAlbumCtrl&) = delete;
  CBrushAlbumCtrl& operator=(const CBrushAlbumCtrl&) = delete;
  // Destroys and deletes the album view.
  virtual ~CBrushAlbumCtrl();

  // WM_CREATE: the kind from the class name, the grid from the client size
  // and the cell size, the album named by the window text (relative to the
  // host folder). 0 for a null window or a second call.
  virtual int Create(HWND window);

  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

  // The focused item's full path into path (260 bytes); 0 without album
  // view or focus.
  int GetCurrentFullPath(char* path);
  // Lets the user pick picture files and imports each; saves the album when
  // one was imported. 0 when the dialog could not be shown or was cancelled.
  int AddItems();
  // Imports one picture file: for brushes, stamps and shapes the prepared
  // picture is stored as "<host folder>\<kind folder>\<name>.bmp"; a
  // texture is referenced where it is. 1 when the album took it.
  int ImportFile(const char* path, QILOPENOPTIONS* options);
  // Inserts a prepared picture stored at storedPath (whose tag, if the
  // source carries one, is copied to it). The picture stays the caller's.
  int InsertPreparedPicture(void* prepared, const char* description, const char* storedPath,
                            const char* sourcePath);
  // Inserts a picture referenced where it is. The picture stays the caller's.
  int InsertSourcePicture(void* picture, const char* description, const char* path);
  // Removes the selected items after asking, unless one of them is
  // protected by its tag (then only beeps). Their stored pictures are
  // deleted once the album file no longer names them. 1 when removed and
  // saved.
  int DeleteSelected();
  int GetThumbWidth();
  int GetThumbHeight();

  CAlbum* GetAlbum() { return m_pAlbum; }
  int GetKind() const { return m_nKind; }

protected:
  void OnPaint();
  void OnSize(int width, int height);
  // Writes the album to its file; 0 (after telling the user) when it
  // cannot be written.
  int SaveAlbum();
  // 0, after telling the user, when imports must not go into this album.
  int CanImport();
  // Gives an item of the album the thumbnail of a picture newly stored
  // under its path. The picture stays the caller's.
  int ShowNewPicture(CThumbnail2* item, void* prepared, const char* storedPath, unsigned short width,
                     unsigned short height);

  HWND m_hWnd;                    // not owned: the control window
  unsigned char m_bOwned;         // 1: the window deletes this object
  CAlbum* m_pAlbum;               // owned, with its window
  char m_szLastFolder[260];       // folder offered by the next add dialog
  char m_szExeFolder[260];        // host folder with trailing backslash
  int m_nKind;                    // RESOURCE_KIND_*
  int m_bUnreadable;              // 1: the album file exists but cannot be read
};
