#include "monitor/MonitorRun.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/Product.h"
#include "log/LogTexts.h"
#include "log/LogWriter.h"
#include "monitor/MonitorTexts.h"
#include "monitor/ReconnectCommand.h"

namespace moorlink {

constinit RunSignals ProcessRunSignals;
std::atomic<bool> MonitorRunning{false};
constinit std::atomic<bool>& StopRequested = ProcessRunSignals.stopRequested;
constinit std::atomic<bool>& ExitRequested = ProcessRunSignals.exitRequested;
constinit std::atomic<bool>& SystemSuspended = ProcessRunSignals.suspended;
constinit std::atomic<int64_t>& LastResumeNs = ProcessRunSignals.lastResumeNs;
std::atomic<bool> ReconnectCommandBusy{false};
std::atomic<bool> LocationNoticeGiven{false};

namespace {

constexpr int64_t kNsPerSecond = 1'000'000'000;
constexpr int64_t kNsPerMs = 1'000'000;
// A tick this much later than it was due (plus a ping that timed out) means the system
// slept in between.
constexpr int64_t kWakeGapNs = 30 * kNsPerSecond;
// Failing pings, and a ping a reported change asks for, follow the previous one's end by this.
constexpr int64_t kRetryPaceNs = kNsPerSecond;
// The router is one hop away: a silent one delays the command by no more than this.
constexpr uint32_t kGatewayTimeoutMs = 1000;
constexpr int64_t kViewRefreshNs = 5 * 60 * kNsPerSecond;
int64_t WholeSecondsBetween(int64_t from, int64_t to) { return (to - from) / kNsPerSecond; }

class Run {
 public:
  Run(const MonitorPorts& ports, const MonitorSettings& settings, RunSignals& signals, OutageBook& book)
      : p_(ports), s_(settings), signals_(signals), book_(book) {}

