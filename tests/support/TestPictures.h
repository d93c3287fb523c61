// Real picture files for tests: pixels with photographic-like content,
// written through the platform's WIC encoders, plus byte-level helpers for
// JPEG Exif segments and a temporary folder that cleans up after itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace testpics {

enum class FileFormat { Png, Tiff, Gif, Bmp, Jpeg };

// Top-down pixels: 3 bytes per pixel in B, G, R order, or 1 grey byte.
struct Pixels {
  int width = 0;
  int height = 0;
  bool grey = false;
  std::vector<uint8_t> data;

  Pixels() = default;
  Pixels(int w, int h, bool isGrey);
  int BytesPerPixel() const { return grey ? 1 : 3; }
  uint8_t* At(int x, int y) { return data.data() + (size_t(y) * width + x) * BytesPerPixel(); }
  const uint8_t* At(int x, int y) const {
    return data.data() + (size_t(y) * width + x) * BytesPerPixel();
  }
  // Sets one pixel (grey pictures take the green value).
  void Set(int x, int y, uint8_t r, uint8_t g, uint8_t b);
  // Fills a rectangle [x0, x1) x [y0, y1).
  void Fill(int x0, int y0, int x1, int y1, uint8_t r, uint8_t g, uint8_t b);
};

// Smooth gradients plus a fine texture, the same for the same arguments.
Pixels MakePhotoPixels(int width, int height, bool grey);

// Writes the pixels through WIC's encoder for the format (JPEG at quality
// 0.95). GIF holds a palette, so colour pixels are reduced to a 6x6x6 colour
// cube; *stored (optional) receives the pixels the file really holds for the
// lossless formats (for JPEG, the pixels given). False on any failure.
// dpi > 0 records that resolution in the file.
bool WritePicture(const std::string& path, FileFormat format, const Pixels& pixels,
                  Pixels* stored = nullptr, double dpi = 0);

// Writes 32-bit pixels with straight alpha (B, G, R, A, top-down) as PNG or TIFF.
bool WriteBgraPicture(const std::string& path, FileFormat format, int width, int height,
                      const std::vector<uint8_t>& bgra);

// Writes a CMYK JPEG through WIC. cmyk holds 4 bytes per pixel, top-down, as
// they go into the file.
bool WriteCmykJpeg(const std::string& path, int width, int height,
                   const std::vector<uint8_t>& cmyk);

// The body of an APP1 segment ("Exif\0\0" and a TIFF structure) whose IFD0
// holds only the orientation tag.
std::vector<uint8_t> ExifOrientationBody(int orientation, bool bigEndian);

// The JPEG with an APP1 segment holding body inserted right after SOI.
std::vector<uint8_t> InsertApp1(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& body);

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes);
// The names in a folder, "." and ".." left out, in the order the system lists them.
std::vector<std::string> FolderEntries(const std::string& folder);
bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);

// A new, uniquely named folder in the user's temporary folder; removed with
// everything in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  // path() + "\\" + name.
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

}  // namespace testpics
