// The scene's textures: read from the working folder's bitmaps at every
// reconfiguration, shown by the 's' key, and missing bitmaps that leave the
// viewer running.
#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "imagefile/image_file.h"
#include "platform/window_host.h"
#include "texture/texture.h"
#include "viewer/frame.h"
#include "viewer_fixture.h"

namespace viewertest {
namespace {

// Writes a bitmap of one colour (0xRRGGBB) into the working folder.
void WriteSolidBitmap(const char* name, UINT width, UINT height, DWORD colour) {
    ImageFile image;
    BYTE* pixels = nullptr;
    ASSERT_EQ(image.AllocatePixels(UINT64(width) * height * 3, &pixels), S_OK);
    for (size_t i = 0; i < size_t(width) * height; ++i) {
        pixels[3 * i] = BYTE(colour);
        pixels[3 * i + 1] = BYTE(colour >> 8);
        pixels[3 * i + 2] = BYTE(colour >> 16);
    }
    image.format = D3DFMT_R8G8B8;
    image.width = width;
    image.height = height;
    image.depth = 1;
    image.box = D3DBOX{0, 0, width, height, 0, 1};
    image.rowPitch = width * 3;
    ASSERT_EQ(image.Save(name, TX_IFF_BMP, FALSE), S_OK);
}

struct TopLevel {
    UINT width = 0, height = 0;
    std::vector<DWORD> colours; // the distinct colours of level 0, without X or alpha
};

TopLevel ReadTopLevel(IDirect3DTexture8* texture) {
    TopLevel top;
    if (!texture) return top;
    D3DSURFACE_DESC desc;
    EXPECT_EQ(texture->GetLevelDesc(0, &desc), D3D_OK);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    top.width = desc.Width;
    top.height = desc.Height;
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    for (UINT y = 0; y < desc.Height; ++y)
        for (UINT x = 0; x < desc.Width; ++x) {
            const DWORD colour =
                reinterpret_cast<const DWORD*>(static_cast<const BYTE*>(locked.pBits) +
                                               size_t(y) * locked.Pitch)[x] &
                0xFFFFFFu;
            if (top.colours.empty() || top.colours.back() != colour) top.colours.push_back(colour);
        }
    texture->UnlockRect(0);
    return top;
}

bool MadeOnTheViewersDevice(IDirect3DTexture8* texture) {
    IDirect3DDevice8* device = nullptr;
    if (!texture || FAILED(texture->GetDevice(&device))) return false;
    device->Release();
    return device == viewerState.device;
}

TEST_F(ViewerTest, SceneTexturesComeFromTheBitmapsAtEveryReconfiguration) {
    // A device that needs powers of two scales a bitmap of another size.
    UseProfile("pow2-only");
    ApplyConfiguration();
    ASSERT_NE(viewerState.device, nullptr);
    ASSERT_NE(viewerState.vertexBuffer, nullptr);
    const TopLevel black = ReadTopLevel(viewerState.blackTexture);
    const TopLevel white = ReadTopLevel(viewerState.whiteTexture);
    EXPECT_EQ(black.width, 64u);
    EXPECT_EQ(black.colours, std::vector<DWORD>{0x000000u});
    EXPECT_EQ(white.colours, std::vector<DWORD>{0xFFFFFFu});
    EXPECT_EQ(viewerState.whiteTexture->GetLevelCount(), 7u);

    // A new picture under the same name shows after the next reconfiguration,
    // not before.
    WriteSolidBitmap("White.bmp", 100, 60, 0xC02010u);
    DrawFrame();
    EXPECT_EQ(ReadTopLevel(viewerState.whiteTexture).colours, std::vector<DWORD>{0xFFFFFFu});
    for (const char* key : {"z", "q"}) {
        SCOPED_TRACE(key);
        Type(key);
        ASSERT_NE(viewerState.device, nullptr);
        EXPECT_TRUE(MadeOnTheViewersDevice(viewerState.blackTexture));
        EXPECT_TRUE(MadeOnTheViewersDevice(viewerState.whiteTexture));
        const TopLevel replaced = ReadTopLevel(viewerState.whiteTexture);
        EXPECT_EQ(replaced.width, 128u);
        EXPECT_EQ(replaced.height, 64u);
        EXPECT_EQ(replaced.colours, std::vector<DWORD>{0xC02010u});
        EXPECT_EQ(ReadTopLevel(viewerState.blackTexture).colours, std::vector<DWORD>{0x000000u});
        EXPECT_NE(viewerState.vertexBuffer, nullptr);
    }
}

// Draws a frame and reads what it put in the window, colours without alpha.
std::vector<uint32_t> FramePicture() {
    DrawFrame();
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    EXPECT_TRUE(txplatform::ReadWindowImage(viewerState.window, &pixels, &width, &height));
    for (uint32_t& pixel : pixels)
        pixel &= 0xFFFFFFu;
    return pixels;
}

// Each triangle carries the texture of the opposite colour: with texture
// colour on, every white pixel of the picture turns black and every black
// one white, and the clear colour around them stays.
TEST_F(ViewerTest, TextureColourSwapsTheColoursOfTheTrianglesOnScreen) {
    ApplyConfiguration();
    ASSERT_NE(viewerState.vertexBuffer, nullptr);
    viewerState.spinY = false;
    viewerState.angleY = 0.8f; // both triangles face the camera at an angle
    const std::vector<uint32_t> vertexColours = FramePicture();
    Type("s");
    const std::vector<uint32_t> textureColours = FramePicture();
    ASSERT_FALSE(vertexColours.empty());
    ASSERT_EQ(vertexColours.size(), textureColours.size());

    size_t white = 0, black = 0;
    for (size_t i = 0; i < vertexColours.size(); ++i) {
        const uint32_t before = vertexColours[i];
        const uint32_t swapped = before == 0xFFFFFFu ? 0u : before == 0u ? 0xFFFFFFu : before;
        white += before == 0xFFFFFFu;
        black += before == 0u;
        ASSERT_EQ(textureColours[i], swapped) << "pixel " << i;
    }
    EXPECT_GT(white, vertexColours.size() / 50);
    EXPECT_GT(black, vertexColours.size() / 50);
}

TEST_F(ViewerTest, MissingBitmapsLeaveTheViewerRunningWithWhatItHas) {
    struct Case {
        const char* missing;
        bool black; // whether the black texture is made
    };
    for (const Case& c : {Case{"Black.bmp", false}, Case{"White.bmp", true}}) {
        SCOPED_TRACE(c.missing);
        ASSERT_TRUE(CopySceneBitmaps("."));
        ASSERT_EQ(std::remove(c.missing), 0);
        ApplyConfiguration();
        EXPECT_EQ(Title(), "Varnek Samples = 0");
        ASSERT_NE(viewerState.device, nullptr);
        EXPECT_EQ(viewerState.blackTexture != nullptr, c.black);
        EXPECT_EQ(viewerState.whiteTexture, nullptr);
        EXPECT_EQ(viewerState.vertexBuffer, nullptr);
        DrawFrame();
        Type("sozh");
        DrawFrame();
        EXPECT_NE(viewerState.device, nullptr);

        // Once the bitmap is back, the next reconfiguration makes the scene.
        ASSERT_TRUE(CopySceneBitmaps("."));
        Type("z");
        EXPECT_NE(viewerState.blackTexture, nullptr);
        EXPECT_NE(viewerState.whiteTexture, nullptr);
        EXPECT_NE(viewerState.vertexBuffer, nullptr);
    }
}

} // namespace
} // namespace viewertest
