#pragma once
// The icon and tooltip the tray shows. The monitor thread replaces them while the user
// interface thread reads them to add the icon again after a shell restart, so both sit
// under one small lock; readers get a copy.
#include <mutex>
#include <string>

namespace moorlink {

inline constexpr size_t kTrayTipUnits = 127;

class TrayState {
 public:
  TrayState();
  void SetIcon(int iconId);
  // The icon last asked for, or 0 when none has been asked for yet.
  int Icon() const;
  void SetTip(std::wstring text);
  std::wstring Tip() const;

 private:
  mutable std::mutex lock_;
  int icon_ = 0;
  std::wstring tip_;
};

// The process's one tray state.
TrayState& Tray();

// The icon to show for a stored id: the stopped icon until one has been asked for.
int IconToShow(int storedIconId);
// The tooltip as the shell shows it: at most 127 UTF-16 units.
std::wstring TipForShell(const std::wstring& text);

}  // namespace moorlink
