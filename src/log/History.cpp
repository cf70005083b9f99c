#include "log/History.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdio>
#include <deque>
#include <mutex>
#include <utility>
#include <variant>

#include "common/Files.h"
#include "common/Text.h"
#include "log/LogTexts.h"
#include "log/LogWriter.h"
#include "settings/Settings.h"

namespace moorlink {
namespace {

constexpr std::string_view kHeader = "種別,開始,終了,秒数,SSID,Ping先,再接続回数,終わり方,UTCオフセット,種類";
// Files written before the kind column, and before the offset column; still headers,
// replaced when rewritten.
constexpr std::string_view kOffsetHeader = "種別,開始,終了,秒数,SSID,Ping先,再接続回数,終わり方,UTCオフセット";
constexpr std::string_view kOldHeader = "種別,開始,終了,秒数,SSID,Ping先,再接続回数,終わり方";
constexpr std::string_view kKindOutage = "切断";
constexpr std::string_view kKindSpan = "監視";
constexpr std::string_view kEndTexts[] = {"回復", "監視停止", "プログラム終了", "スリープ", "Windows終了"};
constexpr std::string_view kRetryLimitMark = "（上限で中止）";
// By OutageKind.
constexpr std::string_view kOutageKindTexts[] = {"Wi-Fi", "インターネット", "サインイン"};
// Rows have 8 fields (before the offset column), 9 (before the kind column) or 10.
constexpr size_t kOldFieldCount = 8;
constexpr size_t kOffsetFieldCount = 9;
constexpr size_t kFieldCount = 10;
// The one limit for writing and reading; it also bounds how far a stray quote makes the
// reader look ahead, so that a damaged file costs linear time.
constexpr size_t kMaxFieldBytes = kMaxHistoryFieldBytes;
constexpr WallSeconds kDay = 24 * 60 * 60;
constexpr WallSeconds kKeptSeconds = 365 * kDay;
// How far past the newest row a clock is still believed when pruning.
constexpr WallSeconds kPlausibleAheadSeconds = 30 * kDay;
constexpr int kFirstYear = 1970;
// The Windows C runtime converts no later time.
constexpr int kLastYear = 3000;

// --- Civil time -------------------------------------------------------------------------

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t yearOfEra = year - era * 400;
  const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  return era * 146097 + yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear - 719468;
}

// The local fields read as if they were UTC.
WallSeconds FieldsAsUtc(const LocalTime& l) {
  return DaysFromCivil(l.year, l.month, l.day) * kDay + l.hour * 3600 + l.minute * 60 + l.second;
}

bool IsCivil(const LocalTime& l) {
  static const int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (l.month < 1 || l.month > 12 || l.hour > 23 || l.minute > 59 || l.second > 59) return false;
  const bool leap = l.year % 4 == 0 && (l.year % 100 != 0 || l.year % 400 == 0);
  return l.day >= 1 && l.day <= kMonthDays[l.month - 1] + (l.month == 2 && leap ? 1 : 0);
}

// --- Writing -------------------------------------------------------------------------

// "+09:00", "-03:30"; empty when the local time cannot be had or the offset is not a
// whole number of minutes (no such zone since 1970, but the reader must get it back).
std::string OffsetText(WallSeconds t) {
  const LocalTime l = ToLocalTime(t);
  if (!IsCivil(l) || l.year < kFirstYear || l.year > kLastYear) return {};
  const WallSeconds offset = FieldsAsUtc(l) - t;
  const WallSeconds minutes = offset < 0 ? -offset / 60 : offset / 60;
  if (offset % 60 != 0 || minutes >= 24 * 60) return {};
  char text[16];
  std::snprintf(text, sizeof text, "%c%02d:%02d", offset < 0 ? '-' : '+', static_cast<int>(minutes / 60),
                static_cast<int>(minutes % 60));
  return text;
}

// Cut at a character boundary: the UTF-8 that WideToUtf8 makes is always well formed.
std::string Limited(std::string text) {
  if (text.size() <= kMaxFieldBytes) return text;
  size_t size = kMaxFieldBytes;
  while (size > 0 && (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80) --size;
  text.resize(size);
  return text;
}

std::string TimeText(WallSeconds t) {
  const LocalTime l = ToLocalTime(t);
  char text[48];
  std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", l.year, l.month, l.day, l.hour, l.minute, l.second);
  return text;
}

// RFC 4180, and quotes around text whose edges Excel would trim or read as a formula:
// the data itself stays exact, since an SSID must come back as it was.
std::string CsvField(std::string_view text) {
  const bool quote = text.find_first_of(",\"\r\n") != std::string_view::npos ||
                     (!text.empty() && (std::string_view(" \t=+-@").find(text.front()) != std::string_view::npos ||
                                        text.back() == ' ' || text.back() == '\t'));
  if (!quote) return std::string(text);
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + '"';
}

std::string Row(std::string_view type, WallSeconds start, WallSeconds end, const std::wstring& ssid,
                const std::wstring& target, const std::string& reconnects, const std::string& how,
                std::string_view kind) {
  const WallSeconds seconds = std::max<WallSeconds>(0, end - start);
  std::string row(type);
  row += ',' + TimeText(start) + ',' + TimeText(start + seconds) + ',' + std::to_string(seconds);
  row += ',' + CsvField(Limited(WideToUtf8(ssid))) + ',' + CsvField(Limited(WideToUtf8(target)));
  return row + ',' + reconnects + ',' + how + ',' + OffsetText(start) + ',' + std::string(kind) + "\r\n";
}

// --- Reading -------------------------------------------------------------------------

std::optional<int> Digits(std::string_view text, size_t minDigits, size_t maxDigits) {
  if (text.size() < minDigits || text.size() > maxDigits) return std::nullopt;
  int value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<int64_t> Count(std::string_view text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// YYYY/MM/DD HH:MM:SS, and the shorter form Excel saves ("2026/12/8 21:05").
std::optional<LocalTime> ParseFields(std::string_view text) {
  int parts[6] = {0, 0, 0, 0, 0, 0};
  const char separators[] = {'/', '/', ' ', ':', ':'};
  size_t i = 0;
  for (int n = 0; n < 6; ++n) {
    if (n == 5 && i == text.size()) break;  // seconds left out
    if (n > 0) {
      if (i >= text.size() || text[i] != separators[n - 1]) return std::nullopt;
      ++i;
    }
    size_t end = i;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    const std::optional<int> value = Digits(text.substr(i, end - i), n == 0 ? 4 : (n >= 4 ? 2 : 1), n == 0 ? 4 : 2);
    if (!value) return std::nullopt;
    parts[n] = *value;
    i = end;
  }
  if (i != text.size() || parts[0] < kFirstYear || parts[0] > kLastYear) return std::nullopt;
  return LocalTime{parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], 0};
}

// "+09:00" as seconds east of UTC.
std::optional<WallSeconds> ParseOffset(std::string_view text) {
  if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':') return std::nullopt;
  const std::optional<int> hours = Digits(text.substr(1, 2), 2, 2);
  const std::optional<int> minutes = Digits(text.substr(4, 2), 2, 2);
  if (!hours || !minutes || *hours > 23 || *minutes > 59) return std::nullopt;
  const WallSeconds seconds = *hours * 3600 + *minutes * 60;
  return text[0] == '-' ? -seconds : seconds;
}

// With the offset the local text is exact even in the hour repeated at the end of
// daylight saving; without it (older rows) it is read in today's zone.
std::optional<WallSeconds> ParseTime(std::string_view text, const std::optional<WallSeconds>& offset) {
  const std::optional<LocalTime> fields = ParseFields(text);
  if (!fields) return std::nullopt;
  if (!offset) return FromLocalTime(*fields);
  if (!IsCivil(*fields)) return std::nullopt;
  return FieldsAsUtc(*fields) - *offset;
}

bool InYears(WallSeconds t) {
  const int year = ToLocalTime(t).year;
  return year >= kFirstYear && year <= kLastYear;
}

using ParsedRow = std::variant<OutageRecord, MonitoredSpan>;

std::optional<ParsedRow> ToRow(const std::vector<std::string>& f) {
  if (f.size() != kFieldCount && f.size() != kOffsetFieldCount && f.size() != kOldFieldCount) return std::nullopt;
  const std::wstring ssid = Utf8ToWide(f[4]);
  const std::wstring target = Utf8ToWide(f[5]);
  // Measured as written back: a byte that is not UTF-8 comes back as three.
  if (WideToUtf8(ssid).size() > kMaxFieldBytes || WideToUtf8(target).size() > kMaxFieldBytes) return std::nullopt;
  const bool outage = f[0] == kKindOutage;
  if (!outage && f[0] != kKindSpan) return std::nullopt;
  // An offset Excel has turned into something else leaves the row as readable as an old one.
  const std::optional<WallSeconds> offset = f.size() >= kOffsetFieldCount ? ParseOffset(f[8]) : std::nullopt;
  const std::optional<WallSeconds> start = ParseTime(f[1], offset);
  const std::optional<int64_t> seconds = Count(f[3], 12);
  // The length, not the end's text, makes the end: it is exact across a change of daylight saving.
  if (!start || !ParseTime(f[2], offset) || !seconds) return std::nullopt;
  const WallSeconds end = *start + *seconds;
  // Both must be written back as they are read.
  if (!InYears(*start) || !InYears(end)) return std::nullopt;
  const std::string_view kind = f.size() == kFieldCount ? std::string_view(f[9]) : std::string_view();
  if (!outage) {
    if (!f[6].empty() || !f[7].empty() || !kind.empty()) return std::nullopt;
    return MonitoredSpan{*start, end, ssid, target};
  }
  const std::optional<int64_t> reconnects = Count(f[6], 9);
  if (!reconnects) return std::nullopt;
  std::string_view how = f[7];
  const bool retryLimit = how.ends_with(kRetryLimitMark);
  if (retryLimit) how.remove_suffix(kRetryLimitMark.size());
  const auto known = std::find(std::begin(kOutageKindTexts), std::end(kOutageKindTexts), kind);
  // Older rows have none; a kind this version does not know (a later one's) still keeps
  // the row, as Wi-Fi's.
  const OutageKind outageKind =
      known == std::end(kOutageKindTexts) ? OutageKind::WiFi : OutageKind(known - std::begin(kOutageKindTexts));
  for (size_t i = 0; i < std::size(kEndTexts); ++i) {
    if (how == kEndTexts[i]) {
      OutageRecord record{*start, end, ssid, target, static_cast<int>(*reconnects), OutageEnd(i), retryLimit};
      record.kind = outageKind;
      return record;
    }
  }
  return std::nullopt;
}

// One logical line of the file: a row of ours (which may span lines inside quotes), or
// else its first physical line alone. scanEnd is how far reading it looked, which
// decides what may be dropped around it without changing how it reads.
struct Record {
  size_t end = 0;
  size_t scanEnd = 0;
  std::optional<ParsedRow> row;
};

Record NextRecord(std::string_view b, size_t pos) {
  Record record;
  std::vector<std::string> fields;
  size_t i = pos;
  bool wellFormed = false;
  while (fields.size() < kFieldCount) {
    std::string field;
    if (i < b.size() && b[i] == '"') {
      const size_t open = ++i;
      bool closed = false;
      while (i < b.size() && i - open <= 2 * kMaxFieldBytes) {
        if (b[i] == '"') {
          if (i + 1 < b.size() && b[i + 1] == '"') {
            field += '"';
            i += 2;
            continue;
          }
          closed = true;
          ++i;
          break;
        }
        field += b[i++];
      }
      if (!closed) break;
      fields.push_back(std::move(field));
      if (i < b.size() && b[i] == ',') {
        ++i;
        continue;
      }
      const size_t lineBreak = (i < b.size() && b[i] == '\r') ? i + 1 : i;
      if (i == b.size() || (lineBreak < b.size() && b[lineBreak] == '\n')) {
        wellFormed = true;
        i = (i == b.size()) ? i : lineBreak + 1;
      }
      break;
    }
    size_t stop = b.find_first_of(",\n", i);
    if (stop == std::string_view::npos) stop = b.size();
    std::string_view text = b.substr(i, stop - i);
    if (stop < b.size() && b[stop] == ',') {
      fields.emplace_back(text);
      i = stop + 1;
      continue;
    }
    if (stop < b.size() && text.ends_with('\r')) text.remove_suffix(1);
    fields.emplace_back(text);
    wellFormed = true;
    i = (stop == b.size()) ? stop : stop + 1;
    break;
  }
  if (wellFormed) record.row = ToRow(fields);
  if (record.row) {
    record.end = record.scanEnd = i;
    return record;
  }
  const size_t lineEnd = b.find('\n', pos);
  record.end = (lineEnd == std::string_view::npos) ? b.size() : lineEnd + 1;
  record.scanEnd = std::max(record.end, wellFormed ? i : std::min(b.size(), i + 2));
  return record;
}

std::string_view WithoutBom(std::string_view bytes) {
  if (bytes.starts_with(kHistoryBom)) bytes.remove_prefix(kHistoryBom.size());
  return bytes;
}

bool IsHeader(std::string_view line) {
  if (line.ends_with('\n')) line.remove_suffix(1);
  if (line.ends_with('\r')) line.remove_suffix(1);
  return line == kHeader || line == kOffsetHeader || line == kOldHeader;
}

WallSeconds RowEnd(const ParsedRow& row) {
  return std::visit([](const auto& r) { return r.end; }, row);
}

// --- Arithmetic ------------------------------------------------------------------------

using Interval = std::pair<WallSeconds, WallSeconds>;

struct AnyRow {
  template <typename Row>
  bool operator()(const Row&) const {
    return true;
  }
};

template <typename Rows, typename Keep = AnyRow>
std::vector<Interval> Merged(const Rows& rows, WallSeconds from, WallSeconds to, WallSeconds minLength,
                             Keep keep = {}) {
  std::vector<Interval> spans;
  for (const auto& r : rows) {
    if (!keep(r)) continue;
    const WallSeconds start = std::max(r.start, from);
    const WallSeconds end = std::min(std::max(r.end, r.start + minLength), to);
    if (start < end) spans.emplace_back(start, end);
  }
  std::sort(spans.begin(), spans.end());
  std::vector<Interval> merged;
  for (const Interval& span : spans) {
    if (!merged.empty() && span.first <= merged.back().second) {
      merged.back().second = std::max(merged.back().second, span.second);
    } else {
      merged.push_back(span);
    }
  }
  return merged;
}

WallSeconds Length(const std::vector<Interval>& spans) {
  WallSeconds total = 0;
  for (const Interval& span : spans) total += span.second - span.first;
  return total;
}

// Both sorted and disjoint; so is the result.
std::vector<Interval> Intersection(const std::vector<Interval>& a, const std::vector<Interval>& b) {
  std::vector<Interval> both;
  size_t i = 0;
  size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const Interval overlap{std::max(a[i].first, b[j].first), std::min(a[i].second, b[j].second)};
    if (overlap.first < overlap.second) both.push_back(overlap);
    (a[i].second < b[j].second) ? ++i : ++j;
  }
  return both;
}

bool IsWifiOutage(const OutageRecord& outage) { return outage.kind == OutageKind::WiFi; }
bool IsInternetSide(const OutageRecord& outage) { return !IsWifiOutage(outage); }

// --- The store -------------------------------------------------------------------------

// Never destroyed: a detached thread may record while the process exits.
struct Store {
  std::mutex lock;
  std::wstring path;
  HistoryRows rows;
  // Formatted rows that could not be appended yet, oldest first, and each one's size. One
  // string, so that a write that fails again copies nothing.
  std::string pending;
  std::deque<size_t> pendingSizes;
  std::function<void()> listener;
  std::function<void(const std::wstring&)> failureListener;
  std::function<void(const std::wstring&)> log;
  bool failing = false;
};

Store& TheStore() {
  static Store& store = *new Store;
  return store;
}

// The start of a failure streak, noted under the lock and told once it is released.
struct Failure {
  std::wstring path;
  std::function<void(const std::wstring&)> log;
  std::function<void(const std::wstring&)> listener;

