#pragma once
// One ICMP echo request to a dotted IPv4 address, with exactly one Ping-category log line.
// The echo itself is platform code: SendIcmpEcho and ParseIPv4Address are implemented in
// IcmpProbe_win.cpp (IP Helper, InetPtonW) and IcmpProbe_posix.cpp (raw socket, inet_pton).
// Nothing throws; every failure is a false result and its log line.
// On POSIX the outcomes carry the numbers the Windows echo would: an ICMP error quoting our
// request is a Reply whose status is the matching IP_STATUS (11002 net and 11003 host
// unreachable, 11004 protocol, 11005 port, 11009 too big, 11012 bad route, 11013/11014 TTL
// expired in transit/reassembly, 11015 parameter problem, 11016 source quench); no reply in
// time is Failed with 11010; any other failure is Failed with errno; no raw socket
// (not root, no CAP_NET_RAW) is NoHandle.
#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace moorlink {

// True only when an echo reply with status 0 came back within the timeout.
bool PingOnce(const std::wstring& address, uint32_t timeoutMs);
// The same, sent from the local address source (empty or invalid: any), so that only the
// link that holds it can carry the echo.
bool PingOnceFrom(const std::wstring& source, const std::wstring& address, uint32_t timeoutMs);

struct EchoResult {
  enum class Kind {
    Reply,     // a reply record came back; status 0 is success
    NoHandle,  // the echo facility could not be opened
    Failed,    // the send returned no reply: errorCode tells why (11010 is a timeout)
  };
  Kind kind = Kind::Failed;
  uint32_t status = 0;  // of the reply record
  uint32_t roundTripMs = 0;
  uint16_t dataSize = 0;
  uint8_t ttl = 0;
  uint32_t errorCode = 0;  // for Failed
};

inline constexpr uint32_t kIpReqTimedOut = 11010;

// 1 and the four address bytes for a valid dotted IPv4 text; anything else is not 1.
// A text with an embedded NUL is rejected, not cut short at it.
int ParseIPv4Address(const std::wstring& text, std::array<uint8_t, 4>& address);

// Sends the 5-byte payload "Ping\0" once and waits up to timeoutMs for the reply; from
// the local address source unless it is 0.0.0.0.
EchoResult SendIcmpEchoFrom(const std::array<uint8_t, 4>& source, const std::array<uint8_t, 4>& address,
                            uint32_t timeoutMs);
inline EchoResult SendIcmpEcho(const std::array<uint8_t, 4>& address, uint32_t timeoutMs) {
  return SendIcmpEchoFrom({}, address, timeoutMs);
}

// The Ping log line (title, message) for an outcome.
struct PingLogLine {
  std::wstring title;
  std::wstring message;
};
PingLogLine DescribeEcho(const std::wstring& address, const EchoResult& result);

// PingOnce with the echo passed in (SendIcmpEcho in production).
using EchoSender = std::function<EchoResult(const std::array<uint8_t, 4>& address, uint32_t timeoutMs)>;
bool PingOnceWith(const std::wstring& address, uint32_t timeoutMs, const EchoSender& send) noexcept;

}  // namespace moorlink
