// The history reader and the yearly rewrite on any bytes: rows read come back from their own formatting; a
// rewrite drops only rows ended over a year before, keeps the rest in order, and changes nothing done twice.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "log/History.h"

namespace {

using namespace moorlink;

constexpr WallSeconds kNow = 1796731503;
constexpr WallSeconds kYear = WallSeconds{365} * 24 * 60 * 60;

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

// after is before with some rows left out, each of them older than the cut-off.
template <typename Row>
bool DropsOnlyOld(const std::vector<Row>& before, const std::vector<Row>& after) {
  size_t j = 0;
  for (const Row& row : before) {
    if (j < after.size() && after[j] == row) {
      ++j;
    } else if (row.end >= kNow - kYear) {
      return false;
    }
  }
  return j == after.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const HistoryRows rows = ParseHistory(input);
  for (const OutageRecord& row : rows.outages) Check(ParseHistory(FormatHistoryRow(row)).outages == std::vector{row});
  for (const MonitoredSpan& row : rows.spans) Check(ParseHistory(FormatHistoryRow(row)).spans == std::vector{row});

  const HistoryRows kept = ParseHistory(PruneHistory(input, 0));
  Check(kept.outages == rows.outages && kept.spans == rows.spans);

  const std::string pruned = PruneHistory(input, kNow);
  const HistoryRows later = ParseHistory(pruned);
  Check(DropsOnlyOld(rows.outages, later.outages) && DropsOnlyOld(rows.spans, later.spans));
  Check(PruneHistory(pruned, kNow) == pruned);
  return 0;
}