  void Execute() {
    p_.WriteLog(LogCategory::Monitor, kRunStartTitle, kRunStartMessage);
    ScopedLogLine endLine(LogCategory::Monitor, kRunEndTitle, kRunEndMessage, p_.WriteLog);
    try {
      seenChanges_ = signals_.networkChanges.load();
      // Watched from the start: a connect notice also ends the wait for a network.
      std::unique_ptr<NetworkWatch> watch = p_.WatchNetwork ? p_.WatchNetwork() : nullptr;
      if (!ChooseSsid()) return;
      // The WLAN service may have started only during the wait.
      if (!watch && p_.WatchNetwork) watch = p_.WatchNetwork();
      ChoosePingTarget();
      Announce();
      book_.RunStarts(p_.History, ssid_, target_, p_.Now());
      Loop();
      EndInBook();
      Finish();
    } catch (...) {
      EndInBook();
      // Whatever went wrong, the user must not be left with a "monitoring" icon.
      p_.WriteLog(LogCategory::Monitor, kErrorTitle, kRunFailedMessage);
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
    if (waits) why += kWifiWaitNote;
    p_.SetTrayIcon(kIconStopped);
    p_.NotifyUser(kNoSsidMessage + (why.empty() ? why : L"\n" + why), kNoSsidTitle, NotifyKind::Error);
    p_.WriteLog(LogCategory::Monitor, kErrorTitle, kNoSsidLogLead + why);
    Tell(EventId::StartFailed, NotifyKind::Error, kNoSsidLogLead + why, {CauseText(cause)});
    if (!waits) return false;
    p_.SetTrayTip(std::wstring(kWifiWaitTipLead) + kProductTitle);
    for (;;) {
      if (!WaitForNextLook()) {
        p_.SetTrayTip(kProductTitle);
        return false;
      }
      if (TryChooseSsid()) return true;
    }
  }

  // Until the wait's next look is due or Windows reports a change; false when stopped.
  bool WaitForNextLook() {
    const int64_t look = p_.Now() + kWifiWaitSeconds * kNsPerSecond;
    while (!signals_.stopRequested.load()) {
      if (p_.Now() >= look || TakeNetworkChange()) return true;
      SleepUntil(look);
    }
    return false;
  }

  bool TakeNetworkChange() {
    const uint32_t changes = signals_.networkChanges.load();
    if (changes == seenChanges_) return false;
    seenChanges_ = changes;
    return true;
  }

  static std::wstring CauseText(WifiReadiness cause) {
    switch (cause) {
      case WifiReadiness::ServiceStopped:
        return kServiceStoppedCause;
      case WifiReadiness::NoInterface:
        return kNoInterfaceCause;
      case WifiReadiness::RadioOffSoftware:
        return kRadioOffSoftwareCause;
      case WifiReadiness::RadioOffHardware:
        return kRadioOffHardwareCause;
      case WifiReadiness::Ready:  // the service answers, but lists no profile
        return kNoProfileCause;
      case WifiReadiness::Unknown:
        break;
    }
    return {};
  }

  bool TryChooseSsid() {
    const std::wstring& target = s_.targetSsid;
    runTitle_ = kSsidFromSettingsTitle;
    ssid_ = target;
    ssidMessage_ = kSsidFromSettingsLead + ssid_ + kSsidFromSettingsTail;
    if (!target.empty() && p_.HasWlanProfile(target)) return true;
    runTitle_ = kSsidFoundTitle;
    // A refused query is not repeated within the run: each refusal may prompt the user.
    SsidQuery connected;
    if (!locationDenied_) connected = p_.GetConnectedSsid();
    locationDenied_ = locationDenied_ || connected.result == SsidQueryResult::Denied;
    if (connected.result == SsidQueryResult::Connected && !connected.ssid.empty()) {
      ssid_ = connected.ssid;
      ssidMessage_ = kSsidConnectedLead + ssid_ + kSsidAdoptedTail;
      return true;
    }
    const std::wstring denied = kSsidLocationDeniedLead;
    if (locationDenied_ && p_.GetConnectedNetworkNames) {
      // Only a name that is exactly a saved profile: a network's name can be anything.
      for (const std::wstring& name : p_.GetConnectedNetworkNames()) {
        if (name.empty() || !p_.HasWlanProfile(name)) continue;
        ssid_ = name;
        ssidMessage_ = denied + kSsidNetworkNameLead + ssid_ + kSsidAdoptedTail;
        return true;
      }
    }
    ssid_ = p_.GetPreferredProfileSsid();
    ssidMessage_ = locationDenied_ ? denied : kSsidNotConnectedLead;
    ssidMessage_ += kSsidPreferredLead + ssid_ + kSsidAdoptedTail;
    return !ssid_.empty();
  }

  // Told after the run's own notice, so that its balloon is the one on screen to click.
  void TellLocationAccess() {
    if (!locationDenied_ || LocationNoticeGiven.exchange(true)) return;
    const std::wstring message = kLocationAccessMessage;
    const std::wstring title = kLocationAccessTitle;
    if (p_.NotifyUserWithLink) {
      p_.NotifyUserWithLink(message, title, NotifyKind::Warning, kLocationSettingsUri);
    } else {
      p_.NotifyUser(message, title, NotifyKind::Warning);
    }
    p_.WriteLog(LogCategory::Monitor, title, message);
    Tell(EventId::LocationAccessMissing, NotifyKind::Warning, message);
  }

  // The notable events also go to the Windows Event Log, with their facts apart.
  void Tell(EventId id, NotifyKind level, std::wstring message, std::vector<std::wstring> facts = {}) const {
    if (p_.ReportEvent) p_.ReportEvent(id, level, std::move(message), std::move(facts));
  }

  void ChoosePingTarget() {
    const std::wstring& address = s_.pingAddress;
    target_ = address;
    pingNote_ = kPingFromSettingsLead + target_ + kPingTargetTail;
    if (address.empty() || p_.InetPtonW(address) != 1) {
      target_ = p_.GetWifiGateway();
      pingNote_ = kPingGatewayLead + target_ + kPingTargetTail;
      if (target_.empty()) {
        target_ = L"8.8.8.8";
        pingNote_ = kPingFallbackLead + target_ + kPingTargetTail;
      }
    }
    // Only a target that may be the router makes Windows' view matter while it answers.
    targetMayBeGateway_ = s_.gatewayCheck && target_ == GatewayToAsk();
  }

  void Announce() {
    p_.SetTrayTip(ssid_ + L" - " + kProductTitle);
    p_.SetTrayIcon(kIconMonitoring);
    p_.NotifyUser(ssidMessage_ + L"\n" + pingNote_, runTitle_, NotifyKind::Info);
    p_.WriteLog(LogCategory::Monitor, runTitle_, ssidMessage_ + pingNote_);
    Tell(EventId::MonitoringStarted, NotifyKind::Info, ssidMessage_ + pingNote_, {ssid_, target_});
    TellLocationAccess();
    // A run started just after a wake (by the revival timer, say) still owes the grace.
    seenResume_ = signals_.lastResumeNs.load();
    const int64_t now = p_.Now();
    if (seenResume_ != 0 && now - seenResume_ < s_.graceSeconds * kNsPerSecond) BeginGrace(seenResume_);
  }

  void Loop() {
    if (signals_.stopRequested.load()) return;
    while (s_.maxRetryCount == 0 || retryCount_ < s_.maxRetryCount) {
      Tick();
      SleepUntil(NextDue());
      if (signals_.stopRequested.load()) break;
    }
  }

  // One tick, in phases: power and wake; a ping when one is due; then what its answer or
  // its failure decides. It runs when something is due and whenever the run is woken.
  void Tick() {
    const int64_t now = p_.Now();
    if (TakeNetworkChange()) pingSoon_ = viewStale_ = true;
    if (FollowPower(now)) return;
    InGrace(now);
    book_.Checkpoint(now);
    if (!PingDue(now)) {
      // Woken early in an outage, nothing changes until its next ping.
      if (lastPingOk_) BackToMonitoring();
      return;
    }
    const bool ok = p_.PingOnce(target_, s_.pingTimeoutMs);
    lastPingOk_ = ok;
    lastPingTime_ = now;
    pingSoon_ = false;
    const int64_t t = p_.Now();
    FollowWindowsView(t, ok);
    if (ok) {
      OnAnswer(t);
    } else {
      OnFailure(t);
    }
    lastPingEnd_ = p_.Now();
  }

  bool PingDue(int64_t now) const {
    if (!lastPingOk_ || pingSoon_) return now >= lastPingEnd_ + kRetryPaceNs;
    return WholeSecondsBetween(lastPingTime_, now) >= s_.pingInterval;
  }

  // When the next tick is due if nothing wakes the run before. A failing ping is followed
  // one second after its tick, as is every tick while the system may be asleep or the tray
  // refused the icon (the taskbar not up yet).
  int64_t NextDue() const {
    const int64_t now = p_.Now();
    if (!lastPingOk_ || paused_ || book_.Asleep() || iconFailed_) return now + kRetryPaceNs;
    int64_t due = lastPingTime_ + s_.pingInterval * kNsPerSecond;
    if (pingSoon_) due = std::min(due, lastPingEnd_ + kRetryPaceNs);
    if (graceUntil_ != 0) due = std::min(due, graceUntil_);
    return std::min(due, book_.NextCheckpointNs());
  }

  void SleepUntil(int64_t due) {
    plannedTick_ = due;
    const int64_t ms = (due - p_.Now() + kNsPerMs - 1) / kNsPerMs;
    // At least a millisecond: a clock that went wrong must not make the run spin.
    p_.Sleep(static_cast<uint32_t>(std::clamp<int64_t>(ms, 1, UINT32_MAX)));
  }

  void OnAnswer(int64_t t) {
    if (graceUntil_ != 0) EndGrace(kGraceEndedByAnswer);
    failedPings_ = 0;
    const Remedy remedy = ChooseRemedy(AnsweredFacts(t));
    if (remedy != Remedy::None) {
      BehindTheRouter(remedy, t);
    } else {
      TellRecovery();
    }
    BackToMonitoring();
  }

  void OnFailure(int64_t t) {
    // A suspend notice that came while the ping waited: nothing is launched into the sleep.
    if (s_.graceSeconds > 0 && signals_.suspended.load()) return;
    // Just after a wake Wi-Fi is still reassociating: a failure is neither announced nor
    // answered with a command, and it does not count.
    if (InGrace(t)) return;
    if (!PastThreshold()) return;
    if (announced_) book_.OutageBegins(t);  // an outage going on after a wake
    if (WholeSecondsBetween(lastReconnectTime_, t) < s_.reconnectInterval) return;
    if (RadioOff()) {
      // A command cannot help with the radio off; asked again at the reconnect pace. The
      // time without a radio is outage time all the same: the PC had no network.
      book_.OutageBegins(t);
      EnsureIcon(kIconReconnecting);
      lastReconnectTime_ = t;
      return;
    }
    if (const Remedy remedy = ChooseRemedy(FailureFacts(t)); remedy != Remedy::Reconnect) {
      // No command helps behind the router; it is asked again at the reconnect pace.
      BehindTheRouter(remedy, t);
      lastReconnectTime_ = t;
      return;
    }
    LeaveInternetSide();
    const int64_t decided = p_.Now();  // after the gateway's echo
    AnnounceOutage(decided);
    EnsureIcon(kIconReconnecting);
    LaunchReconnect(decided);
  }

  // Windows' view, read while the gateway check is on and only when it matters (a query
  // costs far more than a ping): at a failed ping; and while a target that may be the
  // router answers, when none was read yet, after a reported change, while the view is one
  // whose length counts, and every few minutes for a system that reports no changes.
  void FollowWindowsView(int64_t t, bool answered) {
    if (!s_.gatewayCheck || !p_.QueryWindowsView) return;
    if (answered && !targetMayBeGateway_) {
      localOnlySince_ = 0;  // not followed meanwhile: a later reading starts afresh
      return;
    }
    const bool counts = view_ == WindowsView::LocalOnly || view_ == WindowsView::SignIn;
    if (answered && viewReadAt_ != 0 && !viewStale_ && !counts && t - viewReadAt_ < kViewRefreshNs) return;
    viewReadAt_ = t;
    viewStale_ = false;
    view_ = p_.QueryWindowsView();
    if (view_ != WindowsView::LocalOnly) {
      localOnlySince_ = 0;
    } else if (localOnlySince_ == 0) {
      localOnlySince_ = t;
    }
  }

  RemedyFacts CommonFacts(int64_t t) const {
    RemedyFacts f;
    f.gatewayCheck = s_.gatewayCheck;
    f.windows = view_;
    f.localOnlyForNs = localOnlySince_ == 0 ? 0 : t - localOnlySince_;
    return f;
  }

  // The gateway to ask: the setting when it is an address, else the Wi-Fi adapter's,
  // looked up now (a reconnect may have changed it). Empty: none known.
  std::wstring GatewayToAsk() const {
    if (!s_.gatewayAddress.empty() && p_.InetPtonW(s_.gatewayAddress) == 1) return s_.gatewayAddress;
    return p_.GetWifiGateway ? p_.GetWifiGateway() : std::wstring();
  }

  RemedyFacts AnsweredFacts(int64_t t) const {
    RemedyFacts f = CommonFacts(t);
    f.targetAnswered = true;
    // Only Windows' doubts make the answering target's role matter.
    if (f.gatewayCheck && (view_ == WindowsView::LocalOnly || view_ == WindowsView::SignIn)) {
      f.targetIsGateway = GatewayToAsk() == target_;
    }
    return f;
  }

  RemedyFacts FailureFacts(int64_t t) const {
    RemedyFacts f = CommonFacts(t);
    if (!f.gatewayCheck) return f;
    const std::wstring gateway = GatewayToAsk();
    f.gatewayKnown = !gateway.empty() && static_cast<bool>(p_.PingGateway);
    f.targetIsGateway = gateway == target_;
    if (NeedsGatewayPing(f)) {
      const uint32_t timeout = std::min(s_.pingTimeoutMs, kGatewayTimeoutMs);
      f.gateway = p_.PingGateway(gateway, timeout) ? GatewayAnswer::Answered : GatewayAnswer::Silent;
    }
    return f;
  }

  // The router answers, what is behind it does not (or wants a sign-in): an outage of its
  // own kind, told once, with no command and none counted.
  void BehindTheRouter(Remedy remedy, int64_t t) {
    const bool signIn = remedy == Remedy::SignIn;
    book_.OutageBegins(t, signIn ? OutageKind::SignIn : OutageKind::Internet);
    // The link is there: a later loss of it is an outage to announce, with fresh retries.
    announced_ = false;
    retryCount_ = 0;
    if (behind_ == remedy) return;
    behind_ = remedy;
    EnsureIcon(kIconInternet);
    p_.SetTrayTip((signIn ? kSignInTipLead : kInternetOutageTipLead) + ssid_ + L" - " + kProductTitle);
    if (signIn) {
      // Only the user can sign in, so this is told whatever the notice switch says.
      if (p_.NotifyUserWithLink) {
        p_.NotifyUserWithLink(kSignInMessage, kSignInTitle, NotifyKind::Warning, kSignInPageUri);
      } else {
        p_.NotifyUser(kSignInMessage, kSignInTitle, NotifyKind::Warning);
      }
      p_.WriteLog(LogCategory::Monitor, kSignInTitle, kSignInLogMessage);
      Tell(EventId::InternetOutage, NotifyKind::Warning, kSignInLogMessage,
           {ssid_, target_, OutageKindText(OutageKind::SignIn)});
      return;
    }
    if (p_.NotifyOnReconnect()) p_.NotifyUser(kInternetOutageMessage, kInternetOutageTitle, NotifyKind::Warning);
    p_.WriteLog(LogCategory::Monitor, kInternetOutageTitle, kInternetOutageLogMessage);
    Tell(EventId::InternetOutage, NotifyKind::Warning, kInternetOutageLogMessage,
         {ssid_, target_, OutageKindText(OutageKind::Internet)});
  }

  void LeaveInternetSide() {
    if (behind_ == Remedy::None) return;
    behind_ = Remedy::None;
    p_.SetTrayTip(ssid_ + L" - " + kProductTitle);
  }

  // One lost ping on a busy network is no outage yet.
  bool PastThreshold() { return ++failedPings_ >= s_.failuresBeforeReconnect; }

  void AnnounceOutage(int64_t t) {
    if (announced_) return;
    if (p_.NotifyOnReconnect()) {
      p_.NotifyUser(kOutageNoticeMessage, kOutageNoticeTitle, NotifyKind::Warning);
    }
    p_.WriteLog(LogCategory::Monitor, kOutageLogTitle, kOutageLogMessage);
    Tell(EventId::OutageDetected, NotifyKind::Warning, kOutageLogMessage, {ssid_, target_});
    announced_ = true;
    book_.OutageBegins(t);
  }

  void LaunchReconnect(int64_t t) {
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
      p_.WriteLog(LogCategory::Monitor, kErrorTitle, kReconnectThreadFailedMessage);
      return;
    }
    ++retryCount_;
    lastReconnectTime_ = t;
    book_.CommandLaunched();
    Tell(EventId::ReconnectLaunched, NotifyKind::Info, ReconnectCommandLine(ssid_),
         {ssid_, std::to_wstring(retryCount_)});
  }

