// A scripted wlanapi.dll for tests: the WLAN calls Moorlink makes, answered from a
// scenario file instead of the WLAN service. Built as wlanapi.dll into a folder of its
// own; load it with WINEDLLOVERRIDES=wlanapi=n.
//
// Environment:
//   MOORLINK_WLAN_SCENARIO  path of the scenario file. It is read at every WlanOpenHandle,
//                           so a test may rewrite it between queries. A missing variable,
//                           an unreadable file or a bad line makes WlanOpenHandle fail.
//   MOORLINK_WLAN_LOG       optional path of a file to which every call appends one line
//                           (see "Log lines" below).
//   MOORLINK_WLAN_EVENTS    optional folder: a file named "disconnect" or "connect" put there
//                           makes the double send an ACM disconnected (21) or
//                           connection_complete (10) for the first interface to every ACM
//                           registration, then delete the file. The folder is watched by
//                           change notification: no wake-ups while nothing happens.
//
// Scenario file (UTF-8, one item per line; blank lines and lines starting with # ignored):
//   interface <GUID> <state> [<ssid-hex> [<ssid-length>]]
//       One wireless interface; interfaces are listed in file order. GUID as
//       {xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}. state is WLAN_INTERFACE_STATE as a number:
//       0 not ready, 1 connected, 4 disconnected, 5 associating, 7 authenticating, ...
//       ssid-hex is up to 32 bytes in hex ("486f6d65" is "Home"); leave it out or write
//       "-" for no SSID. ssid-length overrides the length reported (default: the number
//       of bytes), to script a hidden SSID (0) or a bad length.
//   profile <name>
//       A saved profile of the last interface above, in preference order. The name is the
//       rest of the line after one space, taken as is (no trimming), up to 255 characters.
//   radio <software> <hardware>
//       The last interface's radio switches, each "on" or "off" (default: both on).
//   fail open|enum|query|profiles
//       That call fails: open with ERROR_SERVICE_NOT_ACTIVE (1062), the others with
//       ERROR_ACCESS_DENIED (5); "query" only for the current connection, as when location
//       access is not allowed.
//   acm complete|fail <reason-code>
//       An ACM connection_complete or connection_attempt_fail for the first interface's first
//       profile; a thread sends them all in file order about 200 ms after each registration.
// Example:
//   interface {6c8b7a34-1f0e-4d2a-9b3c-0a1b2c3d4e5f} 1 486f6d65
//   profile Home
//   profile Office
//
// Behaviour beyond the scenario, as the WLAN service behaves:
//   WlanQueryInterface supports wlan_intf_opcode_current_connection and
//   wlan_intf_opcode_radio_state (one PHY); for the current connection of an interface
//   in state 0 (not ready) or 4 (disconnected) it fails with ERROR_INVALID_STATE (5023);
//   in any other state it succeeds with that state and the SSID. An unknown GUID gives
//   ERROR_NOT_FOUND (1168), an unknown handle ERROR_INVALID_HANDLE (6).
//   WlanRegisterNotification takes the ACM source, or NONE to unregister; unregistering and
//   WlanCloseHandle wait for a callback in flight, and no callback follows them.
//   WlanReasonCodeToString gives a Japanese text with the code in it.
//
// Log lines:
//   open <client version> <result>     close <result>
//   enum <result>                      query <interface index|?> <opcode> <result>
//   profiles <interface index|?> <result>
//   register <source> <result>         notify <notification code> <reason code>
//   event <notification code> <Unix time in ms>   (one per file taken from the events folder)
//   alloc <interfaces|connection|profiles|radio>
//   free <interfaces|connection|profiles|radio>   or "free bad" for a block not handed out
//                                           (or already freed)
#include <windows.h>
#include <wlanapi.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Interface {
  GUID guid{};
  DWORD state = 0;
  std::string ssid;
  ULONG ssidLength = 0;
  bool softwareOff = false;
  bool hardwareOff = false;
  std::vector<std::wstring> profiles;
};

struct Scenario {
  std::vector<Interface> interfaces;
  bool failOpen = false;
  bool failEnum = false;
  bool failQuery = false;
  bool failProfiles = false;
  std::vector<std::pair<DWORD, DWORD>> acm;  // notification code, reason code
};

