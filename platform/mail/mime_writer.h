#pragma once
// Turns a message into RFC 5322 text with a MIME multipart/mixed body (RFC 2045-2049): the body
// text first, then each attachment in base64 with its file name. Internal to the messaging store.
#include <string>
#include <vector>

#include "platform/mail/mail_store.h"

namespace lumora::plat {

struct MimeAttachmentData {
  std::string name;
  std::vector<unsigned char> bytes;
};

// from: the sender; message_id_domain: the right side of the Message-ID. MAIL_OK or
// MAIL_BAD_ADDRESS / MAIL_NO_MEMORY.
int WriteMimeMessage(const std::string& from, const MailMessage& message,
                     const std::vector<MimeAttachmentData>& attachments, const std::string& message_id_domain,
                     std::string* out);

// The MIME type for a file name's extension (image types by name, else application/octet-stream).
std::string MimeTypeForName(const std::string& name);

}  // namespace lumora::plat
