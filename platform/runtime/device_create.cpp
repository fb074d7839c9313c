// The device's resource creation calls.
#include "platform/runtime/adapter_profile.h"
#include "platform/runtime/cube_texture.h"
#include "platform/runtime/debug_output.h"
#include "platform/runtime/device.h"
#include "platform/runtime/format_layout.h"
#include "platform/runtime/surface.h"
#include "platform/runtime/texture.h"
#include "platform/runtime/vertex_buffer.h"
#include "platform/runtime/volume_texture.h"

namespace txruntime {

namespace {

template <class Interface>
HRESULT CreateTextureOf(Device& device, const char* call, TextureRequest request,
                        Interface** result,
                        HRESULT (*create)(Device&, const TextureRequest&, Interface**)) {
    if (!result) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    *result = nullptr;
    if (HRESULT hr = CheckTextureRequest(device.Profile(), call, &request); FAILED(hr)) return hr;
    return create(device, request, result);
}

HRESULT CheckSurfaceSize(const char* call, UINT width, UINT height) {
    if (width == 0 || height == 0)
        return Fail(D3DERR_INVALIDCALL, call, "a side of %ux%u is zero", width, height);
    if (width > kMaxDimension || height > kMaxDimension)
        return Fail(D3DERR_INVALIDCALL, call, "%ux%u exceeds the runtime's limit %u", width, height,
                    kMaxDimension);
    return D3D_OK;
}

} // namespace

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DTexture8** texture) {
    return CreateTextureOf(*this, "CreateTexture",
                           {D3DRTYPE_TEXTURE, width, height, 1, levels, usage, format, pool},
                           texture, &Texture::Create);
}

HRESULT Device::CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                                  D3DPOOL pool, IDirect3DCubeTexture8** cubeTexture) {
    return CreateTextureOf(
        *this, "CreateCubeTexture",
        {D3DRTYPE_CUBETEXTURE, edgeLength, edgeLength, 1, levels, usage, format, pool}, cubeTexture,
        &CubeTexture::Create);
}

HRESULT Device::CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                                    D3DFORMAT format, D3DPOOL pool,
                                    IDirect3DVolumeTexture8** volumeTexture) {
    return CreateTextureOf(
        *this, "CreateVolumeTexture",
        {D3DRTYPE_VOLUMETEXTURE, width, height, depth, levels, usage, format, pool}, volumeTexture,
        &VolumeTexture::Create);
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                   IDirect3DVertexBuffer8** vertexBuffer) {
    return VertexBuffer::Create(*this, length, usage, fvf, pool, vertexBuffer);
}

HRESULT Device::CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                                   IDirect3DSurface8** surface) {
    const char* call = "CreateImageSurface";
    if (!surface) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    *surface = nullptr;
    if (HRESULT hr = CheckSurfaceSize(call, width, height); FAILED(hr)) return hr;
    // Image surfaces live in system memory, where any format can be kept,
    // whatever the device draws with.
    if (!FindFormatLayout(format))
        return Fail(D3DERR_INVALIDCALL, call, "%s is not a surface format", FormatName(format));
    const SurfaceInfo info{format, 0,      D3DPOOL_SYSTEMMEM, D3DMULTISAMPLE_NONE, width,
                           height, nullptr};
    return Surface::CreateStandalone(*this, info, call, surface);
}

HRESULT Device::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                   D3DMULTISAMPLE_TYPE multiSample, BOOL lockable,
                                   IDirect3DSurface8** surface) {
    const char* call = "CreateRenderTarget";
    if (!surface) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    *surface = nullptr;
    if (HRESULT hr = CheckSurfaceSize(call, width, height); FAILED(hr)) return hr;
    if (FAILED(
            CheckResourceFormat(Profile(), call, D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE, format)))
        return D3DERR_INVALIDCALL;
    if (FAILED(CheckMultiSample(Profile(), call, format, IsWindowed(), multiSample)))
        return D3DERR_INVALIDCALL;
    if (lockable && multiSample != D3DMULTISAMPLE_NONE)
        return Fail(D3DERR_INVALIDCALL, call, "a multisampled render target cannot be lockable");
    const SurfaceInfo info{format,
                           D3DUSAGE_RENDERTARGET,
                           D3DPOOL_DEFAULT,
                           multiSample,
                           width,
                           height,
                           lockable ? nullptr : "the render target was not created lockable"};
    return Surface::CreateStandalone(*this, info, call, surface);
}

HRESULT Device::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                          D3DMULTISAMPLE_TYPE multiSample,
                                          IDirect3DSurface8** surface) {
    const char* call = "CreateDepthStencilSurface";
    if (!surface) return Fail(D3DERR_INVALIDCALL, call, "null result pointer");
    *surface = nullptr;
    if (HRESULT hr = CheckSurfaceSize(call, width, height); FAILED(hr)) return hr;
    if (FAILED(
            CheckResourceFormat(Profile(), call, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, format)))
        return D3DERR_INVALIDCALL;
    if (FAILED(CheckMultiSample(Profile(), call, format, IsWindowed(), multiSample)))
        return D3DERR_INVALIDCALL;
    const SurfaceInfo info{format,
                           D3DUSAGE_DEPTHSTENCIL,
                           D3DPOOL_DEFAULT,
                           multiSample,
                           width,
                           height,
                           DepthSurfaceNotLockable(format, multiSample)};
    return Surface::CreateStandalone(*this, info, call, surface);
}

} // namespace txruntime