  void Tell() const {
    if (path.empty()) return;
    const std::wstring message = kHistoryWriteFailedLead + path;
    if (log) {
      log(message);
    } else {
      WriteLog(LogCategory::Other, kErrorTitle, message);
    }
    if (listener) listener(path);
  }
};

// A write's outcome under the lock.
void NoteWrite(Store& store, bool ok, Failure& failure) {
  if (!ok && !store.failing) failure = {store.path, store.log, store.failureListener};
  store.failing = !ok;
}

// Appends row (may be empty) after the rows pending, which it joins when that fails.
// Under the lock, so that rows reach the file in order.
void WritePending(Store& store, const std::string& row, Failure& failure) {
  if (!row.empty()) {
    store.pending += row;
    store.pendingSizes.push_back(row.size());
  }
  if (store.pending.empty()) return;
  const bool ok = AppendToFile(store.path, std::string(kHistoryBom) + HistoryHeaderLine(), store.pending);
  NoteWrite(store, ok, failure);
  if (ok) {
    store.pending.clear();
    store.pendingSizes.clear();
  } else if (store.pendingSizes.size() > kMaxPendingHistoryRows) {
    store.pending.erase(0, store.pendingSizes.front());
    store.pendingSizes.pop_front();
  }
}

template <typename Row>
void Remember(const Row& row, std::vector<Row> HistoryRows::*list, bool notify) noexcept {
  try {
    // Settings are read before taking the lock: no code holds two locks at once.
    const bool write = UseHistory();
    Store& store = TheStore();
    Failure failure;
    std::function<void()> listener;
    {
      std::lock_guard<std::mutex> guard(store.lock);
      (store.rows.*list).push_back(row);
      (store.rows.*list).back().open = false;
      if (write && !store.path.empty()) WritePending(store, FormatHistoryRow(row), failure);
      if (notify) listener = store.listener;
    }
    failure.Tell();
    if (listener) listener();
  } catch (...) {
    // History is never worth a failure of the monitor.
  }
}

}  // namespace

