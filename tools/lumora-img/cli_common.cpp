#include "tools/lumora-img/cli_common.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "imagelib/core/status.h"

namespace cli {

namespace {

void report_status(const std::string& file, int status, const std::string& reader_message,
                   const char* suffix) {
  std::string text = lumora::status_text(status);
  if (!reader_message.empty()) text += ": " + reader_message;
  std::fprintf(stderr, "lumora-img: %s: %s (status %d)%s\n", file.c_str(), text.c_str(), status & 0xFFFF,
               suffix);
}

}  // namespace

void report_failure(const std::string& file, int status, const std::string& reader_message) {
  report_status(file, status, reader_message, "");
}

int report_incomplete(const std::string& file, int accepted_status, const std::string& reader_message) {
  if ((accepted_status & 0xFFFF) == 0) return 0;
  report_status(file, accepted_status, reader_message, "; the picture is incomplete");
  return kExitIncomplete;
}

int usage_error(const std::string& text) {
  std::fprintf(stderr, "lumora-img: %s\n", text.c_str());
  return kExitUsage;
}

namespace {

// Length of the UTF-8 sequence starting at s[i] (RFC 3629 section 4), or 0 when it is not one.
size_t utf8_sequence(const std::string& s, size_t i) {
  auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char c = byte(i);
  size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (c >= 0xC2 && c <= 0xDF) n = 2;
  else if (c == 0xE0) n = 3, low = 0xA0;
  else if (c == 0xED) n = 3, high = 0x9F;  // no surrogates
  else if (c >= 0xE1 && c <= 0xEF) n = 3;
  else if (c == 0xF0) n = 4, low = 0x90;
  else if (c >= 0xF1 && c <= 0xF3) n = 4;
  else if (c == 0xF4) n = 4, high = 0x8F;  // nothing above U+10FFFF
  if (n == 0 || i + n > s.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (size_t k = 2; k < n; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
  }
  return n;
}

bool valid_utf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    if (static_cast<unsigned char>(s[i]) < 0x80) {
      ++i;
      continue;
    }
    const size_t n = utf8_sequence(s, i);
    if (n == 0) return false;
    i += n;
  }
  return true;
}

}  // namespace

std::string to_utf8(const std::string& text) {
  if (valid_utf8(text)) return text;
  std::string out;
  out.reserve(text.size() + 8);
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

std::string json_string(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\u%04x", c);
          out += buf;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

std::optional<long> parse_long(const char* text, long min, long max) {
  if (!text || !*text) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (errno || *end || v < min || v > max) return std::nullopt;
  return v;
}

bool parse_size(const char* text, int* width, int* height) {
  if (!text) return false;
  std::string s(text);
  size_t x = s.find_first_of("xX");
  if (x == std::string::npos) return false;
  auto w = parse_long(s.substr(0, x).c_str(), 1, 1000000);
  auto h = parse_long(s.substr(x + 1).c_str(), 1, 1000000);
  if (!w || !h) return false;
  *width = static_cast<int>(*w);
  *height = static_cast<int>(*h);
  return true;
}

Progress::Progress(int total, bool quiet) : total_(total), active_(!quiet && isatty(STDERR_FILENO)) {}

Progress::~Progress() {
  if (active_ && done_ > 0) std::fputs("\r\033[K", stderr);
}

void Progress::step(const std::string& label) {
  ++done_;
  if (!active_) return;
  std::fprintf(stderr, "\r\033[K[%d/%d] %s", done_, total_, label.c_str());
  std::fflush(stderr);
}

}  // namespace cli
