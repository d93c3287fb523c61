// AlbumKit demo host: makes sample pictures, turns them into album items,
// sorts and searches them, prints what it did, shows the items in a window
// of thumbnail views, then opens its main window: two album controls side
// by side, between which two pictures are dragged. Both windows are saved
// as screenshots.
//   albumhost.exe OUTPUT_FOLDER [--interactive]
// With --interactive the main window stays open until it is closed.
#include <album.h>
#include <stdio.h>
#include <string.h>

#include <stdint.h>

#include <string>
#include <vector>

#include "AlbumDemo.h"
#include "DemoWindow.h"
#include "ManagerHost.h"
#include "PaintingHost.h"
#include "SamplePictures.h"
#include "manager/Module.h"
#include "platform/qil.h"
// The demo writes its camera-data sample with the builder the tests use.
#include "tests/ExifBuilder.h"

namespace {

// The table's sorting belongs to the album views; the demo borrows it.
class DemoTable : public CThumbTable2 {
public:
  using CThumbTable2::SortBy;
};

struct Sample {
  const char* name;
  SampleFormat format;
  int width, height;
  bool grey;
  const char* description;
};

const Sample kSamples[] = {
    {"harbour.jpg", SampleFormat::Jpeg, 1600, 1200, false, "Harbour at dusk"},
    {"meadow.png", SampleFormat::Png, 800, 600, false, "Meadow in June"},
    {"portrait.jpg", SampleFormat::Jpeg, 900, 1350, false, "Portrait, upright"},
    {"archive.tif", SampleFormat::Tiff, 640, 480, true, "Scanned archive page"},
    {"banner.bmp", SampleFormat::Bmp, 1200, 300, false, "Wide banner"},
    {"icon.gif", SampleFormat::Gif, 64, 48, false, "Small grey icon"},
    {"sunset.jpg", SampleFormat::Jpeg, 4000, 3000, false, "Sunset over the hills"},
    {"night.png", SampleFormat::Png, 1024, 768, true, "Night sky, grey"},
};

const char* NameOf(const char* path) {
  const char* slash = strrchr(path, '\\');
  return slash ? slash + 1 : path;
}

void PrintTable(const char* title, CThumbTable2* table) {
  printf("%s\n", title);
  for (int i = 1; i <= table->GetCount(); ++i) {
    tagALBUMINFOHEADER* info = table->GetThumbnail(i)->GetInfo();
    printf("  %2d  %-14s %5ux%-5u %2u-bit  thumb %3ux%-3u %8lu bytes  \"%s\"\n", i, NameOf(info->aiPath),
           info->aiWidth, info->aiHeight, info->aiBitCount, info->aiThumbWidth, info->aiThumbHeight,
           static_cast<unsigned long>(info->aiFileSize), info->aiDescription);
  }
}

void PrintSearch(CThumbTable2* table, const char* what, tagAlbumSearchCreteria criteria) {
  int position = 1;
  CThumbTable2* found = table->Search(criteria, position);
  if (!found) {
    printf("search %s: stopped\n", what);
    return;
  }
  printf("search %s: %d of %d items:", what, found->GetCount(), table->GetCount());
  for (int i = 1; i <= found->GetCount(); ++i) printf(" %s", NameOf(found->GetThumbnail(i)->GetInfo()->aiPath));
  printf("\n");
  delete found;
}

template <size_t N>
void Put(char (&field)[N], const char* text) {
  snprintf(field, N, "%s", text);
}

// Writes the items as an album file, reads it back the way a host without
// album windows does, and exports it as XML.
bool SaveAndReadAlbum(const std::string& folder, CThumbTable2* items) {
  std::string albumPath = folder + "\\Demo album.abm";
  CAlbumDoc2 album;
  album.SetThumbnailSize(100, 80);
  album.Insert(items, nullptr);
  album.SetDescription("Sample pictures of the AlbumKit demo");
  if (!album.Save(albumPath.c_str())) {
    printf("\ncould not save %s\n", albumPath.c_str());
    return false;
  }
  printf("\nSaved %d items as %s\n", album.GetCount(), albumPath.c_str());

  int count = 0;
  void** pictures = nullptr;
  tagALBUMINFOHEADER** infos = nullptr;
  int result = LoadAlbum(albumPath.c_str(), &count, &pictures, &infos);
  if (result != 0) {
    printf("LoadAlbum failed with %d\n", result);
    return false;
  }
  printf("LoadAlbum read %d items back:\n", count);
  for (int i = 0; i < count; ++i) {
    printf("  %2d  %-14s thumb %3ux%-3u picture of %lu bytes\n", i + 1, NameOf(infos[i]->aiPath),
           infos[i]->aiThumbWidth, infos[i]->aiThumbHeight, static_cast<unsigned long>(ToviMemSize(pictures[i])));
    ToviMemFree(pictures[i]);
    ToviMemFree(infos[i]);
  }
  ToviMemFree(pictures);
  ToviMemFree(infos);

  std::string xmlPath = folder + "\\Demo album.xml";
  result = CreateXabm(albumPath.c_str(), xmlPath.c_str());
  printf("\nCreateXabm wrote %s (result %d):\n", xmlPath.c_str(), result);
  FILE* xml = fopen(xmlPath.c_str(), "rb");
  if (xml) {
    char line[512];
    while (fgets(line, sizeof(line), xml)) fputs(line, stdout);
    fclose(xml);
    printf("\n");
  }
  return result == 0 && count == album.GetCount();
}

// Writes a copy of a sample JPEG carrying camera data (an Exif block, as a
// camera writes it) and prints the rows of its picture information.
bool ShowCameraData(const std::string& folder, const std::string& jpegPath) {
  FILE* in = fopen(jpegPath.c_str(), "rb");
  if (!in) return false;
  std::vector<uint8_t> jpeg;
  char buffer[65536];
  size_t got;
  while ((got = fread(buffer, 1, sizeof(buffer), in)) > 0) jpeg.insert(jpeg.end(), buffer, buffer + got);
  fclose(in);
  if (jpeg.size() < 4) return false;
  // Everything between SOI and EOI follows the new Exif segment.
  std::vector<uint8_t> body(jpeg.begin() + 2, jpeg.end() - 2);

  using exiftest::kExifIfd;
  using exiftest::kIfd0;
  exiftest::ExifBuilder exif(false);
  exif.Ascii(kIfd0, 0x010F, "AlbumKit")
      .Ascii(kIfd0, 0x0110, "Demo Camera 7")
      .Bytes(kExifIfd, 0x9000, 7, {'0', '2', '2', '0'})
      .Ascii(kExifIfd, 0x9003, "2026:06:21 19:42:05")
      .Ascii(kExifIfd, 0x9004, "2026:06:21 19:42:05")
      .Rational(kExifIfd, 0x9201, 7, 1, 10)
      .Rational(kExifIfd, 0x829D, 56, 10)
      .Rational(kExifIfd, 0x920A, 50, 1)
      .Short(kExifIfd, 0x8827, 200)
      .Short(kExifIfd, 0x9209, 0)
      .Short(kExifIfd, 0x9208, 1)
      .Short(kExifIfd, 0x8822, 2);
  std::vector<uint8_t> withExif = exif.Jpeg(body);
  std::string cameraPath = folder + "\\camera.jpg";
  FILE* out = fopen(cameraPath.c_str(), "wb");
  if (!out) return false;
  fwrite(withExif.data(), 1, withExif.size(), out);
  fclose(out);

  printf("\nPicture information of %s (check %d):\n", cameraPath.c_str(), CheckExifFile(cameraPath.c_str()));
  tagEXIFVALUES values;
  tagEXIFPRESENCE presence;
  tagEXIFMAKEMODEL makeModel;
  if (!ReadExifInfo(&values, &presence, cameraPath.c_str())) return false;
  ReadCameraMakeModel(cameraPath.c_str(), &makeModel);
  tagEXIFROWS rows;
  FormatExifRows(&rows, &values, &presence, &makeModel);
  for (int row = 0; row < EXIF_ROW_COUNT; ++row) {
    char label[128] = "";
    LoadStringA(GetResourceModule(), GetExifRowLabelId(row), label, sizeof(label));
    printf("  %-28s %s\n", label, rows.szText[row]);
  }
  ReleaseCameraMakeModel(&makeModel);
  ReleaseExifInfo(&values);
  return true;
}

// Writes an album file of the named samples (cloned from items) with a
// description.
bool MakeAlbum(const std::string& path, const char* title, const char* const* names, size_t count,
               CThumbTable2* items) {
  CAlbumDoc2 album;
  for (size_t i = 0; i < count; ++i) {
    for (int n = 1; n <= items->GetCount(); ++n) {
      CThumbnail2* item = items->GetThumbnail(n);
      if (strcmp(NameOf(item->GetInfo()->aiPath), names[i]) != 0) continue;
      CThumbnail2* copy = item->Clone();
      if (copy && !album.Insert(copy, nullptr)) delete copy;
    }
  }
  album.SetDescription(title);
  if (album.GetCount() != static_cast<int>(count) || !album.Save(path.c_str())) {
    printf("could not make the album %s (%d of %u pictures)\n", path.c_str(), album.GetCount(),
           static_cast<unsigned>(count));
    return false;
  }
  return true;
}

const char* const kTravel[] = {"harbour.jpg", "meadow.png", "portrait.jpg", "sunset.jpg", "banner.bmp"};
const char* const kKeepsakes[] = {"archive.tif", "icon.gif", "night.png"};
const char* const kFavourites[] = {"sunset.jpg", "portrait.jpg", "night.png", "meadow.png"};

// Two album files made of the samples, for the album controls of the main
// window: a travel album and a smaller one of keepsakes.
bool MakeDemoAlbums(const std::string& folder, CThumbTable2* items, std::string* left, std::string* right) {
  *left = folder + "\\Summer trip.abm";
  *right = folder + "\\Keepsakes.abm";
  return MakeAlbum(*left, "Summer trip", kTravel, sizeof(kTravel) / sizeof(kTravel[0]), items) &&
         MakeAlbum(*right, "Keepsakes", kKeepsakes, sizeof(kKeepsakes) / sizeof(kKeepsakes[0]), items);
}

void DeleteFiles(const std::string& folder, const char* pattern) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    DeleteFileA((folder + "\\" + found.cFileName).c_str());
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// The album folder the album managers open: three albums, made afresh on
// every run so that the tour starts from the same albums; the pictures
// acquired into the albums of the last run go with them.
bool MakeManagerAlbums(const std::string& folder, const std::string& acquired, CThumbTable2* items) {
  CreateDirectoryA(folder.c_str(), nullptr);
  DeleteFiles(folder, "*.abm");
  DeleteFiles(acquired, "acquired-*.bmp");
  return MakeAlbum(folder + "\\Summer trip.abm", "Summer trip", kTravel, sizeof(kTravel) / sizeof(kTravel[0]),
                   items) &&
         MakeAlbum(folder + "\\Keepsakes.abm", "Keepsakes", kKeepsakes, sizeof(kKeepsakes) / sizeof(kKeepsakes[0]),
                   items) &&
         MakeAlbum(folder + "\\Favourites.abm", "Favourites", kFavourites,
                   sizeof(kFavourites) / sizeof(kFavourites[0]), items);
}

}  // namespace

