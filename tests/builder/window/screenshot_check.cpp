// Test-only check of a screenshot of the waiting window, taken from the X
// server as a binary PPM:
//
//   screenshot_check IMAGE.ppm WIDTH HEIGHT LABEL_X LABEL_Y LABEL_W LABEL_H
//
// Passes (status 0) when the image has the window's client size, every pixel
// outside the label's rectangle has the background colour of the corner, and
// the rectangle holds dark text spread across most of its width: the label
// was painted, in its place, and nothing else was. It prints what it found.

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include <fmt/format.h>

namespace {

struct rgb {
  int r = 0;
  int g = 0;
  int b = 0;
  bool operator==(const rgb&) const = default;
  int luma() const { return (299 * r + 587 * g + 114 * b) / 1000; }
};

struct image {
  int width = 0;
  int height = 0;
  std::vector<rgb> pixels;
  const rgb& at(int x, int y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                  static_cast<std::size_t>(x)];
  }
};

struct rect {
  int x = 0;
  int y = 0;
  int w = 0;
  int h = 0;
  bool holds(int px, int py) const { return px >= x && px < x + w && py >= y && py < y + h; }
};

// The next number of a PPM header, skipping blanks and comments.
bool header_number(const std::string& data, std::size_t& at, int& value) {
  while (at < data.size()) {
    if (data[at] == '#') {
      while (at < data.size() && data[at] != '\n') ++at;
    } else if (std::isspace(static_cast<unsigned char>(data[at])) != 0) {
      ++at;
    } else {
      break;
    }
  }
  const std::size_t start = at;
  value = 0;
  while (at < data.size() && data[at] >= '0' && data[at] <= '9') {
    value = value * 10 + (data[at] - '0');
    ++at;
  }
  return at > start;
}

bool read_ppm(const char* path, image& out) {
  std::ifstream file(path, std::ios::binary);
  const std::string data((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (data.size() < 2 || data[0] != 'P' || data[1] != '6') return false;
  std::size_t at = 2;
  int max_value = 0;
  if (!header_number(data, at, out.width) || !header_number(data, at, out.height) ||
      !header_number(data, at, max_value) || max_value <= 0 || max_value > 65535) {
    return false;
  }
  ++at;  // the single blank after the header
  const std::size_t sample_bytes = max_value > 255 ? 2 : 1;
  const std::size_t count =
      static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height);
  if (data.size() - at < count * 3 * sample_bytes) return false;
  auto sample = [&]() {
    int value = static_cast<unsigned char>(data[at++]);
    if (sample_bytes == 2) value = value * 256 + static_cast<unsigned char>(data[at++]);
    return value * 255 / max_value;
  };
  out.pixels.resize(count);
  for (rgb& pixel : out.pixels) {
    pixel.r = sample();
    pixel.g = sample();
    pixel.b = sample();
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 8) {
    std::cerr << "usage: screenshot_check IMAGE.ppm WIDTH HEIGHT LABEL_X LABEL_Y LABEL_W LABEL_H\n";
    return 64;
  }
  const int width = std::atoi(argv[2]);
  const int height = std::atoi(argv[3]);
  const rect label{std::atoi(argv[4]), std::atoi(argv[5]), std::atoi(argv[6]), std::atoi(argv[7])};
  image shot;
  if (!read_ppm(argv[1], shot)) {
    std::cerr << "not a readable binary PPM: " << argv[1] << '\n';
    return 1;
  }
  bool ok = true;
  if (shot.width != width || shot.height != height) {
    std::cout << fmt::format("size {}x{}, expected {}x{}\n", shot.width, shot.height, width,
                             height);
    return 1;
  }

  const rgb background = shot.at(0, 0);
  // Anti-aliased edges are lighter than the strokes, so ink is counted only
  // where the pixel is clearly darker than the background.
  constexpr int ink_contrast = 96;
  int stray = 0;
  int ink = 0;
  rect ink_box{label.x + label.w, label.y + label.h, 0, 0};
  int ink_right = label.x - 1;
  int ink_bottom = label.y - 1;
  for (int y = 0; y < shot.height; ++y) {
    for (int x = 0; x < shot.width; ++x) {
      const rgb& pixel = shot.at(x, y);
      if (!label.holds(x, y)) {
        if (!(pixel == background)) ++stray;
        continue;
      }
      if (background.luma() - pixel.luma() < ink_contrast) continue;
      ++ink;
      ink_box.x = std::min(ink_box.x, x);
      ink_box.y = std::min(ink_box.y, y);
      ink_right = std::max(ink_right, x);
      ink_bottom = std::max(ink_bottom, y);
    }
  }
  ink_box.w = ink_right - ink_box.x + 1;
  ink_box.h = ink_bottom - ink_box.y + 1;

  std::cout << fmt::format(
      "background {},{},{}; {} pixels differ outside the label; {} ink pixels inside, spanning "
      "{},{} {}x{}\n",
      background.r, background.g, background.b, stray, ink, ink_box.x, ink_box.y, ink_box.w,
      ink_box.h);
  if (stray != 0) ok = false;
  // A word in a large bold face fills much of its label; a dot or a line
  // of a few pixels does not.
  if (ink < label.w * label.h / 10 || ink_box.w < label.w / 2 || ink_box.h < label.h / 3) {
    ok = false;
  }
  std::cout << (ok ? "label painted in place\n" : "screenshot does not show the label\n");
  return ok ? 0 : 1;
}
