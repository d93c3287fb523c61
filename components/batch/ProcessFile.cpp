// One picture file through one operation: JPEG through libjpeg, the other
// formats decoded by the image services and written back through WIC (PNG,
// TIFF) or the image services (BMP).
#include <windows.h>
#include <objbase.h>
#include <wincodec.h>

#include <cstring>
#include <vector>

#include "../../platform/Memory.h"
#include "../../platform/pixamo.h"
#include "BatchFiles.h"
#include "BatchOps.h"
#include "JpegFiles.h"

namespace batchel {

namespace {

// Larger JPEG files than this are not read into memory.
constexpr size_t kMaxJpegBytes = 256u << 20;

template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T** operator&() { return &p_; }
  T* operator->() const { return p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;  // owned reference
};

enum class Container { Jpeg, Bmp, Png, Tiff, Other };

bool IsJpegFile(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  unsigned char magic[3] = {};
  DWORD done = 0;
  bool jpeg = ReadFile(file, magic, sizeof(magic), &done, nullptr) && done == 3 && magic[0] == 0xFF &&
              magic[1] == 0xD8 && magic[2] == 0xFF;
  CloseHandle(file);
  return jpeg;
}

// What WIC says the file is. Pictures that the image services' 24-bit or
// grey decode would lose something of (transparency, more than 8 bits a
// channel, further frames) count as Other, so that they are left alone.
Container ExaminePicture(IWICImagingFactory* factory, const char* path, GUID* containerFormat) {
  wchar_t wide[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, path, -1, wide, MAX_PATH)) return Container::Other;
  ComPtr<IWICBitmapDecoder> decoder;
  if (FAILED(factory->CreateDecoderFromFilename(wide, nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                &decoder))) {
    return Container::Other;
  }
  UINT frames = 0;
  ComPtr<IWICBitmapFrameDecode> frame;
  WICPixelFormatGUID format;
  if (FAILED(decoder->GetContainerFormat(containerFormat)) || FAILED(decoder->GetFrameCount(&frames)) ||
      frames != 1 || FAILED(decoder->GetFrame(0, &frame)) || FAILED(frame->GetPixelFormat(&format))) {
    return Container::Other;
  }
  static const GUID* const kPlain[] = {
      &GUID_WICPixelFormat24bppBGR,         &GUID_WICPixelFormat24bppRGB,         &GUID_WICPixelFormat8bppGray,
      &GUID_WICPixelFormat32bppBGR,         &GUID_WICPixelFormatBlackWhite,       &GUID_WICPixelFormat2bppGray,
      &GUID_WICPixelFormat4bppGray,         &GUID_WICPixelFormat1bppIndexed,      &GUID_WICPixelFormat2bppIndexed,
      &GUID_WICPixelFormat4bppIndexed,      &GUID_WICPixelFormat8bppIndexed,      &GUID_WICPixelFormat16bppBGR555,
      &GUID_WICPixelFormat16bppBGR565,
  };
  bool plain = false;
  for (const GUID* known : kPlain) plain = plain || IsEqualGUID(format, *known);
  if (!plain) return Container::Other;
  if (IsEqualGUID(format, GUID_WICPixelFormat1bppIndexed) || IsEqualGUID(format, GUID_WICPixelFormat2bppIndexed) ||
      IsEqualGUID(format, GUID_WICPixelFormat4bppIndexed) || IsEqualGUID(format, GUID_WICPixelFormat8bppIndexed)) {
    // A palette with a transparent entry is transparency too.
    ComPtr<IWICPalette> palette;
    WICColor colours[256];
    UINT count = 0;
    if (FAILED(factory->CreatePalette(&palette)) || FAILED(frame->CopyPalette(palette.get())) ||
        FAILED(palette->GetColors(256, colours, &count))) {
      return Container::Other;
    }
    for (UINT i = 0; i < count; ++i) {
      if ((colours[i] >> 24) != 0xFF) return Container::Other;
    }
  }
  if (IsEqualGUID(*containerFormat, GUID_ContainerFormatBmp)) return Container::Bmp;
  if (IsEqualGUID(*containerFormat, GUID_ContainerFormatPng)) return Container::Png;
  if (IsEqualGUID(*containerFormat, GUID_ContainerFormatTiff)) return Container::Tiff;
  return Container::Other;
}

// The picture as this library turns it: a bottom-up BI_RGB picture of 24
// bits, or of 8 bits with a grey palette. The argument is consumed.
HTOVIMEM Normalise(HTOVIMEM dib) {
  OwnedMem owned(dib);
  {
    MemLock lock(dib);
    if (!lock || ToviMemSize(dib) < sizeof(BITMAPINFOHEADER)) return nullptr;
    const auto* header = lock.as<BITMAPINFOHEADER>();
    const bool bottomUpRgb = header->biCompression == BI_RGB && header->biHeight > 0;
    if (bottomUpRgb && header->biBitCount == 24) return owned.release();
    if (bottomUpRgb && header->biBitCount == 8 && IsDibGray(dib)) return owned.release();
  }
  return ProcessConvertTo24BitColor(dib);
}

bool SizeOf(HTOVIMEM dib, int* width, int* height) {
  MemLock lock(dib);
  if (!lock || ToviMemSize(dib) < sizeof(BITMAPINFOHEADER)) return false;
  *width = lock.as<BITMAPINFOHEADER>()->biWidth;
  *height = lock.as<BITMAPINFOHEADER>()->biHeight;
  return *width > 0 && *height > 0;
}

// The processed picture for grey and shrink, or null (*nothingToDo set when
// the picture is already as asked).
HTOVIMEM ApplyPixelOp(HTOVIMEM dib, BatchOp op, int maxSide, bool* nothingToDo) {
  *nothingToDo = false;
  if (op == BatchOp::Grey) return ProcessConvertToGrayScale(dib);
  if (op == BatchOp::Shrink) {
    int width = 0, height = 0, newWidth = 0, newHeight = 0;
    if (!SizeOf(dib, &width, &height)) return nullptr;
    if (!ShrunkSize(width, height, maxSide, &newWidth, &newHeight)) {
      *nothingToDo = true;
      return nullptr;
    }
    MemLock lock(dib);
    LONG xPelsPerMeter = lock ? lock.as<BITMAPINFOHEADER>()->biXPelsPerMeter : 0;
    return ProcessResample(dib, newWidth, newHeight, xPelsPerMeter);
  }
  return TurnDib(dib, op);
}

FileOutcome ProcessJpeg(const char* path, BatchOp op, int maxSide) {
  std::vector<uint8_t> original;
  if (!ReadWholeFile(path, kMaxJpegBytes, &original)) return FileOutcome::Unchanged;
  std::vector<uint8_t> result;
  if (IsTurn(op)) {
    switch (TurnJpegLossless(original.data(), original.size(), op, &result)) {
      case JpegTurnResult::Done: break;
      case JpegTurnResult::NotWholeBlocks:
      case JpegTurnResult::Failed: return FileOutcome::Unchanged;
    }
  } else {
    JpegExtras extras;
    OwnedMem decoded(DecodeJpeg(original.data(), original.size(), &extras));
    if (!decoded) return FileOutcome::Unchanged;
    bool nothingToDo = false;
    OwnedMem processed(ApplyPixelOp(decoded.get(), op, maxSide, &nothingToDo));
    if (nothingToDo) return FileOutcome::NothingToDo;
    if (!processed || !EncodeJpeg(processed.get(), extras, &result)) return FileOutcome::Unchanged;
  }
  return WriteOverFileWithBytes(path, result.data(), result.size()) ? FileOutcome::Changed : FileOutcome::Skipped;
}

bool EncodeWithWic(IWICImagingFactory* factory, const GUID& container, HTOVIMEM dib, std::vector<uint8_t>* out) {
  MemLock lock(dib);
  if (!lock) return false;
  const auto* header = lock.as<BITMAPINFOHEADER>();
  const uint32_t w = static_cast<uint32_t>(header->biWidth), h = static_cast<uint32_t>(header->biHeight);
  const uint32_t bpp = header->biBitCount / 8;
  const uint32_t colours = bpp == 1 ? (header->biClrUsed ? header->biClrUsed : 256) : 0;
  const uint32_t stride = (w * bpp + 3) & ~3u;
  const uint64_t bitsOffset = uint64_t(header->biSize) + colours * sizeof(RGBQUAD);
  if (colours > 256 || bitsOffset + uint64_t(stride) * h > ToviMemSize(dib)) return false;
  const uint8_t* bits = lock.as<uint8_t>() + bitsOffset;
  const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(lock.as<uint8_t>() + header->biSize);

  ComPtr<IStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> properties;
  if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
      FAILED(factory->CreateEncoder(container, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, &properties)) || FAILED(frame->Initialize(properties.get())) ||
      FAILED(frame->SetSize(w, h))) {
    return false;
  }
  if (header->biXPelsPerMeter > 0 && header->biYPelsPerMeter > 0) {
    frame->SetResolution(header->biXPelsPerMeter * 0.0254, header->biYPelsPerMeter * 0.0254);
  }
  const GUID wanted = bpp == 1 ? GUID_WICPixelFormat8bppGray : GUID_WICPixelFormat24bppBGR;
  WICPixelFormatGUID format = wanted;
  if (FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, wanted)) return false;
  std::vector<uint8_t> row(size_t(w) * bpp);
  for (uint32_t y = 0; y < h; ++y) {
    const uint8_t* stored = bits + size_t(h - 1 - y) * stride;
    if (bpp == 1) {
      // Grey pictures hold palette indexes; the file holds grey levels.
      for (uint32_t x = 0; x < w; ++x) row[x] = stored[x] < colours ? palette[stored[x]].rgbGreen : 0;
    } else {
      memcpy(row.data(), stored, row.size());
    }
    if (FAILED(frame->WritePixels(1, static_cast<UINT>(row.size()), static_cast<UINT>(row.size()), row.data()))) {
      return false;
    }
  }
  if (FAILED(frame->Commit()) || FAILED(encoder->Commit())) return false;
  HGLOBAL global = nullptr;
  STATSTG stat{};
  if (FAILED(GetHGlobalFromStream(stream.get(), &global)) || FAILED(stream->Stat(&stat, STATFLAG_NONAME))) {
    return false;
  }
  const auto* bytes = static_cast<const uint8_t*>(GlobalLock(global));
  if (!bytes) return false;
  out->assign(bytes, bytes + static_cast<size_t>(stat.cbSize.QuadPart));
  GlobalUnlock(global);
  return true;
}

