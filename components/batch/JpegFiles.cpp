#include <windows.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <memory>

// libjpeg's headers need FILE and size_t first.
extern "C" {
#include <jpeglib.h>
#include <transupp.h>
}

#include "../../platform/DibLayout.h"
#include "../../platform/Memory.h"
#include "JpegFiles.h"

namespace batchel {

namespace {

struct ErrorJump {
  jpeg_error_mgr manager;
  jmp_buf jump;
};

void JumpOnError(j_common_ptr info) { longjmp(reinterpret_cast<ErrorJump*>(info->err)->jump, 1); }
void Silent(j_common_ptr) {}

void SetUpErrors(ErrorJump* errors) {
  jpeg_std_error(&errors->manager);
  errors->manager.error_exit = JumpOnError;
  errors->manager.output_message = Silent;
}

JXFORM_CODE TransformOf(BatchOp op) {
  switch (op) {
    case BatchOp::RotateClockwise: return JXFORM_ROT_90;
    case BatchOp::Rotate180: return JXFORM_ROT_180;
    case BatchOp::RotateAnticlockwise: return JXFORM_ROT_270;
    case BatchOp::FlipHorizontal: return JXFORM_FLIP_H;
    case BatchOp::FlipVertical: return JXFORM_FLIP_V;
    default: return JXFORM_NONE;
  }
}

// Every state a failure must clean up lives here, not in locals that a
// longjmp could leave stale.
struct TurnState {
  jpeg_decompress_struct src;
  jpeg_compress_struct dst;
  ErrorJump errors;
  jpeg_transform_info transform;
  unsigned char* out = nullptr;  // malloc'ed by libjpeg's memory destination
  unsigned long outSize = 0;
  ~TurnState() {
    jpeg_destroy_compress(&dst);
    jpeg_destroy_decompress(&src);
    free(out);
  }
};

struct DecodeState {
  jpeg_decompress_struct src;
  ErrorJump errors;
  OwnedMem dib;
  ~DecodeState() { jpeg_destroy_decompress(&src); }
};

struct EncodeState {
  jpeg_compress_struct dst;
  ErrorJump errors;
  unsigned char* out = nullptr;
  unsigned long outSize = 0;
  std::vector<uint8_t> scratch;
  ~EncodeState() {
    jpeg_destroy_compress(&dst);
    free(out);
  }
};

template <typename T>
std::unique_ptr<T> ZeroedState() {
  std::unique_ptr<T> state(new T);
  memset(&state->errors, 0, sizeof(state->errors));
  return state;
}

}  // namespace

JpegTurnResult TurnJpegLossless(const uint8_t* data, size_t size, BatchOp op, std::vector<uint8_t>* out) {
  if (!data || size < 4 || !IsTurn(op) || size > 0x7FFFFFFF) return JpegTurnResult::Failed;
  auto state = ZeroedState<TurnState>();
  TurnState* s = state.get();
  memset(&s->src, 0, sizeof(s->src));
  memset(&s->dst, 0, sizeof(s->dst));
  memset(&s->transform, 0, sizeof(s->transform));
  SetUpErrors(&s->errors);
  s->src.err = &s->errors.manager;
  s->dst.err = &s->errors.manager;
  if (setjmp(s->errors.jump)) return JpegTurnResult::Failed;

  jpeg_create_decompress(&s->src);
  jpeg_create_compress(&s->dst);
  jpeg_mem_src(&s->src, data, static_cast<unsigned long>(size));
  jcopy_markers_setup(&s->src, JCOPYOPT_ALL);
  jpeg_read_header(&s->src, TRUE);
  s->transform.transform = TransformOf(op);
  s->transform.perfect = TRUE;
  s->transform.trim = FALSE;
  s->transform.force_grayscale = FALSE;
  s->transform.crop = FALSE;
  s->transform.slow_hflip = FALSE;
  // With perfect set this refuses sizes whose edge blocks would have to move.
  if (!jtransform_request_workspace(&s->src, &s->transform)) return JpegTurnResult::NotWholeBlocks;
  jvirt_barray_ptr* srcCoefficients = jpeg_read_coefficients(&s->src);
  jpeg_copy_critical_parameters(&s->src, &s->dst);
  jvirt_barray_ptr* dstCoefficients =
      jtransform_adjust_parameters(&s->src, &s->dst, srcCoefficients, &s->transform);
  jpeg_mem_dest(&s->dst, &s->out, &s->outSize);
  jpeg_write_coefficients(&s->dst, dstCoefficients);
  jcopy_markers_execute(&s->src, &s->dst, JCOPYOPT_ALL);
  jtransform_execute_transform(&s->src, &s->dst, srcCoefficients, &s->transform);
  jpeg_finish_compress(&s->dst);
  jpeg_finish_decompress(&s->src);
  out->assign(s->out, s->out + s->outSize);
  return JpegTurnResult::Done;
}

HTOVIMEM DecodeJpeg(const uint8_t* data, size_t size, JpegExtras* extras) {
  if (!data || size < 4 || size > 0x7FFFFFFF) return nullptr;
  auto state = ZeroedState<DecodeState>();
  DecodeState* s = state.get();
  memset(&s->src, 0, sizeof(s->src));
  SetUpErrors(&s->errors);
  s->src.err = &s->errors.manager;
  if (setjmp(s->errors.jump)) return nullptr;

  jpeg_create_decompress(&s->src);
  jpeg_mem_src(&s->src, data, static_cast<unsigned long>(size));
  for (int n = 1; n <= 15; ++n) {
    // Adobe's APP14 describes the old colour transform; the encoder writes its own.
    if (n != 14) jpeg_save_markers(&s->src, JPEG_APP0 + n, 0xFFFF);
  }
  jpeg_save_markers(&s->src, JPEG_COM, 0xFFFF);
  jpeg_read_header(&s->src, TRUE);
  // The saved markers live in libjpeg's per-picture pool, which the end of
  // decompression frees: copy them now.
  extras->markers.clear();
  extras->hasExif = false;
  for (jpeg_saved_marker_ptr m = s->src.marker_list; m; m = m->next) {
    extras->markers.push_back({m->marker, std::vector<uint8_t>(m->data, m->data + m->data_length)});
    if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 && memcmp(m->data, "Exif\0\0", 6) == 0) {
      extras->hasExif = true;
    }
  }
  extras->hasDensity = s->src.saw_JFIF_marker;
  extras->densityUnit = s->src.density_unit;
  extras->xDensity = s->src.X_density;
  extras->yDensity = s->src.Y_density;
  const bool grey = s->src.jpeg_color_space == JCS_GRAYSCALE;
  if (!grey && s->src.num_components != 3) return nullptr;
  s->src.out_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_start_decompress(&s->src);
  const uint32_t w = s->src.output_width, h = s->src.output_height;
  if (w == 0 || h == 0 || w > 65535 || h > 65535) return nullptr;
  const uint32_t bpp = grey ? 1 : 3;
  const uint32_t stride = (w * bpp + 3) & ~3u;
  const uint32_t colours = grey ? 256 : 0;
  const uint64_t total = sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD) + uint64_t(stride) * h;
  if (total > 0x7FFFFFFF) return nullptr;
  s->dib.reset(ToviMemAlloc(TOVI_MOVABLE_ZERO, static_cast<DWORD>(total)));
  if (!s->dib) return nullptr;
  {
    MemLock lock(s->dib.get());
    if (!lock) return nullptr;
    auto* header = lock.as<BITMAPINFOHEADER>();
    header->biSize = sizeof(BITMAPINFOHEADER);
    header->biWidth = static_cast<LONG>(w);
    header->biHeight = static_cast<LONG>(h);
    header->biPlanes = 1;
    header->biBitCount = static_cast<WORD>(bpp * 8);
    header->biCompression = BI_RGB;
    header->biSizeImage = stride * h;
    header->biClrUsed = colours;
    if (s->src.saw_JFIF_marker && s->src.X_density && s->src.Y_density &&
        (s->src.density_unit == 1 || s->src.density_unit == 2)) {
      const double perMetre = s->src.density_unit == 1 ? 100.0 / 2.54 : 100.0;
      header->biXPelsPerMeter = static_cast<LONG>(s->src.X_density * perMetre + 0.5);
      header->biYPelsPerMeter = static_cast<LONG>(s->src.Y_density * perMetre + 0.5);
    }
    auto* palette = reinterpret_cast<RGBQUAD*>(header + 1);
    for (uint32_t i = 0; i < colours; ++i) {
      palette[i] = RGBQUAD{static_cast<BYTE>(i), static_cast<BYTE>(i), static_cast<BYTE>(i), 0};
    }
    uint8_t* bits = reinterpret_cast<uint8_t*>(palette + colours);
    while (s->src.output_scanline < h) {
      JSAMPROW row = bits + size_t(h - 1 - s->src.output_scanline) * stride;
      jpeg_read_scanlines(&s->src, &row, 1);
    }
  }
  jpeg_finish_decompress(&s->src);

  return s->dib.release();
}

