#include "PlayListCtrl.h"

#include "AppPaths.h"
#include "FileDialogs.h"
#include "Globals.h"
#include "ListTextElementUI.h"
#include "Logger.h"
#include "ScopedHandle.h"
#include "StringUtils.h"

#include <cstdlib>

using namespace UiLib;

namespace {

const wchar_t kActionStart[] = L"点我开始";
const wchar_t kActionRecognizing[] = L"识别中";
const wchar_t kActionAgain[] = L"重新识别";
const wchar_t kUnknownText[] = L"unknown";
const size_t kDialogFileChars = 26000;

// The MediaInfo C interface; the library's own stream and info kinds.
const int kStreamAudio = 2;
const int kInfoText = 1;
const int kInfoName = 0;
typedef void*(WINAPI* MediaInfoNewFn)();
typedef size_t(WINAPI* MediaInfoOpenFn)(void*, const wchar_t*);
typedef const wchar_t*(WINAPI* MediaInfoGetFn)(void*, int, size_t, const wchar_t*, int, int);
typedef void(WINAPI* MediaInfoCloseFn)(void*);
typedef void(WINAPI* MediaInfoDeleteFn)(void*);

struct MediaInfoApi {
    ScopedModule module;
    MediaInfoNewFn create = nullptr;
    MediaInfoOpenFn open = nullptr;
    MediaInfoGetFn get = nullptr;
    MediaInfoCloseFn close = nullptr;
    MediaInfoDeleteFn destroy = nullptr;

