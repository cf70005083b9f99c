#include "app/HistoryView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwctype>

#include "app/AppTexts.h"

namespace moorlink {
namespace {

constexpr WallSeconds kHour = 3600;
constexpr WallSeconds kDay = 24 * kHour;
// Every zone's offset is a whole number of quarter hours, so local full hours and
// midnights fall on these steps.
constexpr WallSeconds kAxisStep = 15 * 60;

StripWindow EndingWithSlotOf(WallSeconds now, WallSeconds slot, int count) {
  // Floor division: a clock before 1970 still gets whole slots.
  const WallSeconds to = (now / slot - (now % slot < 0 ? 1 : 0) + 1) * slot;
  return {to - slot * count, to, count};
}

// 0 = Sunday (Sakamoto's method).
int Weekday(int year, int month, int day) {
  static const int offsets[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  return (year + year / 4 - year / 100 + year / 400 + offsets[(month + 11) % 12] + day) % 7;
}

template <typename Label>
std::vector<AxisMark> Marks(const StripWindow& strip, const LocalTimeFn& toLocal, bool midnightsOnly, Label label) {
  std::vector<AxisMark> marks;
  const double span = static_cast<double>(strip.to - strip.from);
  if (span <= 0 || !toLocal) return marks;
  const WallSeconds first = strip.from + (kAxisStep - strip.from % kAxisStep) % kAxisStep;
  for (WallSeconds t = first; t < strip.to; t += kAxisStep) {
    const LocalTime local = toLocal(t);
    if (local.minute != 0 || local.second != 0 || (midnightsOnly && local.hour != 0)) continue;
    if (t == strip.from) continue;  // the edge needs no tick
    marks.push_back({static_cast<double>(t - strip.from) / span, label(local)});
  }
  return marks;
}

std::wstring Percent(const std::optional<double>& percent) {
  if (!percent) return kNoPercentText;
  wchar_t text[16];
  std::swprintf(text, 16, L"%.1f%%", std::floor(*percent * 10 + 1e-9) / 10);
  return text;
}

std::wstring DateTimeText(const LocalTime& t) {
  wchar_t text[32];
  std::swprintf(text, 32, L"%04d/%02d/%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute, t.second);
  return text;
}

constexpr const wchar_t* kEnds[] = {kEndedByRecoveryText, kEndedByStopText, kEndedByProgramExitText, kEndedBySleepText,
                                    kEndedByWindowsExitText};

constexpr const wchar_t* kKinds[] = {kWiFiKindText, kInternetKindText, kSignInKindText};

std::wstring KindText(OutageKind kind) {
  const size_t i = static_cast<size_t>(kind);
  return i < std::size(kKinds) ? kKinds[i] : kKinds[0];
}

// Whole percent; a share that is there, or not all, never reads as none or all.
std::wstring ShareText(double percent) {
  const double rounded = std::clamp(std::round(percent), percent > 0 ? 1.0 : 0.0, percent < 100 ? 99.0 : 100.0);
  return std::to_wstring(static_cast<int>(rounded));
}

std::wstring EndText(OutageEnd how, bool retryLimit) {
  const size_t i = static_cast<size_t>(how);
  std::wstring text = i < std::size(kEnds) ? kEnds[i] : kEnds[0];
  if (retryLimit) text += kRetryLimitEndMark;
  return text;
}

}  // namespace

StripWindow DayStrip(WallSeconds now) { return EndingWithSlotOf(now, 15 * 60, 96); }
StripWindow WeekStrip(WallSeconds now) { return EndingWithSlotOf(now, kHour, 168); }

std::vector<AxisMark> DayAxis(const StripWindow& strip, const LocalTimeFn& toLocal) {
  return Marks(strip, toLocal, false, [](const LocalTime& t) {
    return t.hour % 3 == 0 ? std::to_wstring(t.hour) + kHourLabelTail : std::wstring();
  });
}

std::vector<AxisMark> WeekAxis(const StripWindow& strip, const LocalTimeFn& toLocal) {
  return Marks(strip, toLocal, true, [](const LocalTime& t) {
    return std::to_wstring(t.month) + L"/" + std::to_wstring(t.day) + L"(" +
           kWeekdayLetters[Weekday(t.year, t.month, t.day)] + L")";
  });
}

std::wstring AvailabilityLine(const HistoryRows& rows, WallSeconds now) {
  std::wstring line = kAvailabilityDayLead + Percent(AvailabilityPercent(rows, now - kDay, now)) +
                      kAvailabilityWeekLead + Percent(AvailabilityPercent(rows, now - 7 * kDay, now)) +
                      kAvailabilityMonthLead + Percent(AvailabilityPercent(rows, now - 30 * kDay, now));
  const std::optional<double> internet = InternetOutageShare(rows, now - 30 * kDay, now);
  if (internet && *internet > 0) line += kInternetShareLead + ShareText(*internet) + kInternetShareTail;
  return line;
}

std::vector<OutageRow> OutageRows(const HistoryRows& rows, const LocalTimeFn& toLocal) {
  std::vector<const OutageRecord*> latest;
  for (const OutageRecord& outage : rows.outages) latest.push_back(&outage);
  std::stable_sort(latest.begin(), latest.end(),
                   [](const OutageRecord* a, const OutageRecord* b) { return a->start > b->start; });
  if (latest.size() > kMaxOutageRows) latest.resize(kMaxOutageRows);
  std::vector<OutageRow> result;
  for (const OutageRecord* outage : latest) {
    std::wstring ssid = outage->ssid;
    std::replace_if(
        ssid.begin(), ssid.end(), [](wchar_t c) { return std::iswcntrl(static_cast<wint_t>(c)) != 0; }, L' ');
    result.push_back(
        {toLocal ? DateTimeText(toLocal(outage->start)) : std::wstring(), DurationText(outage->end - outage->start),
         std::move(ssid), std::to_wstring(outage->reconnects) + kReconnectCountTail,
         outage->open ? kOutageGoingOnText : EndText(outage->how, outage->retryLimit), KindText(outage->kind)});
  }
  return result;
}

std::vector<std::wstring> OutageEndTexts() {
  std::vector<std::wstring> texts{kOutageGoingOnText};
  for (size_t i = 0; i < std::size(kEnds); ++i) {
    for (const bool retryLimit : {false, true}) texts.push_back(EndText(OutageEnd(i), retryLimit));
  }
  return texts;
}

std::vector<std::wstring> OutageKindTexts() { return {std::begin(kKinds), std::end(kKinds)}; }

}  // namespace moorlink
