// libFuzzer target for the Exif reader: the check, both reads from the bytes
// and again through a FILE* over the same bytes, and the sixteen texts.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "model/ExifReader.h"

// The album component counts its allocations for its fault tests; natively
// they are the C runtime's.
void* AlbumMalloc(size_t bytes) { return malloc(bytes); }

namespace {

// Texts as the resource module would give them, with conversions in them, so
// that a text used as a format would show up under the sanitizers.
bool FakeText(void*, unsigned id, char* buffer, size_t capacity) {
  snprintf(buffer, capacity, "text %u %%s%%n", id);
  return true;
}

struct FileReading {
  int values = 0;
  int makeModel = 0;
};

FileReading ReadThroughFile(const uint8_t* data, size_t size, tagEXIFVALUES* values,
                            tagEXIFPRESENCE* presence, tagEXIFMAKEMODEL* makeModel) {
  FileReading result;
  FILE* file = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!file) return result;
  exif::PeekMarker(file);
  result.values = exif::ReadValuesFromFile(file, values, presence);
  result.makeModel = exif::ReadMakeModelFromFile(file, makeModel);
  fclose(file);
  return result;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  exif::CheckBytes(data, size);
  std::string path(reinterpret_cast<const char*>(data), size < 300 ? size : 300);
  exif::HasJpgExtension(path.c_str());

  // Readers must clear whatever they are given.
  tagEXIFVALUES values;
  tagEXIFPRESENCE presence;
  tagEXIFMAKEMODEL makeModel;
  memset(&values, 0xA5, sizeof(values));
  memset(&presence, 0xA5, sizeof(presence));
  memset(&makeModel, 0xA5, sizeof(makeModel));
  int read = exif::ReadValuesFromBytes(data, size, &values, &presence);
  int readMakeModel = exif::ReadMakeModelFromBytes(data, size, &makeModel);
  if (!read && (values.ISOSpeedRatings || values.UserComment || presence.Flash)) {
    __builtin_trap();  // a failed read holds nothing
  }

  tagEXIFROWS rows;
  exif::FormatRows(&rows, &values, &presence, &makeModel, FakeText, nullptr);
  for (const char* text : rows.szText) {
    if (strnlen(text, EXIF_TEXT_SIZE) >= EXIF_TEXT_SIZE) __builtin_trap();
  }

  if (size > 0) {
    tagEXIFVALUES fileValues = {};
    tagEXIFPRESENCE filePresence = {};
    tagEXIFMAKEMODEL fileMakeModel = {};
    FileReading file = ReadThroughFile(data, size, &fileValues, &filePresence, &fileMakeModel);
    // The FILE* front reads exactly the bytes the core bounds itself to.
    if (file.values != read || file.makeModel != readMakeModel ||
        memcmp(&filePresence, &presence, sizeof(presence)) != 0) {
      __builtin_trap();
    }
    exif::ReleaseValues(&fileValues);
    exif::ReleaseMakeModel(&fileMakeModel);
  }
  exif::ReleaseValues(&values);
  exif::ReleaseMakeModel(&makeModel);
  return 0;
}
