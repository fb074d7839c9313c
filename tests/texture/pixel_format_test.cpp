// The pixel format table, the match cost and the format choices built on it,
// without a device and against devices of the runtime's adapter profiles.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/runtime_control.h"
#include "platform/win32_system.h"
#include "support/test_support.h"
#include "texture/debug_mute.h"
#include "texture/pixel_format.h"

namespace {

// ---------------------------------------------------------------------------
// The table
// ---------------------------------------------------------------------------

// Every row, in table order.
const FormatInfo kExpectedRows[] = {
    // format, kind, bpp, extra, alpha, red, green, blue, device
    {D3DFMT_R8G8B8, 0, 24, 0, 0, 8, 8, 8, 0},
    {D3DFMT_A8R8G8B8, 0, 32, 0, 8, 8, 8, 8, 1},
    {D3DFMT_X8R8G8B8, 0, 32, 0, 0, 8, 8, 8, 1},
    {D3DFMT_R5G6B5, 0, 16, 0, 0, 5, 6, 5, 1},
    {D3DFMT_X1R5G5B5, 0, 16, 0, 0, 5, 5, 5, 1},
    {D3DFMT_A8P8, 1, 16, 0, 8, 8, 8, 8, 1},
    {D3DFMT_P8, 1, 8, 0, 8, 8, 8, 8, 1},
    {D3DFMT_A1R5G5B5, 0, 16, 0, 1, 5, 5, 5, 1},
    {D3DFMT_A4R4G4B4, 0, 16, 0, 4, 4, 4, 4, 1},
    {D3DFMT_R3G3B2, 0, 8, 0, 0, 3, 3, 2, 1},
    {D3DFMT_A8, 0, 8, 0, 8, 0, 0, 0, 1},
    {D3DFMT_A8R3G3B2, 0, 16, 0, 8, 3, 3, 2, 1},
    {D3DFMT_X4R4G4B4, 0, 16, 0, 0, 4, 4, 4, 1},
    {D3DFMT_A2B10G10R10, 0, 32, 0, 2, 10, 10, 10, 1},
    {D3DFMT_G16R16, 0, 32, 0, 0, 16, 16, 0, 1},
    {D3DFMT_L8, 2, 8, 0, 0, 8, 8, 8, 1},
    {D3DFMT_A8L8, 2, 16, 0, 8, 8, 8, 8, 1},
    {D3DFMT_A4L4, 2, 8, 0, 4, 4, 4, 4, 1},
    {D3DFMT_V8U8, 3, 16, 0, 0, 0, 8, 8, 1},
    {D3DFMT_L6V5U5, 3, 16, 6, 0, 0, 5, 5, 1},
    {D3DFMT_X8L8V8U8, 3, 32, 8, 0, 0, 8, 8, 1},
    {D3DFMT_Q8W8V8U8, 3, 32, 0, 8, 8, 8, 8, 1},
    {D3DFMT_V16U16, 3, 32, 0, 0, 0, 16, 16, 1},
    {D3DFMT_W11V11U10, 3, 32, 0, 0, 11, 11, 10, 1},
    {D3DFMT_A2W10V10U10, 3, 32, 2, 0, 10, 10, 10, 1},
    {D3DFMT_UYVY, 0, 16, 0, 0, 8, 8, 8, 0},
    {D3DFMT_YUY2, 0, 16, 0, 0, 8, 8, 8, 0},
    {D3DFMT_DXT1, 0, 16, 0, 1, 5, 6, 5, 0},
    {D3DFMT_DXT2, 0, 16, 0, 4, 5, 6, 5, 0},
    {D3DFMT_DXT3, 0, 16, 0, 4, 5, 6, 5, 0},
    {D3DFMT_DXT4, 0, 16, 0, 8, 5, 6, 5, 0},
    {D3DFMT_DXT5, 0, 16, 0, 8, 5, 6, 5, 0},
    {D3DFMT_D16_LOCKABLE, 4, 16, 1, 0, 0, 0, 16, 1},
    {D3DFMT_D32, 4, 32, 0, 0, 0, 0, 32, 1},
    {D3DFMT_D15S1, 4, 16, 0, 0, 0, 1, 15, 1},
    {D3DFMT_D24S8, 4, 32, 0, 0, 0, 8, 24, 1},
    {D3DFMT_D16, 4, 16, 0, 0, 0, 0, 16, 1},
    {D3DFMT_D24X8, 4, 32, 0, 0, 0, 0, 24, 1},
    {D3DFMT_D24X4S4, 4, 32, 0, 0, 0, 4, 24, 1},
    {TXFMT_L16, 2, 16, 0, 0, 16, 16, 16, 0},
    {TXFMT_A16L16, 2, 32, 0, 16, 16, 16, 16, 0},
    {TXFMT_R16G16B16, 0, 48, 0, 0, 16, 16, 16, 0},
    {TXFMT_A16R16G16B16, 0, 64, 0, 16, 16, 16, 16, 0},
};

std::string Describe(const FormatInfo& r) {
    char text[128];
    std::snprintf(text, sizeof text, "{%08X kind %u bpp %u: %u %u %u %u %u, device %u}", r.format,
                  r.kind, r.bitsPerPixel, r.extraBits, r.alphaBits, r.redBits, r.greenBits,
                  r.blueBits, r.isDeviceFormat);
    return text;
}

const FormatInfo* Row(D3DFORMAT format) {
    return TxGetFormatInfo(format);
}

TEST(FormatTable, HoldsEveryRowInOrder) {
    const FormatInfo* previous = nullptr;
    for (const FormatInfo& expected : kExpectedRows) {
        const FormatInfo* row = Row(static_cast<D3DFORMAT>(expected.format));
        EXPECT_EQ(Describe(*row), Describe(expected));
        // Consecutive rows: the order decides ties.
        if (previous) {
            EXPECT_EQ(row, previous + 1) << Describe(expected);
        }
        previous = row;
    }
    EXPECT_EQ(TXFMT_L16, 0x36314C20u);
    EXPECT_EQ(TXFMT_A16L16, 0x36314C41u);
    EXPECT_EQ(TXFMT_R16G16B16, 0x36315220u);
    EXPECT_EQ(TXFMT_A16R16G16B16, 0x36315241u);
}

TEST(FormatTable, FormatsOutsideTheTableGetTheFallbackRow) {
    const FormatInfo fallback{D3DFMT_UNKNOWN, 0, 32, 0, 8, 8, 8, 8, 0};
    const FormatInfo* first = Row(D3DFMT_UNKNOWN);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(Describe(*first), Describe(fallback));
    for (DWORD format : {DWORD(D3DFMT_VERTEXDATA), DWORD(D3DFMT_INDEX32), DWORD(0x12345678u),
                         DWORD(MAKEFOURCC('D', 'X', 'T', '6'))}) {
        EXPECT_EQ(Row(static_cast<D3DFORMAT>(format)), first) << std::hex << format;
    }
}

TEST(FormatTable, MapsExtendedFormatsToTheirStandardCounterparts) {
    EXPECT_EQ(TxMapToStandardFormat(TXFMT_L16), D3DFMT_L8);
    EXPECT_EQ(TxMapToStandardFormat(TXFMT_A16L16), D3DFMT_A8L8);
    EXPECT_EQ(TxMapToStandardFormat(TXFMT_R16G16B16), D3DFMT_R8G8B8);
    EXPECT_EQ(TxMapToStandardFormat(TXFMT_A16R16G16B16), D3DFMT_A8R8G8B8);
    for (const FormatInfo& row : kExpectedRows) {
        const D3DFORMAT format = static_cast<D3DFORMAT>(row.format);
        if (format != TXFMT_L16 && format != TXFMT_A16L16 && format != TXFMT_R16G16B16 &&
            format != TXFMT_A16R16G16B16) {
            EXPECT_EQ(TxMapToStandardFormat(format), format);
        }
    }
    EXPECT_EQ(TxMapToStandardFormat(D3DFMT_UNKNOWN), D3DFMT_UNKNOWN);
}

// ---------------------------------------------------------------------------
// The match cost
// ---------------------------------------------------------------------------

constexpr DWORD kCannot = 0xFFFFFFFFu;

TEST(FormatMatchCost, WeighsMissingChannelsThenMissingBitsThenUnwantedChannelsThenSurplusBits) {
    const struct {
        D3DFORMAT wanted;
        D3DFORMAT candidate;
        DWORD cost;
    } cases[] = {
        {D3DFMT_R5G6B5, D3DFMT_R5G6B5, 0},
        {D3DFMT_R5G6B5, D3DFMT_X8R8G8B8, 3 + 2 + 3},
        {D3DFMT_R5G6B5, D3DFMT_X1R5G5B5, 65536},
        {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, 16777216},
        {D3DFMT_L8, D3DFMT_A8L8, 256},
        {D3DFMT_A8R8G8B8, D3DFMT_R3G3B2, 16777216 + 16 * 65536},
        {D3DFMT_A8R8G8B8, D3DFMT_R8G8B8, 16777216},
        {D3DFMT_DXT1, D3DFMT_A8R8G8B8, 7 + 3 + 2 + 3},
        {D3DFMT_DXT1, D3DFMT_A2B10G10R10, 1 + 5 + 4 + 5},
        {D3DFMT_DXT1, D3DFMT_A1R5G5B5, 65536},
        {D3DFMT_L8, D3DFMT_X8R8G8B8, 0}, // luminance may become colour
        {D3DFMT_P8, D3DFMT_A8R8G8B8, 0}, // so may a palette
        {D3DFMT_D32, D3DFMT_D16, 16 * 65536},
        // The only wanted channel is missing: nothing is held.
        {D3DFMT_A8, D3DFMT_X8R8G8B8, kCannot},
        {D3DFMT_A8, D3DFMT_R5G6B5, kCannot},
        // Kinds that the matrix does not allow.
        {D3DFMT_A8R8G8B8, D3DFMT_L8, kCannot},
        {D3DFMT_A8R8G8B8, D3DFMT_P8, kCannot},
        {D3DFMT_V8U8, D3DFMT_A8R8G8B8, kCannot},
        {D3DFMT_X8R8G8B8, D3DFMT_Q8W8V8U8, kCannot},
        {D3DFMT_D16, D3DFMT_R5G6B5, kCannot},
        {D3DFMT_L8, D3DFMT_P8, kCannot},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatMatchCost(Row(c.wanted), Row(c.candidate)), c.cost)
            << std::hex << c.wanted << " from " << c.candidate;
    }
}

