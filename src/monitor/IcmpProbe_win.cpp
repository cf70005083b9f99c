// ICMP echo through the IP Helper API, address text through Winsock's InetPtonW.
#include "monitor/IcmpProbe.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstring>

#include "common/UniqueHandle_win.h"

// In iphlpapi since Vista; MinGW's icmpapi.h does not declare it.
extern "C" DWORD WINAPI IcmpSendEcho2Ex(HANDLE icmp, HANDLE event, FARPROC apcRoutine, PVOID apcContext,
                                        IPAddr sourceAddress, IPAddr destinationAddress, LPVOID requestData,
                                        WORD requestSize, PIP_OPTION_INFORMATION requestOptions, LPVOID replyBuffer,
                                        DWORD replySize, DWORD timeout);

namespace moorlink {

int ParseIPv4Address(const std::wstring& text, std::array<uint8_t, 4>& address) {
  // InetPtonW stops at a NUL, which would let "1.2.3.4<NUL>junk" through.
  if (text.find(L'\0') != std::wstring::npos) return 0;
  IN_ADDR parsed{};
  const int r = InetPtonW(AF_INET, text.c_str(), &parsed);
  if (r == 1) std::memcpy(address.data(), &parsed, 4);
  return r;
}

EchoResult SendIcmpEchoFrom(const std::array<uint8_t, 4>& source, const std::array<uint8_t, 4>& address,
                            uint32_t timeoutMs) {
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

  IPAddr from = 0;
  std::memcpy(&from, source.data(), 4);
  const DWORD count = from == 0 ? IcmpSendEcho(icmp.get(), destination, payload, sizeof payload, nullptr, reply,
                                               sizeof reply, timeoutMs)
                                : IcmpSendEcho2Ex(icmp.get(), nullptr, nullptr, nullptr, from, destination, payload,
                                                  sizeof payload, nullptr, reply, sizeof reply, timeoutMs);
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
