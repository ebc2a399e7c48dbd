// Image pixels and PNG files (libpng, 8-bit RGB).
#include <png.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "harness.hpp"

namespace kestrel::test {

namespace {

struct FileCloser {
  void operator()(FILE *f) const { fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

File open_file(const std::string &path, const char *mode) {
  File f(fopen(path.c_str(), mode));
  if (!f) throw std::runtime_error("cannot open " + path);
  return f;
}

}  // namespace

Image::Pixel Image::at(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) throw std::out_of_range("pixel outside image");
  const uint8_t *p = &rgb[((size_t)y * width + x) * 3];
  return {p[0], p[1], p[2]};
}

void Image::save_png(const std::string &path) const {
  File f = open_file(path, "wb");
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw std::runtime_error("cannot write PNG " + path);
  }
  png_init_io(png, f.get());
  png_set_IHDR(png, info, (png_uint_32)width, (png_uint_32)height, 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < height; y++) png_write_row(png, &rgb[(size_t)y * width * 3]);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
}

Image load_png(const std::string &path) {
  File f = open_file(path, "rb");
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  // Declared before setjmp: a read error jumps back past everything created later.
  Image image;
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    throw std::runtime_error("cannot read PNG " + path);
  }
  png_init_io(png, f.get());
  png_read_info(png, info);
  // Whatever the file holds, read it as 8-bit RGB.
  png_set_expand(png);
  png_set_strip_16(png);
  png_set_strip_alpha(png);
  png_set_gray_to_rgb(png);
  int passes = png_set_interlace_handling(png);
  png_read_update_info(png, info);
  image.width = (int)png_get_image_width(png, info);
  image.height = (int)png_get_image_height(png, info);
  image.rgb.resize((size_t)image.width * image.height * 3);
  for (int pass = 0; pass < passes; pass++) {
    for (int y = 0; y < image.height; y++) {
      png_read_row(png, &image.rgb[(size_t)y * image.width * 3], nullptr);
    }
  }
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return image;
}

}  // namespace kestrel::test
