#include "archive_converter/run.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <thread>

#include "archive_converter/report.h"
#include "archive_converter/sources.h"
#include "archive_converter/system.h"
#include "archive_converter/worker.h"
#include "converter_tool/output_file.h"
#include "platform/child_process.h"

namespace archive_converter {

namespace {

using Clock = std::chrono::steady_clock;

// Results wait at most this long, or for this many others, before one sync
// makes a batch durable and its rows are written.
constexpr auto kBatchAge = std::chrono::milliseconds(500);
constexpr size_t kBatchSize = 256;
// The progress line changes at most ten times a second.
constexpr auto kProgressStep = std::chrono::milliseconds(100);
// Past this many clashes a name is given up (two runs would need as many
// results of one name).
constexpr int kMaxNameAttempts = 10000;
constexpr char kTempPrefix[] = ".mailvane-";

int64_t MillisecondsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

std::string BaseName(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

struct Done {
  size_t index = 0;
  Outcome outcome;
  std::string folder;
  std::string temp;  // set when converted
  uint64_t milliseconds = 0;
};

// One worker process and the thread that feeds it.
struct Slot {
  std::mutex mutex;  // orders the watchdog's Kill against the reaping
  std::unique_ptr<platform::ChildProcess> worker;
  std::atomic<int64_t> deadline{0};  // ms since the run's start; 0 while idle
  bool timed_out = false;
  std::string made_folder;  // the folder last made sure of, for the feeding thread
};

class Run {
 public:
  Run(const Options& options, std::FILE* err) : options_(options), err_(err) {}
  int Go();

 private:
  bool OpenReport();
  void Recover(const std::map<std::string, std::string>& recorded);
  void Feed(Slot& slot);
  Outcome Convert(Slot& slot, const Source& source, const std::string& folder, const std::string& temp_name);
  void Commit(std::vector<Done>& batch);
  void Progress(bool final);
  void Line(const std::string& text) { std::fprintf(err_, "mailvane-convert: %s\n", text.c_str()); }

  const Options& options_;
  std::FILE* err_;
  std::string output_;
  std::string report_path_;
  LockedFile report_;
  LockedFile journal_;
  std::mutex journal_mutex_;
  std::vector<Source> sources_;
  std::vector<size_t> todo_;
  std::map<std::string, std::string> resumed_;
  std::set<std::string> placed_;  // with --overwrite: the results of this run  // source -> result, converted before
  std::atomic<size_t> next_{0};
  std::mutex done_mutex_;
  std::condition_variable done_ready_;
  std::deque<Done> done_;
  Clock::time_point start_ = Clock::now();
  size_t finished_ = 0, converted_ = 0, refused_ = 0, failed_ = 0, skipped_ = 0;
  bool progress_shown_ = false;
  bool report_failed_ = false;
  Clock::time_point last_progress_{};
};

bool Run::OpenReport() {
  report_path_ = AbsolutePath(options_.report.empty() ? output_ + "/mailvane-report.csv" : options_.report);
  if (const int error = report_.Open(report_path_); error != 0) {
    Line("cannot use the report " + report_path_ + ": " +
         (error == EWOULDBLOCK ? std::string("another run is writing it") : ErrorText(error)));
    return false;
  }
  // The rows so far, the last one of a source counting; a row whose writing
  // was cut off is dropped.
  const std::string text = report_.ReadAll();
  if (!text.empty() && text.rfind(kReportHeader, 0) != 0) {
    // --report naming some other file must not cost that file.
    Line(report_path_ + " is not a report of this program; give another --report");
    return false;
  }
  if (const int error = journal_.Open(report_path_ + ".pending"); error != 0) {
    Line("cannot use " + report_path_ + ".pending: " + ErrorText(error));
    return false;
  }
  size_t complete = 0;
  const auto records = ParseCsv(text, complete);
  std::map<std::string, std::string> recorded;  // source -> result of a converted row
  for (size_t i = 1; i < records.size(); ++i) {
    const auto& fields = records[i];
    if (fields.size() < 3) continue;
    if (fields[2] == "converted") {
      recorded[fields[0]] = fields[1];
    } else {
      recorded.erase(fields[0]);
    }
  }
  Recover(recorded);
  if (options_.resume && complete > 0) {
    if (complete < text.size() && report_.Truncate(complete) != 0) return false;
    for (const auto& [source, result] : recorded) {
      if (Inspect(result).kind == EntryKind::kFile) resumed_[source] = result;
    }
    return true;
  }
  if (report_.Truncate(0) != 0 || report_.Append(kReportHeader) != 0 || report_.Sync() != 0) {
    Line("cannot write the report " + report_path_);
    return false;
  }
  return true;
}

// A run that ended early may leave temporary results (the journal names each
// before it exists). One that also has a second name was placed but not
// recorded: the placed name goes too, so that the source is converted again
// exactly once.
void Run::Recover(const std::map<std::string, std::string>& recorded) {
  size_t complete = 0;
  const auto records = ParseCsv(journal_.ReadAll(), complete);
  std::set<std::string> results;
  for (const auto& [source, result] : recorded) results.insert(result);
  for (const auto& fields : records) {
    if (fields.empty()) continue;
    const std::string& temp = fields[0];
    const Entry entry = Inspect(temp);
    if (entry.kind != EntryKind::kFile) continue;
    if (LinkCount(temp) > 1) {
      const std::string folder = FolderOf(temp);
      int error = 0;
      for (const std::string& name : ListFolder(folder, error)) {
        const std::string other = folder + "/" + name;
        if (other == temp || name.rfind(kTempPrefix, 0) == 0 || Inspect(other).id != entry.id) continue;
        if (results.count(other) == 0) RemoveFile(other);
      }
    }
    RemoveFile(temp);
  }
  journal_.Truncate(0);
}

void Run::Feed(Slot& slot) {
  for (;;) {
    const size_t at = next_.fetch_add(1);
    if (at >= todo_.size()) return;
    const Source& source = sources_[todo_[at]];
    Done done;
    done.index = todo_[at];
    done.folder = source.subfolder.empty() ? output_ : output_ + "/" + source.subfolder;
    const auto begin = Clock::now();
    if (source.kind == EntryKind::kMissing) {
      done.outcome = {Status::kFailed, "Cannot open " + source.path + ": " + ErrorText(source.error)};
    } else if (source.kind != EntryKind::kFile) {
      done.outcome = {Status::kFailed, "Cannot open " + source.path + ": not a regular file"};
    } else if (const int error = done.folder == slot.made_folder ? 0 : MakeFolders(done.folder); error != 0) {
      done.outcome = {Status::kFailed, "Cannot create the folder " + done.folder + ": " + ErrorText(error)};
    } else {
      slot.made_folder = done.folder;
      const std::string temp_name = kTempPrefix + converter::NewUuid() + ".tmp";
      const std::string temp = done.folder + "/" + temp_name;
      {
        std::lock_guard lock(journal_mutex_);
        journal_.Append(CsvField(temp) + "\r\n");
      }
      done.outcome = Convert(slot, source, done.folder, temp_name);
      if (done.outcome.status == Status::kConverted) {
        done.temp = temp;
      } else {
        RemoveFile(temp);  // a worker that died while writing leaves it
      }
    }
    done.milliseconds = static_cast<uint64_t>(MillisecondsSince(begin));
    {
      std::lock_guard lock(done_mutex_);
      done_.push_back(std::move(done));
    }
    done_ready_.notify_one();
  }
}

Outcome Run::Convert(Slot& slot, const Source& source, const std::string& folder, const std::string& temp_name) {
  if (!slot.worker) {
    auto worker = std::make_unique<platform::ChildProcess>();
    std::vector<std::string> arguments = {"--worker", "--memory-limit", std::to_string(options_.memory_cap_mb)};
    if (!options_.file_time) arguments.push_back("--no-file-time");
    const std::string program = options_.worker_program.empty() ? ThisProgram() : options_.worker_program;
    if (const int error = worker->Start(program, arguments, platform::ChildProcess::Console::kPipes); error != 0) {
      return {Status::kFailed, "Cannot start a worker (" + program + "): " + ErrorText(error)};
    }
    std::lock_guard lock(slot.mutex);
    slot.worker = std::move(worker);
    slot.timed_out = false;
  }
  platform::ChildProcess& worker = *slot.worker;
  std::string request;
  AppendField(request, source.path);
  AppendField(request, folder);
  AppendField(request, temp_name);
  const auto limit = std::chrono::milliseconds(static_cast<int64_t>(options_.timeout_seconds * 1000));
  slot.deadline = MillisecondsSince(start_) + std::max<int64_t>(limit.count(), 1);
  bool answered = false;
  Outcome outcome;
  if (worker.WriteInput(request.data(), request.size())) {
    // The status byte and the reason's length, then the reason.
    std::string head(5, '\0');
    size_t have = 0;
    long got = 1;
    while (have < head.size() && (got = worker.ReadOutput(head.data() + have, head.size() - have)) > 0) {
      have += static_cast<size_t>(got);
    }
    if (have == head.size() && static_cast<uint8_t>(head[0]) <= 2) {
      const auto* b = reinterpret_cast<const unsigned char*>(head.data());
      const uint32_t size = b[1] | b[2] << 8 | b[3] << 16 | static_cast<uint32_t>(b[4]) << 24;
      outcome.status = static_cast<Status>(b[0]);
      outcome.reason.resize(std::min<uint32_t>(size, 1 << 20));
      have = 0;
      while (have < outcome.reason.size() &&
             (got = worker.ReadOutput(outcome.reason.data() + have, outcome.reason.size() - have)) > 0) {
        have += static_cast<size_t>(got);
      }
      answered = have == outcome.reason.size() && size <= (1u << 20);
    }
  }
  std::lock_guard lock(slot.mutex);
  slot.deadline = 0;
  if (answered) return outcome;
  // The worker died, was stopped for taking too long, or broke its protocol:
  // this file fails, and the next one gets a new worker.
  worker.WaitFor(std::chrono::milliseconds(200));
  const bool running = worker.Running();
  if (running) {
    worker.Kill();
    worker.WaitFor(std::chrono::seconds(10));
  }
  const int code = worker.ExitCode();
  const bool timed_out = slot.timed_out;
  slot.worker.reset();
  if (timed_out) {
    char text[120];
    std::snprintf(text, sizeof text, "Timed out after %g s; the converter was stopped", options_.timeout_seconds);
    return {Status::kFailed, text};
  }
  if (running) return {Status::kFailed, "The converter stopped answering"};
  return {Status::kFailed, code > 128 ? "The converter crashed (signal " + std::to_string(code - 128) + ")"
                                      : "The converter ended unexpectedly (exit code " + std::to_string(code) + ")"};
}

void Run::Commit(std::vector<Done>& batch) {
  bool any_converted = false;
  for (const Done& done : batch) any_converted |= done.outcome.status == Status::kConverted;
  std::vector<ReportRow> rows;
  std::vector<std::string> kept;
  // The journal's lines for this batch are written: its sync may run beside
  // the feeding threads' appends. Then the results' bytes, then their names,
  // each with one sync for the whole batch.
  if (any_converted) journal_.Sync();
  int sync_error = any_converted ? SyncFolderFileSystem(output_) : 0;
  bool placed_any = false;
  for (Done& done : batch) {
    const Source& source = sources_[done.index];
    ReportRow row{source.path, "", "", done.outcome.reason, source.size, done.milliseconds};
    if (done.outcome.status == Status::kConverted && sync_error != 0) {
      done.outcome = {Status::kFailed, "Cannot write the results to disk: " + ErrorText(sync_error)};
      RemoveFile(done.temp);
    } else if (done.outcome.status == Status::kConverted) {
      const std::string name = BaseName(source.path);
      int error = EEXIST;
      std::string target;
      bool temp_kept = false;
      for (int attempt = 1; attempt <= kMaxNameAttempts && error == EEXIST; ++attempt) {
        target = done.folder + "/" + ResultName(name, attempt);
        // --overwrite replaces what was there before, never a result of this run.
        if (options_.overwrite && placed_.count(target)) continue;
        error = PlaceFile(done.temp, target, options_.overwrite, temp_kept);
      }
      if (error == 0) {
        if (options_.overwrite) placed_.insert(target);
        row.result = target;
        placed_any = true;
        if (temp_kept) kept.push_back(done.temp);
      } else {
        done.outcome = {Status::kFailed, "Cannot create " + target + ": " + ErrorText(error)};
        RemoveFile(done.temp);
      }
    }
    row.status = StatusName(done.outcome.status);
    row.reason = done.outcome.reason;
    rows.push_back(std::move(row));
  }
  if (placed_any) sync_error = SyncFolderFileSystem(output_);
  std::string text;
  for (const ReportRow& row : rows) text += CsvRow(row);
  if (report_.Append(text) != 0 || report_.Sync() != 0) {
    // Without its rows the results would be converted again on resume: the
    // placed names go, and the run stops.
    Line("cannot write the report " + report_path_ + "; stopping");
    report_failed_ = true;
    for (const ReportRow& row : rows) {
      if (!row.result.empty()) RemoveFile(row.result);
    }
  }
  for (const std::string& temp : kept) RemoveFile(temp);
  for (const Done& done : batch) {
    ++finished_;
    switch (done.outcome.status) {
      case Status::kConverted: ++converted_; break;
      case Status::kRefused: ++refused_; break;
      case Status::kFailed: ++failed_; break;
    }
  }
  batch.clear();
}

void Run::Progress(bool final) {
  if (options_.quiet || !ErrorIsTerminal()) return;
  const auto now = Clock::now();
  if (!final && now - last_progress_ < kProgressStep) return;
  last_progress_ = now;
  const double seconds = std::max(0.001, MillisecondsSince(start_) / 1000.0);
  const double rate = finished_ / seconds;
  const size_t total = todo_.size();
  const double left = rate > 0 ? (total - finished_) / rate : 0;
  std::fprintf(err_, "\r%zu/%zu  %.0f files/s  %d:%02d left  refused %zu  failed %zu\x1b[K", finished_, total, rate,
               static_cast<int>(left) / 60, static_cast<int>(left) % 60, refused_, failed_);
  if (final) std::fputc('\n', err_);
  std::fflush(err_);
  progress_shown_ = true;
}

int Run::Go() {
  output_ = AbsolutePath(options_.output);
  if (const int error = MakeFolders(output_); error != 0) {
    Line("cannot create the output folder " + output_ + ": " + ErrorText(error));
    return kExitUsage;
  }
  {
    // A folder that takes no files is a usage error, found before anything runs.
    const std::string probe = output_ + "/" + kTempPrefix + converter::NewUuid() + ".tmp";
    LockedFile file;
    const int error = file.Open(probe);
    if (error != 0) {
      Line("cannot write to the output folder " + output_ + ": " + ErrorText(error));
      return kExitUsage;
    }
    RemoveFile(probe);
  }
  const FileId output_id = Inspect(output_).id;
  for (const std::string& root : options_.sources) {
    const Entry entry = Inspect(root);
    if (entry.kind == EntryKind::kFolder && entry.id == output_id) {
      Line(root + " is the output folder: give a different output folder");
      return kExitUsage;
    }
  }
  if (!OpenReport()) return kExitUsage;

  Collected collected = CollectSources(options_.sources, output_, options_.flat);
  bool searched_all = true;
  for (const std::string& note : collected.notes) {
    Line(note);
    if (note.find("cannot list") != std::string::npos) searched_all = false;
  }
  sources_ = std::move(collected.sources);
  for (size_t i = 0; i < sources_.size(); ++i) {
    if (resumed_.count(sources_[i].path)) {
      ++skipped_;
    } else {
      todo_.push_back(i);
    }
  }

  std::vector<std::unique_ptr<Slot>> slots;
  std::vector<std::thread> feeders;
  const unsigned jobs = std::max(1u, std::min<unsigned>(options_.jobs, static_cast<unsigned>(todo_.size())));
  for (unsigned i = 0; i < jobs && !todo_.empty(); ++i) {
    slots.push_back(std::make_unique<Slot>());
    feeders.emplace_back([this, slot = slots.back().get()] { Feed(*slot); });
  }
  std::vector<Done> batch;
  auto batch_start = Clock::now();
  size_t received = 0;
  while (received < todo_.size() && !report_failed_) {
    {
      std::unique_lock lock(done_mutex_);
      done_ready_.wait_for(lock, kProgressStep, [&] { return !done_.empty(); });
      while (!done_.empty()) {
        if (batch.empty()) batch_start = Clock::now();
        batch.push_back(std::move(done_.front()));
        done_.pop_front();
        ++received;
      }
    }
    const int64_t now = MillisecondsSince(start_);
    for (auto& slot : slots) {
      const int64_t deadline = slot->deadline;
      if (deadline == 0 || now < deadline) continue;
      std::lock_guard lock(slot->mutex);
      // The slot may have moved on to its next file meanwhile.
      if (slot->deadline != 0 && now >= slot->deadline && slot->worker) {
        slot->timed_out = true;
        slot->worker->Kill();
      }
    }
    if (!batch.empty() &&
        (batch.size() >= kBatchSize || Clock::now() - batch_start >= kBatchAge || received == todo_.size())) {
      Commit(batch);
    }
    Progress(false);
  }
  if (report_failed_) {
    next_ = todo_.size();  // no more files are handed out
    for (auto& slot : slots) {
      std::lock_guard lock(slot->mutex);
      if (slot->worker) slot->worker->Kill();
    }
  }
  for (std::thread& feeder : feeders) feeder.join();
  // Idle workers end when their input does; one that does not is killed.
  for (auto& slot : slots) {
    if (slot->worker) slot->worker->CloseInput();
  }
  for (auto& slot : slots) {
    if (slot->worker) slot->worker->WaitFor(std::chrono::seconds(2));
  }
  slots.clear();
  // Nothing is pending any more: the journal goes (while its lock is held).
  if (!report_failed_) RemoveFile(report_path_ + ".pending");
  if (progress_shown_) Progress(true);

  const double seconds = MillisecondsSince(start_) / 1000.0;
  if (!options_.quiet) {
    std::fprintf(err_,
                 "mailvane-convert: %zu converted, %zu refused, %zu failed, %zu already converted; %.1f s, %.0f "
                 "files/s\n",
                 converted_, refused_, failed_, skipped_, seconds, finished_ / std::max(seconds, 0.001));
  }
  return failed_ > 0 || !searched_all || report_failed_ ? kExitFailed : kExitOk;
}

}  // namespace

int RunArchive(const Options& options, std::FILE* err) {
  Run run(options, err);
  return run.Go();
}

std::string ResultName(const std::string& source_name, int attempt) {
  const size_t dot = source_name.find_last_of('.');
  const std::string stem = dot == std::string::npos || dot == 0 ? source_name : source_name.substr(0, dot);
  return attempt <= 1 ? stem + ".eml" : stem + " (" + std::to_string(attempt) + ").eml";
}

}  // namespace archive_converter
