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
