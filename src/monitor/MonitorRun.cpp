#include "monitor/MonitorRun.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <thread>

#include "common/Product.h"
#include "log/LogWriter.h"
#include "settings/Settings.h"

namespace moorlink {

std::atomic<bool> MonitorRunning{false};
std::atomic<bool> StopRequested{false};
std::atomic<bool> ReconnectCommandBusy{false};
std::atomic<bool> ExitRequested{false};
std::atomic<bool> SystemSuspended{false};
std::atomic<int64_t> LastResumeNs{0};
std::atomic<bool> LocationNoticeGiven{false};

namespace {

constexpr int64_t kNsPerSecond = 1'000'000'000;
constexpr int64_t kNsPerMs = 1'000'000;
// A tick this much later than its longest regular distance (one second of waiting plus a
// ping that timed out) means the system slept in between.
constexpr int64_t kWakeGapNs = 30 * kNsPerSecond;
// A run still ticking this long after a suspend notice is awake, whether the sleep never
// came or its resume notice was lost: it must not stay paused for good.
constexpr int64_t kStaleSuspendNs = 60 * kNsPerSecond;

int64_t WholeSecondsBetween(int64_t from, int64_t to) { return (to - from) / kNsPerSecond; }

// An outage as the run keeps it: its row so far and its start on the monotonic clock.
struct OpenOutage {
  OutageRecord row;
  int64_t startNs = 0;
  std::function<void(const OutageRecord&)> record;
  std::function<WallSeconds()> wallNow;
  std::function<void(std::optional<OutageRecord>, int64_t)> setOpen;
};
// Handed from a run stopped at the retry limit to the next run, or ended at exit. Runs
// follow one another, but the exit may come from another thread.
std::mutex g_carriedLock;
std::optional<OpenOutage> g_carried;

void Close(OpenOutage& outage, OutageEnd how) {
  outage.row.how = how;
  outage.row.end = outage.wallNow ? outage.wallNow() : outage.row.start;
  if (outage.setOpen) outage.setOpen(std::nullopt, 0);
  if (outage.record) outage.record(outage.row);
}

class Run {
 public:
  explicit Run(const MonitorPorts& ports) : p_(ports) {}

  void Execute() {
    p_.WriteLog(LogCategory::Monitor, L"監視処理開始", L"切断監視処理を開始しました。");
    ScopedLogLine endLine(LogCategory::Monitor, L"監視処理終了", L"切断監視処理が終了しました。", p_.WriteLog);
    try {
      if (!ChooseSsid()) return;
      ChoosePingTarget();
      Announce();
      TakeCarriedOutage();
      OpenSpan();
      Loop();
      CloseSpan();
      EndOutageAtRunEnd();
      Finish();
    } catch (...) {
      CloseSpan();
      EndOutageAtRunEnd();
      // Whatever went wrong, the user must not be left with a "monitoring" icon.
      p_.WriteLog(LogCategory::Monitor, L"エラー", L"監視処理で予期しないエラーが発生した為、監視処理を終了。");
      p_.SetTrayIcon(kIconStopped);
      p_.SetTrayTip(kProductTitle);
    }
  }

 private:
  // False when no network could be chosen and the run ends. A cause that can pass (the
  // service or the adapter not ready yet, Wi-Fi off, no profile saved yet) is waited out.
  bool ChooseSsid() {
    if (TryChooseSsid()) return true;
    const WifiReadiness cause = p_.QueryWifiReadiness ? p_.QueryWifiReadiness() : WifiReadiness::Unknown;
    const bool waits = cause != WifiReadiness::Unknown;
    std::wstring why = CauseText(cause);
    if (waits) why += L"30秒ごとに確認し、準備が整い次第監視処理を開始します。";
    p_.SetTrayIcon(kIconStopped);
    p_.NotifyUser(L"再接続先のSSIDが見つからない為、監視処理を実行しません。" + (why.empty() ? why : L"\n" + why),
                  L"監視処理起動失敗", NotifyKind::Error);
    p_.WriteLog(LogCategory::Monitor, L"エラー", L"再接続先のSSIDの取得に失敗。監視処理を終了。" + why);
    if (!waits) return false;
    p_.SetTrayTip(std::wstring(L"Wi-Fiの準備待ち - ") + kProductTitle);
    for (;;) {
      for (int i = 0; i < kWifiWaitSeconds; ++i) {
        WaitOneSecond();
        if (StopRequested.load()) {
          p_.SetTrayTip(kProductTitle);
          return false;
        }
      }
      if (TryChooseSsid()) return true;
    }
  }