  void TellRecovery() {
    LeaveInternetSide();
    const std::optional<OutageSummary> outage = book_.Answered(p_.Now());
    if (!outage) return;
    const wchar_t* lead = outage->kind == OutageKind::Internet ? kRecoveredInternetLead
                          : outage->kind == OutageKind::SignIn ? kRecoveredSignInLead
                                                               : kRecoveredLead;
    const std::wstring text = lead + DurationText(outage->seconds) + kRecoveredReconnects +
                              std::to_wstring(outage->reconnects) + kRecoveredTail;
    p_.WriteLog(LogCategory::Monitor, kRecoveredTitle, text);
    Tell(EventId::Recovered, NotifyKind::Info, text,
         {ssid_, std::to_wstring(outage->seconds), std::to_wstring(outage->reconnects), OutageKindText(outage->kind)});
    if (p_.NotifyOnReconnect()) p_.NotifyUser(text, kRecoveredTitle, NotifyKind::Info);
  }

  // Stopped by the user, a restart or the exit, the outage ends; stopped at the retry
  // limit, it goes on into the next run.
  void EndInBook() {
    std::optional<OutageEnd> how;
    if (signals_.stopRequested.load()) {
      how = signals_.exitRequested.load() ? OutageEnd::ProgramExit : OutageEnd::Stopped;
    }
    book_.RunEnds(how, p_.Now());
  }

