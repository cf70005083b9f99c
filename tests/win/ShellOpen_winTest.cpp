#include <gtest/gtest.h>
#include <vector>

#include "app/ShellOpen_win.h"

namespace moorlink::test {
namespace {

TEST(ShellOpenTest, AFailureIsLoggedOnceAndReported) {
  std::vector<std::wstring> lines;
  const std::wstring missing = L"C:\\no such folder\\no such file.txt";
  EXPECT_FALSE(OpenWithShell(
      nullptr, missing, [&](LogCategory category, const std::wstring& title, const std::wstring& message) {
        lines.push_back((category == LogCategory::Other ? L"Other|" : L"?|") + title + L"|" + message);
      }));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind(L"Other|エラー|「" + missing + L"」を開けませんでした。(", 0), 0u) << lines[0];
}

}  // namespace
}  // namespace moorlink::test