WallSeconds CurrentWallSeconds() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
}

std::wstring ComposeHistoryPath(const std::wstring& settingsPath) {
  constexpr std::wstring_view kIniSuffix = L"_Moorlink.ini";
  if (settingsPath.size() <= kIniSuffix.size() || !std::wstring_view(settingsPath).ends_with(kIniSuffix)) return {};
  return settingsPath.substr(0, settingsPath.size() - kIniSuffix.size()) + L"_history.csv";
}

std::string HistoryHeaderLine() { return std::string(kHeader) + "\r\n"; }

std::wstring OutageKindText(OutageKind kind) {
  const size_t index = static_cast<size_t>(kind) < std::size(kOutageKindTexts) ? static_cast<size_t>(kind) : 0;
  return Utf8ToWide(kOutageKindTexts[index]);
}

std::string FormatHistoryRow(const OutageRecord& outage) {
  const size_t how = static_cast<size_t>(outage.how) < std::size(kEndTexts) ? static_cast<size_t>(outage.how) : 0;
  const size_t kind =
      static_cast<size_t>(outage.kind) < std::size(kOutageKindTexts) ? static_cast<size_t>(outage.kind) : 0;
  std::string end(kEndTexts[how]);
  if (outage.retryLimit) end += kRetryLimitMark;
  return Row(kKindOutage, outage.start, outage.end, outage.ssid, outage.target,
             std::to_string(std::max(0, outage.reconnects)), end, kOutageKindTexts[kind]);
}

