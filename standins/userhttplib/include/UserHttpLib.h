#pragma once
// userhttplib.dll: the maker's user-service client, shared by the DLL and the
// program. The program creates one client for its main window; the client
// fetches the REST key list and uploads log text on a thread of its own and
// reports each result to the main window as WM_USER_COMMAND.
//
// The record it posts is read by the program field by field, so its 32-bit
// layout is fixed (checked below). Both sides must be built by the same
// compiler: the record holds standard strings. Only the DLL allocates and
// frees records; the program reads one and hands it back through
// CUserhttplib::ReleaseRecord.
#include "Win32Prelude.h"

#include <cstddef>
#include <string>

// wParam: one of the commands below; lParam: the UserlibRecord.
constexpr UINT WM_USER_COMMAND = WM_USER + 2900;

// The REST key list has been fetched (or could not be).
constexpr unsigned USERLIB_CMD_KEY_LIST = 1;
// A log upload has ended.
constexpr unsigned USERLIB_CMD_UPLOAD_LOG = 3;

// Result values of a record besides 0 (success) and the service's own
// non-zero "result"; an HTTP status other than 200 is reported as itself.
constexpr int USERLIB_ERR_TRANSFER = -1;  // the service could not be reached
constexpr int USERLIB_ERR_REPLY = -2;     // the reply was not what the service sends

// The settings key (file "config.ini" in the application-data folder, section
// "Vantorin") holding the service's base address, e.g. "http://127.0.0.1:20001".
constexpr wchar_t USERLIB_URL_KEY[] = L"UserServiceUrl";
constexpr char USERLIB_DEFAULT_URL[] = "http://user.vantorin.com:20001";

struct UserKeyItem {
    std::string apiKey;
    std::string secretKey;
};

struct UserlibRecord {
    UserKeyItem* items = nullptr;  // command 1: `count` key pairs, in the service's order
    std::string message;           // "ok", or what went wrong
    std::string url;               // the address asked
    std::string request;           // the body sent (the log text), empty for a GET
    std::string reply;             // the body received, as received
    std::string transferError;     // the HTTP library's error text, empty on success
    int result = 0;                // 0 = success
    int count = 0;                 // number of items
};

#if defined(__i386__) || defined(_M_IX86)
static_assert(sizeof(UserKeyItem) == 48, "key items lie 48 bytes apart");
static_assert(offsetof(UserlibRecord, items) == 0 && offsetof(UserlibRecord, message) == 4 &&
                  offsetof(UserlibRecord, result) == 124 && offsetof(UserlibRecord, count) == 128,
              "the program reads the record at these offsets");
#endif

// The order of the operations is part of the interface: the program calls
// ReleaseRecord through the third entry and UploadLog through the seventh.
// Every operation returns at once; network work runs on the client's thread.
class CUserhttplib {
public:
    // Asks the service for the key list again; the answer comes as command 1.
    virtual void __stdcall RequestKeyList() = 0;
    // The base address in use (from the settings, or the default).
    virtual const char* __stdcall GetServiceUrl() = 0;
    // Takes back a record posted with `command`; null is ignored.
    virtual void __stdcall ReleaseRecord(unsigned command, UserlibRecord* record) = 0;
    virtual void __stdcall SetNotifyWindow(HWND window) = 0;
    virtual HWND __stdcall GetNotifyWindow() = 0;
    // Waits up to `milliseconds` for the queued requests to end; true when they have.
    virtual bool __stdcall WaitIdle(DWORD milliseconds) = 0;
    // Sends one text (UTF-8, null-terminated) to the service; the end comes as command 3.
    virtual void __stdcall UploadLog(const char* text) = 0;

protected:
    ~CUserhttplib() = default;  // only ReleaseUserlib ends a client
};

// Exported undecorated on both targets (see userhttplib.def).
extern "C" {
// dataDir: the application-data folder (system code page) whose config.ini
// names the service; window: receives WM_USER_COMMAND. The key list is asked
// for at once. Null when the client could not be started.
CUserhttplib* __cdecl CreateUserlib(const char* dataDir, HWND window);
// Finishes the queued requests (each has a time limit), ends the client and
// sets *client to null. Records already posted stay valid.
void __cdecl ReleaseUserlib(CUserhttplib** client);
}
