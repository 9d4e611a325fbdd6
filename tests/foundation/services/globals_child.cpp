// Started by globals_test: its globals are set up before main, the logger's
// last; it checks their first values and logs one line.
#include "Globals.h"
#include "Logger.h"

int main()
{
    const bool valuesRight = g_mediaInfoLoadError == L"Unable to load MediaInfo.dll" &&
                             g_base64Alphabet == "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/" &&
                             g_restTokenUrl.compare(0, 8, "https://") == 0 &&
                             g_restTokenUrl.find("/oauth/2.0/token") == g_restTokenUrl.size() - 16 &&
                             g_browseFolder.empty();
    if (!valuesRight)
        return 3;
    g_logger.Write(1, "globals_child", "child ran");
    return 0;
}
