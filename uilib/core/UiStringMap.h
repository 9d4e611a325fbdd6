#pragma once
// A string-keyed hash map of untyped pointers. It owns its items and their
// keys, never the data they point to. A found item moves to the head of its
// bucket, so repeated look-ups of one name are cheap.
#include "UiString.h"

namespace UiLib {

unsigned UiStringHash(const wchar_t* key);

class CUiStringMap {
public:
    explicit CUiStringMap(int buckets = 83);
    ~CUiStringMap();
    CUiStringMap(const CUiStringMap&) = delete;
    CUiStringMap& operator=(const CUiStringMap&) = delete;

    void* Find(const wchar_t* key, bool optimize = true) const;
    bool Insert(const wchar_t* key, void* data);
    void* Set(const wchar_t* key, void* data);
    bool Remove(const wchar_t* key);
    const wchar_t* GetKeyAt(int index) const;
    void RemoveAll();
    void Resize(int buckets);
    int GetSize() const { return count_; }

private:
    struct Item {
        CUiString key;
        void* data;
        Item* prev;
        Item* next;
    };

    Item* FindItem(const wchar_t* key, bool optimize) const;
    unsigned BucketOf(const wchar_t* key) const;
    void Unlink(Item* item) const;
    void PushFront(Item* item) const;

    Item** buckets_;
    int bucketCount_;
    int count_;
};

}  // namespace UiLib
