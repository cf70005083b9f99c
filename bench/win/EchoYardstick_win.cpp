// The yardstick for idle wake-ups: the echo Moorlink sends at its default interval (to
// the address given, every 10 s, 2 s timeout) and nothing else. Runs until killed.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <iphlpapi.h>
#include <icmpapi.h>

int wmain(int argc, wchar_t** argv) {
  IN_ADDR target{};
  if (argc < 2 || InetPtonW(AF_INET, argv[1], &target) != 1) return 2;
  HANDLE icmp = IcmpCreateFile();
  if (icmp == INVALID_HANDLE_VALUE) return 1;
  char payload[] = {'P', 'i', 'n', 'g', 0};
  alignas(ICMP_ECHO_REPLY) unsigned char reply[1024];
  for (;;) {
    IcmpSendEcho(icmp, target.S_un.S_addr, payload, sizeof payload, nullptr, reply, sizeof reply, 2000);
    Sleep(10000);
  }
}