TEST(FormatMatchCost, NothingHoldsAFormatWithoutChannels) {
    const FormatInfo none{0x7777, 0, 32, 0, 0, 0, 0, 0, 1};
    for (const FormatInfo& row : kExpectedRows) {
        EXPECT_EQ(FormatMatchCost(&none, &row), kCannot) << Describe(row);
    }
    // Kinds outside the matrix and missing rows hold nothing either.
    const FormatInfo strangeKind{0x7778, 9, 32, 0, 8, 8, 8, 8, 1};
    EXPECT_EQ(FormatMatchCost(&strangeKind, Row(D3DFMT_A8R8G8B8)), kCannot);
    EXPECT_EQ(FormatMatchCost(Row(D3DFMT_A8R8G8B8), &strangeKind), kCannot);
    EXPECT_EQ(FormatMatchCost(nullptr, Row(D3DFMT_A8R8G8B8)), kCannot);
    EXPECT_EQ(FormatMatchCost(Row(D3DFMT_A8R8G8B8), nullptr), kCannot);
}

// ---------------------------------------------------------------------------
// The closest format of a list
// ---------------------------------------------------------------------------

TEST(FindClosestFormat, ChoosesByCostThenFewerBitsThenListOrder) {
    const struct {
        const char* what;
        std::vector<D3DFORMAT> list; // without the terminating 0
        BOOL palette;
        D3DFORMAT wanted;
        D3DFORMAT expected;
    } cases[] = {
        // P8 is skipped as palettized, L8 is not colour, R3G3B2 costs
        // 17825792 and R8G8B8 16777216.
        {"colour from a BMP-like list",
         {D3DFMT_P8, D3DFMT_L8, D3DFMT_R3G3B2, D3DFMT_R8G8B8},
         FALSE,
         D3DFMT_A8R8G8B8,
         D3DFMT_R8G8B8},
        {"a palette does not make P8 colour",
         {D3DFMT_P8, D3DFMT_L8, D3DFMT_R3G3B2, D3DFMT_R8G8B8},
         TRUE,
         D3DFMT_A8R8G8B8,
         D3DFMT_R8G8B8},
        {"an exact match wins at once",
         {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5, D3DFMT_A8R8G8B8},
         FALSE,
         D3DFMT_R5G6B5,
         D3DFMT_R5G6B5},
        {"equal cost: fewer bits per pixel",
         {D3DFMT_A8R8G8B8, D3DFMT_P8},
         TRUE,
         D3DFMT_A8P8,
         D3DFMT_P8},
        {"palettized only with a palette",
         {D3DFMT_A8R8G8B8, D3DFMT_P8},
         FALSE,
         D3DFMT_A8P8,
         D3DFMT_A8R8G8B8},
        {"equal cost and size: the earlier",
         {D3DFMT_A2B10G10R10, D3DFMT_A8R8G8B8},
         FALSE,
         D3DFMT_DXT1,
         D3DFMT_A2B10G10R10},
        {"equal cost and size, reversed",
         {D3DFMT_A8R8G8B8, D3DFMT_A2B10G10R10},
         FALSE,
         D3DFMT_DXT1,
         D3DFMT_A8R8G8B8},
        {"formats outside the table are skipped",
         {static_cast<D3DFORMAT>(0x12345678u), D3DFMT_X1R5G5B5},
         FALSE,
         D3DFMT_R5G6B5,
         D3DFMT_X1R5G5B5},
        {"nothing holds alpha alone",
         {D3DFMT_X8R8G8B8, D3DFMT_R5G6B5},
         FALSE,
         D3DFMT_A8,
         D3DFMT_UNKNOWN},
        {"an empty list", {}, FALSE, D3DFMT_A8R8G8B8, D3DFMT_UNKNOWN},
        // The fallback row wants 8 bits in four channels.
        {"an unknown wanted format",
         {D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8},
         FALSE,
         D3DFMT_UNKNOWN,
         D3DFMT_A8R8G8B8},
    };
    for (const auto& c : cases) {
        std::vector<D3DFORMAT> list = c.list;
        list.push_back(D3DFMT_UNKNOWN);
        EXPECT_EQ(TxFindClosestFormat(list.data(), c.palette, Row(c.wanted)), c.expected) << c.what;
    }
    EXPECT_EQ(TxFindClosestFormat(nullptr, FALSE, Row(D3DFMT_A8R8G8B8)), D3DFMT_UNKNOWN);
}

