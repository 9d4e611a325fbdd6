// The program-wide globals that need code to get their first value, in one
// translation unit so their order is fixed: they are initialised top to
// bottom and destroyed in reverse. The logger comes last: every other global
// may log while it is initialised, and once the logger is gone at exit a late
// write finds no file and does nothing.
#include "Globals.h"

#include "AppPaths.h"
#include "Logger.h"
#include "UpLoadLog.h"

const std::wstring g_mediaInfoLoadError = L"Unable to load MediaInfo.dll";

const std::string& g_base64Alphabet =
    *new std::string("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
const std::string& g_restTokenUrl = *new std::string("https://openapi.vantorin.com/oauth/2.0/token");

std::wstring g_browseFolder;

CLogger InitLogger()
{
    // The diagnostics upload decision is taken here, ahead of the program
    // entry, because the log must not be opened before it: the previous run's
    // log is packed whole, before the size rule can empty it and before this
    // run's banner.
    const std::string folder = GetAppDataDir();
    UploadDiagnostics(folder);
    return CLogger(folder + "/" + "Vantorin.log");
}

CLogger g_logger = InitLogger();
