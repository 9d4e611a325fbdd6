#pragma once
// The library's debug trace: one formatted line to the debugger and to the
// trace callback given to CUiManager::SetInstance.
namespace UiLib {

// Longest trace text in UTF-16 units; a line feed and the terminator follow.
const int kUiTraceMaxText = 509;

// printf-style, with wvnsprintfW's rules (%s takes a wide text). Uses one
// static buffer: call from the UI thread only.
void UiTrace(const wchar_t* format, ...);

}  // namespace UiLib
