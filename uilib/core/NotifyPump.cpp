#include "NotifyPump.h"

#include "ControlUI.h"

namespace UiLib {

const UiNotifyMapEntry CNotifyPump::kNotifyEntries[] = {
    UiNotifyMapEndEntry(),
};

const UiNotifyMap CNotifyPump::kNotifyMap = {nullptr, CNotifyPump::kNotifyEntries};

CNotifyPump::CNotifyPump() : virtualWnds_(83)
{
}

CNotifyPump::~CNotifyPump() = default;

const UiNotifyMap* CNotifyPump::GetThisNotifyMap()
{
    return &kNotifyMap;
}

const UiNotifyMap* CNotifyPump::GetNotifyMap() const
{
    return &kNotifyMap;
}

bool CNotifyPump::AddVirtualWnd(const wchar_t* name, CNotifyPump* pump)
{
    if (name == nullptr || name[0] == L'\0' || pump == nullptr)
        return false;
    return virtualWnds_.Insert(name, pump);
}

bool CNotifyPump::RemoveVirtualWnd(const wchar_t* name)
{
    return name != nullptr && virtualWnds_.Remove(name);
}

bool CNotifyPump::DispatchNotify(UiNotify& notify)
{
    if (!notify.virtualWindow.IsEmpty()) {
        for (int i = 0; i < virtualWnds_.GetSize(); ++i) {
            const wchar_t* key = virtualWnds_.GetKeyAt(i);
            if (key == nullptr || lstrcmpiW(key, notify.virtualWindow.GetData()) != 0)
                continue;
            CNotifyPump* pump = static_cast<CNotifyPump*>(virtualWnds_.Find(key, false));
            if (pump != nullptr && pump->DispatchThroughMaps(notify))
                return true;
        }
    }
    return DispatchThroughMaps(notify);
}

bool CNotifyPump::DispatchThroughMaps(UiNotify& notify)
{
    for (const UiNotifyMap* map = GetNotifyMap(); map != nullptr;
         map = map->baseMap != nullptr ? map->baseMap() : nullptr) {
        const UiNotifyMapEntry* entry = FindMapEntry(map->entries, notify);
        if (entry == nullptr)
            continue;
        if (entry->kind == kUiNotifyParams && entry->paramHandler != nullptr) {
            (this->*entry->paramHandler)(notify.wParam, notify.lParam);
            return true;
        }
        if (entry->kind == kUiNotifyRecord && entry->handler != nullptr) {
            (this->*entry->handler)(notify);
            return true;
        }
        return false;
    }
    return false;
}

const UiNotifyMapEntry* CNotifyPump::FindMapEntry(const UiNotifyMapEntry* first, const UiNotify& notify)
{
    if (first == nullptr || notify.sender == nullptr)
        return nullptr;
    const CUiString sender = notify.sender->GetName();
    const UiNotifyMapEntry* anySender = nullptr;
    for (const UiNotifyMapEntry* entry = first; entry->kind != kUiNotifyMapEnd; ++entry) {
        if (!(entry->type == notify.type))
            continue;
        if (entry->control == sender)
            return entry;
        if (entry->control.IsEmpty())
            anySender = entry;
    }
    return anySender;
}

}  // namespace UiLib