FileOutcome ProcessOther(const char* path, BatchOp op, int maxSide) {
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))) {
    return FileOutcome::Unchanged;
  }
  GUID containerFormat{};
  const Container container = ExaminePicture(factory.get(), path, &containerFormat);
  if (container == Container::Other) return FileOutcome::Unchanged;

  QILOPENOPTIONS options{};
  options.nMode = 1;
  QilSetLastError(0);
  OwnedMem decoded(Normalise(QilOpenFile(path, 0, &options)));
  if (!decoded) return FileOutcome::Unchanged;
  bool nothingToDo = false;
  OwnedMem processed(ApplyPixelOp(decoded.get(), op, maxSide, &nothingToDo));
  if (nothingToDo) return FileOutcome::NothingToDo;
  if (!processed) return FileOutcome::Unchanged;

  bool written;
  if (container == Container::Bmp) {
    written = WriteOverFile(path, [&](const char* temp) { return QilSaveFile(processed.get(), temp, QIL_SAVE_BMP, 0) == 0; });
  } else {
    std::vector<uint8_t> encoded;
    if (!EncodeWithWic(factory.get(), containerFormat, processed.get(), &encoded)) return FileOutcome::Unchanged;
    written = WriteOverFileWithBytes(path, encoded.data(), encoded.size());
  }
  return written ? FileOutcome::Changed : FileOutcome::Skipped;
}

}  // namespace

FileOutcome ProcessPictureFile(const char* path, BatchOp op, int maxSide) {
  if (!path || !*path) return FileOutcome::Unchanged;
  if (IsReadOnlyOrLocked(path)) return FileOutcome::Skipped;
  try {
    return IsJpegFile(path) ? ProcessJpeg(path, op, maxSide) : ProcessOther(path, op, maxSide);
  } catch (...) {
    return FileOutcome::Unchanged;
  }
}

}  // namespace batchel
