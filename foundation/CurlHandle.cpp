#include "CurlHandle.h"

#include <string>

size_t AppendToString(char* data, size_t size, size_t count, void* text)
{
    const size_t bytes = size * count;
    static_cast<std::string*>(text)->append(data, bytes);
    return bytes;
}