  // Power and wake. The history follows every notice and every gap in the ticks; the run
  // itself pauses and grants a grace only when a grace is set. True while paused.
  bool FollowPower(int64_t now) {
    const int64_t expected = std::max(plannedTick_, lastTickAt_ + kNsPerSecond);
    const bool gap = lastTickAt_ != 0 && now - expected > s_.pingTimeoutMs * kNsPerMs + kWakeGapNs;
    if (gap) book_.SleptBetween(lastTickAt_, now);
    book_.AwakeIfStale(now);
    lastTickAt_ = now;
    return s_.graceSeconds > 0 && PausedForSleep(now, gap);
  }

  // Applies the power notices to the run; true while the system is suspended, when the
  // tick neither pings nor launches and the outage state stays.
  bool PausedForSleep(int64_t now, bool unannouncedWake) {
    bool asleep = signals_.suspended.load();
    if (asleep && !paused_) {
      p_.WriteLog(LogCategory::Monitor, kSleepTitle, kSleepMessage);
      graceUntil_ = 0;  // the next wake begins a grace of its own
      pausedSince_ = now;
    }
    bool staleSuspend = false;
    if (asleep && paused_ && now - pausedSince_ > kStaleSuspendNs) {
      // Still ticking this long after the notice: awake, whether the sleep never came or
      // its resume notice was lost. It must not stay paused for good.
      bool expected = true;
      signals_.suspended.compare_exchange_strong(expected, false);
      asleep = false;
      staleSuspend = true;
    }
    paused_ = asleep;
    const int64_t resumed = signals_.lastResumeNs.load();
    const bool announcedWake = resumed != seenResume_;
    seenResume_ = resumed;
    if (asleep) return true;
    if (announcedWake || unannouncedWake || staleSuspend) BeginGrace(announcedWake ? std::min(resumed, now) : now);
    return false;
  }

