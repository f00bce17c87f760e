// Running the built quorvex and describing what its .eml must hold.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "formats/common/ascii.h"
#include "formats/common/codepage.h"
#include "formats/eml/compose.h"
#include "formats/mime/header_block.h"
#include "formats/msg/filetime.h"
#include "formats/msg/message.h"

namespace tool_test {

class TempDir {
 public:
  TempDir() {
    char pattern[] = "/tmp/quorvex_test_XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Names in a folder, hidden ones included.
inline std::set<std::string> ListDir(const std::string& path) {
  std::set<std::string> names;
  if (DIR* d = opendir(path.c_str())) {
    while (dirent* e = readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    closedir(d);
  }
  return names;
}

struct ToolResult {
  std::string output;  // everything printed on stdout and stderr
  int exit_code = -1;
};

// Runs quorvex with args; file_size_limit > 0 caps the size of files it may
// write (a disk that fills up), data_limit > 0 caps its heap and other private
// memory (RLIMIT_DATA; the mapped input is not counted).
inline ToolResult RunTool(const std::vector<std::string>& args, rlim_t file_size_limit = 0, rlim_t data_limit = 0) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return {};
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipe_fds[1], 1);
    dup2(pipe_fds[1], 2);
    close(pipe_fds[0]);
    if (file_size_limit > 0) {
      signal(SIGXFSZ, SIG_IGN);  // writes then fail with EFBIG instead of killing
      rlimit lim{file_size_limit, file_size_limit};
      setrlimit(RLIMIT_FSIZE, &lim);
    }
    if (data_limit > 0) {
      rlimit lim{data_limit, data_limit};
      setrlimit(RLIMIT_DATA, &lim);
    }
    std::vector<char*> argv;
    std::string tool = QUORVEX_PATH;
    argv.push_back(tool.data());
    std::vector<std::string> copy = args;
    for (std::string& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(tool.c_str(), argv.data());
    _exit(127);
  }
  close(pipe_fds[1]);
  ToolResult result;
  char buf[4096];
  ssize_t n;
  while ((n = read(pipe_fds[0], buf, sizeof buf)) > 0) result.output.append(buf, static_cast<size_t>(n));
  close(pipe_fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return result;
}

inline std::string JsonString(std::string_view s) {
  std::string out = "\"";
  for (char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (ch == '"' || ch == '\\') {
      out += '\\';
      out += ch;
    } else if (c < 0x20) {
      char esc[8];
      std::snprintf(esc, sizeof esc, "\\u%04x", c);
      out += esc;
    } else {
      out += ch;
    }
  }
  return out + "\"";
}

// Up to six words of the plain body (letters and digits, four or more) that the
// HTML body must show too. Link targets, which the plain body shows as <url>
// after the link's text, are no words of the text.
inline std::vector<std::string> BodyWords(const formats::msg::Message& m) {
  std::vector<std::string> words;
  if (!m.body) return words;
  std::string word;
  bool in_link = false;
  for (char c : *m.body + " ") {
    if (c == '<' || c == '>') in_link = c == '<';
    if (std::isalnum(static_cast<unsigned char>(c)) && !in_link) {
      word += c;
      continue;
    }
    if (word.size() >= 4 && words.size() < 6) words.push_back(word);
    word.clear();
  }
  return words;
}

inline std::string ExpectedSubject(const formats::msg::Message& m) {
  std::string s;
  for (char c : m.subject) {
    if (c == '\0') continue;
    s += (c == '\r' || c == '\n') ? ' ' : c;
  }
  return s;
}

// The expectation check_eml.py reads, for m and its embedded messages. Attachment
// bytes the reader gives are saved under dir for a byte-for-byte comparison.
// With the item's content, a file packaged as an OLE object is expected under
// its own name.
inline std::string Expectation(const formats::msg::Message& m, const std::string& dir, int& counter,
                               bool body_words = true, const formats::msg::ContentAccess* content = nullptr) {
  using formats::msg::AttachMethod;
  std::string j = "{";
  std::optional<std::string> from = formats::eml::InternetAddress(m.sender);
  if (!from) from = formats::eml::InternetAddress(m.sent_representing);
  j += "\"from\": " + (from ? JsonString(*from) : (m.depth > 0 && m.transport_headers.empty() ? "null" : "\"*\""));
  const char* names[] = {"to", "cc", "bcc"};
  const bool report = formats::StartsWithIgnoreCase(m.message_class, "REPORT.");
  if (report) {
    // A report goes to its addressee: the stored block's To, else whom it reached.
    std::vector<formats::mime::Mailbox> to = formats::mime::HeaderMailboxes(m.transport_headers, "To");
    for (const formats::msg::Address* group : {&m.extras.received_by, &m.extras.original_sender}) {
      auto address = formats::eml::InternetAddress(*group);
      if (to.empty() && address) to.push_back({"", *address});
    }
    j += ", \"to\": [";
    for (size_t i = 0; i < to.size(); ++i) j += (i ? ", " : "") + JsonString(to[i].address);
    j += "], \"cc\": [], \"bcc\": []";
    // The machine part names each recipient of the original (the recipient
    // table) for a delivery report, the reader (the sender) for a read report.
    const bool read_report = formats::EndsWithIgnoreCase(m.message_class, ".IPNRN") ||
                             formats::EndsWithIgnoreCase(m.message_class, ".IPNNRN");
    bool delivery_report = false;
    for (const char* kind : {".NDR", ".DR", ".Relayed", ".Delayed", ".Expanded"}) {
      delivery_report = delivery_report || formats::EndsWithIgnoreCase(m.message_class, kind);
    }
    std::vector<std::string> final_recipients;
    if (read_report) {
      auto reader = formats::eml::InternetAddress(m.sender);
      if (!reader) reader = formats::eml::InternetAddress(m.sent_representing);
      if (reader) final_recipients.push_back(*reader);
    } else if (delivery_report) {
      for (const auto& r : m.recipients) {
        if (auto address = formats::eml::InternetAddress(r)) final_recipients.push_back(*address);
      }
    }
    if (!final_recipients.empty()) {
      j += std::string(", \"report\": {\"type\": \"") + (read_report ? "disposition-notification" : "delivery-status") +
           "\", \"recipients\": [";
      for (size_t i = 0; i < final_recipients.size(); ++i) j += (i ? ", " : "") + JsonString(final_recipients[i]);
      j += "]}";
    }
  }
  for (uint32_t type = 1; type <= 3 && !report; ++type) {
    j += std::string(", \"") + names[type - 1] + "\": [";
    bool first = true;
    for (const auto& r : m.recipients) {
      if ((static_cast<uint32_t>(r.type) & 0xFF) != type) continue;
      auto address = formats::eml::InternetAddress(r);
      if (!address && m.depth > 0) continue;  // embedded items leave such recipients out
      j += (first ? "" : ", ") + (address ? JsonString(*address) : std::string("\"*\""));
      first = false;
    }
    j += "]";
  }
  j += ", \"subject\": " + JsonString(ExpectedSubject(m));
  // Meeting requests, cancellations and responses carry a calendar part.
  static constexpr std::pair<const char*, const char*> kMethods[] = {
      {"IPM.Schedule.Meeting.Request", "REQUEST"}, {"IPM.Schedule.Meeting.Canceled", "CANCEL"},
      {"IPM.Schedule.Meeting.Resp.Pos", "REPLY"},  {"IPM.Schedule.Meeting.Resp.Neg", "REPLY"},
      {"IPM.Schedule.Meeting.Resp.Tent", "REPLY"}};
  for (const auto& [message_class, method] : kMethods) {
    if (m.meeting && m.message_class == message_class) j += std::string(", \"calendar\": \"") + method + "\"";
  }
  const bool is_signed = m.message_class.size() >= 22 &&
                         m.message_class.substr(m.message_class.size() - 22) == ".SMIME.MultipartSigned";
  if (is_signed) j += ", \"signed\": true";
  if (body_words) {
    j += ", \"body_words\": [";
    bool first = true;
    for (const std::string& w : BodyWords(m)) {
      j += (first ? "" : ", ") + JsonString(w);
      first = false;
    }
    j += "]";
    // With an HTML body of its own the item's plain body is a separate text that
    // may differ (some writers put different words in each): half must match.
    const size_t n = BodyWords(m).size();
    j += ", \"body_words_min\": " + std::to_string(m.html ? (n + 1) / 2 : n);
  }
  j += ", \"content_ids\": [";
  for (size_t i = 0; i < m.attachments.size(); ++i) {
    j += (i ? ", " : "") + JsonString(m.attachments[i].content_id);
  }
  j += "]";
  j += ", \"attachments\": [";
  bool first = true;
  // The stored plain body is the text/plain alternative, NULs dropped and lines
  // ending in CR LF; a part without a name, found by its bytes.
  std::string text;
  for (size_t i = 0; m.body && i < m.body->size(); ++i) {
    const char c = (*m.body)[i];
    if (c == '\r' && i + 1 < m.body->size() && (*m.body)[i + 1] == '\n') continue;
    if (c == '\r' || c == '\n') {
      text += "\r\n";
    } else if (c != '\0') {
      text += c;
    }
  }
  const bool smime = m.message_class.find(".SMIME") != std::string::npos;
  if (!smime && text.find_first_not_of(" \t\r\n") != std::string::npos) {
    const std::string file = dir + "/text" + std::to_string(counter++) + ".txt";
    std::ofstream(file, std::ios::binary) << text;
    j += "{\"name\": null, \"file\": " + JsonString(file) + "}";
    first = false;
  }
  for (const auto& a : m.attachments) {
    j += first ? "" : ", ";
    first = false;
    std::string dates;
    for (const auto& [key, time] : {std::pair{"created", a.creation_time}, std::pair{"modified", a.modification_time}}) {
      if (auto seconds = time ? formats::msg::FileTimeToUnixSeconds(*time) : std::nullopt) {
        dates += std::string(", \"") + key + "\": " + std::to_string(*seconds);
      }
    }
    if (a.method == AttachMethod::kEmbeddedMessage && a.embedded) {
      // The names the user saw, the subject, and only then the 8.3 short name.
      std::string name = formats::eml::SanitizeFileName(a.long_filename);
      if (name.empty()) name = formats::eml::SanitizeFileName(a.display_name);
      if (name.empty()) name = formats::eml::SanitizeFileName(a.embedded->subject);
      if (name.empty()) name = formats::eml::SanitizeFileName(a.filename);
      if (name.empty()) name = "message";
      if (name.size() >= 4 && (name.substr(name.size() - 4) == ".msg" || name.substr(name.size() - 4) == ".MSG")) {
        name.resize(name.size() - 4);
      }
      if (name.size() < 4 || name.substr(name.size() - 4) != ".eml") name += ".eml";
      j += "{\"name\": " + JsonString(name) + dates + ", \"message\": " + Expectation(*a.embedded, dir, counter, body_words, content) + "}";
      continue;
    }
    std::string name = formats::eml::SanitizeFileName(a.filename);
    if (a.method == AttachMethod::kOle && a.object_storage && content != nullptr) {
      auto ole = content->OleData(a);
      if (ole && *ole && !formats::eml::SanitizeFileName((*ole)->packaged_name).empty()) {
        name = formats::eml::SanitizeFileName((*ole)->packaged_name);
      }
    }
    j += "{\"name\": " + (name.empty() ? std::string("null") : JsonString(name)) + dates;
    if (a.method == AttachMethod::kByValue || a.method == AttachMethod::kNone) {
      std::vector<uint8_t> bytes;
      if (a.data) {
        auto all = a.data->ReadAll(1ull << 31);
        if (all) bytes = std::move(*all);
      }
      const std::string file = dir + "/att" + std::to_string(counter++) + ".bin";
      std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                  static_cast<std::streamsize>(bytes.size()));
      j += ", \"file\": " + JsonString(file);
    }
    j += "}";
  }
  j += "]}";
  return j;
}

// Runs check_eml.py; returns its output (empty when the file passed).
inline std::string CheckEml(const std::string& eml, const std::string& expectation_json, const std::string& dir) {
  const std::string json_path = dir + "/expected.json";
  std::ofstream(json_path) << expectation_json;
  const std::string out_path = dir + "/check.txt";
  const std::string cmd = std::string(PYTHON_EXECUTABLE) + " '" + CHECK_EML + "' '" + eml + "' '" + json_path +
                          "' > '" + out_path + "' 2>&1";
  const int rc = std::system(cmd.c_str());
  std::ifstream in(out_path);
  std::string text((std::istreambuf_iterator<char>(in)), {});
  if (rc != 0 && text.empty()) text = "check_eml.py failed to run";
  return rc == 0 ? "" : text;
}

}  // namespace tool_test
