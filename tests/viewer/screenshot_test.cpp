// Screenshots: the numbered names, files that are never replaced, failed
// saves that leave their number free, and the front-buffer capture.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "imagefile/image_file.h"
#include "texture/texture.h"
#include "viewer/screenshot.h"
#include "viewer_fixture.h"

namespace viewertest {
namespace {

// The numbered bitmaps of the working folder, sorted.
std::vector<std::string> Screenshots() {
    std::vector<std::string> names;
    if (DIR* dir = opendir(".")) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name.size() > 4 && name.compare(name.size() - 4, 4, ".bmp") == 0 &&
                std::all_of(name.begin(), name.end() - 4,
                            [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
                names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<unsigned char> Contents(const std::string& name) {
    return txtest::ReadFileBytes(name);
}

class ScreenshotTest : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        ApplyConfiguration();
        ASSERT_NE(viewerState.device, nullptr);
        ASSERT_EQ(viewerState.device->CreateImageSurface(6, 4, D3DFMT_X8R8G8B8, &surface_), D3D_OK);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(surface_->LockRect(&locked, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < 4; ++y)
            for (UINT x = 0; x < 6; ++x)
                reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] =
                    0xFF336699u;
        surface_->UnlockRect();
    }

    void TearDown() override {
        if (surface_) surface_->Release();
        surface_ = nullptr;
        ViewerTest::TearDown();
    }

    // Whether `name` is a 6 by 4 bitmap of the test surface's colour.
    static bool HoldsTheSurface(const std::string& name) {
        const std::vector<unsigned char> file = Contents(name);
        ImageFile image;
        if (file.empty() || FAILED(image.Load(file.data(), UINT(file.size()), nullptr, TRUE)))
            return false;
        if (image.width != 6 || image.height != 4 || image.format != D3DFMT_R8G8B8) return false;
        for (UINT y = 0; y < 4; ++y)
            for (UINT x = 0; x < 6; ++x) {
                const BYTE* bgr = image.pixels + size_t(y) * image.rowPitch + 3 * x;
                if (bgr[0] != 0x99 || bgr[1] != 0x66 || bgr[2] != 0x33) return false;
            }
        return true;
    }

    IDirect3DSurface8* surface_ = nullptr;
};

TEST_F(ScreenshotTest, TakesTheLowestFreeNumber) {
    struct Case {
        std::vector<std::string> existing;
        const char* written;
    };
    const Case cases[] = {
        {{}, "0.bmp"},
        {{"0.bmp", "1.bmp"}, "2.bmp"},
        // Numbers are not continued from the highest one.
        {{"1.bmp"}, "0.bmp"},
        {{"0.bmp", "2.bmp", "3.bmp"}, "1.bmp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.written);
        for (const std::string& name : Screenshots())
            ASSERT_EQ(std::remove(name.c_str()), 0);
        for (const std::string& name : c.existing)
            ASSERT_TRUE(txtest::WriteFileBytes(name, {'o', 'l', 'd'}));
        char name[kScreenshotNameSize] = {};
        ASSERT_EQ(SaveScreenshot(surface_, &name), S_OK);
        EXPECT_STREQ(name, c.written);
        EXPECT_TRUE(HoldsTheSurface(c.written));
        for (const std::string& old : c.existing)
            EXPECT_EQ(Contents(old), (std::vector<unsigned char>{'o', 'l', 'd'})) << old;
        EXPECT_EQ(Screenshots().size(), c.existing.size() + 1);
    }
}

// Whatever exists under a name takes it, even when it cannot be read: a file
// another program holds open without sharing, a file without read
// permission, a folder, a link to nowhere. None of them is replaced or
// written through.
TEST_F(ScreenshotTest, NamesOfThingsThatCannotBeReadAreNotReused) {
    const std::vector<unsigned char> kept = {'k', 'e', 'e', 'p'};
    ASSERT_TRUE(txtest::WriteFileBytes("0.bmp", kept));
    const HANDLE held =
        CreateFileA("0.bmp", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateFileA("0.bmp", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE)
        << "the held file should not open for reading";

    ASSERT_TRUE(txtest::WriteFileBytes("1.bmp", kept));
    ASSERT_EQ(chmod("1.bmp", 0), 0);
    ASSERT_EQ(mkdir("2.bmp", 0755), 0);
    ASSERT_EQ(symlink("nowhere.bmp", "3.bmp"), 0);

    char name[kScreenshotNameSize] = {};
    EXPECT_EQ(SaveScreenshot(surface_, &name), S_OK);
    EXPECT_STREQ(name, "4.bmp");
    EXPECT_TRUE(HoldsTheSurface("4.bmp"));
    CloseHandle(held);
    EXPECT_EQ(Contents("0.bmp"), kept);
    ASSERT_EQ(chmod("1.bmp", 0644), 0);
    EXPECT_EQ(Contents("1.bmp"), kept);
    struct stat info;
    EXPECT_EQ(lstat("3.bmp", &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_NE(access("nowhere.bmp", F_OK), 0) << "the link was written through";
    rmdir("2.bmp");
}

TEST_F(ScreenshotTest, FailedSaveLeavesItsNumberFree) {
    // No bitmap can hold signed pixels.
    IDirect3DSurface8* bump = nullptr;
    ASSERT_EQ(viewerState.device->CreateImageSurface(4, 4, D3DFMT_V8U8, &bump), D3D_OK);
    ASSERT_TRUE(txtest::WriteFileBytes("0.bmp", {'o', 'l', 'd'}));
    EXPECT_EQ(SaveScreenshot(bump, nullptr), TXERR_INVALIDDATA);
    bump->Release();
    EXPECT_EQ(Screenshots(), std::vector<std::string>{"0.bmp"});
    EXPECT_EQ(SaveScreenshot(nullptr, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(Screenshots(), std::vector<std::string>{"0.bmp"});

    char name[kScreenshotNameSize] = {};
    ASSERT_EQ(SaveScreenshot(surface_, &name), S_OK);
    EXPECT_STREQ(name, "1.bmp");
}

TEST_F(ScreenshotTest, CaptureSavesTheWholeDisplayOrNothing) {
    IDirect3DDevice8* device = viewerState.device;
    D3DDISPLAYMODE mode;
    ASSERT_EQ(device->GetDisplayMode(&mode), D3D_OK);
    ASSERT_TRUE(txtest::WriteFileBytes("0.bmp", {'o', 'l', 'd'}));
    const HRESULT captured = CaptureFrontBuffer();

    // Whether this runtime can read its front buffer decides what the
    // capture could do.
    IDirect3DSurface8* probe = nullptr;
    ASSERT_EQ(device->CreateImageSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, &probe), D3D_OK);
    const HRESULT frontBuffer = device->GetFrontBuffer(probe);
    probe->Release();
    if (FAILED(frontBuffer)) {
        EXPECT_EQ(captured, frontBuffer);
        EXPECT_EQ(Screenshots(), std::vector<std::string>{"0.bmp"});
    } else {
        ASSERT_EQ(captured, S_OK);
        EXPECT_EQ(Screenshots(), (std::vector<std::string>{"0.bmp", "1.bmp"}));
        const std::vector<unsigned char> file = Contents("1.bmp");
        ImageFile image;
        ASSERT_EQ(image.Load(file.data(), UINT(file.size()), nullptr, TRUE), S_OK);
        EXPECT_EQ(image.width, mode.Width);
        EXPECT_EQ(image.height, mode.Height);
    }
    EXPECT_EQ(Contents("0.bmp"), (std::vector<unsigned char>{'o', 'l', 'd'}));

    // The key runs the same capture; without a device there is nothing to
    // capture from.
    Type("h");
    ReleaseViewerObjects();
    EXPECT_EQ(CaptureFrontBuffer(), D3DERR_INVALIDCALL);
    Type("h");
}

} // namespace
} // namespace viewertest
