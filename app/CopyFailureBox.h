#pragma once
// The box that tells the user a source file could not be copied into Temp
// for recognition (the piece scheduler only knows the path).
#include <string>

// The box closes itself after this many seconds.
constexpr int kCopyFailureBoxSeconds = 5;

// Installed as the scheduler's copy-failure notice by the program entry:
// "<source>，任务失败，请确保文件有效或未被打开!" with a lone OK button,
// centred on the main window.
void ShowCopyFailureNotice(const std::string& source);
