#include "settings/ProfileFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sys/stat.h>
#include <system_error>

#include "common/Text.h"
#include "settings/ProfileText.h"

namespace moorlink {
namespace {

std::ptrdiff_t SystemRead(int fd, void* buffer, std::size_t size) { return ::read(fd, buffer, size); }

std::atomic<ProfileReadFunction> g_read{&SystemRead};

// What loading the file found: its text, no file at all, or a file that could not be read.
struct Loaded {
  enum State { Text, Absent, Unreadable } state = Unreadable;
  std::wstring text;
};

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

Loaded LoadText(const std::wstring& path) {
  Loaded result;
  // Non-blocking, so a FIFO at the path cannot hang the caller; it is refused below.
  const std::filesystem::path name = ToFsPath(path);
  FileDescriptor file(::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) {
    if (errno == ENOENT) result.state = Loaded::Absent;
    return result;
  }
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) return result;
  std::string bytes;
  char chunk[4096];
  for (;;) {
    const std::ptrdiff_t n = g_read.load()(file.get(), chunk, sizeof chunk);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      return result;  // half a file is no file: a write on top of it would lose the rest
    }
    bytes.append(chunk, static_cast<std::size_t>(n));
  }
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
  result.text = Utf8ToWide(bytes);
  result.state = Loaded::Text;
  return result;
}

std::optional<std::wstring> Lookup(const std::wstring& path, const std::wstring& section, const std::wstring& key) {
  if (path.empty()) return std::nullopt;
  const Loaded loaded = LoadText(path);
  if (loaded.state != Loaded::Text) return std::nullopt;
  return ProfileLookup(loaded.text, section, key);
}

}  // namespace

std::wstring ProfileReadString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                               const std::wstring& defaultValue, std::size_t bufferChars) {
  try {
    std::wstring value = Lookup(path, section, key).value_or(defaultValue);
    if (bufferChars == 0) return {};
    if (value.size() > bufferChars - 1) value.resize(bufferChars - 1);
    return value;
  } catch (...) {
    return defaultValue;
  }
}

int ProfileReadInt(const std::wstring& path, const std::wstring& section, const std::wstring& key, int defaultValue) {
  try {
    const std::optional<std::wstring> value = Lookup(path, section, key);
    if (!value || value->empty()) return defaultValue;
    return ProfileParseInt(*value);
  } catch (...) {
    return defaultValue;
  }
}

bool ProfileWriteString(const std::wstring& path, const std::wstring& section, const std::wstring& key,
                        const std::wstring& value) {
  if (path.empty()) return false;
  try {
    // Only a missing file starts afresh; one that is there but unreadable stays as it is.
    const Loaded loaded = LoadText(path);
    if (loaded.state == Loaded::Unreadable) return false;
    const std::wstring updated = ProfileUpdate(loaded.text, section, key, value);
    // Write beside the file and rename over it, so a reader never sees half a file and a
    // failed write leaves the old settings intact.
    const std::filesystem::path target = ToFsPath(path);
    std::filesystem::path temp = target;
    temp += ".tmp";
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      if (!out) return false;
      const std::string bytes = WideToUtf8(updated);
      out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      out.flush();
      if (!out) {
        out.close();
        std::error_code ec;
        std::filesystem::remove(temp, ec);
        return false;
      }
    }
    std::error_code ec;
    std::filesystem::rename(temp, target, ec);
    if (ec) {
      std::filesystem::remove(temp, ec);
      return false;
    }
    return true;
  } catch (...) {
    return false;
  }
}

void SetProfileReadForTesting(ProfileReadFunction read) { g_read.store(read ? read : &SystemRead); }

}  // namespace moorlink
