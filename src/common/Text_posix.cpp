#include "common/Text.h"

#include <errno.h>
#include <iconv.h>

namespace moorlink {
namespace {

constexpr wchar_t kReplacement = 0xFFFD;

// Without the converter, ASCII is still ASCII; every other byte is replaced.
std::wstring AsciiOnly(std::string_view bytes) {
  std::wstring out;
  out.reserve(bytes.size());
  for (const char b : bytes) {
    const unsigned char u = static_cast<unsigned char>(b);
    out += u < 0x80 ? static_cast<wchar_t>(u) : kReplacement;
  }
  return out;
}

class Converter {
 public:
  Converter() : cd_(iconv_open("WCHAR_T", "CP932")) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

std::wstring Cp932ToWide(std::string_view bytes) {
  if (bytes.empty()) return {};
  try {
    Converter converter;
    if (!converter.ok()) return AsciiOnly(bytes);

    // Every byte yields at most one character; grow anyway if the converter asks for room.
    std::wstring out(bytes.size() + 1, L'\0');
    size_t used = 0;  // characters written
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
      char* outPtr = reinterpret_cast<char*>(out.data() + used);
      size_t outLeft = (out.size() - used) * sizeof(wchar_t);
      const size_t result = iconv(converter.get(), &in, &inLeft, &outPtr, &outLeft);
      const int error = errno;
      used = static_cast<size_t>(reinterpret_cast<wchar_t*>(outPtr) - out.data());
      if (result != static_cast<size_t>(-1)) break;
      if (error == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      // EILSEQ (a byte or pair the code page lacks) or EINVAL (a lead byte cut off at the
      // end): replace one byte and go on with the next.
      if (used == out.size()) out.resize(out.size() * 2);
      out[used++] = kReplacement;
      ++in;
      --inLeft;
    }
    out.resize(used);
    return out;
  } catch (...) {
    return {};
  }
}

}  // namespace moorlink
