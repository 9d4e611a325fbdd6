#pragma once
// Where foundation code queues text for the user-service client. The
// application data object installs itself as the sink; without one nothing
// is queued.
#include <string>

using ServerLogSink = void (*)(const std::string& text, bool sendNow);

void SetServerLogSink(ServerLogSink sink);
void SendServerLog(const std::string& text, bool sendNow);
