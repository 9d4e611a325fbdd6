#pragma once
// Starting a console tool hidden from a program that has no console, and
// reading what it writes to its standard output.
#include "Win32Prelude.h"

#include <functional>
#include <string>
#include <vector>

// This process's arguments after the program name.
std::vector<std::wstring> ProcessArguments();

// Quotes one argument so that the child's runtime reads it back unchanged.
std::wstring QuoteArgument(const std::wstring& argument);
std::wstring JoinArguments(const std::vector<std::wstring>& arguments);

// The folder of this executable, without a trailing backslash.
std::wstring ExeFolder();

using OutputSink = std::function<void(const char* data, size_t size)>;

// Runs program with the arguments, without a window or console, its standard
// input and error on NUL and its standard output handed to sink as it comes
// (discarded when sink is empty); waits for the end. False when the program
// could not be started; otherwise exitCode holds its exit code.
bool RunHidden(const std::wstring& program, const std::vector<std::wstring>& arguments, const OutputSink& sink,
               DWORD& exitCode);
