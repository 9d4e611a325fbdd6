#pragma once
// Program-wide values that get their first value from code before the
// program entry runs; all are defined in Globals.cpp, whose order is the
// order of their initialisation.
#include <string>

// The media-information loader's text for a MediaInfo.dll that cannot be loaded.
extern const std::wstring g_mediaInfoLoadError;
// The standard Base64 alphabet (RFC 4648) of the REST speech client. This and
// the token address are read by REST piece tasks, which the closing program
// leaves to finish; they are never destroyed, so a task still running while
// the globals are torn down finds them intact.
extern const std::string& g_base64Alphabet;
// The REST speech service's OAuth token address.
extern const std::string& g_restTokenUrl;
// The folder the folder-browse dialog chose last in this run; never saved.
extern std::wstring g_browseFolder;
