// Filling the list: the file dialog, "Add All" over a folder tree, drops and
// the samples, against a scripted face.
#include "window/file_intake.h"

#include <gtest/gtest.h>

#include "platform/path_helpers.h"
#include "tests/support/separator.h"
#include "tests/window/scripted_face.h"

#ifndef _WIN32
#include <unistd.h>

#include "tests/support/unprivileged.h"
#endif

using testing_support::U8Path;
using window_testing::Harness;
using Texts = std::vector<std::string>;

namespace {

using testing_support::kSep;

const std::string kExtensionPrompt =
    "Enter file extension to load:\r\r(* for all files, txt for all txt files, doc for all doc files, etc.)";
const std::string kTooMany =
    "You've selected too many files to add.\r\rPlease try adding via the \"Add All\" button.";
const std::string kSampleQuestion =
    "Would you like this software to open the folder where these sample files are stored (so that you "
    "can view them before working with them)?";

std::string Native(std::string path) {
  for (char& c : path) {
    if (c == '/') c = kSep;
  }
  return path;
}

// An absolute path from a POSIX-style one: on Windows on drive C:, since a
// single leading backslash would collapse into a network prefix.
std::string Absolute(const std::string& path) {
#ifdef _WIN32
  return "C:" + Native(path);
#else
  return path;
#endif
}

void Touch(const std::string& path) {
  std::filesystem::create_directories(U8Path(path).parent_path());
  ASSERT_TRUE(testing_support::WriteFile(U8Path(path), "x")) << path;
}

// A small mail tree, with a Cyrillic and a CJK folder:
//   top/a.msg  top/B.MSG  top/~lock.msg  top/notes.txt  top/x..msg
//   top/sub/c.msg  top/sub/deeper/d.msg  top/Письма/е.msg  top/邮件/f.msg
const std::string kCyrillic = "\xd0\x9f\xd0\xb8\xd1\x81\xd1\x8c\xd0\xbc\xd0\xb0";
const std::string kCjk = "\xe9\x82\xae\xe4\xbb\xb6";
std::string MakeMailTree(const Harness& h) {
  const std::string top = h.dir.File("top");
  for (const std::string& name : Texts{"a.msg", "B.MSG", "~lock.msg", "notes.txt", "x..msg", "sub/c.msg",
                                 "sub/deeper/d.msg", kCyrillic + "/e.msg", kCjk + "/f.msg"}) {
    Touch(top + kSep + Native(name));
  }
  return top;
}

Texts Under(const std::string& top, const Texts& relative) {
  Texts out;
  for (const std::string& r : relative) out.push_back(top + kSep + Native(r));
  return out;
}

TEST(FileIntake, AddFilesDialog) {
  // "/mail" + 120 x (separator + 247 characters) = 29765; a last name of 234
  // characters brings the selection to exactly 30000, one more goes over (on
  // Windows the folder is "C:\mail", two characters longer).
  const std::string long_name = std::string(240, 'n') + ".msg";
  Texts fits;
  for (int i = 0; i < 120; ++i) {
    char number[8];
    std::snprintf(number, sizeof number, "%03d", i);
    fits.push_back(Absolute("/mail/") + number + long_name);
  }
  Texts many = fits;
  fits.push_back(Absolute("/mail/") + std::string(230 - Absolute("").size(), 'x') + ".msg");
  many.push_back(Absolute("/mail/") + std::string(231 - Absolute("").size(), 'x') + ".msg");
  struct Case { Texts already, chosen, items; bool too_many; };
  const Case cases[] = {
      {{}, {}, {}, false},
      {{}, {Absolute("/mail//in box/a.msg")}, {Absolute("/mail//in box/a.msg")}, false},  // one file unchanged
      {{}, {Absolute("/mail//box/a.msg"), Absolute("/mail//box/b.MSG")},
       {Absolute("/mail/box/a.msg"), Absolute("/mail/box/b.MSG")}, false},  // joined and collapsed
      {{"/m/a.msg"}, {"/m/a.msg"}, {"/m/a.msg", "/m/a.msg"}, false},   // listed again
      {{"/kept.msg"}, many, {"/kept.msg"}, true},
      {{}, fits, fits, false},
#ifndef _WIN32
      {{}, {"/a.msg", "/b.msg"}, {"/a.msg", "/b.msg"}, false},  // several in the root
#endif
  };
  for (const Case& c : cases) {
    Harness h;
    h.Make();
    for (const std::string& path : c.already) h.form->AddFileToList(path);
    h.dialogs.file_answers.push_back(c.chosen);
    h.form->PushButton1_Click();
    EXPECT_EQ(h.face.rows, c.items);
    ASSERT_EQ(h.dialogs.file_requests.size(), 1u);
    EXPECT_EQ(h.dialogs.file_requests[0].title, "Add File(s) - Hold Ctrl to select multiple files");
    EXPECT_EQ(h.dialogs.file_requests[0].arg, "MSG Files (*.msg)");
    EXPECT_EQ(h.dialogs.messages.size(), c.too_many ? 1u : 0u);
    if (c.too_many) {
      EXPECT_EQ(h.dialogs.messages[0].text, kTooMany);
    }
  }
}

TEST(FileIntake, AddAll) {
  struct Case {
    std::optional<std::string> extension;  // nullopt: input box cancelled
    bool pick_folder;
    Texts items;  // relative to the tree
    std::optional<std::string> stored_extension;
  };
  const Case cases[] = {
      {std::nullopt, true, {}, std::nullopt},
      {"txt", false, {}, "txt"},  // a cancelled folder picker keeps the extension
      // any letter case, no "~"; Cyrillic and CJK folders in their order
      {"msg", true, {"a.msg", "B.MSG", "x..msg", "sub/c.msg", kCyrillic + "/e.msg", kCjk + "/f.msg",
                     "sub/deeper/d.msg"}, "msg"},
      {"*", true, {"a.msg", "B.MSG", "notes.txt", "x..msg", "sub/c.msg", kCyrillic + "/e.msg",
                   kCjk + "/f.msg", "sub/deeper/d.msg"}, "*"},
      {".msg", true, {"x..msg"}, ".msg"},  // a leading dot used as typed
  };
  for (const Case& c : cases) {
    Harness h;
    h.Make();
    const std::string top = MakeMailTree(h);
    h.dialogs.input_answers.push_back(c.extension.value_or(""));
    h.dialogs.folder_answers.push_back(c.pick_folder ? top : "");
    h.form->PushButton4_Click();
    EXPECT_EQ(h.face.rows, Under(top, c.items));
    ASSERT_EQ(h.dialogs.input_prompts.size(), 1u);
    EXPECT_EQ(h.dialogs.input_prompts[0].prompt, kExtensionPrompt);
    EXPECT_EQ(h.dialogs.input_prompts[0].preset, "msg");
    EXPECT_EQ(h.settings.Stored("Extension"), c.stored_extension);
    EXPECT_EQ(h.settings.Stored("LastFolder"), c.extension && c.pick_folder ? std::optional(top) : std::nullopt);
    EXPECT_TRUE(h.dialogs.messages.empty());
    EXPECT_FALSE(h.form->IsBusy());
  }
}

TEST(FileIntake, AddAllShowsTheHourglassWhileScanning) {
  Harness h;
  h.Make();
  const std::string top = MakeMailTree(h);
  h.settings.values = {{"Extension", "txt"}, {"LastFolder", "/somewhere/else"}};
  h.dialogs.input_answers.push_back("msg");
  h.dialogs.folder_answers.push_back(top + kSep);
  bool busy_during_scan = false;
  h.pump.actions[1] = [&] {
    busy_during_scan = h.form->IsBusy();
    // Removing rows is refused meanwhile.
    h.form->PushButton6_Click();
  };
  h.form->AddFileToList("/earlier.msg");
  h.form->PushButton4_Click();
  EXPECT_TRUE(busy_during_scan);
  EXPECT_FALSE(h.form->IsBusy());
  EXPECT_EQ(h.dialogs.input_prompts[0].preset, "txt");
  EXPECT_EQ(h.dialogs.folder_requests[0].title, "Please select folder:");
  EXPECT_EQ(h.dialogs.folder_requests[0].arg, "/somewhere/else");
  EXPECT_EQ(h.settings.Stored("LastFolder"), top);
  EXPECT_EQ(h.face.rows.size(), 1u + 7u);
  EXPECT_EQ(h.face.rows[0], "/earlier.msg");
}

TEST(FileIntake, AddAllGoesOnWhenTheStoreFails) {
  Harness h;
  h.Make();
  const std::string top = MakeMailTree(h);
  h.settings.fail_writes = true;
  h.dialogs.input_answers.push_back("msg");
  h.dialogs.folder_answers.push_back(top);
  h.form->PushButton4_Click();
  EXPECT_EQ(h.face.rows.size(), 7u);
  const std::string location = "in Quorvex2021/08/31.Form1.PushButton4_Click ";
  EXPECT_EQ(h.Reports(), (Texts{platform::ErrorReportText("Permission denied", location, 100),
                                platform::ErrorReportText("Permission denied", location, 334)}));
  EXPECT_FALSE(h.form->IsBusy());
}

TEST(FileIntake, DropMixesFoldersAndFilesInOrder) {
  Harness h;
  h.Make();
  const std::string top = MakeMailTree(h);
  const std::string other = h.dir.File("other");
  Touch(other + kSep + "z.eml");
  Touch(other + kSep + Native("inner/y.doc"));
  Touch(h.dir.File("~draft.msg"));
  const std::string missing = h.dir.File(Native("gone/never.msg"));
  EXPECT_FALSE(h.form->ListView1_OLEDragOver({}));
  const Texts dropped{h.dir.File("~draft.msg"), top, missing, other + kSep};
  EXPECT_TRUE(h.form->ListView1_OLEDragOver(dropped));
  h.form->ListView1_OLEDragDrop(dropped);
  Texts expected{h.dir.File("~draft.msg")};  // dropped files are listed as dropped
  for (const std::string& item : Under(top, {"a.msg", "B.MSG", "notes.txt", "x..msg", "sub/c.msg",
                                             kCyrillic + "/e.msg", kCjk + "/f.msg", "sub/deeper/d.msg"})) {
    expected.push_back(item);
  }
  expected.push_back(missing);
  // Each dropped folder is scanned on its own.
  for (const std::string& item : Under(other, {"z.eml", "inner/y.doc"})) expected.push_back(item);
  EXPECT_EQ(h.face.rows, expected);
  EXPECT_TRUE(h.dialogs.messages.empty());
  EXPECT_GT(h.pump.yields, 0);
}

TEST(FileIntake, SamplesAddedOnceAndQuestionAlwaysAsked) {
  Harness h;
  h.Make();
  const std::string samples = h.AppFolder() + kSep + "Samples";
  for (const char* name : {"b.msg", "a.eml", ".hidden", "~temp.msg", "sub/not-entered.msg"}) {
    Touch(samples + kSep + Native(name));
  }
  const std::string doubled = samples + kSep + kSep + "a.eml";
  h.form->AddFileToList(doubled);  // another text for the same file
  h.dialogs.yes_no_answers = {true, false, false};
  h.form->PushButton7_Click();
  const Texts first{doubled, samples + kSep + ".hidden", samples + kSep + "a.eml", samples + kSep + "b.msg",
                    samples + kSep + "~temp.msg"};
  EXPECT_EQ(h.face.rows, first);
  EXPECT_EQ(h.dialogs.opened_folders, Texts{samples});
  h.form->PushButton7_Click();
  EXPECT_EQ(h.face.rows, first);
  h.face.selected = 4;  // b.msg
  h.form->ListView1_KeyDown(window::kKeyDelete);
  h.form->PushButton7_Click();
  EXPECT_EQ(h.face.rows.back(), samples + kSep + "b.msg");
  EXPECT_EQ(h.face.rows.size(), first.size());
  ASSERT_EQ(h.dialogs.messages.size(), 3u);
  for (const auto& message : h.dialogs.messages) {
    EXPECT_TRUE(message.yes_no);
    EXPECT_EQ(message.text, kSampleQuestion);
  }
  EXPECT_EQ(h.dialogs.opened_folders.size(), 1u);

  // Without the folder the question is still asked.
  Harness empty;
  empty.Make();
  empty.dialogs.yes_no_answers = {true};
  empty.form->PushButton7_Click();
  EXPECT_TRUE(empty.face.rows.empty());
  EXPECT_EQ(empty.dialogs.opened_folders, Texts{empty.AppFolder() + kSep + "Samples"});
}

#ifndef _WIN32
TEST(FileIntake, AddAllSkipsHiddenArchiveButTakesReadOnlyDotFiles) {
  RUN_AS_UNPRIVILEGED_USER();
  Harness h;
  h.Make();
  const std::string top = h.dir.File("top");
  Touch(top + "/.writable.msg");
  Touch(top + "/.readonly.msg");
  std::filesystem::permissions(top + "/.readonly.msg", std::filesystem::perms::owner_read);
  h.dialogs.input_answers.push_back("msg");
  h.dialogs.folder_answers.push_back(top);
  h.form->PushButton4_Click();
  // 34 (hidden + archive) is left out, 35 (also read-only) is taken.
  EXPECT_EQ(h.face.rows, Texts{top + "/.readonly.msg"});
}

TEST(FileIntake, DroppedFolderFollowsLinksOnce) {
  Harness h;
  h.Make();
  const std::string top = MakeMailTree(h);
  ASSERT_EQ(::symlink(top.c_str(), (top + "/sub/loop").c_str()), 0);
  const std::string other = h.dir.File("other");
  Touch(other + "/z.eml");
  ASSERT_EQ(::symlink(top.c_str(), (other + "/to-top").c_str()), 0);
  h.form->ListView1_OLEDragDrop({top, other});
  const Texts in_top = {"a.msg", "B.MSG", "notes.txt", "x..msg", "sub/c.msg", kCyrillic + "/e.msg",
                        kCjk + "/f.msg", "sub/deeper/d.msg"};
  Texts expected = Under(top, in_top);
  expected.push_back(other + "/z.eml");
  for (const std::string& item : Under(other + "/to-top", in_top)) expected.push_back(item);
  EXPECT_EQ(h.face.rows, expected);
}
#endif

}  // namespace
