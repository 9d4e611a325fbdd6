// Started by update_checker_test from a folder of its own: runs one update
// check, so the checker scans that folder, and writes each message it got to
// the file named by its argument, one "state<TAB>text" line each.
#include "update_notices.h"

#include "UpdateChecker.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    CUpdateChecker checker;
    const std::vector<Notice> notices = RunCheck(checker);
    FILE* out = std::fopen(argv[1], "wb");
    if (!out)
        return 3;
    for (const Notice& notice : notices)
        std::fprintf(out, "%u\t%s\n", static_cast<unsigned>(notice.state), notice.text.c_str());
    std::fclose(out);
    return 0;
}
