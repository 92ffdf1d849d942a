// Sending a picture by e-mail: the account filter, recipients, messages read back by Python's
// email parser, what the user is told for each outcome, and the desktop composer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/dialogs/mail/mail_strings.h"
#include "app/dialogs/mail/send_mail.h"
#include "app/shell/language.h"
#include "platform/controls_fixture.h"
#include "platform/mail/mail_store.h"
#include "temp_home.h"

namespace lumora::app {

namespace {

// Loads a language file "xx" whose String section holds the given keys and texts.
void translate(const std::string& folder, std::map<std::string, std::string> strings) {
  {
    std::ofstream f(folder + "/xx.lng");
    f << "Language = Test\n[String]\n";
    for (const auto& [key, text] : strings) f << key << " = " << text << "\n";
  }
  the_language().set_search_folders({folder});
  the_language().load("xx");
}

namespace fs = std::filesystem;
using plat::testing::ControlsTest;

std::string read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

size_t files_in(const std::string& folder) {
  if (!fs::is_directory(folder)) return 0;
  return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

class SendMailTest : public ControlsTest {
 protected:
  void SetUp() override {
    ControlsTest::SetUp();
    dir_ = home_.dir();
    root_ = home_.point("XDG_DATA_HOME", "data") + "/lumora/mail";
    for (int i = 0; i < 3000; ++i) picture_ += static_cast<char>((i * 7 + i / 256) & 0xFF);
    std::ofstream(dir_ + "/p.jpg", std::ios::binary) << picture_;
    keep_path_ = std::getenv("PATH") ? std::getenv("PATH") : "";
    bin_ = home_.point("PATH", "bin");  // only the stubs: no real xdg-email or mail program
  }
  void TearDown() override {
    the_language().close();
    the_language().load("en");
    ControlsTest::TearDown();
  }

  std::string account(const std::string& name, const std::string& conf = {}) {
    plat::MailAccount a;
    EXPECT_EQ(plat::MailCreateAccount(root_, name, &a), plat::MAIL_OK);
    if (!conf.empty()) std::ofstream(a.folder + "/account.conf") << conf;
    return a.folder;
  }
  // A stand-in for xdg-email that writes its arguments, one a line, to dir_/args.
  void composer(const std::string& tail) {
    std::string path = bin_ + "/xdg-email";
    std::ofstream(path) << "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" << dir_ << "/args'\n" << tail << "\n";
    fs::permissions(path, fs::perms::owner_all);
  }

  // Python's email parser on a message: "key<TAB>value" lines (attachments as att<i>.name, and
  // att<i>.same: whether the decoded attachment is the picture p.jpg byte for byte).
  std::map<std::string, std::string> parse(const std::string& path) {
    const std::string script =
        "import sys, email, email.policy\n"
        "m = email.message_from_binary_file(open(sys.argv[1], 'rb'), policy=email.policy.default)\n"
        "print('to\\t' + (','.join(a.addr_spec for a in m['To'].addresses) if m['To'] else ''))\n"
        "print('subject\\t' + (str(m['Subject']) if m['Subject'] is not None else '<none>'))\n"
        "print('defects\\t' + str(len(m.defects)))\n"
        "print('body\\t' + m.get_body(('plain',)).get_content().replace('\\n', '|'))\n"
        "for i, p in enumerate(m.iter_attachments()):\n"
        "    print('att%d.name\\t%s' % (i, p.get_filename()))\n"
        "    print('att%d.same\\t%s' % (i, p.get_payload(decode=True) == open(sys.argv[2], 'rb').read()))\n";
    setenv("PATH", keep_path_.c_str(), 1);
    setenv("LUMORA_PY", script.c_str(), 1);
    std::map<std::string, std::string> out;
    FILE* p = ::popen(("python3 -c \"$LUMORA_PY\" '" + path + "' '" + dir_ + "/p.jpg'").c_str(), "r");
    char line[1 << 16];
    while (p && std::fgets(line, sizeof line, p)) {
      std::string s(line);
      if (!s.empty() && s.back() == '\n') s.pop_back();
      size_t tab = s.find('\t');
      if (tab != std::string::npos) out[s.substr(0, tab)] = s.substr(tab + 1);
    }
    EXPECT_TRUE(p && ::pclose(p) == 0);
    setenv("PATH", bin_.c_str(), 1);
    return out;
  }

  test::TempHome home_;
  std::string dir_, root_, bin_, picture_, keep_path_;
};

TEST(SendMailText, RecipientsAccountsNamesAndTexts) {
  using V = std::vector<std::string>;
  const std::pair<const char*, V> recipients[] = {
      {"a@x.org; b@y.org", {"a@x.org", "b@y.org"}}, {"a@x.org b@y.org", {"a@x.org", "b@y.org"}},
      {"  a@x.org;;\tb@y.org ; ", {"a@x.org", "b@y.org"}}, {"a@x.org", {"a@x.org"}}, {"", {}}, {" ; ", {}},
  };
  for (const auto& [to, expected] : recipients) EXPECT_EQ(mail_split_recipients(to), expected) << to;
  const std::pair<V, const char*> choices[] = {
      {{"ActiveSync", "MMS", "SMS"}, ""}, {{"ActiveSync", "home", "MMS", "SMS"}, "home"},
      {{"home", "work"}, "work"},          {{"sms", "SMS"}, "sms"}, {{}, ""},
  };
  for (const auto& [names, expected] : choices) EXPECT_EQ(mail_choose_account(names), expected);
  const std::pair<const char*, const char*> names[] = {
      {"\\My Documents\\pic.jpg", "pic.jpg"}, {"/home/u/pic.jpg", "pic.jpg"}, {"pic.jpg", "pic.jpg"}, {"dir/", ""}};
  for (const auto& [source, expected] : names) EXPECT_EQ(mail_attachment_name(source), expected) << source;
  // Texts from a language file are filled, never used as printf formats.
  EXPECT_EQ(fill_text("%s of %s: 100%%", {"a", "b"}), "a of b: 100%");
  EXPECT_EQ(fill_text("%s %s %n %d", {"only"}), "only  %n %d");
  EXPECT_EQ(mail_text(IDS_MAIL_CAPTION), "E-mail");
  const std::string folder = (fs::temp_directory_path() / "lumora_mail_language").string();
  fs::create_directories(folder);
  translate(folder, {{"IDS_MAIL_CAPTION", "E-Mail senden"}});
  EXPECT_EQ(mail_text(IDS_MAIL_CAPTION), "E-Mail senden");
  the_language().load("en");
  fs::remove_all(folder);
  for (const MailString& s : mail_strings()) {
    EXPECT_TRUE(s.id >= 300 && s.id <= 319) << s.key;
    EXPECT_EQ(std::string(s.key).rfind("IDS_MAIL_", 0), 0u);
    EXPECT_EQ(mail_text(s.id), s.english);
  }
}

TEST_F(SendMailTest, MessagesReadBackByPython) {
  struct Case {
    const char* what;
    std::string conf;  // of the account "home"
    MailRequest request;
    const char* to;    // as the parser lists them
    const char* subject;
    const char* body;
    const char* attachment;
  };
  const std::string pic = dir_ + "/p.jpg";
  const Case cases[] = {
      {"';' and blank, empty subject and body", "", {"a@x.org; b@y.org", "", "", "home", {{pic, "\\Pictures\\pic.jpg"}}},
       "a@x.org,b@y.org", "<none>", "", "pic.jpg"},
      {"blank alone", "", {"a@x.org b@y.org", "Hi", "Look", "HOME", {{pic, pic}}}, "a@x.org,b@y.org", "Hi", "Look",
       "p.jpg"},
      {"the account's recipients", "to = kiosk@x.org, Desk <desk@y.org>\n", {"", "", "", "home", {{pic, pic}}},
       "kiosk@x.org,desk@y.org", "<none>", "", "p.jpg"},
      {"a request's recipient wins", "to = kiosk@x.org\n", {"me@x.org", "", "", "home", {{pic, pic}}}, "me@x.org",
       "<none>", "", "p.jpg"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root_);
    std::string folder = account("home", c.conf);
    MailSendResult r;
    ASSERT_EQ(mail_send(c.request, &r), plat::MAIL_OK);
    EXPECT_EQ(r.account, "home");
    EXPECT_EQ(files_in(folder + "/Outbox/new"), 1u);
    EXPECT_EQ(fs::path(r.maildir_path).parent_path(), fs::path(folder) / "Outbox" / "new");
    auto m = parse(r.maildir_path);
    EXPECT_EQ(m["to"], c.to);
    EXPECT_EQ(m["subject"], c.subject);
    EXPECT_EQ(m["body"], c.body);
    EXPECT_EQ(m["defects"], "0");
    EXPECT_EQ(m["att0.name"], c.attachment);
    EXPECT_EQ(m["att0.same"], "True");
  }
  MailSendResult r;
  EXPECT_EQ(mail_send(MailRequest{"", "", "", "", {{pic, pic}}}, &r), plat::MAIL_NO_ACCOUNT);  // no name matches
  EXPECT_FALSE(r.account_found);
  EXPECT_EQ(mail_send(MailRequest{"a@x.org\x01", "", "", "home", {{pic, pic}}}, &r), plat::MAIL_BAD_ADDRESS);
  EXPECT_EQ(files_in(root_ + "/home/Outbox/tmp"), 0u);
}

// The whole command for each outcome: what lands in the Outbox and what the user is told.
TEST_F(SendMailTest, WhatTheCommandDoesAndSays) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> accounts;  // name, account.conf
    std::string composer;  // xdg-email stub's last line; empty: none installed
    std::string file;      // the picture; empty: dir_/p.jpg
    size_t in_outbox;      // messages in Outbox/new of the last account
    std::string text;      // the start of what the user is told; empty: nothing
    std::vector<std::string> also;  // further parts of the text
  };
  const std::string pic = dir_ + "/p.jpg", sent = dir_ + "/sent.eml";
  const std::string example = root_ + "/Mail";
  const std::vector<Case> cases = {
      {"only phone accounts", {{"ActiveSync", ""}, {"MMS", ""}, {"SMS", ""}}, "", "", 0,
       "No e-mail account is set up", {example + ",", example + "/account.conf"}},
      {"no store at all", {}, "", "", 0, "No e-mail account is set up", {}},
      {"into the Outbox", {{"home", ""}, {"SMS", ""}}, "", "", 1,
       "The picture p.jpg is in the Outbox of the account home.", {}},
      {"submitted", {{"home", "submit = /bin/cat > '" + sent + "'\n"}}, "", "", 1,
       "The picture p.jpg was sent through the account home.", {}},
      {"submit fails", {{"home", "submit = echo 'relay refused' >&2; exit 3\n"}}, "", "", 1,
       "The picture p.jpg is in the Outbox of the account home, but sending it failed: exit status 3, relay refused",
       {}},
      {"unreadable picture", {{"home", ""}}, "", dir_ + "/gone.jpg", 0, "Cannot read " + dir_ + "/gone.jpg.", {}},
      {"a folder for a picture", {{"home", ""}}, "", dir_, 0, "Cannot read " + dir_ + ".", {}},
      {"bad account.conf", {{"home", "submit /bin/cat\n"}}, "", "", 0,
       "The settings file " + root_ + "/home/account.conf of the account home cannot be used (line 1: expected", {}},
      {"control characters in account.conf", {{"home", "to = a@x.org\x7f\x01\n"}}, "", "", 0, "The settings file",
       {"line 1: control characters"}},
      {"desktop composer takes it", {{"SMS", ""}}, "exit 0", "", 0, "", {}},
      {"desktop composer fails", {}, "exit 4", "", 0,
       "The desktop mail program could not take the picture p.jpg (exit status 4).", {"No e-mail account"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(root_);
    fs::remove(bin_ + "/xdg-email");
    fs::remove(dir_ + "/args");
    fs::remove(sent);
    for (const auto& [name, conf] : c.accounts) account(name, conf);
    if (!c.composer.empty()) composer(c.composer);
    const std::string file = c.file.empty() ? pic : c.file;
    MailNotice n = send_file_by_mail_notice(file);
    EXPECT_EQ(n.shown, !c.text.empty());
    EXPECT_EQ(n.text.substr(0, c.text.size()), c.text) << n.text;
    for (const std::string& part : c.also) EXPECT_NE(n.text.find(part), std::string::npos) << n.text;
    EXPECT_EQ(n.caption, n.shown ? "E-mail" : "");
    for (const auto& [name, conf] : c.accounts) {
      EXPECT_EQ(files_in(root_ + "/" + name + "/Outbox/new"), name == "home" ? c.in_outbox : 0u) << name;
      EXPECT_EQ(files_in(root_ + "/" + name + "/Outbox/tmp"), 0u) << name;
    }
    // A submit command that writes the message gets exactly the Outbox copy.
    bool delivers = !c.accounts.empty() && c.accounts[0].second.find(sent) != std::string::npos;
    EXPECT_EQ(fs::exists(sent), delivers);
    for (auto& e : fs::directory_iterator(delivers ? root_ + "/home/Outbox/new" : bin_)) {
      EXPECT_EQ(read(sent), delivers ? read(e.path().string()) : "");
    }
    EXPECT_EQ(read(dir_ + "/args"), c.composer.empty() ? "" : "--attach\n" + file + "\n");
  }
  EXPECT_EQ(send_file_by_mail_notice("").shown, false);  // no current file: nothing happens
}

TEST_F(SendMailTest, ALingeringComposerIsNotAwaited) {
  composer("exec /bin/sleep 3");
  std::string error;
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(desktop_compose(desktop_composer(), "-odd.jpg", 200, &error), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(read(dir_ + "/args"), "--attach\n./-odd.jpg\n");
  EXPECT_EQ(desktop_compose(dir_ + "/none", "x.jpg", 200, &error), -1);
  EXPECT_FALSE(error.empty());
}

TEST_F(SendMailTest, TheUserIsToldInAMessageBox) {
  account("home");
  translate(dir_, {{"IDS_MAIL_SENT", "Im Postausgang von %s: %s"}});
  std::string caption, text;
  drive({{0,
          [&] {
            HWND box = plat::GetForegroundWindow();
            caption = plat::GetWindowText(box);
            plat::SetTextRecording(true);
            plat::ClearDrawnTexts();
            plat::InvalidateRect(box, nullptr, TRUE);
            plat::UpdateWindow(box);
            for (const plat::DrawnText& t : plat::DrawnTexts())
              if (t.hwnd == box) text += (text.empty() ? "" : " ") + t.text;
            plat::SetTextRecording(false);
          }},
         VK_RETURN});
  send_file_by_mail(parent_, dir_ + "/p.jpg");
  EXPECT_EQ(caption, "E-mail");
  EXPECT_NE(text.find("Im Postausgang von p.jpg: home"), std::string::npos) << text;
  EXPECT_EQ(files_in(root_ + "/home/Outbox/new"), 1u);
}

}  // namespace
}  // namespace lumora::app
