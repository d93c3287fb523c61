// The resource album control: an album view without captions over a grid of
// grey lines, whose album file is named by the window text, and the exports
// through which a painting host works on it.
#include <album.h>
#include <ResourceAlbums.h>

#include <string.h>
#include <sys/stat.h>

#include <new>
#include <string>
#include <vector>

#include "components/resources/resource.h"
#include "manager/HostOptions.h"
#include "manager/Module.h"
#include "manager/ThreadRegistry.h"
#include "platform/Gdi.h"
#include "platform/Memory.h"
#include "platform/Path.h"
#include "platform/Text.h"
#include "platform/pixamo.h"
#include "views/Album.h"

namespace {

struct KindEntry {
  const char* className;
  int kind;
  const char* folder;  // under the host folder; null: items stay where they are
};

// In the order the class name is matched.
const KindEntry kKinds[] = {
    {"BrushAlbumCtrl", RESOURCE_KIND_BRUSH, "brush"},
    {"StampAlbumCtrl", RESOURCE_KIND_STAMP, "stamps"},
    {"ShapeAlbumCtrl", RESOURCE_KIND_SHAPE, "Shapes"},
    {"TextureAlbumCtrl", RESOURCE_KIND_TEXTURE, nullptr},
};
// In the order they are registered.
const char* const kRegisterOrder[] = {"BrushAlbumCtrl", "TextureAlbumCtrl", "StampAlbumCtrl", "ShapeAlbumCtrl"};

int g_cellWidth = 0;
int g_cellHeight = 0;

const char* KindFolder(int kind) {
  for (const KindEntry& entry : kKinds) {
    if (entry.kind == kind) return entry.folder;
  }
  return nullptr;
}

int KindOfClass(const char* className) {
  for (const KindEntry& entry : kKinds) {
    if (_stricmp(className, entry.className) == 0) return entry.kind;
  }
  return RESOURCE_KIND_NONE;
}

bool IsResourceClass(HWND window) {
  char className[256] = "";
  if (!GetClassNameA(window, className, 255)) return false;
  return KindOfClass(className) != RESOURCE_KIND_NONE;
}

// The object of a window of the resource classes; null for any other
// window, whose user-data slot holds something else or nothing.
CBrushAlbumCtrl* ControlOf(HWND window) {
  if (!window || !IsWindow(window)) return nullptr;
  const auto procedure = reinterpret_cast<WNDPROC>(GetClassLongPtrA(window, GCLP_WNDPROC));
  if (procedure != &CBrushAlbumCtrl::WindowProc) return nullptr;
  return reinterpret_cast<CBrushAlbumCtrl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

// The folder of the process's executable, with its trailing backslash.
void GetHostFolder(char* out, size_t capacity) {
  out[0] = '\0';
  char program[MAX_PATH] = "";
  DWORD length = GetModuleFileNameA(nullptr, program, sizeof(program));
  if (length == 0 || length >= sizeof(program)) return;
  SplitPathParts parts;
  if (!SplitAlbumPathParts(program, &parts)) return;
  std::string folder = std::string(parts.drive) + parts.dir;
  CopyTextWhole(out, capacity, folder.c_str());
}

// The folder part (drive and folder, trailing backslash kept) of path.
std::string FolderOf(const char* path) {
  SplitPathParts parts;
  if (!SplitAlbumPathParts(path, &parts)) return std::string();
  return std::string(parts.drive) + parts.dir;
}

bool IsFolder(const char* path) {
  DWORD attributes = GetFileAttributesA(path);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

// Asks before a stored picture is replaced by a new one; true for Yes.
bool AskReplaceStored(HWND owner, const char* path) {
  char format[300] = "";
  char caption[40] = "";
  LoadResourceText(IDS_ASK_REPLACE_RESOURCE, format, sizeof(format));
  LoadResourceText(IDS_CAPTION_RESOURCE_ALBUM, caption, sizeof(caption));
  std::string text;
  for (const char* p = format; *p; ++p) {
    if (p[0] == '%' && p[1] == 's') {
      text += path;
      ++p;
    } else {
      text += *p;
    }
  }
  void* token = LockupForModal();
  int answer = MessageBoxA(owner, text.c_str(), caption, MB_ICONQUESTION | MB_YESNO);
  if (token) UnlockForModal(token);
  return answer == IDYES;
}

// Gives the stored picture the source's brush or stamp tag; the item's
// width and height are the brush tag's two bytes, else the picture's size.
void CarryTag(const char* source, const char* stored, void* prepared, unsigned short* width,
              unsigned short* height) {
  BYTE first = 0, second = 0;
  int w = 0, h = 0;
  GetDibSize(prepared, &w, &h);
  *width = static_cast<unsigned short>(w);
  *height = static_cast<unsigned short>(h);
  if (IsTaggedBrushFile(source, &first, &second)) {
    TagBrushFile(stored, first, second);
    *width = first;
    *height = second;
  } else if (IsTaggedStampFile(source)) {
    TagStampFile(stored);
  }
}

// A registration that failed only because this procedure already holds the
// class counts as done: a host may register twice.
bool RegisterResourceClass(const WNDCLASSEXA& wc) {
  if (RegisterClassExA(&wc)) return true;
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof(existing);
  return GetClassInfoExA(wc.hInstance, wc.lpszClassName, &existing) && existing.lpfnWndProc == wc.lpfnWndProc;
}

bool ViewClassAvailable(HINSTANCE instance, const char* name) {
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  // The views make their windows with the resource module's instance.
  return GetClassInfoExA(GetResourceModule(), name, &wc) || GetClassInfoExA(instance, name, &wc);
}

}  // namespace

// ---------------------------------------------------------------------------
// Registration

int CBrushAlbumCtrlRegister(HINSTANCE instance, int cellWidth, int cellHeight) {
  g_cellWidth = cellWidth;
  g_cellHeight = cellHeight;
  WNDCLASSEXA wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = &CBrushAlbumCtrl::WindowProc;
  wc.cbClsExtra = 0;
  wc.cbWndExtra = sizeof(LONG);
  wc.hInstance = instance;
  wc.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszMenuName = nullptr;
  wc.hIconSm = nullptr;
  for (const char* name : kRegisterOrder) {
    wc.lpszClassName = name;
    if (!RegisterResourceClass(wc)) return 0;
  }
  const bool cells = CThumbviewRegister(instance) || ViewClassAvailable(instance, "ThumbViewClass");
  const bool lists = CThumbListViewRegister(instance) || ViewClassAvailable(instance, "CThumbListView2");
  return cells && lists ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Object and window

CBrushAlbumCtrl::CBrushAlbumCtrl()
    : m_hWnd(nullptr), m_bOwned(1), m_pAlbum(nullptr), m_nKind(RESOURCE_KIND_NONE), m_bUnreadable(0) {
  m_szLastFolder[0] = '\0';
  GetHostFolder(m_szExeFolder, sizeof(m_szExeFolder));
}

CBrushAlbumCtrl::~CBrushAlbumCtrl() {
  if (m_hWnd && IsWindow(m_hWnd) &&
      GetWindowLongPtrA(m_hWnd, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this)) {
    SetWindowLongPtrA(m_hWnd, GWLP_USERDATA, 0);
  }
  if (m_pAlbum) {
    HWND view = m_pAlbum->GetViewWindow();
    delete m_pAlbum;
    m_pAlbum = nullptr;
    // The list view leaves its window to its creator.
    if (view && IsWindow(view)) DestroyWindow(view);
  }
}

LRESULT CALLBACK CBrushAlbumCtrl::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  try {
    auto* ctrl = reinterpret_cast<CBrushAlbumCtrl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_CREATE) {
      ctrl = static_cast<CBrushAlbumCtrl*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
      if (!ctrl) {
        ctrl = new (std::nothrow) CBrushAlbumCtrl;
        if (!ctrl) return -1;
        ctrl->m_bOwned = 1;
      }
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ctrl));
    }
    if (!ctrl) return DefWindowProcA(hwnd, msg, wParam, lParam);
    if (msg == WM_DESTROY && ctrl->m_bOwned) {
      LRESULT result = ctrl->OnMessage(hwnd, msg, wParam, lParam);
      delete ctrl;  // the album view and its window with it
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      return result;
    }
    if (msg == WM_NCDESTROY) {
      // The window went before its host deleted the object.
      SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
      if (ctrl->m_hWnd == hwnd) ctrl->m_hWnd = nullptr;
      return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    return ctrl->OnMessage(hwnd, msg, wParam, lParam);
  } catch (...) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
}

