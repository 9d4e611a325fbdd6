#pragma once
// One callback that an event source calls: a receiver object and a function.
#include <cstring>

namespace UiLib {

class CDelegateBase {
public:
    CDelegateBase(void* object, void* function) : object_(object), function_(function) {}
    CDelegateBase(const CDelegateBase& other) = default;
    virtual ~CDelegateBase() = default;

    bool Equals(const CDelegateBase& other) const { return object_ == other.object_ && function_ == other.function_; }

    virtual CDelegateBase* Copy() const = 0;
    virtual bool Invoke(void* param) = 0;

private:
    void* object_;
    void* function_;
};

// Binds a member function of T, called on an object of O. Member function
// pointers do not fit a void*, so the delegate keeps the typed one and hands
// the base an address that is unique to it for comparison.
template <class O, class T>
class CDelegate : public CDelegateBase {
public:
    typedef bool (T::*Method)(void*);

    CDelegate(O* object, Method method) : CDelegateBase(object, MethodKey(method)), object_(object), method_(method) {}

    CDelegateBase* Copy() const override { return new CDelegate(*this); }

    bool Invoke(void* param) override { return (object_->*method_)(param); }

private:
    // Equal member function pointers give equal keys: the key is the first
    // pointer-sized word of the member pointer, which holds the function
    // address (or its virtual slot) on this platform's ABI.
    static void* MethodKey(Method method)
    {
        static_assert(sizeof(Method) >= sizeof(void*), "member pointer smaller than a pointer");
        void* key = nullptr;
        memcpy(&key, &method, sizeof(key));
        return key;
    }

    O* object_;
    Method method_;
};

}  // namespace UiLib
