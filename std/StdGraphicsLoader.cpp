#include "StdGraphicsLoader.h"

#include "BMPDecoder.h"

namespace VEL {

int32_t CStdGraphicsLoader::GetWidth() { return open_ ? decoder_->GetWidth() : 0; }
int32_t CStdGraphicsLoader::GetHeight() { return open_ ? decoder_->GetHeight() : 0; }
int32_t CStdGraphicsLoader::GetBitCount() { return open_ ? decoder_->GetBitCount() : 0; }

bool CStdGraphicsLoader::Open(IDataStream* stream, IGraphicsPlugin* plugin)
{
    if (open_)
        return false;
    ReplaceReference(stream_, stream);
    if (plugin) {
        ReplaceReference(decoder_, plugin);
    } else {
        IGraphicsPlugin* builtIn = new CBMPLoader(); // count 1: the loader's only reference
        DropReference(decoder_);
        decoder_ = builtIn;
    }
    // A rejected stream leaves both references held; the next Open replaces them.
    if (!decoder_->Open(stream_))
        return false;
    open_ = true;
    return true;
}

void CStdGraphicsLoader::Decode(void* destination, int32_t pitch, uint32_t format)
{
    if (open_)
        decoder_->Decode(destination, pitch, format);
}

void CStdGraphicsLoader::Close()
{
    if (!open_)
        return;
    decoder_->Close();
    DropReference(decoder_);
    open_ = false;
}

CStdGraphicsLoader::~CStdGraphicsLoader()
{
    Close();
    DropReference(decoder_);
    DropReference(stream_);
}

} // namespace VEL
