#pragma once
// Text conversions, in one place. Wide text is UTF-16 on Windows and UTF-32 elsewhere.
// Never throws for bad input: invalid sequences become U+FFFD.
#include <filesystem>
#include <string>
#include <string_view>

namespace moorlink {

std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

// Code page 932 (Shift-JIS, the Japanese console's text), decoded whole so that no
// double-byte character is split. Platform code: Text_win.cpp (MultiByteToWideChar) and
// Text_posix.cpp (iconv). Bytes the decoder rejects are replaced, and decoding goes on.
std::wstring Cp932ToWide(std::string_view bytes);

// At most maxUnits UTF-16 code units (as the Windows shell counts them), never ending in
// half a surrogate pair.
std::wstring CutUtf16(const std::wstring& text, size_t maxUnits);

// A file-system path for a wide string, UTF-8 encoded where the OS uses narrow paths.
std::filesystem::path ToFsPath(const std::wstring& path);

// The folder separator of the platform the program runs on.
#ifdef _WIN32
inline constexpr wchar_t kPathSeparator = L'\\';
#else
inline constexpr wchar_t kPathSeparator = L'/';
#endif

}  // namespace moorlink
