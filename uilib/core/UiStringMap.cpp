#include "UiStringMap.h"

namespace UiLib {

namespace {

const int kMinBuckets = 16;

}  // namespace

unsigned UiStringHash(const wchar_t* key)
{
    unsigned h = 0;
    const wchar_t* end = key;
    while (*end != L'\0')
        ++end;
    while (end != key)
        h = h * 33u + static_cast<unsigned short>(*--end);
    return h;
}

CUiStringMap::CUiStringMap(int buckets) : buckets_(nullptr), bucketCount_(0), count_(0)
{
    Resize(buckets < kMinBuckets ? kMinBuckets : buckets);
}

CUiStringMap::~CUiStringMap()
{
    Resize(0);
}

unsigned CUiStringMap::BucketOf(const wchar_t* key) const
{
    return UiStringHash(key) % static_cast<unsigned>(bucketCount_);
}

void CUiStringMap::Unlink(Item* item) const
{
    if (item->prev != nullptr)
        item->prev->next = item->next;
    else
        buckets_[BucketOf(item->key.GetData())] = item->next;
    if (item->next != nullptr)
        item->next->prev = item->prev;
    item->prev = item->next = nullptr;
}

void CUiStringMap::PushFront(Item* item) const
{
    Item*& head = buckets_[BucketOf(item->key.GetData())];
    item->prev = nullptr;
    item->next = head;
    if (head != nullptr)
        head->prev = item;
    head = item;
}

CUiStringMap::Item* CUiStringMap::FindItem(const wchar_t* key, bool optimize) const
{
    if (buckets_ == nullptr || count_ == 0 || key == nullptr)
        return nullptr;
    Item* head = buckets_[BucketOf(key)];
    for (Item* item = head; item != nullptr; item = item->next) {
        if (item->key == key) {
            if (optimize && item != head) {
                Unlink(item);
                PushFront(item);
            }
            return item;
        }
    }
    return nullptr;
}

void* CUiStringMap::Find(const wchar_t* key, bool optimize) const
{
    Item* item = FindItem(key, optimize);
    return item == nullptr ? nullptr : item->data;
}

bool CUiStringMap::Insert(const wchar_t* key, void* data)
{
    if (buckets_ == nullptr || key == nullptr || Find(key) != nullptr)
        return false;
    Item* item = new Item{CUiString(key), data, nullptr, nullptr};
    PushFront(item);
    ++count_;
    return true;
}

void* CUiStringMap::Set(const wchar_t* key, void* data)
{
    if (buckets_ == nullptr || key == nullptr)
        return data;
    Item* item = FindItem(key, true);
    if (item != nullptr) {
        void* old = item->data;
        item->data = data;
        return old;
    }
    Insert(key, data);
    return nullptr;
}

bool CUiStringMap::Remove(const wchar_t* key)
{
    Item* item = FindItem(key, false);
    if (item == nullptr)
        return false;
    Unlink(item);
    delete item;
    --count_;
    return true;
}

const wchar_t* CUiStringMap::GetKeyAt(int index) const
{
    if (buckets_ == nullptr || index < 0 || index >= count_)
        return nullptr;
    int seen = 0;
    for (int b = bucketCount_ - 1; b >= 0; --b) {
        for (Item* item = buckets_[b]; item != nullptr; item = item->next) {
            if (seen++ == index)
                return item->key.GetData();
        }
    }
    return nullptr;
}

void CUiStringMap::RemoveAll()
{
    for (int b = bucketCount_ - 1; b >= 0; --b) {
        Item* item = buckets_[b];
        while (item != nullptr) {
            Item* next = item->next;
            delete item;
            item = next;
        }
        buckets_[b] = nullptr;
    }
    count_ = 0;
}

void CUiStringMap::Resize(int buckets)
{
    RemoveAll();
    delete[] buckets_;
    buckets_ = nullptr;
    bucketCount_ = 0;
    if (buckets > 0) {
        buckets_ = new Item*[buckets]();
        bucketCount_ = buckets;
    }
}

}  // namespace UiLib
