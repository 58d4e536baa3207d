#include "framework/com_object.h"

#include "framework/module.h"

namespace dshow {

ComObject::ComObject(IUnknown* outer) : inner_(*this), owner_(outer ? outer : &inner_) {
    module::ObjectCreated();
}

ComObject::~ComObject() {
    module::ObjectDestroyed();
}

HRESULT ComObject::NonDelegatingQueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown))
        return GetInterface(inner(), out);
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG ComObject::NonDelegatingAddRef() {
    return ++references_;
}

ULONG ComObject::NonDelegatingRelease() {
    ULONG left = --references_;
    if (left == 0) {
        // A destructor that hands out and drops a reference to itself must not
        // start a second destruction.
        references_ = 1;
        delete this;
    }
    return left;
}

}  // namespace dshow
