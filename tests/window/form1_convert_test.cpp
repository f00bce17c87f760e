// "Start Converting" against a scripted face: a converter script on POSIX
// systems, the real Quorvex.exe on corpus files on Windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>

#include "conversion/result_files.h"
#include "platform/error_report.h"
#include "tests/support/separator.h"
#include "tests/support/temp_dir.h"
#include "tests/window/scripted_face.h"
#include "window/form1.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/unprivileged.h"
#endif

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using testing_support::kSep;
using testing_support::ReadFile;
using testing_support::U8Path;
using Texts = std::vector<std::string>;

namespace {

// A converter for tests, chosen by the source's name: "nothing" writes no file
// (and says so on its console, which nobody reads), "crash" exits with 3, "two"
// writes two .eml files; anything else writes one .eml under a fresh generated
// name holding "converted:" and the source's bytes.
const std::string kTestConverter = R"(#!/bin/sh
src="$1"; out="$2"
case "$src" in
  *nothing*) echo "cannot convert"; exit 0 ;;
  *crash*) exit 3 ;;
  *two*) printf one > "${out}r1-$$.eml"; printf two > "${out}r2-$$.eml"; exit 0 ;;
esac
[ -f "$src" ] || exit 0
n=0
while [ -e "${out}gen-$$-$n.eml" ]; do n=$((n+1)); done
{ printf converted:; cat "$src"; } > "${out}gen-$$-$n.eml"
)";

struct ToolCall {
  std::string program;
  Texts arguments;
  std::string text;
  int start_value;
  int total;
};

// The real runner with a short cycle, recording what it was asked to run.
class RecordingRunner : public conversion::ToolRunner {
 public:
  explicit RecordingRunner(platform::EventPump& pump) : real_(pump, 2ms) {}
  int RunAndWait(const std::string& program, const Texts& arguments, conversion::ProgressSink* bar,
                 const std::string& text, int start_value, int total) override {
    calls.push_back({program, arguments, text, start_value, total});
    return real_.RunAndWait(program, arguments, bar, text, start_value, total);
  }
  std::vector<ToolCall> calls;

 private:
  conversion::ProcessToolRunner real_;
};

