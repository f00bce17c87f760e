// Drives the batch conversion run headless over many small messages and prints
// the wall time per file. The run is the real one: the tool written out to a
// private folder, one process per file waited for in cycles, the output folder
// listed before and after each file, and the result renamed into place.
//
//   app_batch_bench [count=1000] [--trivial]
//
// Uses the carried quorvex when it converts a sample message; otherwise (or with
// --trivial) a stand-in converter that writes one small .eml, and says so.
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>

#include "conversion/carried_tool.h"
#include "conversion/tool_place.h"
#include "conversion/tool_runner.h"
#include "intake/folder_scan.h"
#include "window/face.h"
#include "window/form1.h"

namespace {

// Counts what would be shown instead of showing it.
class CountingDialogs : public platform::Dialogs {
 public:
  void ShowMessage(const std::string& text, const std::string&, platform::MessageIcon) override {
    if (text.starts_with("Failed to convert: ")) {
      ++failed;
    } else if (text != "Done.") {
      ++reports;
      std::fprintf(stderr, "%s\n", text.c_str());
    }
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }
  std::string InputBox(const std::string&, const std::string&, const std::string&) override { return {}; }
  std::string PickFolder(const std::string&, const std::string&) override { return {}; }
  std::vector<std::string> PickOpenFiles(const std::string&, const std::string&) override { return {}; }
  void OpenFolder(const std::string&) override {}
  void OpenUrl(const std::string&) override {}
  int failed = 0;
  int reports = 0;
};

class AppPump : public platform::EventPump {
 public:
  void Yield() override { QCoreApplication::processEvents(); }
};

// The window without a toolkit: the list, the output folder and the bar as
// plain values, everything else ignored.
class HeadlessFace : public window::Face {
 public:
  void SetCaption(const std::string&) override {}
  void ApplySkin(const std::string&) override {}
  std::string DesktopLocation() override { return {}; }
  std::string HomeLocation() override { return {}; }
  void LoadHandPointer(const std::string&) override {}
  void SetFormPointer(window::Pointer pointer) override { pointer_ = pointer; }
  window::Pointer FormPointer() const override { return pointer_; }
  void LoadDragPointer(const std::string&) override {}
  void SetListPointer(window::Pointer) override {}
  int ScreenPointerY() const override { return 0; }
  void SetListHeader(const std::string&) override {}
  void SetListColumnWidth(int) override {}
  int ItemCount() const override { return static_cast<int>(items.size()); }
  std::string ItemText(int index1) const override {
    return index1 >= 1 && index1 <= ItemCount() ? items[static_cast<size_t>(index1 - 1)] : std::string();
  }
  void SetItemText(int, const std::string&) override {}
  void AddItem(const std::string& text) override { items.push_back(text); }
  void RemoveItem(int) override {}
  void ClearItems() override { items.clear(); }
  int SelectedItem() const override { return 0; }
  void SetCurrentItem(int) override {}
  void ScrollToItem(int) override {}
  int ItemAt(int, int) const override { return 0; }
  std::string Text1Value() const override { return text1; }
  void SetText1(const std::string& text) override { text1 = text; }
  bool Option1Value() const override { return true; }
  void SetOption1Value(bool) override {}
  bool Option2Value() const override { return false; }
  void SetOption2Value(bool) override {}
  void SetFrame4Enabled(bool) override {}
  std::string ProgressText() const override { return progress_text_; }
  void SetProgressText(const std::string& text) override { progress_text_ = text; }
  double ProgressValue() const override { return progress_value_; }
  void SetProgressValue(double value) override { progress_value_ = value; }

  std::vector<std::string> items;
  std::string text1;

