// ChildProcess on POSIX systems: posix_spawn, and waitpid(WNOHANG) to look.
// A wait sleeps on the process's descriptor where Linux gives one (pidfd), so
// it ends the moment the program does; elsewhere it looks every few
// milliseconds.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <pthread.h>

#include <cerrno>
#include <ctime>
#include <thread>

#include "platform/child_process.h"

extern char** environ;

namespace platform {

namespace {

// How often WaitFor looks while it waits.
constexpr std::chrono::milliseconds kPoll{2};

}  // namespace

struct ChildProcess::Handle {
  pid_t pid = -1;
  int pidfd = -1;
  int input = -1;   // the write end of the program's standard input
  int output = -1;  // the read end of its standard output
  void CloseDescriptor() {
    if (pidfd >= 0) ::close(pidfd);
    pidfd = -1;
  }
  void ClosePipes() {
    if (input >= 0) ::close(input);
    if (output >= 0) ::close(output);
    input = output = -1;
  }
};

namespace {

// A pipe whose two ends are closed on exec, so that a later child never holds
// an earlier child's input open (it would then never see its end).
bool MakePipe(int ends[2]) {
#ifdef __linux__
  return ::pipe2(ends, O_CLOEXEC) == 0;
#else
  if (::pipe(ends) != 0) return false;
  ::fcntl(ends[0], F_SETFD, FD_CLOEXEC);
  ::fcntl(ends[1], F_SETFD, FD_CLOEXEC);
  return true;
#endif
}

}  // namespace

ChildProcess::ChildProcess() : handle_(new Handle) {}

ChildProcess::~ChildProcess() {
  if (Running()) {
    Kill();
    int status = 0;
    while (::waitpid(handle_->pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  handle_->CloseDescriptor();
  handle_->ClosePipes();
  delete handle_;
}

int ChildProcess::Start(const std::string& program, const std::vector<std::string>& arguments, Console console) {
  if (program.empty() || program.find('\0') != std::string::npos) return ENOENT;
  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);

  int in[2] = {-1, -1}, out[2] = {-1, -1};
  if (console == Console::kPipes && (!MakePipe(in) || !MakePipe(out))) {
    const int error = errno;
    for (const int fd : {in[0], in[1], out[0], out[1]}) {
      if (fd >= 0) ::close(fd);
    }
    return error;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (console == Console::kPipes) {
    // dup2 clears close-on-exec on the copies the program keeps.
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  } else {
    // Nobody reads the tool's console; a pipe nobody drains could stall it.
    for (const int fd : {0, 1, 2}) {
      posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    }
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
  if (console == Console::kPipes) {
    ::close(in[0]);
    ::close(out[1]);
    if (error != 0) {
      ::close(in[1]);
      ::close(out[0]);
    }
  }
  if (error != 0) return error;
  handle_->CloseDescriptor();
  handle_->ClosePipes();
  if (console == Console::kPipes) {
    handle_->input = in[1];
    handle_->output = out[0];
  }
  handle_->pid = pid;
#ifdef SYS_pidfd_open
  handle_->pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
#endif
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
  handle_->CloseDescriptor();
  return false;
}

void ChildProcess::WaitFor(std::chrono::milliseconds limit) {
  const auto end = std::chrono::steady_clock::now() + limit;
  if (handle_->pidfd >= 0) {
    // Readable once the program has ended; an interrupted wait goes on.
    while (Running()) {
      // Rounded up: a wait cut to whole milliseconds must not end early.
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
      if (left.count() <= 0) return;
      pollfd watch{handle_->pidfd, POLLIN, 0};
      if (::poll(&watch, 1, static_cast<int>(left.count())) < 0 && errno != EINTR) break;
    }
    return;
  }
  while (Running()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= end) return;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(kPoll, end - now));
  }
}

bool ChildProcess::WriteInput(const void* data, size_t size) {
  if (handle_->input < 0) return false;
  // A program that has ended would raise SIGPIPE, which ends the writer: the
  // signal is held back for this thread and a pending one taken away again.
  sigset_t pipe_signal, previous;
  sigemptyset(&pipe_signal);
  sigaddset(&pipe_signal, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe_signal, &previous);
  const char* bytes = static_cast<const char*>(data);
  bool ok = true;
  while (size > 0) {
    const ssize_t written = ::write(handle_->input, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      if (errno == EPIPE) {
        const timespec now{0, 0};
        while (::sigtimedwait(&pipe_signal, nullptr, &now) < 0 && errno == EINTR) {
        }
      }
      ok = false;
      break;
    }
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);
  return ok;
}

long ChildProcess::ReadOutput(void* data, size_t size) {
  if (handle_->output < 0) return -1;
  for (;;) {
    const ssize_t got = ::read(handle_->output, data, size);
    if (got >= 0 || errno != EINTR) return static_cast<long>(got);
  }
}

void ChildProcess::CloseInput() {
  if (handle_->input >= 0) ::close(handle_->input);
  handle_->input = -1;
}

void ChildProcess::Terminate() {
  if (handle_->pid > 0) ::kill(handle_->pid, SIGTERM);
}

void ChildProcess::Kill() {
  if (handle_->pid > 0) ::kill(handle_->pid, SIGKILL);
}

}  // namespace platform
