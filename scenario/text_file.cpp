#include "scenario/text_file.h"

#include <array>
#include <cstdint>

#include <fmt/format.h>

namespace scenario {

namespace {

// The code points that Windows-1252 puts in its bytes 0x80 to 0x9F; a zero
// marks the five bytes that the code page leaves undefined.
constexpr std::array<char32_t, 32> high_control_block = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::optional<unsigned char> windows_1252_byte(char32_t code_point) {
  if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
    return static_cast<unsigned char>(code_point);
  }
  for (std::size_t i = 0; i < high_control_block.size(); ++i) {
    if (high_control_block[i] != 0 && high_control_block[i] == code_point) {
      return static_cast<unsigned char>(0x80 + i);
    }
  }
  return std::nullopt;
}

// Decodes one UTF-8 sequence at `text[index]`, advancing `index`. Returns
// nothing for a malformed sequence.
std::optional<char32_t> next_code_point(std::string_view text, std::size_t& index) {
  const auto lead = static_cast<unsigned char>(text[index]);
  std::size_t length = 0;
  char32_t value = 0;
  if (lead < 0x80) {
    length = 1;
    value = lead;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    value = lead & 0x07;
  } else {
    return std::nullopt;
  }
  if (index + length > text.size()) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[index + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    value = (value << 6) | (next & 0x3F);
  }
  index += length;
  return value;
}

}  // namespace

status to_windows_1252(std::string_view utf8, std::string& out) {
  out.clear();
  out.reserve(utf8.size());
  std::size_t index = 0;
  while (index < utf8.size()) {
    const std::size_t at = index;
    const auto code_point = next_code_point(utf8, index);
    if (!code_point) {
      return status::failure(fmt::format("malformed UTF-8 at byte {}", at));
    }
    const auto byte = windows_1252_byte(*code_point);
    if (!byte) {
      return status::failure(fmt::format("character U+{:04X} at byte {} has no Windows-1252 code",
                                         static_cast<std::uint32_t>(*code_point), at));
    }
    out.push_back(static_cast<char>(*byte));
  }
  return {};
}

std::string from_windows_1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    char32_t code_point = byte;
    if (byte >= 0x80 && byte < 0xA0) {
      code_point = high_control_block[byte - 0x80];
      if (code_point == 0) code_point = 0xFFFD;
    }
    if (code_point < 0x80) {
      out.push_back(static_cast<char>(code_point));
    } else if (code_point < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code_point >> 6)));
      out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xE0 | (code_point >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code_point >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code_point & 0x3F)));
    }
  }
  return out;
}

encoded_text encode_line_list(const std::vector<std::string>& lines) {
  encoded_text result;
  std::string converted;
  for (std::size_t i = 0; i < lines.size() && i < line_list_capacity; ++i) {
    if (lines[i] == end_mark) break;
    if (const status converting = to_windows_1252(lines[i], converted); !converting) {
      result.encoded = status::failure(fmt::format("line {}: {}", i + 1, converting.reason()));
      return result;
    }
    result.bytes += converted;
    result.bytes += "\r\n";
  }
  return result;
}

status write_line_list(const std::filesystem::path& path, const std::vector<std::string>& lines) {
  const encoded_text text = encode_line_list(lines);
  if (!text.encoded) return status::failure_at(path, text.encoded.reason());
  return write_file_atomically(path, text.bytes);
}

}  // namespace scenario
