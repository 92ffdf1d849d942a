// MIME composition with GMime 3. GMime chooses the transfer encoding of the text, encodes
// non-ASCII header words (RFC 2047) and parameter values such as file names (RFC 2231), and folds
// long header lines.
#include "platform/mail/mime_writer.h"

#include <gmime/gmime.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>

namespace lumora::plat {

namespace {

// GObject references released at the end of a scope.
struct Unref {
  void operator()(gpointer p) const {
    if (p) g_object_unref(p);
  }
};
template <typename T>
using Ref = std::unique_ptr<T, Unref>;

void init_gmime() {
  static std::once_flag once;
  std::call_once(once, [] { g_mime_init(); });
}

bool has_control_characters(const std::string& s) {
  return std::any_of(s.begin(), s.end(), [](char c) {
    auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
  });
}

// Parses one address ("a@b" or "Name <a@b>") into list; false when it is empty or not an address.
bool add_address(InternetAddressList* list, const std::string& text) {
  if (text.find_first_not_of(" \t") == std::string::npos || has_control_characters(text)) return false;
  Ref<InternetAddressList> parsed(internet_address_list_parse(nullptr, text.c_str()));
  if (!parsed || internet_address_list_length(parsed.get()) != 1) return false;
  InternetAddress* a = internet_address_list_get_address(parsed.get(), 0);
  if (!INTERNET_ADDRESS_IS_MAILBOX(a)) return false;
  const char* addr = internet_address_mailbox_get_addr(INTERNET_ADDRESS_MAILBOX(a));
  if (!addr || !*addr) return false;
  internet_address_list_append(list, parsed.get());
  return true;
}

}  // namespace

std::string MimeTypeForName(const std::string& name) {
  static const struct {
    const char* ext;
    const char* type;
  } table[] = {
      {"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"}, {"jpe", "image/jpeg"}, {"jif", "image/jpeg"},
      {"jfif", "image/jpeg"}, {"png", "image/png"},  {"gif", "image/gif"},  {"bmp", "image/bmp"},
      {"tif", "image/tiff"}, {"tiff", "image/tiff"}, {"tga", "image/x-tga"}, {"pcx", "image/x-pcx"},
      {"ico", "image/vnd.microsoft.icon"}, {"pbm", "image/x-portable-bitmap"},
      {"pgm", "image/x-portable-graymap"}, {"ppm", "image/x-portable-pixmap"},
      {"pnm", "image/x-portable-anymap"}, {"xbm", "image/x-xbitmap"}, {"xpm", "image/x-xpixmap"},
      {"psd", "image/vnd.adobe.photoshop"},
  };
  size_t dot = name.find_last_of('.');
  if (dot != std::string::npos) {
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const auto& row : table)
      if (ext == row.ext) return row.type;
  }
  return "application/octet-stream";
}

int WriteMimeMessage(const std::string& from, const MailMessage& message,
                     const std::vector<MimeAttachmentData>& attachments, const std::string& message_id_domain,
                     std::string* out) {
  init_gmime();
  if (has_control_characters(message.subject)) return MAIL_BAD_ADDRESS;
  Ref<GMimeMessage> msg(g_mime_message_new(TRUE));
  if (!add_address(g_mime_message_get_addresses(msg.get(), GMIME_ADDRESS_TYPE_FROM), from)) return MAIL_BAD_ADDRESS;
  for (const std::string& to : message.to)
    if (!add_address(g_mime_message_get_addresses(msg.get(), GMIME_ADDRESS_TYPE_TO), to)) return MAIL_BAD_ADDRESS;
  if (!message.subject.empty()) g_mime_message_set_subject(msg.get(), message.subject.c_str(), "utf-8");
  GDateTime* now = g_date_time_new_now_local();
  g_mime_message_set_date(msg.get(), now);
  g_date_time_unref(now);
  char* id = g_mime_utils_generate_message_id(message_id_domain.c_str());
  g_mime_message_set_message_id(msg.get(), id);
  g_free(id);

  Ref<GMimeMultipart> mixed(g_mime_multipart_new_with_subtype("mixed"));
  Ref<GMimeTextPart> text(g_mime_text_part_new_with_subtype("plain"));
  g_mime_text_part_set_text(text.get(), message.body.c_str());  // picks charset and transfer encoding
  g_mime_multipart_add(mixed.get(), GMIME_OBJECT(text.get()));

  for (const MimeAttachmentData& a : attachments) {
    std::string type = MimeTypeForName(a.name);
    size_t slash = type.find('/');
    Ref<GMimePart> part(g_mime_part_new_with_type(type.substr(0, slash).c_str(), type.substr(slash + 1).c_str()));
    g_mime_object_set_disposition(GMIME_OBJECT(part.get()), GMIME_DISPOSITION_ATTACHMENT);
    g_mime_part_set_filename(part.get(), a.name.c_str());
    Ref<GMimeStream> data(g_mime_stream_mem_new_with_buffer(reinterpret_cast<const char*>(a.bytes.data()),
                                                            a.bytes.size()));
    Ref<GMimeDataWrapper> wrapper(g_mime_data_wrapper_new_with_stream(data.get(), GMIME_CONTENT_ENCODING_DEFAULT));
    g_mime_part_set_content(part.get(), wrapper.get());
    g_mime_part_set_content_encoding(part.get(), GMIME_CONTENT_ENCODING_BASE64);
    g_mime_multipart_add(mixed.get(), GMIME_OBJECT(part.get()));
  }
  g_mime_message_set_mime_part(msg.get(), GMIME_OBJECT(mixed.get()));

  Ref<GMimeStream> mem(g_mime_stream_mem_new());
  if (g_mime_object_write_to_stream(GMIME_OBJECT(msg.get()), nullptr, mem.get()) < 0) return MAIL_NO_MEMORY;
  GByteArray* bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(mem.get()));
  try {
    out->assign(reinterpret_cast<const char*>(bytes->data), bytes->len);
  } catch (const std::bad_alloc&) {
    return MAIL_NO_MEMORY;
  }
  return MAIL_OK;
}

}  // namespace lumora::plat