LRESULT CBrushAlbumCtrl::OnMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      Create(hwnd);
      break;
    case WM_SIZE:
      OnSize(LOWORD(lParam), HIWORD(lParam));
      break;
    case WM_PAINT:
      OnPaint();
      break;
    case WM_HSCROLL:
    case WM_VSCROLL:
      if (m_pAlbum) {
        SendMessageA(m_pAlbum->GetViewWindow(), msg == WM_HSCROLL ? AVM_HSCROLL : AVM_VSCROLL, wParam, 100);
      }
      return 0;
    case AVM_ITEMDBLCLK:
      SendMessageA(GetParent(hwnd), AVM_ITEMDBLCLK, wParam, lParam);
      break;
    case AVM_ITEMBUTTONUP: {
      // Only a cell of this control's view is taken at its word.
      auto* cell = reinterpret_cast<CThumbView2*>(lParam);
      bool ours = false;
      if (m_pAlbum && cell) {
        for (int i = 0; i < m_pAlbum->m_nViewCount && !ours; ++i) ours = m_pAlbum->m_ppViews[i] == cell;
      }
      CThumbnail2* item = ours ? cell->GetThumbnail() : nullptr;
      if (item) {
        char full[MAX_PATH] = "";
        m_pAlbum->GetDocument()->GetThumbnailFullPath(item->GetInfo()->aiPath, full);
        SendMessageA(GetParent(hwnd), AVM_ITEMBUTTONUP, wParam, reinterpret_cast<LPARAM>(full));
      }
      break;
    }
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

