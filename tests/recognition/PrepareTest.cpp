// Source preparation with the real converter and companion tools on a
// generated noisy recording: the four option combinations with their measured
// effects, each failing step at its result code, and the pace of the workers.
#include "Win32Prelude.h"
#include "UserHttpLib.h"

#include "CData.h"
#include "CTaskManager.h"
#include "CWorkTask.h"
#include "TestSupport.h"

#include "AppPaths.h"
#include "PubUtils.h"
#include "StringUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kSourceRate = 44100;  // the converter has to resample it
constexpr int kWavRate = 16000;
constexpr double kLeadSeconds = 1.0;
constexpr double kToneSeconds = 0.32;
constexpr double kGapSeconds = 0.4;
constexpr int kToneCount = 12;
constexpr int kTonePeak = 16384;
constexpr int kNoisePeak = 2000;
constexpr DWORD kStaleLead = 4000;
constexpr DWORD kStaleTicks = 400;
const wchar_t kChildVariable[] = L"VANTORIN_PREP_CHILD";
const wchar_t kSourceVariable[] = L"VANTORIN_PREP_SOURCE";

double ToneStart(int tone)
{
    return kLeadSeconds + tone * (kToneSeconds + kGapSeconds);
}

// Sines between 600 and 3600 Hz separated by silence, all under white noise.
WavData MakeNoisyRecording()
{
    WavData wav;
    wav.sampleRate = kSourceRate;
    wav.channels = 1;
    const double seconds = ToneStart(kToneCount) + kLeadSeconds;
    wav.samples.resize(static_cast<size_t>(seconds * kSourceRate));
    uint32_t seed = 12345;
    for (size_t i = 0; i < wav.samples.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        double value = static_cast<double>(seed >> 16) / 65535.0 * 2 * kNoisePeak - kNoisePeak;
        const double t = static_cast<double>(i) / kSourceRate;
        for (int tone = 0; tone < kToneCount; ++tone) {
            if (t >= ToneStart(tone) && t < ToneStart(tone) + kToneSeconds) {
                const double frequency = 600 + (tone % 6) * 600;
                value += kTonePeak * std::sin(2 * kPi * frequency * (t - ToneStart(tone)));
            }
        }
        wav.samples[i] = static_cast<int16_t>(std::lround(value));
    }
    return wav;
}

size_t At(double seconds)
{
    return static_cast<size_t>(seconds * kWavRate);
}

// RMS of the silent stretches, away from the tones' edges; the first gaps
// are skipped while a denoiser is still learning the noise.
double NoiseFloor(const WavData& wav)
{
    double sum = 0;
    int count = 0;
    for (int tone = 3; tone < kToneCount; ++tone) {
        const double gapStart = ToneStart(tone - 1) + kToneSeconds;
        sum += Rms(wav.samples, At(gapStart + 0.1), At(ToneStart(tone) - 0.1));
        ++count;
    }
    return sum / count;
}

double ToneLevel(const WavData& wav)
{
    double sum = 0;
    for (int tone = 3; tone < kToneCount; ++tone)
        sum += Rms(wav.samples, At(ToneStart(tone) + 0.05), At(ToneStart(tone) + kToneSeconds - 0.05));
    return sum / (kToneCount - 3);
}

std::wstring ExeDirW()
{
    return AnsiToWide(GetExeDir());
}

// Runs the converter over a parameter line; true when it wrote output. A
// failure says how the converter ended, so a rare one can be told apart from
// a missing or unreadable input.
bool Convert(const std::string& parameters, const std::string& output)
{
    DeleteFileA(output.c_str());
    const int exitCode = RunAndWait(ExeDirW() + L"\\ffmpeg.exe", L"-loglevel error " + AnsiToWide(parameters), 60000);
    if (exitCode == 0 && FileExists(output))
        return true;
    std::printf("ffmpeg %s: exit code %d (-1: not started or still running), output %s\n", parameters.c_str(), exitCode,
                FileExists(output) ? "written" : "missing");
    return false;
}

