#include "UiPtrArray.h"
#include "UiRect.h"
#include "UiString.h"
#include "UiStringMap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>

using UiLib::CUiPtrArray;
using UiLib::CUiRect;
using UiLib::CUiStringMap;

namespace {

void* P(intptr_t v)
{
    return reinterpret_cast<void*>(v);
}

TEST(UiPtrArray, GrowsInsertsAndRemoves)
{
    CUiPtrArray a;
    for (intptr_t i = 1; i <= 30; ++i)
        ASSERT_TRUE(a.Add(P(i)));
    EXPECT_EQ(30, a.GetSize());
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(P(i + 1), a[i]);

    EXPECT_TRUE(a.InsertAt(30, P(100)));   // at the end: as Add
    EXPECT_FALSE(a.InsertAt(32, P(101)));  // past the end
    EXPECT_FALSE(a.InsertAt(-1, P(101)));
    EXPECT_TRUE(a.InsertAt(0, P(200)));
    EXPECT_EQ(P(200), a.GetAt(0));
    EXPECT_EQ(P(1), a.GetAt(1));
    EXPECT_EQ(32, a.GetSize());
    EXPECT_EQ(31, a.Find(P(100)));
    EXPECT_EQ(-1, a.Find(P(999)));
    EXPECT_EQ(nullptr, a.GetAt(32));
    EXPECT_EQ(nullptr, a.GetAt(-1));

    EXPECT_TRUE(a.Remove(0));
    EXPECT_FALSE(a.Remove(31));
    EXPECT_FALSE(a.Remove(-1));
    EXPECT_EQ(P(1), a[0]);

    CUiPtrArray copy(a);
    EXPECT_EQ(a.GetSize(), copy.GetSize());
    EXPECT_EQ(a[30], copy[30]);

    a.Resize(5);
    EXPECT_EQ(5, a.GetSize());
    EXPECT_EQ(nullptr, a[4]);
    a.Empty();
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_TRUE(a.Add(P(7)));
}

TEST(UiRect, GeometryHelpers)
{
    CUiRect r(10, 20, 110, 70);
    EXPECT_EQ(100, r.GetWidth());
    EXPECT_EQ(50, r.GetHeight());
    r.Deflate(5, 10);
    EXPECT_EQ(CUiRect(15, 30, 105, 60).left, r.left);
    EXPECT_EQ(60, r.bottom);
    r.MoveToOrigin();
    EXPECT_EQ(0, r.left);
    EXPECT_EQ(0, r.top);
    EXPECT_EQ(90, r.right);
    EXPECT_EQ(30, r.bottom);
    r.Union(CUiRect(-5, 40, -5, 40));  // empty, still joined
    EXPECT_EQ(-5, r.left);
    EXPECT_EQ(40, r.bottom);
    RECT plain = r;
    EXPECT_TRUE(EqualRect(&plain, &r));
}

TEST(UiStringMap, InsertSetAndMinimumBuckets)
{
    CUiStringMap map(4);  // raised to 16 buckets
    EXPECT_EQ(nullptr, map.Find(L"a"));
    EXPECT_TRUE(map.Insert(L"a", P(1)));
    EXPECT_FALSE(map.Insert(L"a", P(2)));
    EXPECT_EQ(P(1), map.Find(L"a"));
    EXPECT_EQ(P(1), map.Set(L"a", P(3)));
    EXPECT_EQ(P(3), map.Find(L"a"));
    EXPECT_EQ(nullptr, map.Set(L"b", P(4)));
    EXPECT_EQ(2, map.GetSize());

    // Keys "a" and "q" share a bucket among 16 ("q" = "a" + 16).
    EXPECT_TRUE(map.Insert(L"q", P(5)));
    EXPECT_EQ(UiLib::UiStringHash(L"a") % 16, UiLib::UiStringHash(L"q") % 16);
    EXPECT_EQ(P(3), map.Find(L"a"));
    EXPECT_EQ(P(5), map.Find(L"q"));
    EXPECT_TRUE(map.Remove(L"a"));
    EXPECT_FALSE(map.Remove(L"a"));
    EXPECT_EQ(P(5), map.Find(L"q"));
    EXPECT_EQ(nullptr, map.GetKeyAt(2));

    map.Resize(0);
    EXPECT_FALSE(map.Insert(L"x", P(1)));
    EXPECT_EQ(P(9), map.Set(L"x", P(9)));
    map.Resize(-3);
    EXPECT_EQ(0, map.GetSize());
}

TEST(UiStringMap, AgreesWithStdMapUnderRandomOperations)
{
    // 16 buckets for 400 keys: long chains, and move-to-front reorders them.
    CUiStringMap map(16);
    std::map<std::wstring, intptr_t> model;
    std::mt19937 rng(20240611);
    for (int step = 0; step < 20000; ++step) {
        const std::wstring key =
            L"key" + std::to_wstring(rng() % 400) + (rng() % 3 == 0 ? std::wstring(70, L'~') : L"");
        const intptr_t value = static_cast<intptr_t>(rng() % 1000) + 1;
        switch (rng() % 5) {
        case 0: {
            const bool inserted = map.Insert(key.c_str(), P(value));
            EXPECT_EQ(model.count(key) == 0, inserted);
            if (inserted)
                model[key] = value;
            break;
        }
        case 1: {
            auto it = model.find(key);
            void* old = map.Set(key.c_str(), P(value));
            EXPECT_EQ(it == model.end() ? nullptr : P(it->second), old);
            model[key] = value;
            break;
        }
        case 2:
            EXPECT_EQ(model.erase(key) == 1, map.Remove(key.c_str()));
            break;
        default: {
            auto it = model.find(key);
            EXPECT_EQ(it == model.end() ? nullptr : P(it->second), map.Find(key.c_str(), rng() % 2 == 0));
            break;
        }
        }
        ASSERT_EQ(static_cast<int>(model.size()), map.GetSize());
    }
    std::map<std::wstring, int> listed;
    for (int i = 0; i < map.GetSize(); ++i)
        ++listed[map.GetKeyAt(i)];
    ASSERT_EQ(model.size(), listed.size());
    for (const auto& entry : model)
        EXPECT_EQ(1, listed[entry.first]);
    map.RemoveAll();
    EXPECT_EQ(0, map.GetSize());
    EXPECT_EQ(nullptr, map.Find(L"key1"));
}

}  // namespace
