#include "BriselUIFiles/JpegImage.h"

#include <csetjmp>
#include <cstdio>
#include <vector>

#include <jpeglib.h>

namespace brisel {
namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf escape;
  bool warned = false;
};

void OnError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->escape, 1);
}

// Corrupt or truncated data is only a warning to libjpeg (it fills the rest in grey); a
// thumbnail like that counts as not loaded.
void OnMessage(j_common_ptr info, int level) {
  if (level < 0) reinterpret_cast<ErrorManager*>(info->err)->warned = true;
}

// Kept free of objects with destructors: the error path leaves it by longjmp.
bool Decode(std::FILE* file, ImageSize* size, JSAMPLE* row, std::size_t rowBytes) {
  jpeg_decompress_struct info;
  ErrorManager errors;
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = OnError;
  errors.base.emit_message = OnMessage;
  if (setjmp(errors.escape)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  // Decode at the smallest scale: every byte of the data is still read and checked.
  info.scale_num = 1;
  info.scale_denom = 8;
  jpeg_start_decompress(&info);
  std::size_t need = static_cast<std::size_t>(info.output_width) * info.output_components;
  bool ok = need <= rowBytes;
  while (ok && info.output_scanline < info.output_height) {
    JSAMPROW rows[1] = {row};
    jpeg_read_scanlines(&info, rows, 1);
  }
  if (ok) jpeg_finish_decompress(&info);
  size->width = static_cast<int>(info.image_width);
  size->height = static_cast<int>(info.image_height);
  jpeg_destroy_decompress(&info);
  return ok && !errors.warned;
}

}  // namespace

ImageSize DecodeJpegSize(const std::string& path) {
  ImageSize size;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return size;
  // One row of the 1/8-scale picture: at most 65535 / 8 pixels of 4 components.
  std::vector<JSAMPLE> row(8192 * 4);
  ImageSize decoded;
  bool ok = Decode(file, &decoded, row.data(), row.size());
  std::fclose(file);
  return ok ? decoded : size;
}

}  // namespace brisel