std::string FormatHistoryRow(const MonitoredSpan& span) {
  return Row(kKindSpan, span.start, span.end, span.ssid, span.target, {}, {}, {});
}

HistoryRows ParseHistory(std::string_view bytes) {
  HistoryRows rows;
  const std::string_view b = WithoutBom(bytes);
  for (size_t pos = 0; pos < b.size();) {
    Record record = NextRecord(b, pos);
    if (record.row) {
      if (auto* outage = std::get_if<OutageRecord>(&*record.row)) {
        rows.outages.push_back(std::move(*outage));
      } else {
        rows.spans.push_back(std::get<MonitoredSpan>(std::move(*record.row)));
      }
    }
    pos = record.end;
  }
  return rows;
}

std::string PruneHistory(std::string_view bytes, WallSeconds now) {
  std::string out = std::string(kHistoryBom) + HistoryHeaderLine();
  const size_t headerSize = out.size();
  const std::string_view b = WithoutBom(bytes);
  // A clock far beyond the newest row is more likely wrong than the whole file old. The
  // newest row is always kept, so a second rewrite finds the same limit.
  std::optional<WallSeconds> newest;
  for (size_t pos = 0; pos < b.size();) {
    const Record record = NextRecord(b, pos);
    if (record.row) newest = std::max(newest.value_or(LLONG_MIN), RowEnd(*record.row));
    pos = record.end;
  }
  const WallSeconds limit = (newest ? std::min(now, *newest + kPlausibleAheadSeconds) : now) - kKeptSeconds;
  // Nothing is dropped from inside a stretch that an earlier line's reading looked at,
  // so every kept line reads afterwards as it did before.
  size_t looked = 0;
  for (size_t pos = 0; pos < b.size();) {
    const Record record = NextRecord(b, pos);
    const std::string_view text = b.substr(pos, record.end - pos);
    const bool drop = pos >= looked && (IsHeader(text) || (record.row && RowEnd(*record.row) < limit));
    if (!drop) out += text;
    looked = std::max(looked, record.scanEnd);
    pos = record.end;
  }
  // A row cut short by a crash must not swallow the next one appended.
  if (out.size() > headerSize && out.back() != '\n') out += "\r\n";
  return out;
}

