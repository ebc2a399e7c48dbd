// An Xvfb server for window tests, driven with xdotool; window screenshots
// come from xwd, whose XWD dumps are decoded here.
#include <csignal>
#include <memory>
#include <stdexcept>
#include <thread>

#include "harness.hpp"

namespace kestrel::test {

namespace {

constexpr milliseconds kStartTimeout(15000);  // for Xvfb to report its display
constexpr milliseconds kToolTimeout(10000);   // for one xdotool or xwd run
constexpr milliseconds kPollInterval(50);     // between window searches and screenshots

// XWD file layout: a header of 25 big-endian 32-bit fields, the window name,
// `ncolors` 12-byte colour records, then the pixels.
enum XwdField {
  kHeaderSize = 0,
  kPixmapFormat = 2,
  kPixmapWidth = 4,
  kPixmapHeight = 5,
  kByteOrder = 7,
  kBitsPerPixel = 11,
  kBytesPerLine = 12,
  kRedMask = 14,
  kGreenMask = 15,
  kBlueMask = 16,
  kNColors = 19,
  kXwdFields = 25
};
constexpr uint32_t kZPixmap = 2;
constexpr size_t kColorRecord = 12;  // bytes per XWD colour record

uint32_t big_endian32(const std::string &data, size_t at) {
  auto b = [&](size_t i) { return (uint32_t)(uint8_t)data[at + i]; };
  return b(0) << 24 | b(1) << 16 | b(2) << 8 | b(3);
}

// One colour channel of a pixel value, scaled to 0..255.
uint8_t channel(uint32_t value, uint32_t mask) {
  if (mask == 0) return 0;
  int shift = __builtin_ctz(mask), bits = __builtin_popcount(mask);
  uint32_t c = (value & mask) >> shift;
  if (bits >= 8) return (uint8_t)(c >> (bits - 8));
  return (uint8_t)(c * 255 / ((1u << bits) - 1));
}

RunResult run_x_client(const std::string &program, const std::vector<std::string> &args,
                       const std::string &display) {
  RunOptions opts;
  opts.args = args;
  opts.env = {{"DISPLAY", display}};
  opts.on_sim = false;
  RunResult r = run(program, opts, kToolTimeout);
  if (r.exit_code != 0) {
    std::string cmd = program;
    for (const auto &a : args) cmd += " " + a;
    throw std::runtime_error(cmd + " failed: " + r.err);
  }
  return r;
}

// The title as an extended regular expression matching exactly that text.
std::string exact_pattern(const std::string &title) {
  std::string out = "^";
  for (char c : title) {
    if (std::string("\\^$.|?*+()[]{}").find(c) != std::string::npos) out += '\\';
    out += c;
  }
  return out + "$";
}

}  // namespace

Image parse_xwd(const std::string &data) {
  if (data.size() < kXwdFields * 4) throw std::runtime_error("XWD: short header");
  uint32_t field[kXwdFields];
  for (int i = 0; i < kXwdFields; i++) field[i] = big_endian32(data, (size_t)i * 4);
  uint32_t bpp = field[kBitsPerPixel];
  if (field[kPixmapFormat] != kZPixmap || (bpp != 24 && bpp != 32)) {
    throw std::runtime_error("XWD: only 24- and 32-bit ZPixmap images are supported");
  }
  Image image;
  image.width = (int)field[kPixmapWidth];
  image.height = (int)field[kPixmapHeight];
  size_t line = field[kBytesPerLine], bytes = bpp / 8;
  size_t offset = (size_t)field[kHeaderSize] + (size_t)field[kNColors] * kColorRecord;
  if (line < (size_t)image.width * bytes || offset + line * image.height > data.size()) {
    throw std::runtime_error("XWD: truncated image");
  }
  bool msb_first = field[kByteOrder] != 0;
  image.rgb.resize((size_t)image.width * image.height * 3);
  uint8_t *out = image.rgb.data();
  for (int y = 0; y < image.height; y++) {
    const uint8_t *p = (const uint8_t *)data.data() + offset + (size_t)y * line;
    for (int x = 0; x < image.width; x++, p += bytes) {
      uint32_t value = 0;
      for (size_t i = 0; i < bytes; i++) {
        value |= (uint32_t)p[i] << (8 * (msb_first ? bytes - 1 - i : i));
      }
      *out++ = channel(value, field[kRedMask]);
      *out++ = channel(value, field[kGreenMask]);
      *out++ = channel(value, field[kBlueMask]);
    }
  }
  return image;
}

struct Xvfb::Impl {
  std::unique_ptr<Process> server;
  std::string display;
};

Xvfb::Xvfb(int width, int height) : impl_(new Impl) {
  RunOptions opts;
  // -displayfd 1: the server picks a free display and writes its number to
  // stdout. -noreset: by default the server resets whenever its last client
  // leaves and turns away whoever connects meanwhile, so a window search
  // ending just as the tool connects would make the tool fail to open the
  // display.
  opts.args = {"-displayfd", "1",  "-noreset",
               "-screen",    "0",  std::to_string(width) + "x" + std::to_string(height) + "x24",
               "-nolisten",  "tcp"};
  opts.on_sim = false;
  try {
    impl_->server = std::make_unique<Process>("/usr/bin/Xvfb", opts);
    if (!impl_->server->wait_for_out("\n", kStartTimeout)) {
      throw std::runtime_error("Xvfb did not start: " + impl_->server->err_so_far());
    }
  } catch (...) {
    delete impl_;
    throw;
  }
  std::string out = impl_->server->out_so_far();
  impl_->display = ":" + out.substr(0, out.find('\n'));
}

Xvfb::~Xvfb() {
  if (impl_->server->running()) {
    impl_->server->signal(SIGTERM);
    impl_->server->wait(milliseconds(5000));
  }
  delete impl_;
}

std::string Xvfb::display() const {
  return impl_->display;
}
Env Xvfb::env() const {
  return {{"DISPLAY", impl_->display}};
}

std::optional<unsigned long> Xvfb::find_window(const std::string &title, milliseconds timeout) {
  RunOptions opts;
  opts.args = {"search", "--onlyvisible", "--name", exact_pattern(title)};
  opts.env = env();
  opts.on_sim = false;
  auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    // xdotool search exits with 1 while nothing matches.
    RunResult r = run("/usr/bin/xdotool", opts, kToolTimeout);
    if (r.exit_code == 0 && !r.out.empty()) return std::stoul(r.out);
    if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(kPollInterval);
  }
}

