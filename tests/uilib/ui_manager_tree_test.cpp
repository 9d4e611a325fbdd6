// The manager's side of the control tree: names, focus with its events and
// notifications, forgetting controls, deferred deletion, and the delivery of
// notifications to a sender's OnNotify source and to the notifier list.
#include "ControlUI.h"
#include "UiManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace UiLib;

namespace {

// A control that records the input events it gets.
class ProbeControl : public CControlUI {
public:
    explicit ProbeControl(const wchar_t* name) { SetName(name); }
    UINT GetInputFlags() override { return kUiFlagTabStop; }
    void HandleEvent(UiEvent& event) override
    {
        events.push_back(event.type);
        senders.push_back(event.sender);
    }

    std::vector<int> events;
    std::vector<CControlUI*> senders;
};

// Records what it is told, in a log shared with other recorders.
class Recorder : public INotifyUI {
public:
    Recorder(const char* tag, std::vector<std::string>& log) : tag_(tag), log_(log) {}
    void Notify(UiNotify& notify) override
    {
        last = notify;
        std::wstring type = notify.type.GetData();
        log_.push_back(tag_ + ":" + std::string(type.begin(), type.end()));
    }

    UiNotify last = {};

private:
    std::string tag_;
    std::vector<std::string>& log_;
};

// A sender-side OnNotify handler that answers false: delivery goes on.
class SenderHandler {
public:
    explicit SenderHandler(std::vector<std::string>& log) : log_(log) {}
    bool OnNotify(void*)
    {
        log_.push_back("sender");
        return false;
    }

private:
    std::vector<std::string>& log_;
};

TEST(ManagerNotify, SenderFirstThenEachNotifierInOrderAndAsynchronousOnesWait)
{
    CUiManager manager;
    std::vector<std::string> log;
    Recorder first("first", log);
    Recorder second("second", log);
    ASSERT_TRUE(manager.AddNotifier(&first));
    ASSERT_TRUE(manager.AddNotifier(&second));
    ProbeControl* sender = new ProbeControl(L"button");
    SenderHandler handler(log);
    sender->OnNotify.Add(CDelegate<SenderHandler, SenderHandler>(&handler, &SenderHandler::OnNotify));
    ASSERT_TRUE(manager.SetRoot(sender));

    const DWORD before = GetTickCount();
    manager.SendNotify(sender, L"click", 7, 9);
    EXPECT_EQ((std::vector<std::string>{"sender", "first:click", "second:click"}), log);
    EXPECT_EQ(sender, second.last.sender);
    EXPECT_EQ(7u, second.last.wParam);
    EXPECT_EQ(9, second.last.lParam);
    EXPECT_EQ(-1, second.last.mouse.x);
    EXPECT_GE(second.last.timestamp, before);

    log.clear();
    EXPECT_TRUE(manager.RemoveNotifier(&first));
    EXPECT_FALSE(manager.RemoveNotifier(&first));
    manager.SendNotify(nullptr, L"timer");
    EXPECT_EQ((std::vector<std::string>{"second:timer"}), log);
    EXPECT_EQ(nullptr, second.last.sender);

    // Asynchronous ones wait for the manager's next window message.
    manager.SendNotify(sender, L"later", 0, 0, true);
    manager.SendNotify(nullptr, L"later2", 0, 0, true);
    EXPECT_EQ(1u, log.size());
}

TEST(ManagerTree, RootNamesFocusAndForgetting)
{
    CUiManager manager;
    std::vector<std::string> log;
    Recorder recorder("r", log);
    manager.AddNotifier(&recorder);
    ProbeControl* root = new ProbeControl(L"root");
    ASSERT_TRUE(manager.SetRoot(root));
    EXPECT_EQ(root, manager.GetRoot());
    EXPECT_EQ(root, manager.FindControlByName(L"root"));
    EXPECT_EQ(nullptr, manager.FindControlByName(L"other"));
    EXPECT_FALSE(manager.AdoptControls(nullptr, nullptr));

    manager.SetFocus(root);
    EXPECT_EQ(root, manager.GetFocus());
    ASSERT_EQ(1u, root->events.size());
    EXPECT_EQ(kUiEventSetFocus, root->events[0]);
    manager.SetFocus(root);  // already focused: nothing more
    EXPECT_EQ(1u, root->events.size());
    manager.SetFocus(nullptr);
    EXPECT_EQ(nullptr, manager.GetFocus());
    ASSERT_EQ(2u, root->events.size());
    EXPECT_EQ(kUiEventKillFocus, root->events[1]);
    EXPECT_EQ(nullptr, root->senders[1]);
    EXPECT_EQ((std::vector<std::string>{"r:setfocus", "r:killfocus"}), log);

    // The only tab stop of the tree, found backward from no focus.
    EXPECT_TRUE(manager.FocusNextTabStop(false));
    EXPECT_EQ(root, manager.GetFocus());

    // A control of another manager cannot take the focus.
    CUiManager other;
    ProbeControl* stranger = new ProbeControl(L"stranger");
    other.SetRoot(stranger);
    manager.SetFocus(stranger);
    EXPECT_EQ(nullptr, manager.GetFocus());
}

TEST(ManagerTree, ForgetControlDropsEveryReference)
{
    CUiManager manager;
    ProbeControl* root = new ProbeControl(L"root");
    manager.SetRoot(root);
    ProbeControl* loose = new ProbeControl(L"loose");
    ASSERT_TRUE(manager.AdoptControls(loose, root));
    EXPECT_EQ(loose, manager.FindControlByName(L"loose"));
    manager.SetFocus(loose);
    EXPECT_EQ(loose, manager.GetFocus());
    delete loose;  // the control tells the manager
    EXPECT_EQ(nullptr, manager.GetFocus());
    EXPECT_EQ(nullptr, manager.FindControlByName(L"loose"));
    EXPECT_EQ(root, manager.FindControlByName(L"root"));
}

TEST(ManagerTree, DeleteLaterDetachesAndPostsTheDeleteMessage)
{
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    {
        CUiManager manager;
        manager.AttachWindow(window);
        ProbeControl* first = new ProbeControl(L"first");
        manager.SetRoot(first);
        ProbeControl* second = new ProbeControl(L"second");
        manager.SetRoot(second);  // the old root is deleted later
        EXPECT_EQ(nullptr, first->GetParentControl());
        MSG msg;
        EXPECT_TRUE(PeekMessageW(&msg, window, kUiMsgDeleteLater, kUiMsgDeleteLater, PM_REMOVE));
        EXPECT_EQ(0u, msg.wParam);
        EXPECT_EQ(second, manager.FindControlByName(L"second"));
    }  // the manager deletes both
    DestroyWindow(window);
}

}  // namespace
