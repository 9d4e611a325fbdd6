#pragma once
// Thin layers over the common file-open dialog and the shell's folder browser.
#include "Win32Prelude.h"
#include <commdlg.h>
#include <string>

// The filter list of the file list's "add files" dialog: one pair of display
// text and pattern list, each zero-terminated, ended by an empty string.
std::wstring MediaFileFilter();

class FileOpenDialog {
public:
    static constexpr size_t kInlineFileChars = 1024;
    static constexpr size_t kFilterChars = 1024;
    static constexpr size_t kDefExtChars = 64;

    FileOpenDialog();
    ~FileOpenDialog();
    FileOpenDialog(const FileOpenDialog&) = delete;
    FileOpenDialog& operator=(const FileOpenDialog&) = delete;

    // Copies a double-zero-terminated filter list, which must fit the
    // buffer with its terminators; the copy never goes past the buffer.
    void SetFilter(const wchar_t* list);
    void SetMultiSelect(bool on);
    // The text must outlive the dialog.
    void SetTitle(const wchar_t* text);
    void SetOwner(HWND owner);
    void SetFileBufferSize(size_t count);
    int Show();
    wchar_t* GetFileBuffer();
    // One chosen path per call; position starts at GetFileBuffer() and
    // becomes null after the last path.
    std::wstring GetNextPathName(wchar_t*& position) const;

    const OPENFILENAMEW& GetRecord() const { return record_; }
    const wchar_t* GetFilterBuffer() const { return filter_; }

private:
    OPENFILENAMEW record_;
    wchar_t defExt_[kDefExtChars];
    wchar_t filter_[kFilterChars];
    wchar_t file_[kInlineFileChars];
    wchar_t* heapFile_;
};

// Asks for a folder; returns its path, or an empty string when cancelled.
// keepLast: open on the folder chosen last in this run.
std::wstring BrowseForFolder(HWND owner, const std::wstring& title, const std::wstring& initialFolder, bool keepLast);
int CALLBACK BrowseFolderCallback(HWND window, UINT message, LPARAM lParam, LPARAM data);
