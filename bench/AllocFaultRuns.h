// Running album operations with one allocation made to fail, at every
// allocation in turn: the k-th allocation of the run fails, for k = 1, 2, ...
// until a run completes without reaching its k-th allocation. Every run must
// either succeed or fail cleanly: no leak (picture handles, the album
// component's blocks and, over the whole loop, GDI and USER objects), the
// documented failure result, the inputs intact, and the album file and its
// backup byte-for-byte as they were whenever the operation failed.
//
// Shared by the alloc_faults figure program and its test, which runs the
// same loop over a smaller album.
#pragma once

#include <windows.h>

#include <album.h>
#include <stdio.h>
#include <string.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "BenchAlbums.h"
#include "platform/AllocFaults.h"
#include "platform/qil.h"

namespace allocfaults {

struct Tally {
  long runs = 0;
  long successes = 0;
  long cleanFailures = 0;
  long leaks = 0;
  long changed = 0;
  long wrong = 0;  // a wrong result, success or failure
  int operations = 0;
  std::vector<std::string> faults;  // what went wrong, operation and k, for the report
  std::vector<std::string> perOperation;  // one line of counts per operation

  bool Clean() const { return leaks == 0 && changed == 0 && wrong == 0; }
};

// One operation: Prepare and Cleanup run unarmed; Run runs with the fault
// armed and answers whether the operation reported success. Check looks at
// the outcome: an empty string when it is right for a run that succeeded
// (or failed, as `succeeded` says), else what is wrong.
struct Operation {
  const char* name;
  std::function<bool()> prepare;
  std::function<bool()> run;
  std::function<std::string(bool succeeded)> check;
  std::function<void()> cleanup;
};

// A file as it stands (or its absence), to put back or compare against.
struct FileSnapshot {
  std::string path;
  bool exists = false;
  std::vector<BYTE> bytes;

  bool Take(const std::string& at) {
    path = at;
    exists = ReadFileBytes(path, &bytes);
    return exists || GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  bool Restore() const {
    if (exists) return WriteFileBytes(path, bytes);
    return DeleteFileA(path.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
  }
  bool Unchanged() const {
    FileSnapshot now;
    return now.Take(path) && now.exists == exists && now.bytes == bytes;
  }
};

// The album file and the backup the store keeps beside it.
struct AlbumFiles {
  FileSnapshot album, backup;
  bool Take(const std::string& path) { return album.Take(path) && backup.Take(path + ".bak"); }
  bool Restore() const { return album.Restore() && backup.Restore(); }
  bool Unchanged() const { return album.Unchanged() && backup.Unchanged(); }
};

struct LiveCounts {
  LONG pictures = 0;
  LONG blocks = 0;
  static LiveCounts Now() { return {ToviMemLiveCount(), AlbumLiveAllocationCount()}; }
  bool operator==(const LiveCounts& other) const { return pictures == other.pictures && blocks == other.blocks; }
};

// GDI objects of the process: Wine answers 0 to GetGuiResources but takes a
// handle given by its table index alone, so every index is asked its type.
inline int CountGdiObjects() {
  DWORD counted = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (counted) return static_cast<int>(counted);
  int count = 0;
  for (ULONG_PTR index = 1; index < 0x10000; ++index) {
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(index))) ++count;
  }
  return count;
}

inline BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
  ++*reinterpret_cast<int*>(count);
  EnumChildWindows(window, CountWindow, count);
  return TRUE;
}

inline int CountThreadWindows() {
  int count = 0;
  EnumThreadWindows(GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&count));
  return count;
}

inline void Note(Tally* tally, const Operation& op, LONG k, const std::string& what) {
  char line[400];
  snprintf(line, sizeof(line), "%s, allocation %ld failing: %s", op.name, k, what.c_str());
  tally->faults.push_back(line);
}

