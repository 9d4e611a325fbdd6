#pragma once
// A fixture for tests whose pipeline posts to a message-only window that
// stands in for the main window, with the speech stand-in ready for a REST
// run.
#include "Win32Prelude.h"
#include "UserHttpLib.h"

#include "CData.h"
#include "PipelineSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

class PipelineWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // No user service here, and no address outside this machine.
        WriteConfigString(USERLIB_URL_KEY, L"http://127.0.0.1:1");
        window_ = new MessageWindow;
        CData::GetInstance()->InitUserlib(window_->Handle());
    }

    void SetUp() override
    {
        ASSERT_NE(0, service_.Port()) << "speech stand-in not running";
        service_.PrepareRestRun();
        CData::GetInstance()->SetExiting(false);
        window_->Clear();
    }

    void TearDown() override { SpeechService::ForgetSettings(); }

    static inline MessageWindow* window_ = nullptr;
    SpeechService service_;
};
