#include "real_program_support.h"

#include "AppPaths.h"
#include "PlayListCtrl.h"
#include "StringUtils.h"
#include "UiManager.h"
#include "UiZip.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cwchar>

namespace RealProgram {

namespace {

constexpr wchar_t kProgramDirOption[] = L"--program-dir=";
constexpr wchar_t kProgramDirVariable[] = L"VANTORIN_PROGRAM_DIR";
constexpr wchar_t kMainWindowClass[] = L"Vantorin";
constexpr wchar_t kDialogClass[] = L"#32770";
constexpr WORD kSkinZipResourceId = 100;
constexpr wchar_t kSkinZipResourceType[] = L"ZIPRES";
// The file-name field of the open-file dialog: a combo box, or an edit in
// the older layout.
constexpr int kFileNameCombo = 0x47C;
constexpr int kFileNameEdit = 0x480;
constexpr UINT kSendTimeoutMs = 5000;
constexpr DWORD kDialogGoneMs = 10000;

std::wstring WithoutTrailingSlash(std::wstring path)
{
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

std::wstring FromUnixPath(std::wstring path)
{
    if (path.empty() || path[0] != L'/')
        return path;
    for (wchar_t& c : path) {
        if (c == L'/')
            c = L'\\';
    }
    return L"Z:" + path;
}

std::wstring ProgramFolderFromCommandLine()
{
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (arguments == nullptr)
        return std::wstring();
    std::wstring folder;
    const size_t prefix = wcslen(kProgramDirOption);
    for (int i = 1; i < count && folder.empty(); ++i) {
        if (wcsncmp(arguments[i], kProgramDirOption, prefix) == 0)
            folder = arguments[i] + prefix;
    }
    LocalFree(arguments);
    return folder;
}

std::wstring ProgramFolderFromEnvironment()
{
    wchar_t value[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(kProgramDirVariable, value, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(value, length) : std::wstring();
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

struct WindowSearch {
    DWORD processId;
    const wchar_t* className;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM search)
{
    WindowSearch* s = reinterpret_cast<WindowSearch*>(search);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == s->processId && IsWindowVisible(window) && ClassOf(window) == s->className)
        s->found.push_back(window);
    return TRUE;
}

BOOL CALLBACK FindTreeChild(HWND window, LPARAM found)
{
    if (ClassOf(window) == WC_TREEVIEWW) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

HWND TreeOf(HWND dialog)
{
    HWND tree = nullptr;
    EnumChildWindows(dialog, FindTreeChild, reinterpret_cast<LPARAM>(&tree));
    return tree;
}

// A block of memory inside another process, for the messages whose
// parameters point at data the system does not carry between processes.
class RemoteMemory {
public:
    RemoteMemory(HANDLE process, size_t size)
        : process_(process),
          size_(size),
          address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
    {
    }
    ~RemoteMemory()
    {
        if (address_ != nullptr)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    RemoteMemory(const RemoteMemory&) = delete;
    RemoteMemory& operator=(const RemoteMemory&) = delete;

    bool Valid() const { return address_ != nullptr; }
    BYTE* Address(size_t offset = 0) const { return static_cast<BYTE*>(address_) + offset; }
    bool Write(size_t offset, const void* data, size_t size) const
    {
        SIZE_T written = 0;
        return offset + size <= size_ && WriteProcessMemory(process_, Address(offset), data, size, &written) &&
               written == size;
    }
    bool Read(size_t offset, void* data, size_t size) const
    {
        SIZE_T read = 0;
        return offset + size <= size_ && ReadProcessMemory(process_, Address(offset), data, size, &read) &&
               read == size;
    }

private:
    HANDLE process_;
    size_t size_;
    void* address_;
};

bool IsWow64(HANDLE process)
{
    BOOL wow64 = FALSE;
    return IsWow64Process(process, &wow64) && wow64;
}

// The text of the tree's selected item, read through memory of the dialog's
// process. Only possible when both processes lay the item record out alike.
bool ReadSelectedTreeText(HANDLE process, HWND tree, std::wstring* text)
{
    const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    if (item == nullptr)
        return false;
    RemoteMemory block(process, sizeof(TVITEMW) + MAX_PATH * sizeof(wchar_t));
    if (!block.Valid())
        return false;
    TVITEMW record = {};
    record.mask = TVIF_TEXT;
    record.hItem = item;
    record.pszText = reinterpret_cast<wchar_t*>(block.Address(sizeof(TVITEMW)));
    record.cchTextMax = MAX_PATH;
    wchar_t buffer[MAX_PATH] = {};
    if (!block.Write(0, &record, sizeof(record)) || !block.Write(sizeof(TVITEMW), buffer, sizeof(buffer)))
        return false;
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(block.Address()), SMTO_ABORTIFHUNG,
                             kSendTimeoutMs, &answer) ||
        answer == 0)
        return false;
    if (!block.Read(sizeof(TVITEMW), buffer, sizeof(buffer)))
        return false;
    buffer[MAX_PATH - 1] = L'\0';
    *text = buffer;
    return true;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[MAX_PATH] = {};
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, MAX_PATH, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, kSendTimeoutMs,
                        &copied);
    text[MAX_PATH - 1] = L'\0';
    return text;
}

void PressOk(HWND dialog)
{
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

}  // namespace

std::wstring ProgramFolder()
{
    std::wstring folder = ProgramFolderFromCommandLine();
    if (folder.empty())
        folder = ProgramFolderFromEnvironment();
    if (folder.empty())
        folder = AnsiToWide(GetExeDir());
    return WithoutTrailingSlash(FromUnixPath(folder));
}

bool WaitFor(const std::function<bool()>& pred, DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    while (!pred()) {
        if (GetTickCount() - start > milliseconds)
            return pred();
        Sleep(50);
    }
    return true;
}

std::vector<HWND> WindowsOf(DWORD processId, const wchar_t* className)
{
    WindowSearch search = {processId, className, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void ClickAt(HWND window, POINT point)
{
    const LPARAM at = MAKELPARAM(point.x, point.y);
    PostMessageW(window, WM_MOUSEMOVE, 0, at);
    PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(window, WM_LBUTTONUP, 0, at);
}

POINT CentreOf(const RECT& rect)
{
    return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

ProgramProcess::~ProgramProcess()
{
    if (IsRunning()) {
        TerminateProcess(process_.get(), 1);
        WaitForSingleObject(process_.get(), 10000);
    }
}

bool ProgramProcess::Start(const std::wstring& folder)
{
    const std::wstring executable = folder + L"\\Vantorin.exe";
    std::wstring commandLine = L"\"" + executable + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessW(executable.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &info))
        return false;
    ScopedHandle thread(info.hThread);
    process_.reset(info.hProcess);
    id_ = info.dwProcessId;
    return true;
}

bool ProgramProcess::IsRunning() const
{
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

HWND ProgramProcess::WaitForMainWindow(DWORD milliseconds) const
{
    HWND window = nullptr;
    WaitFor(
        [&] {
            const std::vector<HWND> found = WindowsOf(id_, kMainWindowClass);
            window = found.empty() ? nullptr : found.front();
            return window != nullptr || !IsRunning();
        },
        milliseconds);
    return window;
}

bool ProgramProcess::WaitForExit(DWORD milliseconds, DWORD* exitCode) const
{
    if (!process_ || WaitForSingleObject(process_.get(), milliseconds) != WAIT_OBJECT_0)
        return false;
    return GetExitCodeProcess(process_.get(), exitCode) != FALSE;
}

// A hidden skinned window built from the copied zip; the list element of the
// main skin is the program's own control, as the program makes it.
class PackedSkinLayout::Probe : public UiLib::WindowImplBase {
public:
    Probe(const wchar_t* markupName, const std::wstring& zipName) : markup_(markupName), zip_(zipName) {}

    const wchar_t* GetRegisteredClassName() const override { return L"VantorinPackedSkinProbe"; }
    UiLib::CUiString GetSkinMarkupName() override { return UiLib::CUiString(markup_.c_str()); }
    int GetSkinSource() override { return UiLib::SkinFromZipFile; }
    UiLib::CUiString GetSkinDirectory() override { return UiLib::CUiString(L""); }
    UiLib::CUiString GetSkinZipName() override { return UiLib::CUiString(zip_.c_str()); }
    UiLib::CControlUI* CreateCustomControl(const wchar_t* className) override
    {
        if (className != nullptr && wcscmp(className, L"CPlayListCtrl") == 0)
            return new CPlayListCtrl();
        return nullptr;
    }

private:
    std::wstring markup_;
    std::wstring zip_;
};

PackedSkinLayout::PackedSkinLayout() : zipName_(L"real_program_packed_skins.zip")
{
    if (UiLib::CUiManager::GetInstance() == nullptr)
        UiLib::CUiManager::SetInstance(GetModuleHandleW(nullptr), nullptr);
}

PackedSkinLayout::~PackedSkinLayout()
{
    if (probe_ != nullptr) {
        if (probe_->GetHwnd() != nullptr && IsWindow(probe_->GetHwnd()))
            DestroyWindow(probe_->GetHwnd());
        delete probe_;
    }
    UiLib::CUiManager::SetResourceZip(L"", false);
    DeleteFileW((UiLib::CUiManager::GetInstanceFolder().GetData() + zipName_).c_str());
}

bool PackedSkinLayout::LoadFrom(const std::wstring& executable)
{
    ScopedModule module(LoadLibraryExW(executable.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!module)
        return false;
    const HRSRC resource = FindResourceW(module.get(), MAKEINTRESOURCEW(kSkinZipResourceId), kSkinZipResourceType);
    const HGLOBAL loaded = resource != nullptr ? LoadResource(module.get(), resource) : nullptr;
    const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
    const DWORD size = resource != nullptr ? SizeofResource(module.get(), resource) : 0;
    if (bytes == nullptr || size == 0)
        return false;
    const std::wstring path = UiLib::CUiManager::GetInstanceFolder().GetData() + zipName_;
    FILE* file = _wfopen(path.c_str(), L"wb");
    if (file == nullptr)
        return false;
    const bool written = fwrite(bytes, 1, size, file) == size;
    return fclose(file) == 0 && written;
}

bool PackedSkinLayout::Build(const wchar_t* markupName, SIZE client)
{
    if (probe_ != nullptr) {
        DestroyWindow(probe_->GetHwnd());
        delete probe_;
        probe_ = nullptr;
    }
    // A skin missing from the zip would end this process with an error box:
    // it is looked for first.
    const std::wstring path = UiLib::CUiManager::GetInstanceFolder().GetData() + zipName_;
    UiLib::ZipHandle* zip = UiLib::ZipArchiveOpen(path.c_str(), 0, UiLib::kZipFileName);
    if (zip == nullptr)
        return false;
    int index = -1;
    UiLib::ZipEntryInfo info = {};
    const bool present = UiLib::ZipArchiveFindEntry(zip, markupName, false, &index, &info) == UiLib::kZipOk;
    UiLib::ZipArchiveClose(zip);
    if (!present)
        return false;

    probe_ = new Probe(markupName, zipName_);
    if (probe_->Create(nullptr, L"", WS_POPUP, 0, 0, 0, client.cx, client.cy) == nullptr)
        return false;
    UiLib::CControlUI* root = probe_->GetManager().GetRoot();
    if (root == nullptr)
        return false;
    root->SetBounds(RECT{0, 0, client.cx, client.cy});
    return true;
}

UiLib::CControlUI* PackedSkinLayout::Find(const wchar_t* name)
{
    return probe_ != nullptr ? probe_->GetManager().FindControlByName(name) : nullptr;
}

HWND FindDialog(DWORD processId, bool withTree)
{
    for (HWND dialog : WindowsOf(processId, kDialogClass)) {
        if ((TreeOf(dialog) != nullptr) == withTree)
            return dialog;
    }
    return nullptr;
}

bool AnswerFileDialog(HWND dialog, const std::wstring& path, DWORD milliseconds)
{
    // The dialog fills its fields while it settles: the name is typed again
    // until it reads back, then "Open" is pressed.
    return WaitFor(
        [&] {
            HWND field = GetDlgItem(dialog, kFileNameCombo);
            if (field == nullptr)
                field = GetDlgItem(dialog, kFileNameEdit);
            if (field == nullptr)
                return !IsWindow(dialog);
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()), SMTO_ABORTIFHUNG,
                                kSendTimeoutMs, &answer);
            if (WindowText(field) != path)
                return false;
            PressOk(dialog);
            return WaitFor([&] { return !IsWindow(dialog); }, kDialogGoneMs);
        },
        milliseconds);
}

bool AnswerFolderBrowser(const ProgramProcess& program, HWND dialog, const std::wstring& folder, DWORD milliseconds)
{
    const size_t bytes = (folder.size() + 1) * sizeof(wchar_t);
    RemoteMemory text(program.Handle(), bytes);
    if (!text.Valid() || !text.Write(0, folder.c_str(), bytes))
        return false;
    const std::wstring leaf = folder.substr(folder.find_last_of(L'\\') + 1);
    const bool readable = IsWow64(GetCurrentProcess()) == IsWow64(program.Handle());
    return WaitFor(
        [&] {
            if (!IsWindow(dialog))
                return false;
            DWORD_PTR answer = 0;
            SendMessageTimeoutW(dialog, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(text.Address()),
                                SMTO_ABORTIFHUNG, kSendTimeoutMs, &answer);
            std::wstring selected;
            const HWND tree = TreeOf(dialog);
            // Without a readable tree the selection is trusted as set.
            if (readable &&
                (tree == nullptr || !ReadSelectedTreeText(program.Handle(), tree, &selected) || selected != leaf))
                return false;
            PressOk(dialog);
            return WaitFor([&] { return !IsWindow(dialog); }, kDialogGoneMs);
        },
        milliseconds);
}

}  // namespace RealProgram
