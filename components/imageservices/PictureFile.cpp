// Opening and saving picture files.
#include <new>
#include <string>
#include <vector>

#include "Decoders.h"
#include "Dib.h"
#include "Internal.h"

namespace qil {
namespace {

// Larger files are not pictures anyone means to open in an album.
constexpr ULONGLONG kMaxFileBytes = 1ull << 30;

class FileHandle {
 public:
  explicit FileHandle(HANDLE h) : h_(h) {}
  ~FileHandle() {
    if (ok()) CloseHandle(h_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return h_; }
  // Closes now and reports whether the close itself succeeded.
  bool Close() {
    bool closed = ok() && CloseHandle(h_);
    h_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE h_;  // owned
};

int CodeFromOpenError(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME:
      return QIL_ERR_NOT_FOUND;
    default:
      return QIL_ERR_IO;
  }
}

int ReadWholeFile(const char* path, std::vector<uint8_t>* bytes) {
  FileHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file.ok()) return CodeFromOpenError(GetLastError());
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.get(), &size)) return QIL_ERR_IO;
  if (size.QuadPart <= 0 || ULONGLONG(size.QuadPart) > kMaxFileBytes) return QIL_ERR_BAD_PICTURE;
  bytes->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes->size()) {
    DWORD want = static_cast<DWORD>(bytes->size() - done < (1u << 24) ? bytes->size() - done
                                                                       : (1u << 24));
    DWORD got = 0;
    if (!ReadFile(file.get(), bytes->data() + done, want, &got, nullptr)) return QIL_ERR_IO;
    if (got == 0) break;  // the file shrank under us
    done += got;
  }
  bytes->resize(done);
  return done == 0 ? QIL_ERR_BAD_PICTURE : QIL_OK;
}

int OpenPicture(const char* path, QILOPENOPTIONS* options, HTOVIMEM* picture) {
  if (!path || !*path) return QIL_ERR_BAD_ARGUMENT;
  std::vector<uint8_t> bytes;
  int code = ReadWholeFile(path, &bytes);
  if (code != QIL_OK) return code;
  if (LooksLikeJpeg(bytes.data(), bytes.size())) {
    JpegDecodeRequest request;
    if (options) request.minimumLongSide = options->nReducedSide;
    code = DecodeJpeg(bytes.data(), bytes.size(), request, picture);
    if (code == QIL_OK && options) {
      options->nFullWidth = request.fullWidth;
      options->nFullHeight = request.fullHeight;
    }
    return code;
  }
  code = DecodeWithWic(bytes.data(), bytes.size(), picture);
  if (code == QIL_OK && options) {
    DibReader opened(*picture);
    LONG height = opened.ok() ? opened.Header().biHeight : 0;
    options->nFullWidth = opened.ok() ? static_cast<DWORD>(opened.Header().biWidth) : 0;
    options->nFullHeight = static_cast<DWORD>(height < 0 ? -height : height);
  }
  return code;
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of("\\/");
  if (slash == std::string::npos) {
    // "C:name" lives in the current folder of drive C.
    return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : std::string(".");
  }
  if (slash == 0) return path.substr(0, 1);
  if (slash == 2 && path[1] == ':') return path.substr(0, 3);
  return path.substr(0, slash);
}

bool WriteAll(HANDLE file, const void* data, DWORD size) {
  DWORD written = 0;
  return WriteFile(file, data, size, &written, nullptr) && written == size;
}

// A Windows bitmap file: file header, then the packed picture as it is. The
// file goes to a temporary name in the target folder first and replaces the
// target only when complete, so a failed save leaves an old file untouched.
int SaveBitmapFile(HTOVIMEM dib, const char* path) {
  DibReader picture(dib);
  if (!picture.ok()) return QIL_ERR_BAD_ARGUMENT;
  const uint32_t packed = picture.PackedSize();
  if (packed > 0xFFFFFFFFu - sizeof(BITMAPFILEHEADER)) return QIL_ERR_BAD_ARGUMENT;
  BITMAPFILEHEADER fileHeader{};
  fileHeader.bfType = 0x4D42;  // "BM"
  fileHeader.bfSize = sizeof(BITMAPFILEHEADER) + packed;
  // The image processing library keeps brush and stamp marks in the two
  // reserved words; a fresh save carries none.
  fileHeader.bfReserved1 = 0;
  fileHeader.bfReserved2 = 0;
  fileHeader.bfOffBits = sizeof(BITMAPFILEHEADER) + picture.HeaderAndColoursSize();

  // Windows refuses to replace a read-only file; Wine's rename would not,
  // so the attribute is honoured here on both.
  DWORD attributes = GetFileAttributesA(path);
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
    return QIL_ERR_IO;
  }
  std::string folder = FolderOf(path);
  char temp[MAX_PATH];
  if (folder.size() > MAX_PATH - 14 || !GetTempFileNameA(folder.c_str(), "qil", 0, temp)) {
    return QIL_ERR_IO;
  }
  bool written = false;
  {
    FileHandle file(CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    written = file.ok() && WriteAll(file.get(), &fileHeader, sizeof(fileHeader)) &&
              WriteAll(file.get(), picture.Info(), packed) && FlushFileBuffers(file.get()) &&
              file.Close();
  }
  if (!written || !MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    DeleteFileA(temp);
    return QIL_ERR_IO;
  }
  return QIL_OK;
}

}  // namespace
}  // namespace qil

QIL_API HTOVIMEM QilOpenFile(const char* path, int /*reserved*/, QILOPENOPTIONS* options) {
  // The format is always found from the file's content: a format chosen in
  // the file dialog only narrowed what the user was shown.
  HTOVIMEM picture = nullptr;
  int code;
  try {
    code = qil::OpenPicture(path, options, &picture);
  } catch (const std::bad_alloc&) {
    code = QIL_ERR_NO_MEMORY;
  } catch (...) {
    code = QIL_ERR_BAD_PICTURE;
  }
  qil::Fail(code);
  return code == QIL_OK ? picture : nullptr;
}

QIL_API int QilSaveFile(HTOVIMEM dib, const char* path, int format, int /*options*/) {
  int code;
  if (!dib || !path || !*path || format != QIL_SAVE_BMP) {
    code = QIL_ERR_BAD_ARGUMENT;
  } else {
    try {
      code = qil::SaveBitmapFile(dib, path);
    } catch (...) {
      code = QIL_ERR_NO_MEMORY;
    }
  }
  return qil::Fail(code);
}
