#pragma once
// A layout that keeps the type of every event its children hand up to it
// instead of handling them, so that a test can tell which events a control
// takes itself and which it passes on.
#include "HorizontalLayoutUI.h"
#include "UiManager.h"

#include <algorithm>
#include <vector>

namespace UiTest {

// An event of the given type at a point, as the manager would hand it over.
inline UiLib::UiEvent EventAt(int type, POINT pt = POINT{0, 0}, WPARAM wParam = 0)
{
    UiLib::UiEvent event = {};
    event.type = type;
    event.mouse = pt;
    event.wParam = wParam;
    return event;
}

class EventRecordingParent : public UiLib::CHorizontalLayoutUI {
public:
    void ProcessEvent(UiLib::UiEvent& event) override { types.push_back(event.type); }
    // Adds the child and makes this its parent at once, without a manager.
    void Hold(UiLib::CControlUI* child)
    {
        Add(child);
        child->AttachToManager(nullptr, this, false);
    }
    bool Saw(int type) const { return std::find(types.begin(), types.end(), type) != types.end(); }
    // Hands the child one event; true when the child passed it up here.
    bool PassedUp(UiLib::CControlUI& child, int type, POINT pt = POINT{0, 0})
    {
        types.clear();
        UiLib::UiEvent event = EventAt(type, pt);
        child.ProcessEvent(event);
        return Saw(type);
    }

    std::vector<int> types;
};

}  // namespace UiTest
