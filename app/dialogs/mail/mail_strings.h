#pragma once
// The texts of the e-mail sender (string ids 300-319). A language file replaces them by their
// IDS_ key in its "String" section; without one the English text below is used.
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace lumora::app {

inline constexpr unsigned IDS_MAIL_CAPTION = 300, IDS_MAIL_SENT = 301, IDS_MAIL_SUBMITTED = 302,
                          IDS_MAIL_SUBMIT_FAILED = 303, IDS_MAIL_CANNOT_READ = 304, IDS_MAIL_NO_ACCOUNT = 305,
                          IDS_MAIL_BAD_CONFIG = 306, IDS_MAIL_BAD_ADDRESS = 307, IDS_MAIL_CANNOT_WRITE = 308,
                          IDS_MAIL_FAILED = 309, IDS_MAIL_COMPOSER_FAILED = 310, IDS_MAIL_EXIT_STATUS = 311,
                          IDS_MAIL_NOT_STARTED = 312;

struct MailString {
  unsigned id;
  const char* key;      // "IDS_..."
  const char* english;  // "%s" marks where an argument goes
};
std::span<const MailString> mail_strings();

// The text of id: the language file's when it has one, else the English one.
std::string mail_text(unsigned id);
// Puts args in place of the "%s" marks of format in order ("%%" gives '%'); a mark without an
// argument gives nothing. Translated texts are never used as printf formats.
std::string fill_text(std::string_view format, std::initializer_list<std::string_view> args);

}  // namespace lumora::app
