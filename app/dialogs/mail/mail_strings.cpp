// The e-mail sender's texts and the filling of their "%s" marks.
#include "app/dialogs/mail/mail_strings.h"

#include "app/shell/language.h"

namespace lumora::app {

namespace {

constexpr MailString kStrings[] = {
    {IDS_MAIL_CAPTION, "IDS_MAIL_CAPTION", "E-mail"},
    {IDS_MAIL_SENT, "IDS_MAIL_SENT", "The picture %s is in the Outbox of the account %s."},
    {IDS_MAIL_SUBMITTED, "IDS_MAIL_SUBMITTED", "The picture %s was sent through the account %s."},
    {IDS_MAIL_SUBMIT_FAILED, "IDS_MAIL_SUBMIT_FAILED",
     "The picture %s is in the Outbox of the account %s, but sending it failed: %s"},
    {IDS_MAIL_CANNOT_READ, "IDS_MAIL_CANNOT_READ", "Cannot read %s. No message was written."},
    {IDS_MAIL_NO_ACCOUNT, "IDS_MAIL_NO_ACCOUNT",
     "No e-mail account is set up, so the picture was not sent. An account is a folder such as %s, with "
     "its settings in %s (lines like \"from = Name <address>\", \"to = address\" and \"submit = msmtp -t\")."},
    {IDS_MAIL_BAD_CONFIG, "IDS_MAIL_BAD_CONFIG",
     "The settings file %s of the account %s cannot be used (%s). No message was written."},
    {IDS_MAIL_BAD_ADDRESS, "IDS_MAIL_BAD_ADDRESS",
     "A recipient or the sender of the account %s is not a usable address. No message was written."},
    {IDS_MAIL_CANNOT_WRITE, "IDS_MAIL_CANNOT_WRITE", "The message cannot be written into the Outbox of the account %s."},
    {IDS_MAIL_FAILED, "IDS_MAIL_FAILED", "The picture %s could not be sent (%s)."},
    {IDS_MAIL_COMPOSER_FAILED, "IDS_MAIL_COMPOSER_FAILED", "The desktop mail program could not take the picture %s (%s)."},
    {IDS_MAIL_EXIT_STATUS, "IDS_MAIL_EXIT_STATUS", "exit status %s"},
    {IDS_MAIL_NOT_STARTED, "IDS_MAIL_NOT_STARTED", "it did not start or was stopped"},
};

}  // namespace

std::span<const MailString> mail_strings() { return kStrings; }

std::string mail_text(unsigned id) {
  std::string text = load_string(id);
  if (!text.empty()) return text;
  for (const MailString& s : kStrings)
    if (s.id == id) return s.english;
  return {};
}

std::string fill_text(std::string_view format, std::initializer_list<std::string_view> args) {
  std::string out;
  auto arg = args.begin();
  for (size_t i = 0; i < format.size(); ++i) {
    if (format[i] == '%' && i + 1 < format.size() && (format[i + 1] == 's' || format[i + 1] == '%')) {
      if (format[i + 1] == '%') out += '%';
      else if (arg != args.end()) out += *arg++;
      ++i;
      continue;
    }
    out += format[i];
  }
  return out;
}

}  // namespace lumora::app
