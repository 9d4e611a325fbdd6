#pragma once
// Conversions between the system code page, UTF-8 and UTF-16, and small text
// helpers. Every function is pure; a failed conversion gives an empty or
// shortened result rather than an error, and a source converts only up to its
// first zero character.
#include <string>

std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);

// Replaces every occurrence of from, left to right, resuming behind each
// inserted text so a replacement is never matched again. An empty from
// returns the text unchanged.
std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to);

// Cuts text at its first (or, with fromEnd, last) separator. keepBefore gives
// the part before it; otherwise the part after it, starting at the separator
// itself when keepSeparator is set. Text without the separator comes back whole.
std::wstring CutAtSeparator(const std::wstring& text, const std::wstring& separator, bool fromEnd, bool keepBefore,
                            bool keepSeparator);

// "mm:ss", or "hh:mm:ss" once the duration reaches an hour.
std::string FormatClock(int seconds);