// ---------------------------------------------------------------------------
// The closest device format
// ---------------------------------------------------------------------------

// Without a device every row counts as accepted: each format is its own
// answer, substitutes or not.
TEST(FindClosestDeviceFormat, WithoutDeviceEveryFormatIsItsOwnAnswer) {
    for (const FormatInfo& row : kExpectedRows) {
        EXPECT_EQ(TxFindClosestDeviceFormat(nullptr, 0, D3DRTYPE_TEXTURE, &row),
                  static_cast<D3DFORMAT>(row.format))
            << Describe(row);
    }
    EXPECT_EQ(TxFindClosestDeviceFormat(nullptr, 0, D3DRTYPE_TEXTURE, Row(D3DFMT_UNKNOWN)),
              D3DFMT_A8R8G8B8);
}

// Every row, under a format value that no row has, so that only substitutes
// answer: the answer is a device format of an allowed kind. Signed and depth
// formats never become colour, and nothing becomes signed or depth.
TEST(FindClosestDeviceFormat, SubstitutesOnlyDeviceFormatsOfAllowedKinds) {
    const bool allowed[5][5] = {{true, false, false, false, false},
                                {true, true, false, false, false},
                                {true, false, true, false, false},
                                {false, false, false, true, false},
                                {false, false, false, false, true}};
    for (const FormatInfo& row : kExpectedRows) {
        FormatInfo wanted = row;
        wanted.format = 0x7FFF0000u;
        const D3DFORMAT answer = TxFindClosestDeviceFormat(nullptr, 0, D3DRTYPE_TEXTURE, &wanted);
        ASSERT_NE(answer, D3DFMT_UNKNOWN) << Describe(row);
        const FormatInfo* chosen = Row(answer);
        EXPECT_TRUE(chosen->isDeviceFormat) << Describe(row) << " gave " << Describe(*chosen);
        EXPECT_TRUE(allowed[row.kind][chosen->kind])
            << Describe(row) << " gave " << Describe(*chosen);
        if (row.isDeviceFormat) {
            EXPECT_EQ(FormatMatchCost(&wanted, chosen), 0u) << "an equal row costs nothing";
        }
    }
}

