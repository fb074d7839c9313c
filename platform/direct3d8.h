// The Direct3D 8 interfaces of libtx's in-process software runtime.
//
// Every object is reference counted: a creating call hands out one reference,
// AddRef takes another, Release gives one back and destroys the object with
// its last reference. Interface identifiers are the runtime's own.
#pragma once

#include "platform/d3d8_types.h"

struct IDirect3D8;
struct IDirect3DDevice8;
struct IDirect3DResource8;
struct IDirect3DBaseTexture8;
struct IDirect3DTexture8;
struct IDirect3DCubeTexture8;
struct IDirect3DVolumeTexture8;
struct IDirect3DSurface8;
struct IDirect3DVolume8;
struct IDirect3DVertexBuffer8;

extern const IID IID_IDirect3D8;
extern const IID IID_IDirect3DDevice8;
extern const IID IID_IDirect3DResource8;
extern const IID IID_IDirect3DBaseTexture8;
extern const IID IID_IDirect3DTexture8;
extern const IID IID_IDirect3DCubeTexture8;
extern const IID IID_IDirect3DVolumeTexture8;
extern const IID IID_IDirect3DSurface8;
extern const IID IID_IDirect3DVolume8;
extern const IID IID_IDirect3DVertexBuffer8;

// Creates the runtime's root object. Any version other than D3D_SDK_VERSION
// gives null.
IDirect3D8* Direct3DCreate8(UINT sdkVersion);

struct IDirect3D8 : IUnknown {
    virtual UINT GetAdapterCount() = 0;
    virtual HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags,
                                         D3DADAPTER_IDENTIFIER8* identifier) = 0;
    virtual UINT GetAdapterModeCount(UINT adapter) = 0;
    virtual HRESULT EnumAdapterModes(UINT adapter, UINT mode, D3DDISPLAYMODE* displayMode) = 0;
    virtual HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) = 0;
    virtual HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE checkType, D3DFORMAT displayFormat,
                                    D3DFORMAT backBufferFormat, BOOL windowed) = 0;
    virtual HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE deviceType, D3DFORMAT adapterFormat,
                                      DWORD usage, D3DRESOURCETYPE resourceType,
                                      D3DFORMAT checkFormat) = 0;
    virtual HRESULT CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE deviceType,
                                               D3DFORMAT surfaceFormat, BOOL windowed,
                                               D3DMULTISAMPLE_TYPE multiSampleType) = 0;
    virtual HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE deviceType,
                                           D3DFORMAT adapterFormat, D3DFORMAT renderTargetFormat,
                                           D3DFORMAT depthStencilFormat) = 0;
    virtual HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS8* caps) = 0;
    virtual HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow,
                                 DWORD behaviorFlags, D3DPRESENT_PARAMETERS* presentationParameters,
                                 IDirect3DDevice8** returnedDevice) = 0;

protected:
    ~IDirect3D8() = default;
};

struct IDirect3DDevice8 : IUnknown {
    virtual HRESULT TestCooperativeLevel() = 0;
    virtual UINT GetAvailableTextureMem() = 0;
    virtual HRESULT GetDirect3D(IDirect3D8** direct3d) = 0;
    virtual HRESULT GetDeviceCaps(D3DCAPS8* caps) = 0;
    virtual HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) = 0;
    virtual HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) = 0;
    virtual HRESULT Reset(D3DPRESENT_PARAMETERS* presentationParameters) = 0;
    virtual HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                            const void* dirtyRegion) = 0;
    virtual HRESULT GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type,
                                  IDirect3DSurface8** backBufferSurface) = 0;

    virtual HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage,
                                  D3DFORMAT format, D3DPOOL pool, IDirect3DTexture8** texture) = 0;
    virtual HRESULT CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels,
                                        DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DVolumeTexture8** volumeTexture) = 0;
    virtual HRESULT CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format,
                                      D3DPOOL pool, IDirect3DCubeTexture8** cubeTexture) = 0;
    virtual HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool,
                                       IDirect3DVertexBuffer8** vertexBuffer) = 0;
    virtual HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format,
                                       D3DMULTISAMPLE_TYPE multiSample, BOOL lockable,
                                       IDirect3DSurface8** surface) = 0;
    virtual HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format,
                                              D3DMULTISAMPLE_TYPE multiSample,
                                              IDirect3DSurface8** surface) = 0;
    virtual HRESULT CreateImageSurface(UINT width, UINT height, D3DFORMAT format,
                                       IDirect3DSurface8** surface) = 0;
    virtual HRESULT CopyRects(IDirect3DSurface8* sourceSurface, const RECT* sourceRects,
                              UINT rectCount, IDirect3DSurface8* destinationSurface,
                              const POINT* destPoints) = 0;
    virtual HRESULT UpdateTexture(IDirect3DBaseTexture8* sourceTexture,
                                  IDirect3DBaseTexture8* destinationTexture) = 0;
    virtual HRESULT GetFrontBuffer(IDirect3DSurface8* destSurface) = 0;
    virtual HRESULT GetRenderTarget(IDirect3DSurface8** renderTarget) = 0;
    virtual HRESULT GetDepthStencilSurface(IDirect3DSurface8** zStencilSurface) = 0;

    virtual HRESULT BeginScene() = 0;
    virtual HRESULT EndScene() = 0;
    virtual HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                          DWORD stencil) = 0;
    virtual HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) = 0;
    virtual HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) = 0;
    virtual HRESULT SetViewport(const D3DVIEWPORT8* viewport) = 0;
    virtual HRESULT GetViewport(D3DVIEWPORT8* viewport) = 0;
    virtual HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) = 0;
    virtual HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) = 0;
    virtual HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture8** texture) = 0;
    virtual HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture8* texture) = 0;
    virtual HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                         DWORD* value) = 0;
    virtual HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type,
                                         DWORD value) = 0;
    virtual HRESULT DrawPrimitive(D3DPRIMITIVETYPE primitiveType, UINT startVertex,
                                  UINT primitiveCount) = 0;
    virtual HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE primitiveType, UINT primitiveCount,
                                    const void* vertexStreamZeroData,
                                    UINT vertexStreamZeroStride) = 0;
    virtual HRESULT SetVertexShader(DWORD handle) = 0;
    virtual HRESULT GetVertexShader(DWORD* handle) = 0;
    virtual HRESULT SetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8* streamData,
                                    UINT stride) = 0;
    virtual HRESULT GetStreamSource(UINT streamNumber, IDirect3DVertexBuffer8** streamData,
                                    UINT* stride) = 0;

