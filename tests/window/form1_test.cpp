// Form1's start-up, output options, help and closing, against a scripted face.
#include "window/form1.h"
#include "window/form1_events.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/path_helpers.h"
#include "tests/support/separator.h"
#include "tests/window/scripted_face.h"

using window_testing::Harness;
using window_testing::StartUpReport;
using Texts = std::vector<std::string>;

namespace {

using testing_support::kSep;

TEST(Form1Startup, FirstStartWithEmptyStore) {
  Harness h;
  h.Load();
  EXPECT_TRUE(h.face.option1);
  EXPECT_FALSE(h.face.option2);
  EXPECT_TRUE(h.face.frame4_enabled);
  EXPECT_EQ(h.face.text1, h.face.desktop + kSep);
  EXPECT_EQ(h.settings.Stored("Text1"), h.face.desktop + kSep);
  // Option1 starts selected, so no click wrote the options.
  EXPECT_FALSE(h.settings.Stored("Option1"));
  EXPECT_FALSE(h.settings.Stored("Option2"));
  EXPECT_TRUE(h.dialogs.messages.empty());
  EXPECT_EQ(h.face.caption, "Mailvane");
  EXPECT_EQ(h.dialogs.AppTitle(), "Mailvane");
  EXPECT_EQ(h.face.header, "MSG File(s)");
  EXPECT_EQ(h.face.column_twips, 7000);
  EXPECT_TRUE(h.face.rows.empty());
  EXPECT_TRUE(h.face.skin.empty());
}

TEST(Form1Startup, RestoresStoredOptions) {
  struct Case {
    std::optional<std::string> option1, option2;  // stored texts
    bool selected1, selected2;
    std::string stored1_after, stored2_after;
    int report_step;  // 0: no report
  };
  const Case cases[] = {
      {"False", "True", false, true, "False", "True", 0},
      {"True", "False", true, false, "True", "False", 0},
      {"1", "0", true, false, "1", "0", 0},  // numbers instead of words
      {"0", "-1", false, true, "False", "True", 0},
      {"fALSE", "tRUE", false, true, "False", "True", 0},
      {"False", "False", false, false, "False", "False", 0},  // none selected
      {"True", "True", false, true, "False", "True", 0},      // the second wins
      {"maybe", "0", true, false, "maybe", "0", 138},         // unreadable keeps its state
      {"False", "", false, false, "False", "", 140},           // an empty stored text is no boolean
      {std::nullopt, "True", false, true, "False", "True", 0},
  };
  for (const Case& c : cases) {
    Harness h;
    if (c.option1) h.settings.values["Option1"] = *c.option1;
    if (c.option2) h.settings.values["Option2"] = *c.option2;
    h.Load();
    EXPECT_EQ(h.face.option1, c.selected1);
    EXPECT_EQ(h.face.option2, c.selected2);
    // The frame with the output folder follows the first option.
    EXPECT_EQ(h.face.frame4_enabled, c.selected1);
    EXPECT_EQ(h.settings.Stored("Option1"), c.stored1_after);
    EXPECT_EQ(h.settings.Stored("Option2"), c.stored2_after);
    EXPECT_EQ(h.Reports(), c.report_step == 0 ? Texts{} : Texts{StartUpReport("Type mismatch", c.report_step)});
  }
}

TEST(Form1Startup, RestoresOutputFolder) {
  // How the system answers for a folder: named and there, named but missing,
  // or not named at all (a lookup that fails).
  enum Place { kThere, kMissing, kUnnamed };
  struct Case {
    std::optional<std::string> stored;
    Place desktop, home;
    std::string shown;  // "~" the home folder, "D" the desktop
    int changes;
  };
  const Case cases[] = {
      {std::string("D:\\Out\\"), kThere, kThere, "D:\\Out\\", 1},
      {std::string(""), kThere, kThere, "", 0},  // emptied by the user
      {std::string("/srv/mail"), kThere, kThere, "/srv/mail", 1},
      {std::nullopt, kThere, kThere, "D", 1},
      {std::nullopt, kMissing, kThere, "~", 1},
      {std::string(""), kMissing, kThere, "", 0},
      // No desktop at all (a redirected desktop that is offline): no report,
      // the stored text or the home folder as for a missing one.
      {std::nullopt, kUnnamed, kThere, "~", 1},
      {std::string("/srv/mail"), kUnnamed, kThere, "/srv/mail", 1},
      {std::nullopt, kMissing, kMissing, "~", 1},
      {std::nullopt, kMissing, kUnnamed, "D", 1},
      {std::nullopt, kUnnamed, kUnnamed, "", 0},  // nothing to offer: the box stays empty
  };
  for (const Case& c : cases) {
    Harness h;
    if (c.desktop != kThere) std::filesystem::remove(h.dir.path / "Desktop");
    if (c.home != kThere) std::filesystem::remove(h.dir.path / "home");
    const std::string desktop = h.face.desktop, home = h.face.home;
    if (c.desktop == kUnnamed) h.face.desktop.clear();
    if (c.home == kUnnamed) h.face.home.clear();
    if (c.stored) h.settings.values["Text1"] = *c.stored;
    h.Load();
    const std::string shown = c.shown == "D" ? desktop + kSep : c.shown == "~" ? home + kSep : c.shown;
    EXPECT_EQ(h.face.text1, shown);
    EXPECT_EQ(h.face.text1_changes, c.changes);
    EXPECT_EQ(h.settings.Stored("Text1"), c.stored ? std::optional<std::string>(*c.stored)
                                          : c.changes ? std::optional<std::string>(shown) : std::nullopt);
    EXPECT_TRUE(h.dialogs.messages.empty());
  }
}

TEST(Form1Startup, SkinAndHandPointer) {
  struct Case {
    std::string skin;    // empty: no skin file
    std::string hand;    // empty: no hand pointer file
    bool hand_loaded;
    Texts reports;
  };
  const std::string big(5 << 20, ' ');
  const Case cases[] = {
      {"", "", false, {}},
      {"QPushButton { color: #123456; }", "CUR our hand", true, {}},
      {"", "GIF89a but not really", false, {StartUpReport("Invalid picture", 104)}},
      // A skin too large is reported at 100 and start-up goes on.
      {big, "CUR our hand", true, {StartUpReport("Skin file is too large", 100)}},
  };
  for (const Case& c : cases) {
    Harness h;
    if (!c.skin.empty()) {
      std::filesystem::create_directories(h.dir.path / "bin" / "x");
      testing_support::WriteFile(h.dir.path / "bin" / "x" / "o.cjs", c.skin);
    }
    if (!c.hand.empty()) testing_support::WriteFile(h.dir.path / "bin" / "HAND-M.CUR", c.hand);
    window::Form1& form = h.Load();
    EXPECT_EQ(h.face.skin, c.reports.empty() ? c.skin : "");
    EXPECT_EQ(form.HasHandPointer(), c.hand_loaded);
    EXPECT_EQ(h.Reports(), c.reports);
    // Start-up went on with the steps after a failing one.
    EXPECT_EQ(h.dialogs.AppTitle(), "Mailvane");
  }
}

TEST(Form1Startup, HomePageOnceInAHundred) {
  for (const int draw : {1, 6, 7, 8, 100}) {
    Harness h;
    h.random.value = draw;
    h.Load();
    EXPECT_EQ(h.dialogs.opened_urls, draw == 7 ? Texts{window::Form1::kHomePage} : Texts{});
  }
}

TEST(Form1Startup, AppTitle) {
  const std::pair<std::string, std::string> cases[] = {
      {"Mailvane", "Mailvane"},
      {"Velmora Mail Converter", "Velmora Mail"},
      {"Mail Vane", "Mail"},
      {"Velmora Outlook Message To Internet Message File Converter Pro", "Velmora Outlook Message To Internet"},
      {std::string(40, 'a') + " tail", std::string(40, 'a')},
      {std::string(50, 'b'), std::string(40, 'b')},
      {std::string(45, 'c') + " d e", std::string(40, 'c')},
  };
  for (const auto& [product, title] : cases) EXPECT_EQ(window::Form1::AppTitleFor(product), title);
}

TEST(Form1, ClosingEndsTheProgram) {
  Harness h;
  h.Load().Form_Unload();
  EXPECT_EQ(h.end_program_calls, 1);
}

TEST(Form1Options, ClicksStoreBothAndSwitchTheFrame) {
  Harness h;
  h.Load();
  h.face.ClickOption(2);
  EXPECT_EQ(h.settings.Stored("Option1"), "False");
  EXPECT_EQ(h.settings.Stored("Option2"), "True");
  EXPECT_FALSE(h.face.frame4_enabled);
  h.face.ClickOption(2);  // a second click keeps it selected
  EXPECT_TRUE(h.face.option2);
  EXPECT_FALSE(h.face.option1);
  h.face.ClickOption(1);
  EXPECT_EQ(h.settings.Stored("Option1"), "True");
  EXPECT_EQ(h.settings.Stored("Option2"), "False");
  EXPECT_TRUE(h.face.frame4_enabled);
  // A store that cannot be written is left as it is, without a report.
  h.settings.fail_writes = true;
  h.face.ClickOption(2);
  h.face.Type("/elsewhere/");
  EXPECT_FALSE(h.face.frame4_enabled);
  EXPECT_TRUE(h.dialogs.messages.empty());
}

TEST(Form1, FailureEscapingAHandlerIsShownNotThrown) {
  Harness h;
  window::Form1& form = h.Load();
  window::Form1Events events(form, h.dialogs);
  form.AddFileToList("A");
  h.face.fail_selection = true;
  EXPECT_NO_THROW(events.ListKeyDown(window::kKeyDelete, 0));
  EXPECT_NO_THROW(events.ListDblClick());
  ASSERT_EQ(h.dialogs.messages.size(), 2u);
  EXPECT_EQ(h.dialogs.messages[0].text, "Out of memory");
  EXPECT_EQ(h.face.rows, Texts{"A"});
  // Keys other than Delete never reach the selection.
  events.ListKeyDown(0x2F, 0);
  EXPECT_EQ(h.dialogs.messages.size(), 2u);
}

TEST(Form1Options, TypingStoresEveryKeystroke) {
  Harness h;
  h.Load();
  for (const std::string& text : Texts{"/", "/s", "/sr", ""}) {
    h.face.Type(text);
    EXPECT_EQ(h.settings.Stored("Text1"), text);
  }
}

TEST(Form1Options, BrowseButton) {
  struct Case { std::string answer, shown; bool changes; };
  const std::string sep(1, kSep);
  const Case cases[] = {
      {"/home/ann/Out", "/home/ann/Out" + sep, true},
      {"/", "/", true},
#ifdef _WIN32
      {"C:\\", "C:\\", true},  // a drive root keeps its one separator
#else
      {"/srv/a\\", "/srv/a\\/", true},  // a backslash ends no folder here
#endif
      {"", "", false},  // cancelled
  };
  for (const Case& c : cases) {
    Harness h;
    h.settings.values["LastFolderDot"] = "/last";
    h.Load();
    const std::string before = h.face.text1;
    h.dialogs.folder_answers.push_back(c.answer);
    h.form->PushButton9_Click();
    ASSERT_EQ(h.dialogs.folder_requests.size(), 1u);
    EXPECT_EQ(h.dialogs.folder_requests[0].title, "Please select folder:");
    EXPECT_EQ(h.dialogs.folder_requests[0].arg, "/last");
    EXPECT_EQ(h.face.text1, c.changes ? c.shown : before);
    EXPECT_EQ(h.settings.Stored("LastFolderDot"), c.changes ? c.answer : "/last");
    if (c.changes) {
      EXPECT_EQ(h.settings.Stored("Text1"), c.shown);
    }
  }
}

TEST(Form1Help, ShowsTwoBoxes) {
  Harness h;
  h.Load();
  h.form->PushButton3_Click();
  ASSERT_EQ(h.dialogs.messages.size(), 2u);
  EXPECT_EQ(h.dialogs.messages[0].text,
            "EML will not be created if the MSG file does not contain valid email address (FROM) or it "
            "contains sender's address stored in exchange server.\r\n\r\nQuestions? Please contact Team "
            "Velmora at https://www.velmora.example/contact");
  EXPECT_EQ(h.dialogs.messages[1].text,
            "If you are getting a query message that says\r\n\r\n\"Allow access for x minutes Yes No "
            "Help\"\r\n\r\nYou may want to deactivate it so that my software can work with Outlook for "
            "a longer period of time.\r\n\r\nTo deactivate this query message, look for an option "
            "resembling:\r\n\r\nOutlook > Tools > Trust Center > Allow programmatic access");
  for (const auto& m : h.dialogs.messages) EXPECT_EQ(m.title, "Mailvane");
}

TEST(Form1Layout, TwipsBecomePixelsAndPlacesAddUp) {
  struct Case { int twips, dpi, pixels; };
  const Case cases[] = {
      {7800, 96, 520}, {7245, 96, 483}, {7245, 144, 725},  // 724.5: a tie rounds up
      {7, 96, 0}, {8, 96, 1}, {0, 144, 0}, {345, 144, 35},
  };
  for (const Case& c : cases) EXPECT_EQ(window::TwipsToPixels(c.twips, c.dpi), c.pixels) << c.twips;
  // Text1 sits in Frame4, which sits in Frame1.
  EXPECT_EQ(window::PlaceInWindow(window::kText1), (window::TwipRect{840, 5050, 6510, 5395}));
  EXPECT_EQ(window::PlaceInWindow(window::kNoControl), window::TwipRect{});
  // Faces build in table order: a container comes before what it holds.
  std::set<std::string> names;
  std::set<int> built;
  for (const window::ControlSpec& spec : window::Controls()) {
    EXPECT_TRUE(spec.container == window::kNoControl || built.contains(spec.container)) << spec.name;
    EXPECT_TRUE(names.insert(spec.name).second) << spec.name;
    built.insert(spec.id);
  }
  EXPECT_EQ(names.size(), 14u);
}

}  // namespace
