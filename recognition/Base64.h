#pragma once
// Standard Base64 (RFC 4648 alphabet, "=" padding, no line breaks), as the
// REST speech service expects the audio of a recognition request.
#include <cstddef>
#include <string>

std::string Base64Encode(const unsigned char* data, size_t length);