std::wstring DurationText(int64_t seconds) {
  if (seconds <= 0) return kZeroSecondsText;
  auto part = [](int64_t value, const wchar_t* unit) {
    return value > 0 ? std::to_wstring(value) + unit : std::wstring();
  };
  if (seconds < 60) return part(seconds, kSecondsUnit);
  if (seconds < 3600) return part(seconds / 60, kMinutesUnit) + part(seconds % 60, kSecondsUnit);
  if (seconds < 86400) return part(seconds / 3600, kHoursUnit) + part(seconds % 3600 / 60, kMinutesUnit);
  return part(seconds / 86400, kDaysUnit) + part(seconds % 86400 / 3600, kHoursUnit);
}

std::vector<SlotState> HistorySlots(const HistoryRows& rows, WallSeconds from, WallSeconds to, int count) {
  if (count <= 0 || to <= from) return {};
  std::vector<SlotState> slots(static_cast<size_t>(count), SlotState::NotMonitored);
  const WallSeconds span = to - from;
  // The slot holding time t: floor((t - from) * count / span), without overflow.
  auto slotOf = [&](WallSeconds t) {
    const WallSeconds offset = t - from;
    if (offset <= LLONG_MAX / count) return static_cast<size_t>(offset * count / span);
    return std::min(static_cast<size_t>(static_cast<long double>(offset) * count / span),
                    static_cast<size_t>(count - 1));
  };
  auto mark = [&](const std::vector<Interval>& intervals, SlotState state) {
    for (const Interval& interval : intervals) {
      for (size_t i = slotOf(interval.first), last = slotOf(interval.second - 1); i <= last; ++i) {
        slots[i] = std::max(slots[i], state);
      }
    }
  };
  const std::vector<Interval> monitored = Merged(rows.spans, from, to, 0);
  mark(monitored, SlotState::Answered);
  // An outage shorter than a second still shows; one carried across the unmonitored wait
  // for a revival shows only where it was watched.
  mark(Intersection(monitored, Merged(rows.outages, from, to, 1, IsInternetSide)), SlotState::InternetOutage);
  mark(Intersection(monitored, Merged(rows.outages, from, to, 1, IsWifiOutage)), SlotState::Outage);
  return slots;
}