std::mutex gLock;
std::map<UINT_PTR, Scenario> gClients;
UINT_PTR gNextHandle = 0x100;
// The number of each client's ACM registration. Held while a callback runs, this lock makes
// ending a registration wait for a callback in flight; never taken together with gLock.
std::mutex gCallbackLock;
std::map<UINT_PTR, int> gRegistrations;
int gLastRegistration = 0;
// Where the events folder's notices go: each live ACM registration's callback.
struct Listener {
  WLAN_NOTIFICATION_CALLBACK callback;
  PVOID context;
  GUID guid;
};
std::map<UINT_PTR, Listener> gListeners;  // under gCallbackLock

std::wstring Env(const wchar_t* name) {
  wchar_t buffer[32768];
  const DWORD n = GetEnvironmentVariableW(name, buffer, 32768);
  if (n == 0 || n >= 32768) return {};
  return std::wstring(buffer, n);
}

void Log(const std::string& line) {
  const std::wstring path = Env(L"MOORLINK_WLAN_LOG");
  if (path.empty()) return;
  HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string text = line + "\n";
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

bool ReadFileText(const std::wstring& path, std::string& text) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0) text.append(chunk, read);
  CloseHandle(file);
  return true;
}

std::wstring FromUtf8(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

bool ParseGuid(const std::string& text, GUID& guid) {
  unsigned long d1 = 0;
  unsigned d2 = 0, d3 = 0, b[8] = {};
  char tail = 0;
  if (std::sscanf(text.c_str(), "{%8lx-%4x-%4x-%2x%2x-%2x%2x%2x%2x%2x%2x}%c", &d1, &d2, &d3, &b[0], &b[1], &b[2], &b[3],
                  &b[4], &b[5], &b[6], &b[7], &tail) != 11) {
    return false;
  }
  guid.Data1 = d1;
  guid.Data2 = static_cast<USHORT>(d2);
  guid.Data3 = static_cast<USHORT>(d3);
  for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<UCHAR>(b[i]);
  return true;
}

bool ParseHex(const std::string& text, std::string& bytes) {
  if (text == "-") return true;
  if (text.size() % 2 != 0 || text.size() > 64) return false;
  for (size_t i = 0; i < text.size(); i += 2) {
    unsigned value = 0;
    if (std::sscanf(text.substr(i, 2).c_str(), "%2x", &value) != 1) return false;
    bytes += static_cast<char>(value);
  }
  return true;
}

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    const size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) words.push_back(line.substr(start, i - start));
  }
  return words;
}

bool ParseScenario(const std::string& text, Scenario& scenario, std::string& error) {
  size_t pos = 0;
  int number = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> words = Words(line);
    if (words.empty()) continue;
    const std::string bad = "bad line " + std::to_string(number);
    if (words[0] == "interface") {
      Interface item;
      if (words.size() < 3 || words.size() > 5 || !ParseGuid(words[1], item.guid)) return error = bad, false;
      item.state = std::strtoul(words[2].c_str(), nullptr, 10);
      if (words.size() >= 4 && !ParseHex(words[3], item.ssid)) return error = bad, false;
      item.ssidLength = static_cast<ULONG>(item.ssid.size());
      if (words.size() == 5) item.ssidLength = std::strtoul(words[4].c_str(), nullptr, 10);
      scenario.interfaces.push_back(item);
    } else if (words[0] == "profile") {
      if (scenario.interfaces.empty() || line.size() <= 8 || line.compare(0, 8, "profile ") != 0) {
        return error = bad, false;
      }
      std::wstring name = FromUtf8(line.substr(8));
      if (name.size() > WLAN_MAX_NAME_LENGTH - 1) name.resize(WLAN_MAX_NAME_LENGTH - 1);
      scenario.interfaces.back().profiles.push_back(name);
    } else if (words[0] == "radio") {
      auto onOff = [](const std::string& w, bool& off) { return (off = w == "off") || w == "on"; };
      Interface* last = scenario.interfaces.empty() ? nullptr : &scenario.interfaces.back();
      if (!last || words.size() != 3 || !onOff(words[1], last->softwareOff) || !onOff(words[2], last->hardwareOff))
        return error = bad, false;
    } else if (words[0] == "acm" && words.size() == 3 && (words[1] == "complete" || words[1] == "fail")) {
      scenario.acm.emplace_back(words[1] == "complete" ? wlan_notification_acm_connection_complete
                                                       : wlan_notification_acm_connection_attempt_fail,
                                std::strtoul(words[2].c_str(), nullptr, 10));
    } else if (words[0] == "fail" && words.size() == 2) {
      if (words[1] == "open")
        scenario.failOpen = true;
      else if (words[1] == "enum")
        scenario.failEnum = true;
      else if (words[1] == "query")
        scenario.failQuery = true;
      else if (words[1] == "profiles")
        scenario.failProfiles = true;
      else
        return error = bad, false;
    } else {
      return error = bad, false;
    }
  }
  return true;
}