  void BeginGrace(int64_t from) {
    const int64_t until = from + s_.graceSeconds * kNsPerSecond;
    if (graceUntil_ != 0) {
      // A second notice of the same wake (automatic, then user present) only extends it.
      graceUntil_ = std::max(graceUntil_, until);
      return;
    }
    graceUntil_ = until;
    p_.WriteLog(LogCategory::Monitor, kWakeTitle, kWakeLead + std::to_wstring(s_.graceSeconds) + kWakeTail);
  }

  // Ends an expired grace; true while the grace lasts.
  bool InGrace(int64_t now) {
    if (graceUntil_ == 0) return false;
    if (now < graceUntil_) return true;
    EndGrace(kGraceEndedByTime);
    return false;
  }

  void EndGrace(const std::wstring& why) {
    graceUntil_ = 0;
    p_.WriteLog(LogCategory::Monitor, kGraceEndTitle, why);
  }

  bool RadioOff() {
    const WifiReadiness state = p_.QueryWifiReadiness ? p_.QueryWifiReadiness() : WifiReadiness::Unknown;
    if (state != WifiReadiness::RadioOffSoftware && state != WifiReadiness::RadioOffHardware) return false;
    if (!radioOffTold_) {
      radioOffTold_ = true;
      const std::wstring text = kRadioOffMessage;
      p_.NotifyUser(text, kRadioOffTitle, NotifyKind::Warning);
      p_.WriteLog(LogCategory::Monitor, kRadioOffTitle, text);
      Tell(EventId::WifiOff, NotifyKind::Warning, text, {ssid_});
    }
    return true;
  }

