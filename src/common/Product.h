#pragma once
// The product title: window titles, captions, tooltips and file names.

namespace moorlink {

inline constexpr wchar_t kProductTitle[] = L"Moorlink";

}  // namespace moorlink