// Collects what is written on standard error while it lives.
class StderrCapture {
public:
    StderrCapture() {
        std::fflush(stderr);
        file_ = std::tmpfile();
        saved_ = dup(fileno(stderr));
        dup2(fileno(file_), fileno(stderr));
    }
    ~StderrCapture() {
        Stop();
        std::fclose(file_);
    }
    std::string Text() {
        Stop();
        std::string text;
        std::rewind(file_);
        for (int ch; (ch = std::fgetc(file_)) != EOF;)
            text += char(ch);
        return text;
    }

private:
    void Stop() {
        if (saved_ < 0) return;
        std::fflush(stderr);
        dup2(saved_, fileno(stderr));
        close(saved_);
        saved_ = -1;
    }
    std::FILE* file_;
    int saved_;
};

// A device of the software runtime on a chosen adapter profile.
class DeviceFormatTest : public txtest::LiveObjectTest {
protected:
    void SetUp() override {
        LiveObjectTest::SetUp();
        ResetDebugMuteEntryPoints();
        txplatform::SetDebugOutput(false);
    }
    void TearDown() override {
        if (device) device->Release();
        if (d3d) d3d->Release();
        device = nullptr;
        d3d = nullptr;
        txplatform::SetDebugOutput(false);
        ResetDebugMuteEntryPoints();
        txplatform::SelectAdapterProfile("default");
        LiveObjectTest::TearDown();
    }