// Decodes an MP3 file to 16-bit samples as they are, channels and rate kept.
bool DecodeMp3(const std::string& mp3, WavData* wav)
{
    const std::string wavPath = mp3 + ".decoded.wav";
    return Convert("-y -i \"" + mp3 + "\" -acodec pcm_s16le \"" + wavPath + "\"", wavPath) && ReadWav(wavPath, wav);
}

void ReleaseUserRecord(const PostedMessage& posted)
{
    if (posted.message != WM_USER_COMMAND)
        return;
    if (CUserhttplib* client = CData::GetInstance()->GetUserlib())
        client->ReleaseRecord(static_cast<unsigned>(posted.wParam), reinterpret_cast<UserlibRecord*>(posted.lParam));
}

// The data object posts to this window as the main window.
MessageWindow* MainWindow()
{
    static MessageWindow* window = [] {
        // No user service in these tests, and no address outside this machine.
        WriteConfigString(USERLIB_URL_KEY, L"http://127.0.0.1:1");
        auto* made = new MessageWindow;
        made->SetHandler(&ReleaseUserRecord);
        CData::GetInstance()->InitUserlib(made->Handle());
        return made;
    }();
    return window;
}

std::vector<CWorkTask*> TaskResults()
{
    std::vector<CWorkTask*> tasks;
    for (const PostedMessage& posted : MainWindow()->Received(WM_USER_TASK_RESULT))
        tasks.push_back(reinterpret_cast<CWorkTask*>(posted.wParam));
    return tasks;
}

// Queues one file, ticks once and waits for its result message.
CWorkTask* Prepare(CTaskManager& manager, const std::string& source, bool denoise, bool raiseVolume)
{
    MainWindow()->Clear();
    manager.AddTask(source, denoise, raiseVolume);
    manager.OnTimer();
    if (!PumpUntil([] { return !TaskResults().empty(); }, 120000))
        return nullptr;
    return TaskResults().front();
}

std::string NoisySourcePath()
{
    static const std::string path = [] {
        const std::string made = GetTempDir() + "\\" + WideToAnsi(L"嘈杂的 录音 样本.wav");
        WriteWav(made, MakeNoisyRecording());
        return made;
    }();
    return path;
}

std::string EnvironmentText(const wchar_t* name)
{
    wchar_t value[1024] = {};
    const DWORD length = GetEnvironmentVariableW(name, value, 1024);
    return length > 0 && length < 1024 ? WideToAnsi(value) : std::string();
}

}  // namespace

TEST(PrepareParameters, LongGbkPathsAreNeverCut)
{
    const std::string folder = "C:\\" + WideToAnsi(std::wstring(300, L'录'));
    const std::string source = folder + "\\a.wav";
    const std::string wav = folder + "\\b.wav";
    EXPECT_EQ("-y -i \"" + source + "\" -acodec pcm_s16le -ac 1 -ar 16000 \"" + wav + "\"",
              CWorkTask::WavParameters(source, wav));
    EXPECT_EQ("\"" + source + "\" \"" + wav + "\"", CWorkTask::DenoiseParameters(source, wav));
    EXPECT_EQ("-y -i \"" + source + "\" -acodec libmp3lame -ac 2 -ar 48000 -b:a 128k \"" + wav + "\"",
              CWorkTask::Mp3Parameters(source, wav));
    EXPECT_EQ("/c /r /q \"" + wav + "\"", CWorkTask::GainParameters(wav));
}

