#include "platform/runtime/vertex_buffer.h"

#include <new>

#include "platform/raster/vertex_format.h"
#include "platform/runtime/debug_output.h"
#include "platform/runtime/pixel_storage.h"

namespace txruntime {

namespace {

constexpr DWORD kVertexBufferUsages = D3DUSAGE_WRITEONLY | D3DUSAGE_SOFTWAREPROCESSING |
                                      D3DUSAGE_DONOTCLIP | D3DUSAGE_POINTS | D3DUSAGE_RTPATCHES |
                                      D3DUSAGE_NPATCHES | D3DUSAGE_DYNAMIC;

} // namespace

VertexBuffer::VertexBuffer(Device& device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
    : Resource<IDirect3DVertexBuffer8>(device, D3DRTYPE_VERTEXBUFFER, pool, usage), length_(length),
      fvf_(fvf) {}

HRESULT VertexBuffer::Create(Device& device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                             IDirect3DVertexBuffer8** vertexBuffer) {
    const char* call = "CreateVertexBuffer";
    if (!vertexBuffer) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    *vertexBuffer = nullptr;
    if (usage & ~kVertexBufferUsages)
        return Fail(D3DERR_INVALIDCALL, call, "usage 0x%x is not a vertex buffer usage", usage);
    if (pool != D3DPOOL_DEFAULT && pool != D3DPOOL_MANAGED && pool != D3DPOOL_SYSTEMMEM)
        return Fail(D3DERR_INVALIDCALL, call, "vertex buffers cannot be in pool %u",
                    static_cast<unsigned>(pool));
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED)
        return Fail(D3DERR_INVALIDCALL, call, "dynamic vertex buffers cannot be managed");
    if (length == 0) return Fail(D3DERR_INVALIDCALL, call, "zero length");
    if (length > kMaxResourceBytes)
        return Fail(pool == D3DPOOL_DEFAULT ? D3DERR_OUTOFVIDEOMEMORY : E_OUTOFMEMORY, call,
                    "%u bytes is more than the runtime holds in one resource", length);
    if (fvf) {
        txraster::VertexLayout layout;
        const UINT vertexSize = txraster::DescribeVertexFormat(fvf, &layout) ? layout.stride : 0;
        if (vertexSize == 0)
            return Fail(D3DERR_INVALIDCALL, call, "0x%x is not a flexible vertex format", fvf);
        if (length < vertexSize)
            return Fail(D3DERR_INVALIDCALL, call, "%u bytes cannot hold one %u-byte vertex", length,
                        vertexSize);
    }
    std::unique_ptr<VertexBuffer> made(new (std::nothrow)
                                           VertexBuffer(device, length, usage, fvf, pool));
    if (made) made->bytes_.reset(static_cast<BYTE*>(std::calloc(length, 1)));
    if (!made || !made->bytes_)
        return Fail(pool == D3DPOOL_DEFAULT ? D3DERR_OUTOFVIDEOMEMORY : E_OUTOFMEMORY, call,
                    "no memory for %u bytes", length);
    HandOut(made.release(), vertexBuffer);
    return D3D_OK;
}

HRESULT VertexBuffer::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IDirect3DResource8 ||
        riid == IID_IDirect3DVertexBuffer8)
        return AnswerInterface<IDirect3DVertexBuffer8>(this, object);
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT VertexBuffer::Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags) {
    const char* call = "Lock";
    if (!data) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    *data = nullptr;
    if (locked_) return Fail(D3DERR_INVALIDCALL, call, "the vertex buffer is already locked");
    const DWORD known =
        D3DLOCK_READONLY | D3DLOCK_NOSYSLOCK | D3DLOCK_NOOVERWRITE | D3DLOCK_DISCARD;
    if (flags & ~known) return Fail(D3DERR_INVALIDCALL, call, "unknown lock flags 0x%x", flags);
    if ((flags & D3DLOCK_READONLY) && (flags & (D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE)))
        return Fail(D3DERR_INVALIDCALL, call, "a read-only lock cannot discard or skip overwrites");
    // A size of 0 locks everything from the offset on.
    if (offsetToLock > length_ || (sizeToLock && sizeToLock > length_ - offsetToLock))
        return Fail(D3DERR_INVALIDCALL, call, "bytes %u+%u outside a %u-byte buffer", offsetToLock,
                    sizeToLock, length_);
    if (sizeToLock == 0 && offsetToLock == length_ && length_ != 0)
        return Fail(D3DERR_INVALIDCALL, call, "offset %u is the end of the buffer", offsetToLock);
    *data = bytes_.get() + offsetToLock;
    locked_ = true;
    return D3D_OK;
}

HRESULT VertexBuffer::Unlock() {
    if (!locked_) return Fail(D3DERR_INVALIDCALL, "Unlock", "the vertex buffer is not locked");
    locked_ = false;
    return D3D_OK;
}

HRESULT VertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    if (!desc) return Fail(D3DERR_INVALIDCALL, "GetDesc", "null description pointer");
    desc->Format = D3DFMT_VERTEXDATA;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = Usage();
    desc->Pool = Pool();
    desc->Size = length_;
    desc->FVF = fvf_;
    return D3D_OK;
}

} // namespace txruntime
