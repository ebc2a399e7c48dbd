#include "image_file.hpp"

#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace kestrel::service {

namespace {

struct Layout {
  int channels;         // 3 for RGB, 1 for grey
  int bytes_per_value;  // 1 or 2
};

bool layout_of(const std::string &encoding, Layout &layout) {
  if (encoding == "rgb8") {
    layout = {3, 1};
  } else if (encoding == "mono8") {
    layout = {1, 1};
  } else if (encoding == "mono16" || encoding == "16UC1") {
    layout = {1, 2};
  } else {
    return false;
  }
  return true;
}

std::string extension_of(const std::string &path) {
  size_t dot = path.rfind('.');
  size_t slash = path.rfind('/');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    return "";
  }
  return path.substr(dot);
}

std::string folder_of(const std::string &path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool known_extension(const std::string &extension) {
  return extension == ".png" || extension == ".ppm" || extension == ".pgm";
}

// The pixel rows packed without padding, 16-bit values big-endian as both
// PNG and Netpbm store them.
std::vector<uint8_t> packed_rows(const sensor_msgs__msg__Image &image, const Layout &layout) {
  size_t row_bytes = static_cast<size_t>(image.width) * layout.channels * layout.bytes_per_value;
  std::vector<uint8_t> out(row_bytes * image.height);
  for (uint32_t y = 0; y < image.height; ++y) {
    const uint8_t *src = image.data.data + static_cast<size_t>(y) * image.step;
    uint8_t *dst = out.data() + y * row_bytes;
    if (layout.bytes_per_value == 1 || image.is_bigendian) {
      std::memcpy(dst, src, row_bytes);
    } else {
      for (size_t i = 0; i < row_bytes; i += 2) {
        dst[i] = src[i + 1];
        dst[i + 1] = src[i];
      }
    }
  }
  return out;
}

// libpng's errors end the write quietly: the caller says why, from errno.
[[noreturn]] void on_png_error(png_structp png, png_const_charp) {
  png_longjmp(png, 1);
}

void on_png_warning(png_structp, png_const_charp) {}

bool write_png(FILE *file, const sensor_msgs__msg__Image &image, const Layout &layout,
               const std::vector<uint8_t> &pixels) {
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, on_png_error, on_png_warning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    int saved = errno;
    png_destroy_write_struct(&png, &info);
    errno = saved;
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, image.width, image.height, 8 * layout.bytes_per_value,
               layout.channels == 3 ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  size_t row_bytes = pixels.size() / image.height;
  for (uint32_t y = 0; y < image.height; ++y) {
    png_write_row(png, pixels.data() + y * row_bytes);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

bool write_netpbm(FILE *file, const sensor_msgs__msg__Image &image, const Layout &layout,
                  const std::vector<uint8_t> &pixels) {
  int maxval = layout.bytes_per_value == 2 ? 65535 : 255;
  return std::fprintf(file, "P%c\n%u %u\n%d\n", layout.channels == 3 ? '6' : '5', image.width,
                      image.height, maxval) > 0 &&
         std::fwrite(pixels.data(), 1, pixels.size(), file) == pixels.size();
}

// Writes the file through `file`; false with errno set by the failed call.
bool write_file(FILE *file, bool png, const sensor_msgs__msg__Image &image, const Layout &layout,
                const std::vector<uint8_t> &pixels) {
  bool written =
      png ? write_png(file, image, layout, pixels) : write_netpbm(file, image, layout, pixels);
  written = written && std::fflush(file) == 0 && !std::ferror(file) && fsync(fileno(file)) == 0;
  int saved = errno;
  bool closed = std::fclose(file) == 0;
  if (!written) errno = saved;
  return written && closed;
}

}  // namespace

bool check_image_path(const std::string &path, std::string &error) {
  if (!known_extension(extension_of(path))) {
    error = "'" + path + "' does not end in .png, .ppm or .pgm";
    return false;
  }
  std::string folder = folder_of(path);
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    error = "cannot write into '" + folder + "': " + std::strerror(errno);
    return false;
  }
  return true;
}

bool write_image_file(const std::string &path, const sensor_msgs__msg__Image &image,
                      std::string &error) {
  std::string encoding = image.encoding.data ? image.encoding.data : "";
  Layout layout{};
  if (!layout_of(encoding, layout)) {
    error = "cannot write an image of encoding '" + encoding + "'";
    return false;
  }
  uint64_t row_bytes = uint64_t{image.width} * layout.channels * layout.bytes_per_value;
  if (image.width == 0 || image.height == 0 || image.step < row_bytes ||
      image.data.size < uint64_t{image.step} * image.height) {
    error = "the image's step or data are too short for " + std::to_string(image.width) + "x" +
            std::to_string(image.height) + " " + encoding;
    return false;
  }
  std::string extension = extension_of(path);
  bool png = extension == ".png";
  if (!png && !(extension == ".ppm" && layout.channels == 3) &&
      !(extension == ".pgm" && layout.channels == 1)) {
    error = !known_extension(extension)
                ? "'" + path + "' does not end in .png, .ppm or .pgm"
                : "a " + extension + " file cannot hold an image of encoding " + encoding;
    return false;
  }
  std::vector<uint8_t> pixels = packed_rows(image, layout);
  std::string temporary = path + ".XXXXXX";
  int fd = mkstemp(temporary.data());
  FILE *file = fd < 0 ? nullptr : fdopen(fd, "wb");
  if (!file) {
    error = "cannot create a file beside '" + path + "': " + std::strerror(errno);
    if (fd >= 0) {
      close(fd);
      unlink(temporary.c_str());
    }
    return false;
  }
  if (!write_file(file, png, image, layout, pixels)) {
    error = "cannot write '" + path + "': " + std::strerror(errno);
    unlink(temporary.c_str());
    return false;
  }
  // mkstemp makes the file private (0600); a picture is as readable as any
  // file the caller makes.
  mode_t mask = umask(0);
  umask(mask);
  if (chmod(temporary.c_str(), 0666 & ~mask) != 0 || rename(temporary.c_str(), path.c_str()) != 0) {
    error = "cannot write '" + path + "': " + std::strerror(errno);
    unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace kestrel::service
