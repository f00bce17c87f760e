// Start-up and shutdown, the output options, the help message and the pointer
// rules of Form1. Step numbers are the ones the error report names.
#include "window/form1.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "intake/folder_scan.h"
#include "platform/error_report.h"
#include "platform/path_helpers.h"
#include "window/beside_program.h"

namespace window {

namespace {

// A skin file is a style sheet; anything this large is not one.
constexpr std::uintmax_t kMaxSkinBytes = 4 << 20;

std::filesystem::path NativePath(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

Form1::Form1(Face& face, FormServices deps)
    : face_(face),
      dialogs_(deps.dialogs),
      pump_(deps.pump),
      random_(deps.random),
      settings_(deps.settings),
      app_folder_(std::move(deps.app_folder)),
      end_program_(std::move(deps.end_program)),
      list_(face_, app_folder_),
      intake_(list_, dialogs_, pump_, settings_, app_folder_) {
  if (!end_program_) {
    // Closing the window ends the process at once: every setting was written
    // when it changed, and a run in progress is abandoned, not finished (its
    // converter was ended first).
    end_program_ = [] {
      std::fflush(nullptr);
      std::_Exit(0);
    };
  }
}

std::string Form1::Location(const char* procedure) {
  return platform::ProcedureLocation("Quorvex", "Form1", procedure);
}

void Form1::Form_Load() {
  platform::Guard guard(dialogs_, Location("Form_Load"));
  guard.Step(100, [&] { ApplySkin(); });
  const std::string hand_file = BesideProgram(app_folder_, "HAND-M.CUR");
  if (guard.If(102, [&] { return platform::PathExists(hand_file); })) {
    guard.Step(104, [&] {
      face_.LoadHandPointer(hand_file);
      has_hand_pointer_ = true;
    });
  }
  guard.Step(106, [&] { OpenHomePageAtRandom(); });
  guard.Step(130, [&] {
    face_.SetCaption(kProductName);
    dialogs_.SetAppTitle(AppTitleFor(kProductName));
  });
  guard.Step(132, [&] { face_.SetListHeader("MSG File(s)"); });
  guard.Step(134, [&] { face_.SetListColumnWidth(kColumnTwips); });
  guard.Step(136, [&] {
    // The default is worked out first, on every start, so a desktop lookup
    // that fails leaves the box alone even when "Text1" is stored.
    const std::string desktop = DesktopFolder();
    face_.SetText1(settings_.GetSetting("Text1", desktop));
  });
  guard.Step(138, [&] { SetOptionValue(1, platform::GetBoolSetting(settings_, "Option1", true)); });
  guard.Step(140, [&] { SetOptionValue(2, platform::GetBoolSetting(settings_, "Option2", false)); });
  if (guard.If(142, [&] { return face_.Option1Value(); })) {
    guard.Step(144, [&] { face_.SetFrame4Enabled(true); });
  } else {
    guard.Step(146, [&] { face_.SetFrame4Enabled(false); });
  }
}

void Form1::Form_Unload() {
  // A converter left running would write its result after nobody is left to
  // move it, under a generated name.
  running_tool_.End();
  end_program_();
}

void Form1::ApplySkin() {
  const std::string skin = BesideProgram(app_folder_, "x/o.cjs");
  if (!intake::IsExistingFile(skin)) return;
  const std::optional<int> attributes = intake::FileAttributes(skin);
  if (attributes && (*attributes & intake::kAttrHidden) != 0) return;
  std::ifstream file(NativePath(skin), std::ios::binary);
  if (!file) throw platform::Failure("Permission denied");
  std::error_code error;
  if (std::filesystem::file_size(NativePath(skin), error) > kMaxSkinBytes || error) {
    throw platform::Failure("Skin file is too large");
  }
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  face_.ApplySkin(text);
}

void Form1::OpenHomePageAtRandom() {
  if (random_.Draw1To100() == 7) dialogs_.OpenUrl(kHomePage);
}

std::string Form1::AppTitleFor(const std::string& product_name) {
  // Counted in characters; the product names here are ASCII words.
  constexpr size_t kMaxTitle = 40;
  std::string title = product_name;
  if (title.find(' ') == std::string::npos) return title.substr(0, kMaxTitle);
  do {
    const size_t blank = title.rfind(' ');
    if (blank == std::string::npos) break;
    title.resize(blank);
  } while (title.size() > kMaxTitle);
  return title.substr(0, kMaxTitle);
}

std::string Form1::DesktopFolder() const {
  // The lookup may name a desktop folder where none was ever made (servers,
  // minimal installs, desktops named in another language), or fail outright
  // (a desktop redirected to a share that is offline); offering it would make
  // the first run fail with "Folder does not exist", and a failure here would
  // greet the user with an error box. The home folder stands in, as the system
  // names it; without one, the desktop as named; without either, empty text.
  const std::string desktop = face_.DesktopLocation();
  if (!desktop.empty() && platform::IsFolder(desktop)) return platform::WithTrailingSeparator(desktop);
  const std::string home = face_.HomeLocation();
  return platform::WithTrailingSeparator(home.empty() ? desktop : home);
}

// ---------------------------------------------------------------------------
// Output destination options.

void Form1::SetOptionValue(int which, bool selected) {
  const bool is_one = which == 1;
  if (!selected) {
    is_one ? face_.SetOption1Value(false) : face_.SetOption2Value(false);
    return;
  }
  if (is_one ? face_.Option1Value() : face_.Option2Value()) return;
  face_.SetOption1Value(is_one);
  face_.SetOption2Value(!is_one);
  if (is_one) {
    Option1_Click();
  } else {
    Option2_Click();
  }
}

void Form1::Option1_Click() {
  // These handlers have no error report: a store that cannot be written is
  // left as it is, and the next change writes again.
  try {
    settings_.SaveSetting("Option1", platform::FromBoolean(face_.Option1Value()));
  } catch (const std::exception&) {
  }
  try {
    settings_.SaveSetting("Option2", platform::FromBoolean(face_.Option2Value()));
  } catch (const std::exception&) {
  }
  face_.SetFrame4Enabled(face_.Option1Value());
}

void Form1::Option2_Click() { Option1_Click(); }

void Form1::OptionClicked(int which) {
  face_.SetOption1Value(which == 1);
  face_.SetOption2Value(which == 2);
  if (which == 1) Option1_Click();
  if (which == 2) Option2_Click();
}

void Form1::Text1_Change() {
  try {
    settings_.SaveSetting("Text1", face_.Text1Value());
  } catch (const std::exception&) {
  }
}

void Form1::PushButton9_Click() {
  platform::Guard guard(dialogs_, Location("PushButton9_Click"));
  std::string last_folder;
  std::string picked;
  guard.Step(100, [&] { last_folder = settings_.GetSetting("LastFolderDot", ""); });
  guard.Step(100, [&] { picked = dialogs_.PickFolder("Please select folder:", last_folder); });
  if (guard.ExitIf(102, [&] { return picked.empty(); })) return;
  guard.Step(104, [&] {
    last_folder = picked;
    settings_.SaveSetting("LastFolderDot", picked);
  });
  // Setting Text1 runs Text1_Change, which saves "Text1".
  if (guard.If(104, [&] { return !platform::EndsWithSeparator(picked); })) {
    guard.Step(106, [&] { face_.SetText1(picked + platform::kSeparator); });
  } else {
    guard.Step(108, [&] { face_.SetText1(picked); });
  }
}

// ---------------------------------------------------------------------------
// Help.

void Form1::PushButton3_Click() {
  platform::Guard guard(dialogs_, Location("PushButton3_Click"));
  const std::string line_break = "\r\n";
  guard.Step(100, [&] {
    dialogs_.ShowMessage(
        std::string("EML will not be created if the MSG file does not contain valid email "
                    "address (FROM) or it contains sender's address stored in exchange server.") +
        line_break + line_break + "Questions? Please contact Team Velmora at " + kContactPage);
  });
  std::string text1, text3, text5, text7, text9, paragraph;
  guard.Step(102, [&] { text1 = "If you are getting a query message that says"; });
  guard.Step(104, [&] { text3 = "\"Allow access for x minutes Yes No Help\""; });
  guard.Step(106, [&] {
    text5 = "You may want to deactivate it so that my software can work with Outlook for a longer "
            "period of time.";
  });
  guard.Step(108, [&] { text7 = "To deactivate this query message, look for an option resembling:"; });
  guard.Step(110, [&] { text9 = "Outlook > Tools > Trust Center > Allow programmatic access"; });
  guard.Step(112, [&] { paragraph = {char(13), char(10), char(13), char(10)}; });
  guard.Step(114, [&] {
    dialogs_.ShowMessage(text1 + paragraph + text3 + paragraph + text5 + paragraph + text7 + paragraph +
                         text9);
  });
}

// ---------------------------------------------------------------------------
// The list and the pointer rules.

void Form1::PushButton6_Click() {
  platform::Guard guard(dialogs_, Location("PushButton6_Click"));
  guard.Step(100, [&] { list_.Clear(); });
}

void Form1::ListView1_MouseMove(int buttons, int x, int y) {
  ApplyBackgroundPointer();
  list_.MouseMove(buttons, x, y);
}

void Form1::ApplyBackgroundPointer() {
  if (IsBusy()) return;
  face_.SetFormPointer(Pointer::kDefault);
}

void Form1::Form_MouseMove() { ApplyBackgroundPointer(); }

void Form1::Frame1_MouseMove() { ApplyBackgroundPointer(); }

void Form1::Frame4_MouseMove() { ApplyBackgroundPointer(); }

void Form1::PushButton_MouseMove() {
  if (IsBusy()) return;
  face_.SetFormPointer(has_hand_pointer_ ? Pointer::kHand : Pointer::kDefault);
}

}  // namespace window
