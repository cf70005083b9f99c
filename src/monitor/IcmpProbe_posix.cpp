// ICMP echo over a raw IPv4 socket (needs root or CAP_NET_RAW), giving the same outcomes as
// the IP Helper echo on Windows.
#include <poll.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#if defined(__linux__)
#include <linux/icmp.h>
#endif

#include "common/Text.h"
#include "monitor/IcmpProbe.h"

namespace moorlink {
namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kProtocolIcmp = 1;
constexpr uint8_t kEchoReply = 0;
constexpr uint8_t kDestUnreachable = 3;
constexpr uint8_t kSourceQuench = 4;
constexpr uint8_t kEchoRequest = 8;
constexpr uint8_t kTimeExceeded = 11;
constexpr uint8_t kParameterProblem = 12;
constexpr size_t kIcmpHeaderSize = 8;
constexpr uint8_t kPayload[] = {'P', 'i', 'n', 'g', 0};

// Replies of every probe in the process are told apart by the sequence number.
std::atomic<uint16_t> g_nextSequence{1};

class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() { close(fd_); }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;

 private:
  int fd_;
};

uint16_t Read16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

// The Internet checksum; a message that carries a correct one sums to zero.
uint16_t Checksum(const uint8_t* data, size_t size) {
  uint32_t sum = 0;
  for (size_t i = 0; i + 1 < size; i += 2) sum += Read16(data + i);
  if (size % 2 != 0) sum += static_cast<uint32_t>(data[size - 1]) << 8;
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(~sum);
}

struct Ipv4Header {
  size_t size = 0;
  uint8_t ttl = 0;
  uint8_t protocol = 0;
  const uint8_t* source = nullptr;
  const uint8_t* destination = nullptr;
};

bool ReadIpv4Header(const uint8_t* p, size_t n, Ipv4Header& h) {
  if (n < 20 || (p[0] >> 4) != 4) return false;
  h.size = static_cast<size_t>(p[0] & 0x0F) * 4;
  if (h.size < 20 || h.size > n) return false;
  h.ttl = p[8];
  h.protocol = p[9];
  h.source = p + 12;
  h.destination = p + 16;
  return true;
}

bool SameAddress(const uint8_t* a, const std::array<uint8_t, 4>& b) { return std::memcmp(a, b.data(), 4) == 0; }

// The IP status numbers the Windows echo reports for the same ICMP errors.
uint32_t StatusOfIcmpError(uint8_t type, uint8_t code) {
  switch (type) {
    case kDestUnreachable:
      switch (code) {
        case 0:
        case 6:
        case 9:
        case 11:
          return 11002;  // IP_DEST_NET_UNREACHABLE
        case 2:
          return 11004;  // IP_DEST_PROT_UNREACHABLE
        case 3:
          return 11005;  // IP_DEST_PORT_UNREACHABLE
        case 4:
          return 11009;  // IP_PACKET_TOO_BIG
        case 5:
          return 11012;  // IP_BAD_ROUTE
        default:
          return 11003;  // IP_DEST_HOST_UNREACHABLE
      }
    case kSourceQuench:
      return 11016;  // IP_SOURCE_QUENCH
    case kTimeExceeded:
      return code == 0 ? 11013 : 11014;  // IP_TTL_EXPIRED_TRANSIT / _REASSEM
    default:
      return 11015;  // IP_PARAM_PROBLEM
  }
}

struct Expected {
  std::array<uint8_t, 4> target;
  uint16_t identifier;
  uint16_t sequence;
};

bool IsOurEcho(const uint8_t* icmp, size_t n, uint8_t type, const Expected& e) {
  return n >= kIcmpHeaderSize && icmp[0] == type && Read16(icmp + 4) == e.identifier && Read16(icmp + 6) == e.sequence;
}

// Fills the result when the packet answers our request: an echo reply from the target, or
// an ICMP error from anywhere that quotes our request. Everything else is someone else's.
bool MatchPacket(const uint8_t* p, size_t n, const Expected& e, EchoResult& result) {
  Ipv4Header outer;
  if (!ReadIpv4Header(p, n, outer) || outer.protocol != kProtocolIcmp) return false;
  const uint8_t* icmp = p + outer.size;
  const size_t icmpSize = n - outer.size;
  if (icmpSize < kIcmpHeaderSize || Checksum(icmp, icmpSize) != 0) return false;

  const uint8_t type = icmp[0];
  if (type == kEchoReply) {
    if (!SameAddress(outer.source, e.target) || !IsOurEcho(icmp, icmpSize, kEchoReply, e)) return false;
    result.kind = EchoResult::Kind::Reply;
    result.status = 0;
    result.dataSize = static_cast<uint16_t>(icmpSize - kIcmpHeaderSize);
    result.ttl = outer.ttl;
    return true;
  }
  if (type != kDestUnreachable && type != kSourceQuench && type != kTimeExceeded && type != kParameterProblem) {
    return false;
  }
  Ipv4Header quoted;
  const uint8_t* inner = icmp + kIcmpHeaderSize;
  const size_t innerSize = icmpSize - kIcmpHeaderSize;
  if (!ReadIpv4Header(inner, innerSize, quoted) || quoted.protocol != kProtocolIcmp ||
      !SameAddress(quoted.destination, e.target) ||
      !IsOurEcho(inner + quoted.size, innerSize - quoted.size, kEchoRequest, e)) {
    return false;
  }
  result.kind = EchoResult::Kind::Reply;
  result.status = StatusOfIcmpError(type, icmp[1]);
  result.dataSize = 0;
  result.ttl = outer.ttl;
  return true;
}