    bool Ready() const { return create && open && get && close && destroy; }
};

template <typename Fn>
Fn LoadEntry(HMODULE module, const char* name)
{
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// Loaded once, from the program's own folder only, so a stray DLL of the same
// name elsewhere on the search path is never picked up.
const MediaInfoApi& GetMediaInfoApi()
{
    static MediaInfoApi api;
    static bool tried = false;
    if (tried)
        return api;
    tried = true;
    std::wstring path = AnsiToWide(GetExeDir()) + L"\\MediaInfo.dll";
    api.module.reset(LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!api.module) {
        g_logger.Write(3, "ReadMediaDurationSeconds", "%s", WideToAnsi(g_mediaInfoLoadError).c_str());
        return api;
    }
    HMODULE module = api.module.get();
    api.create = LoadEntry<MediaInfoNewFn>(module, "MediaInfo_New");
    api.open = LoadEntry<MediaInfoOpenFn>(module, "MediaInfo_Open");
    api.get = LoadEntry<MediaInfoGetFn>(module, "MediaInfo_Get");
    api.close = LoadEntry<MediaInfoCloseFn>(module, "MediaInfo_Close");
    api.destroy = LoadEntry<MediaInfoDeleteFn>(module, "MediaInfo_Delete");
    if (!api.Ready())
        g_logger.Write(3, "ReadMediaDurationSeconds", "%s", WideToAnsi(g_mediaInfoLoadError).c_str());
    return api;
}

// The "Duration" text of audio stream 0, in milliseconds; empty when absent.
std::wstring ReadAudioDurationText(const MediaInfoApi& api, const std::wstring& path)
{
    void* handle = api.create();
    if (handle == nullptr)
        return std::wstring();
    std::wstring text;
    if (api.open(handle, path.c_str()) != 0) {
        const wchar_t* value = api.get(handle, kStreamAudio, 0, L"Duration", kInfoText, kInfoName);
        if (value != nullptr)
            text = value;
        api.close(handle);
    }
    api.destroy(handle);
    return text;
}

}  // namespace

int ReadMediaDurationSeconds(const std::wstring& path)
{
    const MediaInfoApi& api = GetMediaInfoApi();
    if (!api.Ready())
        return 0;
    std::string millis = WideToAnsi(ReadAudioDurationText(api, path));
    long value = std::strtol(millis.c_str(), nullptr, 10);
    return static_cast<int>(value / 1000);
}

CPlayListCtrl::CPlayListCtrl()
{
    SetTextCallback(this);
}

CPlayListCtrl::~CPlayListCtrl() = default;

void CPlayListCtrl::ProcessEvent(UiEvent& event)
{
    CListUI::ProcessEvent(event);
}

bool CPlayListCtrl::Add(CControlUI* control)
{
    // Rows go at the end. Header items reach the header itself from the
    // skin, not through here.
    return CListUI::AddAt(control, GetCount());
}

bool CPlayListCtrl::AddAt(CControlUI* control, int index)
{
    return CListUI::AddAt(control, index);
}

bool CPlayListCtrl::Remove(CControlUI* control)
{
    return RemoveAt(GetItemIndex(control));
}

bool CPlayListCtrl::RemoveAt(int row)
{
    if (!IsValidRow(row)) {
        WarnBadRow("CPlayListCtrl::RemoveAt", row);
        return false;
    }
    items_.erase(items_.begin() + row);
    return CListUI::RemoveAt(row);
}

void CPlayListCtrl::RemoveAll()
{
    items_.clear();
    CListUI::RemoveAll();
}

const wchar_t* CPlayListCtrl::GetItemText(CControlUI* control, int row, int column)
{
    std::wstring text = kUnknownText;
    if (!IsValidRow(row)) {
        WarnBadRow("CPlayListCtrl::GetItemText", row);
    } else {
        const PlayListItem& item = items_[row];
        // clang-format off
        switch (column) {
        case 0: text = item.name; break;
        case 1: text = item.durationText; break;
        case 2: text = item.type; break;
        case 3: text = item.progressText; break;
        case 4: text = AnsiToWide(FormatClock(item.elapsedSeconds)); break;
        case 5: text = item.actionText; break;
        case 6: text = item.blank; break;
        default: break;
        }
        // clang-format on
    }
    // The row keeps the text so the pointer outlives this call.
    if (control == nullptr)
        return kUnknownText;
    control->SetUserText(text.c_str());
    return control->GetUserText().GetData();
}

void CPlayListCtrl::AddFilesFromDialog()
{
    std::wstring filter = MediaFileFilter();
    FileOpenDialog dialog;
    HWND owner = GetOwnerManager() != nullptr ? GetOwnerManager()->GetWindow() : nullptr;
    dialog.SetOwner(owner);
    dialog.SetMultiSelect(true);
    dialog.SetFilter(filter.c_str());
    dialog.SetTitle(L"选择文件");
    dialog.SetFileBufferSize(kDialogFileChars);
    if (dialog.Show() == 0)
        return;
    AddChosenFiles(dialog);
}

void CPlayListCtrl::AddChosenFiles(FileOpenDialog& dialog)
{
    wchar_t* position = dialog.GetFileBuffer();
    while (position != nullptr) {
        std::wstring path = dialog.GetNextPathName(position);
        if (!path.empty() && GetCount() < kMaxRows)
            AddFile(path.c_str());
    }
}

void CPlayListCtrl::AddFile(const wchar_t* path)
{
    if (path == nullptr)
        return;
    std::wstring fullPath = path;
    // Compared as wide text: a name outside the code page would not survive
    // the narrow round trip and could be listed twice.
    for (const PlayListItem& listed : items_) {
        if (listed.fullPath == fullPath)
            return;
    }
    if (fullPath.find(L'.') == std::wstring::npos)
        return;

    PlayListItem item;
    item.name = CutAtSeparator(fullPath, L"\\", true, false, false);
    item.type = CutAtSeparator(fullPath, L".", true, false, true);
    item.durationSeconds = ReadMediaDurationSeconds(fullPath);
    item.durationText = AnsiToWide(FormatClock(item.durationSeconds));
    item.progressText = L"0";
    item.actionText = kActionStart;
    item.status = kStatusNew;
    item.fullPath = fullPath;
    items_.push_back(item);

    CListTextElementUI* row = new CListTextElementUI();
    row->SetUserTag(GetCount());
    if (!CListUI::AddAt(row, GetCount()))
        delete row;
}

int CPlayListCtrl::FindItem(std::string path) const
{
    std::wstring wide = AnsiToWide(path);
    for (size_t i = 0; i < items_.size(); ++i) {
        if (items_[i].fullPath == wide)
            return static_cast<int>(i);
    }
    return -1;
}

std::wstring CPlayListCtrl::GetItemFile(int row) const
{
    if (!IsValidRow(row)) {
        WarnBadRow("CPlayListCtrl::GetItemFile", row);
        return std::wstring();
    }
    return items_[row].fullPath;
}

int CPlayListCtrl::GetItemDuration(int row) const
{
    if (!IsValidRow(row)) {
        WarnBadRow("CPlayListCtrl::GetItemDuration", row);
        return 0;
    }
    return items_[row].durationSeconds;
}

int CPlayListCtrl::GetItemStatus(int row) const
{
    if (!IsValidRow(row)) {
        g_logger.Write(2, "CPlayListCtrl::GetItemStatus", "GetItemStatus not exist: %d", row);
        return -1;
    }
    return items_[row].status;
}

bool CPlayListCtrl::SetItemRecognizing(int row)
{
    int status = GetItemStatus(row);
    if (status != kStatusNew && status != kStatusDone)
        return false;
    PlayListItem& item = items_[row];
    item.status = kStatusRecognizing;
    item.elapsedSeconds = 0;
    item.progressText = L"0%";
    item.actionText = kActionRecognizing;
    Invalidate();
    return true;
}

void CPlayListCtrl::UpdateItemStatus(int row, int done, int total)
{
    if (!IsValidRow(row)) {
        g_logger.Write(2, "CPlayListCtrl::UpdateItemStatus", "UpdateItemStatus not exist: %d", row);
        return;
    }
    // The caller guarantees a total above 0.
    PlayListItem& item = items_[row];
    item.progressText = std::to_wstring(done * 100 / total) + L"%";
    if (done == total) {
        item.actionText = kActionAgain;
        item.status = kStatusDone;
    }
    Invalidate();
}

int CPlayListCtrl::GetRecognizingCount() const
{
    int count = 0;
    for (const PlayListItem& item : items_) {
        if (item.status == kStatusRecognizing)
            ++count;
    }
    return count;
}

std::wstring CPlayListCtrl::GetItemSavedName(int row) const
{
    if (!IsValidRow(row)) {
        WarnBadRow("CPlayListCtrl::GetItemSavedName", row);
        return std::wstring();
    }
    return items_[row].savedName;
}

void CPlayListCtrl::SetItemSavedName(int row, const std::wstring& name)
{
    if (!IsValidRow(row)) {
        WarnBadRow("CPlayListCtrl::SetItemSavedName", row);
        return;
    }
    items_[row].savedName = name;
}

void CPlayListCtrl::OnTimer()
{
    for (PlayListItem& item : items_) {
        if (item.status == kStatusRecognizing)
            ++item.elapsedSeconds;
    }
    Invalidate();
}

bool CPlayListCtrl::HitTestCell(CControlUI* rowControl, int x, int y, bool actionColumn)
{
    if (rowControl == nullptr || GetItemIndex(rowControl) == -1)
        return false;
    int column = actionColumn ? kActionColumn : kBlankColumn;
    const UiListInfo* info = GetListInfo();
    const RECT& bounds = rowControl->GetBounds();
    RECT cell;
    cell.left = info->columns[column].left + info->textPadding.left;
    cell.right = info->columns[column].right - info->textPadding.right;
    cell.top = bounds.top + info->textPadding.top;
    cell.bottom = bounds.bottom - info->textPadding.bottom;
    POINT point = {x, y};
    return PtInRect(&cell, point) != FALSE;
}

bool CPlayListCtrl::IsValidRow(int row) const
{
    return row >= 0 && static_cast<size_t>(row) < items_.size();
}

void CPlayListCtrl::WarnBadRow(const char* tag, int row) const
{
    g_logger.Write(2, tag, "row not eq data size: row: %d, size: %lu", row, static_cast<unsigned long>(items_.size()));
}