    void UseProfile(const char* profile) {
        ASSERT_TRUE(txplatform::SelectAdapterProfile(profile)) << profile;
        d3d = Direct3DCreate8(D3D_SDK_VERSION);
        ASSERT_NE(d3d, nullptr);
        D3DPRESENT_PARAMETERS p{};
        p.BackBufferWidth = 64;
        p.BackBufferHeight = 64;
        p.BackBufferFormat = D3DFMT_X8R8G8B8;
        p.SwapEffect = D3DSWAPEFFECT_DISCARD;
        p.Windowed = TRUE;
        ASSERT_EQ(d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr,
                                    D3DCREATE_SOFTWARE_VERTEXPROCESSING, &p, &device),
                  D3D_OK);
    }

    D3DFORMAT Closest(D3DFORMAT wanted, D3DRESOURCETYPE type = D3DRTYPE_TEXTURE) {
        return TxFindClosestDeviceFormat(device, 0, type, Row(wanted));
    }

    IDirect3D8* d3d = nullptr;
    IDirect3DDevice8* device = nullptr;
};

TEST_F(DeviceFormatTest, ADeviceThatAcceptsAFormatGetsItEvenWhenItIsNoSubstitute) {
    UseProfile("default");
    EXPECT_EQ(Closest(D3DFMT_DXT1), D3DFMT_DXT1);
    EXPECT_EQ(Closest(D3DFMT_DXT5), D3DFMT_DXT5);
    EXPECT_EQ(Closest(D3DFMT_R8G8B8), D3DFMT_R8G8B8);
    EXPECT_EQ(Closest(D3DFMT_P8), D3DFMT_P8);
    EXPECT_EQ(Closest(D3DFMT_V8U8), D3DFMT_V8U8);
    EXPECT_EQ(Closest(D3DFMT_D24S8), D3DFMT_D24S8);
}

