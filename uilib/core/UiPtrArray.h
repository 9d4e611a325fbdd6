#pragma once
// A growable array of untyped pointers; it owns its slots, never what they
// point to.
namespace UiLib {

class CUiPtrArray {
public:
    explicit CUiPtrArray(int preallocate = 0);
    CUiPtrArray(const CUiPtrArray& other);
    CUiPtrArray& operator=(const CUiPtrArray& other);
    ~CUiPtrArray();

    bool Add(void* element);
    bool InsertAt(int index, void* element);
    bool Remove(int index);
    int Find(void* element) const;
    void* GetAt(int index) const;
    void* operator[](int index) const { return items_[index]; }
    bool IsEmpty() const { return count_ == 0; }
    int GetSize() const { return count_; }
    void Resize(int count);
    void Empty();

private:
    bool GrowFor(int newCount);

    void** items_;
    int count_;
    int capacity_;
};

}  // namespace UiLib
