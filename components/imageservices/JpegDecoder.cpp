// JPEG pictures through libjpeg (libjpeg-turbo), with the Exif orientation
// applied so that pictures come out upright.
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include "Decoders.h"
#include "Dib.h"
#include "ExifOrientation.h"
#include "Internal.h"

extern "C" {
#include <jerror.h>
#include <jpeglib.h>
}

namespace qil {
namespace {

// How often, in rows, the stop test is asked.
constexpr JDIMENSION kRowsPerStopCheck = 16;

struct ErrorManager {
  jpeg_error_mgr pub;  // first, so that libjpeg's pointer is ours too
  jmp_buf jump;
  int code = QIL_ERR_BAD_PICTURE;
};

// libjpeg's own error handler exits the process: ours jumps back instead.
void OnJpegError(j_common_ptr cinfo) {
  auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
  errors->code = cinfo->err->msg_code == JERR_OUT_OF_MEMORY ? QIL_ERR_NO_MEMORY
                                                              : QIL_ERR_BAD_PICTURE;
  longjmp(errors->jump, 1);
}

// A file that ends early makes libjpeg warn and pad the rest with grey; a
// half-grey picture is not what the caller asked for, so that warning fails.
void OnJpegMessage(j_common_ptr cinfo, int level) {
  if (level == -1 && cinfo->err->msg_code == JWRN_JPEG_EOF) {
    auto* errors = reinterpret_cast<ErrorManager*>(cinfo->err);
    errors->code = QIL_ERR_BAD_PICTURE;
    longjmp(errors->jump, 1);
  }
}

int32_t PelsPerMeterFromJfif(const jpeg_decompress_struct& cinfo, UINT16 density) {
  if (density == 0) return 0;
  if (cinfo.density_unit == 1) return PelsPerMeterFromDpi(density);
  if (cinfo.density_unit == 2) return static_cast<int32_t>(density) * 100;
  return 0;  // only an aspect ratio
}

// Adobe writes CMYK inverted (255 = no ink); other writers store ink amounts.
void CmykRowToBgr(const uint8_t* cmyk, uint8_t* bgr, JDIMENSION width, bool inverted) {
  for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c; m = 255 - m; y = 255 - y; k = 255 - k;
    }
    bgr[0] = static_cast<uint8_t>((y * k + 127) / 255);
    bgr[1] = static_cast<uint8_t>((m * k + 127) / 255);
    bgr[2] = static_cast<uint8_t>((c * k + 127) / 255);
  }
}

// Everything that must survive a longjmp lives here, on the heap, so that
// nothing the jump lands on sits in a register.
struct Session {
  jpeg_decompress_struct cinfo{};
  ErrorManager errors;
  bool created = false;
  DibWriter dib;
  std::vector<uint8_t> scratch;
  ~Session() {
    if (created) jpeg_destroy_decompress(&cinfo);
  }
};

int Decode(Session& s, const uint8_t* data, size_t size, JpegDecodeRequest& request,
           HTOVIMEM* picture) {
  jpeg_decompress_struct& cinfo = s.cinfo;
  if (setjmp(s.errors.jump)) return s.errors.code;

  s.created = true;  // destroying a half-made decompressor is harmless
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) return QIL_ERR_BAD_PICTURE;

  bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
  bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = grey ? JCS_GRAYSCALE : cmyk ? JCS_CMYK : JCS_EXT_BGR;
  unsigned denominator = request.scaleDenominator;
  if (request.minimumLongSide) {
    const unsigned longSide = cinfo.image_width > cinfo.image_height ? cinfo.image_width : cinfo.image_height;
    denominator = 1;
    for (unsigned d : {8u, 4u, 2u}) {
      // libjpeg rounds reduced sizes up.
      if ((longSide + d - 1) / d >= request.minimumLongSide) {
        denominator = d;
        break;
      }
    }
  }
  if (denominator != 2 && denominator != 4 && denominator != 8) denominator = 1;
  cinfo.scale_num = 1;
  cinfo.scale_denom = denominator;
  jpeg_calc_output_dimensions(&cinfo);

  const JDIMENSION width = cinfo.output_width, height = cinfo.output_height;
  const int orientation = ReadJpegExifOrientation(data, size);
  const bool swap = OrientationSwapsAxes(orientation);
  request.fullWidth = swap ? cinfo.image_height : cinfo.image_width;
  request.fullHeight = swap ? cinfo.image_width : cinfo.image_height;
  int32_t xPels = PelsPerMeterFromJfif(cinfo, cinfo.X_density);
  int32_t yPels = PelsPerMeterFromJfif(cinfo, cinfo.Y_density);
  int code = s.dib.Create(swap ? height : width, swap ? width : height,
                          grey ? PixelKind::Grey8 : PixelKind::Bgr24, swap ? yPels : xPels,
                          swap ? xPels : yPels);
  if (code != QIL_OK) return code;

  const bool direct = orientation == kOrientationUpright && !cmyk;
  if (!direct) {
    size_t components = grey ? 1 : cmyk ? 4 : 3;
    size_t converted = cmyk ? size_t(width) * 3 : 0;
    s.scratch.resize(size_t(width) * components + converted);
  }
  jpeg_start_decompress(&cinfo);
  while (cinfo.output_scanline < height) {
    JDIMENSION y = cinfo.output_scanline;
    if (y % kRowsPerStopCheck == 0 && StopRequested()) return QIL_ERR_STOPPED;
    JSAMPROW row = direct ? s.dib.Row(y) : s.scratch.data();
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) return QIL_ERR_BAD_PICTURE;
    if (direct) continue;
    const uint8_t* upright = s.scratch.data();
    if (cmyk) {
      uint8_t* bgr = s.scratch.data() + size_t(width) * 4;
      CmykRowToBgr(s.scratch.data(), bgr, width, cinfo.saw_Adobe_marker);
      upright = bgr;
    }
    PlaceStoredRow(s.dib, orientation, width, height, y, upright);
  }
  *picture = s.dib.Release();
  return QIL_OK;
}

}  // namespace

int DecodeJpeg(const uint8_t* data, size_t size, JpegDecodeRequest& request,
               HTOVIMEM* picture) {
  auto session = std::make_unique<Session>();
  jpeg_std_error(&session->errors.pub);
  session->errors.pub.error_exit = OnJpegError;
  session->errors.pub.emit_message = OnJpegMessage;
  session->cinfo.err = &session->errors.pub;
  return Decode(*session, data, size, request, picture);
}

}  // namespace qil
