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

// The name (without ".txt") of each entry's results file, in path order: the
// first source of a stem keeps the stem; a later one of the same stem would
// overwrite it, so it gets "<stem> (2)", "<stem> (3)", ..., the lowest number
// whose name no other source of the save has. Names compare without case.
std::vector<std::wstring> ResultsFileStems(const std::map<std::wstring, std::wstring>& texts);

// Writes one results file per entry (source path -> text) into folder, in
// the system code page, named by ResultsFileStems. Returns the number of
// files written in full.
int WriteResultsFiles(const std::wstring& folder, const std::map<std::wstring, std::wstring>& texts);
