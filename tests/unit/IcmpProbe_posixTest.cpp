// The raw-socket echo against scripted ICMP traffic. A responder thread waits for the
// probe's request on a loopback that ignores echo requests and plays its script: replies,
// errors and packets meant for someone else. ctest runs these inside a network namespace.
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <vector>

#include "monitor/IcmpProbe.h"

namespace moorlink::test {
namespace {

using Bytes = std::vector<uint8_t>;
using std::chrono::milliseconds;
const Bytes kPayload{'P', 'i', 'n', 'g', 0};

struct Fd {
  int fd;
  ~Fd() { close(fd); }
};

// An ICMP message with a correct checksum; id and seq fill the word that errors leave unused.
Bytes Icmp(uint8_t type, uint8_t code, uint16_t id, uint16_t seq, const Bytes& body) {
  Bytes m{type, code, 0, 0, uint8_t(id >> 8), uint8_t(id), uint8_t(seq >> 8), uint8_t(seq)};
  m.insert(m.end(), body.begin(), body.end());
  uint32_t sum = 0;
  for (size_t i = 0; i < m.size(); i += 2) sum += (m[i] << 8) | (i + 1 < m.size() ? m[i + 1] : 0);
  while (sum >> 16) sum = (sum & 0xFFFF) + (sum >> 16);
  m[2] = uint8_t(~sum >> 8);
  m[3] = uint8_t(~sum);
  return m;
}

void SendFrom(const char* source, int ttl, const Bytes& icmp) {
  const Fd s{socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP)};
  sockaddr_in from{}, to{};
  from.sin_family = to.sin_family = AF_INET;
  inet_pton(AF_INET, source, &from.sin_addr);
  inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
  ASSERT_EQ(bind(s.fd, reinterpret_cast<sockaddr*>(&from), sizeof from), 0) << errno;
  ASSERT_EQ(setsockopt(s.fd, IPPROTO_IP, IP_TTL, &ttl, sizeof ttl), 0) << errno;
  ASSERT_EQ(sendto(s.fd, icmp.data(), icmp.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
            ssize_t(icmp.size()))
      << errno;
}

// The probe's request as captured, IP header included.
struct Request {
  Bytes packet;
  uint16_t id = 0;
  uint16_t seq = 0;
  // The request's IP header and first 8 ICMP bytes, as an ICMP error quotes them.
  Bytes Quote() const { return Bytes(packet.begin(), packet.begin() + (packet[0] & 0x0F) * 4 + 8); }
};

class Responder {
 public:
  explicit Responder(std::function<void(const Request&)> script)
      : listener_{socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP)}, thread_([this, script] {
          Request r;
          if (WaitForRequest(r)) script(r);
        }) {}
  ~Responder() { thread_.join(); }

 private:
  bool WaitForRequest(Request& r) {
    uint8_t buffer[1500];
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{listener_.fd, POLLIN, 0};
      if (poll(&p, 1, 100) <= 0) continue;
      const ssize_t n = recv(listener_.fd, buffer, sizeof buffer, 0);
      if (n < 20) continue;
      const size_t ihl = (buffer[0] & 0x0F) * 4;
      // An echo request carrying exactly the 5 bytes "Ping\0".
      if (size_t(n) != ihl + 8 + kPayload.size() || buffer[ihl] != 8 ||
          !std::equal(kPayload.begin(), kPayload.end(), buffer + ihl + 8)) {
        continue;
      }
      r.packet.assign(buffer, buffer + n);
      r.id = uint16_t(buffer[ihl + 4] << 8 | buffer[ihl + 5]);
      r.seq = uint16_t(buffer[ihl + 6] << 8 | buffer[ihl + 7]);
      return true;
    }
    ADD_FAILURE() << "the probe sent no echo request";
    return false;
  }

  Fd listener_;
  std::thread thread_;
};

class IcmpProbeSilencedLoopbackRaw : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("MOORLINK_LOOPBACK_SILENCED")) GTEST_SKIP() << "needs ctest IcmpProbe.silenced";
  }
  static constexpr std::array<uint8_t, 4> kLoopback{127, 0, 0, 1};
};

