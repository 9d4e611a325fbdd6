#include "ServerLog.h"

#include <atomic>

namespace {
std::atomic<ServerLogSink> g_sink{nullptr};
}

void SetServerLogSink(ServerLogSink sink)
{
    g_sink.store(sink);
}

void SendServerLog(const std::string& text, bool sendNow)
{
    if (ServerLogSink sink = g_sink.load())
        sink(text, sendNow);
}
