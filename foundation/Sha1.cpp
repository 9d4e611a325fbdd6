#include "Sha1.h"

#include <cstring>

namespace {

uint32_t Rotl(uint32_t value, int bits)
{
    return (value << bits) | (value >> (32 - bits));
}

uint32_t ReadBigEndian(const uint8_t* bytes)
{
    return (static_cast<uint32_t>(bytes[0]) << 24) | (static_cast<uint32_t>(bytes[1]) << 16) |
           (static_cast<uint32_t>(bytes[2]) << 8) | bytes[3];
}

void WriteBigEndian(uint32_t value, uint8_t* bytes)
{
    bytes[0] = static_cast<uint8_t>(value >> 24);
    bytes[1] = static_cast<uint8_t>(value >> 16);
    bytes[2] = static_cast<uint8_t>(value >> 8);
    bytes[3] = static_cast<uint8_t>(value);
}

}  // namespace

void Sha1Init(Sha1Context& context)
{
    context.state[0] = 0x67452301;
    context.state[1] = 0xEFCDAB89;
    context.state[2] = 0x98BADCFE;
    context.state[3] = 0x10325476;
    context.state[4] = 0xC3D2E1F0;
    context.count[0] = 0;
    context.count[1] = 0;
    std::memset(context.buffer, 0, sizeof(context.buffer));
}

void Sha1Transform(uint32_t state[5], const uint8_t block[64])
{
    uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = ReadBigEndian(block + 4 * i);
    for (int i = 16; i < 80; ++i)
        w[i] = Rotl(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

    uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
        uint32_t f;
        uint32_t k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5A827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ED9EBA1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8F1BBCDC;
        } else {
            f = b ^ c ^ d;
            k = 0xCA62C1D6;
        }
        const uint32_t next = Rotl(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = Rotl(b, 30);
        b = a;
        a = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

void Sha1Update(Sha1Context& context, const void* data, size_t length)
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    size_t used = (context.count[0] >> 3) & 63;

    const uint64_t bits =
        (static_cast<uint64_t>(context.count[1]) << 32 | context.count[0]) + static_cast<uint64_t>(length) * 8;
    context.count[0] = static_cast<uint32_t>(bits);
    context.count[1] = static_cast<uint32_t>(bits >> 32);

    while (length > 0) {
        const size_t take = (64 - used < length) ? 64 - used : length;
        std::memcpy(context.buffer + used, bytes, take);
        used += take;
        bytes += take;
        length -= take;
        if (used == 64) {
            Sha1Transform(context.state, context.buffer);
            used = 0;
        }
    }
}

void Sha1Final(uint8_t digest[kSha1DigestSize], Sha1Context& context)
{
    uint8_t lengthBytes[8];
    WriteBigEndian(context.count[1], lengthBytes);
    WriteBigEndian(context.count[0], lengthBytes + 4);

    const uint8_t pad = 0x80;
    Sha1Update(context, &pad, 1);
    const uint8_t zero = 0;
    while (((context.count[0] >> 3) & 63) != 56)
        Sha1Update(context, &zero, 1);
    Sha1Update(context, lengthBytes, sizeof(lengthBytes));

    for (int i = 0; i < 5; ++i)
        WriteBigEndian(context.state[i], digest + 4 * i);
    std::memset(&context, 0, sizeof(context));
}