unsigned long Xvfb::window_of(Process &tool, const std::string &title, milliseconds timeout) {
  if (auto id = find_window(title, timeout)) return *id;
  throw std::runtime_error("no window '" + title + "' within " + std::to_string(timeout.count()) +
                           " ms; stdout so far:\n" + tool.out_so_far() + "stderr so far:\n" +
                           tool.err_so_far() + "X server stderr:\n" + impl_->server->err_so_far());
}

void Xvfb::key(unsigned long window, const std::string &keyname) {
  run_x_client("/usr/bin/xdotool", {"key", "--window", std::to_string(window), keyname},
               impl_->display);
}

void Xvfb::mouse_move(unsigned long window, int x, int y) {
  run_x_client("/usr/bin/xdotool",
               {"mousemove", "--sync", "--window", std::to_string(window), std::to_string(x),
                std::to_string(y)},
               impl_->display);
}

// Button presses go through the XTEST extension at the pointer's position
// (move it into the window first), so the server grabs the pointer for the
// window and later motion arrives as a drag with the button held.
void Xvfb::mouse_down(unsigned long /*window*/, int button) {
  run_x_client("/usr/bin/xdotool", {"mousedown", std::to_string(button)}, impl_->display);
}

void Xvfb::mouse_up(unsigned long /*window*/, int button) {
  run_x_client("/usr/bin/xdotool", {"mouseup", std::to_string(button)}, impl_->display);
}

Image Xvfb::screenshot(unsigned long window) {
  RunResult r = run_x_client("/usr/bin/xwd", {"-id", std::to_string(window), "-silent", "-nobdrs"},
                             impl_->display);
  return parse_xwd(r.out);
}

Image Xvfb::stable_screenshot(unsigned long window, milliseconds hold, milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  Image last = screenshot(window);
  auto since = std::chrono::steady_clock::now();
  while (std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(kPollInterval);
    Image next = screenshot(window);
    const auto now = std::chrono::steady_clock::now();
    if (next.width != last.width || next.height != last.height || next.rgb != last.rgb) {
      last = std::move(next);
      since = now;
    } else if (now - since >= hold) {
      break;
    }
  }
  return last;
}

std::string Xvfb::wait_for_picture(unsigned long window,
                                   const std::function<std::string(const Image &)> &wrong,
                                   milliseconds timeout, Image *last) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    Image shot = screenshot(window);
    std::string verdict = wrong(shot);
    if (verdict.empty() || std::chrono::steady_clock::now() > deadline) {
      if (last) *last = std::move(shot);
      return verdict;
    }
    std::this_thread::sleep_for(kPollInterval);
  }
}

}  // namespace kestrel::test
