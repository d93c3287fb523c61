#include "TestPictures.h"

#include <windows.h>
#include <wincodec.h>

#include <cstring>

namespace testpics {
namespace {

template <class T>
class Com {
 public:
  Com() = default;
  ~Com() {
    if (p_) p_->Release();
  }
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  T** out() { return &p_; }

 private:
  T* p_ = nullptr;  // owned reference
};

class ComInit {
 public:
  ComInit() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ComInit() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }

 private:
  HRESULT hr_;
};

uint8_t Clamp(int v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// A little deterministic grain, -8..7.
int Grain(int x, int y) {
  unsigned h = unsigned(x) * 73856093u ^ unsigned(y) * 19349663u;
  h ^= h >> 13;
  h *= 0x5bd1e995u;
  h ^= h >> 15;
  return int(h & 15) - 8;
}

uint8_t CubeLevel(uint8_t v) { return static_cast<uint8_t>((v + 25) / 51 * 51); }

std::wstring Wide(const std::string& s) {
  int n = MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
  std::wstring w(n > 0 ? n : 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], n);
  w.resize(w.size() - 1);
  return w;
}

const GUID& ContainerOf(FileFormat format) {
  switch (format) {
    case FileFormat::Png: return GUID_ContainerFormatPng;
    case FileFormat::Tiff: return GUID_ContainerFormatTiff;
    case FileFormat::Gif: return GUID_ContainerFormatGif;
    case FileFormat::Bmp: return GUID_ContainerFormatBmp;
    case FileFormat::Jpeg: break;
  }
  return GUID_ContainerFormatJpeg;
}

// Encodes one frame of rows (stride bytes each) in the given pixel format.
// palette (optional) holds 0xAARRGGBB colours.
bool Encode(const std::string& path, const GUID& container, WICPixelFormatGUID pixelFormat,
            int width, int height, UINT stride, const std::vector<uint8_t>& rows,
            const std::vector<WICColor>* palette, double dpi = 0) {
  ComInit com;
  Com<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out())))) {
    return false;
  }
  Com<IWICStream> stream;
  Com<IWICBitmapEncoder> encoder;
  Com<IWICBitmapFrameEncode> frame;
  Com<IPropertyBag2> options;
  if (FAILED(factory->CreateStream(stream.out())) ||
      FAILED(stream->InitializeFromFilename(Wide(path).c_str(), GENERIC_WRITE)) ||
      FAILED(factory->CreateEncoder(container, nullptr, encoder.out())) ||
      FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(frame.out(), options.out()))) {
    return false;
  }
  if (container == GUID_ContainerFormatJpeg && options.get()) {
    PROPBAG2 name{};
    name.pstrName = const_cast<LPOLESTR>(L"ImageQuality");
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_R4;
    value.fltVal = 0.95f;
    options->Write(1, &name, &value);  // an encoder without the option keeps its default
  }
  WICPixelFormatGUID asked = pixelFormat;
  if (FAILED(frame->Initialize(options.get())) || FAILED(frame->SetSize(width, height)) ||
      FAILED(frame->SetPixelFormat(&pixelFormat)) || pixelFormat != asked ||
      (dpi > 0 && FAILED(frame->SetResolution(dpi, dpi)))) {
    return false;
  }
  if (palette) {
    Com<IWICPalette> wicPalette;
    if (FAILED(factory->CreatePalette(wicPalette.out())) ||
        FAILED(wicPalette->InitializeCustom(const_cast<WICColor*>(palette->data()),
                                            static_cast<UINT>(palette->size()))) ||
        FAILED(frame->SetPalette(wicPalette.get()))) {
      return false;
    }
  }
  return SUCCEEDED(frame->WritePixels(height, stride, static_cast<UINT>(rows.size()),
                                      const_cast<BYTE*>(rows.data()))) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

UINT Stride(int width, int bytesPerPixel) { return (UINT(width) * bytesPerPixel + 3) & ~3u; }

std::vector<uint8_t> PaddedRows(const Pixels& px, UINT stride) {
  std::vector<uint8_t> rows(size_t(stride) * px.height);
  size_t rowBytes = size_t(px.width) * px.BytesPerPixel();
  for (int y = 0; y < px.height; ++y) {
    std::memcpy(rows.data() + size_t(y) * stride, px.At(0, y), rowBytes);
  }
  return rows;
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string full = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full);
      } else {
        SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(full.c_str());
      }
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

Pixels::Pixels(int w, int h, bool isGrey)
    : width(w), height(h), grey(isGrey), data(size_t(w) * h * (isGrey ? 1 : 3), 0) {}

void Pixels::Set(int x, int y, uint8_t r, uint8_t g, uint8_t b) {
  uint8_t* p = At(x, y);
  if (grey) {
    p[0] = g;
  } else {
    p[0] = b;
    p[1] = g;
    p[2] = r;
  }
}

void Pixels::Fill(int x0, int y0, int x1, int y1, uint8_t r, uint8_t g, uint8_t b) {
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) Set(x, y, r, g, b);
  }
}

Pixels MakePhotoPixels(int width, int height, bool grey) {
  Pixels px(width, height, grey);
  int wd = width > 1 ? width - 1 : 1, hd = height > 1 ? height - 1 : 1;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      int r = 30 + x * 190 / wd;
      int g = 40 + y * 170 / hd;
      int b = 200 - (x + y) * 150 / (wd + hd);
      int grain = Grain(x, y);
      px.Set(x, y, Clamp(r + grain), Clamp(g + grain), Clamp(b - grain));
    }
  }
  return px;
}

