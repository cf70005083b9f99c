// The portable half of the Wi-Fi and gateway queries: SSID decoding, the profile-name
// match, the gateway walk and the adapter buffer rule.
#include <algorithm>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/WifiQueries.h"

namespace moorlink::test {
namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// --- DecodeSsid -----------------------------------------------------------------------

struct SsidCase {
  const char* name;
  std::vector<uint8_t> bytes;
  uint32_t length;  // as reported by the platform
  std::wstring expected;
  friend void PrintTo(const SsidCase& c, std::ostream* os) { *os << c.name; }
};

class DecodeSsidTest : public ::testing::TestWithParam<SsidCase> {};

TEST_P(DecodeSsidTest, GivesTheText) {
  const SsidCase& c = GetParam();
  // The field is 32 bytes on the platform; pad so an over-read would be visible.
  std::vector<uint8_t> field = c.bytes;
  field.resize(std::max<size_t>(field.size(), 40), '#');
  EXPECT_EQ(DecodeSsid(field.data(), c.length), c.expected);
}

const std::string k32 = "0123456789abcdefghijklmnopqrstuv";

INSTANTIATE_TEST_SUITE_P(
    Cases, DecodeSsidTest,
    ::testing::Values(SsidCase{"LengthZeroIsEmptyEvenWithBytes", Bytes("Home"), 0, L""},
                      SsidCase{"Ascii", Bytes("Home"), 4, L"Home"},
                      SsidCase{"LengthCutsTheField", Bytes("HomeNet"), 4, L"Home"},
                      SsidCase{"Japanese",
                               Bytes("\xE8\x87\xAA\xE5\xAE\x85\xE3\x81\xAE"
                                     "Wi-Fi"),
                               14, L"\u81ea\u5b85\u306eWi-Fi"},
                      SsidCase{"InvalidUtf8StillGivesText", {0x41, 0xFF, 0x42}, 3, L"A\uFFFDB"},
                      SsidCase{"Full32Bytes", Bytes(k32), 32, std::wstring(k32.begin(), k32.end())},
                      SsidCase{"LengthAbove32IsCutTo32", Bytes(k32), 40, std::wstring(k32.begin(), k32.end())},
                      SsidCase{"EmbeddedNulIsKept", {0x61, 0x00, 0x62}, 3, std::wstring(L"a\0b", 3)}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DecodeSsidTest, NullBytesAreEmpty) { EXPECT_EQ(DecodeSsid(nullptr, 5), L""); }

// --- HasExactProfileName --------------------------------------------------------------

struct ProfileCase {
  const char* name;
  std::vector<std::wstring> profiles;
  std::wstring wanted;
  bool expected;
  friend void PrintTo(const ProfileCase& c, std::ostream* os) { *os << c.name; }
};

class ProfileNameTest : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(ProfileNameTest, MatchesExactly) {
  const ProfileCase& c = GetParam();
  EXPECT_EQ(HasExactProfileName(c.profiles, c.wanted), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ProfileNameTest,
                         ::testing::Values(ProfileCase{"SameName", {L"Office", L"Home"}, L"Home", true},
                                           ProfileCase{"CaseDiffers", {L"home", L"HOME"}, L"Home", false},
                                           ProfileCase{"NoTrimmingOfTheProfile", {L"Home ", L" Home"}, L"Home", false},
                                           ProfileCase{"NoTrimmingOfTheWanted", {L"Home"}, L"Home ", false},
                                           ProfileCase{"PrefixIsNotAMatch", {L"Home"}, L"Hom", false},
                                           ProfileCase{"LongerIsNotAMatch", {L"Hom"}, L"Home", false},
                                           ProfileCase{"Japanese", {L"\u81ea\u5b85"}, L"\u81ea\u5b85", true},
                                           ProfileCase{"EmptyWantedNeverMatches", {L"", L"Home"}, L"", false},
                                           ProfileCase{"EmptyList", {}, L"Home", false}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- ChooseWifiGateway ----------------------------------------------------------------

constexpr uint32_t kWireless = 71;
constexpr uint32_t kEthernet = 6;
constexpr int kUp = 1;
constexpr int kDown = 2;
constexpr int kInet = 2;
constexpr int kInet6 = 23;

AdapterGateway V4(uint8_t a, uint8_t b, uint8_t c, uint8_t d) { return {kInet, {a, b, c, d}}; }
AdapterGateway V6() { return {kInet6, {0xfe, 0x80, 0, 0}}; }

// Dotted text, except for addresses in 0.0.0.0/8, which this converter refuses.
std::wstring Dotted(const std::array<uint8_t, 4>& a) {
  if (a[0] == 0) return {};
  return std::to_wstring(a[0]) + L"." + std::to_wstring(a[1]) + L"." + std::to_wstring(a[2]) + L"." +
         std::to_wstring(a[3]);
}

struct GatewayCase {
  const char* name;
  std::vector<AdapterInfo> adapters;
  std::wstring expected;
  friend void PrintTo(const GatewayCase& c, std::ostream* os) { *os << c.name; }
};

class ChooseWifiGatewayTest : public ::testing::TestWithParam<GatewayCase> {};

TEST_P(ChooseWifiGatewayTest, ChoosesTheGateway) {
  const GatewayCase& c = GetParam();
  EXPECT_EQ(ChooseWifiGateway(c.adapters, Dotted), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ChooseWifiGatewayTest,
    ::testing::Values(
        GatewayCase{"WirelessUp", {{kWireless, kUp, {V4(192, 168, 1, 1)}}}, L"192.168.1.1"},
        GatewayCase{"WiredNeverChosen",
                    {{kEthernet, kUp, {V4(10, 0, 0, 1)}}, {kWireless, kUp, {V4(192, 168, 1, 1)}}},
                    L"192.168.1.1"},
        GatewayCase{"OnlyWired", {{kEthernet, kUp, {V4(10, 0, 0, 1)}}}, L""},
        GatewayCase{"WirelessDownSkippedEvenWithAGateway",
                    {{kWireless, kDown, {V4(10, 0, 0, 1)}}, {kWireless, kUp, {V4(172, 16, 0, 1)}}},
                    L"172.16.0.1"},
        GatewayCase{
            "Ipv6OnlyAdapterSkipped", {{kWireless, kUp, {V6()}}, {kWireless, kUp, {V4(172, 16, 0, 1)}}}, L"172.16.0.1"},
        GatewayCase{"Ipv6BeforeIpv4InOneAdapter", {{kWireless, kUp, {V6(), V4(10, 1, 2, 3)}}}, L"10.1.2.3"},
        GatewayCase{"FirstConvertibleWins",
                    {{kWireless, kUp, {V4(10, 0, 0, 1), V4(10, 0, 0, 2)}}, {kWireless, kUp, {V4(10, 0, 0, 3)}}},
                    L"10.0.0.1"},
        GatewayCase{"ConversionFailureMovesOn", {{kWireless, kUp, {V4(0, 1, 2, 3), V4(10, 0, 0, 2)}}}, L"10.0.0.2"},
        GatewayCase{"ConversionFailureMovesToNextAdapter",
                    {{kWireless, kUp, {V4(0, 1, 2, 3)}}, {kWireless, kUp, {V4(10, 9, 9, 9)}}},
                    L"10.9.9.9"},
        GatewayCase{
            "WirelessUpWithoutGateway", {{kWireless, kUp, {}}, {kWireless, kUp, {V4(10, 0, 0, 7)}}}, L"10.0.0.7"},
        GatewayCase{
            "NoMatchIsEmpty",
            {{kEthernet, kUp, {V4(10, 0, 0, 1)}}, {kWireless, kUp, {V6()}}, {kWireless, kDown, {V4(10, 0, 0, 2)}}},
            L""},
        GatewayCase{"NoAdapters", {}, L""}),
    [](const auto& info) { return std::string(info.param.name); });

// --- FetchAdapterBuffer ---------------------------------------------------------------

struct Reply {
  uint32_t result;
  uint32_t sizeWrittenBack;  // only used with an overflow
};

struct BufferCase {
  const char* name;
  std::vector<Reply> replies;
  bool expectedOk;
  std::vector<uint32_t> expectedSizes;  // the size passed in at each call
  friend void PrintTo(const BufferCase& c, std::ostream* os) { *os << c.name; }
};

class FetchAdapterBufferTest : public ::testing::TestWithParam<BufferCase> {};

TEST_P(FetchAdapterBufferTest, FollowsTheRule) {
  const BufferCase& c = GetParam();
  std::vector<uint32_t> sizes;
  bool allZero = true;
  std::vector<uint8_t> buffer;
  const bool ok = FetchAdapterBuffer(
      [&](uint8_t* data, uint32_t& size) -> uint32_t {
        sizes.push_back(size);
        for (uint32_t i = 0; i < size; ++i) allZero = allZero && data[i] == 0;
        // Leave traces, so a reused buffer would not be zero-filled.
        if (size > 0) data[0] = 0xAB;
        const size_t index = sizes.size() - 1;
        if (index >= c.replies.size()) return 1;
        const Reply reply = c.replies[index];
        if (reply.result == kErrorBufferOverflow) size = reply.sizeWrittenBack;
        return reply.result;
      },
      buffer);
  EXPECT_EQ(ok, c.expectedOk);
  EXPECT_EQ(sizes, c.expectedSizes);
  EXPECT_TRUE(allZero);
  if (ok) {
    EXPECT_EQ(buffer.size(), c.expectedSizes.back());
    EXPECT_EQ(buffer[0], 0xAB);  // the caller gets the filled buffer, not a copy made before
  }
}

constexpr uint32_t kOverflow = kErrorBufferOverflow;

// What the scripted service cannot show: a disabled service, several PHYs, odd answers.
TEST(WifiStateTest, ClassifiesTheServiceAnswers) {
  EXPECT_EQ(ClassifyConnectionQuery(0, false), SsidQueryResult::NotConnected);  // associating, say
  EXPECT_EQ(ClassifyConnectionQuery(1168, false), SsidQueryResult::Failed);
  using W = WifiReadiness;
  const RadioSwitches on{1, 1}, softOff{2, 1}, hardOff{1, 2}, unknown{0, 0};
  EXPECT_EQ(ClassifyReadiness(1058, 0, {}), W::ServiceStopped);
  EXPECT_EQ(ClassifyReadiness(5, 0, {}), W::Unknown);
  EXPECT_EQ(ClassifyReadiness(0, 1, {unknown}), W::Ready);
  EXPECT_EQ(ClassifyReadiness(0, 1, {softOff, on}), W::Ready);
  EXPECT_EQ(ClassifyReadiness(0, 2, {softOff, hardOff}), W::RadioOffHardware);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FetchAdapterBufferTest,
    ::testing::Values(BufferCase{"FirstCallSucceeds", {{0, 0}}, true, {15000}},
                      BufferCase{"GrowsOnce", {{kOverflow, 20000}, {0, 0}}, true, {15000, 20000}},
                      BufferCase{
                          "GrowsTwice", {{kOverflow, 20000}, {kOverflow, 26000}, {0, 0}}, true, {15000, 20000, 26000}},
                      BufferCase{"ThirdOverflowFails",
                                 {{kOverflow, 20000}, {kOverflow, 26000}, {kOverflow, 30000}, {0, 0}},
                                 false,
                                 {15000, 20000, 26000}},
                      BufferCase{"OtherErrorFailsAtOnce", {{232, 0}, {0, 0}}, false, {15000}},
                      BufferCase{"NoDataFails", {{kOverflow, 20000}, {232, 0}}, false, {15000, 20000}}),
    [](const auto& info) { return std::string(info.param.name); });

// --- Windows' view, the echo's source address ------------------------------------------

TEST(WindowsViewTest, ClassifiesTheReport) {
  const struct {
    ConnectivityReport report;
    WindowsView view;
  } cases[] = {
      {{false, 0x40, true, 0x1}, WindowsView::Unknown},  // the Wi-Fi adapter's connection not found
      {{true, 0x40, false, 0}, WindowsView::Internet},
      {{true, 0x20 | 0x400, false, 0}, WindowsView::Internet},  // IPv6 carries the pages
      {{true, 0x20, true, 0x2}, WindowsView::LocalOnly},        // a proxy alone is no portal
      {{true, 0x10, false, 0}, WindowsView::LocalOnly},
      {{true, 0x40, true, 0x1}, WindowsView::SignIn},  // a portal can pass for the internet
      {{true, 0x1, false, 0}, WindowsView::NoNetwork},
      {{true, 0, true, 0}, WindowsView::NoNetwork},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyConnectivity(c.report), c.view) << c.report.connectivity << " " << c.report.internetFlags;
  }
}

TEST(WifiSourceTest, IsTheWifiAdaptersOwnAddress) {
  AdapterInfo wired{kEthernet, kUp, {V4(192, 168, 1, 1)}, {{192, 168, 1, 20}}};
  AdapterInfo noGateway{kWireless, kUp, {}, {{169, 254, 3, 4}}};
  AdapterInfo wifi{kWireless, kUp, {V4(192, 168, 1, 1)}, {{0, 1, 2, 3}, {192, 168, 1, 30}}};
  AdapterInfo down{kWireless, kDown, {V4(192, 168, 1, 1)}, {{192, 168, 1, 40}}};
  EXPECT_EQ(ChooseWifiSource({wired, down, noGateway, wifi}, Dotted), L"");  // its first address is unreadable
  wifi.ipv4.erase(wifi.ipv4.begin());
  EXPECT_EQ(ChooseWifiSource({wired, down, noGateway, wifi}, Dotted), L"192.168.1.30");
  EXPECT_EQ(ChooseWifiSource({wired, noGateway}, Dotted), L"");
}

}  // namespace
}  // namespace moorlink::test