// Runs one operation at k = 1, 2, ... against the album files at albumPath.
// Gives up after maxRuns runs (a loop that never completes is a fault too).
inline void RunOperation(const Operation& op, const std::string& albumPath, Tally* tally, long maxRuns = 100000) {
  ++tally->operations;
  AlbumFiles original;
  if (!original.Take(albumPath)) {
    Note(tally, op, 0, "the album files cannot be read");
    ++tally->wrong;
    return;
  }
  const Tally start = *tally;
  const int gdiBefore = CountGdiObjects();
  const int windowsBefore = CountThreadWindows();
  for (LONG k = 1;; ++k) {
    if (k > maxRuns) {
      Note(tally, op, k, "still failing after the largest number of runs");
      ++tally->wrong;
      break;
    }
    LiveCounts before = LiveCounts::Now();
    AlbumFiles prepared;
    if (!original.Restore() || !op.prepare() || !prepared.Take(albumPath)) {
      Note(tally, op, k, "cannot prepare the run");
      ++tally->wrong;
      break;
    }
    QilArmAllocFault(k);
    bool succeeded = op.run();
    bool fired = QilAllocFaultFired() != 0;
    QilDisarmAllocFault();
    ++tally->runs;

    std::string wrong = op.check(succeeded);
    if (!wrong.empty()) {
      Note(tally, op, k, wrong);
      ++tally->wrong;
    }
    if (succeeded) {
      ++tally->successes;
    } else if (wrong.empty()) {
      ++tally->cleanFailures;
    }
    if (!succeeded && !prepared.Unchanged()) {
      Note(tally, op, k, "the album file changed although the operation failed");
      ++tally->changed;
    }
    op.cleanup();
    if (!(LiveCounts::Now() == before)) {
      LiveCounts after = LiveCounts::Now();
      char what[160];
      snprintf(what, sizeof(what), "leak: picture handles %ld -> %ld, album blocks %ld -> %ld", before.pictures,
               after.pictures, before.blocks, after.blocks);
      Note(tally, op, k, what);
      ++tally->leaks;
    }
    if (!fired) break;  // the run never reached its k-th allocation: done
  }
  original.Restore();
  const int gdiAfter = CountGdiObjects();
  const int windowsAfter = CountThreadWindows();
  if (gdiAfter != gdiBefore || windowsAfter != windowsBefore) {
    char what[160];
    snprintf(what, sizeof(what), "leak over the loop: GDI objects %d -> %d, windows %d -> %d", gdiBefore, gdiAfter,
             windowsBefore, windowsAfter);
    Note(tally, op, 0, what);
    ++tally->leaks;
  }
  char line[200];
  snprintf(line, sizeof(line), "%s: %ld runs, %ld clean failures, %ld successes", op.name, tally->runs - start.runs,
           tally->cleanFailures - start.cleanFailures, tally->successes - start.successes);
  tally->perOperation.push_back(line);
}

// ---------------------------------------------------------------------------
// The albums and the six operations

// What the operations work on: an album of `items` items with small
// thumbnails whose sources do not exist (they load as missing), plus
// `refreshed` items whose source pictures exist and are newer than the
// album says, so that every load makes their thumbnails anew from the files
// and writes the album back; and an album of pictures to insert, half of
// them new, half already in the first album.
struct Fixture {
  std::string folder;       // with trailing backslash
  std::string albumPath;
  std::string incomingPath;
  std::string xmlPath;
  int albumItems = 0;        // items in the album
  int incomingItems = 0;     // items in the incoming album
  int incomingNew = 0;       // of those, not in the album yet
  HWND parent = nullptr;
  std::unique_ptr<BenchAlbum> view;

  ~Fixture() {
    if (view) {
      HWND window = view->GetViewWindow();
      view.reset();
      DestroyWindow(window);
    }
    if (parent) DestroyWindow(parent);
    const char* names[] = {"album.abm", "album.abm.bak", "incoming.abm", "incoming.abm.bak", "album.xml"};
    for (const char* name : names) DeleteFileA((folder + name).c_str());
    for (int i = 0; i < 8; ++i) DeleteFileA((folder + "source" + std::to_string(i) + ".bmp").c_str());
    RemoveDirectoryA(folder.c_str());
  }
};

// A picture file of its own for a refreshed item: a 64 x 48 picture.
inline bool WriteSourcePicture(const std::string& path, int seed) {
  const int width = 64, height = 48;
  DWORD stride = (width * 3 + 3) & ~3u;
  HTOVIMEM dib = ToviMemAlloc(TOVI_FIXED_ZERO, sizeof(BITMAPINFOHEADER) + stride * height);
  if (!dib) return false;
  auto* header = static_cast<BITMAPINFOHEADER*>(ToviMemLock(dib));
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = height;
  header->biPlanes = 1;
  header->biBitCount = 24;
  header->biSizeImage = stride * height;
  BYTE* pixels = reinterpret_cast<BYTE*>(header + 1);
  for (DWORD i = 0; i < header->biSizeImage; ++i) pixels[i] = static_cast<BYTE>(i * 17 + seed * 5);
  ToviMemUnlock(dib);
  bool saved = QilSaveFile(dib, path.c_str(), QIL_SAVE_BMP, 0) == QIL_OK;
  ToviMemFree(dib);
  return saved;
}

