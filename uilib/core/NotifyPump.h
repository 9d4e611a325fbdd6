#pragma once
// Routes control notifications to member handlers through static maps: each
// class with handlers has one UiNotifyMap whose entries name a notification
// type and, optionally, the sending control, and which chains to the map of
// its base class. Notifications of a virtual window go first to the pump
// registered under that window's name.
#include "UiManager.h"
#include "UiString.h"
#include "UiStringMap.h"

namespace UiLib {

class CNotifyPump;

// Handlers are members of classes derived from CNotifyPump; the member
// pointer carries the adjustment from the pump part back to that class.
typedef void (CNotifyPump::*UiNotifyHandler)(UiNotify& notify);
typedef void (CNotifyPump::*UiNotifyParamHandler)(WPARAM wParam, LPARAM lParam);

// Kinds of UiNotifyMapEntry.
const int kUiNotifyMapEnd = 0;
const int kUiNotifyParams = 1;
const int kUiNotifyRecord = 2;

struct UiNotifyMapEntry {
    CUiString type;
    CUiString control;  // empty: any sender
    int kind;
    UiNotifyParamHandler paramHandler;  // kind kUiNotifyParams
    UiNotifyHandler handler;            // kind kUiNotifyRecord
};

struct UiNotifyMap {
    const UiNotifyMap* (*baseMap)();  // null at the root
    const UiNotifyMapEntry* entries;
};

// An entry whose handler takes the notification record.
template <class T>
UiNotifyMapEntry UiNotifyEntry(const wchar_t* type, const wchar_t* control, void (T::*handler)(UiNotify&))
{
    return UiNotifyMapEntry{type, control, kUiNotifyRecord, nullptr, static_cast<UiNotifyHandler>(handler)};
}

// An entry whose handler takes the notification's wParam and lParam.
template <class T>
UiNotifyMapEntry UiNotifyEntry(const wchar_t* type, const wchar_t* control, void (T::*handler)(WPARAM, LPARAM))
{
    return UiNotifyMapEntry{type, control, kUiNotifyParams, static_cast<UiNotifyParamHandler>(handler), nullptr};
}

// The terminator of every entry array.
inline UiNotifyMapEntry UiNotifyMapEndEntry()
{
    return UiNotifyMapEntry{CUiString(), CUiString(), kUiNotifyMapEnd, nullptr, nullptr};
}

class CNotifyPump {
public:
    CNotifyPump();
    CNotifyPump(const CNotifyPump&) = delete;
    CNotifyPump& operator=(const CNotifyPump&) = delete;

    // The map of the most derived class that has one.
    virtual const UiNotifyMap* GetNotifyMap() const;

    // The pump that handles the notifications of a virtual window; not owned.
    bool AddVirtualWnd(const wchar_t* name, CNotifyPump* pump);
    bool RemoveVirtualWnd(const wchar_t* name);

    bool DispatchNotify(UiNotify& notify);
    bool DispatchThroughMaps(UiNotify& notify);
    static const UiNotifyMapEntry* FindMapEntry(const UiNotifyMapEntry* first, const UiNotify& notify);

    static const UiNotifyMap* GetThisNotifyMap();

protected:
    // Pumps are bases of windows and sub-pumps, never deleted through this type.
    ~CNotifyPump();

private:
    static const UiNotifyMapEntry kNotifyEntries[];
    static const UiNotifyMap kNotifyMap;

    CUiStringMap virtualWnds_;
};

}  // namespace UiLib
