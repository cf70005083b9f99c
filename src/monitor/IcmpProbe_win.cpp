// ICMP echo through the IP Helper API, address text through Winsock's InetPtonW.
#include "monitor/IcmpProbe.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstring>

#include "common/UniqueHandle_win.h"

namespace moorlink {

int ParseIPv4Address(const std::wstring& text, std::array<uint8_t, 4>& address) {
  // InetPtonW stops at a NUL, which would let "1.2.3.4<NUL>junk" through.
  if (text.find(L'\0') != std::wstring::npos) return 0;
  IN_ADDR parsed{};
  const int r = InetPtonW(AF_INET, text.c_str(), &parsed);
  if (r == 1) std::memcpy(address.data(), &parsed, 4);
  return r;
}

EchoResult SendIcmpEcho(const std::array<uint8_t, 4>& address, uint32_t timeoutMs) {
  EchoResult result;
  const UniqueIcmpHandle icmp(IcmpCreateFile());
  if (icmp.get() == INVALID_HANDLE_VALUE) {
    result.kind = EchoResult::Kind::NoHandle;
    return result;
  }
  char payload[] = {'P', 'i', 'n', 'g', 0};
  IPAddr destination = 0;  // network byte order, as the four bytes stand
  std::memcpy(&destination, address.data(), 4);
  alignas(ICMP_ECHO_REPLY) unsigned char reply[1024] = {};

  const DWORD count =
      IcmpSendEcho(icmp.get(), destination, payload, sizeof payload, nullptr, reply, sizeof reply, timeoutMs);
  // Read now: closing the handle on the way out may overwrite the thread's last error.
  const DWORD error = count == 0 ? GetLastError() : 0;

  if (count == 0) {
    result.kind = EchoResult::Kind::Failed;
    result.errorCode = error;
    return result;
  }
  ICMP_ECHO_REPLY first;
  std::memcpy(&first, reply, sizeof first);
  result.kind = EchoResult::Kind::Reply;
  result.status = first.Status;
  result.roundTripMs = first.RoundTripTime;
  result.dataSize = first.DataSize;
  result.ttl = first.Options.Ttl;
  return result;
}

}  // namespace moorlink
