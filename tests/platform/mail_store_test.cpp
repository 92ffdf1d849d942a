// The messaging store: accounts as folders, messages read back by Python's email parser (a MIME
// reader that shares no code with the writer), Maildir moves and the submit command.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/mail/mail_store.h"
#include "scratch.h"

namespace lumora::plat {
namespace {

namespace fs = std::filesystem;

class MailStoreTest : public ::testing::Test {
 protected:

  MailAccount account(const std::string& name, const std::string& conf = {}) {
    MailAccount a;
    EXPECT_EQ(MailCreateAccount(root_, name, &a), MAIL_OK);
    if (!conf.empty()) {
      std::ofstream(a.folder + "/account.conf") << conf;
      EXPECT_EQ(MailOpenAccount(root_, name, &a), MAIL_OK);
    }
    return a;
  }
  size_t files_in(const std::string& folder) {
    size_t n = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(folder)) ++n;
    return n;
  }

  testing::TempDir tmp_;
  const std::string dir_ = tmp_.dir(), root_ = dir_ + "/mail";
};

std::string hex(const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) out += digits[c >> 4], out += digits[c & 15];
  return out;
}

// Parses a message file with Python's email package; returns "key<TAB>value" lines as a map
// (attachments as "att<i>.name", "att<i>.type", "att<i>.hex").
std::map<std::string, std::string> parse_with_python(const std::string& path) {
  const std::string script =
      "import sys, email, email.policy\n"
      "m = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=email.policy.default)\n"
      "print('from\\t' + str(m['From']))\n"
      "print('to\\t' + ','.join(a.addr_spec for a in m['To'].addresses) if m['To'] else 'to\\t')\n"
      "print('subject\\t' + (str(m['Subject']) if m['Subject'] is not None else '<none>'))\n"
      "print('type\\t' + m.get_content_type())\n"
      "print('defects\\t' + str(len(m.defects)))\n"
      "print('date\\t' + str(m['Date'] is not None))\n"
      "print('body\\t' + m.get_body(('plain',)).get_content().replace('\\n', '|'))\n"
      "for i, p in enumerate(m.iter_attachments()):\n"
      "    print('att%d.name\\t%s' % (i, p.get_filename()))\n"
      "    print('att%d.type\\t%s' % (i, p.get_content_type()))\n"
      "    print('att%d.hex\\t%s' % (i, p.get_payload(decode=True).hex()))\n"
      "    print('att%d.cte\\t%s' % (i, p['Content-Transfer-Encoding']))\n";
  std::string cmd = "python3 -c \"$LUMORA_PY\" '" + path + "'";
  setenv("LUMORA_PY", script.c_str(), 1);
  std::map<std::string, std::string> out;
  FILE* p = ::popen(cmd.c_str(), "r");
  if (!p) return out;
  char line[1 << 16];
  while (std::fgets(line, sizeof line, p)) {
    std::string s(line);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    size_t tab = s.find('\t');
    if (tab != std::string::npos) out[s.substr(0, tab)] = s.substr(tab + 1);
  }
  EXPECT_EQ(::pclose(p), 0);
  return out;
}

TEST_F(MailStoreTest, AccountsAreTheSortedFoldersOfTheStore) {
  std::vector<MailAccount> accounts{MailAccount{}};
  EXPECT_EQ(MailListAccounts(root_, &accounts), MAIL_OK);  // the root does not even exist
  EXPECT_TRUE(accounts.empty());
  fs::create_directories(root_ + "/.trash");
  std::ofstream(root_ + "/notes.txt") << "not an account";
  EXPECT_EQ(MailListAccounts(root_, &accounts), MAIL_OK);
  EXPECT_TRUE(accounts.empty());
  {
    testing::ScopedEnv env;
    env.set("XDG_DATA_HOME", dir_.c_str());
    EXPECT_EQ(MailRoot(), dir_ + "/lumora/mail");
  }
  MailAccount a;
  for (const char* name : {"missing", "", ".trash", "../mail", "notes.txt"})
    EXPECT_EQ(MailOpenAccount(root_, name, &a), MAIL_NO_ACCOUNT) << name;
  // Accounts are the other folders, sorted, with their settings.
  account("work", "# comment\nfrom = Ann <ann@example.org>\n  submit=  msmtp -t  \nunknown = x\n");
  account("home");
  ASSERT_EQ(MailListAccounts(root_, &accounts), MAIL_OK);
  ASSERT_EQ(accounts.size(), 2u);
  EXPECT_EQ(accounts[0].name, "home");
  EXPECT_EQ(accounts[1].name, "work");
  EXPECT_EQ(accounts[1].from, "Ann <ann@example.org>");
  EXPECT_EQ(accounts[1].submit_command, "msmtp -t");
  EXPECT_TRUE(fs::is_directory(accounts[0].folder + "/Outbox/cur"));
}

