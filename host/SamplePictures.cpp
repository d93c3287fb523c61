#include "SamplePictures.h"

#include <windows.h>
#include <wincodec.h>

#include <math.h>

#include <vector>

namespace {

template <typename T>
struct ComPtr {
  T* p = nullptr;
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p) p->Release();
  }
  T** operator&() { return &p; }
  T* operator->() const { return p; }
};

const GUID& ContainerOf(SampleFormat format) {
  switch (format) {
    case SampleFormat::Jpeg: return GUID_ContainerFormatJpeg;
    case SampleFormat::Png: return GUID_ContainerFormatPng;
    case SampleFormat::Gif: return GUID_ContainerFormatGif;
    case SampleFormat::Tiff: return GUID_ContainerFormatTiff;
    default: return GUID_ContainerFormatBmp;
  }
}

// A sunset-like scene: sky gradient, a sun, hills and a little texture, so
// that thumbnails of different samples are easy to tell apart.
void PaintScene(std::vector<BYTE>& bgr, int width, int height, int seed) {
  double hue = (seed * 47 % 360) / 360.0;
  double sunX = width * (0.25 + 0.5 * ((seed * 37) % 100) / 100.0);
  double sunY = height * 0.35;
  double sunR = (width < height ? width : height) * 0.12;
  unsigned noise = 12345u + static_cast<unsigned>(seed);
  for (int y = 0; y < height; ++y) {
    double v = static_cast<double>(y) / height;
    for (int x = 0; x < width; ++x) {
      double r, g, b;
      double hillTop = height * (0.62 + 0.07 * sin(6.28 * (x / static_cast<double>(width) * 2 + seed)));
      if (y > hillTop) {
        r = 40 + 60 * hue;
        g = 110 + 60 * (1 - v);
        b = 50;
      } else {
        r = 255 * (0.95 - 0.5 * v * hue);
        g = 255 * (0.55 + 0.35 * v);
        b = 255 * (0.35 + 0.6 * v * (1 - hue));
      }
      double dx = x - sunX, dy = y - sunY;
      if (dx * dx + dy * dy < sunR * sunR) {
        r = 255;
        g = 230;
        b = 120;
      }
      noise = noise * 1103515245u + 12345u;
      double grain = static_cast<double>((noise >> 16) & 15) - 7.5;
      BYTE* px = &bgr[(static_cast<size_t>(y) * width + x) * 3];
      auto clamp = [](double c) { return static_cast<BYTE>(c < 0 ? 0 : c > 255 ? 255 : c); };
      px[0] = clamp(b + grain);
      px[1] = clamp(g + grain);
      px[2] = clamp(r + grain);
    }
  }
}

}  // namespace

bool WriteSamplePicture(const std::string& path, SampleFormat format, int width, int height, bool grey,
                        int seed) {
  std::vector<BYTE> bgr(static_cast<size_t>(width) * height * 3);
  PaintScene(bgr, width, height, seed);

  HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  bool ok = false;
  {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    std::wstring wpath(path.begin(), path.end());
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                  reinterpret_cast<void**>(&factory));
    if (SUCCEEDED(hr)) hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(wpath.c_str(), GENERIC_WRITE);
    if (SUCCEEDED(hr)) hr = factory->CreateEncoder(ContainerOf(format), nullptr, &encoder);
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.p, WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, &options);
    if (SUCCEEDED(hr)) hr = frame->Initialize(options.p);
    if (SUCCEEDED(hr)) hr = frame->SetSize(width, height);

    WICPixelFormatGUID pixelFormat = grey ? GUID_WICPixelFormat8bppGray : GUID_WICPixelFormat24bppBGR;
    if (format == SampleFormat::Gif) pixelFormat = GUID_WICPixelFormat8bppIndexed;
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&pixelFormat);

    std::vector<BYTE> pixels;
    UINT stride = 0;
    if (SUCCEEDED(hr)) {
      bool oneByte = pixelFormat != GUID_WICPixelFormat24bppBGR;
      stride = static_cast<UINT>(oneByte ? (width + 3) & ~3 : (width * 3 + 3) & ~3);
      pixels.assign(static_cast<size_t>(stride) * height, 0);
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          const BYTE* src = &bgr[(static_cast<size_t>(y) * width + x) * 3];
          BYTE* row = &pixels[static_cast<size_t>(y) * stride];
          if (oneByte) {
            row[x] = static_cast<BYTE>((src[0] * 29 + src[1] * 150 + src[2] * 77) >> 8);
          } else {
            row[x * 3] = src[0];
            row[x * 3 + 1] = src[1];
            row[x * 3 + 2] = src[2];
          }
        }
      }
      if (pixelFormat == GUID_WICPixelFormat8bppIndexed) {
        // GIF needs a palette: a grey ramp keeps the sample simple.
        ComPtr<IWICPalette> palette;
        hr = factory->CreatePalette(&palette);
        if (SUCCEEDED(hr)) hr = palette->InitializePredefined(WICBitmapPaletteTypeFixedGray256, FALSE);
        if (SUCCEEDED(hr)) hr = frame->SetPalette(palette.p);
      }
    }
    if (SUCCEEDED(hr)) hr = frame->WritePixels(height, stride, static_cast<UINT>(pixels.size()), pixels.data());
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    ok = SUCCEEDED(hr);
  }
  if (SUCCEEDED(init)) CoUninitialize();
  if (!ok) DeleteFileA(path.c_str());
  return ok;
}
