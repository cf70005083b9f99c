#include "monitor/IcmpProbe.h"

#include <string>

#include "log/LogTexts.h"
#include "log/LogWriter.h"
#include "monitor/MonitorTexts.h"

namespace moorlink {

PingLogLine DescribeEcho(const std::wstring& address, const EchoResult& result) {
  // std::to_wstring of an unsigned value is plain decimal; the narrow fields are widened
  // first so a TTL never prints as a character.
  switch (result.kind) {
    case EchoResult::Kind::NoHandle:
      return {kErrorTitle, kIcmpHandleFailedMessage};
    case EchoResult::Kind::Reply:
      if (result.status == 0) {
        return {kPingSuccessTitle, address + kPingReplyBytes + std::to_wstring(unsigned{result.dataSize}) +
                                       kPingReplyTime + std::to_wstring(result.roundTripMs) + kPingReplyMs +
                                       kPingReplyTtl + std::to_wstring(unsigned{result.ttl})};
      }
      return {kErrorTitle, address + kPingReplyErrorLead + std::to_wstring(result.status) + kPingReplyErrorTail};
    case EchoResult::Kind::Failed:
      break;
  }
  if (result.errorCode == kIpReqTimedOut) {
    return {kPingTimeoutTitle, address + kPingTimedOutTail};
  }
  return {kErrorTitle, address + kPingFailedLead + std::to_wstring(result.errorCode) + kPingFailedTail};
}

bool PingOnce(const std::wstring& address, uint32_t timeoutMs) {
  return PingOnceWith(address, timeoutMs, [](const std::array<uint8_t, 4>& target, uint32_t timeout) {
    return SendIcmpEcho(target, timeout);
  });
}

bool PingOnceFrom(const std::wstring& source, const std::wstring& address, uint32_t timeoutMs) {
  std::array<uint8_t, 4> from{};
  if (source.empty() || ParseIPv4Address(source, from) != 1) from = {};
  return PingOnceWith(address, timeoutMs, [&from](const std::array<uint8_t, 4>& target, uint32_t timeout) {
    return SendIcmpEchoFrom(from, target, timeout);
  });
}

bool PingOnceWith(const std::wstring& address, uint32_t timeoutMs, const EchoSender& send) noexcept {
  // Every path writes exactly one Ping line.
  bool logged = false;
  try {
    std::array<uint8_t, 4> target{};
    if (ParseIPv4Address(address, target) != 1) {
      WriteLog(LogCategory::Ping, kErrorTitle, kBadAddressLead + address);
      return false;
    }
    const EchoResult result = send(target, timeoutMs);
    const PingLogLine line = DescribeEcho(address, result);
    logged = true;
    WriteLog(LogCategory::Ping, line.title, line.message);
    return result.kind == EchoResult::Kind::Reply && result.status == 0;
  } catch (...) {
    // The monitor run must still see a missed answer, and the log one line for it.
    if (!logged) {
      try {
        WriteLog(LogCategory::Ping, kErrorTitle, kPingUnexpectedMessage);
      } catch (...) {
      }
    }
    return false;
  }
}

}  // namespace moorlink