// Blocks handed out and not yet freed, so WlanFreeMemory can tell ours from anything else.
std::map<void*, int> gBlocks;
const char* const kKinds[] = {"interfaces", "connection", "profiles", "radio"};

void* Allocate(size_t size, int kind) {
  void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size);
  if (block == nullptr) return nullptr;
  gBlocks[block] = kind;
  Log(std::string("alloc ") + kKinds[kind]);
  return block;
}

// Sends one notice from the events folder to every listener, under the callback lock.
void SendEvent(DWORD code) {
  FILETIME now{};
  GetSystemTimePreciseAsFileTime(&now);
  const ULONGLONG ticks = (ULONGLONG{now.dwHighDateTime} << 32) | now.dwLowDateTime;
  const ULONGLONG unixMs = ticks / 10000 - 11644473600000ULL;
  std::lock_guard<std::mutex> held(gCallbackLock);
  Log("event " + std::to_string(code) + " " + std::to_string(unixMs));
  WLAN_CONNECTION_NOTIFICATION_DATA connection{};
  for (const auto& [handle, listener] : gListeners) {
    WLAN_NOTIFICATION_DATA data{WLAN_NOTIFICATION_SOURCE_ACM, code, listener.guid, sizeof connection, &connection};
    listener.callback(&data, listener.context);
  }
}

// Takes the files of the events folder as they appear, for the life of the process.
void StartEventsThread() {
  static bool started = false;
  if (started) return;
  started = true;
  const auto run = [](void*) -> DWORD {
    const std::wstring folder = Env(L"MOORLINK_WLAN_EVENTS");
    if (folder.empty()) return 0;
    HANDLE change = FindFirstChangeNotificationW(folder.c_str(), FALSE, FILE_NOTIFY_CHANGE_FILE_NAME);
    if (change == INVALID_HANDLE_VALUE) return 0;
    for (;;) {
      if (DeleteFileW((folder + L"\\disconnect").c_str())) SendEvent(wlan_notification_acm_disconnected);
      if (DeleteFileW((folder + L"\\connect").c_str())) SendEvent(wlan_notification_acm_connection_complete);
      if (WaitForSingleObject(change, INFINITE) != WAIT_OBJECT_0 || !FindNextChangeNotification(change)) return 0;
    }
  };
  if (HANDLE thread = CreateThread(nullptr, 0, run, nullptr, 0, nullptr)) CloseHandle(thread);
}

Scenario* Client(HANDLE handle) {
  const auto it = gClients.find(reinterpret_cast<UINT_PTR>(handle));
  return it == gClients.end() ? nullptr : &it->second;
}

int InterfaceIndex(const Scenario& scenario, const GUID* guid) {
  if (guid == nullptr) return -1;
  for (size_t i = 0; i < scenario.interfaces.size(); ++i) {
    if (IsEqualGUID(scenario.interfaces[i].guid, *guid)) return static_cast<int>(i);
  }
  return -1;
}

std::string IndexText(int index) { return index < 0 ? "?" : std::to_string(index); }

}  // namespace