Texts Entries(const std::string& folder) {
  Texts names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(U8Path(folder), ec)) {
    names.push_back(testing_support::U8Text(entry.path().filename()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The window with output, tool and source folders for one test.
struct Scene {
  Scene() : dir(h.dir) {
    out = dir.File("out") + kSep;
    tools = dir.File("tools");
    src = dir.File("src") + kSep;
    fs::create_directories(U8Path(out));
    fs::create_directories(U8Path(src));
    fs::create_directories(U8Path(tools));
#ifndef _WIN32
    ::chmod(tools.c_str(), 0700);
#endif
    window::Form1& form = h.Make();
    face.text1 = out;
    form.conversion_tool_folder = tools;
    form.conversion_runner = &runner;
    form.conversion_tool_image = [this] {
      ++images_loaded;
      if (image_fails) throw platform::Failure("Resource not found");
      std::vector<std::byte> bytes(image.size());
      std::memcpy(bytes.data(), image.data(), image.size());
      return bytes;
    };
  }
  // Creates a source whose bytes name it, and lists it.
  std::string AddSource(const std::string& name, const std::string& folder = {}) {
    const std::string path = (folder.empty() ? src : folder) + name;
    fs::create_directories(U8Path(path).parent_path());
    testing_support::WriteFile(U8Path(path), path);
    face.rows.push_back(path);
    return path;
  }
  void Run() { h.form->PushButton2_Click(); }
  bool Busy() const { return h.form->ConversionBusy; }
  Texts Messages() const {
    Texts texts;
    for (const auto& message : h.dialogs.messages) texts.push_back(message.text);
    return texts;
  }

  window_testing::Harness h;
  window_testing::ScriptedFace& face = h.face;
  testing_support::TempDir& dir;
  std::string out, tools, src;
  RecordingRunner runner{h.pump};
  std::string image = kTestConverter;
  int images_loaded = 0;
  bool image_fails = false;
};

TEST(Form1Convert, EmptyListWritesNothing) {
  Scene scene;
  scene.Run();
  EXPECT_EQ(scene.Messages(), Texts{"No files added."});
  EXPECT_TRUE(Entries(scene.tools).empty());
  EXPECT_EQ(scene.face.hourglass_calls, 0);
  EXPECT_EQ(scene.images_loaded, 0);
  EXPECT_FALSE(scene.Busy());
}

TEST(Form1Convert, MissingOutputFolderUnderOption1) {
  Scene scene;
  scene.AddSource("a.msg");
  scene.face.text1 = scene.dir.File("missing") + kSep;
  scene.Run();
  EXPECT_EQ(scene.Messages(), Texts{"Folder does not exist. Please select another folder."});
  EXPECT_TRUE(scene.runner.calls.empty());
  EXPECT_TRUE(Entries(scene.tools).empty());
  EXPECT_FALSE(scene.Busy());
}

TEST(Form1Convert, MissingToolImageIsReported) {
  Scene scene;
  const std::string a = scene.AddSource("a.msg");
  scene.image_fails = true;
  scene.Run();
  const Texts messages = scene.Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].rfind("Resource not found\r\n", 0), 0u);
  EXPECT_NE(messages[0].find("at line 110"), std::string::npos);
  EXPECT_EQ(messages[1], "Failed to convert: " + a);
  EXPECT_EQ(messages[2], "Done.");
  EXPECT_TRUE(Entries(scene.tools).empty());
}

#ifdef _WIN32
// The real Quorvex.exe on corpus files: each result under its source's name,
// in the output folder or beside the source, and a damaged file reported.
TEST(Form1Convert, ConvertsCorpusFilesWithTheRealTool) {
  // Three items the converter takes: a plain, an HTML and an RTF body.
  const fs::path base = fs::path(CORPUS_DIR) / "email-outlook-message-perl";
  const std::vector<fs::path> corpus = {base / "plain_unsent.msg", base / "html_unsent.msg",
                                        base / "charset.msg"};
  for (const fs::path& path : corpus) ASSERT_TRUE(fs::exists(path)) << path;
  for (const bool option2 : {false, true}) {
    Scene scene;
    scene.image = ReadFile(QUORVEX_PATH);
    scene.face.option1 = !option2;
    scene.face.option2 = option2;
    // Copies under Cyrillic and CJK names, in folders with blanks in their
    // names, deeper than Windows' usual 260 characters.
    const std::string folder = scene.src + testing_support::DeepFolders(kSep) + kSep;
    fs::create_directories(U8Path(folder));
    Texts names;
    for (size_t i = 0; i < corpus.size(); ++i) {
      const std::string name = "\xd0\x9e\xd1\x82\xd1\x87\xd1\x91\xd1\x82 " + std::to_string(i) + " \xe6\x97\xa5.msg";
      fs::copy_file(corpus[i], U8Path(folder + name));
      scene.face.rows.push_back(folder + name);
      names.push_back(name.substr(0, name.size() - 4) + ".eml");
    }
    const std::string damaged = folder + "damaged.msg";
    testing_support::WriteFile(U8Path(damaged), ReadFile(corpus[0]).substr(0, 1000));
    scene.face.rows.push_back(damaged);
    scene.Run();
    EXPECT_EQ(scene.Messages(), (Texts{"Failed to convert: " + damaged, "Done."}));
    const std::string results = option2 ? folder : scene.out;
    for (const std::string& name : names) {
      const std::string eml = ReadFile(U8Path(results + name));
      EXPECT_NE(eml.find("\r\nMIME-Version: 1.0\r\n"), std::string::npos) << name;
    }
    EXPECT_EQ(Entries(scene.out).size(), option2 ? 0u : names.size());
    EXPECT_TRUE(Entries(scene.tools).empty());
    ASSERT_FALSE(scene.runner.calls.empty());
    EXPECT_EQ(scene.runner.calls[0].program, scene.tools + "\\Quorvex.exe");
  }
}
#else
std::string Converted(const std::string& source) { return "converted:" + source; }

TEST(Form1Convert, MissingWorkingFolderUnderOption2FailsEachItem) {
  Scene scene;
  const std::string a = scene.AddSource("a.msg");
  scene.face.text1 = scene.dir.File("missing/");
  scene.face.option1 = false;
  scene.face.option2 = true;
  scene.Run();
  EXPECT_EQ(scene.Messages(), (Texts{"Failed to convert: " + a, "Done."}));
  EXPECT_FALSE(fs::exists(scene.src + "a.eml"));
}

TEST(Form1Convert, ConvertsEachItemAndReportsFailures) {
  Scene scene;
  const std::string a = scene.AddSource("a.msg");
  const std::string nothing = scene.AddSource("nothing.msg");
  const std::string dotted = scene.AddSource("Report.final.msg");
  const std::string crash = scene.AddSource("crash.msg");
  const std::string noext = scene.AddSource("noext");
  const std::string two = scene.AddSource("two.msg");
  scene.Run();

  EXPECT_EQ(scene.Messages(), (Texts{"Failed to convert: " + nothing, "Failed to convert: " + crash,
                                          "Failed to convert: " + two, "Done."}));
  EXPECT_EQ(ReadFile(scene.out + "a.eml"), Converted(a));
  EXPECT_EQ(ReadFile(scene.out + "Report.final.eml"), Converted(dotted));
  EXPECT_EQ(ReadFile(scene.out + "noext.eml"), Converted(noext));
  // Two new files cannot be told apart: both stay where the tool left them.
  Texts left = Entries(scene.out);
  std::erase_if(left, [](const std::string& n) { return n == "a.eml" || n == "Report.final.eml" || n == "noext.eml"; });
  ASSERT_EQ(left.size(), 2u);
  EXPECT_TRUE(left[0].starts_with("r1-") && left[1].starts_with("r2-"));

  // The tool ran once per item with source and working folder as arguments,
  // from the private folder, which is empty again afterwards.
  ASSERT_EQ(scene.runner.calls.size(), 6u);
  EXPECT_EQ(scene.runner.calls[0].program, scene.tools + "/quorvex");
  EXPECT_EQ(scene.runner.calls[0].arguments, (Texts{a, scene.out}));
  EXPECT_TRUE(Entries(scene.tools).empty());

  // Tear-down: bar reset, default pointer, flag clear.
  EXPECT_EQ(scene.face.progress_value, 0.0);
  EXPECT_EQ(scene.face.progress_text, "Progress Bar");
  EXPECT_NE(scene.face.pointer, window::Pointer::kHourglass);
  EXPECT_EQ(scene.face.hourglass_calls, 1 + 6);
  EXPECT_FALSE(scene.Busy());
}

TEST(Form1Convert, ProgressOfThreeItems) {
  Scene scene;
  scene.AddSource("a.msg");
  scene.AddSource("b.msg");
  scene.AddSource("c.msg");
  scene.Run();
  const std::vector<double> values = scene.face.progress_values;
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(std::lround(values[0]), 33);
  EXPECT_EQ(std::lround(values[1]), 67);
  EXPECT_EQ(values[2], 100.0);
  EXPECT_EQ(values[3], 0.0);
  EXPECT_EQ(scene.runner.calls[0].start_value, 33);
  EXPECT_EQ(scene.runner.calls[1].start_value, 67);
  EXPECT_EQ(scene.runner.calls[2].start_value, 100);
  EXPECT_EQ(scene.runner.calls[0].total, 3);
  EXPECT_EQ(scene.runner.calls[1].text, "Processing: b.msg");
}

TEST(Form1Convert, SameBaseNameLastWins) {
  Scene scene;
  scene.AddSource("x.msg", scene.dir.File("A/"));
  const std::string second = scene.AddSource("x.msg", scene.dir.File("B/"));
  scene.Run();
  EXPECT_EQ(scene.Messages(), Texts{"Done."});
  EXPECT_EQ(Entries(scene.out), Texts{"x.eml"});
  EXPECT_EQ(ReadFile(scene.out + "x.eml"), Converted(second));
}

TEST(Form1Convert, ExistingTargetsReplaced) {
  for (const mode_t mode : {mode_t(0644), mode_t(0444)}) {
    Scene scene;
    const std::string a = scene.AddSource("a.msg");
    ASSERT_TRUE(testing_support::WriteFile(scene.out + "a.eml", "old result"));
    ASSERT_TRUE(testing_support::WriteFile(scene.out + "other.eml", "not ours"));
    ::chmod((scene.out + "a.eml").c_str(), mode);
    scene.Run();
    EXPECT_EQ(scene.Messages(), Texts{"Done."});
    EXPECT_EQ(ReadFile(scene.out + "a.eml"), Converted(a));
    EXPECT_EQ(ReadFile(scene.out + "other.eml"), "not ours");
    EXPECT_EQ(Entries(scene.out), (Texts{"a.eml", "other.eml"}));
  }
}

// After a failed move no file stays under a generated name: the result is
// kept in the working folder under the target's name, never over a file
// there, or removed; the report says which. The source is never touched.
TEST(Form1Convert, FailedMove) {
  RUN_AS_UNPRIVILEGED_USER();
  struct Case {
    bool option2;
    std::string blocker;  // "folder": a folder at the target; "read-only": the source's folder
    bool name_taken;      // a.eml already in the working folder
    std::string says;     // the report's end; "~" stands for the working folder
    Texts working_after;
  };
  const Case cases[] = {
      {false, "folder", false, "The result was not kept: ~a.eml is already there.", {"a.eml", "b.eml"}},
      {true, "read-only", false, "The result is kept as ~a.eml.", {"a.eml"}},
      {true, "read-only", true, "The result was not kept: ~a.eml is already there.", {"a.eml"}},
  };
  for (const Case& c : cases) {
    Scene scene;
    scene.face.option1 = !c.option2;
    scene.face.option2 = c.option2;
    const std::string a = scene.AddSource("a.msg");
    const std::string b = scene.AddSource("b.msg", scene.dir.File("other/"));
    if (c.name_taken) {
      ASSERT_TRUE(testing_support::WriteFile(scene.out + "a.eml", "not ours"));
    }
    if (c.blocker == "folder") fs::create_directories(scene.out + "a.eml/inside");
    if (c.blocker == "read-only") ::chmod(scene.src.c_str(), 0555);
    scene.Run();
    ::chmod(scene.src.c_str(), 0755);
    const Texts messages = scene.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(scene.h.dialogs.messages[0].title, "Application Error");
    EXPECT_NE(messages[0].find("in Quorvex2021/08/31.Form1.PushButton2_Click at line 146"), std::string::npos);
    const std::string target = (c.option2 ? scene.src : scene.out) + "a.eml";
    EXPECT_EQ(messages[0].rfind("Cannot move the result to " + target + ": ", 0), 0u) << messages[0];
    std::string says = c.says;
    says.replace(says.find('~'), 1, scene.out);
    EXPECT_NE(messages[0].find(says + "\r\n"), std::string::npos) << messages[0];
    EXPECT_EQ(messages[1], "Done.");
    // The next item goes on as usual.
    EXPECT_EQ(ReadFile(c.option2 ? scene.dir.File("other/b.eml") : scene.out + "b.eml"), Converted(b));
    EXPECT_EQ(Entries(scene.out), c.working_after);
    if (c.blocker == "folder") {
      EXPECT_TRUE(fs::is_directory(scene.out + "a.eml/inside"));
    }
    if (c.name_taken) {
      EXPECT_EQ(ReadFile(scene.out + "a.eml"), "not ours");
    }
    if (!c.name_taken && c.blocker == "read-only") {
      EXPECT_EQ(ReadFile(scene.out + "a.eml"), Converted(a));
    }
    EXPECT_EQ(Entries(scene.src), Texts{"a.msg"});
  }
}

TEST(Form1Convert, Option2PutsResultsBesideSources) {
  Scene scene;
  const std::string a = scene.AddSource("a.msg");
  const std::string b = scene.AddSource("b.msg", scene.dir.File("deep/er/"));
  scene.face.option1 = false;
  scene.face.option2 = true;
  scene.Run();
  EXPECT_EQ(scene.Messages(), Texts{"Done."});
  EXPECT_EQ(ReadFile(scene.src + "a.eml"), Converted(a));
  EXPECT_EQ(ReadFile(scene.dir.File("deep/er/b.eml")), Converted(b));
  EXPECT_TRUE(Entries(scene.out).empty());
}

TEST(Form1Convert, Option2AcrossFileSystems) {
  struct stat shm {}, tmp {};
  if (::stat("/dev/shm", &shm) != 0 || ::access("/dev/shm", W_OK) != 0) GTEST_SKIP() << "no /dev/shm";
  Scene scene;
  if (::stat(scene.dir.Path().c_str(), &tmp) != 0 || tmp.st_dev == shm.st_dev) {
    GTEST_SKIP() << "temporary folder is on the same file system as /dev/shm";
  }
  const std::string working = "/dev/shm/mailvane-test-" + std::to_string(::getpid());
  fs::create_directories(working);
  scene.face.text1 = working + "/";
  scene.face.option1 = false;
  scene.face.option2 = true;
  const std::string a = scene.AddSource("a.msg");
  ASSERT_TRUE(testing_support::WriteFile(scene.src + "a.eml", "old"));
  scene.Run();
  EXPECT_EQ(scene.Messages(), Texts{"Done."});
  EXPECT_EQ(ReadFile(scene.src + "a.eml"), Converted(a));
  EXPECT_TRUE(Entries(working).empty());
  fs::remove_all(working);
  // No temporary copy is left beside the result.
  EXPECT_EQ(Entries(scene.src), (Texts{"a.eml", "a.msg"}));
}

TEST(Form1Convert, NeitherOptionActsAsOption1) {
  Scene scene;
  const std::string a = scene.AddSource("a.msg");
  scene.face.option1 = false;
  scene.face.option2 = false;
  scene.Run();
  EXPECT_EQ(ReadFile(scene.out + "a.eml"), Converted(a));
}

TEST(Form1Convert, WorkingFolderWithoutTrailingSeparator) {
  Scene scene;
  const std::string a = scene.AddSource("a.msg");
  scene.face.text1 = scene.dir.File("out");
  scene.Run();
  EXPECT_EQ(scene.Messages(), Texts{"Done."});
  EXPECT_EQ(ReadFile(scene.out + "a.eml"), Converted(a));
  EXPECT_EQ(scene.runner.calls[0].arguments[1], scene.out);
}

TEST(Form1Convert, ControlsAreReadAnewPerItem) {
  Scene scene;
  const std::string a = scene.AddSource("a.msg");
  const std::string b = scene.AddSource("b.msg");
  const std::string other = scene.dir.File("other/");
  fs::create_directories(other);
  scene.face.on_item_text = [&](int index) {
    if (index == 2) scene.face.text1 = other;
    // Added during the run: not converted in it.
    if (index == 1) scene.face.rows.push_back(scene.src + "late.msg");
  };
  scene.Run();
  EXPECT_EQ(ReadFile(scene.out + "a.eml"), Converted(a));
  EXPECT_EQ(ReadFile(other + "b.eml"), Converted(b));
  EXPECT_EQ(scene.runner.calls.size(), 2u);
  // The share of items begun uses the count at each item.
  EXPECT_EQ(std::lround(scene.face.progress_values[0]), 33);
}

TEST(Form1Convert, PlantedOrLinkedToolIsNeverRun) {
  for (const bool link : {false, true}) {
    Scene scene;
    const std::string a = scene.AddSource("a.msg");
    const std::string marker = scene.dir.File("pwned");
    const std::string evil = link ? scene.dir.File("evil.sh") : scene.tools + "/quorvex";
    ASSERT_TRUE(testing_support::WriteFile(evil, "#!/bin/sh\ntouch '" + marker + "'\n"));
    ::chmod(evil.c_str(), 0755);
    if (link) {
      ASSERT_EQ(::symlink(evil.c_str(), (scene.tools + "/quorvex").c_str()), 0);
    }
    scene.Run();
    EXPECT_FALSE(fs::exists(marker));
    if (!link) {
      // A planted file is replaced and the run goes on.
      EXPECT_EQ(ReadFile(scene.out + "a.eml"), Converted(a));
      continue;
    }
    // A link is refused; every item then fails.
    const Texts messages = scene.Messages();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_NE(messages[0].find("at line 112"), std::string::npos);
    EXPECT_EQ(messages[1], "Failed to convert: " + a);
    EXPECT_EQ(messages[2], "Done.");
    EXPECT_TRUE(fs::is_symlink(scene.tools + "/quorvex"));
  }
}

TEST(Form1Convert, UnsafeToolFolderIsReported) {
  Scene scene;
  const std::string a = scene.AddSource("a.msg");
  scene.h.form->conversion_tool_folder = scene.dir.File("open");
  fs::create_directories(scene.h.form->conversion_tool_folder);
  ::chmod(scene.h.form->conversion_tool_folder.c_str(), 0777);
  scene.Run();
  const Texts messages = scene.Messages();
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_NE(messages[0].find("at line 112"), std::string::npos);
  EXPECT_NE(messages[0].find("writable by others"), std::string::npos);
  EXPECT_EQ(messages[1], "Failed to convert: " + a);
  EXPECT_FALSE(scene.Busy());
}
#endif

}  // namespace
