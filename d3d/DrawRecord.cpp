#include "DrawRecord.h"

namespace VEL {

bool DrawRecord::Bind(ID3DTexture* target, CCriticalSection* rendererLock)
{
    VELAutoLock rootLock(root->RootLock());
    // Only this module's textures can be drawn: the renderers read their device objects.
    auto* t = dynamic_cast<CD3DTexture*>(target);
    if (!t || !t->IsCreated())
        return false;
    VELAutoLock textureLock(t->TextureLock());
    VELAutoLock lock(rendererLock);
    inverseWidth = 1.0f / static_cast<float>(t->GetTextureWidth());
    inverseHeight = 1.0f / static_cast<float>(t->GetTextureHeight());
    ReplaceReference(texture, t);
    return true;
}

} // namespace VEL
