// Album path splitting, file checks and folder listings handed to hosts.
#include <gtest/gtest.h>

#include <ctype.h>
#include <stdlib.h>

#include <algorithm>
#include <string>
#include <vector>

#include "../platform/qil.h"
#include "ItemFactory.h"

namespace {

// A temporary folder tree, removed afterwards.
class FolderTree {
public:
  FolderTree() {
    char base[MAX_PATH];
    GetTempPathA(sizeof(base), base);
    root_ = std::string(base) + "albumkit-folders-" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(root_.c_str(), nullptr);
  }
  ~FolderTree() { RemoveTree(root_); }
  FolderTree(const FolderTree&) = delete;
  FolderTree& operator=(const FolderTree&) = delete;

  const std::string& root() const { return root_; }
  std::string Folder(const std::string& relative) {
    std::string path = root_ + "\\" + relative;
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
  }
  std::string File(const std::string& relative) {
    std::string path = root_ + "\\" + relative;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
    return path;
  }

private:
  static void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
      do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        std::string path = folder + "\\" + name;
        // Links are removed by whoever made them, and never entered.
        if (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
          RemoveTree(path);
        } else {
          DeleteFileA(path.c_str());
        }
      } while (FindNextFileA(find, &data));
      FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
  }
  std::string root_;
};

std::vector<std::string> Entries(const char* list, int count) {
  std::vector<std::string> entries;
  for (int i = 0; i < count; ++i) entries.push_back(list + static_cast<size_t>(i) * ALBUM_PATH_ENTRY);
  return entries;
}

}  // namespace

TEST(SplitAlbumPath, NeedsADriveAndTheAlbumExtension) {
  char folder[MAX_PATH] = "unchanged";
  char name[MAX_PATH] = "unchanged";
  EXPECT_EQ(SplitAlbumPath("C:\\Albums\\Holiday.abm", folder, name), 1);
  EXPECT_STREQ(folder, "C:\\Albums");
  EXPECT_STREQ(name, "Holiday");
  EXPECT_EQ(SplitAlbumPath("D:\\x\\y\\Trip 2020.ABM", folder, name), 1);
  EXPECT_STREQ(folder, "D:\\x\\y");
  EXPECT_STREQ(name, "Trip 2020");
  EXPECT_EQ(SplitAlbumPath("\\\\server\\share\\a.abm", folder, name), 1) << "a network path has a drive";
  EXPECT_STREQ(name, "a");

  Put(folder, "unchanged");
  EXPECT_EQ(SplitAlbumPath("Albums\\Holiday.abm", folder, name), 0) << "no drive";
  EXPECT_EQ(SplitAlbumPath("C:\\Albums\\Holiday.jpg", folder, name), 0) << "not an album";
  EXPECT_EQ(SplitAlbumPath(nullptr, folder, name), 0);
  EXPECT_EQ(SplitAlbumPath("C:\\a.abm", nullptr, name), 0);
  EXPECT_STREQ(folder, "unchanged") << "nothing is written on failure";
}

TEST(FileExists, AnswersForFilesAndFolders) {
  FolderTree tree;
  EXPECT_EQ(FileExists(tree.File("a.jpg").c_str()), 1);
  EXPECT_EQ(FileExists(tree.root().c_str()), 1);
  EXPECT_EQ(FileExists((tree.root() + "\\missing.jpg").c_str()), 0);
  EXPECT_EQ(FileExists(nullptr), 0);
}

TEST(EnumSubfolders, ListsDepthFirstWithoutDotEntries) {
  FolderTree tree;
  std::string a = tree.Folder("a");
  std::string aa = tree.Folder("a\\inner");
  std::string b = tree.Folder("b");
  std::string dotted = tree.Folder("2020.06");
  tree.File("a\\photo.jpg");
  char* list = nullptr;
  int count = 0;
  EXPECT_EQ(EnumSubfolders(tree.root().c_str(), &list, &count), 0);
  std::vector<std::string> found = Entries(list, count);
  free(list);
  ASSERT_EQ(count, 4) << "a, a\\inner, b and a folder with a dot in its name";
  auto at = [&](const std::string& path) { return std::find(found.begin(), found.end(), path) - found.begin(); };
  EXPECT_LT(at(a), 4);
  EXPECT_EQ(at(aa), at(a) + 1) << "a folder is followed by its own subfolders";
  EXPECT_LT(at(b), 4);
  EXPECT_LT(at(dotted), 4);
  for (const std::string& path : found) {
    EXPECT_NE(path.substr(path.size() - 2), "\\.") << path;
  }
}

