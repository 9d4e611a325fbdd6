#include "RtmpPlayerText.h"

#include "AudioPiece.h"
#include "CAudioConvert.h"
#include "FileDialogs.h"
#include "Logger.h"
#include "PlayListCtrl.h"
#include "RichEditUI.h"
#include "RtmpPlayer.h"
#include "StringUtils.h"

#include "Win32Prelude.h"

#include <cstdio>
#include <set>

using namespace UiLib;

namespace {

const char kSaveTag[] = "RtmpPlayer::OnClick";
const int kSaveBoxSeconds = 5;

enum class FileWrite { NotOpened, Short, Whole };

// Writes one results file; Whole only when every byte of the text reached it.
FileWrite WriteResultsFile(const std::wstring& folder, const std::wstring& stem, const std::wstring& text)
{
    // Opened by its wide name so a stem outside the code page still names a
    // file; the contents stay in the system code page.
    std::wstring path = folder + L"\\" + stem + L".txt";
    FILE* file = _wfopen(path.c_str(), L"wb+");
    if (file == nullptr) {
        std::string message = "fopen create file failed. " + WideToAnsi(folder);
        g_logger.Write(3, kSaveTag, "%s", message.c_str());
        return FileWrite::NotOpened;
    }
    std::string ansi = WideToAnsi(text);
    int length = static_cast<int>(ansi.size());
    int written = std::fprintf(file, "%s", ansi.c_str());
    if (written <= 0 || written != length)
        g_logger.Write(2, kSaveTag, "fprintf_s len %d, ret %d, txt %s", length, written, ansi.c_str());
    // The last buffered bytes only reach the disk at the close.
    bool closed = std::fclose(file) == 0;
    return closed && written == length ? FileWrite::Whole : FileWrite::Short;
}

// Names as the file system compares them: without regard to case.
std::wstring FileNameKey(const std::wstring& name)
{
    std::wstring key = name;
    if (!key.empty())
        CharUpperBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

}  // namespace

std::wstring JoinPieceTexts(const std::vector<AudioPiece*>& pieces)
{
    std::wstring text;
    int position = 0;
    for (AudioPiece* piece : pieces) {
        if (piece->index != position)
            text += L"\r\n";
        text += Utf8ToWide(piece->GetText());
        ++position;
    }
    return text;
}

std::wstring ResultsFileStem(const std::wstring& path)
{
    std::wstring name = CutAtSeparator(path, L"\\", true, false, false);
    return CutAtSeparator(name, L".", true, true, false);
}

std::vector<std::wstring> ResultsFileStems(const ResultsEntries& entries,
                                           const std::vector<std::wstring>& otherRowsNames)
{
    // The names rows were saved under are held first: those rows keep them.
    std::set<std::wstring> held;
    for (const std::wstring& name : otherRowsNames)
        held.insert(FileNameKey(name));
    // A numbered name also never takes the stem another new row keeps.
    std::set<std::wstring> newStems;
    for (const auto& entry : entries) {
        if (entry.second.savedName.empty())
            newStems.insert(FileNameKey(ResultsFileStem(entry.first)));
        else
            held.insert(FileNameKey(entry.second.savedName));
    }
    std::vector<std::wstring> stems;
    for (const auto& entry : entries) {
        if (!entry.second.savedName.empty()) {
            stems.push_back(entry.second.savedName);
            continue;
        }
        const std::wstring stem = ResultsFileStem(entry.first);
        std::wstring name = stem;
        int number = 1;
        while (held.count(FileNameKey(name)) != 0 || (number > 1 && newStems.count(FileNameKey(name)) != 0))
            name = stem + L" (" + std::to_wstring(++number) + L")";
        held.insert(FileNameKey(name));
        stems.push_back(name);
    }
    return stems;
}

int WriteResultsFiles(const std::wstring& folder, ResultsEntries& entries,
                      const std::vector<std::wstring>& otherRowsNames)
{
    const std::vector<std::wstring> stems = ResultsFileStems(entries, otherRowsNames);
    int written = 0;
    size_t i = 0;
    for (auto& entry : entries) {
        const std::wstring& stem = stems[i++];
        const FileWrite result = WriteResultsFile(folder, stem, entry.second.text);
        // A file made under the name holds this row's text now, whole or not.
        if (result != FileWrite::NotOpened)
            entry.second.savedName = stem;
        if (result == FileWrite::Whole)
            ++written;
    }
    return written;
}

std::wstring RtmpPlayer::GetFileText(std::wstring path)
{
    // Gone once the window has closed; nothing is left to join then.
    if (audioConvert_ == nullptr)
        return std::wstring();
    return JoinPieceTexts(audioConvert_->GetFilePieces(WideToAnsi(path)));
}

void RtmpPlayer::ShowItemText()
{
    if (playList_ == nullptr || edtText_ == nullptr)
        return;
    int row = playList_->GetSelectedIndex();
    if (row == -1) {
        if (playList_->GetCount() == 0)
            return;
        row = 0;
        playList_->SelectItem(row, false);
    }
    std::wstring text = GetFileText(playList_->GetItemFile(row));
    edtText_->SetText(text.c_str());
}

void RtmpPlayer::SaveResults()
{
    if (playList_ == nullptr)
        return;
    ResultsEntries entries;
    std::vector<std::wstring> otherRowsNames;
    for (int row = 0; row < playList_->GetCount(); ++row) {
        if (playList_->GetItemStatus(row) != CPlayListCtrl::kStatusDone) {
            const std::wstring name = playList_->GetItemSavedName(row);
            if (!name.empty())
                otherRowsNames.push_back(name);
            continue;
        }
        std::wstring path = playList_->GetItemFile(row);
        entries[path] = ResultsEntry{GetFileText(path), playList_->GetItemSavedName(row)};
    }
    if (entries.empty()) {
        ShowNoticeBox(L"暂无需要保存的内容!", L"", kSaveBoxSeconds);
        return;
    }
    std::wstring folder = BrowseForFolder(GetHwnd(), L"选择保存目录", L"", true);
    if (folder.empty())
        return;
    int written = WriteResultsFiles(folder, entries, otherRowsNames);
    for (int row = 0; row < playList_->GetCount(); ++row) {
        const auto entry = entries.find(playList_->GetItemFile(row));
        if (entry != entries.end())
            playList_->SetItemSavedName(row, entry->second.savedName);
    }
    ShowNoticeBox(L"成功保存 " + std::to_wstring(written) + L" 个结果", L"", kSaveBoxSeconds);
}