  static std::wstring CauseText(WifiReadiness cause) {
    switch (cause) {
      case WifiReadiness::ServiceStopped:
        return L"Wi-Fiを管理するWindowsのサービス（WLAN AutoConfig）が動いていません。";
      case WifiReadiness::NoInterface:
        return L"Wi-Fiのアダプターが見つかりません。";
      case WifiReadiness::RadioOffSoftware:
        return L"Wi-Fiがオフになっています。タスクバーのネットワークのアイコンか、設定の「ネットワークとインターネット」でWi-Fiをオンにしてください。";
      case WifiReadiness::RadioOffHardware:
        return L"Wi-FiがPC本体のスイッチでオフになっています。本体のスイッチかキーでWi-Fiをオンにしてください。";
      case WifiReadiness::Ready:  // the service answers, but lists no profile
        return L"PCに保存されたWi-Fiのプロファイルがありません。一度Wi-Fiのネットワークに接続してください。";
      case WifiReadiness::Unknown:
        break;
    }
    return {};
  }

  bool TryChooseSsid() {
    const std::wstring target = TargetSSID();
    runTitle_ = L"再接続先SSIDユーザー設定";
    ssid_ = target;
    ssidMessage_ = L"ユーザー設定のSSID「" + ssid_ + L"」を再接続先にしました。";
    if (!target.empty() && p_.HasWlanProfile(target)) return true;
    runTitle_ = L"再接続先SSID自動取得";
    // A refused query is not repeated within the run: each refusal may prompt the user.
    SsidQuery connected;
    if (!locationDenied_) connected = p_.GetConnectedSsid();
    locationDenied_ = locationDenied_ || connected.result == SsidQueryResult::Denied;
    if (connected.result == SsidQueryResult::Connected && !connected.ssid.empty()) {
      ssid_ = connected.ssid;
      ssidMessage_ = L"ユーザー設定のSSIDが有効ではない為、\n現在接続中のSSID「" + ssid_ + L"」を再接続先に採用しました。";
      return true;
    }
    const std::wstring denied = L"ユーザー設定のSSIDが有効ではなく、位置情報へのアクセスが許可されていない為に接続中のSSIDも取得できない為、\n";
    if (locationDenied_ && p_.GetConnectedNetworkNames) {
      // Only a name that is exactly a saved profile: a network's name can be anything.
      for (const std::wstring& name : p_.GetConnectedNetworkNames()) {
        if (name.empty() || !p_.HasWlanProfile(name)) continue;
        ssid_ = name;
        ssidMessage_ = denied + L"接続中のネットワーク名と一致するプロファイル「" + ssid_ + L"」を再接続先に採用しました。";
        return true;
      }
    }
    ssid_ = p_.GetPreferredProfileSsid();
    ssidMessage_ = locationDenied_ ? denied : L"ユーザー設定のSSIDが有効ではなく、現在接続中でもない為、\n";
    ssidMessage_ += L"PC内の最優先プロファイルのSSID「" + ssid_ + L"」を再接続先に採用しました。";
    return !ssid_.empty();
  }