// Without DXT, A8R8G8B8 and A2B10G10R10 both hold DXT1 at cost 15 and 32 bits
// per pixel; A8R8G8B8 is the earlier row. A1R5G5B5 lacks a bit of green.
TEST_F(DeviceFormatTest, ADeviceWithoutDxtGetsTheEarliestOfTheCheapestSubstitutes) {
    UseProfile("no-dxt");
    EXPECT_EQ(Closest(D3DFMT_DXT1), D3DFMT_A8R8G8B8);
    EXPECT_EQ(Closest(D3DFMT_DXT3), D3DFMT_A8R8G8B8);
    EXPECT_EQ(Closest(D3DFMT_DXT5), D3DFMT_A8R8G8B8);
    EXPECT_EQ(Closest(D3DFMT_DXT1, D3DRTYPE_CUBETEXTURE), D3DFMT_A8R8G8B8);
}

// The runtime does not create the extended formats: they are replaced by the
// cheapest format that it does create. Ten bits of A2B10G10R10 miss fewer of
// the 16 than eight do (an unwanted alpha costs less than a missing bit);
// with alpha wanted, A8L8 and A8R8G8B8 tie with A2B10G10R10, and fewer bits
// per pixel, then the earlier row decide.
TEST_F(DeviceFormatTest, ExtendedFormatsAreReplacedByWhatTheDeviceCreates) {
    UseProfile("default");
    EXPECT_EQ(Closest(TXFMT_L16), D3DFMT_A2B10G10R10);
    EXPECT_EQ(Closest(TXFMT_R16G16B16), D3DFMT_A2B10G10R10);
    EXPECT_EQ(Closest(TXFMT_A16L16), D3DFMT_A8L8);
    EXPECT_EQ(Closest(TXFMT_A16R16G16B16), D3DFMT_A8R8G8B8);
}

// The probing calls that are expected to fail are silenced: with the
// runtime's debug output on, nothing is written, and the mute is lifted
// afterwards.
TEST_F(DeviceFormatTest, ProbingIsMutedAndUnmutedAfterwards) {
    UseProfile("no-dxt");
    const unsigned callsBefore = txplatform::DebugSetMuteCallCount("d3d8.dll");
    txplatform::SetDebugOutput(true);
    StderrCapture capture;
    EXPECT_EQ(Closest(D3DFMT_DXT1), D3DFMT_A8R8G8B8);
    const std::string text = capture.Text();
    EXPECT_EQ(text, "");
    EXPECT_EQ(txplatform::DebugSetMuteCallCount("d3d8.dll"), callsBefore + 2);
    EXPECT_EQ(txplatform::DebugSetMuteLastValue("d3d8.dll"), 0u);
}

// A device whose queries fail, for the paths on which the search cannot ask
// the Direct3D object; its GetDirect3D hands out a real one when asked to.
class FailingDevice final : public IDirect3DDevice8 {
public:
    FailingDevice(IDirect3D8* d3d, bool capsFail) : d3d_(d3d), capsFail_(capsFail) {}

    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetDirect3D(IDirect3D8** d3d) override {
        *d3d = d3d_;
        if (!d3d_) return D3DERR_INVALIDCALL;
        d3d_->AddRef();
        return D3D_OK;
    }
    HRESULT GetDeviceCaps(D3DCAPS8*) override { return capsFail_ ? D3DERR_INVALIDCALL : D3D_OK; }
    HRESULT GetDisplayMode(D3DDISPLAYMODE*) override { return D3DERR_INVALIDCALL; }

