#pragma once
// Settings a test points elsewhere for its run: each key gets its old value
// back afterwards, or is removed again when it was not there before, so the
// shared settings file is left as the test found it.
#include "AppPaths.h"

#include "Win32Prelude.h"

#include <string>
#include <utility>
#include <vector>

namespace AppTest {

class ScopedSettings {
public:
    ScopedSettings() = default;
    ~ScopedSettings()
    {
        for (auto saved = saved_.rbegin(); saved != saved_.rend(); ++saved) {
            if (saved->present)
                WriteConfigString(saved->key, saved->value);
            else
                WritePrivateProfileStringW(L"Vantorin", saved->key.c_str(), nullptr, GetConfigPath(false).c_str());
        }
    }
    ScopedSettings(const ScopedSettings&) = delete;
    ScopedSettings& operator=(const ScopedSettings&) = delete;

    void Set(const std::wstring& key, const std::wstring& value)
    {
        // No value the program stores holds a control character, so this
        // default marks a missing key.
        const wchar_t* const missing = L"\x01missing";
        const std::wstring old = ReadConfigString(key, missing, 512);
        saved_.push_back(Saved{key, old, old != missing});
        WriteConfigString(key, value);
    }

private:
    struct Saved {
        std::wstring key;
        std::wstring value;
        bool present;
    };
    std::vector<Saved> saved_;
};

}  // namespace AppTest
