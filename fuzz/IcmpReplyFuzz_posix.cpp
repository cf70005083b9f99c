// The echo-reply matching of the raw-socket probe. The matcher lives in the probe's own
// translation unit, so it is compiled in here; the library's copy of that unit is then
// never linked in. The first 9 input bytes are the target address, identifier, sequence,
// TTL and IP-options length; the rest is a received packet and, also, the payload of
// replies built from our own request.
// Properties: arbitrary packets never read out of bounds, and a match on one means it
// carries our identifier and sequence and an intact checksum; an echo reply to our request
// always matches, with its TTL and payload size; the same reply with another identifier or
// sequence, from another address or with a broken checksum never does; an ICMP error
// quoting our request matches and one quoting another request does not. The checksums
// here come from a reference written in this file.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "monitor/IcmpProbe_posix.cpp"

namespace {

using namespace moorlink;
using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, size_t at, uint16_t v) {
  b[at] = static_cast<uint8_t>(v >> 8);
  b[at + 1] = static_cast<uint8_t>(v);
}

// RFC 1071 written out apart from the probe's, so that the matcher's checksum is not its
// own oracle: the ones' complement of the ones' complement sum of the big-endian 16-bit
// words, an odd last byte padded with a zero.
uint16_t ReferenceChecksum(const uint8_t* data, size_t n) {
  Bytes words(data, data + n);
  if (words.size() % 2 != 0) words.push_back(0);
  uint64_t sum = 0;
  for (size_t i = 0; i < words.size(); i += 2) sum += words[i] * 256u + words[i + 1];
  while (sum > 0xFFFF) sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint16_t>(0xFFFF - sum);
}

Bytes IcmpMessage(uint8_t type, uint8_t code, uint16_t id, uint16_t seq, const uint8_t* body, size_t n) {
  Bytes m{type, code, 0, 0, 0, 0, 0, 0};
  Put16(m, 4, id);
  Put16(m, 6, seq);
  m.insert(m.end(), body, body + n);
  Put16(m, 2, ReferenceChecksum(m.data(), m.size()));
  return m;
}

Bytes Ipv4(const std::array<uint8_t, 4>& source, const std::array<uint8_t, 4>& destination, uint8_t ttl,
           size_t optionWords, const Bytes& icmp) {
  Bytes p(20 + 4 * optionWords, 0);
  p[0] = static_cast<uint8_t>(0x40 | (5 + optionWords));
  Put16(p, 2, static_cast<uint16_t>(p.size() + icmp.size()));
  p[8] = ttl;
  p[9] = kProtocolIcmp;
  std::memcpy(p.data() + 12, source.data(), 4);
  std::memcpy(p.data() + 16, destination.data(), 4);
  p.insert(p.end(), icmp.begin(), icmp.end());
  return p;
}