  // Told after the run's own notice, so that its balloon is the one on screen to click.
  void TellLocationAccess() {
    if (!locationDenied_ || LocationNoticeGiven.exchange(true)) return;
    const std::wstring message =
        L"位置情報へのアクセスが許可されていない為、接続中のWi-FiのSSIDを確認できません。\n"
        L"設定の「プライバシーとセキュリティ」→「位置情報」でデスクトップ アプリによる位置情報へのアクセスを許可するか、"
        L"監視設定で再接続先のSSIDを指定してください。";
    const std::wstring title = L"位置情報の許可が必要";
    if (p_.NotifyUserWithLink) {
      p_.NotifyUserWithLink(message, title, NotifyKind::Warning, kLocationSettingsUri);
    } else {
      p_.NotifyUser(message, title, NotifyKind::Warning);
    }
    p_.WriteLog(LogCategory::Monitor, title, message);
  }

  void ChoosePingTarget() {
    const std::wstring address = PingAddress();
    target_ = address;
    pingNote_ = L"（Ping先はユーザー設定の「" + target_ + L"」です。）";
    if (address.empty() || p_.InetPtonW(address) != 1) {
      target_ = p_.GetWifiGateway();
      pingNote_ = L"（Ping先はユーザー設定が有効ではない為、Wi-Fiのゲートウェイの「" + target_ + L"」です。）";
      if (target_.empty()) {
        target_ = L"8.8.8.8";
        pingNote_ = L"（Ping先は、ユーザー設定が有効ではなく、またWi-Fiのゲートウェイの取得にも失敗した為、「Google Public DNS」の「" +
                    target_ + L"」です。）";
      }
    }
  }

  void Announce() {
    p_.SetTrayTip(ssid_ + L" - " + kProductTitle);
    p_.SetTrayIcon(kIconMonitoring);
    p_.NotifyUser(ssidMessage_ + L"\n" + pingNote_, runTitle_, NotifyKind::Info);
    p_.WriteLog(LogCategory::Monitor, runTitle_, ssidMessage_ + pingNote_);
    TellLocationAccess();
    pingTimeoutMs_ = static_cast<uint32_t>(PingTimeout());
    pingInterval_ = PingInterval();
    reconnectInterval_ = ReconnectInterval();
    maxRetryCount_ = MaxRetryCount();
    graceSeconds_ = ResumeGraceSeconds();
    failuresBeforeReconnect_ = FailuresBeforeReconnect();
    // A run started just after a wake (by the revival timer, say) still owes the grace.
    seenResume_ = LastResumeNs.load();
    const int64_t now = p_.Now();
    if (seenResume_ != 0 && now - seenResume_ < graceSeconds_ * kNsPerSecond) BeginGrace(seenResume_);
  }

  void Loop() {
    if (StopRequested.load()) return;
    while (maxRetryCount_ == 0 || retryCount_ < maxRetryCount_) {
      Tick();
      WaitOneSecond();
      if (StopRequested.load()) break;
    }
  }

