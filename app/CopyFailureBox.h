#pragma once
// The box that tells the user a source file could not be copied into Temp
// for recognition (the piece scheduler only knows the path).
#include <string>

class CMessageWnd;

// The box closes itself after this many seconds.
constexpr int kCopyFailureBoxSeconds = 5;

// "<source>，任务失败，请确保文件有效或未被打开!"
std::wstring CopyFailureText(const std::string& source);
// Fills box with the text and a lone OK button and shows it centred on the
// main window; the box deletes itself when closed.
void ShowCopyFailureBox(CMessageWnd* box, const std::string& source);
// Installed as the scheduler's copy-failure notice by the program entry.
void ShowCopyFailureNotice(const std::string& source);
