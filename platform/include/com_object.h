// com_object.h - what the platform's own component objects share.
#pragma once

#include "win_com.h"

#include <initializer_list>

namespace plat::com {

// The QueryInterface answer of an object that hands out one interface pointer, `self`, for
// IUnknown and for each id in `ids`: referenced and stored through `object`. Anything else gets
// E_NOINTERFACE and a null; a null `object` gets E_POINTER.
template <class I>
HRESULT QueryAs(I* self, REFIID iid, void** object, std::initializer_list<GUID> ids)
{
    if (!object)
        return E_POINTER;
    bool known = iid == IID_IUnknown;
    for (const GUID& id : ids)
        known = known || iid == id;
    if (!known) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    self->AddRef();
    *object = self;
    return S_OK;
}

} // namespace plat::com