namespace {

bool PathExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Waits until path exists (or, with present false, is gone), woken by
// changes in its folder.
bool WaitForPath(const std::string& folder, const std::string& path, bool present, DWORD timeoutMs) {
  HANDLE change = FindFirstChangeNotificationA(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_FILE_NAME);
  const DWORD start = GetTickCount();
  bool done = PathExists(path) == present;
  while (!done && GetTickCount() - start < timeoutMs) {
    // Short slices, in case a change goes unreported.
    WaitForSingleObject(change != INVALID_HANDLE_VALUE ? change : GetCurrentProcess(), 100);
    if (change != INVALID_HANDLE_VALUE) FindNextChangeNotification(change);
    done = PathExists(path) == present;
  }
  if (change != INVALID_HANDLE_VALUE) FindCloseChangeNotification(change);
  return done;
}

// Symbolic links to folders, removed again at the end of the scope (before
// the tree that holds them). Wine neither makes links (CreateSymbolicLink
// makes nothing) nor deletes them (its deletes follow the link), but it
// starts the host's own programs: ln and rm do the work, each finishing on
// its own time.
class FolderLinks {
public:
  FolderLinks() = default;
  ~FolderLinks() {
    for (const auto& link : links_) {
      if (Run("Z:\\bin\\rm", "rm -f " + link.second, link.first)) {
        WaitForPath(link.first, link.first + "\\" + link.second, false, 30000);
      }
    }
  }
  FolderLinks(const FolderLinks&) = delete;
  FolderLinks& operator=(const FolderLinks&) = delete;

  // folder\name leading to target, a path relative to folder with "/".
  bool Make(const std::string& folder, const std::string& name, const std::string& target) {
    if (!Run("Z:\\bin\\ln", "ln -s " + target + " " + name, folder)) return false;
    links_.emplace_back(folder, name);
    return WaitForPath(folder, folder + "\\" + name, true, 30000);
  }

private:
  static bool Run(const char* program, std::string commandLine, const std::string& folder) {
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(program, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                        &process)) {
      return false;
    }
    // Wine hands out no handles to wait on for a host program.
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    return true;
  }

  std::vector<std::pair<std::string, std::string>> links_;  // folder, name
};

}  // namespace

TEST(EnumSubfolders, LinksAreNeitherListedNorEntered) {
  FolderTree tree;
  std::string a = tree.Folder("a");
  std::string inner = tree.Folder("a\\inner");
  std::string b = tree.Folder("b");
  FolderLinks links;
  ASSERT_TRUE(links.Make(a, "up", "..")) << "a link to the folder above";
  ASSERT_TRUE(links.Make(b, "self", ".")) << "a link to its own folder";
  ASSERT_TRUE(links.Make(tree.root(), "beside", "a")) << "a link to a sibling";
  ASSERT_TRUE(PathExists(a + "\\up\\b\\self\\self")) << "the links lead where they should";

  char* list = nullptr;
  int count = 0;
  EXPECT_EQ(EnumSubfolders(tree.root().c_str(), &list, &count), 0);
  std::vector<std::string> found = Entries(list, count);
  free(list);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{a, inner, b}));
}

TEST(EnumSubfolders, ChecksItsArguments) {
  FolderTree tree;
  char* list = nullptr;
  int count = 3;
  EXPECT_EQ(EnumSubfolders(tree.root().c_str(), &list, &count), -1) << "null list with a count";
  list = static_cast<char*>(malloc(ALBUM_PATH_ENTRY));
  count = 0;
  EXPECT_EQ(EnumSubfolders(tree.root().c_str(), &list, &count), -1) << "a list with count 0";
  free(list);
  list = nullptr;
  EXPECT_EQ(EnumSubfolders((tree.root() + "\\missing").c_str(), &list, &count), -2);
  EXPECT_EQ(list, nullptr);
}

