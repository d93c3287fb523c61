// Exif reader: decides whether a JPEG file carries an Exif block, reads the
// camera data of its Exif IFD and its Make and Model, and formats the sixteen
// texts of the picture information dialog.
//
// Plain C++ over byte spans and the C runtime's FILE*, without the Windows
// headers: the bytes come from files that may be hostile, and the same code
// is fuzzed natively. Every offset and count is bounded by the bytes read and
// by the APP1 segment's own length.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>

#include "ExifRecords.h"

namespace exif {

// Marker classes of PeekMarker and ClassifyMarker: SOI 0, APP0..APP15 1..16,
// COM 17, DQT 18, DHT 19, DRI 20, SOF0 21, SOS 22, anything else 23.
enum MarkerClass {
  kMarkerSoi = 0,
  kMarkerApp0 = 1,
  kMarkerApp1 = 2,
  kMarkerCom = 17,
  kMarkerDqt = 18,
  kMarkerDht = 19,
  kMarkerDri = 20,
  kMarkerSof0 = 21,
  kMarkerSos = 22,
  kMarkerOther = 23,
};

int ClassifyMarker(unsigned marker);

// Reads two bytes at the current position as a big-endian marker, seeks back
// and classifies it; kMarkerOther when the read fails.
int PeekMarker(FILE* file);

// True when the text after the last "." that follows the last path separator
// is "JPG" in any case.
bool HasJpgExtension(const char* path);

// The Exif check over the first bytes of a file (EXIF_OK, EXIF_NOT_JPEG,
// EXIF_NO_APP1, EXIF_NOT_EXIF, EXIF_SHORT_READ); the extension is not looked at.
int CheckBytes(const uint8_t* data, size_t size);
// The whole check of a file: extension, then the bytes; EXIF_CANNOT_OPEN when
// it cannot be opened.
int CheckFile(const char* path);

// Reads the Exif IFD into values and presence (both cleared first). 1 on
// success, 0 when the block is not as expected or memory runs out; on failure
// values owns nothing.
int ReadValuesFromBytes(const uint8_t* data, size_t size, tagEXIFVALUES* values,
                        tagEXIFPRESENCE* presence);
int ReadValuesFromFile(FILE* file, tagEXIFVALUES* values, tagEXIFPRESENCE* presence);
int ReadValues(const char* path, tagEXIFVALUES* values, tagEXIFPRESENCE* presence);
void ReleaseValues(tagEXIFVALUES* values);

// Reads Make and Model from IFD0 (makeModel cleared first). 1 when at least
// one of the two was read.
int ReadMakeModelFromBytes(const uint8_t* data, size_t size, tagEXIFMAKEMODEL* makeModel);
int ReadMakeModelFromFile(FILE* file, tagEXIFMAKEMODEL* makeModel);
int ReadMakeModel(const char* path, tagEXIFMAKEMODEL* makeModel);
void ReleaseMakeModel(tagEXIFMAKEMODEL* makeModel);

// Fetches a label, unit or choice text by its string identifier into buffer
// (capacity bytes, terminated); false when there is none (the text is then
// treated as empty).
typedef bool (*TextLookup)(void* context, unsigned id, char* buffer, size_t capacity);

// Capacity of the buffers the looked-up texts are loaded into.
constexpr size_t kLookupCapacity = 256;

// The string identifier of each row's label, in display order.
unsigned RowLabelId(int row);

// The sixteen value texts. makeModel may be null.
void FormatRows(tagEXIFROWS* rows, const tagEXIFVALUES* values, const tagEXIFPRESENCE* presence,
                const tagEXIFMAKEMODEL* makeModel, TextLookup lookup, void* context);

}  // namespace exif