TEST_F(IcmpProbeSilencedLoopbackRaw, OurReplyIsFoundAmongUnrelatedTraffic) {
  EchoResult result;
  {
    Responder responder([](const Request& r) {
      Bytes badSum = Icmp(0, 0, r.id, r.seq, kPayload);
      badSum[2] ^= 1;
      Bytes otherSeqQuote = r.Quote();
      otherSeqQuote.back() ^= 1;
      Bytes otherTargetQuote = r.Quote();
      otherTargetQuote[19] = 3;  // quoted destination 127.0.0.3
      // Each decoy carries TTL 200, so taking one for our reply shows.
      SendFrom("127.0.0.1", 200, Icmp(0, 0, r.id ^ 1, r.seq, kPayload));
      SendFrom("127.0.0.1", 200, Icmp(0, 0, r.id, r.seq + 1, kPayload));
      SendFrom("127.0.0.2", 200, Icmp(0, 0, r.id, r.seq, kPayload));
      SendFrom("127.0.0.1", 200, badSum);
      SendFrom("127.0.0.1", 200, Icmp(8, 0, r.id, r.seq, kPayload));
      SendFrom("127.0.0.5", 200, Icmp(3, 1, 0, 0, otherSeqQuote));
      SendFrom("127.0.0.5", 200, Icmp(3, 1, 0, 0, otherTargetQuote));
      SendFrom("127.0.0.1", 77, Icmp(0, 0, r.id, r.seq, kPayload));
    });
    result = SendIcmpEcho(kLoopback, 2000);
  }
  EXPECT_EQ(result.kind, EchoResult::Kind::Reply);
  EXPECT_EQ(result.status, 0u);
  EXPECT_EQ(result.ttl, 77);
  EXPECT_EQ(result.dataSize, 5);
  EXPECT_LT(result.roundTripMs, 2000u);
}

TEST_F(IcmpProbeSilencedLoopbackRaw, ErrorsQuotingOurRequestCarryTheirStatus) {
  struct Case {
    uint8_t type, code;
    uint32_t status;
  };
  const Case cases[] = {{3, 0, 11002}, {3, 1, 11003}, {3, 3, 11005}, {3, 13, 11003}, {11, 0, 11013}, {12, 0, 11015}};
  for (const Case& c : cases) {
    EchoResult result;
    {
      Responder responder(
          [&c](const Request& r) { SendFrom("127.0.0.5", 250, Icmp(c.type, c.code, 0, 0, r.Quote())); });
      result = SendIcmpEcho(kLoopback, 2000);
    }
    EXPECT_EQ(result.kind, EchoResult::Kind::Reply) << int(c.type) << "/" << int(c.code);
    EXPECT_EQ(result.status, c.status) << int(c.type) << "/" << int(c.code);
    EXPECT_EQ(result.ttl, 250);
  }
}

TEST_F(IcmpProbeSilencedLoopbackRaw, UnrelatedTrafficDoesNotExtendTheWait) {
  EchoResult result;
  std::chrono::steady_clock::duration elapsed{};
  {
    // Three seconds of foreign replies: a wait that each of them restarted would outlast them.
    Responder responder([](const Request& r) {
      for (int i = 0; i < 150; ++i) {
        SendFrom("127.0.0.1", 64, Icmp(0, 0, r.id ^ 1, r.seq, kPayload));
        std::this_thread::sleep_for(milliseconds(20));
      }
    });
    const auto start = std::chrono::steady_clock::now();
    result = SendIcmpEcho(kLoopback, 300);
    elapsed = std::chrono::steady_clock::now() - start;
  }
  EXPECT_EQ(result.kind, EchoResult::Kind::Failed);
  EXPECT_EQ(result.errorCode, kIpReqTimedOut);
  EXPECT_GE(elapsed, milliseconds(250));
  EXPECT_LT(elapsed, milliseconds(2000));
}

TEST_F(IcmpProbeSilencedLoopbackRaw, UnroutableAddressFailsWithErrno) {
  // ctest routes 127.0.0.9 to "unreachable" in the namespace: the send itself fails.
  const EchoResult result = SendIcmpEcho({127, 0, 0, 9}, 300);
  EXPECT_EQ(result.kind, EchoResult::Kind::Failed);
  EXPECT_EQ(result.errorCode, uint32_t(EHOSTUNREACH));
}

TEST(IcmpProbeWithoutRawSocket, NoSocketIsNoHandle) {
  if (!std::getenv("MOORLINK_NO_RAW_SOCKET")) GTEST_SKIP() << "needs ctest IcmpProbe.noRawSocket";
  const EchoResult result = SendIcmpEcho({127, 0, 0, 1}, 300);
  EXPECT_EQ(result.kind, EchoResult::Kind::NoHandle);
}

}  // namespace
}  // namespace moorlink::test
