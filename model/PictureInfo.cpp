// Picture information exports: the Exif reader's results for hosts and the
// album manager, with the texts of the resource module.
#include <album.h>

#include "manager/Module.h"
#include "model/ExifReader.h"
#include "model/PictureInfoDlg.h"

namespace {

bool LoadResourceText(void*, unsigned id, char* buffer, size_t capacity) {
  return LoadStringA(GetResourceModule(), id, buffer, static_cast<int>(capacity)) > 0;
}

}  // namespace

// The reader allocates only with malloc and reports failures by its results;
// the guards below keep any surprise from crossing the export.

ALBUM_API int ClassifyJpegMarker(unsigned marker) { return exif::ClassifyMarker(marker); }

ALBUM_API UINT GetExifRowLabelId(int row) { return exif::RowLabelId(row); }

ALBUM_API int CheckExifFile(const char* path) {
  try {
    return exif::CheckFile(path);
  } catch (...) {
    return EXIF_CANNOT_OPEN;
  }
}

ALBUM_API int ReadExifInfo(tagEXIFVALUES* values, tagEXIFPRESENCE* presence, const char* path) {
  try {
    return exif::ReadValues(path, values, presence);
  } catch (...) {
    exif::ReleaseValues(values);
    return 0;
  }
}

ALBUM_API void ReleaseExifInfo(tagEXIFVALUES* values) { exif::ReleaseValues(values); }

ALBUM_API int ReadCameraMakeModel(const char* path, tagEXIFMAKEMODEL* makeModel) {
  try {
    return exif::ReadMakeModel(path, makeModel);
  } catch (...) {
    exif::ReleaseMakeModel(makeModel);
    return 0;
  }
}

ALBUM_API void ReleaseCameraMakeModel(tagEXIFMAKEMODEL* makeModel) {
  exif::ReleaseMakeModel(makeModel);
}

ALBUM_API void FormatExifRows(tagEXIFROWS* rows, const tagEXIFVALUES* values,
                              const tagEXIFPRESENCE* presence, const tagEXIFMAKEMODEL* makeModel) {
  try {
    exif::FormatRows(rows, values, presence, makeModel, LoadResourceText, nullptr);
  } catch (...) {
    if (rows) *rows = tagEXIFROWS{};
  }
}

ALBUM_API INT_PTR ShowExifInformation(HWND owner, const tagEXIFVALUES* values,
                                      const tagEXIFPRESENCE* presence,
                                      const tagEXIFMAKEMODEL* makeModel) {
  try {
    tagEXIFROWS rows;
    exif::FormatRows(&rows, values, presence, makeModel, LoadResourceText, nullptr);
    return RunPictureInfoDialog(owner, &rows);
  } catch (...) {
    return -1;
  }
}

ALBUM_API int ShowPictureInformation(HWND owner, const char* path) {
  tagEXIFVALUES values = {};
  tagEXIFPRESENCE presence = {};
  tagEXIFMAKEMODEL makeModel = {};
  INT_PTR result = -1;
  try {
    if (exif::ReadValues(path, &values, &presence)) {
      exif::ReadMakeModel(path, &makeModel);
      result = ShowExifInformation(owner, &values, &presence, &makeModel);
    }
  } catch (...) {
    result = -1;
  }
  exif::ReleaseMakeModel(&makeModel);
  exif::ReleaseValues(&values);
  return result == IDOK || result == IDCANCEL ? 1 : 0;
}
