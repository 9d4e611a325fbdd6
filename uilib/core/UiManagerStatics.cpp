// The process-wide part of the manager: module instance, trace callback,
// resource folder and resource zip, and the library's shared lists.
#include "UiManager.h"
#include "UiZip.h"

namespace UiLib {

namespace {

const wchar_t kMemoryZipName[] = L"membuffer";

}  // namespace

HINSTANCE CUiManager::instance_ = nullptr;
HINSTANCE CUiManager::resourceInstance_ = nullptr;
UiTraceProc CUiManager::traceProc_ = nullptr;
bool CUiManager::resourceZipCached_ = false;
ZipHandle* CUiManager::resourceZip_ = nullptr;
HPEN CUiManager::updatePen_ = nullptr;
short CUiManager::hue_ = 180;
short CUiManager::saturation_ = 100;
short CUiManager::lightness_ = 100;
// Constructed in this order before the program's entry point.
CUiPtrArray CUiManager::controlFactories_;
CUiPtrArray CUiManager::managers_;
CUiString CUiManager::defaultFontFace_;
CUiString CUiManager::resourcePath_;
CUiString CUiManager::resourceZipName_;

void CUiManager::SetInstance(HINSTANCE instance, UiTraceProc trace)
{
    instance_ = instance;
    traceProc_ = trace;
}

HINSTANCE CUiManager::GetInstance()
{
    return instance_;
}

HINSTANCE CUiManager::GetResourceInstance()
{
    return resourceInstance_ != nullptr ? resourceInstance_ : instance_;
}

CUiString CUiManager::GetInstanceFolder()
{
    if (instance_ == nullptr)
        return CUiString();
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(instance_, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return CUiString();
    CUiString folder(path, static_cast<int>(length));
    return folder.Left(folder.ReverseFind(L'\\') + 1);
}

UiTraceProc CUiManager::GetTraceProc()
{
    return traceProc_;
}

void CUiManager::SetResourcePath(const wchar_t* folder)
{
    resourcePath_ = folder;
    const int length = resourcePath_.GetLength();
    if (length == 0)
        return;
    const wchar_t last = resourcePath_.GetAt(length - 1);
    if (last != L'\\' && last != L'/')
        resourcePath_ += L'\\';
}

const CUiString& CUiManager::GetResourcePath()
{
    return resourcePath_;
}

void CUiManager::SetResourceZip(const wchar_t* zipName, bool keepOpen)
{
    if (resourceZipName_ == (zipName != nullptr ? zipName : L"") && resourceZipCached_ == keepOpen)
        return;
    CloseResourceZip();
    resourceZipName_ = zipName;
    resourceZipCached_ = keepOpen;
    if (keepOpen) {
        const CUiString path = resourcePath_ + resourceZipName_;
        resourceZip_ = ZipArchiveOpen(path.GetData(), 0, kZipFileName);
    }
}

void CUiManager::SetResourceZipMemory(const void* data, unsigned length)
{
    if (resourceZipName_ == kMemoryZipName)
        return;
    CloseResourceZip();
    resourceZipName_ = kMemoryZipName;
    resourceZipCached_ = true;
    resourceZip_ = ZipArchiveOpen(data, length, kZipMemory);
}

const CUiString& CUiManager::GetResourceZip()
{
    return resourceZipName_;
}

ZipHandle* CUiManager::GetResourceZipHandle()
{
    return resourceZip_;
}

bool CUiManager::IsResourceZipCached()
{
    return resourceZipCached_;
}

void CUiManager::CloseResourceZip()
{
    if (resourceZip_ != nullptr)
        ZipArchiveClose(resourceZip_);
    resourceZip_ = nullptr;
}

CUiPtrArray* CUiManager::GetControlFactories()
{
    return &controlFactories_;
}

void CUiManager::GetHsl(short* hue, short* saturation, short* lightness)
{
    *hue = hue_;
    *saturation = saturation_;
    *lightness = lightness_;
}

}  // namespace UiLib
