#pragma once
// Scripted failures for tests, read from the environment variable
// LIBASR_FAULTS (see README.md).

enum class AsrCall {
    CreateService,
    SetOption,
    LoginService,
    StartRecognizer,
    FeedBuffer,
    StopRecognizer,
    ReleaseService,
    Count
};

// Counts this call and returns the failure the script gives it, or 0.
int ScriptedFailure(AsrCall call);
