#pragma once
// Runs one update check and collects what it posts to a window.
#include "UpdateChecker.h"

#include <string>
#include <vector>

struct Notice {
    WPARAM state;
    bool hasMessage;
    std::wstring error;
    std::string text;
};

// Gives the checker a window of its own, starts a check, pumps until the
// check is over (or timeout), and returns the WM_UPDATE_NOTIFY messages in
// order, their UpdateMsg read and deleted.
std::vector<Notice> RunCheck(CUpdateChecker& checker, DWORD timeoutMs = 60000);
