// Every picture format other than JPEG, through the Windows Imaging Component.
// Frames are read in bands of rows as 32-bit BGRA, composited over white and
// stored as 24-bit colour or, for grey pictures, 8-bit grey. (WIC cannot turn
// an 8-bit palette frame straight into 24 bits under Wine, and its scaler is
// not used at all: resampling is the image processing library's job.)
#include <wincodec.h>

#include <cmath>
#include <vector>

#include "ComScope.h"
#include "Decoders.h"
#include "Dib.h"
#include "Internal.h"

namespace qil {
namespace {

constexpr UINT kBandRows = 32;

int CodeFromHresult(HRESULT hr) {
  return hr == E_OUTOFMEMORY ? QIL_ERR_NO_MEMORY : QIL_ERR_BAD_PICTURE;
}

bool IsGreyFormat(const WICPixelFormatGUID& f) {
  return f == GUID_WICPixelFormatBlackWhite || f == GUID_WICPixelFormat2bppGray ||
         f == GUID_WICPixelFormat4bppGray || f == GUID_WICPixelFormat8bppGray ||
         f == GUID_WICPixelFormat16bppGray || f == GUID_WICPixelFormat16bppGrayFixedPoint ||
         f == GUID_WICPixelFormat16bppGrayHalf || f == GUID_WICPixelFormat32bppGrayFloat;
}

bool IsIndexedFormat(const WICPixelFormatGUID& f) {
  return f == GUID_WICPixelFormat1bppIndexed || f == GUID_WICPixelFormat2bppIndexed ||
         f == GUID_WICPixelFormat4bppIndexed || f == GUID_WICPixelFormat8bppIndexed;
}

// A palette counts as grey when every colour that can show is grey; a fully
// transparent entry becomes white over the background, which is grey too.
bool PaletteIsGrey(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame,
                   IWICBitmapDecoder* decoder) {
  ComRef<IWICPalette> palette;
  if (FAILED(factory->CreatePalette(palette.out()))) return false;
  if (FAILED(frame->CopyPalette(palette.get())) && FAILED(decoder->CopyPalette(palette.get()))) {
    return false;
  }
  UINT count = 0;
  if (FAILED(palette->GetColorCount(&count)) || count == 0 || count > 256) return false;
  WICColor colours[256];
  UINT got = 0;
  if (FAILED(palette->GetColors(count, colours, &got))) return false;
  for (UINT i = 0; i < got; ++i) {
    WICColor c = colours[i];
    if ((c >> 24) == 0) continue;
    BYTE r = (c >> 16) & 0xFF, g = (c >> 8) & 0xFF, b = c & 0xFF;
    if (r != g || g != b) return false;
  }
  return true;
}

// An icon holds several pictures: the largest is the one worth showing.
HRESULT PickFrame(IWICBitmapDecoder* decoder, IWICBitmapFrameDecode** frame) {
  GUID container{};
  UINT frames = 0;
  if (FAILED(decoder->GetContainerFormat(&container)) || container != GUID_ContainerFormatIco ||
      FAILED(decoder->GetFrameCount(&frames)) || frames <= 1) {
    return decoder->GetFrame(0, frame);
  }
  UINT best = 0;
  unsigned long long bestArea = 0;
  for (UINT i = 0; i < frames; ++i) {
    ComRef<IWICBitmapFrameDecode> candidate;
    UINT w = 0, h = 0;
    if (FAILED(decoder->GetFrame(i, candidate.out())) || FAILED(candidate->GetSize(&w, &h))) {
      continue;
    }
    if (static_cast<unsigned long long>(w) * h > bestArea) {
      bestArea = static_cast<unsigned long long>(w) * h;
      best = i;
    }
  }
  return decoder->GetFrame(best, frame);
}

inline uint8_t OverWhite(unsigned value, unsigned alpha) {
  return static_cast<uint8_t>((value * alpha + 255 * (255 - alpha) + 127) / 255);
}

void BgraRowToBgr(const uint8_t* bgra, uint8_t* bgr, UINT width) {
  for (UINT x = 0; x < width; ++x, bgra += 4, bgr += 3) {
    unsigned a = bgra[3];
    bgr[0] = OverWhite(bgra[0], a);
    bgr[1] = OverWhite(bgra[1], a);
    bgr[2] = OverWhite(bgra[2], a);
  }
}

void BgraRowToGrey(const uint8_t* bgra, uint8_t* grey, UINT width) {
  for (UINT x = 0; x < width; ++x, bgra += 4) grey[x] = OverWhite(bgra[1], bgra[3]);
}

int Decode(const uint8_t* data, size_t size, HTOVIMEM* picture) {
  if (size > 0xFFFFFFFFu) return QIL_ERR_BAD_PICTURE;
  ComRef<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()));
  if (FAILED(hr)) return QIL_ERR_BAD_PICTURE;
  ComRef<IWICStream> stream;
  if (FAILED(hr = factory->CreateStream(stream.out())) ||
      FAILED(hr = stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(size)))) {
    return CodeFromHresult(hr);
  }
  ComRef<IWICBitmapDecoder> decoder;
  if (FAILED(hr = factory->CreateDecoderFromStream(stream.get(), nullptr,
                                                   WICDecodeMetadataCacheOnDemand,
                                                   decoder.out()))) {
    return CodeFromHresult(hr);
  }
  ComRef<IWICBitmapFrameDecode> frame;
  if (FAILED(hr = PickFrame(decoder.get(), frame.out()))) return CodeFromHresult(hr);
  UINT width = 0, height = 0;
  WICPixelFormatGUID format{};
  if (FAILED(hr = frame->GetSize(&width, &height)) || FAILED(hr = frame->GetPixelFormat(&format))) {
    return CodeFromHresult(hr);
  }
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) {
    return QIL_ERR_BAD_PICTURE;
  }
  bool grey = IsGreyFormat(format) ||
              (IsIndexedFormat(format) && PaletteIsGrey(factory.get(), frame.get(), decoder.get()));
  double dpiX = 0, dpiY = 0;
  if (FAILED(frame->GetResolution(&dpiX, &dpiY))) dpiX = dpiY = 0;

  DibWriter dib;
  int code = dib.Create(width, height, grey ? PixelKind::Grey8 : PixelKind::Bgr24,
                        PelsPerMeterFromDpi(dpiX), PelsPerMeterFromDpi(dpiY));
  if (code != QIL_OK) return code;

  ComRef<IWICFormatConverter> converter;
  if (FAILED(hr = factory->CreateFormatConverter(converter.out())) ||
      FAILED(hr = converter->Initialize(frame.get(), GUID_WICPixelFormat32bppBGRA,
                                        WICBitmapDitherTypeNone, nullptr, 0.0,
                                        WICBitmapPaletteTypeCustom))) {
    return CodeFromHresult(hr);
  }
  const UINT bandStride = width * 4;  // width <= 65535, so no overflow
  std::vector<uint8_t> band(size_t(bandStride) * kBandRows);
  for (UINT top = 0; top < height; top += kBandRows) {
    if (StopRequested()) return QIL_ERR_STOPPED;
    UINT rows = height - top < kBandRows ? height - top : kBandRows;
    WICRect rect = {0, static_cast<INT>(top), static_cast<INT>(width), static_cast<INT>(rows)};
    if (FAILED(hr = converter->CopyPixels(&rect, bandStride, bandStride * rows, band.data()))) {
      return CodeFromHresult(hr);
    }
    for (UINT r = 0; r < rows; ++r) {
      const uint8_t* source = band.data() + size_t(r) * bandStride;
      if (grey) {
        BgraRowToGrey(source, dib.Row(top + r), width);
      } else {
        BgraRowToBgr(source, dib.Row(top + r), width);
      }
    }
  }
  *picture = dib.Release();
  return QIL_OK;
}

}  // namespace

int32_t PelsPerMeterFromDpi(double dpi) {
  if (!(dpi > 0) || dpi > 1e6) return 0;
  return static_cast<int32_t>(std::lround(dpi * 10000.0 / 254.0));
}

int DecodeWithWic(const uint8_t* data, size_t size, HTOVIMEM* picture) {
  ComScope com;
  if (!com.usable()) return QIL_ERR_BAD_PICTURE;
  return Decode(data, size, picture);
}

}  // namespace qil
