#pragma once
// What a lost ping means, and what helps. Three faults look alike to one ping target: the
// Wi-Fi link is gone (a reconnect may help), the router answers but the internet behind
// it is down (a reconnect only cuts the PC's other connections), or the network wants a
// sign-in first (a captive portal). The run asks the gateway and Windows, then decides
// here. Pure: no clock, no OS.
#include <cstdint>

namespace moorlink {

// What Windows reports for the Wi-Fi network's connection.
enum class WindowsView { Unknown, Internet, LocalOnly, SignIn, NoNetwork };

enum class GatewayAnswer { NotAsked, Answered, Silent };

enum class Remedy {
  None,             // the connection is fine
  Reconnect,        // the Wi-Fi link: the reconnect command
  WaitForInternet,  // the router answers, the internet behind it does not: no command
  SignIn,           // a captive portal: only a sign-in helps
};

// Windows must report local access only this long, with the gateway answering as target,
// before that counts as an internet-side outage.
inline constexpr int64_t kLocalOnlyOutageNs = int64_t{30} * 1'000'000'000;

struct RemedyFacts {
  bool targetAnswered = false;
  bool targetIsGateway = false;  // the target is the gateway that would be asked
  bool gatewayCheck = true;      // EnableGatewayCheck; off: the reconnect, whatever else says
  bool gatewayKnown = false;     // a gateway address to ask (set, or the Wi-Fi adapter's)
  GatewayAnswer gateway = GatewayAnswer::NotAsked;
  WindowsView windows = WindowsView::Unknown;
  int64_t localOnlyForNs = 0;  // how long Windows has reported local access only
};

// True when the gateway must be pinged before ChooseRemedy can decide.
bool NeedsGatewayPing(const RemedyFacts& facts);
Remedy ChooseRemedy(const RemedyFacts& facts);

}  // namespace moorlink
