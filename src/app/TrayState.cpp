#include "app/TrayState.h"

#include "common/Product.h"
#include "common/Text.h"
#include "resources/resource.h"

namespace moorlink {

TrayState::TrayState() : tip_(kProductTitle) {}

void TrayState::SetIcon(int iconId) {
  std::lock_guard lock(lock_);
  icon_ = iconId;
}

int TrayState::Icon() const {
  std::lock_guard lock(lock_);
  return icon_;
}

void TrayState::SetTip(std::wstring text) {
  std::lock_guard lock(lock_);
  tip_.swap(text);
}

std::wstring TrayState::Tip() const {
  std::lock_guard lock(lock_);
  return tip_;
}

TrayState& Tray() {
  static TrayState* const state = new TrayState();  // never destroyed: detached threads may still ask
  return *state;
}

int IconToShow(int storedIconId) { return storedIconId == 0 ? IDI_STOPPED : storedIconId; }

std::wstring TipForShell(const std::wstring& text) { return CutUtf16(text, kTrayTipUnits); }

}  // namespace moorlink
