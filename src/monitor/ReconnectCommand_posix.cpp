// The command line is split as a Windows program would split it and started without a
// shell: an SSID holding "$(...)" or a backquote stays a literal argument, and a program
// that cannot be found fails to start, as CreateProcessW does.
#include "monitor/ReconnectCommand.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <sys/types.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

#include "common/Text.h"

extern char** environ;

namespace moorlink {
namespace {

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { Close(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void Close() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

using Clock = std::chrono::steady_clock;

// How often a child that has closed its output is looked at until it ends.
constexpr std::chrono::milliseconds kExitPoll{5};

int MsUntil(Clock::time_point deadline) {
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return static_cast<int>(std::clamp<int64_t>(left, 0, 3'600'000));
}

// The child leads a process group of its own, so that ending it also ends anything it
// started that still holds the pipe. Reaped on every path, so that none is left a zombie;
// one still running on an early way out is ended first.
class Child {
 public:
  Child() = default;
  ~Child() { Kill(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  pid_t* out() { return &pid_; }
  void Started() { started_ = true; }
  // Reaps the child if it ends before the deadline; false when it is still running then.
  bool WaitUntil(Clock::time_point deadline) {
    if (!started_) return true;
    for (;;) {
      int status = 0;
      const pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_ || (r < 0 && errno != EINTR)) {
        started_ = false;
        return true;
      }
      if (Clock::now() >= deadline) return false;
      std::this_thread::sleep_for(kExitPoll);
    }
  }
  // While the child is unreaped its pid, and so its group id, cannot be reused.
  void Kill() {
    if (!started_) return;
    started_ = false;
    kill(-pid_, SIGKILL);
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
  }

 private:
  pid_t pid_ = -1;
  bool started_ = false;
};

class FileActions {
 public:
  FileActions() { ok_ = posix_spawn_file_actions_init(&actions_) == 0; }
  ~FileActions() {
    if (ok_) posix_spawn_file_actions_destroy(&actions_);
  }
  FileActions(const FileActions&) = delete;
  FileActions& operator=(const FileActions&) = delete;
  bool ok() const { return ok_; }
  posix_spawn_file_actions_t* get() { return &actions_; }

 private:
  posix_spawn_file_actions_t actions_{};
  bool ok_ = false;
};

}  // namespace

CommandOutcome RunCommandCapture(const std::wstring& commandLine, std::chrono::milliseconds limit) {
  try {
    const Clock::time_point deadline = Clock::now() + limit;
    const std::vector<std::wstring> args = SplitCommandLine(commandLine);
    if (args.empty() || args[0].empty()) return {};
    std::vector<std::string> narrow;
    narrow.reserve(args.size());
    for (const std::wstring& a : args) narrow.push_back(WideToUtf8(a));
    std::vector<char*> argv;
    for (std::string& a : narrow) argv.push_back(a.data());
    argv.push_back(nullptr);

    // Declared before the pipe: on an early exit the read end closes first, then the child
    // is ended and reaped.
    Child child;
    int fds[2];
    // Close-on-exec on both ends: the child gets the write end only as its dup'ed 1 and 2,
    // and no other process started meanwhile inherits either end.
    if (pipe2(fds, O_CLOEXEC) != 0) return {};
    Fd readEnd(fds[0]);
    Fd writeEnd(fds[1]);

    FileActions actions;
    if (!actions.ok()) return {};
    if (posix_spawn_file_actions_addopen(actions.get(), 0, "/dev/null", O_RDONLY, 0) != 0 ||
        posix_spawn_file_actions_adddup2(actions.get(), writeEnd.get(), 1) != 0 ||
        posix_spawn_file_actions_adddup2(actions.get(), writeEnd.get(), 2) != 0) {
      return {};
    }
    posix_spawnattr_t attributes;
    if (posix_spawnattr_init(&attributes) != 0) return {};
    const bool grouped = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP) == 0 &&
                         posix_spawnattr_setpgroup(&attributes, 0) == 0;
    const int spawned =
        grouped ? posix_spawnp(child.out(), argv[0], actions.get(), &attributes, argv.data(), environ) : -1;
    posix_spawnattr_destroy(&attributes);
    // Our copy of the write end goes at once, so that reading ends when the child exits.
    writeEnd.Close();
    if (spawned != 0) return {};
    child.Started();

    // Reading waits only until the deadline: something the child started may keep the
    // write end open long after the child itself has gone.
    std::string bytes;
    char chunk[256];
    bool ended = false;
    for (;;) {
      const int waitMs = MsUntil(deadline);
      if (waitMs == 0) break;  // also when the child never stops writing
      pollfd readable{readEnd.get(), POLLIN, 0};
      const int ready = poll(&readable, 1, waitMs);
      if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
      const ssize_t n = ready < 0 ? -1 : read(readEnd.get(), chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ended = true;
        break;
      }
      bytes.append(chunk, static_cast<size_t>(n));
    }
    CommandOutcome outcome;
    outcome.timedOut = !ended || !child.WaitUntil(deadline);
    child.Kill();
    readEnd.Close();
    if (!bytes.empty()) outcome.output = Cp932ToWide(bytes);
    return outcome;
  } catch (...) {
    return {};
  }
}

}  // namespace moorlink
