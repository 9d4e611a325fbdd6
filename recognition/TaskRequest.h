#pragma once
// One source file waiting for, or going through, preparation.
#include <string>

struct TaskRequest {
    std::string sourcePath;
    // Filled in by the worker, all in the Temp folder.
    std::string wavPath;
    std::string processedWavPath;
    // The file that is cut into pieces afterwards.
    std::string outputPath;
    bool denoise = false;
    bool raiseVolume = false;
};