 private:
  window::Pointer pointer_ = window::Pointer::kDefault;
  std::string progress_text_ = "Progress Bar";
  double progress_value_ = 0;
};

class NoSettings : public platform::SettingsStore {
 public:
  std::string GetSetting(const std::string&, const std::string& default_value) override { return default_value; }
  void SaveSetting(const std::string&, const std::string&) override {}
};

class FixedRandom : public platform::RandomSource {
 public:
  int Draw1To100() override { return 50; }
};

struct Headless {
  HeadlessFace face;
  CountingDialogs dialogs;
  AppPump pump;
  FixedRandom random;
  NoSettings settings;
  QByteArray image;
};

// CPU seconds used so far by this process (RUSAGE_SELF) or by the tools it
// waited for (RUSAGE_CHILDREN).
double CpuSeconds(int who) {
  struct rusage usage {};
  ::getrusage(who, &usage);
  return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec +
         usage.ru_stime.tv_usec / 1e6;
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Small messages of the corpus, to be copied as the sources.
QStringList SampleMessages() {
  QStringList found;
  QDirIterator it(QStringLiteral(CORPUS_DIR), {QStringLiteral("*.msg")}, QDir::Files,
                  QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (QFileInfo(path).size() <= 64 * 1024) found.append(path);
  }
  found.sort();
  return found;
}

// True when the tool image turns `sample` into an .eml.
bool Converts(const QByteArray& image, const QString& sample, const QString& scratch) {
  QDir().mkpath(scratch + QStringLiteral("/tool"));
  QDir().mkpath(scratch + QStringLiteral("/out"));
  ::chmod(QFile::encodeName(scratch + QStringLiteral("/tool")).constData(), 0700);
  AppPump pump;
  const std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(image.data()),
                                         static_cast<size_t>(image.size()));
  const std::string tool = conversion::PlaceTool(bytes, (scratch + QStringLiteral("/tool")).toStdString(), pump);
  conversion::RunAndWait(tool, {sample.toStdString(), (scratch + QStringLiteral("/out/")).toStdString()}, nullptr,
                         {}, 0, 1, pump);
  return !intake::ListFolderFiles((scratch + QStringLiteral("/out")).toStdString(), "*.eml").empty();
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int count = 1000;
  bool trivial = false;
  for (int i = 1; i < argc; ++i) {
    const QString arg = QString::fromLocal8Bit(argv[i]);
    if (arg == QLatin1String("--trivial")) {
      trivial = true;
    } else {
      count = qMax(1, arg.toInt());
    }
  }

  QTemporaryDir temp;
  const QStringList samples = SampleMessages();
  if (samples.isEmpty()) {
    std::fprintf(stderr, "no sample messages under %s\n", CORPUS_DIR);
    return 1;
  }

  Headless host;
  QString converter = QStringLiteral("quorvex (carried)");
  QStringList convertible;
  if (!trivial) {
    // Only messages the tool converts: items that are no mail (appointments,
    // contacts) or lack a sender address fail by design and cost less.
    const std::span<const std::byte> carried = conversion::CarriedToolImage();
    host.image = QByteArray(reinterpret_cast<const char*>(carried.data()), static_cast<qsizetype>(carried.size()));
    for (int i = 0; i < samples.size(); ++i) {
      const QString scratch = temp.filePath(QStringLiteral("probe%1").arg(i));
      if (Converts(host.image, samples[i], scratch)) convertible.append(samples[i]);
    }
    if (convertible.isEmpty()) {
      std::printf("note: the carried quorvex converts none of the samples yet; measuring with "
                  "the stand-in converter\n");
      trivial = true;
    }
  }
  if (trivial) {
    convertible = samples;
    host.image = ReadFile(QStringLiteral(TRIVIAL_CONVERTER_PATH));
    converter = QStringLiteral("stand-in (writes one small .eml)");
  }

  const QString sources = temp.filePath(QStringLiteral("src"));
  const QString out = temp.filePath(QStringLiteral("out"));
  const QString tools = temp.filePath(QStringLiteral("tools"));
  QDir().mkpath(sources);
  QDir().mkpath(out);
  QDir().mkpath(tools);
  ::chmod(QFile::encodeName(tools).constData(), 0700);
  for (int i = 0; i < count; ++i) {
    const QString target = QStringLiteral("%1/m%2.msg").arg(sources).arg(i, 5, 10, QLatin1Char('0'));
    QFile::copy(convertible[i % convertible.size()], target);
    host.face.items.push_back(target.toStdString());
  }
  host.face.text1 = (out + QLatin1Char('/')).toStdString();

  window::Form1 form(host.face, {.dialogs = host.dialogs,
                      .pump = host.pump,
                      .random = host.random,
                      .settings = host.settings,
                      .app_folder = temp.path().toStdString()});
  form.conversion_tool_folder = tools.toStdString();
  form.conversion_tool_image = [&host] {
    std::vector<std::byte> bytes(static_cast<size_t>(host.image.size()));
    std::memcpy(bytes.data(), host.image.data(), bytes.size());
    return bytes;
  };
  QElapsedTimer timer;
  const double self_before = CpuSeconds(RUSAGE_SELF);
  const double tools_before = CpuSeconds(RUSAGE_CHILDREN);
  timer.start();
  form.PushButton2_Click();
  const double seconds = timer.nsecsElapsed() / 1e9;
  const double self_cpu = CpuSeconds(RUSAGE_SELF) - self_before;
  const double tools_cpu = CpuSeconds(RUSAGE_CHILDREN) - tools_before;

  const int results = static_cast<int>(intake::ListFolderFiles(out.toStdString(), "m*.eml").size());
  std::printf("converter: %s, %lld distinct sample messages\n", qPrintable(converter),
              static_cast<long long>(convertible.size()));
  std::printf("files: %d, results: %d, failed: %d, error reports: %d\n", count, results,
              host.dialogs.failed, host.dialogs.reports);
  std::printf("total: %.3f s, per file: %.2f ms (target <= 15 ms)\n", seconds,
              seconds * 1000.0 / count);
  // Wall time suffers on a busy machine; the CPU time of the run and its tool
  // processes does not.
  std::printf("cpu per file: run %.2f ms, tools %.2f ms\n", self_cpu * 1000.0 / count,
              tools_cpu * 1000.0 / count);
  return 0;
}
