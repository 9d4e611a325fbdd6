#include "SourceRows.h"

#include "PlayListCtrl.h"
#include "StringUtils.h"

int FindSourceRow(const CPlayListCtrl& list, const std::string& source)
{
    const int exact = list.FindItem(source);
    if (exact >= 0)
        return exact;
    int first = -1;
    for (int row = 0; row < list.GetRecordCount(); ++row) {
        if (WideToAnsi(list.GetItemFile(row)) != source)
            continue;
        if (list.GetItemStatus(row) == CPlayListCtrl::kStatusRecognizing)
            return row;
        if (first < 0)
            first = row;
    }
    return first;
}

std::wstring ShownSourcePath(const CPlayListCtrl* list, const std::string& source)
{
    const int row = list != nullptr ? FindSourceRow(*list, source) : -1;
    return row >= 0 ? list->GetItemFile(row) : AnsiToWide(source);
}

std::wstring ShownFileName(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}