  void BackToMonitoring() {
    retryCount_ = 0;
    announced_ = false;
    radioOffTold_ = false;
    EnsureIcon(behind_ == Remedy::None ? kIconMonitoring : kIconInternet);
  }

  void EnsureIcon(int id) {
    if (shownIcon_ == id) return;
    iconFailed_ = !p_.SetTrayIcon(id);
    if (!iconFailed_) shownIcon_ = id;
  }

  void Finish() {
    p_.SetTrayIcon(kIconStopped);
    p_.SetTrayTip(kProductTitle);
    if (signals_.stopRequested.load()) {
      p_.WriteLog(LogCategory::Monitor, kStoppedByUserTitle, kStoppedByUserMessage);
      return;
    }
    Tell(EventId::RetryLimitStop, NotifyKind::Error, kRetryLimitLogMessage, {ssid_, std::to_wstring(retryCount_)});
    if (const int n = p_.RevivalSeconds(); n > 0) {
      p_.StartRevivalTimer(n);
      const std::wstring text = kRevivalLead + std::to_wstring(n) + kRevivalTail;
      p_.NotifyUser(text, kRevivalTitle, NotifyKind::Error);
      p_.WriteLog(LogCategory::Monitor, kRevivalTitle, text);
      Tell(EventId::Revival, NotifyKind::Error, text, {std::to_wstring(n)});
      p_.SetTrayTip(std::wstring(kRevivalTipLead) + kProductTitle);
    } else {
      p_.NotifyUser(kRetryLimitMessage, kRetryLimitTitle, NotifyKind::Error);
      p_.WriteLog(LogCategory::Monitor, kRetryLimitTitle, kRetryLimitLogMessage);
    }
  }

