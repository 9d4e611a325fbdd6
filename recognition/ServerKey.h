#pragma once
// The REST speech service's key pairs, as the user service hands them out.
#include <string>
#include <vector>

struct ServerKey {
    std::string apiKey;
    std::string secretKey;
};

using ServerKeyList = std::vector<ServerKey>;
