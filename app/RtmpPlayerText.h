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

// Writes one "<stem>.txt" per entry (source path -> text) into folder, in the
// system code page, in path order; a later entry with the same stem replaces
// an earlier file. Returns the number of files written in full.
int WriteResultsFiles(const std::wstring& folder, const std::map<std::wstring, std::wstring>& texts);
