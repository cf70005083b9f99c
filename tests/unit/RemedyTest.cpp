#include <gtest/gtest.h>

#include "monitor/Remedy.h"

namespace moorlink {
namespace {

constexpr int64_t kS = 1'000'000'000;
using V = WindowsView;
using G = GatewayAnswer;
using R = Remedy;

// Target, gateway and Windows' view in; whether the gateway must be asked, and the remedy.
TEST(RemedyTest, DecidesFromTargetGatewayAndWindows) {
  const struct {
    const char* what;
    RemedyFacts facts;  // targetAnswered, targetIsGateway, gatewayCheck, gatewayKnown, gateway, windows, localOnlyFor
    bool asksGateway;
    Remedy remedy;
  } cases[] = {
      {"answered", {true, false, true, true, G::NotAsked, V::Internet, 0}, false, R::None},
      {"answered beyond the router, Windows in doubt",
       {true, false, true, true, G::NotAsked, V::SignIn, 0},
       false,
       R::None},
      {"gateway as target, local only briefly",
       {true, true, true, true, G::NotAsked, V::LocalOnly, 29 * kS},
       false,
       R::None},
      {"gateway as target, local only 30 s",
       {true, true, true, true, G::NotAsked, V::LocalOnly, 30 * kS},
       false,
       R::WaitForInternet},
      {"gateway as target, portal", {true, true, true, true, G::NotAsked, V::SignIn, 0}, false, R::SignIn},
      {"gateway as target, check off", {true, true, false, true, G::NotAsked, V::LocalOnly, 90 * kS}, false, R::None},
      {"failed, not asked yet", {false, false, true, true, G::NotAsked, V::Unknown, 0}, true, R::Reconnect},
      {"failed, gateway answers", {false, false, true, true, G::Answered, V::Unknown, 0}, false, R::WaitForInternet},
      {"failed, gateway silent", {false, false, true, true, G::Silent, V::LocalOnly, 90 * kS}, false, R::Reconnect},
      {"failed, portal", {false, false, true, true, G::NotAsked, V::SignIn, 0}, false, R::SignIn},
      {"failed, no gateway known", {false, false, true, false, G::NotAsked, V::Unknown, 0}, false, R::Reconnect},
      {"failed, the target is the gateway",
       {false, true, true, true, G::NotAsked, V::LocalOnly, 90 * kS},
       false,
       R::Reconnect},
      {"failed, check off", {false, false, false, true, G::Answered, V::SignIn, 0}, false, R::Reconnect},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(NeedsGatewayPing(c.facts), c.asksGateway) << c.what;
    EXPECT_EQ(ChooseRemedy(c.facts), c.remedy) << c.what;
  }
}

}  // namespace
}  // namespace moorlink
