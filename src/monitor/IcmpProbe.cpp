#include "monitor/IcmpProbe.h"

#include <string>

#include "log/LogWriter.h"

namespace moorlink {

PingLogLine DescribeEcho(const std::wstring& address, const EchoResult& result) {
  // std::to_wstring of an unsigned value is plain decimal; the narrow fields are widened
  // first so a TTL never prints as a character.
  switch (result.kind) {
    case EchoResult::Kind::NoHandle:
      return {L"エラー", L"ICMPハンドルの作成に失敗しました。"};
    case EchoResult::Kind::Reply:
      if (result.status == 0) {
        return {L"成功", address + L" からの応答: バイト数=" + std::to_wstring(unsigned{result.dataSize}) +
                             L" 時間=" + std::to_wstring(result.roundTripMs) + L"ms" + L" TTL=" +
                             std::to_wstring(unsigned{result.ttl})};
      }
      return {L"エラー", address + L" からの応答: エラー (Status=" + std::to_wstring(result.status) + L")"};
    case EchoResult::Kind::Failed:
      break;
  }
  if (result.errorCode == kIpReqTimedOut) {
    return {L"タイムアウト", address + L" からの応答: 要求がタイムアウトしました。"};
  }
  return {L"エラー", address + L" への Ping 失敗 (エラーコード: " + std::to_wstring(result.errorCode) + L")"};
}

bool PingOnce(const std::wstring& address, uint32_t timeoutMs) {
  return PingOnceWith(address, timeoutMs, SendIcmpEcho);
}

bool PingOnceWith(const std::wstring& address, uint32_t timeoutMs, const EchoSender& send) noexcept {
  // Every path writes exactly one Ping line.
  bool logged = false;
  try {
    std::array<uint8_t, 4> target{};
    if (ParseIPv4Address(address, target) != 1) {
      WriteLog(LogCategory::Ping, L"エラー", L"IPアドレスの形式が不正です: " + address);
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
        WriteLog(LogCategory::Ping, L"エラー", L"Ping の実行中に予期しないエラーが発生しました。");
      } catch (...) {
      }
    }
    return false;
  }
}

}  // namespace moorlink
