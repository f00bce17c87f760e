// ChildProcess on POSIX systems: posix_spawn, and waitpid(WNOHANG) to look.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <thread>

#include "conversion/child_process.h"

extern char** environ;

namespace conversion {

namespace {

// How often WaitFor looks while it waits.
constexpr std::chrono::milliseconds kPoll{2};

}  // namespace

struct ChildProcess::Handle {
  pid_t pid = -1;
};

ChildProcess::ChildProcess() : handle_(new Handle) {}

ChildProcess::~ChildProcess() {
  if (Running()) {
    Kill();
    int status = 0;
    while (::waitpid(handle_->pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  delete handle_;
}

int ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments) {
  if (program.empty() || program.find('\0') != std::string::npos) return ENOENT;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // Nobody reads the tool's console; a pipe nobody drains could stall it.
  for (const int fd : {0, 1, 2}) {
    posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
  }
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // The tool starts with the default signal dispositions, whatever ours are.
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigdefault(&attributes, &all);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  // A program without a '/' is looked up on PATH, as a shell would.
  pid_t pid = -1;
  const int error = program.find('/') == std::string::npos
                        ? ::posix_spawnp(&pid, program.c_str(), &actions, &attributes, argv.data(), environ)
                        : ::posix_spawn(&pid, program.c_str(), &actions, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (error != 0) return error;
  handle_->pid = pid;
  exit_code_ = 0;
  return 0;
}

bool ChildProcess::Running() {
  if (handle_->pid < 0) return false;
  int status = 0;
  pid_t done;
  do {
    done = ::waitpid(handle_->pid, &status, WNOHANG);
  } while (done < 0 && errno == EINTR);
  if (done == 0) return true;
  if (done == handle_->pid) {
    exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : WIFSIGNALED(status) ? 128 + WTERMSIG(status) : 0;
  }
  handle_->pid = -1;
  return false;
}

void ChildProcess::WaitFor(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  while (Running()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kPoll, end - now));
  }
}

void ChildProcess::Terminate() {
  if (handle_->pid > 0) ::kill(handle_->pid, SIGTERM);
}

void ChildProcess::Kill() {
  if (handle_->pid > 0) ::kill(handle_->pid, SIGKILL);
}

}  // namespace conversion
