// A host's view of the library: this program sees album.h and nothing else
// of ours, and links only the import libraries. It drives the exported
// classes the way a host does: a manager opened by its export and reached
// through its dialog, an album control it makes itself, the view and cells
// inside it.
#include <album.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string TempFolder(const char* leaf) {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  std::string folder = std::string(base) + leaf;
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

// A 24-bit bottom-up BMP of one colour.
void WriteBmp(const std::string& path, int width, int height, BYTE red, BYTE green, BYTE blue) {
  int stride = (width * 3 + 3) & ~3;
  std::vector<BYTE> bits(stride * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      BYTE* p = &bits[y * stride + x * 3];
      p[0] = blue, p[1] = green, p[2] = red;
    }
  BITMAPINFOHEADER info = {};
  info.biSize = sizeof(info);
  info.biWidth = width;
  info.biHeight = height;
  info.biPlanes = 1;
  info.biBitCount = 24;
  BITMAPFILEHEADER file = {0x4D42, DWORD(sizeof(file) + sizeof(info) + bits.size()), 0, 0,
                           DWORD(sizeof(file) + sizeof(info))};
  HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(h, &file, sizeof(file), &written, nullptr);
  WriteFile(h, &info, sizeof(info), &written, nullptr);
  WriteFile(h, bits.data(), DWORD(bits.size()), &written, nullptr);
  CloseHandle(h);
}

HWND MakeHostWindow() {
  return CreateWindowExA(0, "STATIC", "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

TEST(PublicHeader, HostFillsAManagerAndShowsTheAlbumInItsOwnControl) {
  std::string folder = TempFolder("albumkit_public_header");
  const char* colours[3][3] = {{"red", "\xff", "\x00"}, {"green", "\x00", "\xff"}, {"blue", "\x00", "\x00"}};
  std::vector<std::string> pictures;
  for (auto& c : colours) {
    pictures.push_back(folder + "\\" + c[0] + ".bmp");
    WriteBmp(pictures.back(), 40, 30, BYTE(c[1][0]), BYTE(c[2][0]), 0x80);
  }
  std::string albumPath = folder + "\\trip.abm";
  DeleteFileA(albumPath.c_str());

  HWND host = MakeHostWindow();
  ASSERT_NE(host, nullptr);
  ASSERT_EQ(CanOpenMoreAlbum(1), 1);
  HWND dialog = OpenAlbumManagerEx(host, folder.c_str(), 64, 64, 0);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(CanOpenMoreAlbum(1), 0);

  // The dialog carries its manager; a host uses its public members.
  auto* manager = reinterpret_cast<CAlbumMan*>(GetWindowLongPtrA(dialog, GWLP_USERDATA));
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(manager->m_hWnd, dialog);
  for (auto& path : pictures) EXPECT_EQ(manager->InsertFromFile(path.c_str(), ""), 1) << path;
  CAlbum* managed = manager->GetAlbum();
  ASSERT_NE(managed, nullptr);
  EXPECT_EQ(managed->GetThumbNailCount(), 3);
  EXPECT_EQ(manager->m_bModified, 1);

  char name[MAX_PATH] = "";
  EXPECT_EQ(GetActiveAlbum(name, ALBUM_NAME_BARE), dialog);
  int count = 0;
  char (*list)[260] = nullptr;
  ASSERT_EQ(GetAcitveAlbumThumbnialList(count, list), 1);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(lstrcmpiA(list[2], pictures[2].c_str()), 0);
  ToviMemFree(list);

  EXPECT_EQ(managed->Save(albumPath.c_str()), 1);
  DestroyWindow(dialog);
  Pump();
  EXPECT_EQ(GetActiveAlbum(nullptr, ALBUM_NAME_BARE), nullptr);

  // The host's own album control over the saved album.
  tagAlbumViewCreateInfo aci;
  ASSERT_GE(GetAlbumCtrlACI(&aci, "ManDlgAlbumCtrl"), 0);
  auto* control = new CAlbumCtrl;
  RECT place = {0, 0, 400, 300};
  HWND window = reinterpret_cast<HWND>(control->CALbumCtrl(host, "ManDlgAlbumCtrl", place));
  ASSERT_NE(window, nullptr);
  CAlbum* album = control->GetAlbum();
  ASSERT_NE(album, nullptr);
  ASSERT_EQ(album->Load(albumPath.c_str()), 1);
  EXPECT_EQ(album->GetThumbNailCount(), 3);
  CThumbListView2* grid = album;
  ASSERT_NE(grid->GetACI(), nullptr);
  EXPECT_EQ(grid->GetACI()->avcStyle, aci.avcStyle);
  EXPECT_EQ(grid->GetACI()->avcScroll, aci.avcScroll);

  EXPECT_EQ(album->SetCurrentFocus(2), 1);
  char path[260] = "";
  ASSERT_EQ(album->GetCurrentThumbNailFullPath(path), 1);
  EXPECT_EQ(lstrcmpiA(path, pictures[1].c_str()), 0);

  // The first cell, found by a point on the screen, shows the first item.
  UpdateWindow(window);
  HWND viewWindow = album->GetViewWindow();
  HWND firstCell = GetWindow(viewWindow, GW_CHILD);
  ASSERT_NE(firstCell, nullptr);
  RECT cellRect;
  GetWindowRect(firstCell, &cellRect);
  CThumbView2* cell = album->GetThumbViewByPos(cellRect.left + 4, cellRect.top + 4);
  ASSERT_NE(cell, nullptr);
  ASSERT_NE(cell->GetThumbnail(), nullptr);
  std::string shown = cell->GetThumbnail()->GetInfo()->aiPath;
  ASSERT_GE(shown.size(), 7u);
  EXPECT_EQ(lstrcmpiA(shown.c_str() + shown.size() - 7, "red.bmp"), 0) << shown;

  DestroyWindow(window);
  delete control;
  DestroyWindow(host);
  for (auto& p : pictures) DeleteFileA(p.c_str());
  DeleteFileA(albumPath.c_str());
  RemoveDirectoryA(folder.c_str());
}

}  // namespace