bool WritePicture(const std::string& path, FileFormat format, const Pixels& pixels,
                  Pixels* stored, double dpi) {
  if (pixels.width <= 0 || pixels.height <= 0) return false;
  const GUID& container = ContainerOf(format);
  bool ok;
  Pixels written = pixels;
  // GIF only stores palette pictures; BMP stores grey as a grey palette.
  if (format == FileFormat::Gif || (format == FileFormat::Bmp && pixels.grey)) {
    std::vector<WICColor> palette;
    std::vector<uint8_t> indices(size_t(Stride(pixels.width, 1)) * pixels.height);
    if (pixels.grey) {
      for (unsigned i = 0; i < 256; ++i) palette.push_back(0xFF000000u | i << 16 | i << 8 | i);
    } else {
      for (unsigned r = 0; r < 6; ++r)
        for (unsigned g = 0; g < 6; ++g)
          for (unsigned b = 0; b < 6; ++b)
            palette.push_back(0xFF000000u | (r * 51) << 16 | (g * 51) << 8 | (b * 51));
    }
    for (int y = 0; y < pixels.height; ++y) {
      for (int x = 0; x < pixels.width; ++x) {
        uint8_t* p = written.At(x, y);
        uint8_t index;
        if (pixels.grey) {
          index = p[0];
        } else {
          for (int c = 0; c < 3; ++c) p[c] = CubeLevel(p[c]);
          index = static_cast<uint8_t>(p[2] / 51 * 36 + p[1] / 51 * 6 + p[0] / 51);
        }
        indices[size_t(y) * Stride(pixels.width, 1) + x] = index;
      }
    }
    ok = Encode(path, container, GUID_WICPixelFormat8bppIndexed, pixels.width, pixels.height,
                Stride(pixels.width, 1), indices, &palette, dpi);
  } else {
    UINT stride = Stride(pixels.width, pixels.BytesPerPixel());
    ok = Encode(path, container,
                pixels.grey ? GUID_WICPixelFormat8bppGray : GUID_WICPixelFormat24bppBGR,
                pixels.width, pixels.height, stride, PaddedRows(pixels, stride), nullptr, dpi);
  }
  if (ok && stored) *stored = format == FileFormat::Jpeg ? pixels : written;
  return ok;
}

bool WriteBgraPicture(const std::string& path, FileFormat format, int width, int height,
                      const std::vector<uint8_t>& bgra) {
  if (width <= 0 || height <= 0 || bgra.size() != size_t(width) * height * 4) return false;
  return Encode(path, ContainerOf(format), GUID_WICPixelFormat32bppBGRA, width, height,
                UINT(width) * 4, bgra, nullptr);
}

bool WriteCmykJpeg(const std::string& path, int width, int height,
                   const std::vector<uint8_t>& cmyk) {
  if (width <= 0 || height <= 0 || cmyk.size() != size_t(width) * height * 4) return false;
  return Encode(path, GUID_ContainerFormatJpeg, GUID_WICPixelFormat32bppCMYK, width, height,
                UINT(width) * 4, cmyk, nullptr);
}

std::vector<uint8_t> ExifOrientationBody(int orientation, bool bigEndian) {
  std::vector<uint8_t> body = {'E', 'x', 'i', 'f', 0, 0};
  auto u16 = [&](unsigned v) {
    if (bigEndian) {
      body.push_back(uint8_t(v >> 8));
      body.push_back(uint8_t(v));
    } else {
      body.push_back(uint8_t(v));
      body.push_back(uint8_t(v >> 8));
    }
  };
  auto u32 = [&](unsigned v) {
    if (bigEndian) {
      u16(v >> 16);
      u16(v & 0xFFFF);
    } else {
      u16(v & 0xFFFF);
      u16(v >> 16);
    }
  };
  body.push_back(bigEndian ? 'M' : 'I');
  body.push_back(bigEndian ? 'M' : 'I');
  u16(42);
  u32(8);       // IFD0 right after the TIFF header
  u16(1);       // one entry
  u16(0x0112);  // orientation
  u16(3);       // SHORT
  u32(1);       // one value, held in the entry
  u16(unsigned(orientation));
  u16(0);
  u32(0);  // no next IFD
  return body;
}

std::vector<uint8_t> InsertApp1(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& body) {
  if (jpeg.size() < 2 || body.size() + 2 > 0xFFFF) return jpeg;
  std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
  size_t length = body.size() + 2;
  out.push_back(0xFF);
  out.push_back(0xE1);
  out.push_back(uint8_t(length >> 8));
  out.push_back(uint8_t(length));
  out.insert(out.end(), body.begin(), body.end());
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>* bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD size = GetFileSize(file, nullptr);
  bool ok = size != INVALID_FILE_SIZE;
  if (ok) {
    bytes->resize(size);
    DWORD got = 0;
    ok = size == 0 || (ReadFile(file, bytes->data(), size, &got, nullptr) && got == size);
  }
  CloseHandle(file);
  return ok;
}

bool WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = bytes.empty() ||
            (WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) &&
             written == bytes.size());
  CloseHandle(file);
  return ok;
}

TempFolder::TempFolder() {
  char base[MAX_PATH];
  DWORD n = GetTempPathA(MAX_PATH, base);
  if (n == 0 || n >= MAX_PATH) return;
  std::string root(base);
  if (!root.empty() && root.back() == '\\') root.pop_back();
  static LONG counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = root + "\\albumkit-test-" + std::to_string(GetCurrentProcessId()) +
                            "-" + std::to_string(InterlockedIncrement(&counter));
    if (CreateDirectoryA(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
}

TempFolder::~TempFolder() {
  if (ok()) RemoveTree(path_);
}

std::string TempFolder::File(const std::string& name) const { return path_ + "\\" + name; }

std::vector<std::string> FolderEntries(const std::string& folder) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (strcmp(found.cFileName, ".") && strcmp(found.cFileName, "..")) names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

}  // namespace testpics
