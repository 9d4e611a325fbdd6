#pragma once
// What the service tests share beyond the foundation tests' file helpers and
// the stand-in's control helpers.
#include "MakerServiceControl.h"
#include "TestFiles.h"

#include <string>

// Writes bytes to path, making its missing folders first.
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
