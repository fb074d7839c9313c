// The keyboard commands typed into the viewer window: what each key changes,
// which keys reconfigure, the sample-count search and the window sizes.
#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "viewer/frame.h"
#include "viewer_fixture.h"

namespace viewertest {
namespace {

struct KeyCase {
    char key;
    void (*expect)(ViewSnapshot& view);
};

// The initial toggles, and angles away from the limits so that one step is
// plain arithmetic: every step lands on the float nearest the decimal
// written in the table.
void SetBaseline() {
    const ViewerState initial{};
    viewerState.spinX = initial.spinX;
    viewerState.spinY = initial.spinY;
    viewerState.spinZ = initial.spinZ;
    viewerState.swapDrawOrder = initial.swapDrawOrder;
    viewerState.textureColour = initial.textureColour;
    viewerState.angleX = 0.5f;
    viewerState.angleY = -0.5f;
    viewerState.angleZ = 1.0f;
}

const KeyCase kViewKeys[] = {
    {'e', [](ViewSnapshot& v) { v.angleX = 0.6f; }},
    {'d', [](ViewSnapshot& v) { v.angleX = 0.4f; }},
    {'r', [](ViewSnapshot& v) { v.angleY = -0.4f; }},
    {'f', [](ViewSnapshot& v) { v.angleY = -0.6f; }},
    {'t', [](ViewSnapshot& v) { v.angleZ = 1.1f; }},
    {'g', [](ViewSnapshot& v) { v.angleZ = 0.9f; }},
    {'c', [](ViewSnapshot& v) { v.spinX = true; }},
    {'v', [](ViewSnapshot& v) { v.spinY = false; }},
    {'b', [](ViewSnapshot& v) { v.spinZ = true; }},
    {'o', [](ViewSnapshot& v) { v.swapDrawOrder = true; }},
    {'s', [](ViewSnapshot& v) { v.textureColour = true; }},
    {' ', [](ViewSnapshot& v) { v.angleX = v.angleY = v.angleZ = 0.0f; }},
};

TEST_F(ViewerTest, EachViewKeyChangesOnlyItsFieldAndKeepsTheDevice) {
    ApplyConfiguration();
    for (const KeyCase& c : kViewKeys) {
        SCOPED_TRACE(std::string("key '") + c.key + "'");
        SetBaseline();
        ViewSnapshot expected = ViewSnapshot::Take();
        c.expect(expected);
        MarkTitle();
        Type(std::string(1, c.key));
        EXPECT_EQ(ViewSnapshot::Take(), expected);
        EXPECT_FALSE(Reconfigured());
    }
}

TEST_F(ViewerTest, TogglesFlipBackOnTheSecondPress) {
    ApplyConfiguration();
    const ViewSnapshot before = ViewSnapshot::Take();
    Type("cvbos");
    EXPECT_FALSE(ViewSnapshot::Take() == before);
    Type("cvbos");
    EXPECT_EQ(ViewSnapshot::Take(), before);
}

TEST_F(ViewerTest, HeldKeyStepsTheAngleOncePerCharacter) {
    ApplyConfiguration();
    Type("rrrr");
    EXPECT_NEAR(viewerState.angleY, 0.4f, 1e-6f);
}

TEST_F(ViewerTest, SpaceResetsTheAnglesButSpinningGoesOn) {
    ApplyConfiguration();
    viewerState.spinX = true;
    viewerState.angleX = 2.0f;
    viewerState.angleY = -1.0f;
    viewerState.angleZ = 3.0f;
    Type(" ");
    EXPECT_EQ(viewerState.angleX, 0.0f);
    EXPECT_EQ(viewerState.angleY, 0.0f);
    EXPECT_EQ(viewerState.angleZ, 0.0f);
    EXPECT_TRUE(viewerState.spinX);
    EXPECT_TRUE(viewerState.spinY);
    DrawFrame();
    EXPECT_NEAR(viewerState.angleX, 0.1f, 1e-6f);
    EXPECT_NEAR(viewerState.angleY, 0.1f, 1e-6f);
    EXPECT_EQ(viewerState.angleZ, 0.0f);
}

TEST_F(ViewerTest, CharactersOutsideTheTableDoNothing) {
    ApplyConfiguration();
    SetBaseline();
    const ViewSnapshot before = ViewSnapshot::Take();
    // Upper case, digits, punctuation, control characters, Latin-1 letters,
    // and codes whose low byte is a command character.
    const WPARAM ignored[] = {'Q',  'A',  'E',  'D', 'R', 'F', 'T',   'G',   'C',   'V',
                              'B',  'O',  'S',  'W', 'Z', 'H', '0',   '9',   '!',   '-',
                              '\t', '\r', 0x1B, 'x', 'y', 'p', 0xE9u, 0xF1u, 0x171, 0x120};
    for (WPARAM character : ignored) {
        SCOPED_TRACE(testing::Message() << "character 0x" << std::hex << character);
        MarkTitle();
        PostMessageA(viewerState.window, WM_CHAR, character, 1);
        Pump();
        EXPECT_EQ(ViewSnapshot::Take(), before);
        EXPECT_FALSE(Reconfigured());
    }
}

struct SampleStep {
    char key;
    int samples;
    bool reconfigures;
};

TEST_F(ViewerTest, SampleCountStepsThroughTheCountsTheAdapterAccepts) {
    // Only 0, 2 and 4: 'q' from 0 skips the refused 1, and from 4 tries 5 to
    // 16 in vain and stays.
    UseProfile("msaa-0-2-4");
    ApplyConfiguration();
    const SampleStep steps[] = {
        {'a', 0, false}, {'q', 2, true}, {'q', 4, true},  {'q', 4, false},
        {'a', 2, true},  {'a', 0, true}, {'a', 0, false},
    };
    for (const SampleStep& step : steps) {
        SCOPED_TRACE(testing::Message() << "'" << step.key << "' towards " << step.samples);
        MarkTitle();
        Type(std::string(1, step.key));
        EXPECT_EQ(viewerState.sampleCount, step.samples);
        EXPECT_EQ(Reconfigured(), step.reconfigures);
        if (step.reconfigures) {
            EXPECT_EQ(Title(), "Varnek Samples = " + std::to_string(step.samples));
        }
        ASSERT_NE(viewerState.device, nullptr);
        EXPECT_EQ(BackBufferDesc().MultiSampleType, static_cast<D3DMULTISAMPLE_TYPE>(step.samples));
    }
}

TEST_F(ViewerTest, SampleCountStopsAtSixteen) {
    viewerState.sampleCount = 16;
    ApplyConfiguration();
    MarkTitle();
    Type("q");
    EXPECT_EQ(viewerState.sampleCount, 16);
    EXPECT_FALSE(Reconfigured());
    Type("a");
    EXPECT_EQ(viewerState.sampleCount, 15);
    EXPECT_EQ(Title(), "Varnek Samples = 15");
}

TEST_F(ViewerTest, ReconfigurationKeepsAnglesAndToggles) {
    ApplyConfiguration();
    viewerState.angleX = 1.5f;
    viewerState.angleY = -2.5f;
    viewerState.angleZ = 0.25f;
    viewerState.spinZ = true;
    viewerState.swapDrawOrder = true;
    viewerState.textureColour = true;
    ViewSnapshot expected = ViewSnapshot::Take();
    Type("qqazwwz");
    expected.sampleCount = 2;
    EXPECT_EQ(ViewSnapshot::Take(), expected);
    EXPECT_EQ(Title(), "Varnek Samples = 2");
}

TEST_F(ViewerTest, MagnifiedViewKeepsTheSmallBackBufferInTheLargeWindow) {
    ApplyConfiguration();
    struct Expect {
        bool magnify;
        UINT backBuffer;
    };
    // Starts magnified; 'z' switches.
    const Expect expected[] = {{true, 100}, {false, 400}, {true, 100}};
    for (size_t i = 0; i < std::size(expected); ++i) {
        SCOPED_TRACE(testing::Message() << "after " << i << " 'z'");
        if (i > 0) Type("z");
        EXPECT_EQ(viewerState.magnify, expected[i].magnify);
        const SIZE client = ClientSize();
        EXPECT_EQ(client.cx, 400);
        EXPECT_EQ(client.cy, 400);
        const D3DSURFACE_DESC desc = BackBufferDesc();
        EXPECT_EQ(desc.Width, expected[i].backBuffer);
        EXPECT_EQ(desc.Height, expected[i].backBuffer);
    }
}

TEST_F(ViewerTest, FullScreenUsesA640By480BackBufferInTheDesktopFormat) {
    struct ProfileCase {
        const char* profile;
        D3DFORMAT desktopFormat;
    };
    for (const ProfileCase& c :
         {ProfileCase{"default", D3DFMT_X8R8G8B8}, ProfileCase{"display-r5g6b5", D3DFMT_R5G6B5}}) {
        SCOPED_TRACE(c.profile);
        ReleaseViewerObjects();
        viewerState.windowed = true;
        UseProfile(c.profile);
        ApplyConfiguration();
        EXPECT_EQ(BackBufferDesc().Format, c.desktopFormat);

        Type("w");
        EXPECT_FALSE(viewerState.windowed);
        EXPECT_EQ(Title(), "Varnek Samples = 0");
        D3DSURFACE_DESC desc = BackBufferDesc();
        EXPECT_EQ(desc.Width, 640u);
        EXPECT_EQ(desc.Height, 480u);
        EXPECT_EQ(desc.Format, c.desktopFormat);
        EXPECT_EQ(DeviceDisplayMode().Width, 640u);

        Type("w");
        EXPECT_TRUE(viewerState.windowed);
        desc = BackBufferDesc();
        EXPECT_EQ(desc.Width, 100u);
        EXPECT_EQ(desc.Height, 100u);
        EXPECT_EQ(DeviceDisplayMode().Width, 1024u);
    }
}

} // namespace
} // namespace viewertest
