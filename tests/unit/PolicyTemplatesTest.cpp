// The administrative templates and the code agree: every key a policy may set is a policy
// of the ADMX with its section's registry key, its value name, its type and its range, and
// every string and presentation the ADMX names is in both languages' ADML.
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <string>

#include "app/SettingsPages.h"
#include "common/Text.h"

namespace moorlink::test {
namespace {

std::string ReadTemplate(const std::string& name) {
  std::ifstream in(std::string(MOORLINK_POLICY_DIR) + "/" + name, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST(PolicyTemplates, EveryKeyIsAPolicyOfItsTypeAndRange) {
  const std::string admx = ReadTemplate("Moorlink.admx");
  ASSERT_FALSE(admx.empty());
  for (const PolicyLock& lock : kPolicyLocks) {
    const std::string key = WideToUtf8(lock.key), section = WideToUtf8(lock.section);
    const std::regex policy("<policy name=\"" + key + "\"[^>]*key=\"Software\\\\Policies\\\\Moorlink\\\\" + section +
                            "\"[^>]*>([\\s\\S]*?)</policy>");
    std::smatch found;
    ASSERT_TRUE(std::regex_search(admx, found, policy)) << section << "\\" << key;
    const std::string head = found[0].str().substr(0, found[0].str().find('>'));
    const std::string body = found[1];
    if (lock.boolean) {
      EXPECT_NE(head.find("valueName=\"" + key + "\""), std::string::npos) << key;
      EXPECT_NE(body.find("<enabledValue><decimal value=\"1\" />"), std::string::npos) << key;
    } else if (lock.number) {
      EXPECT_NE(body.find("<decimal id=\"" + key + "\" valueName=\"" + key + "\" minValue=\"" +
                          std::to_string(lock.min) + "\" maxValue=\"" + std::to_string(lock.max) + "\""),
                std::string::npos)
          << key;
    } else {
      EXPECT_NE(body.find("<text id=\"" + key + "\" valueName=\"" + key + "\""), std::string::npos) << key;
    }
  }
  for (const char* language : {"en-US", "ja-JP"}) {
    const std::string adml = ReadTemplate(std::string(language) + "/Moorlink.adml");
    ASSERT_FALSE(adml.empty()) << language;
    const std::regex reference("\\$\\((string|presentation)\\.([A-Za-z_]+)\\)");
    for (auto it = std::sregex_iterator(admx.begin(), admx.end(), reference); it != std::sregex_iterator(); ++it) {
      const std::string tag = (*it)[1] == "string" ? "<string id=\"" : "<presentation id=\"";
      EXPECT_NE(adml.find(tag + (*it)[2].str() + "\""), std::string::npos) << language << ": " << (*it)[0];
    }
  }
}

}  // namespace
}  // namespace moorlink::test
