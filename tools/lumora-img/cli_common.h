#pragma once
// Helpers shared by the lumora-img commands.
#include <cstdint>
#include <optional>
#include <string>

namespace cli {

constexpr int kExitUsage = 1;

// Exit status for a library status: 0 for success, otherwise 10 + the status's low 16 bits.
inline int exit_for_status(int status) { return (status & 0xFFFF) == 0 ? 0 : 10 + (status & 0xFFFF); }

// Prints "lumora-img: FILE: TEXT (status N)" on standard error; `reader_message` (may be empty)
// is added after the status text.
void report_failure(const std::string& file, int status, const std::string& reader_message = {});
// Exit status of a picture written although its file is damaged or ends early (as djpeg does for
// a result with warnings).
constexpr int kExitIncomplete = 2;
// After a successful load_image: when the picture loaded only because incomplete files are
// accepted (`accepted_status`, FileInfo::accepted_status, is not 0) prints "lumora-img: FILE:
// TEXT (status N); the picture is incomplete" and returns kExitIncomplete; otherwise 0.
int report_incomplete(const std::string& file, int accepted_status,
                      const std::string& reader_message = {});
// Prints "lumora-img: TEXT" on standard error and returns kExitUsage.
int usage_error(const std::string& text);

// The application's fixed load options: component order 1, alignment 4, flags 0x0404 (without
// 0x1000, so a file its extension's reader refuses is recognised by content).
constexpr uint16_t kComponentOrder = 1;
constexpr uint16_t kAlignment = 4;
constexpr uint32_t kLoadFlags = 0x0404;

// `text` as UTF-8: kept when it already is valid UTF-8 (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF), else read as Latin-1 byte by byte (the library's texts are
// 8-bit; the degree sign is 0xB0). The result is always valid UTF-8.
std::string to_utf8(const std::string& text);
// The JSON string literal (RFC 8259), quotes included, of UTF-8 text.
std::string json_string(const std::string& utf8);

// Number parsing for options; nullopt when the text is not a whole number in range.
std::optional<long> parse_long(const char* text, long min, long max);
// "WxH" with both parts at least 1.
bool parse_size(const char* text, int* width, int* height);

// A progress line on standard error, drawn only when it is a terminal and not silenced.
class Progress {
 public:
  Progress(int total, bool quiet);
  ~Progress();
  void step(const std::string& label);  // one item done
 private:
  int total_;
  int done_ = 0;
  bool active_;
};

}  // namespace cli
