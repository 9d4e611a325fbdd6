#include "UiPtrArray.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace UiLib {

namespace {

const int kFirstCapacity = 11;

}  // namespace

CUiPtrArray::CUiPtrArray(int preallocate) : items_(nullptr), count_(0), capacity_(0)
{
    if (preallocate > 0) {
        items_ = static_cast<void**>(malloc(static_cast<size_t>(preallocate) * sizeof(void*)));
        if (items_ != nullptr)
            capacity_ = preallocate;
    }
}

CUiPtrArray::CUiPtrArray(const CUiPtrArray& other) : items_(nullptr), count_(0), capacity_(0)
{
    for (int i = 0; i < other.count_; ++i)
        Add(other.items_[i]);
}

CUiPtrArray& CUiPtrArray::operator=(const CUiPtrArray& other)
{
    if (this != &other) {
        Empty();
        for (int i = 0; i < other.count_; ++i)
            Add(other.items_[i]);
    }
    return *this;
}

CUiPtrArray::~CUiPtrArray()
{
    free(items_);
}

// Doubles the slots once the new count reaches the capacity, so that a spare
// slot always remains; the array is left as it was when that fails.
bool CUiPtrArray::GrowFor(int newCount)
{
    if (newCount < capacity_)
        return true;
    int capacity = capacity_ == 0 ? kFirstCapacity : capacity_;
    if (capacity_ != 0) {
        if (capacity_ > INT_MAX / 2)
            return false;
        capacity = capacity_ * 2;
    }
    void** items = static_cast<void**>(realloc(items_, static_cast<size_t>(capacity) * sizeof(void*)));
    if (items == nullptr)
        return false;
    items_ = items;
    capacity_ = capacity;
    return true;
}

bool CUiPtrArray::Add(void* element)
{
    if (count_ == INT_MAX || !GrowFor(count_ + 1))
        return false;
    items_[count_++] = element;
    return true;
}

bool CUiPtrArray::InsertAt(int index, void* element)
{
    if (index == count_)
        return Add(element);
    if (index < 0 || index > count_)
        return false;
    if (!GrowFor(count_ + 1))
        return false;
    memmove(items_ + index + 1, items_ + index, static_cast<size_t>(count_ - index) * sizeof(void*));
    items_[index] = element;
    ++count_;
    return true;
}

bool CUiPtrArray::Remove(int index)
{
    if (index < 0 || index >= count_)
        return false;
    memmove(items_ + index, items_ + index + 1, static_cast<size_t>(count_ - index - 1) * sizeof(void*));
    --count_;
    return true;
}

int CUiPtrArray::Find(void* element) const
{
    for (int i = 0; i < count_; ++i) {
        if (items_[i] == element)
            return i;
    }
    return -1;
}

void* CUiPtrArray::GetAt(int index) const
{
    if (index < 0 || index >= count_)
        return nullptr;
    return items_[index];
}

void CUiPtrArray::Resize(int count)
{
    Empty();
    if (count <= 0)
        return;
    items_ = static_cast<void**>(calloc(static_cast<size_t>(count), sizeof(void*)));
    if (items_ != nullptr)
        count_ = capacity_ = count;
}

void CUiPtrArray::Empty()
{
    free(items_);
    items_ = nullptr;
    count_ = capacity_ = 0;
}

}  // namespace UiLib
