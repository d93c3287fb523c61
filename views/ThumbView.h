// The thumbnail cell ("ThumbViewClass"): one child window that shows one
// album item with its frame, selection and focus marks and caption, reports
// every mouse action to its parent and takes part in drag and drop.
#pragma once

#include <album.h>

// Registers "ThumbViewClass" for the given instance; 1 on success, 0 on failure.
ALBUM_API int CThumbviewRegister(HINSTANCE instance);

class ALBUM_CLASS CThumbView2 {
public:
  // place: left and top are the position in the parent, right and bottom
  // the width and height (each raised to at least 16). The configuration is
  // copied; the window is made at once and shown.
  CThumbView2(HWND parent, RECT place, tagAlbumViewCreateInfo& aci);
  // Shallow: the copy refers to the same window and tooltip. It does not
  // share the display copy of the framed style; it makes its own when it paints.
  CThumbView2(const CThumbView2& other);
  CThumbView2& operator=(const CThumbView2& other);

  // Reports a mouse message to the parent (AVM_ITEM*, lParam = this cell).
  virtual void OnMouse(unsigned msg, unsigned wParam, long lParam);
  // Destroys the tooltip, then closes the cell window.
  virtual ~CThumbView2();

  // Shows another item (null = empty cell); returns UpdateWindow's result.
  int Attach(CThumbnail2* item);
  CThumbnail2* GetThumbnail();
  void SetDragDrop(int dragDrop);
  // index: a stock brush (GetStockObject) that fills the cell before
  // painting, -1 for none. Returns the previous index.
  int SetThumbViewBkColor(int index);
  void SetSelect(int select);
  int IsSelect();

  // The class's window procedure: binds the object at WM_CREATE and hands
  // every message to it.
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
  long CThumbnailWndProc(HWND hwnd, unsigned msg, unsigned wParam, long lParam);

protected:
  // Repaints everything but the picture's interior: marks and caption.
  void InvalidateView();

  HWND m_hWnd;                  // owned: closed by the destructor
  CThumbnail2* m_pThumbnail;    // not owned
  tagAlbumViewCreateInfo m_aci;
  RECT m_rcPicture;             // where the last paint put the picture (client coordinates)
  int m_bDragDrop;
  int m_nBkColor;
  HWND m_hTipWnd;               // owned
  int m_bCapture;               // 1 while the cell holds a capture it took itself

private:
  friend class CThumbListView2;
  friend class CAlbum;


  void OnPaint();
  void OnPaint_Net();
  void CThumbTextOut(HDC dc, RECT& client);
  void CThumbTextOut_Net(HDC dc, RECT& box, COLORREF colour);
  void SetTip(unsigned msg, unsigned wParam, long lParam);
  HWND DoCreateTipWnd();
  void OnDragNotify(unsigned wParam, long lParam);
  void DrawHoverMark();
  // The framed style's display copy of the picture for a fitting box of
  // width x height, made on the first paint that needs it and kept until
  // the item, its picture or the box changes.
  void* GetDisplayCopy(void* picture, int width, int height, int fitWidth, int fitHeight);
  void DropDisplayCopy();

  void* m_hDisplayDib;            // owned: the framed style's rescaled picture
  void* m_hDisplaySource;         // not owned: the picture it was made from
  CThumbnail2* m_pDisplayItem;    // not owned: the item it was made for
  SIZE m_sizeDisplayBox;          // the fitting box it was made for
};