  void Tick() {
    const int64_t now = p_.Now();
    if (graceSeconds_ > 0 && PausedForSleep(now)) return;
    InGrace(now);
    if (lastPingOk_ && WholeSecondsBetween(lastPingTime_, now) < pingInterval_) {
      ResetOutage();
      return;
    }
    const bool ok = p_.PingOnce(target_, pingTimeoutMs_);
    lastPingOk_ = ok;
    lastPingTime_ = now;
    if (ok) {
      if (graceUntil_ != 0) EndGrace(L"Pingの応答を確認した為、通常の監視に戻ります。");
      failedPings_ = 0;
      TellRecovery();
      ResetOutage();
      return;
    }
    const int64_t t = p_.Now();
    // A suspend notice that came while the ping waited: nothing is launched into the sleep.
    if (graceSeconds_ > 0 && SystemSuspended.load()) return;
    // Just after a wake Wi-Fi is still reassociating: a failure is neither announced nor
    // answered with a command, and it does not count.
    if (InGrace(t)) return;
    // One lost ping on a busy network is no outage yet.
    if (++failedPings_ < failuresBeforeReconnect_) return;
    if (announced_ && !outage_) OpenOutageRow(t);  // an outage going on after a wake
    if (WholeSecondsBetween(lastReconnectTime_, t) < reconnectInterval_) return;
    if (RadioOff()) {
      // A command cannot help with the radio off; asked again at the reconnect pace.
      EnsureIcon(kIconReconnecting);
      lastReconnectTime_ = t;
      return;
    }
    if (!announced_) {
      if (NotifyOnReconnect()) {
        p_.NotifyUser(L"Wi-Fiの切断を検知しました。再接続を試みます。", L"Wi-Fi切断検知", NotifyKind::Warning);
      }
      p_.WriteLog(LogCategory::Monitor, L"切断検知", L"Wi-Fiの切断を検知。再接続処理に移行。");
      announced_ = true;
      if (!outage_) OpenOutageRow(t);
    }
    EnsureIcon(kIconReconnecting);
    if (ReconnectCommandBusy.exchange(true)) return;  // the previous command still runs
    bool started = false;
    try {
      std::function<void(std::wstring)> command = p_.RunReconnectCommand;
      std::wstring ssid = ssid_;
      started = p_.StartDetachedThread([command = std::move(command), ssid = std::move(ssid)]() mutable noexcept {
        try {
          command(std::move(ssid));
        } catch (...) {
          // Nothing may escape a thread body. A command that threw may not have released
          // the flag, and a flag left set would block every later reconnect.
          ReconnectCommandBusy.store(false);
        }
      });
    } catch (...) {
      started = false;  // out of memory or out of threads: the same as no thread
    }
    if (!started) {
      // No command runs, so nothing would ever clear the flag; this attempt is not counted
      // and the next failing tick tries again.
      ReconnectCommandBusy.store(false);
      p_.WriteLog(LogCategory::Monitor, L"エラー", L"再接続コマンドを実行するスレッドを作成できませんでした。");
      return;
    }
    ++retryCount_;
    lastReconnectTime_ = t;
    if (outage_) {
      ++outage_->row.reconnects;
      Publish();
    }
  }

  // --- The outage history -----------------------------------------------------------

  WallSeconds Wall() const { return p_.WallNow ? p_.WallNow() : 0; }

  void OpenOutageRow(int64_t startNs) {
    OpenOutage o;
    o.row.start = Wall();
    o.row.ssid = ssid_;
    o.row.target = target_;
    o.startNs = startNs;
    o.record = p_.RecordOutage;
    o.wallNow = p_.WallNow;
    o.setOpen = p_.SetOpenOutage;
    outage_ = std::move(o);
    Publish();
  }

  void Publish() {
    if (outage_ && p_.SetOpenOutage) p_.SetOpenOutage(outage_->row, outage_->startNs);
  }

  // The outage a run stopped at the retry limit left open is this run's until it ends.
  void TakeCarriedOutage() {
    std::lock_guard lock(g_carriedLock);
    if (!g_carried) return;
    outage_ = std::move(g_carried);
    g_carried.reset();
    // Its ports may be another run's copies; this run's are the same functions.
    outage_->startNs = p_.Now() - (Wall() - outage_->row.start) * kNsPerSecond;
  }

  void TellRecovery() {
    if (!outage_) return;
    const int64_t seconds = (p_.Now() - outage_->startNs) / kNsPerSecond;
    const std::wstring text = L"Wi-Fiの接続が回復しました。（切断時間 " + DurationText(seconds) + L"、再接続 " +
                              std::to_wstring(outage_->row.reconnects) + L"回）";
    p_.WriteLog(LogCategory::Monitor, L"接続回復", text);
    if (NotifyOnReconnect()) p_.NotifyUser(text, L"接続回復", NotifyKind::Info);
    Close(*outage_, OutageEnd::Recovered);
    outage_.reset();
  }

  void EndOutage(OutageEnd how) {
    if (!outage_) return;
    Close(*outage_, how);
    outage_.reset();
  }

  void EndOutageAtRunEnd() {
    if (!outage_) return;
    if (StopRequested.load()) {
      EndOutage(ExitRequested.load() ? OutageEnd::ProgramExit : OutageEnd::Stopped);
      return;
    }
    // Stopped at the retry limit: the same outage goes on until a later run sees it end.
    outage_->row.retryLimit = true;
    std::lock_guard lock(g_carriedLock);
    g_carried = std::move(outage_);
    outage_.reset();
  }