protected:
    ~IDirect3DDevice8() = default;
};

struct IDirect3DResource8 : IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    virtual DWORD SetPriority(DWORD priorityNew) = 0;
    virtual DWORD GetPriority() = 0;
    virtual void PreLoad() = 0;
    virtual D3DRESOURCETYPE GetType() = 0;

protected:
    ~IDirect3DResource8() = default;
};

struct IDirect3DBaseTexture8 : IDirect3DResource8 {
    virtual DWORD SetLOD(DWORD lodNew) = 0;
    virtual DWORD GetLOD() = 0;
    virtual DWORD GetLevelCount() = 0;

protected:
    ~IDirect3DBaseTexture8() = default;
};

struct IDirect3DTexture8 : IDirect3DBaseTexture8 {
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface8** surfaceLevel) = 0;
    virtual HRESULT LockRect(UINT level, D3DLOCKED_RECT* lockedRect, const RECT* rect,
                             DWORD flags) = 0;
    virtual HRESULT UnlockRect(UINT level) = 0;
    virtual HRESULT AddDirtyRect(const RECT* dirtyRect) = 0;

protected:
    ~IDirect3DTexture8() = default;
};

struct IDirect3DCubeTexture8 : IDirect3DBaseTexture8 {
    virtual HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES faceType, UINT level,
                                      IDirect3DSurface8** cubeMapSurface) = 0;
    virtual HRESULT LockRect(D3DCUBEMAP_FACES faceType, UINT level, D3DLOCKED_RECT* lockedRect,
                             const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect(D3DCUBEMAP_FACES faceType, UINT level) = 0;
    virtual HRESULT AddDirtyRect(D3DCUBEMAP_FACES faceType, const RECT* dirtyRect) = 0;

protected:
    ~IDirect3DCubeTexture8() = default;
};

struct IDirect3DVolumeTexture8 : IDirect3DBaseTexture8 {
    virtual HRESULT GetLevelDesc(UINT level, D3DVOLUME_DESC* desc) = 0;
    virtual HRESULT GetVolumeLevel(UINT level, IDirect3DVolume8** volumeLevel) = 0;
    virtual HRESULT LockBox(UINT level, D3DLOCKED_BOX* lockedVolume, const D3DBOX* box,
                            DWORD flags) = 0;
    virtual HRESULT UnlockBox(UINT level) = 0;
    virtual HRESULT AddDirtyBox(const D3DBOX* dirtyBox) = 0;

protected:
    ~IDirect3DVolumeTexture8() = default;
};

struct IDirect3DSurface8 : IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    // Hands out a reference to the object that contains the surface (a
    // texture or cube texture, or the device for stand-alone surfaces) when
    // that object supports `riid`; E_NOINTERFACE otherwise.
    virtual HRESULT GetContainer(REFIID riid, void** container) = 0;
    virtual HRESULT GetDesc(D3DSURFACE_DESC* desc) = 0;
    virtual HRESULT LockRect(D3DLOCKED_RECT* lockedRect, const RECT* rect, DWORD flags) = 0;
    virtual HRESULT UnlockRect() = 0;

protected:
    ~IDirect3DSurface8() = default;
};

struct IDirect3DVolume8 : IUnknown {
    virtual HRESULT GetDevice(IDirect3DDevice8** device) = 0;
    virtual HRESULT GetContainer(REFIID riid, void** container) = 0;
    virtual HRESULT GetDesc(D3DVOLUME_DESC* desc) = 0;
    virtual HRESULT LockBox(D3DLOCKED_BOX* lockedVolume, const D3DBOX* box, DWORD flags) = 0;
    virtual HRESULT UnlockBox() = 0;

protected:
    ~IDirect3DVolume8() = default;
};

struct IDirect3DVertexBuffer8 : IDirect3DResource8 {
    virtual HRESULT Lock(UINT offsetToLock, UINT sizeToLock, BYTE** data, DWORD flags) = 0;
    virtual HRESULT Unlock() = 0;
    virtual HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) = 0;

protected:
    ~IDirect3DVertexBuffer8() = default;
};