  const MonitorPorts& p_;
  const MonitorSettings& s_;
  RunSignals& signals_;
  OutageBook& book_;
  std::wstring runTitle_;
  std::wstring ssid_;
  std::wstring ssidMessage_;
  std::wstring target_;
  std::wstring pingNote_;
  int32_t retryCount_ = 0;
  bool announced_ = false;
  int failedPings_ = 0;  // in a row, outside a grace
  bool radioOffTold_ = false;
  bool locationDenied_ = false;
  bool lastPingOk_ = false;
  int64_t lastPingTime_ = 0;             // when the last ping's tick began
  int64_t lastPingEnd_ = INT64_MIN / 2;  // long ago: the first ping is due at once
  bool pingSoon_ = false;                // Windows reported a change since the last ping
  uint32_t seenChanges_ = 0;
  int64_t plannedTick_ = 0;
  int64_t lastReconnectTime_ = 0;
  int shownIcon_ = -1;
  bool iconFailed_ = false;
  int64_t graceUntil_ = 0;  // 0: no grace
  int64_t pausedSince_ = 0;
  int64_t seenResume_ = 0;
  int64_t lastTickAt_ = 0;
  bool paused_ = false;
  Remedy behind_ = Remedy::None;  // an outage behind the router, as told
  WindowsView view_ = WindowsView::Unknown;
  int64_t viewReadAt_ = 0;  // 0: not read in this run
  bool viewStale_ = false;  // a change was reported since
  bool targetMayBeGateway_ = false;
  int64_t localOnlySince_ = 0;  // 0: Windows does not report local access only
};

}  // namespace

void MonitorRun(const MonitorPorts& ports, const MonitorSettings& settings, RunSignals& signals,
                OutageBook& book) noexcept {
  struct ClearRunningLast {
    ~ClearRunningLast() { MonitorRunning.store(false); }
  } clearRunning;
  try {
    Run(ports, settings, signals, book).Execute();
  } catch (...) {
    // The end line has been written by then; a thread body must not let anything escape.
  }
}

void MonitorRun(const MonitorPorts& ports) noexcept {
  try {
    MonitorPorts withSettings = ports;
    if (!withSettings.NotifyOnReconnect) withSettings.NotifyOnReconnect = ReadNotifyOnReconnect;
    if (!withSettings.RevivalSeconds) withSettings.RevivalSeconds = ReadRevivalSeconds;
    MonitorRun(withSettings, ReadMonitorSettings(), ProcessRunSignals, ProcessOutageBook());
  } catch (...) {
    MonitorRunning.store(false);  // out of memory before the run began
  }
}

void EndCarriedOutage(OutageEnd how) noexcept { ProcessOutageBook().EndCarried(how, MonotonicNowNs()); }

void NoteSystemSuspend(int64_t atNs) {
  ProcessOutageBook().Suspend(atNs);
  SystemSuspended.store(true);
  WakeRun(ProcessRunSignals);
}

void NoteSystemResume(int64_t atNs) {
  // Stamped first: a run that sees the suspension end also sees this wake.
  LastResumeNs.store(atNs);
  SystemSuspended.store(false);
  ProcessOutageBook().Awake(atNs);
  WakeRun(ProcessRunSignals);
}

namespace {
struct WakeSignal {
  std::mutex lock;
  std::condition_variable woken;
};
// Never destroyed: a notification thread of the system's may wake the run during exit.
WakeSignal& Wake() {
  static auto* signal = new WakeSignal;
  return *signal;
}
}  // namespace

void WakeRun(RunSignals& signals) noexcept {
  try {
    WakeSignal& wake = Wake();
    {
      std::lock_guard<std::mutex> lock(wake.lock);
      signals.wakePending.store(true);
    }
    wake.woken.notify_all();
  } catch (...) {
    signals.wakePending.store(true);  // seen at the sleep's end, if not sooner
  }
}

void SleepUntilWoken(RunSignals& signals, uint32_t ms) noexcept {
  try {
    WakeSignal& wake = Wake();
    std::unique_lock<std::mutex> lock(wake.lock);
    wake.woken.wait_for(lock, std::chrono::milliseconds(ms), [&] { return signals.wakePending.load(); });
    signals.wakePending.store(false);
  } catch (...) {
    SleepMilliseconds(ms);  // no lock to wait on: a plain sleep, woken by nothing
  }
}

void NoteNetworkChange() noexcept {
  ProcessRunSignals.networkChanges.fetch_add(1);
  WakeRun(ProcessRunSignals);
}

int64_t MonotonicNowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void SleepMilliseconds(uint32_t ms) noexcept {
  try {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  } catch (...) {
  }
}

}  // namespace moorlink
