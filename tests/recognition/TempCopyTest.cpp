// The copier's stop while its thread is held in a read: the stop returns
// within its bound, and nothing of the copy it was writing stays in Temp.
#include "TempCopy.h"

#include "AppPaths.h"
#include "ScopedHandle.h"
#include "StringUtils.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

namespace {

// Set once the copier's thread is inside its first block.
HANDLE g_inBlock = nullptr;
// What a held block waits on: a read the system can cancel (the reading end
// of a pipe nobody writes to), or an event no cancel reaches.
HANDLE g_pipeReader = nullptr;
HANDLE g_neverSet = nullptr;

bool PipeReadBlock(HANDLE, HANDLE to, char* buffer, DWORD size, DWORD* copied)
{
    *copied = 0;
    SetEvent(g_inBlock);
    DWORD got = 0, wrote = 0;
    if (!ReadFile(g_pipeReader, buffer, size, &got, nullptr))
        return false;
    if (!WriteFile(to, buffer, got, &wrote, nullptr) || wrote != got)
        return false;
    *copied = got;
    return true;
}

bool UncancellableBlock(HANDLE, HANDLE, char*, DWORD, DWORD* copied)
{
    *copied = 0;
    SetEvent(g_inBlock);
    WaitForSingleObject(g_neverSet, INFINITE);
    return false;
}

bool CanBeOpened(const std::string& path)
{
    const ScopedHandle file(CreateFileW(AnsiToWide(path).c_str(), GENERIC_READ,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    return file.valid();
}

TEST(TempCopierStop, EndsWithinItsBoundWhateverTheReadUnderWayDoes)
{
    struct Case {
        const char* name;
        CopyBlockFn block;
        // The read gives up when cancelled, so the thread itself ends.
        bool threadEnds;
    };
    const Case cases[] = {
        {"pipe read", &PipeReadBlock, true},
        {"uncancellable read", &UncancellableBlock, false},
    };
    const std::string source = GetTempDir() + "\\stop_source.wav";
    std::ofstream(source, std::ios::binary) << "bytes whose copy never gets its first block";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedHandle inBlock(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ScopedHandle neverSet(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        HANDLE reader = nullptr, writer = nullptr;
        ASSERT_TRUE(CreatePipe(&reader, &writer, nullptr, 0));
        const ScopedHandle pipeReader(reader), pipeWriter(writer);
        g_inBlock = inBlock.get();
        g_neverSet = neverSet.get();
        g_pipeReader = reader;
        SetCopyBlock(c.block);

        // Were the stop to wait for the block, it would wait for ever: the
        // helper lets the block go after a while, so that the test fails
        // instead of hanging.
        ScopedHandle stopped(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        std::thread rescue([&] {
            if (WaitForSingleObject(stopped.get(), 20000) == WAIT_TIMEOUT) {
                SetEvent(neverSet.get());
                DWORD wrote = 0;
                WriteFile(writer, "x", 1, &wrote, nullptr);
            }
        });

        std::atomic<int> ends{0};
        const std::string path = GetTempDir() + "\\src0_stop_" + std::to_string(&c - cases) + ".wav";
        std::shared_ptr<TempCopy> copy;
        ULONGLONG tookMs = 0;
        {
            TempCopier copier([&ends] { ++ends; });
            copy = copier.Start(source, path);
            ASSERT_NE(nullptr, copy);
            ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(inBlock.get(), 30000));
            EXPECT_TRUE(FileExists(path));
            const ULONGLONG before = GetTickCount64();
            copier.Stop();
            tookMs = GetTickCount64() - before;
            SetEvent(stopped.get());
            // What a later look in Temp could still find of the copy.
            EXPECT_FALSE(CanBeOpened(path));
            if (c.threadEnds) {
                EXPECT_FALSE(FileExists(path));
                EXPECT_EQ(TempCopy::State::kFailed, copy->GetState());
            }
        }
        rescue.join();
        std::printf("stop with a %s under way: %llu ms\n", c.name, tookMs);
        EXPECT_LE(tookMs, TempCopier::kStopWaitMs + 1000u);

        // A thread left behind goes on with the state it shares with the
        // copier that is gone, and deletes its file once let go.
        SetEvent(neverSet.get());
        EXPECT_TRUE(PumpUntil([&] { return copy->GetState() == TempCopy::State::kFailed; }, 10000));
        EXPECT_TRUE(PumpUntil([&] { return !FileExists(path); }, 10000));
        PumpFor(50);
        EXPECT_EQ(0, ends.load()) << "an end was told after the stop";
        SetCopyBlock(nullptr);
    }
    DeleteFileW(AnsiToWide(source).c_str());
}

}  // namespace
