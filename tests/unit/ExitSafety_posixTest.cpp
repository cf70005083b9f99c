// Threads left running at exit (a reconnect command, a message box, speech) keep logging,
// reading settings and notifying while the process's static destructors run.
#include <signal.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <thread>

#include "common/Text.h"
#include "log/LogWriter.h"
#include "notify/NotifyUser.h"
#include "settings/Settings.h"
#include "speech/LazySpeechPlayer.h"
#include "speech/SpeechPlayer.h"
#include "support/FakeSpeech.h"
#include "support/TempDir.h"

#if defined(__SANITIZE_ADDRESS__)
// Freed memory is overwritten, so a late read of a destroyed string shows as garbage even
// where the read happens inside the uninstrumented standard library.
extern "C" const char* __asan_default_options() { return "max_free_fill_size=4096"; }
#endif

namespace moorlink::test {
namespace {

// Without never-destroyed state every child failed, so a few dozen suffice; an exit with
// four busy workers takes most of a second on a loaded machine.
#if defined(__SANITIZE_THREAD__)
constexpr int kChildren = 10;
#else
constexpr int kChildren = 25;
#endif

LocalTime FixedClock() { return LocalTime{2026, 12, 7, 8, 3, 7, 45}; }

// Set before the children start; leaked, so no child's exit destroys it.
const std::wstring* g_logFile = nullptr;
std::atomic<int> g_started{0};

// What a late thread may do: log, ask for the log file, read settings, notify. Each runs
// in a loop of its own, so the quick ones are not hidden behind the file work of the
// others, and each exits the child with a code of its own when it sees garbage.
void LogLines() { WriteLog(LogCategory::Monitor, L"worker", L"still here"); }
void AskLogFile() {
  if (LogFilePath() != *g_logFile) _exit(3);
}
void ReadSettings() {
  if (!UseLog()) _exit(4);
}
void Notify() { NotifyUser(L"message", L"title", NotifyKind::Info); }
constexpr std::array<void (*)(), 4> kJobs = {&LogLines, &AskLogFile, &ReadSettings, &Notify};

[[noreturn]] void RunChild(int round, const std::wstring& folder) {
  // Garbage paths of a failing run land in the temporary folder.
  if (chdir(ToFsPath(folder).c_str()) != 0) _exit(2);
  for (void (*job)() : kJobs) {
    std::thread([job] {
      job();
      ++g_started;
      for (;;) job();
    }).detach();
  }
  while (g_started.load() < static_cast<int>(kJobs.size())) std::this_thread::yield();
  // Vary the moment of exit against the workers' loops.
  std::this_thread::sleep_for(std::chrono::microseconds(round % 7 * 100));
  std::exit(0);
}

// Waits for a child for up to a few seconds; a hang counts as a failure too.
int WaitFor(pid_t child) {
  int status = 0;
  for (int i = 0; i < 1000; ++i) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) return status;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(child, SIGKILL);
  waitpid(child, &status, 0);
  return status;
}

TEST(ExitSafetyTest, DetachedWorkersOutliveStaticDestructionUnharmed) {
  ScopedSettingsFile settings("[Log]\r\nUseLog=true\r\n");
  TempDir logRoot;
  SetLogFolderForTesting(logRoot.Child(L"staff_log"));
  SetLogClockForTesting(&FixedClock);
  g_logFile = new std::wstring(LogFilePath());
  // Ports and a player whose destruction frees memory a late worker would then touch.
  NotifyPorts ports;
  ports.ShowBalloon = [expected = std::wstring(64, L'x')](const BalloonText&) {
    if (expected != std::wstring(64, L'x')) _exit(5);
  };
  SetNotifyPorts(std::move(ports));
  RegisterSpeechPlayer(std::make_shared<LazySpeechPlayer>(std::make_shared<SpeechPlayer>(
      std::make_unique<FakeSpeechBackend>(std::make_shared<FakeSpeechBackend::Record>()), L"", nullptr, nullptr)));

  int failures = 0;
  std::string first;
  for (int round = 0; round < kChildren; ++round) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) RunChild(round, logRoot.path());
    const int status = WaitFor(child);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) continue;
    if (failures++ == 0) {
      first = WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                                : "signal " + std::to_string(WTERMSIG(status));
    }
  }
  RegisterSpeechPlayer(nullptr);
  SetNotifyPorts({});
  SetLogClockForTesting(nullptr);
  EXPECT_EQ(failures, 0) << "first failure: " << first;
  EXPECT_FALSE(ReadFileBytes(*g_logFile).empty());  // the workers did run
}

}  // namespace
}  // namespace moorlink::test
