#pragma once
// The pipeline's own files in the Temp folder: the copies of sources, the
// prepared files and the pieces. They go when the run that made them is over,
// and what a run ended by force left behind goes at the next start.
#include <string>

// The file a source's pieces are cut from. Shared by the pieces of one
// AddTask and by the tasks still cutting from it; when the last of them lets
// go, a file that the run made for itself is deleted.
class CutInput {
public:
    CutInput(const std::string& path, bool madeForTheRun) : path_(path), madeForTheRun_(madeForTheRun) {}
    ~CutInput();
    CutInput(const CutInput&) = delete;
    CutInput& operator=(const CutInput&) = delete;

    const std::string& Path() const { return path_; }

private:
    const std::string path_;
    const bool madeForTheRun_;
};

// Deletes one file; a file still open elsewhere simply stays.
void DeleteWorkFile(const std::string& path);
// Whether path lies directly in the Temp folder.
bool IsInTempFolder(const std::string& path);
// Whether a plain file of Temp carries one of the pipeline's names: a source
// copy "src<pid>_<n>_<name>", a piece "<n>.pcm" or "<n>.wav", a preparation
// file "<n>.wav", "<n>out.wav" or "<n>.mp3". Nothing else of Temp (the
// diagnostics upload's archive and its copies) ever does.
bool IsPipelineWorkName(const std::wstring& name);
// Deletes every file of Temp with a pipeline name. Called once when the main
// window is made, before anything of this run is in Temp: a run that was
// ended by force never emptied the folder.
void RemoveLeftoverWorkFiles();

struct TaskRequest;
// Deletes the files a preparation wrote, all of them or all but its output
// (which the piece scheduler then cuts and deletes with its run).
void DeletePreparationFiles(const TaskRequest& request, bool keepOutput);