TEST(Prepare, FourOptionCombinations)
{
    struct Case {
        bool denoise;
        bool raiseVolume;
    };
    CTaskManager manager;
    const std::string source = NoisySourcePath();
    for (const Case& c : {Case{false, false}, Case{true, false}, Case{false, true}, Case{true, true}}) {
        SCOPED_TRACE(std::string("denoise ") + (c.denoise ? "on" : "off") + ", volume " +
                     (c.raiseVolume ? "on" : "off"));
        CWorkTask* task = Prepare(manager, source, c.denoise, c.raiseVolume);
        ASSERT_NE(nullptr, task);
        EXPECT_EQ(0, task->GetResult());
        const TaskRequest request = task->GetRequest();
        EXPECT_EQ(source, request.sourcePath);

        WavData wav;
        ASSERT_TRUE(ReadWav(request.wavPath, &wav));
        EXPECT_EQ(kWavRate, wav.sampleRate);
        EXPECT_EQ(1, wav.channels);
        ASSERT_GT(wav.samples.size(), At(ToneStart(kToneCount)));
        WavData processed;
        ASSERT_TRUE(ReadWav(request.processedWavPath, &processed));
        EXPECT_EQ(request.wavPath.substr(0, request.wavPath.size() - 4) + "out.wav", request.processedWavPath);

        const double noiseBefore = NoiseFloor(wav);
        const double noiseAfter = NoiseFloor(processed);
        if (c.denoise) {
            EXPECT_LT(noiseAfter, noiseBefore * 0.5) << noiseBefore << " -> " << noiseAfter;
            EXPECT_GT(ToneLevel(processed), ToneLevel(wav) * 0.5);
            std::printf("noise floor %.1f -> %.1f, tones %.1f -> %.1f\n", noiseBefore, noiseAfter, ToneLevel(wav),
                        ToneLevel(processed));
        } else {
            EXPECT_EQ(ReadFileBytes(request.wavPath), ReadFileBytes(request.processedWavPath));
        }

        const std::string mp3 = request.wavPath.substr(0, request.wavPath.size() - 4) + ".mp3";
        if (!c.raiseVolume) {
            EXPECT_EQ(request.processedWavPath, request.outputPath);
            EXPECT_FALSE(FileExists(mp3));
            continue;
        }
        EXPECT_EQ(mp3, request.outputPath);
        // The same MP3 without the gain tool is the measure of its effect.
        const std::string reference = GetTempDir() + "\\reference.mp3";
        ASSERT_TRUE(Convert(CWorkTask::Mp3Parameters(request.processedWavPath, reference), reference));
        WavData plain;
        WavData louder;
        ASSERT_TRUE(DecodeMp3(reference, &plain));
        ASSERT_TRUE(DecodeMp3(request.outputPath, &louder));
        EXPECT_EQ(2, louder.channels);
        EXPECT_EQ(48000, louder.sampleRate);
        const double rmsBefore = Rms(plain.samples, 0, plain.samples.size());
        const double rmsAfter = Rms(louder.samples, 0, louder.samples.size());
        // The recording is already near the gain tool's loudness target, so
        // the gain is small (about +5 %), but it must be there.
        EXPECT_GT(rmsAfter, rmsBefore * 1.02);
        EXPECT_LT(Peak(louder.samples), 32767);
        std::printf("rms %.1f -> %.1f, peak %d -> %d\n", rmsBefore, rmsAfter, Peak(plain.samples),
                    Peak(louder.samples));
    }
}

