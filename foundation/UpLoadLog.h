#pragma once
#include <string>

// Decides, once per process at the first look-up of the application-data
// folder, whether the crash dumps of an earlier run go to the maker's service.
void UploadDiagnostics(const std::string& appDataDir, bool force);
