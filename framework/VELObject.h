// VELObject.h - reference counting and destruction shared by every concrete engine class.
#pragma once

#include "VELInterface.h"

#include <cstring>
#include <utility>

namespace VEL {

// Implements IVELInterface's three operations for a concrete class of interface I. The virtual
// destructor declared here takes the slot after all of I's operations, as the binary interface
// requires. The count is plain (not atomic): one object is counted on one thread at a time.
template <class I>
class TVELObject : public I {
public:
    int32_t AddRef() override { return ++refCount_; }
    int32_t Release() override
    {
        if (--refCount_ == 0) {
            delete this;
            return 0;
        }
        return refCount_;
    }
    int32_t GetRefCount() override { return refCount_; }
    virtual ~TVELObject() = default;

protected:
    TVELObject() = default;

private:
    int32_t refCount_ = 1;
};

// Ids are compared byte for byte.
inline bool IsSameId(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }

// Stores a counted reference: the new object is referenced before the old one is released.
template <class T>
void ReplaceReference(T*& slot, T* value)
{
    if (value)
        value->AddRef();
    T* old = std::exchange(slot, value);
    if (old)
        old->Release();
}

// Drops a held reference.
template <class T>
void DropReference(T*& slot)
{
    if (T* old = std::exchange(slot, nullptr))
        old->Release();
}

} // namespace VEL