    // Nothing else is called.
    HRESULT TestCooperativeLevel() override { return E_FAIL; }
    UINT GetAvailableTextureMem() override { return 0; }
    HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS*) override { return E_FAIL; }
    HRESULT Reset(D3DPRESENT_PARAMETERS*) override { return E_FAIL; }
    HRESULT Present(const RECT*, const RECT*, HWND, const void*) override { return E_FAIL; }
    HRESULT GetBackBuffer(UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface8**) override { return E_FAIL; }
    HRESULT CreateTexture(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                          IDirect3DTexture8**) override {
        return E_FAIL;
    }
    HRESULT CreateVolumeTexture(UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                                IDirect3DVolumeTexture8**) override {
        return E_FAIL;
    }
    HRESULT CreateCubeTexture(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL,
                              IDirect3DCubeTexture8**) override {
        return E_FAIL;
    }
    HRESULT CreateVertexBuffer(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer8**) override {
        return E_FAIL;
    }
    HRESULT CreateRenderTarget(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, BOOL,
                               IDirect3DSurface8**) override {
        return E_FAIL;
    }
    HRESULT CreateDepthStencilSurface(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE,
                                      IDirect3DSurface8**) override {
        return E_FAIL;
    }
    HRESULT CreateImageSurface(UINT, UINT, D3DFORMAT, IDirect3DSurface8**) override {
        return E_FAIL;
    }
    HRESULT CopyRects(IDirect3DSurface8*, const RECT*, UINT, IDirect3DSurface8*,
                      const POINT*) override {
        return E_FAIL;
    }
    HRESULT UpdateTexture(IDirect3DBaseTexture8*, IDirect3DBaseTexture8*) override {
        return E_FAIL;
    }
    HRESULT GetFrontBuffer(IDirect3DSurface8*) override { return E_FAIL; }
    HRESULT GetRenderTarget(IDirect3DSurface8**) override { return E_FAIL; }
    HRESULT GetDepthStencilSurface(IDirect3DSurface8**) override { return E_FAIL; }
    HRESULT BeginScene() override { return E_FAIL; }
    HRESULT EndScene() override { return E_FAIL; }
    HRESULT Clear(DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override { return E_FAIL; }
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE, const D3DMATRIX*) override { return E_FAIL; }
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override { return E_FAIL; }
    HRESULT SetViewport(const D3DVIEWPORT8*) override { return E_FAIL; }
    HRESULT GetViewport(D3DVIEWPORT8*) override { return E_FAIL; }
    HRESULT SetRenderState(D3DRENDERSTATETYPE, DWORD) override { return E_FAIL; }
    HRESULT GetRenderState(D3DRENDERSTATETYPE, DWORD*) override { return E_FAIL; }
    HRESULT GetTexture(DWORD, IDirect3DBaseTexture8**) override { return E_FAIL; }
    HRESULT SetTexture(DWORD, IDirect3DBaseTexture8*) override { return E_FAIL; }
    HRESULT GetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) override {
        return E_FAIL;
    }
    HRESULT SetTextureStageState(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override { return E_FAIL; }
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE, UINT, UINT) override { return E_FAIL; }
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE, UINT, const void*, UINT) override { return E_FAIL; }
    HRESULT SetVertexShader(DWORD) override { return E_FAIL; }
    HRESULT GetVertexShader(DWORD*) override { return E_FAIL; }
    HRESULT SetStreamSource(UINT, IDirect3DVertexBuffer8*, UINT) override { return E_FAIL; }
    HRESULT GetStreamSource(UINT, IDirect3DVertexBuffer8**, UINT*) override { return E_FAIL; }

private:
    IDirect3D8* d3d_;
    bool capsFail_;
};

// A device that cannot give its Direct3D object, caps or display mode leaves
// nothing to ask: no format fits, the Direct3D reference is given back and
// the mute is lifted.
TEST_F(DeviceFormatTest, FailingDeviceQueriesGiveNoFormatAndLeakNothing) {
    const unsigned callsBefore = txplatform::DebugSetMuteCallCount("d3d8.dll");
    FailingDevice withoutDirect3D(nullptr, false);
    EXPECT_EQ(
        TxFindClosestDeviceFormat(&withoutDirect3D, 0, D3DRTYPE_TEXTURE, Row(D3DFMT_A8R8G8B8)),
        D3DFMT_UNKNOWN);

    IDirect3D8* real = Direct3DCreate8(D3D_SDK_VERSION);
    ASSERT_NE(real, nullptr);
    for (bool capsFail : {true, false}) {
        FailingDevice failing(real, capsFail);
        EXPECT_EQ(TxFindClosestDeviceFormat(&failing, 0, D3DRTYPE_TEXTURE, Row(D3DFMT_DXT1)),
                  D3DFMT_UNKNOWN);
    }
    // Only our own reference is left.
    EXPECT_EQ(real->Release(), 0u);
    EXPECT_EQ(txplatform::DebugSetMuteCallCount("d3d8.dll"), callsBefore + 6);
    EXPECT_EQ(txplatform::DebugSetMuteLastValue("d3d8.dll"), 0u);
}

} // namespace