bool Match(const Bytes& packet, const Expected& e, EchoResult& result) {
  // A copy of exactly the packet's size, so that the sanitizer sees any read past it.
  const std::vector<uint8_t> exact(packet);
  return MatchPacket(exact.data(), exact.size(), e, result);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The reference against RFC 1071's own worked example (section 3): sum ddf2, checksum 220d.
  static const bool referenceWorks = [] {
    const uint8_t example[] = {0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7};
    return ReferenceChecksum(example, sizeof example) == 0x220d;
  }();
  if (!referenceWorks) __builtin_trap();
  if (size < 9) return 0;
  const Expected e{{data[0], data[1], data[2], data[3]},
                   static_cast<uint16_t>((data[4] << 8) | data[5]),
                   static_cast<uint16_t>((data[6] << 8) | data[7])};
  const uint8_t ttl = data[8];
  const size_t optionWords = data[8] % 11;
  const uint8_t* rest = data + 9;
  const size_t restSize = size - 9;

  // Arbitrary packet: a match must be ours.
  EchoResult result;
  if (MatchPacket(rest, restSize, e, result)) {
    const size_t header = static_cast<size_t>(rest[0] & 0x0F) * 4;
    const uint8_t* icmp = rest + header;
    const uint8_t* quoted = icmp;
    if (icmp[0] != kEchoReply) {
      quoted = icmp + 8 + static_cast<size_t>(icmp[8] & 0x0F) * 4;
    }
    if (result.kind != EchoResult::Kind::Reply || Read16(quoted + 4) != e.identifier ||
        Read16(quoted + 6) != e.sequence) {
      __builtin_trap();
    }
    if (icmp[0] == kEchoReply && (result.status != 0 || result.dataSize != restSize - header - 8)) __builtin_trap();
    if (ReferenceChecksum(icmp, restSize - header) != 0) __builtin_trap();  // only intact messages match
    if (icmp[0] != kEchoReply && result.status == 0) __builtin_trap();
  }

  const std::array<uint8_t, 4> us{127, 0, 0, 1};
  const size_t payloadSize = restSize > 1400 ? 1400 : restSize;

  // Our reply always matches.
  const Bytes reply = IcmpMessage(kEchoReply, 0, e.identifier, e.sequence, rest, payloadSize);
  EchoResult ours;
  if (!Match(Ipv4(e.target, us, ttl, optionWords, reply), e, ours) || ours.kind != EchoResult::Kind::Reply ||
      ours.status != 0 || ours.ttl != ttl || ours.dataSize != payloadSize) {
    __builtin_trap();
  }

  // Someone else's reply never does.
  EchoResult other;
  const uint16_t otherId = static_cast<uint16_t>(e.identifier + 1 + (payloadSize > 0 ? rest[0] % 200 : 0));
  const uint16_t otherSeq = static_cast<uint16_t>(e.sequence + 1 + (payloadSize > 1 ? rest[1] % 200 : 0));
  if (Match(Ipv4(e.target, us, ttl, optionWords, IcmpMessage(kEchoReply, 0, otherId, e.sequence, rest, payloadSize)), e,
            other) ||
      Match(Ipv4(e.target, us, ttl, optionWords, IcmpMessage(kEchoReply, 0, e.identifier, otherSeq, rest, payloadSize)),
            e, other)) {
    __builtin_trap();
  }
  std::array<uint8_t, 4> elsewhere = e.target;
  elsewhere[3] = static_cast<uint8_t>(elsewhere[3] ^ 1);
  if (Match(Ipv4(elsewhere, us, ttl, optionWords, reply), e, other)) __builtin_trap();
  Bytes corrupt = reply;
  corrupt.back() = static_cast<uint8_t>(corrupt.back() ^ 0x01);
  if (Match(Ipv4(e.target, us, ttl, optionWords, corrupt), e, other)) __builtin_trap();

  // An ICMP error quoting our request (its IP header and at least the first 8 bytes).
  const Bytes request = IcmpMessage(kEchoRequest, 0, e.identifier, e.sequence, kPayload, sizeof kPayload);
  const Bytes quotedRequest = Ipv4(us, e.target, 64, 0, request);
  const uint8_t errorTypes[] = {kDestUnreachable, kSourceQuench, kTimeExceeded, kParameterProblem};
  const uint8_t type = errorTypes[ttl % 4];
  const uint8_t code = payloadSize > 0 ? rest[0] % 16 : 0;
  const std::array<uint8_t, 4> router{10, 0, 0, 1};
  EchoResult error;
  if (!Match(
          Ipv4(router, us, ttl, optionWords, IcmpMessage(type, code, 0, 0, quotedRequest.data(), quotedRequest.size())),
          e, error) ||
      error.kind != EchoResult::Kind::Reply || error.status != StatusOfIcmpError(type, code) || error.ttl != ttl) {
    __builtin_trap();
  }
  const Bytes otherRequest =
      Ipv4(us, e.target, 64, 0, IcmpMessage(kEchoRequest, 0, e.identifier, otherSeq, kPayload, sizeof kPayload));
  if (Match(Ipv4(router, us, ttl, optionWords, IcmpMessage(type, code, 0, 0, otherRequest.data(), otherRequest.size())),
            e, other)) {
    __builtin_trap();
  }
  return 0;
}
