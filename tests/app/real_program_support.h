#pragma once
// Drives the built program as a separate process, the way a user would: it
// is started from its folder, its skinned controls are clicked at the places
// its packed skins put them, and its file and folder dialogs are answered.
// The program folder is a parameter so that the same driver can run a
// program unpacked from a release archive.
#include "ScopedHandle.h"
#include "WindowImplBase.h"

#include "Win32Prelude.h"

#include <functional>
#include <string>
#include <vector>

namespace RealProgram {

// "--program-dir=PATH" on the command line, else the environment variable
// VANTORIN_PROGRAM_DIR, else the test's own folder (the build's bin folder).
// A Unix path ("/...") is taken through Wine's Z: drive.
std::wstring ProgramFolder();

// Polls pred every 50 ms until it holds or the time is up; its last answer.
bool WaitFor(const std::function<bool()>& pred, DWORD milliseconds);

// The visible top-level windows of one process with the given class.
std::vector<HWND> WindowsOf(DWORD processId, const wchar_t* className);

// A press and release at a client point of the window, posted as the mouse
// would deliver them.
void ClickAt(HWND window, POINT point);
POINT CentreOf(const RECT& rect);

// One start of the program. A process still running when the object goes is
// ended, so a failed test leaves no instance behind to hold the single-
// instance mutex.
class ProgramProcess {
public:
    ProgramProcess() = default;
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    // Starts folder\Vantorin.exe with folder as its working folder.
    bool Start(const std::wstring& folder);
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_.get(); }
    bool IsRunning() const;
    // The program's visible main window, or null when none came in time.
    HWND WaitForMainWindow(DWORD milliseconds) const;
    // True with the exit code once the process has ended in time.
    bool WaitForExit(DWORD milliseconds, DWORD* exitCode) const;

private:
    ScopedHandle process_;
    DWORD id_ = 0;
};

// The skin zip packed into an executable (resource ZIPRES 100), laid out by
// the UI library as the program lays it out, so tests can find where each
// control of a skin lies and what class it is.
class PackedSkinLayout {
public:
    PackedSkinLayout();
    ~PackedSkinLayout();
    PackedSkinLayout(const PackedSkinLayout&) = delete;
    PackedSkinLayout& operator=(const PackedSkinLayout&) = delete;

    // Copies the zip out of the executable; false when it holds none.
    bool LoadFrom(const std::wstring& executable);
    // Builds markupName from the zip into a hidden window and lays it out at
    // the given client size; false when the skin cannot be built.
    bool Build(const wchar_t* markupName, SIZE client);
    // A control of the last skin built, or null.
    UiLib::CControlUI* Find(const wchar_t* name);

private:
    class Probe;
    std::wstring zipName_;
    Probe* probe_ = nullptr;
};

// A "#32770" window of the process, holding a tree view (the folder browser)
// or not (the open-file dialog); null when none is up.
HWND FindDialog(DWORD processId, bool withTree);

// The open-file dialog: the path is typed into its file-name field and
// "Open" is pressed. True once the dialog has gone.
bool AnswerFileDialog(HWND dialog, const std::wstring& path, DWORD milliseconds);

// The folder browser of the program: the folder is selected and OK is
// pressed. True once the dialog has gone.
bool AnswerFolderBrowser(const ProgramProcess& program, HWND dialog, const std::wstring& folder, DWORD milliseconds);

}  // namespace RealProgram
