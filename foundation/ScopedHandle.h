#pragma once
// One owner per kind of system handle: each closes its handle exactly once, on
// destruction or reset, and can be moved but not copied.
#include "Win32Prelude.h"

#include <utility>

template <typename Traits>
class ScopedResource {
public:
    using Value = typename Traits::Value;

    ScopedResource() = default;
    explicit ScopedResource(Value value) : value_(value) {}
    ~ScopedResource() { reset(); }

    ScopedResource(const ScopedResource&) = delete;
    ScopedResource& operator=(const ScopedResource&) = delete;
    ScopedResource(ScopedResource&& other) noexcept : value_(other.release()) {}
    ScopedResource& operator=(ScopedResource&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Value get() const { return value_; }
    bool valid() const { return Traits::IsValid(value_); }
    explicit operator bool() const { return valid(); }

    Value release()
    {
        Value value = value_;
        value_ = Traits::Invalid();
        return value;
    }

    void reset(Value value = Traits::Invalid())
    {
        if (Traits::IsValid(value_))
            Traits::Close(value_);
        value_ = value;
    }

private:
    Value value_ = Traits::Invalid();
};

// Kernel objects: processes, threads, events, mutexes, files. Both null and
// INVALID_HANDLE_VALUE mean "no handle", since the API uses either.
struct KernelHandleTraits {
    using Value = HANDLE;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr && v != INVALID_HANDLE_VALUE; }
    static void Close(Value v) { CloseHandle(v); }
};

struct FindHandleTraits {
    using Value = HANDLE;
    static Value Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Value v) { return v != nullptr && v != INVALID_HANDLE_VALUE; }
    static void Close(Value v) { FindClose(v); }
};

struct RegKeyTraits {
    using Value = HKEY;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { RegCloseKey(v); }
};

struct ModuleTraits {
    using Value = HMODULE;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { FreeLibrary(v); }
};

struct GdiObjectTraits {
    using Value = HGDIOBJ;
    static Value Invalid() { return nullptr; }
    static bool IsValid(Value v) { return v != nullptr; }
    static void Close(Value v) { DeleteObject(v); }
};

using ScopedHandle = ScopedResource<KernelHandleTraits>;
using ScopedFindHandle = ScopedResource<FindHandleTraits>;
using ScopedRegKey = ScopedResource<RegKeyTraits>;
using ScopedModule = ScopedResource<ModuleTraits>;
using ScopedGdiObject = ScopedResource<GdiObjectTraits>;