// Runs one preparation in a copy of this program placed in a folder with only
// the given tools, since the tools are looked for beside the program.
TEST(Prepare, FailingStepsGiveTheirResultCodes)
{
    struct Tool {
        const wchar_t* from;
        const wchar_t* as;
    };
    struct Case {
        const char* name;
        std::vector<Tool> tools;
        bool missingSource;
        bool denoise;
        bool raiseVolume;
        int expected;
        // Leaves old files where the failing step writes, which must not
        // pass for its output.
        bool stale;
    };
    const Tool converter = {L"ffmpeg.exe", L"ffmpeg.exe"};
    const Tool denoiser = {L"vantorinaudio.exe", L"vantorinaudio.exe"};
    const Case cases[] = {
        {"no converter", {}, false, false, false, 1, false},
        {"no converter, old WAV files", {}, false, false, false, 1, true},
        {"source missing", {converter}, true, false, false, 1, false},
        {"no denoise tool", {converter}, false, true, false, 2, false},
        {"no denoise tool, old denoised files", {converter}, false, true, false, 2, true},
        {"copy target blocked", {{L"prepfake.exe", L"ffmpeg.exe"}}, false, false, false, 3, false},
        {"denoised file is no audio",
         {converter, {L"prepfake.exe", L"vantorinaudio.exe"}},
         false,
         true,
         true,
         4,
         false},
        {"denoised file is no audio, old MP3 files",
         {converter, {L"prepfake.exe", L"vantorinaudio.exe"}},
         false,
         true,
         true,
         4,
         true},
        {"no gain tool: its outcome is not checked", {converter, denoiser}, false, true, true, 0, false},
    };
    const std::wstring bin = ExeDirW();
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring folder = bin + L"\\prepchild" + std::to_wstring(index++);
        CreateDirectoryW(folder.c_str(), nullptr);
        for (const wchar_t* name : {L"ffmpeg.exe", L"vantorinaudio.exe", L"vantoringain.exe"})
            DeleteFileW((folder + L"\\" + name).c_str());
        ASSERT_TRUE(CopyFileW(self, (folder + L"\\prepchild.exe").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW((bin + L"\\userhttplib.dll").c_str(), (folder + L"\\userhttplib.dll").c_str(), FALSE));
        for (const Tool& tool : c.tools)
            ASSERT_TRUE(CopyFileW((bin + L"\\" + tool.from).c_str(), (folder + L"\\" + tool.as).c_str(), FALSE));

        const std::string source = c.missingSource ? GetTempDir() + "\\no such file.wav" : NoisySourcePath();
        const std::string mode = std::string(c.denoise ? "1" : "0") + " " + (c.raiseVolume ? "1" : "0") + " " +
                                 std::to_string(c.expected) + " " + (c.stale ? "1" : "0");
        SetEnvironmentVariableW(kChildVariable, AnsiToWide(mode).c_str());
        SetEnvironmentVariableW(kSourceVariable, AnsiToWide(source).c_str());
        EXPECT_EQ(0, RunAndWait(folder + L"\\prepchild.exe", L"--gtest_filter=PrepareChild.*", 180000));
        SetEnvironmentVariableW(kChildVariable, nullptr);
    }
}

// The child side of the test above; skipped in a normal run.
TEST(PrepareChild, OnePreparation)
{
    const std::string mode = EnvironmentText(kChildVariable);
    if (mode.empty())
        GTEST_SKIP() << "runs only as a child of FailingStepsGiveTheirResultCodes";
    int denoise = 0;
    int raiseVolume = 0;
    int expected = -1;
    int stale = 0;
    ASSERT_EQ(4, sscanf(mode.c_str(), "%d %d %d %d", &denoise, &raiseVolume, &expected, &stale));
    // The temporary files are named after the tick count: old files for every
    // tick of a stretch a little ahead are made, and the run starts in it.
    const DWORD firstStale = GetTickCount() + kStaleLead;
    std::vector<std::string> planted;
    if (stale) {
        const char* suffix = expected == 1 ? ".wav" : expected == 2 ? "out.wav" : ".mp3";
        for (DWORD tick = firstStale; tick < firstStale + kStaleTicks; ++tick) {
            planted.push_back(GetTempDir() + "\\" + std::to_string(tick) + suffix);
            WriteWav(planted.back(), WavData{kWavRate, 1, std::vector<int16_t>(1600, 1000)});
        }
        ASSERT_LT(GetTickCount(), firstStale) << "the old files took too long to make";
        while (GetTickCount() < firstStale)
            Sleep(1);
    }
    CTaskManager manager;
    CWorkTask* task = Prepare(manager, EnvironmentText(kSourceVariable), denoise != 0, raiseVolume != 0);
    for (const std::string& path : planted)
        DeleteFileA(path.c_str());
    ASSERT_NE(nullptr, task);
    if (stale) {
        const std::string wav = task->GetRequest().wavPath;
        const DWORD stem = strtoul(wav.substr(wav.rfind('\\') + 1).c_str(), nullptr, 10);
        ASSERT_LT(stem - firstStale, kStaleTicks) << "the run did not meet the old files";
    }
    EXPECT_EQ(1u, TaskResults().size());
    EXPECT_EQ(expected, task->GetResult());
    const TaskRequest request = task->GetRequest();
    if (expected == 0) {
        EXPECT_TRUE(FileExists(request.outputPath));
    } else if (expected == 1) {
        EXPECT_FALSE(FileExists(request.wavPath));
    } else if (expected == 2) {
        EXPECT_FALSE(FileExists(request.processedWavPath));
    }
}

