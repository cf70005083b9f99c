#pragma once
// The kind of a notification; selects the icon of balloons and message boxes.

namespace moorlink {

enum class NotifyKind : int { Info = 0, Warning = 1, Error = 2 };

}  // namespace moorlink