TEST_F(MailStoreTest, DefaultRecipientsAndUnusableSettings) {
  struct Case {
    const char* what;
    std::string conf;
    std::vector<std::string> to;
    std::string error;  // the start of config_error; empty: usable
  };
  const Case cases[] = {
      {"recipients split at ',' and ';'", "to = bob@example.org, Carol <c@example.net>;;  d@example.org ,\n",
       {"bob@example.org", "Carol <c@example.net>", "d@example.org"}, ""},
      {"empty to", "to =\n", {}, ""},
      {"line without '='", "from = a@example.org\nsubmit msmtp -t\n", {}, "line 2: expected"},
      {"control character", "# ok\n\nto = a@example.org\x1b[2J\n", {}, "line 3: control characters"},
      {"NUL byte", std::string("to = a@example.org\0b\n", 21), {}, "line 1: control characters"},
      {"too large", "# " + std::string(70000, 'x') + "\n", {}, "is larger than 64 KiB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root_);
    MailAccount a = account("acct", c.conf);
    EXPECT_EQ(a.default_to, c.to);
    EXPECT_EQ(a.config_error.substr(0, c.error.size()), c.error);
    EXPECT_EQ(a.config_error.empty(), c.error.empty()) << a.config_error;
    std::string draft;
    EXPECT_EQ(MailCreateMessage(a, MailMessage{{"x@example.org"}, "s", "b", {}}, &draft),
              c.error.empty() ? MAIL_OK : MAIL_BAD_CONFIG);
    EXPECT_EQ(files_in(a.folder + "/Outbox/tmp"), c.error.empty() ? 1u : 0u);
  }
  fs::remove_all(root_);
  MailAccount a = account("acct");
  fs::create_directory(a.folder + "/account.conf");
  ASSERT_EQ(MailOpenAccount(root_, "acct", &a), MAIL_OK);  // listed, so that the user learns why it fails
  EXPECT_EQ(a.config_error, "is not a file");
  MailSubmitResult r;
  std::ofstream(a.folder + "/Outbox/tmp/m") << "x";
  EXPECT_EQ(MailSubmitMessage(a, a.folder + "/Outbox/tmp/m", &r), MAIL_BAD_CONFIG);
  EXPECT_TRUE(fs::exists(a.folder + "/Outbox/tmp/m"));
}

TEST_F(MailStoreTest, MessagesReadBackByARealParser) {
  std::string binary;
  for (int i = 0; i < 3000; ++i) binary += static_cast<char>((i * 7 + i / 256) & 0xFF);  // every byte value
  std::ofstream(dir_ + "/photo 1.jpg", std::ios::binary) << binary;
  std::ofstream(dir_ + "/raw.bin", std::ios::binary) << std::string("\0\r\n\x80", 4);

  struct Case {
    const char* what;
    MailMessage message;
    std::string to;  // as the parser lists them
    std::string subject;
    std::string body;  // line breaks as '|'
    std::vector<std::pair<std::string, std::string>> attachments;  // name, type
  };
  const std::vector<Case> cases = {
      {"plain ASCII",
       {{"bob@example.org", "Carol <carol@example.net>"},
        "Holiday",
        "Two pictures.\nBye",
        {{dir_ + "/photo 1.jpg", ""}, {dir_ + "/raw.bin", "data.bin"}}},
       "bob@example.org,carol@example.net",
       "Holiday",
       "Two pictures.|Bye",
       {{"photo 1.jpg", "image/jpeg"}, {"data.bin", "application/octet-stream"}}},
      {"non-ASCII subject, body and file name",
       {{"dan@example.org"},
        "Gr\xC3\xBC\xC3\x9F" "e vom Strand \xE2\x80\x94 " + std::string(60, 'x'),
        "\xC2\xA1Hola! \xE6\x97\xA5\xE6\x9C\xAC",
        {{dir_ + "/photo 1.jpg", "Fot\xC3\xB3 d\xC3\xAD" "a \xE6\x97\xA5.JPG"}}},
       "dan@example.org",
       "Gr\xC3\xBC\xC3\x9F" "e vom Strand \xE2\x80\x94 " + std::string(60, 'x'),
       "\xC2\xA1Hola! \xE6\x97\xA5\xE6\x9C\xAC",
       {{"Fot\xC3\xB3 d\xC3\xAD" "a \xE6\x97\xA5.JPG", "image/jpeg"}}},
      {"no recipients, subject, body or attachments", {{}, "", "", {}}, "", "<none>", "", {}},
  };
  MailAccount acc = account("home", "from = Lumora Test <me@example.org>\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string draft;
    ASSERT_EQ(MailCreateMessage(acc, c.message, &draft), MAIL_OK);
    EXPECT_EQ(fs::path(draft).parent_path(), fs::path(acc.folder) / "Outbox" / "tmp");
    MailSubmitResult r;
    ASSERT_EQ(MailSubmitMessage(acc, draft, &r), MAIL_OK);
    EXPECT_FALSE(fs::exists(draft));
    EXPECT_FALSE(r.command_run);
    ASSERT_TRUE(fs::exists(r.maildir_path));
    EXPECT_EQ(fs::path(r.maildir_path).parent_path(), fs::path(acc.folder) / "Outbox" / "new");

    auto m = parse_with_python(r.maildir_path);
    EXPECT_EQ(m["from"], "Lumora Test <me@example.org>");
    EXPECT_EQ(m["to"], c.to);
    EXPECT_EQ(m["subject"], c.subject);
    EXPECT_EQ(m["type"], "multipart/mixed");
    EXPECT_EQ(m["defects"], "0");
    EXPECT_EQ(m["date"], "True");
    EXPECT_EQ(m["body"], c.body);
    for (size_t i = 0; i < c.attachments.size(); ++i) {
      std::string k = "att" + std::to_string(i);
      EXPECT_EQ(m[k + ".name"], c.attachments[i].first);
      EXPECT_EQ(m[k + ".type"], c.attachments[i].second);
      EXPECT_EQ(m[k + ".cte"], "base64");
      EXPECT_EQ(m[k + ".hex"], hex(testing::read_text(c.message.attachments[i].path)));
    }
    EXPECT_EQ(m.count("att" + std::to_string(c.attachments.size()) + ".name"), 0u);
  }
}

TEST_F(MailStoreTest, SubmitCommandGetsTheMessageAndFailuresKeepTheCopy) {
  struct Case {
    const char* what;
    std::string command;
    int expected;
    int status;
    const char* output;
  };
  const std::string sent = dir_ + "/sent.eml";
  const Case cases[] = {
      {"command takes the message", "cat > '" + sent + "'", MAIL_OK, 0, ""},
      {"command fails", "cat >/dev/null; echo 'relay refused' >&2; exit 3", MAIL_SUBMIT_FAILED, 3, "relay refused"},
      {"command missing", "/nonexistent/sendmail -t", MAIL_SUBMIT_FAILED, 127, "not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root_);
    fs::remove(sent);
    MailAccount acc = account("acct", "submit = " + c.command + "\n");
    std::string draft;
    ASSERT_EQ(MailCreateMessage(acc, MailMessage{{"x@example.org"}, "s", "b", {}}, &draft), MAIL_OK);
    const std::string text = testing::read_text(draft);
    MailSubmitResult r;
    EXPECT_EQ(MailSubmitMessage(acc, draft, &r), c.expected);
    EXPECT_TRUE(r.command_run);
    EXPECT_EQ(r.command_status, c.status);
    EXPECT_NE(r.command_output.find(c.output), std::string::npos) << r.command_output;
    // The Maildir copy is in new/ whatever the command did.
    EXPECT_EQ(testing::read_text(r.maildir_path), text);
    EXPECT_EQ(files_in(acc.folder + "/Outbox/new"), 1u);
    EXPECT_EQ(files_in(acc.folder + "/Outbox/tmp"), 0u);
    if (c.expected == MAIL_OK) {
      EXPECT_EQ(testing::read_text(sent), text);
    }
  }
}

TEST_F(MailStoreTest, RefusedMessagesLeaveNothingBehind) {
  MailAccount acc = account("home");
  std::ofstream(dir_ + "/ok.jpg") << "jpeg";
  struct Case {
    const char* what;
    MailMessage message;
    int expected;
  };
  const Case cases[] = {
      {"attachment missing", {{"a@example.org"}, "s", "b", {{dir_ + "/missing.jpg", ""}}}, MAIL_CANNOT_READ},
      {"attachment is a folder", {{"a@example.org"}, "s", "b", {{dir_, "x.jpg"}}}, MAIL_CANNOT_READ},
      {"header injection in an address", {{"a@example.org\r\nBcc: evil@example.org"}, "s", "b", {}}, MAIL_BAD_ADDRESS},
      {"header injection in the subject", {{"a@example.org"}, "s\nBcc: evil@example.org", "b", {}}, MAIL_BAD_ADDRESS},
      {"empty address", {{"  "}, "s", "b", {{dir_ + "/ok.jpg", ""}}}, MAIL_BAD_ADDRESS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string draft = "unchanged";
    EXPECT_EQ(MailCreateMessage(acc, c.message, &draft), c.expected);
    EXPECT_EQ(draft, "unchanged");
    EXPECT_EQ(files_in(acc.folder + "/Outbox/tmp"), 0u);
  }
  MailSubmitResult r;
  EXPECT_EQ(MailSubmitMessage(acc, dir_ + "/ok.jpg", &r), MAIL_NOT_A_DRAFT);  // not in Outbox/tmp
  EXPECT_TRUE(fs::exists(dir_ + "/ok.jpg"));
  EXPECT_EQ(MailSubmitMessage(acc, acc.folder + "/Outbox/tmp/gone", &r), MAIL_NOT_A_DRAFT);
  MailAccount ghost;
  ghost.name = "ghost";
  ghost.folder = root_ + "/ghost";
  std::string draft;
  EXPECT_EQ(MailCreateMessage(ghost, MailMessage{}, &draft), MAIL_NO_ACCOUNT);
}

}  // namespace
}  // namespace lumora::plat
