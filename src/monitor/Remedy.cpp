#include "monitor/Remedy.h"

namespace moorlink {

namespace {
bool CanAskGateway(const RemedyFacts& f) { return f.gatewayCheck && f.gatewayKnown && !f.targetIsGateway; }
}  // namespace

bool NeedsGatewayPing(const RemedyFacts& f) {
  return !f.targetAnswered && f.windows != WindowsView::SignIn && CanAskGateway(f) &&
         f.gateway == GatewayAnswer::NotAsked;
}

Remedy ChooseRemedy(const RemedyFacts& f) {
  if (!f.gatewayCheck) return f.targetAnswered ? Remedy::None : Remedy::Reconnect;
  if (f.targetAnswered) {
    // A target beyond the router that answers is the internet itself. The router as
    // target answers while Windows sees a portal, or no internet for a while: what is
    // behind it is down.
    if (!f.targetIsGateway) return Remedy::None;
    if (f.windows == WindowsView::SignIn) return Remedy::SignIn;
    if (f.windows == WindowsView::LocalOnly && f.localOnlyForNs >= kLocalOnlyOutageNs) return Remedy::WaitForInternet;
    return Remedy::None;
  }
  if (f.windows == WindowsView::SignIn) return Remedy::SignIn;
  if (CanAskGateway(f) && f.gateway == GatewayAnswer::Answered) return Remedy::WaitForInternet;
  return Remedy::Reconnect;
}

}  // namespace moorlink