int main(int argc, char** argv) {
  std::string folder = ".";
  bool interactive = false;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--interactive") == 0) {
      interactive = true;
    } else {
      folder = argv[i];
    }
  }
  std::string samples = folder + "\\samples";
  CreateDirectoryA(folder.c_str(), nullptr);
  CreateDirectoryA(samples.c_str(), nullptr);

  printf("AlbumKit demo host\n\nMaking %u sample pictures in %s\n", static_cast<unsigned>(sizeof(kSamples) / sizeof(kSamples[0])),
         samples.c_str());
  DemoTable table;
  for (const Sample& sample : kSamples) {
    std::string path = samples + "\\" + sample.name;
    if (!WriteSamplePicture(path, sample.format, sample.width, sample.height, sample.grey,
                            static_cast<int>(&sample - kSamples) + 1)) {
      printf("  could not write %s\n", path.c_str());
      continue;
    }
    QilSetLastError(0);
    CThumbnail2* item = CreateThumbnailFromFile(path.c_str(), 100, 80, sample.description);
    if (!item) {
      printf("  %s: no thumbnail (image services error %d)\n", sample.name, QilGetLastError());
      continue;
    }
    table.Insert(item, nullptr);
    std::string thumbPath = folder + "\\thumb-" + sample.name + ".bmp";
    QilSaveFile(item->GetDib(), thumbPath.c_str(), QIL_SAVE_BMP, 0);
  }
  printf("\n");
  PrintTable("Album items in the order they were added:", &table);

  table.SortBy(ALBUM_SORT_NAME, 0);
  printf("\n");
  PrintTable("Sorted by name:", &table);
  table.SortBy(ALBUM_SORT_SIZE, 1);
  printf("\n");
  PrintTable("Sorted by size, largest first:", &table);

  printf("\n");
  tagAlbumSearchCreteria criteria;
  memset(&criteria, 0, sizeof(criteria));
  Put(criteria.szTypes, "*.JPG");
  PrintSearch(&table, "for JPEG files", criteria);
  memset(&criteria, 0, sizeof(criteria));
  Put(criteria.szDescription, "grey");
  PrintSearch(&table, "for \"grey\" in the description", criteria);
  memset(&criteria, 0, sizeof(criteria));
  criteria.nSizeBound = 100 * 1024;
  PrintSearch(&table, "for files of 100 KB or more", criteria);
  memset(&criteria, 0, sizeof(criteria));
  Put(criteria.szName, "sun");
  PrintSearch(&table, "for \"sun\" in the path", criteria);

  printf("\nThumbnails written as %s\\thumb-*.bmp\n", folder.c_str());
  bool allMade = table.GetCount() == static_cast<int>(sizeof(kSamples) / sizeof(kSamples[0]));
  bool albumOk = SaveAndReadAlbum(folder, &table);
  bool exifOk = ShowCameraData(folder, samples + "\\harbour.jpg");

  table.SortBy(ALBUM_SORT_NAME, 0);
  std::string shotPath = folder + "\\thumbnail-views.bmp";
  bool shown = ShowDemoWindow(&table, shotPath, false);
  printf("\nThumbnail views in both styles: %s %s\n", shown ? "screenshot saved as" : "could not save",
         shotPath.c_str());

  std::string left, right;
  bool albumsMade = MakeDemoAlbums(folder, &table, &left, &right);
  AlbumDemoResult demo;
  std::string controlsShot = folder + "\\album-controls.bmp";
  if (albumsMade) demo = RunAlbumDemo(left, right, controlsShot, interactive);
  printf("\nAlbum controls over %s and %s:\n", left.c_str(), right.c_str());
  printf("  dragged two pictures from the first to the second: %s\n", demo.dragged ? "moved" : "failed");
  printf("  first album now:  %s\n", demo.leftItems.c_str());
  printf("  second album now: %s\n", demo.rightItems.c_str());
  printf("  %s %s\n", demo.shotSaved ? "screenshot saved as" : "could not save", controlsShot.c_str());
  bool controlsOk = albumsMade && demo.shown && demo.dragged && demo.shotSaved;

  std::string paintingShot = folder + "\\resource-albums.bmp";
  PaintingHostResult painting = RunPaintingHost(folder, paintingShot, interactive);
  printf("\nResource albums of a painting host (brushes, stamps, textures, shapes):\n");
  printf("  sample resource albums: %s\n", painting.shown ? "made" : "could not be made");
  printf("  imported two pictures into the brush album: %d brushes before, %d after\n", painting.brushesBefore,
         painting.brushesAfter);
  printf("  status line after clicking the first of them: %s\n", painting.picked.c_str());
  printf("  %s %s\n", painting.shotSaved ? "screenshot saved as" : "could not save", paintingShot.c_str());
  bool paintingOk = painting.shown && painting.brushesAfter == painting.brushesBefore + 2 &&
                    painting.picked.find("leaf.bmp") != std::string::npos && painting.shotSaved;

  ManagerHostPaths paths;
  paths.albums = folder + "\\albums";
  paths.user = folder + "\\user\\";
  paths.acquired = folder + "\\acquired";
  paths.output = folder;
  paths.pictures = samples;
  printf("\nAlbum managers over the albums of %s:\n", paths.albums.c_str());
  bool managerOk = MakeManagerAlbums(paths.albums, paths.acquired, &table) && RunManagerHost(paths, interactive);
  if (!interactive) printf("  %s\n", managerOk ? "every step done" : "a step failed");
  return allMade && albumOk && exifOk && shown && controlsOk && paintingOk && managerOk ? 0 : 1;
}
