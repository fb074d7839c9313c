#include "platform/runtime/adapter_profile.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/runtime/debug_output.h"
#include "platform/runtime/format_layout.h"
#include "platform/runtime_control.h"

namespace txruntime {

namespace {

FormatSet SetOf(std::initializer_list<D3DFORMAT> formats) {
    FormatSet set = 0;
    for (D3DFORMAT format : formats)
        set |= FormatSet(1) << FormatLayoutIndex(format);
    return set;
}

FormatSet AllFormats() {
    FormatSet set = 0;
    for (unsigned i = 0; i < FormatLayoutCount(); ++i)
        set |= FormatSet(1) << i;
    return set;
}

DWORD SampleSet(std::initializer_list<unsigned> types) {
    DWORD set = 0;
    for (unsigned type : types)
        set |= DWORD(1) << type;
    return set;
}

// 0 and 2 to 16: type 1 is not a sample count a back buffer can have.
const DWORD kAllSampleTypes = 0x1FFFDu;

const D3DDISPLAYMODE kModes[] = {
    {640, 480, 60, D3DFMT_X8R8G8B8},   {640, 480, 60, D3DFMT_R5G6B5},
    {800, 600, 60, D3DFMT_X8R8G8B8},   {800, 600, 60, D3DFMT_R5G6B5},
    {1024, 768, 60, D3DFMT_X8R8G8B8},  {1024, 768, 60, D3DFMT_R5G6B5},
    {1280, 1024, 60, D3DFMT_X8R8G8B8}, {1280, 1024, 60, D3DFMT_R5G6B5},
};

const DWORD kBaseTextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_ALPHA |
                               D3DPTEXTURECAPS_ALPHAPALETTE | D3DPTEXTURECAPS_PROJECTED;
const DWORD kCubeVolumeCaps = D3DPTEXTURECAPS_CUBEMAP | D3DPTEXTURECAPS_VOLUMEMAP;
const DWORD kMipCaps =
    D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_MIPCUBEMAP | D3DPTEXTURECAPS_MIPVOLUMEMAP;

AdapterProfile DefaultProfile() {
    AdapterProfile p{};
    p.name = "default";
    p.summary = "everything a software device can do";
    p.textureCaps = kBaseTextureCaps | kCubeVolumeCaps | kMipCaps;
    p.maxTextureWidth = 8192;
    p.maxTextureHeight = 8192;
    p.maxVolumeExtent = 512;
    p.maxTextureAspectRatio = 8192;
    p.textureFormats = p.cubeFormats = p.volumeFormats = AllFormats();
    p.renderTargetFormats =
        SetOf({D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5});
    p.depthStencilFormats = SetOf({D3DFMT_D16_LOCKABLE, D3DFMT_D32, D3DFMT_D15S1, D3DFMT_D24S8,
                                   D3DFMT_D16, D3DFMT_D24X8, D3DFMT_D24X4S4});
    p.windowedSamples = p.fullScreenSamples = kAllSampleTypes;
    p.desktop = {1024, 768, 60, D3DFMT_X8R8G8B8};
    p.modes = kModes;
    p.modeCount = sizeof kModes / sizeof kModes[0];
    p.textureMemory = 256u << 20;
    return p;
}

std::vector<AdapterProfile> BuildProfiles() {
    std::vector<AdapterProfile> profiles;
    profiles.push_back(DefaultProfile());

    AdapterProfile p = DefaultProfile();
    p.name = "pow2-only";
    p.summary = "textures, cube and volume textures only with power-of-two sizes";
    p.textureCaps |=
        D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_CUBEMAP_POW2 | D3DPTEXTURECAPS_VOLUMEMAP_POW2;
    profiles.push_back(p);

    p = DefaultProfile();
    p.name = "nonpow2-conditional";
    p.summary = "sizes that are not powers of two only with a single level";
    p.textureCaps |= D3DPTEXTURECAPS_NONPOW2CONDITIONAL;
    profiles.push_back(p);

    p = DefaultProfile();
    p.name = "square-only";
    p.summary = "textures must be square";
    p.textureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
    profiles.push_back(p);

    p = DefaultProfile();
    p.name = "small-textures";
    p.summary = "textures up to 256x256 with aspect ratio 2, volumes up to 64";
    p.maxTextureWidth = p.maxTextureHeight = 256;
    p.maxTextureAspectRatio = 2;
    p.maxVolumeExtent = 64;
    profiles.push_back(p);

    p = DefaultProfile();
    p.name = "pow2-odd-limits";
    p.summary = "power-of-two sizes under limits that are not powers of two: textures up to "
                "300x300 with aspect ratio 3, volumes up to 100";
    p.textureCaps |=
        D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_CUBEMAP_POW2 | D3DPTEXTURECAPS_VOLUMEMAP_POW2;
    p.maxTextureWidth = p.maxTextureHeight = 300;
    p.maxTextureAspectRatio = 3;
    p.maxVolumeExtent = 100;
    profiles.push_back(p);

    p = DefaultProfile();
    p.name = "no-dxt";
    p.summary = "no DXT1 to DXT5 formats";
    {
        const FormatSet dxt =
            SetOf({D3DFMT_DXT1, D3DFMT_DXT2, D3DFMT_DXT3, D3DFMT_DXT4, D3DFMT_DXT5});
        p.textureFormats &= ~dxt;
        p.cubeFormats &= ~dxt;
        p.volumeFormats &= ~dxt;
    }
    profiles.push_back(p);

    p = DefaultProfile();
    p.name = "no-mipmaps";
    p.summary = "no mipmapped textures, cube or volume textures";
    p.textureCaps &= ~kMipCaps;
    profiles.push_back(p);

    p = DefaultProfile();
    p.name = "no-cube-volume";
    p.summary = "no cube textures and no volume textures";
    p.textureCaps &= ~(kCubeVolumeCaps | D3DPTEXTURECAPS_MIPCUBEMAP | D3DPTEXTURECAPS_MIPVOLUMEMAP);
    p.cubeFormats = p.volumeFormats = 0;
    profiles.push_back(p);

    p = DefaultProfile();
    p.name = "msaa-0-2-4";
    p.summary = "multisample types 0, 2 and 4 only";
    p.windowedSamples = p.fullScreenSamples = SampleSet({0, 2, 4});
    profiles.push_back(p);

    p = DefaultProfile();
    p.name = "msaa-fullscreen-only";
    p.summary = "no multisampling windowed; types 0, 2, 4 and 8 full screen";
    p.windowedSamples = SampleSet({0});
    p.fullScreenSamples = SampleSet({0, 2, 4, 8});
    profiles.push_back(p);

    p = DefaultProfile();
    p.name = "display-r5g6b5";
    p.summary = "a 16-bit R5G6B5 desktop";
    p.desktop = {1024, 768, 60, D3DFMT_R5G6B5};
    profiles.push_back(p);

    return profiles;
}

const std::vector<AdapterProfile>& Profiles() {
    static const std::vector<AdapterProfile> profiles = BuildProfiles();
    return profiles;
}

const AdapterProfile* selected = nullptr;

// The profile the environment names; warns once about each unknown name.
const AdapterProfile& ProfileFromEnvironment() {
    static std::string warnedAbout;
    const char* name = std::getenv("TX_ADAPTER_PROFILE");
    if (!name || !*name) return Profiles().front();
    if (const AdapterProfile* found = FindAdapterProfile(name)) return *found;
    if (warnedAbout != name) {
        warnedAbout = name;
        Warn("TX_ADAPTER_PROFILE names no adapter profile (\"%s\"); using \"default\"", name);
    }
    return Profiles().front();
}

} // namespace

const AdapterProfile* FindAdapterProfile(const char* name) {
    if (!name) return nullptr;
    for (const AdapterProfile& profile : Profiles())
        if (std::strcmp(profile.name, name) == 0) return &profile;
    return nullptr;
}

const AdapterProfile* AdapterProfileAt(unsigned index) {
    return index < Profiles().size() ? &Profiles()[index] : nullptr;
}

const AdapterProfile& ProfileForNewObject() {
    return selected ? *selected : ProfileFromEnvironment();
}

void ResetAdapterProfileSelection() {
    selected = nullptr;
}

bool FormatInSet(FormatSet set, D3DFORMAT format) {
    const int index = FormatLayoutIndex(format);
    return index >= 0 && (set >> index & 1) != 0;
}

HRESULT CheckResourceFormat(const AdapterProfile& profile, const char* call, DWORD usage,
                            D3DRESOURCETYPE resourceType, D3DFORMAT format) {
    const DWORD known = D3DUSAGE_RENDERTARGET | D3DUSAGE_DEPTHSTENCIL | D3DUSAGE_WRITEONLY |
                        D3DUSAGE_SOFTWAREPROCESSING | D3DUSAGE_DONOTCLIP | D3DUSAGE_POINTS |
                        D3DUSAGE_RTPATCHES | D3DUSAGE_NPATCHES | D3DUSAGE_DYNAMIC;
    if (usage & ~known) return Fail(D3DERR_INVALIDCALL, call, "unknown usage bits 0x%x", usage);
    const bool renderTarget = (usage & D3DUSAGE_RENDERTARGET) != 0;
    const bool depthStencil = (usage & D3DUSAGE_DEPTHSTENCIL) != 0;
    if (renderTarget && depthStencil)
        return Fail(D3DERR_INVALIDCALL, call, "render target and depth-stencil usage together");
    if ((renderTarget || depthStencil) && (usage & D3DUSAGE_DYNAMIC))
        return Fail(D3DERR_INVALIDCALL, call,
                    "dynamic render targets and depth buffers do not exist");

    FormatSet accepted = 0;
    switch (resourceType) {
    case D3DRTYPE_SURFACE:
    case D3DRTYPE_TEXTURE:
        accepted = renderTarget   ? profile.renderTargetFormats
                   : depthStencil ? profile.depthStencilFormats
                                  : profile.textureFormats;
        break;
    case D3DRTYPE_CUBETEXTURE:
        accepted = renderTarget   ? profile.renderTargetFormats & profile.cubeFormats
                   : depthStencil ? 0
                                  : profile.cubeFormats;
        break;
    case D3DRTYPE_VOLUME:
    case D3DRTYPE_VOLUMETEXTURE:
        accepted = (renderTarget || depthStencil) ? 0 : profile.volumeFormats;
        break;
    case D3DRTYPE_VERTEXBUFFER:
        if (format == D3DFMT_VERTEXDATA) return D3D_OK;
        return Fail(D3DERR_NOTAVAILABLE, call, "vertex buffers hold D3DFMT_VERTEXDATA only");
    case D3DRTYPE_INDEXBUFFER:
        if (format == D3DFMT_INDEX16 || format == D3DFMT_INDEX32) return D3D_OK;
        return Fail(D3DERR_NOTAVAILABLE, call, "index buffers hold D3DFMT_INDEX16 or _INDEX32");
    default:
        return Fail(D3DERR_INVALIDCALL, call, "unknown resource type %u",
                    static_cast<unsigned>(resourceType));
    }
    if (FormatInSet(accepted, format)) return D3D_OK;
    return Fail(D3DERR_NOTAVAILABLE, call, "profile \"%s\" does not offer %s for usage 0x%x",
                profile.name, FormatName(format), usage);
}

HRESULT CheckMultiSample(const AdapterProfile& profile, const char* call, D3DFORMAT format,
                         BOOL windowed, D3DMULTISAMPLE_TYPE type) {
    if (static_cast<DWORD>(type) > 16)
        return Fail(D3DERR_INVALIDCALL, call, "multisample type %u does not exist",
                    static_cast<unsigned>(type));
    if (!FormatInSet(profile.renderTargetFormats | profile.depthStencilFormats, format))
        return Fail(D3DERR_NOTAVAILABLE, call, "%s is neither a render-target nor a depth format",
                    FormatName(format));
    const DWORD accepted = windowed ? profile.windowedSamples : profile.fullScreenSamples;
    if (accepted >> type & 1) return D3D_OK;
    return Fail(D3DERR_NOTAVAILABLE, call, "profile \"%s\" offers no multisample type %u %s",
                profile.name, static_cast<unsigned>(type), windowed ? "windowed" : "full screen");
}

bool IsDisplayFormat(const AdapterProfile& profile, D3DFORMAT format) {
    for (UINT i = 0; i < profile.modeCount; ++i)
        if (profile.modes[i].Format == format) return true;
    return profile.desktop.Format == format;
}

bool BackBufferMatchesDisplay(D3DFORMAT display, D3DFORMAT backBuffer) {
    if (display == backBuffer) return true;
    return (display == D3DFMT_X8R8G8B8 && backBuffer == D3DFMT_A8R8G8B8) ||
           (display == D3DFMT_X1R5G5B5 && backBuffer == D3DFMT_A1R5G5B5);
}

void FillCaps(const AdapterProfile& profile, D3DDEVTYPE deviceType, D3DCAPS8* caps) {
    // Capability words whose bits the public header does not name are
    // written as numbers, each with what it stands for.
    *caps = D3DCAPS8{};
    caps->DeviceType = deviceType;
    caps->AdapterOrdinal = D3DADAPTER_DEFAULT;
    caps->Caps2 = 0x20000000u; // dynamic textures
    caps->PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    caps->PrimitiveMiscCaps = D3DPMISCCAPS_CULLNONE | D3DPMISCCAPS_CULLCW | D3DPMISCCAPS_CULLCCW;
    caps->RasterCaps = D3DPRASTERCAPS_ZTEST;
    caps->ZCmpCaps = 0xFFu;     // every comparison function, NEVER to ALWAYS
    caps->AlphaCmpCaps = 0xFFu; // likewise
    caps->SrcBlendCaps = 0x3u;  // ZERO and ONE
    caps->DestBlendCaps = 0x3u;
    caps->ShadeCaps = 0;
    caps->TextureCaps = profile.textureCaps;
    // Point and linear minification, magnification and mipmap filters.
    const DWORD filters = 0x00000300u | 0x00030000u | 0x03000000u;
    caps->TextureFilterCaps = filters;
    caps->CubeTextureFilterCaps = (profile.textureCaps & D3DPTEXTURECAPS_CUBEMAP) ? filters : 0;
    caps->VolumeTextureFilterCaps = (profile.textureCaps & D3DPTEXTURECAPS_VOLUMEMAP) ? filters : 0;
    caps->TextureAddressCaps = 0xFu; // wrap, mirror, clamp, border
    caps->VolumeTextureAddressCaps = (profile.textureCaps & D3DPTEXTURECAPS_VOLUMEMAP) ? 0xFu : 0;
    caps->MaxTextureWidth = profile.maxTextureWidth;
    caps->MaxTextureHeight = profile.maxTextureHeight;
    caps->MaxVolumeExtent =
        (profile.textureCaps & D3DPTEXTURECAPS_VOLUMEMAP) ? profile.maxVolumeExtent : 0;
    caps->MaxTextureRepeat = 8192;
    caps->MaxTextureAspectRatio = profile.maxTextureAspectRatio;
    caps->MaxAnisotropy = 1;
    caps->MaxVertexW = 1.0e10f;
    caps->FVFCaps = 8; // texture coordinate sets
    // DISABLE, SELECTARG1, SELECTARG2, MODULATE, MODULATE2X, MODULATE4X, ADD.
    caps->TextureOpCaps = 0x7Fu;
    caps->MaxTextureBlendStages = 8;
    caps->MaxSimultaneousTextures = 8;
    caps->MaxActiveLights = 0;
    caps->MaxVertexBlendMatrices = 1;
    caps->MaxPointSize = 1.0f;
    caps->MaxPrimitiveCount = 0xFFFFFu;
    caps->MaxVertexIndex = 0xFFFFFFu;
    caps->MaxStreams = 16;
    caps->MaxStreamStride = 256;
}

} // namespace txruntime

namespace txplatform {

bool SelectAdapterProfile(const char* name) {
    const txruntime::AdapterProfile* profile = txruntime::FindAdapterProfile(name);
    if (!profile) return false;
    txruntime::selected = profile;
    return true;
}

const char* CurrentAdapterProfile() {
    return txruntime::ProfileForNewObject().name;
}

const char* AdapterProfileName(unsigned index) {
    const txruntime::AdapterProfile* profile = txruntime::AdapterProfileAt(index);
    return profile ? profile->name : nullptr;
}

} // namespace txplatform
