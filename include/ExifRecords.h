// Records of the picture information reader: the camera data of a JPEG
// file's Exif block. Plain C types only, so that the Exif parser can be built
// without the Windows headers and a host can include this file on its own.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct tagEXIFRATIONAL {
  uint32_t numerator;
  uint32_t denominator;  // 0 when the tag is absent
};
static_assert(sizeof(tagEXIFRATIONAL) == 8, "rational is 8 bytes");

// One reading of the Exif IFD. Zeroed before use. Strings, arrays and blocks
// are owned by the record (each string and block carries one NUL byte past
// its length) and are freed by ReleaseExifInfo; their byte lengths are in the
// presence record. Fixed text slots hold at most one character less than
// their size and are always terminated.
//
// These records are naturally aligned, not packed: the reader writes through
// pointers to their fields. Their layout is pinned by the assertions below.
struct tagEXIFVALUES {
  tagEXIFRATIONAL ExposureTime;           // 0x829A
  tagEXIFRATIONAL FNumber;                // 0x829D
  uint16_t ExposureProgram;               // 0x8822
  char* SpectralSensitivity;              // 0x8824, owned
  uint16_t* ISOSpeedRatings;              // 0x8827, owned; byte length / 2 values
  uint8_t* OECF;                          // 0x8828, owned
  uint8_t ExifVersion[4];                 // 0x9000
  char DateTimeOriginal[21];              // 0x9003, at most 20 characters
  char DateTimeDigitized[21];             // 0x9004, at most 20 characters
  uint8_t ComponentsConfiguration[4];     // 0x9101
  tagEXIFRATIONAL CompressedBitsPerPixel; // 0x9102
  tagEXIFRATIONAL ShutterSpeedValue;      // 0x9201 (signed numerator in the file)
  tagEXIFRATIONAL ApertureValue;          // 0x9202
  tagEXIFRATIONAL BrightnessValue;        // 0x9203
  tagEXIFRATIONAL ExposureBiasValue;      // 0x9204
  tagEXIFRATIONAL MaxApertureValue;       // 0x9205
  tagEXIFRATIONAL SubjectDistance;        // 0x9206
  uint16_t MeteringMode;                  // 0x9207
  uint16_t LightSource;                   // 0x9208
  uint16_t Flash;                         // 0x9209
  tagEXIFRATIONAL FocalLength;            // 0x920A
  uint8_t* MakerNote;                     // 0x927C, owned
  uint8_t* UserComment;                   // 0x9286, owned
  char* SubSecTime;                       // 0x9290, owned
  char* SubSecTimeOriginal;               // 0x9291, owned
  char* SubSecTimeDigitized;              // 0x9292, owned
  uint8_t FlashpixVersion[4];             // 0xA000
  uint16_t ColorSpace;                    // 0xA001
  uint32_t PixelXDimension;               // 0xA002
  uint32_t PixelYDimension;               // 0xA003
  char RelatedSoundFile[14];              // 0xA004, at most 13 characters
  tagEXIFRATIONAL FlashEnergy;            // 0xA20B
  uint8_t* SpatialFrequencyResponse;      // 0xA20C, owned
  tagEXIFRATIONAL FocalPlaneXResolution;  // 0xA20E
  tagEXIFRATIONAL FocalPlaneYResolution;  // 0xA20F
  uint16_t FocalPlaneResolutionUnit;      // 0xA210
  uint16_t SubjectLocation[2];            // 0xA214
  tagEXIFRATIONAL ExposureIndex;          // 0xA215
  uint16_t SensingMethod;                 // 0xA217
  uint8_t FileSource;                     // 0xA300
  uint8_t SceneType;                      // 0xA301
  uint8_t* CFAPattern;                    // 0xA302, owned
};

// Per tag of tagEXIFVALUES: 0 when the tag was absent (or unreadable), 1 when
// a number was read, and for strings, arrays, blocks and fixed text slots the
// number of bytes held.
struct tagEXIFPRESENCE {
  uint32_t ExposureTime, FNumber, ExposureProgram, SpectralSensitivity, ISOSpeedRatings, OECF;
  uint32_t ExifVersion, DateTimeOriginal, DateTimeDigitized, ComponentsConfiguration;
  uint32_t CompressedBitsPerPixel, ShutterSpeedValue, ApertureValue, BrightnessValue;
  uint32_t ExposureBiasValue, MaxApertureValue, SubjectDistance, MeteringMode, LightSource;
  uint32_t Flash, FocalLength, MakerNote, UserComment, SubSecTime, SubSecTimeOriginal;
  uint32_t SubSecTimeDigitized, FlashpixVersion, ColorSpace, PixelXDimension, PixelYDimension;
  uint32_t RelatedSoundFile, FlashEnergy, SpatialFrequencyResponse, FocalPlaneXResolution;
  uint32_t FocalPlaneYResolution, FocalPlaneResolutionUnit, SubjectLocation, ExposureIndex;
  uint32_t SensingMethod, FileSource, SceneType, CFAPattern;
};
static_assert(sizeof(tagEXIFPRESENCE) == 42 * 4, "one presence field per tag");

// Make and Model from IFD0, each owned and terminated (null when absent);
// freed by ReleaseCameraMakeModel.
struct tagEXIFMAKEMODEL {
  char* Make;
  char* Model;
};

// The sixteen value texts shown in the picture information dialog.
enum { EXIF_ROW_COUNT = 16, EXIF_TEXT_SIZE = 128 };
#pragma pack(push, 1)
struct tagEXIFROWS {
  char szText[EXIF_ROW_COUNT][EXIF_TEXT_SIZE];  // at most 127 characters each
};
#pragma pack(pop)

#if UINTPTR_MAX == 0xFFFFFFFFu
static_assert(sizeof(tagEXIFVALUES) == 260, "values record is 260 bytes in 32-bit code");
static_assert(offsetof(tagEXIFVALUES, DateTimeOriginal) == 36, "DateTimeOriginal at 36");
static_assert(offsetof(tagEXIFVALUES, FocalLength) == 148, "FocalLength at 148");
static_assert(offsetof(tagEXIFVALUES, CFAPattern) == 256, "CFAPattern at 256");
static_assert(sizeof(tagEXIFMAKEMODEL) == 8, "make and model record is 8 bytes in 32-bit code");
#endif
static_assert(sizeof(tagEXIFROWS) == 16 * 128, "sixteen rows of 128 bytes");

// Exif check codes.
enum {
  EXIF_OK = 0,
  EXIF_CANNOT_OPEN = -1,
  EXIF_NOT_JPEG = -3,         // extension not "JPG", or no SOI at the start
  EXIF_NO_APP1 = -4,          // the second marker is not APP1
  EXIF_NOT_EXIF = -5,         // APP1 identifier is not "Exif\0\0"
  EXIF_SHORT_READ = -7,
};
