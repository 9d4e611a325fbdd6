#pragma once
// The pieces of the main window's text pane and results files that need no
// window: joining a file's pieces and writing the results files.
#include <map>
#include <string>
#include <vector>

struct AudioPiece;

// The pieces' UTF-8 texts joined in list order; a CR LF stands before every
// piece whose index is not its position in the list (a missing piece shifts
// all later ones).
std::wstring JoinPieceTexts(const std::vector<AudioPiece*>& pieces);

// The source's file name without its folder and its last extension.
std::wstring ResultsFileStem(const std::wstring& path);

// One finished row as the save command writes it.
struct ResultsEntry {
    std::wstring text;
    // The name (without ".txt") the row was first saved under; empty until
    // a save has made its file.
    std::wstring savedName;
};

// Source path -> its row's entry, in path order.
using ResultsEntries = std::map<std::wstring, ResultsEntry>;

// The name (without ".txt") of each entry's results file, in path order. A
// row keeps the name it was first saved under, so a later save never hands
// its file to another row. A row saved for the first time takes its stem, or,
// when a row of the list holds that name, "<stem> (2)", "<stem> (3)", ...,
// the lowest number no row holds. Held are the names of this save, the saved
// names of the list's other rows (otherRowsNames) and, for a numbered name,
// the stems of the other rows saved for the first time. Names compare
// without case.
std::vector<std::wstring> ResultsFileStems(const ResultsEntries& entries,
                                           const std::vector<std::wstring>& otherRowsNames);

// Writes one results file per entry into folder, in the system code page,
// named by ResultsFileStems; an entry whose file was made keeps that name in
// savedName. Returns the number of files written in full.
int WriteResultsFiles(const std::wstring& folder, ResultsEntries& entries,
                      const std::vector<std::wstring>& otherRowsNames);