std::optional<double> AvailabilityPercent(const HistoryRows& rows, WallSeconds from, WallSeconds to) {
  const std::vector<Interval> monitored = Merged(rows.spans, from, to, 0);
  const WallSeconds total = Length(monitored);
  if (total <= 0) return std::nullopt;
  const WallSeconds down = Length(Intersection(monitored, Merged(rows.outages, from, to, 0)));
  return 100.0 * static_cast<double>(total - down) / static_cast<double>(total);
}

std::optional<double> InternetOutageShare(const HistoryRows& rows, WallSeconds from, WallSeconds to) {
  const std::vector<Interval> monitored = Merged(rows.spans, from, to, 0);
  const WallSeconds down = Length(Intersection(monitored, Merged(rows.outages, from, to, 0)));
  if (down <= 0) return std::nullopt;
  // Every outage is either kind, so what the Wi-Fi's leave is internet-side only.
  const WallSeconds wifi = Length(Intersection(monitored, Merged(rows.outages, from, to, 0, IsWifiOutage)));
  return 100.0 * static_cast<double>(down - wifi) / static_cast<double>(down);
}

void OpenHistory(const std::wstring& path) {
  try {
    const bool write = UseHistory();
    Store& store = TheStore();
    Failure failure;
    {
      std::lock_guard<std::mutex> guard(store.lock);
      store.path = path;
      store.rows = {};
      store.pending.clear();
      store.pendingSizes.clear();
      store.failing = false;
      std::string bytes;
      if (!path.empty() && ReadWholeFile(path, bytes)) {
        const std::string pruned = PruneHistory(bytes, CurrentWallSeconds());
        // With the history switched off the file is left as it is. No row is at stake in
        // a rewrite that fails, so it starts no streak: the first lost append is told too.
        if (write && pruned != bytes && !RewriteFile(path, pruned)) {
          failure = {path, store.log, store.failureListener};
        }
        store.rows = ParseHistory(pruned);
      }
    }
    failure.Tell();
  } catch (...) {
  }
}

std::wstring HistoryFilePath() {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  return store.path;
}

void RecordOutage(const OutageRecord& outage) noexcept { Remember(outage, &HistoryRows::outages, true); }

void RecordSpan(const MonitoredSpan& span) noexcept { Remember(span, &HistoryRows::spans, false); }

void FlushHistory() noexcept {
  try {
    const bool write = UseHistory();
    Store& store = TheStore();
    Failure failure;
    {
      std::lock_guard<std::mutex> guard(store.lock);
      if (write && !store.path.empty()) WritePending(store, {}, failure);
    }
    failure.Tell();
  } catch (...) {
  }
}

HistoryRows HistorySnapshot() {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  return store.rows;
}

void SetHistoryListener(std::function<void()> listener) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  store.listener = std::move(listener);
}

void SetHistoryWriteFailureListener(std::function<void(const std::wstring& path)> listener) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  store.failureListener = std::move(listener);
}

void SetHistoryLogForTesting(std::function<void(const std::wstring& message)> log) {
  Store& store = TheStore();
  std::lock_guard<std::mutex> guard(store.lock);
  store.log = std::move(log);
}

}  // namespace moorlink
