// The command line is split as a Windows program would split it and started without a
// shell: an SSID holding "$(...)" or a backquote stays a literal argument, and a program
// that cannot be found fails to start, as CreateProcessW does.
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "common/Text.h"
#include "monitor/ReconnectCommand.h"

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

// Reaps the child on every path, so that none is left a zombie.
class Child {
 public:
  Child() = default;
  ~Child() { Wait(); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  pid_t* out() { return &pid_; }
  void Started() { started_ = true; }
  void Wait() {
    if (!started_) return;
    started_ = false;
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

std::wstring RunCommandCapture(const std::wstring& commandLine) {
  try {
    const std::vector<std::wstring> args = SplitCommandLine(commandLine);
    if (args.empty() || args[0].empty()) return {};
    std::vector<std::string> narrow;
    narrow.reserve(args.size());
    for (const std::wstring& a : args) narrow.push_back(WideToUtf8(a));
    std::vector<char*> argv;
    for (std::string& a : narrow) argv.push_back(a.data());
    argv.push_back(nullptr);

    // Declared before the pipe: on an early exit the read end closes first, so a child
    // still writing gets a broken pipe instead of blocking the wait below.
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
    const int spawned = posix_spawnp(child.out(), argv[0], actions.get(), nullptr, argv.data(), environ);
    // Our copy of the write end goes at once, so that reading ends when the child exits.
    writeEnd.Close();
    if (spawned != 0) return {};
    child.Started();

    std::string bytes;
    char chunk[256];
    for (;;) {
      const ssize_t n = read(readEnd.get(), chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      bytes.append(chunk, static_cast<size_t>(n));
    }
    child.Wait();
    readEnd.Close();
    if (bytes.empty()) return {};
    return Cp932ToWide(bytes);
  } catch (...) {
    return {};
  }
}

}  // namespace moorlink