  void OpenSpan() {
    span_ = MonitoredSpan{Wall(), 0, ssid_, target_};
    if (p_.SetOpenSpan) p_.SetOpenSpan(span_, p_.Now());
  }

  void CloseSpan() {
    if (!span_) return;
    span_->end = Wall();
    if (p_.SetOpenSpan) p_.SetOpenSpan(std::nullopt, 0);
    if (p_.RecordSpan) p_.RecordSpan(*span_);
    span_.reset();
  }

  // Applies the power notices and detects an unannounced wake; true while the system is
  // suspended, when the tick neither pings nor launches and the outage state stays.
  bool PausedForSleep(int64_t now) {
    bool asleep = SystemSuspended.load();
    if (asleep && !paused_) {
      p_.WriteLog(LogCategory::Monitor, L"スリープ", L"スリープに入る為、監視を一時停止。");
      // The history ends the outage and the monitored time here; the run keeps its count.
      EndOutage(OutageEnd::Sleep);
      CloseSpan();
      graceUntil_ = 0;  // the next wake begins a grace of its own
      pausedSince_ = now;
    }
    bool staleSuspend = false;
    if (asleep && paused_ && now - pausedSince_ > kStaleSuspendNs) {
      bool expected = true;
      SystemSuspended.compare_exchange_strong(expected, false);
      asleep = false;
      staleSuspend = true;
    }
    if (paused_ && !asleep) OpenSpan();
    paused_ = asleep;
    const int64_t resumed = LastResumeNs.load();
    const bool announcedWake = resumed != seenResume_;
    seenResume_ = resumed;
    const bool unannouncedWake =
        lastTickAt_ != 0 && now - lastTickAt_ > kNsPerSecond + pingTimeoutMs_ * kNsPerMs + kWakeGapNs;
    lastTickAt_ = now;
    if (asleep) return true;
    if (announcedWake || unannouncedWake || staleSuspend) BeginGrace(announcedWake ? std::min(resumed, now) : now);
    return false;
  }

  void BeginGrace(int64_t from) {
    const int64_t until = from + graceSeconds_ * kNsPerSecond;
    if (graceUntil_ != 0) {
      // A second notice of the same wake (automatic, then user present) only extends it.
      graceUntil_ = std::max(graceUntil_, until);
      return;
    }
    graceUntil_ = until;
    p_.WriteLog(LogCategory::Monitor, L"スリープ復帰",
                L"スリープからの復帰を検知。" + std::to_wstring(graceSeconds_) + L"秒間は切断と判定しません。");
  }

  // Ends an expired grace; true while the grace lasts.
  bool InGrace(int64_t now) {
    if (graceUntil_ == 0) return false;
    if (now < graceUntil_) return true;
    EndGrace(L"復帰待機時間が過ぎた為、通常の監視に戻ります。");
    return false;
  }

  void EndGrace(const std::wstring& why) {
    graceUntil_ = 0;
    p_.WriteLog(LogCategory::Monitor, L"復帰待機終了", why);
  }

  bool RadioOff() {
    const WifiReadiness state = p_.QueryWifiReadiness ? p_.QueryWifiReadiness() : WifiReadiness::Unknown;
    if (state != WifiReadiness::RadioOffSoftware && state != WifiReadiness::RadioOffHardware) return false;
    if (!radioOffTold_) {
      radioOffTold_ = true;
      const std::wstring text = L"Wi-Fiがオフになっている為、再接続を行いません。Wi-Fiをオンにすると再接続を再開します。";
      p_.NotifyUser(text, L"Wi-Fiオフ", NotifyKind::Warning);
      p_.WriteLog(LogCategory::Monitor, L"Wi-Fiオフ", text);
    }
    return true;
  }

  void ResetOutage() {
    retryCount_ = 0;
    announced_ = false;
    radioOffTold_ = false;
    EnsureIcon(kIconMonitoring);
  }