int CBrushAlbumCtrl::Create(HWND window) {
  if (!window || m_pAlbum) return 0;
  m_hWnd = window;
  RECT client{};
  GetClientRect(window, &client);

  char className[MAX_PATH] = "";
  GetClassNameA(window, className, sizeof(className));
  m_nKind = KindOfClass(className);

  tagAlbumViewCreateInfo aci;
  memset(&aci, 0, sizeof(aci));
  aci.avcRows = g_cellHeight > 0 ? client.bottom / g_cellHeight : 0;
  aci.avcCols = g_cellWidth > 0 ? client.right / g_cellWidth : 0;
  aci.avcHGap = 2;
  aci.avcVGap = 2;
  aci.avcScroll = 2;
  aci.avcSelect = 1;
  aci.avcStyle = 1;
  aci.avcLayout = 1;
  aci.avcCaption = 3;
  aci.avcBkMode = 1;
  aci.avcToolTip = 0;
  aci.avcCellWidth = g_cellWidth;
  aci.avcCellHeight = g_cellHeight - 2;

  RECT place{client.left, client.top, aci.avcCols * g_cellWidth, aci.avcRows * g_cellHeight};
  CAlbum* album = new (std::nothrow) CAlbum(window, place, aci);
  if (!album) return 0;
  if (!album->GetViewWindow()) {
    delete album;
    return 0;
  }
  m_pAlbum = album;
  CAlbumDoc2* document = m_pAlbum->GetDocument();
  // Resources are taken as stored, never re-made from their files.
  document->SetAutoCheck(0);
  document->SetThumbnailSize(static_cast<WORD>(GetThumbWidth()), static_cast<WORD>(GetThumbHeight()));
  CopyText(m_szLastFolder, m_szExeFolder);

  char text[MAX_PATH] = "";
  GetWindowTextA(window, text, sizeof(text));
  if (!text[0]) return 1;
  m_pAlbum->SetDragDrop(0);
  const std::string path = std::string(m_szExeFolder) + text;
  if (path.size() >= MAX_PATH) {
    m_bUnreadable = 1;
    return 1;
  }
  if (Exists(path.c_str())) {
    // A file that is there but cannot be read is kept as it is: nothing may
    // be saved over it.
    if (!m_pAlbum->Load(path.c_str())) m_bUnreadable = 1;
  } else {
    // Not there yet: the first import creates it.
    document->SetPath(path.c_str());
  }
  return 1;
}