TEST(PrepareSchedule, OneStartPerTick)
{
    CTaskManager manager;
    const std::string missing = GetTempDir() + "\\missing ";
    MainWindow()->Clear();
    for (int i = 0; i < 3; ++i)
        manager.AddTask(missing + std::to_string(i) + ".wav", false, false);
    EXPECT_EQ(0, manager.GetRunning());
    PumpFor(300);
    EXPECT_TRUE(TaskResults().empty()) << "nothing starts before a tick";

    for (size_t tick = 1; tick <= 3; ++tick) {
        manager.OnTimer();
        ASSERT_TRUE(PumpUntil([&] { return TaskResults().size() >= tick; }, 60000));
        PumpFor(300);
        ASSERT_EQ(tick, TaskResults().size());
        CWorkTask* task = TaskResults().back();
        EXPECT_EQ(missing + std::to_string(tick - 1) + ".wav", task->GetRequest().sourcePath);
        EXPECT_EQ(1, task->GetResult());
    }
    EXPECT_EQ(0, manager.GetRunning());
    manager.OnTimer();
    PumpFor(300);
    EXPECT_EQ(3u, TaskResults().size());
}

// What became of each worker a manager made, kept where the test can read it
// once the worker is gone: the manager frees its workers itself.
struct WorkerFate {
    CWorkTask* worker = nullptr;
    std::atomic<bool> freed{false};
    // Whether its run was over when it was freed, and its result then.
    bool endedWhenFreed = false;
    int resultWhenFreed = CWorkTask::kNotRun;
};
using WorkerFates = std::vector<std::unique_ptr<WorkerFate>>;

class NotedWorkTask : public CWorkTask {
public:
    explicit NotedWorkTask(WorkerFate* fate) : fate_(fate) { fate_->worker = this; }
    ~NotedWorkTask() override
    {
        fate_->endedWhenFreed = HasEnded();
        fate_->resultWhenFreed = GetResult();
        fate_->freed = true;
    }

private:
    WorkerFate* fate_;
};

// Hands out workers that note their free in fates, one entry per worker.
class NotingTaskManager : public CTaskManager {
public:
    explicit NotingTaskManager(WorkerFates* fates) : fates_(fates) {}

protected:
    CWorkTask* NewWorkTask() override
    {
        fates_->push_back(std::make_unique<WorkerFate>());
        return new NotedWorkTask(fates_->back().get());
    }

private:
    WorkerFates* fates_;
};

TEST(PrepareSchedule, NeverMoreThanTheWorkerCount)
{
    WorkerFates fates;
    NotingTaskManager manager(&fates);
    const int limit = GetWorkerCount();
    const size_t total = static_cast<size_t>(limit) + 3;
    MainWindow()->Clear();
    for (size_t i = 0; i < total; ++i)
        manager.AddTask(NoisySourcePath(), true, false);
    for (size_t i = 0; i < total; ++i)
        manager.OnTimer();
    EXPECT_EQ(limit, manager.GetRunning());

    int most = 0;
    ASSERT_TRUE(PumpUntil(
        [&] {
            manager.OnTimer();
            const int running = manager.GetRunning();
            most = running > most ? running : most;
            return TaskResults().size() == total;
        },
        300000));
    EXPECT_LE(most, limit);
    EXPECT_EQ(0, manager.GetRunning());
    // No end has been read, so every worker is still there to be read, the
    // ones replaced by a later start of the same source too.
    ASSERT_EQ(total, fates.size());
    for (const auto& fate : fates)
        ASSERT_FALSE(fate->freed) << "a worker was freed while its end was still unread";
    for (CWorkTask* task : TaskResults())
        EXPECT_EQ(0, task->GetResult());
    // Every worker had temporary files of its own.
    std::vector<std::string> outputs;
    for (CWorkTask* task : TaskResults())
        outputs.push_back(task->GetRequest().outputPath);
    std::sort(outputs.begin(), outputs.end());
    EXPECT_EQ(outputs.end(), std::adjacent_find(outputs.begin(), outputs.end()));
}

