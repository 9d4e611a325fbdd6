#pragma once
// How the main window finds the list row of a file the pipeline names. The
// pipeline knows a file only by its path in the system code page, where a
// letter that code page 936 cannot hold (Korean, Japanese kana) has become
// "?": such a path matches no row's own path, and shows the user a name that
// is not the file's.
#include <string>

class CPlayListCtrl;

// The row of the source: the row whose path is the source, else the row whose
// path turns into the source in the system code page (a recognising one
// first); -1 when there is none.
int FindSourceRow(const CPlayListCtrl& list, const std::string& source);
// The source's path as the list shows it; without a row (or a list), the
// narrow path converted as it is.
std::wstring ShownSourcePath(const CPlayListCtrl* list, const std::string& source);
// The name after the path's last "\" (the whole path without one).
std::wstring ShownFileName(const std::wstring& path);
