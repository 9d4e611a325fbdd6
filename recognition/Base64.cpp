#include "Base64.h"

#include "Globals.h"

#include <cstdint>

std::string Base64Encode(const unsigned char* data, size_t length)
{
    const std::string& alphabet = g_base64Alphabet;
    std::string out;
    out.reserve((length + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        const uint32_t bits = (uint32_t(data[i]) << 16) | (uint32_t(data[i + 1]) << 8) | data[i + 2];
        out += alphabet[(bits >> 18) & 0x3F];
        out += alphabet[(bits >> 12) & 0x3F];
        out += alphabet[(bits >> 6) & 0x3F];
        out += alphabet[bits & 0x3F];
    }
    const size_t rest = length - i;
    if (rest == 0)
        return out;
    uint32_t bits = uint32_t(data[i]) << 16;
    if (rest == 2)
        bits |= uint32_t(data[i + 1]) << 8;
    out += alphabet[(bits >> 18) & 0x3F];
    out += alphabet[(bits >> 12) & 0x3F];
    out += rest == 2 ? alphabet[(bits >> 6) & 0x3F] : '=';
    out += '=';
    return out;
}
