// A generated three-minute recording with known words goes through the real
// ffmpeg.exe and the speech stand-in and comes back as those words in order.
#include "CSpeechClient.h"

#include "AppPaths.h"
#include "CAudioConvert.h"
#include "CData.h"
#include "PipelineSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(EndToEnd, ThreeMinuteRecordingComesBackAsItsWordsInOrder)
{
    SpeechService service;
    ASSERT_NE(0, service.Port()) << "speech stand-in not running";
    service.PrepareRestRun();
    MessageWindow window;
    CData::GetInstance()->InitUserlib(window.Handle());

    // Written by make_speech.py before this test runs.
    const std::string source = GetExeDir() + "\\pipeline_speech180.wav";
    const std::string expected = ReadFileBytes(GetExeDir() + "\\pipeline_speech180.txt");
    ASSERT_FALSE(expected.empty());

    CAudioConvert convert;
    ASSERT_TRUE(convert.AddTask(source, 180, source));
    ASSERT_TRUE(PumpUntil(
        [&] {
            convert.OnTimer();
            return window.Received(WM_USER_AUDIO_RESULT).size() >= 4;
        },
        180000));
    const std::vector<AudioPiece*> pieces = convert.GetFilePieces(source);
    ASSERT_EQ(4u, pieces.size());
    std::string text;
    for (AudioPiece* piece : pieces) {
        EXPECT_EQ(0, piece->code.load()) << piece->GetMessageText();
        text += piece->GetText();
    }
    EXPECT_EQ(expected, text);
    EXPECT_EQ(4, service.RecognizeRequests());
    EXPECT_TRUE(PumpUntil([&] { return convert.GetRunning() == 0; }, 30000));
    SpeechService::ForgetSettings();
}

}  // namespace
