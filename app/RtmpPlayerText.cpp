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

// Writes one results file; true only when every byte of the text reached it.
bool WriteResultsFile(const std::wstring& folder, const std::wstring& stem, const std::wstring& text)
{
    // Opened by its wide name so a stem outside the code page still names a
    // file; the contents stay in the system code page.
    std::wstring path = folder + L"\\" + stem + L".txt";
    FILE* file = _wfopen(path.c_str(), L"wb+");
    if (file == nullptr) {
        std::string message = "fopen create file failed. " + WideToAnsi(folder);
        g_logger.Write(3, kSaveTag, "%s", message.c_str());
        return false;
    }
    std::string ansi = WideToAnsi(text);
    int length = static_cast<int>(ansi.size());
    int written = std::fprintf(file, "%s", ansi.c_str());
    if (written <= 0 || written != length)
        g_logger.Write(2, kSaveTag, "fprintf_s len %d, ret %d, txt %s", length, written, ansi.c_str());
    // The last buffered bytes only reach the disk at the close.
    bool closed = std::fclose(file) == 0;
    return closed && written == length;
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

std::vector<std::wstring> ResultsFileStems(const std::map<std::wstring, std::wstring>& texts)
{
    // Every entry's own stem is reserved first, so a numbered name never
    // takes the name another source of this save keeps.
    std::set<std::wstring> own;
    for (const auto& entry : texts)
        own.insert(FileNameKey(ResultsFileStem(entry.first)));
    std::set<std::wstring> given;
    std::vector<std::wstring> stems;
    for (const auto& entry : texts) {
        const std::wstring stem = ResultsFileStem(entry.first);
        std::wstring name = stem;
        int number = 1;
        while (given.count(FileNameKey(name)) != 0 || (number > 1 && own.count(FileNameKey(name)) != 0))
            name = stem + L" (" + std::to_wstring(++number) + L")";
        given.insert(FileNameKey(name));
        stems.push_back(name);
    }
    return stems;
}

int WriteResultsFiles(const std::wstring& folder, const std::map<std::wstring, std::wstring>& texts)
{
    const std::vector<std::wstring> stems = ResultsFileStems(texts);
    int written = 0;
    size_t i = 0;
    for (const auto& entry : texts) {
        if (WriteResultsFile(folder, stems[i++], entry.second))
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
    std::map<std::wstring, std::wstring> texts;
    for (int row = 0; row < playList_->GetCount(); ++row) {
        if (playList_->GetItemStatus(row) != CPlayListCtrl::kStatusDone)
            continue;
        std::wstring path = playList_->GetItemFile(row);
        texts[path] = GetFileText(path);
    }
    if (texts.empty()) {
        ShowNoticeBox(L"暂无需要保存的内容!", L"", kSaveBoxSeconds);
        return;
    }
    std::wstring folder = BrowseForFolder(GetHwnd(), L"选择保存目录", L"", true);
    if (folder.empty())
        return;
    int written = WriteResultsFiles(folder, texts);
    ShowNoticeBox(L"成功保存 " + std::to_wstring(written) + L" 个结果", L"", kSaveBoxSeconds);
}