EchoResult Failure(uint32_t code) {
  EchoResult result;
  result.kind = EchoResult::Kind::Failed;
  result.errorCode = code;
  return result;
}

}  // namespace

int ParseIPv4Address(const std::wstring& text, std::array<uint8_t, 4>& address) {
  // inet_pton stops at a NUL, which would let "1.2.3.4<NUL>junk" through.
  if (text.find(L'\0') != std::wstring::npos) return 0;
  try {
    const std::string narrow = WideToUtf8(text);
    in_addr parsed{};
    const int r = inet_pton(AF_INET, narrow.c_str(), &parsed);
    if (r == 1) std::memcpy(address.data(), &parsed, 4);
    return r;
  } catch (...) {
    return -1;
  }
}

EchoResult SendIcmpEchoFrom(const std::array<uint8_t, 4>& source, const std::array<uint8_t, 4>& address,
                            uint32_t timeoutMs) {
  const int fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
  if (fd < 0) {
    EchoResult result;
    result.kind = EchoResult::Kind::NoHandle;
    return result;
  }
  FdCloser closer(fd);
  if (source != std::array<uint8_t, 4>{}) {
    sockaddr_in from{};
    from.sin_family = AF_INET;
    std::memcpy(&from.sin_addr, source.data(), 4);
    if (bind(fd, reinterpret_cast<const sockaddr*>(&from), sizeof from) < 0)
      return Failure(static_cast<uint32_t>(errno));
  }
#if defined(__linux__) && defined(ICMP_FILTER)
  // Only replies and errors wake us; a set bit drops that type. Best effort.
  icmp_filter filter{};
  filter.data = ~((1u << kEchoReply) | (1u << kDestUnreachable) | (1u << kSourceQuench) | (1u << kTimeExceeded) |
                  (1u << kParameterProblem));
  setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
#endif

  const Expected expected{address, static_cast<uint16_t>(getpid()), g_nextSequence.fetch_add(1)};
  uint8_t request[kIcmpHeaderSize + sizeof kPayload] = {kEchoRequest, 0, 0, 0};
  request[4] = static_cast<uint8_t>(expected.identifier >> 8);
  request[5] = static_cast<uint8_t>(expected.identifier);
  request[6] = static_cast<uint8_t>(expected.sequence >> 8);
  request[7] = static_cast<uint8_t>(expected.sequence);
  std::memcpy(request + kIcmpHeaderSize, kPayload, sizeof kPayload);
  const uint16_t sum = Checksum(request, sizeof request);
  request[2] = static_cast<uint8_t>(sum >> 8);
  request[3] = static_cast<uint8_t>(sum);

  sockaddr_in to{};
  to.sin_family = AF_INET;
  std::memcpy(&to.sin_addr, address.data(), 4);

  const Clock::time_point start = Clock::now();
  const Clock::time_point deadline = start + std::chrono::milliseconds(timeoutMs);
  if (sendto(fd, request, sizeof request, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) < 0) {
    return Failure(static_cast<uint32_t>(errno));
  }

  // Big enough for our reply and for any ICMP error quoting our request; a larger packet
  // is not ours.
  uint8_t buffer[2048];
  for (;;) {
    const Clock::time_point now = Clock::now();
    if (now >= deadline) return Failure(kIpReqTimedOut);
    // Rounded up, so that the wait never ends just short of the deadline and spins.
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    pollfd pfd{fd, POLLIN, 0};
    const int ready = poll(&pfd, 1, left > INT_MAX ? INT_MAX : static_cast<int>(left));
    if (ready < 0) {
      if (errno == EINTR) continue;
      return Failure(static_cast<uint32_t>(errno));
    }
    if (ready == 0) continue;
    const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return Failure(static_cast<uint32_t>(errno));
    }
    if (static_cast<size_t>(n) >= sizeof buffer) continue;
    EchoResult result;
    if (MatchPacket(buffer, static_cast<size_t>(n), expected, result)) {
      result.roundTripMs =
          static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
      return result;
    }
  }
}

}  // namespace moorlink
