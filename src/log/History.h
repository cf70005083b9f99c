#pragma once
// The outage history: one CSV file per user beside the settings file
// (<user>_history.csv), UTF-8 with a byte-order mark, CR LF, RFC 4180 quoting, so that it
// opens as it should in Excel on Japanese Windows. It holds two kinds of rows, told apart
// by the first column: an outage ("切断") and a span of active monitoring ("監視"), the
// latter so that availability counts monitored time only. Each row carries the UTC offset
// in effect at its start, so that it reads back exactly across a change of daylight
// saving or of time zone. Rows are appended as they end; rows older than a year are
// dropped when the file is rewritten (once per program start). A line that is not one of
// our rows (damaged, or added by hand) is kept as it is and skipped when reading.
// Nothing here throws. A row that cannot be appended (the file held open by another
// program) is kept and written before the next one that can; a failure streak costs one
// log line (category Other) and one call of the write-failure listener, never the program.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Platform.h"

namespace moorlink {

// Seconds since 1970-01-01 00:00:00 UTC.
using WallSeconds = int64_t;
WallSeconds CurrentWallSeconds();

// How an outage ended. SessionEnd: sign-out, shutdown or restart of Windows.
enum class OutageEnd { Recovered, Stopped, ProgramExit, Sleep, SessionEnd };

// What the outage was: the Wi-Fi link (the specified reaction, reconnects), the internet
// behind a router that still answered (no reconnect helps), or a network that wants a
// sign-in first (a captive portal).
enum class OutageKind { WiFi, Internet, SignIn };
// The kind as the history file's 種類 column names it: Wi-Fi, インターネット, サインイン.
std::wstring OutageKindText(OutageKind kind);

struct OutageRecord {
  WallSeconds start = 0;
  WallSeconds end = 0;
  std::wstring ssid;
  std::wstring target;
  int reconnects = 0;  // reconnect commands launched in it
  OutageEnd how = OutageEnd::Recovered;
  bool retryLimit = false;  // monitoring stopped at the retry limit during it
  bool open = false;        // still going on (set by the monitor's OutageBook); never in the file
  OutageKind kind = OutageKind::WiFi;
  bool operator==(const OutageRecord&) const = default;
};

struct MonitoredSpan {
  WallSeconds start = 0;
  WallSeconds end = 0;
  std::wstring ssid;
  std::wstring target;
  bool open = false;  // still going on (set by the monitor's OutageBook); never in the file
  bool operator==(const MonitoredSpan&) const = default;
};

struct HistoryRows {
  std::vector<OutageRecord> outages;  // in file order
  std::vector<MonitoredSpan> spans;
};

// --- The file format (pure) ---------------------------------------------------------
// Header line: 種別,開始,終了,秒数,SSID,Ping先,再接続回数,終わり方,UTCオフセット,種類
// Outage:      切断,2026/12/08 21:05:03,2026/12/08 21:07:16,133,Home,192.168.1.1,3,回復,+09:00,Wi-Fi
// Span:        監視,2026/12/08 20:00:00,2026/12/08 23:10:00,11400,Home,192.168.1.1,,,+09:00,
// Times are local time, YYYY/MM/DD HH:MM:SS; UTCオフセット (+09:00, -03:30) is the local
// time's offset at the start, empty when it is not a whole number of minutes. 終わり方:
// 回復, 監視停止, プログラム終了, スリープ, Windows終了, each followed by "（上限で中止）"
// when retryLimit is set. 種類, by OutageKind: Wi-Fi, インターネット, サインイン; empty in a
// span. SSID and Ping先 hold at most kMaxHistoryFieldBytes of UTF-8 (any Wi-Fi profile
// name: 255 characters of up to 4 bytes); a longer text is cut at a character boundary
// when written. Older files have rows of 8 columns (no offset) or 9 (no kind); their
// outages, and one whose kind is a word this version does not know, read as Wi-Fi.
inline constexpr std::string_view kHistoryBom = "\xEF\xBB\xBF";
inline constexpr size_t kMaxHistoryFieldBytes = 1024;
std::string HistoryHeaderLine();  // with CR LF
std::string FormatHistoryRow(const OutageRecord& outage);
std::string FormatHistoryRow(const MonitoredSpan& span);
// Reads every row of ours from the whole file's bytes (with or without the BOM, CR LF or
// LF); anything else is skipped. Quoted fields may hold commas, quotes and line breaks;
// what is not a row of ours counts as one line, so a quote left open (a write cut short)
// hides no row after it. Times saved back by Excel ("2026/12/8 21:05") are read too; the
// end is the start plus the seconds column. A row with a valid offset starts at its local
// start minus the offset; one without (8 columns: older files) is read in today's zone.
HistoryRows ParseHistory(std::string_view bytes);
// The file's bytes as they are rewritten at `now`: BOM, header, then every line kept in
// order, except our rows that ended more than 365 days before now, or before the newest
// row's end + 30 days when that is earlier (a clock set far ahead keeps the file).
// Lines not ours stay; a header line, old or new, is replaced by today's.
std::string PruneHistory(std::string_view bytes, WallSeconds now);

// --- Arithmetic for the view (pure) -------------------------------------------------
// "45秒", "2分13秒", "2分", "1時間5分", "3日4時間"; 0 and less: "0秒".
std::wstring DurationText(int64_t seconds);

// In order of precedence: a slot shows the highest state found in it. Internet and
// SignIn outages are internet-side; a Wi-Fi outage is the more severe for this program.
enum class SlotState : uint8_t { NotMonitored, Answered, InternetOutage, Outage };
// [from, to) cut into `count` equal slots: Outage where a Wi-Fi outage overlaps monitored
// time in the slot, else InternetOutage where an internet-side one does (an outage of less
// than a second counts as one second), else Answered where any monitored span overlaps
// it, else NotMonitored.
std::vector<SlotState> HistorySlots(const HistoryRows& rows, WallSeconds from, WallSeconds to, int count);
// The share of monitored time in [from, to) that was not inside an outage of any kind, in
// percent; nullopt when nothing was monitored in that window. Overlapping spans count once.
std::optional<double> AvailabilityPercent(const HistoryRows& rows, WallSeconds from, WallSeconds to);
// The share of the outage time in [from, to) (monitored time inside an outage of any kind)
// that was internet-side only, in percent: time a Wi-Fi outage overlaps is the Wi-Fi's, as
// in the slots. nullopt when there was no outage time in that window.
std::optional<double> InternetOutageShare(const HistoryRows& rows, WallSeconds from, WallSeconds to);

// --- The store (process-wide, thread-safe) ------------------------------------------
// The history file beside a settings file "<user>_Moorlink.ini": "<user>_history.csv";
// empty for a path not named so.
std::wstring ComposeHistoryPath(const std::wstring& settingsPath);
// Set at start-up (from the settings file's path): reads the file's rows for the view
// and, when UseHistory is on and something changes, rewrites it once (PruneHistory).
// Forgets what was recorded before, rows still waiting included. A file over 64 MiB is
// neither read nor rewritten. A rewrite that fails is logged and told, but starts no
// streak: it loses no row, so the first append that fails is told as well.
void OpenHistory(const std::wstring& path);
std::wstring HistoryFilePath();
// Appends a row when [History] UseHistory is on (read at every call) and remembers it for
// the view; called when an outage or a monitored span ends. A row that cannot be appended
// waits, with those before it (the latest kMaxPendingHistoryRows), for the next write.
void RecordOutage(const OutageRecord& outage) noexcept;
void RecordSpan(const MonitoredSpan& span) noexcept;
inline constexpr size_t kMaxPendingHistoryRows = 10000;
// Writes the rows still waiting (at exit, at the end of the Windows session).
void FlushHistory() noexcept;
// The file's rows and those recorded since (the open ones are the monitor's to add).
HistoryRows HistorySnapshot();
// Called (on the recording thread) after each recorded outage; the view redraws.
void SetHistoryListener(std::function<void()> listener);
// Called with the file's path on the first failed write of a streak, on the failing
// thread, outside the store's lock.
void SetHistoryWriteFailureListener(std::function<void(const std::wstring& path)> listener);

// Test seam: where failures are logged.
void SetHistoryLogForTesting(std::function<void(const std::wstring& message)> log);

}  // namespace moorlink
