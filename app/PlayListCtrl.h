#pragma once
// The main window's file list: one row per source file to recognise. The rows
// store no text; every cell is read from the row's PlayListItem when painted.
#include "ListUI.h"

#include <string>
#include <vector>

class FileOpenDialog;

struct PlayListItem {
    std::wstring name;
    std::wstring durationText;
    std::wstring type;
    std::wstring progressText;
    int elapsedSeconds = 0;
    std::wstring actionText;
    std::wstring blank;
    int durationSeconds = 0;
    int status = 0;  // 0 new, 1 recognising, 2 done
    std::wstring fullPath;
    // The results file's name (without ".txt") the row was first saved
    // under; kept while the row is listed so no later save moves it.
    std::wstring savedName;
};

class CPlayListCtrl : public UiLib::CListUI, public UiLib::IListCallbackUI {
public:
    static constexpr int kStatusNew = 0;
    static constexpr int kStatusRecognizing = 1;
    static constexpr int kStatusDone = 2;
    static constexpr int kMaxRows = 100;
    static constexpr int kActionColumn = 5;
    static constexpr int kBlankColumn = 6;

    CPlayListCtrl();
    ~CPlayListCtrl() override;
    CPlayListCtrl(const CPlayListCtrl&) = delete;
    CPlayListCtrl& operator=(const CPlayListCtrl&) = delete;

    void ProcessEvent(UiLib::UiEvent& event) override;

    // The rows only; records are added with their row by AddFile alone.
    bool Add(UiLib::CControlUI* control) override;
    bool AddAt(UiLib::CControlUI* control, int index) override;
    // These keep the records in step with the rows.
    bool Remove(UiLib::CControlUI* control) override;
    bool RemoveAt(int row) override;
    void RemoveAll() override;

    const wchar_t* GetItemText(UiLib::CControlUI* control, int row, int column) override;

    // The "btnAdd" command: asks for files and adds them while fewer than
    // kMaxRows rows are listed.
    void AddFilesFromDialog();
    // Adds the paths a shown dialog returned, while fewer than kMaxRows rows
    // are listed.
    void AddChosenFiles(FileOpenDialog& dialog);
    // Adds one row for the file unless it is listed already or has no ".".
    void AddFile(const wchar_t* path);
    // The first row whose full path equals path (system code page), else -1.
    int FindItem(std::string path) const;

    std::wstring GetItemFile(int row) const;
    int GetItemDuration(int row) const;
    int GetItemStatus(int row) const;
    // New or done rows only; false and nothing changed otherwise.
    bool SetItemRecognizing(int row);
    // total must be above 0; done == total marks the row done.
    void UpdateItemStatus(int row, int done, int total);
    int GetRecognizingCount() const;
    // The name the row's results were first saved under, or empty.
    std::wstring GetItemSavedName(int row) const;
    void SetItemSavedName(int row, const std::wstring& name);
    // The one-second tick: recognising rows count their elapsed time.
    void OnTimer();
    // Whether (x, y) lies in the action cell (or, with actionColumn false,
    // the blank last cell) of rowControl, inside the item text padding.
    bool HitTestCell(UiLib::CControlUI* rowControl, int x, int y, bool actionColumn);

    int GetRecordCount() const { return static_cast<int>(items_.size()); }

private:
    bool IsValidRow(int row) const;
    void WarnBadRow(const char* tag, int row) const;

    std::vector<PlayListItem> items_;
};

// The whole seconds of the first audio stream's duration as MediaInfo.dll
// reads it; 0 when the library or the file cannot be read.
int ReadMediaDurationSeconds(const std::wstring& path);