  void EnsureIcon(int id) {
    if (shownIcon_ != id && p_.SetTrayIcon(id)) shownIcon_ = id;
  }

  void WaitOneSecond() {
    const int64_t deadline = p_.Now() + kNsPerSecond;
    for (int64_t now = p_.Now(); now < deadline; now = p_.Now()) {
      const int64_t remaining = deadline - now;
      p_.Sleep(static_cast<uint32_t>((remaining + kNsPerMs - 1) / kNsPerMs));
    }
  }

  void Finish() {
    p_.SetTrayIcon(kIconStopped);
    p_.SetTrayTip(kProductTitle);
    if (StopRequested.load()) {
      p_.WriteLog(LogCategory::Monitor, L"監視処理手動中止", L"ユーザーの何らかのアクションにより、監視処理を中止。");
      return;
    }
    if (EnableMonitorRevival()) {
      const int n = MonitorRevivalInterval();
      p_.StartRevivalTimer(n);
      const std::wstring text = L"再接続コマンドの連続実行回数が指定の上限に達した為、監視処理を中止しました。\n「" +
                                std::to_wstring(n) + L"」秒後に監視処理を自動復活させます。";
      p_.NotifyUser(text, L"監視処理中止＆自動復活", NotifyKind::Error);
      p_.WriteLog(LogCategory::Monitor, L"監視処理中止＆自動復活", text);
      p_.SetTrayTip(std::wstring(L"監視処理復活タイマー作動中 - ") + kProductTitle);
    } else {
      p_.NotifyUser(L"再接続コマンドの連続実行回数が指定の上限に達した為、監視処理を中止しました。", L"監視処理中止",
                    NotifyKind::Error);
      p_.WriteLog(LogCategory::Monitor, L"監視処理中止",
                  L"再接続コマンドの連続実行回数が指定の上限に達した為、監視処理を中止。");
    }
  }

  const MonitorPorts& p_;
  std::wstring runTitle_;
  std::wstring ssid_;
  std::wstring ssidMessage_;
  std::wstring target_;
  std::wstring pingNote_;
  uint32_t pingTimeoutMs_ = 2000;
  int pingInterval_ = 10;
  int reconnectInterval_ = 5;
  int maxRetryCount_ = 20;
  int32_t retryCount_ = 0;
  bool announced_ = false;
  int failedPings_ = 0;  // in a row, outside a grace
  int failuresBeforeReconnect_ = 1;
  std::optional<OpenOutage> outage_;
  std::optional<MonitoredSpan> span_;
  bool radioOffTold_ = false;
  bool locationDenied_ = false;
  bool lastPingOk_ = false;
  int64_t lastPingTime_ = 0;
  int64_t lastReconnectTime_ = 0;
  int shownIcon_ = -1;
  int graceSeconds_ = 0;
  int64_t graceUntil_ = 0;  // 0: no grace
  int64_t pausedSince_ = 0;
  int64_t seenResume_ = 0;
  int64_t lastTickAt_ = 0;
  bool paused_ = false;
};

}  // namespace

void MonitorRun(const MonitorPorts& ports) noexcept {
  struct ClearRunningLast {
    ~ClearRunningLast() { MonitorRunning.store(false); }
  } clearRunning;
  try {
    Run(ports).Execute();
  } catch (...) {
    // The end line has been written by then; a thread body must not let anything escape.
  }
}

void EndCarriedOutage(OutageEnd how) noexcept {
  try {
    std::optional<OpenOutage> carried;
    {
      std::lock_guard lock(g_carriedLock);
      carried = std::move(g_carried);
      g_carried.reset();
    }
    if (carried) Close(*carried, how);
  } catch (...) {
  }
}

void NoteSystemSuspend() { SystemSuspended.store(true); }

void NoteSystemResume() {
  // Stamped first: a run that sees the suspension end also sees this wake.
  LastResumeNs.store(MonotonicNowNs());
  SystemSuspended.store(false);
}

int64_t MonotonicNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SleepMilliseconds(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace moorlink