bool EncodeJpeg(HTOVIMEM dib, const JpegExtras& extras, std::vector<uint8_t>* out) {
  if (!dib) return false;
  MemLock lock(dib);
  if (!lock) return false;
  const DWORD total = ToviMemSize(dib);
  dib::Rules rules;
  rules.maxSide = 65535;
  dib::Layout layout;
  if (dib::CheckLayout(lock.as<uint8_t>(), total, rules, &layout)) return false;
  // Written here: plain bottom-up rows of 8 or 24 bits.
  if (layout.compression != dib::kRgb || layout.topDown || (layout.bitCount != 24 && layout.bitCount != 8)) {
    return false;
  }
  const uint32_t w = layout.width, h = layout.height;
  const uint32_t bpp = layout.bitCount / 8;
  // A 24-bit picture may carry a colour table too: the rows follow it, and
  // only an 8-bit picture's pixels index it. volatile: read again after the
  // setjmp below.
  const volatile uint32_t colours = bpp == 1 ? layout.colours : 0;
  const RGBQUAD* palette = reinterpret_cast<const RGBQUAD*>(lock.as<uint8_t>() + layout.headerSize + layout.maskBytes);
  const uint32_t stride = static_cast<uint32_t>(layout.stride);
  const uint64_t bitsOffset = layout.headerAndColours;
  const uint8_t* bits = lock.as<uint8_t>() + bitsOffset;
  bool greyRamp = bpp == 1;
  for (uint32_t i = 0; greyRamp && i < colours; ++i) {
    greyRamp = palette[i].rgbRed == palette[i].rgbGreen && palette[i].rgbGreen == palette[i].rgbBlue;
  }

  auto state = ZeroedState<EncodeState>();
  EncodeState* s = state.get();
  memset(&s->dst, 0, sizeof(s->dst));
  s->scratch.resize(size_t(w) * 3);
  SetUpErrors(&s->errors);
  s->dst.err = &s->errors.manager;
  if (setjmp(s->errors.jump)) return false;

  jpeg_create_compress(&s->dst);
  jpeg_mem_dest(&s->dst, &s->out, &s->outSize);
  s->dst.image_width = w;
  s->dst.image_height = h;
  s->dst.input_components = greyRamp ? 1 : 3;
  s->dst.in_color_space = greyRamp ? JCS_GRAYSCALE : JCS_EXT_BGR;
  jpeg_set_defaults(&s->dst);
  jpeg_set_quality(&s->dst, 90, TRUE);
  // An Exif file carries no JFIF marker (the two both claim to come first).
  s->dst.write_JFIF_header = extras.hasExif ? FALSE : TRUE;
  if (extras.hasDensity) {
    s->dst.density_unit = extras.densityUnit;
    s->dst.X_density = extras.xDensity;
    s->dst.Y_density = extras.yDensity;
  }
  jpeg_start_compress(&s->dst, TRUE);
  for (const auto& marker : extras.markers) {
    jpeg_write_marker(&s->dst, marker.code, marker.data.data(), static_cast<unsigned int>(marker.data.size()));
  }
  while (s->dst.next_scanline < h) {
    const uint8_t* stored = bits + size_t(h - 1 - s->dst.next_scanline) * stride;
    JSAMPROW row;
    if (bpp == 3) {
      row = const_cast<uint8_t*>(stored);
    } else if (greyRamp) {
      for (uint32_t x = 0; x < w; ++x) {
        s->scratch[x] = stored[x] < colours ? palette[stored[x]].rgbGreen : 0;
      }
      row = s->scratch.data();
    } else {
      for (uint32_t x = 0; x < w; ++x) {
        const RGBQUAD c = stored[x] < colours ? palette[stored[x]] : RGBQUAD{0, 0, 0, 0};
        s->scratch[x * 3] = c.rgbBlue;
        s->scratch[x * 3 + 1] = c.rgbGreen;
        s->scratch[x * 3 + 2] = c.rgbRed;
      }
      row = s->scratch.data();
    }
    jpeg_write_scanlines(&s->dst, &row, 1);
  }
  jpeg_finish_compress(&s->dst);
  out->assign(s->out, s->out + s->outSize);
  return true;
}

}  // namespace batchel