void CBrushAlbumCtrl::OnSize(int width, int height) {
  if (!m_pAlbum) return;
  SetWindowPos(m_pAlbum->GetViewWindow(), nullptr, 0, 0, width, height > 0 ? height - 1 : 0,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  m_pAlbum->UpDataThumbListView(-1);
  InvalidateRect(m_hWnd, nullptr, TRUE);
}

void CBrushAlbumCtrl::OnPaint() {
  if (!m_pAlbum) return;
  gdi::ScopedPaint paint(m_hWnd);
  if (!paint) return;
  RECT client{};
  GetClientRect(m_hWnd, &client);
  const int bottom = client.bottom - 1;
  const tagAlbumViewCreateInfo* aci = m_pAlbum->GetACI();
  const int rows = aci->avcRows;
  const int cols = aci->avcCols;
  // Smaller than one cell: no spacing to draw.
  if (rows <= 0 || cols <= 0) return;
  const int columnWidth = client.right / cols;
  const int rowHeight = (client.bottom - 1) / rows;
  gdi::ScopedPen pen(CreatePen(PS_SOLID, 1, RGB(0x80, 0x80, 0x80)));
  gdi::ScopedSelect selected(paint.dc(), pen.get());
  for (int i = 0; i <= rows; ++i) {
    MoveToEx(paint.dc(), 0, i * rowHeight, nullptr);
    LineTo(paint.dc(), cols * columnWidth, i * rowHeight);
  }
  for (int j = 0; j <= cols; ++j) {
    MoveToEx(paint.dc(), j * columnWidth, 0, nullptr);
    LineTo(paint.dc(), j * columnWidth, bottom);
  }
}

int CBrushAlbumCtrl::GetThumbWidth() { return g_cellWidth - 4; }
int CBrushAlbumCtrl::GetThumbHeight() { return g_cellHeight - 4; }

int CBrushAlbumCtrl::GetCurrentFullPath(char* path) {
  if (!m_pAlbum || !path) return 0;
  return m_pAlbum->GetCurrentThumbNailFullPath(path);
}

// ---------------------------------------------------------------------------
// Imports

int CBrushAlbumCtrl::CanImport() {
  if (!m_bUnreadable) return 1;
  ShowResourceMessage(m_hWnd, IDS_RESOURCE_ALBUM_UNREADABLE, IDS_CAPTION_RESOURCE_ALBUM, MB_ICONEXCLAMATION | MB_OK);
  return 0;
}

int CBrushAlbumCtrl::SaveAlbum() {
  const char* path = m_pAlbum->GetDocument()->GetPath();
  // A control without album file keeps its items for the session only.
  if (!path || !path[0]) return 1;
  char target[MAX_PATH] = "";
  CopyText(target, path);
  if (m_pAlbum->Save(target)) return 1;
  ShowResourceMessage(m_hWnd, IDS_CANNOT_SAVE_ALBUM, IDS_CAPTION_RESOURCE_ALBUM, MB_ICONEXCLAMATION | MB_OK);
  return 0;
}

int CBrushAlbumCtrl::AddItems() {
  if (!m_pAlbum) return 0;
  if (!CanImport()) return 0;
  const HostOptions& options = GetHostOptions();
  std::string filter = "*.BMP;*.JPG;*.PSF;*.TIF;*.PNG;*.TGA;*.FPX;*.PCD";
  DWORD mask = 0x0EC7;
  if (!options.noPcx) {
    filter += ";*.PCX";
    mask |= QIL_FMT_PCX;
  }
  if (!options.noPsd) {
    filter += ";*.PSD";
    mask |= QIL_FMT_PSD;
  }
  if (!options.noGif) {
    filter += ";*.GIF";
    mask |= QIL_FMT_GIF;
  }
  char description[MAX_PATH] = "";
  LoadResourceText(IDS_PICTURE_FILTER, description, sizeof(description));
  QilDefineFilter(0, description, filter.c_str());

  ModalMark mark;
  if (!mark) return 0;
  const int kNamesSize = 2048;
  HGLOBAL memory = GlobalAlloc(GPTR, kNamesSize);
  char* names = static_cast<char*>(memory);
  if (!names) return 0;
  QILOPENOPTIONS openOptions = {};
  void* token = LockupForModal();
  int chosen = QilGetFileName(m_hWnd, 1, 0, "bmp", mask, names, kNamesSize, 0x0008026C, &openOptions, m_szLastFolder);
  if (token) UnlockForModal(token);
  mark.Release();
  HWND parent = GetParent(m_hWnd);
  if (parent) {
    InvalidateRect(parent, nullptr, TRUE);
    UpdateWindow(parent);
  }
  if (chosen < 0) {
    GlobalFree(memory);
    return 0;
  }
  // Whatever the dialog wrote, the list ends inside the buffer.
  names[kNamesSize - 2] = '\0';
  names[kNamesSize - 1] = '\0';

  HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
  int imported = 0;
  const char* first = names;
  const char* next = first + strlen(first) + 1;
  if (!next[0]) {
    if (ImportFile(first, &openOptions)) ++imported;
    CopyTextWhole(m_szLastFolder, FolderOf(first).c_str());
  } else {
    CopyTextWhole(m_szLastFolder, first);
    const size_t folderLength = strlen(first);
    const bool slashed = folderLength > 0 && first[folderLength - 1] == '\\';
    for (; next[0]; next += strlen(next) + 1) {
      std::string path = std::string(first) + (slashed ? "" : "\\") + next;
      if (ImportFile(path.c_str(), &openOptions)) ++imported;
    }
  }
  SetCursor(previous ? previous : LoadCursor(nullptr, IDC_ARROW));
  GlobalFree(memory);
  if (imported) SaveAlbum();
  return 1;
}

int CBrushAlbumCtrl::ImportFile(const char* path, QILOPENOPTIONS* options) {
  if (!path || !path[0] || !m_pAlbum || m_bUnreadable) return 0;
  SplitPathParts parts;
  if (!SplitAlbumPathParts(path, &parts)) return 0;
  const char* kindFolder = KindFolder(m_nKind);
  std::string folder;
  std::string target;
  if (kindFolder) {
    folder = std::string(m_szExeFolder) + kindFolder;
    if (!Exists(folder.c_str()) && !CreateDirectoryA(folder.c_str(), nullptr)) return 0;
    if (!IsFolder(folder.c_str())) return 0;
    target = folder + "\\" + parts.fname + ".bmp";
    if (target.size() >= sizeof(tagALBUMINFOHEADER::aiPath)) return 0;
  }

  QILOPENOPTIONS plain = {};
  plain.nMode = 1;
  QilSetLastError(0);
  OwnedMem picture(QilOpenFile(path, 0, options ? options : &plain));
  if (!picture) {
    const UINT text = QilGetLastError() == QIL_ERR_BAD_PICTURE ? IDS_CANNOT_OPEN_PICTURE : IDS_PICTURE_FILE_ERROR;
    ShowResourceMessage(m_hWnd, text, IDS_CAPTION_ADD_RESOURCES, MB_ICONEXCLAMATION | MB_OK);
    return 0;
  }
  if (!kindFolder) return InsertSourcePicture(picture.get(), "", path);

  OwnedMem prepared(m_nKind == RESOURCE_KIND_BRUSH ? PrepareBrushPicture(picture.get())
                                                   : PrepareStampPicture(picture.get()));
  if (!prepared) {
    ShowResourceMessage(m_hWnd, IDS_CANNOT_PREPARE_PICTURE, IDS_CAPTION_RESOURCE_ALBUM, MB_ICONEXCLAMATION | MB_OK);
    return 0;
  }

  // The picture is written beside its place first: a stored picture of the
  // same name, this album's or another's, is replaced only when the user
  // agrees, and is never left half written.
  char temporary[MAX_PATH] = "";
  if (!GetTempFileNameA(folder.c_str(), "res", 0, temporary)) return 0;
  if (QilSaveFile(prepared.get(), temporary, QIL_SAVE_BMP, 0) != 0) {
    DeleteFileA(temporary);
    return 0;
  }
  if (Exists(target.c_str()) && !AskReplaceStored(m_hWnd, target.c_str())) {
    DeleteFileA(temporary);
    return 0;
  }
  if (!MoveFileExA(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    DeleteFileA(temporary);
    return 0;
  }

  CAlbumDoc2* document = m_pAlbum->GetDocument();
  if (CThumbnail2* existing = document->FindFileInDoc(target.c_str())) {
    // The user already agreed to the replacement: the item takes the new
    // picture's thumbnail without a second question.
    unsigned short width = 0, height = 0;
    CarryTag(path, target.c_str(), prepared.get(), &width, &height);
    return ShowNewPicture(existing, prepared.get(), target.c_str(), width, height);
  }
  return InsertPreparedPicture(prepared.get(), "", target.c_str(), path);
}

int CBrushAlbumCtrl::ShowNewPicture(CThumbnail2* item, void* prepared, const char* storedPath,
                                    unsigned short width, unsigned short height) {
  void* thumbnail = MakeThumbnailPicture(prepared, static_cast<WORD>(GetThumbWidth()),
                                         static_cast<WORD>(GetThumbHeight()));
  if (!thumbnail) return 0;
  tagALBUMINFOHEADER* info = item->GetInfo();
  {
    MemLock lock(thumbnail);
    if (!lock || ToviMemSize(thumbnail) < sizeof(BITMAPINFOHEADER)) {
      ToviMemFree(thumbnail);
      return 0;
    }
    const auto* header = lock.as<const BITMAPINFOHEADER>();
    info->aiThumbWidth = static_cast<WORD>(header->biWidth);
    info->aiThumbHeight = static_cast<WORD>(header->biHeight);
    info->aiBitCount = header->biBitCount;
  }
  info->aiThumbSize = ToviMemSize(thumbnail);
  struct _stat64 status;
  if (_stat64(storedPath, &status) == 0) {
    info->aiFileSize = static_cast<DWORD>(status.st_size);
    const DWORD modified = static_cast<DWORD>(status.st_mtime);
    const DWORD created = static_cast<DWORD>(status.st_ctime);
    info->aiFileTime = modified > created ? modified : created;
  }
  info->aiWidth = width;
  info->aiHeight = height;
  void* previous = item->GetDib();
  item->SetDib(thumbnail);
  if (previous) ToviMemFree(previous);
  if (CThumbView2* cell = m_pAlbum->CellOfItem(item)) cell->Attach(item);
  return 1;
}

int CBrushAlbumCtrl::InsertPreparedPicture(void* prepared, const char* description, const char* storedPath,
                                           const char* sourcePath) {
  if (!prepared || !m_pAlbum || !storedPath || !sourcePath) return 0;
  unsigned short width = 0, height = 0;
  CarryTag(sourcePath, storedPath, prepared, &width, &height);
  void* thumbnail = MakeThumbnailPicture(prepared, static_cast<WORD>(GetThumbWidth()),
                                         static_cast<WORD>(GetThumbHeight()));
  if (!thumbnail) return 0;
  int result = m_pAlbum->InsertFromThumbnail(thumbnail, description, storedPath, nullptr, width, height);
  if (!result) ToviMemFree(thumbnail);
  return result;
}

int CBrushAlbumCtrl::InsertSourcePicture(void* picture, const char* description, const char* path) {
  if (!picture || !m_pAlbum || !path) return 0;
  int width = 0, height = 0;
  {
    MemLock lock(picture);
    if (!lock || ToviMemSize(picture) < sizeof(BITMAPINFOHEADER)) return 0;
    const auto* header = lock.as<const BITMAPINFOHEADER>();
    width = header->biWidth;
    height = header->biHeight;
  }
  void* thumbnail = MakeThumbnailPicture(picture, static_cast<WORD>(GetThumbWidth()),
                                         static_cast<WORD>(GetThumbHeight()));
  if (!thumbnail) return 0;
  int result = m_pAlbum->InsertFromThumbnail(thumbnail, description, path, nullptr, static_cast<unsigned short>(width),
                                             static_cast<unsigned short>(height));
  if (!result) ToviMemFree(thumbnail);
  return result;
}

// ---------------------------------------------------------------------------
// Removal

int CBrushAlbumCtrl::DeleteSelected() {
  if (!m_pAlbum || !m_pAlbum->HaveSel()) return 0;
  const bool stored = KindFolder(m_nKind) != nullptr;
  std::vector<std::string> storedFiles;
  if (stored) {
    int count = 0;
    char(*paths)[260] = nullptr;
    if (!m_pAlbum->GetSelectImageList(count, paths)) return 0;
    for (int i = 0; i < count; ++i) storedFiles.emplace_back(paths[i], BoundedLength(paths[i], sizeof(paths[i])));
    if (paths) ToviMemFree(paths);
    // Every item about to go is checked, not only the focused one.
    for (const std::string& file : storedFiles) {
      const bool tagged = m_nKind == RESOURCE_KIND_BRUSH ? IsTaggedBrushFile(file.c_str(), nullptr, nullptr) != 0
                                                         : IsTaggedStampFile(file.c_str()) != 0;
      if (tagged) {
        MessageBeep(0);
        return 0;
      }
    }
  }
  if (ShowResourceMessage(m_hWnd, IDS_ASK_REMOVE_RESOURCES, IDS_CAPTION_RESOURCE_ALBUM, MB_ICONQUESTION | MB_YESNO) != IDYES) {
    return 0;
  }
  if (!m_pAlbum->RemoveSelected(0)) return 0;
  // The stored pictures go only once the album no longer names them: an
  // album that could not be written still lists them, and they stay.
  if (!SaveAlbum()) return 0;
  for (const std::string& file : storedFiles) DeleteFileA(file.c_str());
  return 1;
}

// ---------------------------------------------------------------------------
// Exports

int AddItemToAbmCtrl(HWND window) {
  CBrushAlbumCtrl* ctrl = ControlOf(window);
  if (!ctrl || !IsResourceClass(window)) return 0;
  return ctrl->AddItems();
}

int DeleteItemFromAbmCtrl(HWND window) {
  CBrushAlbumCtrl* ctrl = ControlOf(window);
  if (!ctrl || !IsResourceClass(window)) return 0;
  return ctrl->DeleteSelected();
}

int GetBrushCount(HWND window) {
  CBrushAlbumCtrl* ctrl = ControlOf(window);
  if (!ctrl) return -1;
  return ctrl->GetAlbum() ? ctrl->GetAlbum()->GetThumbNailCount() : 0;
}

int GetCurrentBrushSelection(HWND window) {
  CBrushAlbumCtrl* ctrl = ControlOf(window);
  if (!ctrl) return -1;
  return ctrl->GetAlbum() ? ctrl->GetAlbum()->GetCurrentFocus() : 0;
}

int SetCurrentBrushSelection(HWND window, int number) {
  CBrushAlbumCtrl* ctrl = ControlOf(window);
  if (!ctrl || !ctrl->GetAlbum()) return 0;
  return ctrl->GetAlbum()->SetCurrentFocus(number);
}

int GetCurrentBrushFullPath(HWND window, char* path) {
  CBrushAlbumCtrl* ctrl = ControlOf(window);
  if (!ctrl) return -1;
  return ctrl->GetCurrentFullPath(path);
}
