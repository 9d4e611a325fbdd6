#include "UiEventSource.h"

#include <gtest/gtest.h>

#include <vector>

using UiLib::CDelegate;
using UiLib::CUiEventSource;

namespace {

class Receiver {
public:
    bool First(void* param) { return Record(1, param, true); }
    bool Second(void* param) { return Record(2, param, answer); }
    bool Third(void* param) { return Record(3, param, true); }

    std::vector<int> calls;
    void* lastParam = nullptr;
    bool answer = true;

private:
    bool Record(int which, void* param, bool result)
    {
        calls.push_back(which);
        lastParam = param;
        return result;
    }
};

typedef CDelegate<Receiver, Receiver> ReceiverDelegate;

TEST(UiEventSource, EmptySourceAnswersTrue)
{
    CUiEventSource source;
    EXPECT_FALSE(source.HasDelegates());
    EXPECT_TRUE(source.Invoke(nullptr));
}

TEST(UiEventSource, SamePairIsKeptOnce)
{
    Receiver r, other;
    CUiEventSource source;
    source.Add(ReceiverDelegate(&r, &Receiver::First));
    source.Add(ReceiverDelegate(&r, &Receiver::First));
    source.Add(ReceiverDelegate(&r, &Receiver::Third));
    source.Add(ReceiverDelegate(&other, &Receiver::First));
    EXPECT_TRUE(source.HasDelegates());
    int param = 0;
    EXPECT_TRUE(source.Invoke(&param));
    EXPECT_EQ((std::vector<int>{1, 3}), r.calls);
    EXPECT_EQ(std::vector<int>{1}, other.calls);
    EXPECT_EQ(&param, r.lastParam);
}

TEST(UiEventSource, FalseStopsTheLaterDelegates)
{
    Receiver r;
    r.answer = false;
    CUiEventSource source;
    {
        ReceiverDelegate first(&r, &Receiver::First);
        source.Add(first);  // the source keeps its own copy
    }
    source.Add(ReceiverDelegate(&r, &Receiver::Second));
    source.Add(ReceiverDelegate(&r, &Receiver::Third));
    EXPECT_FALSE(source.Invoke(nullptr));
    EXPECT_EQ((std::vector<int>{1, 2}), r.calls);
    r.answer = true;
    r.calls.clear();
    EXPECT_TRUE(source.Invoke(nullptr));
    EXPECT_EQ((std::vector<int>{1, 2, 3}), r.calls);
}

}  // namespace
