#pragma once
// Opening a file, a folder or a link in its default program, with one error policy: a
// failure is logged once (category Other) and reported to the caller, who decides whether
// the user must hear of it.
#include <windows.h>

#include <functional>
#include <string>

#include "log/LogCategory.h"

namespace moorlink {

bool OpenWithShell(HWND owner, const std::wstring& target, const LogWriterFunction& writeLog = nullptr);

}  // namespace moorlink