extern "C" {

__declspec(dllexport) DWORD WINAPI
    WlanOpenHandle(DWORD dwClientVersion, PVOID pReserved, PDWORD pdwNegotiatedVersion, PHANDLE phClientHandle) {
  std::lock_guard<std::mutex> lock(gLock);
  DWORD result = ERROR_SUCCESS;
  Scenario scenario;
  std::string text;
  std::string error;
  const std::wstring path = Env(L"MOORLINK_WLAN_SCENARIO");
  if (pReserved != nullptr || pdwNegotiatedVersion == nullptr || phClientHandle == nullptr ||
      (dwClientVersion != 1 && dwClientVersion != 2)) {
    result = ERROR_INVALID_PARAMETER;
  } else if (path.empty() || !ReadFileText(path, text)) {
    Log("scenario missing");
    result = ERROR_SERVICE_NOT_ACTIVE;
  } else if (!ParseScenario(text, scenario, error)) {
    Log("scenario " + error);
    result = ERROR_SERVICE_NOT_ACTIVE;
  } else if (scenario.failOpen) {
    result = ERROR_SERVICE_NOT_ACTIVE;
  } else {
    const UINT_PTR handle = gNextHandle++;
    gClients[handle] = scenario;
    *phClientHandle = reinterpret_cast<HANDLE>(handle);
    *pdwNegotiatedVersion = 2;
  }
  Log("open " + std::to_string(dwClientVersion) + " " + std::to_string(result));
  return result;
}

__declspec(dllexport) DWORD WINAPI WlanCloseHandle(HANDLE hClientHandle, PVOID pReserved) {
  DWORD result = ERROR_SUCCESS;
  {
    std::lock_guard<std::mutex> lock(gLock);
    if (pReserved != nullptr)
      result = ERROR_INVALID_PARAMETER;
    else if (gClients.erase(reinterpret_cast<UINT_PTR>(hClientHandle)) == 0)
      result = ERROR_INVALID_HANDLE;
  }
  if (result == ERROR_SUCCESS) {
    std::lock_guard<std::mutex> lock(gCallbackLock);
    gRegistrations.erase(reinterpret_cast<UINT_PTR>(hClientHandle));
    gListeners.erase(reinterpret_cast<UINT_PTR>(hClientHandle));
  }
  Log("close " + std::to_string(result));
  return result;
}

__declspec(dllexport) DWORD WINAPI
    WlanRegisterNotification(HANDLE hClientHandle, DWORD dwNotifSource, BOOL, WLAN_NOTIFICATION_CALLBACK funcCallback,
                             PVOID pCallbackContext, PVOID pReserved, PDWORD) {
  const UINT_PTR handle = reinterpret_cast<UINT_PTR>(hClientHandle);
  DWORD result = ERROR_SUCCESS;
  Scenario scenario;
  {
    std::lock_guard<std::mutex> lock(gLock);
    const Scenario* client = Client(hClientHandle);
    if (client == nullptr)
      result = ERROR_INVALID_HANDLE;
    else if (pReserved != nullptr || (dwNotifSource != WLAN_NOTIFICATION_SOURCE_NONE &&
                                      (dwNotifSource != WLAN_NOTIFICATION_SOURCE_ACM || funcCallback == nullptr))) {
      result = ERROR_INVALID_PARAMETER;
    } else {
      scenario = *client;
    }
  }
  std::lock_guard<std::mutex> lock(gCallbackLock);
  // Under the lock: no notification of an ended registration is logged after this line.
  Log("register " + std::to_string(dwNotifSource) + " " + std::to_string(result));
  if (result != ERROR_SUCCESS) return result;
  if (dwNotifSource == WLAN_NOTIFICATION_SOURCE_NONE) {
    gRegistrations.erase(handle);
    gListeners.erase(handle);
    return result;
  }
  const int number = gRegistrations[handle] = ++gLastRegistration;
  gListeners[handle] = {funcCallback, pCallbackContext,
                        scenario.interfaces.empty() ? GUID{} : scenario.interfaces[0].guid};
  StartEventsThread();
  auto* send = new std::function<void()>([=] {
    Sleep(200);
    WLAN_CONNECTION_NOTIFICATION_DATA connection{};
    const Interface* first = scenario.interfaces.empty() ? nullptr : &scenario.interfaces[0];
    if (first != nullptr && !first->profiles.empty()) {
      lstrcpynW(connection.strProfileName, first->profiles[0].c_str(), WLAN_MAX_NAME_LENGTH);
    }
    WLAN_NOTIFICATION_DATA data{WLAN_NOTIFICATION_SOURCE_ACM, 0, first ? first->guid : GUID{}, sizeof connection,
                                &connection};
    for (const auto& [code, reason] : scenario.acm) {
      data.NotificationCode = code;
      connection.wlanReasonCode = reason;
      std::lock_guard<std::mutex> held(gCallbackLock);
      const auto it = gRegistrations.find(handle);
      if (it == gRegistrations.end() || it->second != number) return;
      Log("notify " + std::to_string(code) + " " + std::to_string(reason));
      funcCallback(&data, pCallbackContext);
    }
  });
  const auto run = [](void* body) -> DWORD {
    const std::unique_ptr<std::function<void()>> owned(static_cast<std::function<void()>*>(body));
    (*owned)();
    return 0;
  };
  if (HANDLE thread = CreateThread(nullptr, 0, run, send, 0, nullptr))
    CloseHandle(thread);
  else
    delete send;
  return result;
}

__declspec(dllexport) DWORD WINAPI
    WlanReasonCodeToString(DWORD dwReasonCode, DWORD dwBufferSize, PWCHAR pStringBuffer, PVOID pReserved) {
  DWORD result = ERROR_SUCCESS;
  if (pStringBuffer == nullptr || dwBufferSize == 0 || pReserved != nullptr)
    result = ERROR_INVALID_PARAMETER;
  else
    lstrcpynW(pStringBuffer, (L"スクリプトの理由（コード " + std::to_wstring(dwReasonCode) + L"）").c_str(),
              dwBufferSize);
  return result;
}

__declspec(dllexport) DWORD WINAPI
    WlanEnumInterfaces(HANDLE hClientHandle, PVOID pReserved, PWLAN_INTERFACE_INFO_LIST* ppInterfaceList) {
  std::lock_guard<std::mutex> lock(gLock);
  const Scenario* scenario = Client(hClientHandle);
  DWORD result = ERROR_SUCCESS;
  if (scenario == nullptr)
    result = ERROR_INVALID_HANDLE;
  else if (pReserved != nullptr || ppInterfaceList == nullptr)
    result = ERROR_INVALID_PARAMETER;
  else if (scenario->failEnum)
    result = ERROR_ACCESS_DENIED;
  if (result == ERROR_SUCCESS) {
    const size_t count = scenario->interfaces.size();
    const size_t size =
        offsetof(WLAN_INTERFACE_INFO_LIST, InterfaceInfo) + (count > 0 ? count : 1) * sizeof(WLAN_INTERFACE_INFO);
    auto* list = static_cast<WLAN_INTERFACE_INFO_LIST*>(Allocate(size, 0));
    if (list == nullptr) {
      result = ERROR_NOT_ENOUGH_MEMORY;
    } else {
      list->dwNumberOfItems = static_cast<DWORD>(count);
      for (size_t i = 0; i < count; ++i) {
        WLAN_INTERFACE_INFO& info = list->InterfaceInfo[i];
        info.InterfaceGuid = scenario->interfaces[i].guid;
        std::swprintf(info.strInterfaceDescription, 256, L"Scripted Wi-Fi %u", static_cast<unsigned>(i));
        info.isState = static_cast<WLAN_INTERFACE_STATE>(scenario->interfaces[i].state);
      }
      *ppInterfaceList = list;
    }
  }
  Log("enum " + std::to_string(result));
  return result;
}

__declspec(dllexport) DWORD WINAPI
    WlanQueryInterface(HANDLE hClientHandle, const GUID* pInterfaceGuid, WLAN_INTF_OPCODE OpCode, PVOID pReserved,
                       PDWORD pdwDataSize, PVOID* ppData, PWLAN_OPCODE_VALUE_TYPE pWlanOpcodeValueType) {
  std::lock_guard<std::mutex> lock(gLock);
  const Scenario* scenario = Client(hClientHandle);
  const int index = scenario == nullptr ? -1 : InterfaceIndex(*scenario, pInterfaceGuid);
  DWORD result = ERROR_SUCCESS;
  if (scenario == nullptr)
    result = ERROR_INVALID_HANDLE;
  else if (pReserved != nullptr || pdwDataSize == nullptr || ppData == nullptr)
    result = ERROR_INVALID_PARAMETER;
  else if (index < 0)
    result = ERROR_NOT_FOUND;
  else if (OpCode == wlan_intf_opcode_radio_state) {  // never gated by location access
    const Interface& item = scenario->interfaces[index];
    auto* radio = static_cast<WLAN_RADIO_STATE*>(Allocate(sizeof(WLAN_RADIO_STATE), 3));
    if (radio == nullptr) return ERROR_NOT_ENOUGH_MEMORY;
    radio->dwNumberOfPhys = 1;
    radio->PhyRadioState[0].dot11SoftwareRadioState = item.softwareOff ? dot11_radio_state_off : dot11_radio_state_on;
    radio->PhyRadioState[0].dot11HardwareRadioState = item.hardwareOff ? dot11_radio_state_off : dot11_radio_state_on;
    *pdwDataSize = sizeof(WLAN_RADIO_STATE);
    *ppData = radio;
    Log("query " + IndexText(index) + " " + std::to_string(static_cast<int>(OpCode)) + " " + std::to_string(result));
    return result;
  } else if (OpCode != wlan_intf_opcode_current_connection)
    result = ERROR_NOT_SUPPORTED;
  else if (scenario->failQuery)
    result = ERROR_ACCESS_DENIED;
  else if (scenario->interfaces[index].state == wlan_interface_state_not_ready ||
           scenario->interfaces[index].state == wlan_interface_state_disconnected) {
    result = ERROR_INVALID_STATE;
  }
  if (result == ERROR_SUCCESS) {
    const Interface& item = scenario->interfaces[index];
    auto* attributes = static_cast<WLAN_CONNECTION_ATTRIBUTES*>(Allocate(sizeof(WLAN_CONNECTION_ATTRIBUTES), 1));
    if (attributes == nullptr) {
      result = ERROR_NOT_ENOUGH_MEMORY;
    } else {
      attributes->isState = static_cast<WLAN_INTERFACE_STATE>(item.state);
      attributes->wlanConnectionMode = wlan_connection_mode_profile;
      if (!item.profiles.empty()) {
        lstrcpynW(attributes->strProfileName, item.profiles.front().c_str(), WLAN_MAX_NAME_LENGTH);
      }
      DOT11_SSID& ssid = attributes->wlanAssociationAttributes.dot11Ssid;
      std::memcpy(ssid.ucSSID, item.ssid.data(), item.ssid.size());
      ssid.uSSIDLength = item.ssidLength;
      attributes->wlanAssociationAttributes.dot11BssType = dot11_BSS_type_infrastructure;
      *pdwDataSize = sizeof(WLAN_CONNECTION_ATTRIBUTES);
      *ppData = attributes;
      if (pWlanOpcodeValueType != nullptr) *pWlanOpcodeValueType = wlan_opcode_value_type_query_only;
    }
  }
  Log("query " + IndexText(index) + " " + std::to_string(static_cast<int>(OpCode)) + " " + std::to_string(result));
  return result;
}

__declspec(dllexport) DWORD WINAPI WlanGetProfileList(HANDLE hClientHandle, const GUID* pInterfaceGuid, PVOID pReserved,
                                                      PWLAN_PROFILE_INFO_LIST* ppProfileList) {
  std::lock_guard<std::mutex> lock(gLock);
  const Scenario* scenario = Client(hClientHandle);
  const int index = scenario == nullptr ? -1 : InterfaceIndex(*scenario, pInterfaceGuid);
  DWORD result = ERROR_SUCCESS;
  if (scenario == nullptr)
    result = ERROR_INVALID_HANDLE;
  else if (pReserved != nullptr || ppProfileList == nullptr)
    result = ERROR_INVALID_PARAMETER;
  else if (index < 0)
    result = ERROR_NOT_FOUND;
  else if (scenario->failProfiles)
    result = ERROR_ACCESS_DENIED;
  if (result == ERROR_SUCCESS) {
    const std::vector<std::wstring>& profiles = scenario->interfaces[index].profiles;
    const size_t count = profiles.size();
    const size_t size =
        offsetof(WLAN_PROFILE_INFO_LIST, ProfileInfo) + (count > 0 ? count : 1) * sizeof(WLAN_PROFILE_INFO);
    auto* list = static_cast<WLAN_PROFILE_INFO_LIST*>(Allocate(size, 2));
    if (list == nullptr) {
      result = ERROR_NOT_ENOUGH_MEMORY;
    } else {
      list->dwNumberOfItems = static_cast<DWORD>(count);
      // The struct declares one item; the block holds count of them.
      WLAN_PROFILE_INFO* items = list->ProfileInfo;
      for (size_t i = 0; i < count; ++i) {
        std::memcpy(items[i].strProfileName, profiles[i].c_str(), (profiles[i].size() + 1) * sizeof(WCHAR));
      }
      *ppProfileList = list;
    }
  }
  Log("profiles " + IndexText(index) + " " + std::to_string(result));
  return result;
}

__declspec(dllexport) VOID WINAPI WlanFreeMemory(PVOID pMemory) {
  if (pMemory == nullptr) return;
  std::lock_guard<std::mutex> lock(gLock);
  const auto it = gBlocks.find(pMemory);
  if (it == gBlocks.end()) {
    Log("free bad");
    return;
  }
  Log(std::string("free ") + kKinds[it->second]);
  gBlocks.erase(it);
  HeapFree(GetProcessHeap(), 0, pMemory);
}

}  // extern "C"
