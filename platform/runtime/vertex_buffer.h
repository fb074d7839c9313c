// Vertex buffers: bytes the program fills through Lock and the renderer reads.
#pragma once

#include <cstdlib>
#include <memory>

#include "platform/runtime/resource.h"

namespace txruntime {

class VertexBuffer final : public Resource<IDirect3DVertexBuffer8> {
public:
    static HRESULT Create(Device& device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                          IDirect3DVertexBuffer8** vertexBuffer);

    HRESULT QueryInterface(REFIID riid, void** object) override;
    HRESULT Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

    // For the renderer.
    const BYTE* Bytes() const { return bytes_.get(); }
    UINT Length() const { return length_; }
    DWORD Fvf() const { return fvf_; }
    bool IsLocked() const { return locked_; }

private:
    VertexBuffer(Device& device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool);

    struct FreeBytes {
        void operator()(BYTE* bytes) const { std::free(bytes); }
    };
    std::unique_ptr<BYTE, FreeBytes> bytes_;
    UINT length_;
    DWORD fvf_;
    bool locked_ = false;
};

} // namespace txruntime