// A worker goes once nothing can read it: once its posted end has been read,
// or with its manager. Two starts of one source (two rows whose names become
// one path in the code page) can meet with the first end still unread.
TEST(PrepareSchedule, AWorkerIsFreedOnceNothingCanReadIt)
{
    const std::string twice = GetTempDir() + "\\missing twice.wav";
    MainWindow()->Clear();
    WorkerFates fates;
    {
        NotingTaskManager manager(&fates);
        manager.AddTask(twice, false, false);
        manager.OnTimer();
        ASSERT_TRUE(PumpUntil([&] { return TaskResults().size() == 1 && manager.GetRunning() == 0; }, 60000));
        manager.AddTask(twice, false, false);
        manager.OnTimer();
        ASSERT_FALSE(fates[0]->freed) << "freed while its end was on its way";
        CWorkTask* first = TaskResults()[0];
        EXPECT_EQ(twice, first->GetRequest().sourcePath);
        EXPECT_EQ(CWorkTask::kWavFailed, first->GetResult());
        manager.ResultTaken(first);
        EXPECT_TRUE(fates[0]->freed) << "kept once its end was read";

        // The last worker of a source stays listed after its end was read.
        ASSERT_TRUE(PumpUntil([&] { return TaskResults().size() == 2 && manager.GetRunning() == 0; }, 60000));
        manager.ResultTaken(TaskResults()[1]);
        EXPECT_FALSE(fates[1]->freed);
        // An end that is never read (the window went first).
        manager.AddTask(GetTempDir() + "\\missing unread.wav", false, false);
        manager.OnTimer();
        ASSERT_TRUE(PumpUntil([&] { return TaskResults().size() == 3 && manager.GetRunning() == 0; }, 60000));
        // An end while the program is closing: nothing is posted.
        CData::GetInstance()->SetExiting(true);
        manager.AddTask(GetTempDir() + "\\missing closing.wav", false, false);
        manager.OnTimer();
        ASSERT_EQ(4u, fates.size());
        const bool ended = PumpUntil([&] { return fates[3]->worker->HasEnded(); }, 60000);
        CData::GetInstance()->SetExiting(false);
        ASSERT_TRUE(ended);
        EXPECT_EQ(3u, TaskResults().size());
        EXPECT_EQ(3, manager.GetKeptWorkers());
        for (size_t i = 1; i < fates.size(); ++i)
            EXPECT_FALSE(fates[i]->freed) << "worker " << i << " went before its manager";
    }
    for (size_t i = 1; i < fates.size(); ++i) {
        EXPECT_TRUE(fates[i]->freed) << "worker " << i << " outlived its manager";
        if (fates[i]->freed) {
            EXPECT_TRUE(fates[i]->endedWhenFreed) << "worker " << i << " was freed while it ran";
        }
    }
}

TEST(PrepareSchedule, ClosingStopsWaitingAndSilencesLateEnds)
{
    MainWindow()->Clear();
    WorkerFates fates;
    {
        NotingTaskManager manager(&fates);
        manager.AddTask(NoisySourcePath(), true, true);
        manager.AddTask(NoisySourcePath(), false, false);
        manager.OnTimer();
        CData::GetInstance()->SetExiting(true);
    }
    ASSERT_EQ(1u, fates.size());
    const WorkerFate& fate = *fates[0];
    // A worker whose run was over within the manager's wait went with it;
    // one that outlived the wait runs on and is left to itself. The flag
    // stays set until its callback is over, or that callback would reach the
    // deleted manager.
    if (fate.freed) {
        EXPECT_TRUE(fate.endedWhenFreed) << "freed while its thread still ran";
    } else {
        ASSERT_TRUE(PumpUntil([&] { return fate.worker->HasEnded(); }, 300000));
    }
    EXPECT_EQ(0, fate.freed ? fate.resultWhenFreed : fate.worker->GetResult());
    PumpFor(50);
    CData::GetInstance()->SetExiting(false);
    EXPECT_TRUE(TaskResults().empty());
}