inline bool BuildFixture(Fixture* fixture, int items, int refreshed, int incoming) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof(temp), temp);
  fixture->folder = std::string(temp) + "albumkit-alloc-faults-" + std::to_string(GetCurrentProcessId()) + "\\";
  if (!CreateDirectoryA(fixture->folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  fixture->albumPath = fixture->folder + "album.abm";
  fixture->incomingPath = fixture->folder + "incoming.abm";
  fixture->xmlPath = fixture->folder + "album.xml";
  const char* photos = "C:\\albumkit-alloc-faults-absent";

  CAlbumDoc2 album;
  album.SetDescription("Allocation faults");
  for (int i = 0; i < items; ++i) album.Insert(MakeBenchItem(photos, i, i % 2 == 0), nullptr);
  for (int i = 0; i < refreshed && i < 8; ++i) {
    std::string source = fixture->folder + "source" + std::to_string(i) + ".bmp";
    if (!WriteSourcePicture(source, i)) return false;
    CThumbnail2* item = MakeBenchItem(photos, items + i, true);
    // Stored as older than the file: every load makes its thumbnail anew.
    snprintf(item->GetInfo()->aiPath, sizeof(item->GetInfo()->aiPath), "%s", source.c_str());
    item->GetInfo()->aiFileTime = 1;
    album.Insert(item, nullptr);
  }
  fixture->albumItems = album.GetCount();
  if (!album.Save(fixture->albumPath.c_str())) return false;

  CAlbumDoc2 arriving;
  for (int i = 0; i < incoming; ++i) {
    bool isNew = i % 2 == 0;
    arriving.Insert(MakeBenchItem(photos, isNew ? 100000 + i : i % (items > 0 ? items : 1), false), nullptr);
    if (isNew || items == 0) ++fixture->incomingNew;
  }
  fixture->incomingItems = arriving.GetCount();
  if (!arriving.Save(fixture->incomingPath.c_str())) return false;

  HMODULE self = GetModuleHandleA(nullptr);
  WNDCLASSA wc{};
  wc.lpfnWndProc = DefWindowProcA;
  wc.hInstance = self;
  wc.lpszClassName = "AlbumKitAllocFaults";
  RegisterClassA(&wc);
  fixture->parent = CreateWindowExA(0, wc.lpszClassName, "allocation faults", WS_POPUP, 0, 0, 420, 300, nullptr,
                                    nullptr, self, nullptr);
  if (!fixture->parent) return false;
  tagAlbumViewCreateInfo aci = BenchViewConfiguration(3, 4);
  RECT place{0, 0, 400, 280};
  fixture->view.reset(new BenchAlbum(fixture->parent, place, aci));
  return true;
}

// Blocks and pictures LoadAlbum handed over, released as a host does.
struct LoadAlbumOutputs {
  int count = -7;
  void** pictures = nullptr;
  tagALBUMINFOHEADER** infos = nullptr;
  void Free() {
    for (int i = 0; pictures && infos && i < count; ++i) {
      ToviMemFree(pictures[i]);
      ToviMemFree(infos[i]);
    }
    if (pictures) ToviMemFree(pictures);
    if (infos) ToviMemFree(infos);
    count = -7;
    pictures = nullptr;
    infos = nullptr;
  }
};

inline std::string Expect(bool condition, const char* what) { return condition ? std::string() : std::string(what); }

// Runs the six operations over the fixture's albums.
inline void RunAllOperations(Fixture* fixture, Tally* tally) {
  const std::string& path = fixture->albumPath;
  const int items = fixture->albumItems;

  {
    std::unique_ptr<CAlbumDoc2> doc;
    Operation op{"CAlbumDoc2::Load",
                 [&] {
                   doc.reset(new CAlbumDoc2);
                   return true;
                 },
                 [&] { return doc->Load(path.c_str(), 1) != 0; },
                 [&](bool ok) {
                   return ok ? Expect(doc->GetCount() == items, "loaded without all its items")
                             : Expect(doc->GetCount() == 0, "a failed load left items behind");
                 },
                 [&] { doc.reset(); }};
    RunOperation(op, path, tally);
  }
  {
    std::unique_ptr<CAlbumDoc2> doc;
    Operation op{"CAlbumDoc2::Save",
                 [&] {
                   doc.reset(new CAlbumDoc2);
                   doc->SetAutoCheck(0);
                   return doc->Load(path.c_str(), 1) && doc->GetCount() == items;
                 },
                 [&] { return doc->Save(path.c_str()) != 0; },
                 [&](bool ok) {
                   if (!ok) return Expect(doc->GetCount() == items, "a failed save changed the document");
                   CAlbumDoc2 check;
                   check.SetAutoCheck(0);
                   return Expect(check.Load(path.c_str(), 1) && check.GetCount() == items,
                                 "the saved album does not load whole");
                 },
                 [&] { doc.reset(); }};
    RunOperation(op, path, tally);
  }
  {
    LoadAlbumOutputs out;
    int result = 0;
    Operation op{"LoadAlbum",
                 [&] {
                   out = LoadAlbumOutputs();
                   return true;
                 },
                 [&] {
                   result = LoadAlbum(path.c_str(), &out.count, &out.pictures, &out.infos);
                   return result == 0;
                 },
                 [&](bool ok) {
                   if (!ok) {
                     return Expect((result == -1 || result == -2) && out.count == -7 && !out.pictures && !out.infos,
                                   "a failed LoadAlbum wrote its outputs or gave another code");
                   }
                   bool whole = out.count == items && out.pictures && out.infos;
                   for (int i = 0; whole && i < items; ++i) whole = out.pictures[i] && out.infos[i];
                   return Expect(whole, "LoadAlbum handed over an incomplete album");
                 },
                 [&] { out.Free(); }};
    RunOperation(op, path, tally);
  }
  {
    BenchAlbum* view = fixture->view.get();
    Operation op{"CAlbum::Load",
                 [&] {
                   view->FreeAlbumData();
                   return true;
                 },
                 [&] { return view->Load(path.c_str()) != 0; },
                 [&](bool ok) {
                   return ok ? Expect(view->GetThumbNailCount() == items, "shown without all its items")
                             : Expect(view->GetThumbNailCount() == 0, "a failed load left items in the view");
                 },
                 [&] { view->FreeAlbumData(); }};
    RunOperation(op, path, tally);
  }
  {
    BenchAlbum* view = fixture->view.get();
    std::unique_ptr<CAlbumDoc2> source;
    int result = 0;
    Operation op{"CAlbum::InsertFromTable",
                 [&] {
                   source.reset(new CAlbumDoc2);
                   source->SetAutoCheck(0);
                   view->GetDocument()->SetAutoCheck(0);
                   return view->Load(path.c_str()) && view->GetThumbNailCount() == items &&
                          source->Load(fixture->incomingPath.c_str(), 1) &&
                          source->GetCount() == fixture->incomingItems;
                 },
                 [&] {
                   result = view->InsertFromTable(source.get(), nullptr);
                   return result > 0;
                 },
                 [&](bool ok) {
                   if (ok) {
                     return Expect(result == fixture->incomingNew &&
                                       view->GetThumbNailCount() == items + fixture->incomingNew &&
                                       source->GetCount() == 0,
                                   "an insert that succeeded did not take every item");
                   }
                   return Expect(result == 0 && view->GetThumbNailCount() == items &&
                                     source->GetCount() == fixture->incomingItems,
                                 "a failed insert changed the album or lost items of the source");
                 },
                 [&] {
                   view->FreeAlbumData();
                   view->GetDocument()->SetAutoCheck(1);
                   source.reset();
                 }};
    RunOperation(op, path, tally);
  }
  {
    int result = 0;
    Operation op{"CreateXabm",
                 [&] {
                   DeleteFileA(fixture->xmlPath.c_str());
                   return true;
                 },
                 [&] {
                   result = CreateXabm(path.c_str(), fixture->xmlPath.c_str());
                   return result == 0;
                 },
                 [&](bool ok) {
                   bool written = GetFileAttributesA(fixture->xmlPath.c_str()) != INVALID_FILE_ATTRIBUTES;
                   if (ok) return Expect(written, "CreateXabm reported success without a file");
                   return Expect(result == -1 || result == -2, "CreateXabm failed with another code");
                 },
                 [&] { DeleteFileA(fixture->xmlPath.c_str()); }};
    RunOperation(op, path, tally);
  }
}

}  // namespace allocfaults