namespace {
int StopAtOnce() { return 1; }
}  // namespace

TEST(EnumSubfolders, StopsWhenTheUserAsks) {
  FolderTree tree;
  tree.Folder("a");
  char* list = nullptr;
  int count = 0;
  QILABORTFUNC previous = SetAbortFunc(StopAtOnce);
  int result = EnumSubfolders(tree.root().c_str(), &list, &count);
  SetAbortFunc(previous);
  EXPECT_EQ(result, -3);
  free(list);
}

TEST(EnumPictureFiles, KeepsOnlyPictureTypes) {
  FolderTree tree;
  std::string jpg = tree.File("a.jpg");
  tree.File("b.TXT");
  std::string png = tree.File("c.Png");
  std::string tif = tree.File("d.TIF");
  char* list = nullptr;
  int count = 0;
  EXPECT_EQ(EnumPictureFiles(tree.root().c_str(), &list, &count, "*.*"), 3);
  std::vector<std::string> found = Entries(list, count);
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{jpg, png, tif}));

  // An empty pattern lists by type, in the order of the type table, and
  // appends to what the list already holds.
  EXPECT_EQ(EnumPictureFiles(tree.root().c_str(), &list, &count, ""), 6);
  found = Entries(list, count);
  EXPECT_EQ(found[3], jpg);
  EXPECT_EQ(found[4], tif);
  EXPECT_EQ(found[5], png);
  free(list);

  list = nullptr;
  count = 2;
  EXPECT_EQ(EnumPictureFiles(tree.root().c_str(), &list, &count, "*.*"), -1);
}

TEST(EnumPictureFiles, EmptyPatternGroupsEveryPictureByTypeInTableOrder) {
  FolderTree tree;
  // Made in an order unlike the type table's, with names that only look
  // like pictures.
  std::vector<std::string> pictures = {tree.File("z.gif"),    tree.File("B.JPG"),       tree.File("layers.psd"),
                                       tree.File("a.jpg"),    tree.File("scan.Tif"),    tree.File("two.dots.PSF"),
                                       tree.File("m.gif"),    tree.File("photo.pcd")};
  tree.File("x.jpeg");
  tree.File("jpg");
  // A pattern search for one extension also finds a longer extension
  // through the short name, where the file system makes one.
  std::string tiff = tree.File("scan.tiff");
  WIN32_FIND_DATAA data;
  HANDLE find = FindFirstFileA(tiff.c_str(), &data);
  ASSERT_NE(find, INVALID_HANDLE_VALUE);
  FindClose(find);
  std::string shortName = data.cAlternateFileName;
  if (shortName.size() > 4 && _stricmp(shortName.c_str() + shortName.size() - 4, ".TIF") == 0) {
    pictures.push_back(tiff);
  }
  tree.File("notes.txt");
  tree.Folder("folder.jpg");
  char* list = nullptr;
  int count = 0;
  ASSERT_EQ(EnumPictureFiles(tree.root().c_str(), &list, &count, ""), static_cast<int>(pictures.size()));
  std::vector<std::string> found = Entries(list, count);
  free(list);

  const std::vector<std::string> table = {".PSF", ".JPG", ".BMP", ".TIF", ".GIF", ".PNG",
                                          ".PCX", ".TGA", ".FPX", ".PSD", ".PCD"};
  auto typeOf = [&](const std::string& path) {
    std::string extension = path == tiff ? ".TIF" : path.substr(path.rfind('.'));
    for (char& c : extension) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return std::find(table.begin(), table.end(), extension) - table.begin();
  };
  for (size_t i = 1; i < found.size(); ++i) {
    EXPECT_LE(typeOf(found[i - 1]), typeOf(found[i])) << "expected " << found[i - 1] << " after " << found[i];
  }
  std::sort(found.begin(), found.end());
  std::sort(pictures.begin(), pictures.end());
  EXPECT_EQ(found, pictures) << "every picture once, nothing else";
}
