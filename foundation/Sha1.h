#pragma once
// SHA-1 (FIPS 180-1) with an init, update and final interface.
#include <cstddef>
#include <cstdint>

constexpr size_t kSha1DigestSize = 20;

struct Sha1Context {
    uint32_t state[5];
    uint32_t count[2];  // message bits, low word first
    uint8_t buffer[64];
};

void Sha1Init(Sha1Context& context);
void Sha1Update(Sha1Context& context, const void* data, size_t length);
// Writes the 20-byte digest and wipes the context.
void Sha1Final(uint8_t digest[kSha1DigestSize], Sha1Context& context);
void Sha1Transform(uint32_t state[5], const uint8_t block[64]);
