// The viewer program in a real X window: keys typed through the X server,
// the title, a screen capture of the magnified view, and the window
// manager's close request. Runs on a private Xvfb; skipped when Xvfb,
// xdotool or xwd is missing.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>

#include "support/test_support.h"
#include "viewer_fixture.h"
#include "x_session.h"
#include "xwd_image.h"

namespace viewertest {
namespace {

using Clock = std::chrono::steady_clock;

// Repeats `probe` until it gives a non-empty answer or `seconds` pass.
template <class Probe>
std::string Poll(double seconds, Probe probe) {
    const Clock::time_point start = Clock::now();
    for (;;) {
        std::string answer = probe();
        if (!answer.empty()) return answer;
        if (std::chrono::duration<double>(Clock::now() - start).count() > seconds) return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

// The offset (0 to 3 each way) of a grid of 4 by 4 blocks that are each one
// colour throughout; false when there is none.
bool FindUniformBlocks(const RgbImage& image, int* offsetX, int* offsetY) {
    for (int oy = 0; oy < 4; ++oy) {
        for (int ox = 0; ox < 4; ++ox) {
            bool uniform = true;
            for (int by = oy; uniform && by + 4 <= image.height; by += 4)
                for (int bx = ox; uniform && bx + 4 <= image.width; bx += 4)
                    for (int y = by; uniform && y < by + 4; ++y)
                        for (int x = bx; uniform && x < bx + 4; ++x)
                            uniform = image.At(x, y) == image.At(bx, by);
            if (uniform) {
                *offsetX = ox;
                *offsetY = oy;
                return true;
            }
        }
    }
    return false;
}

TEST(RealWindowTest, ViewerAnswersKeysShowsMagnifiedPixelsAndClosesOnRequest) {
#ifndef TX_VARNEK_PATH
    GTEST_SKIP() << "the viewer program is not part of this build";
#else
    for (const char* tool : {"Xvfb", "xdotool", "xwd"})
        if (FindOnPath(tool).empty()) GTEST_SKIP() << tool << " is not installed";

    VirtualDisplay display;
    ASSERT_TRUE(display.Start(20.0)) << "Xvfb did not come up";
    txtest::TempDir workDir;
    ASSERT_TRUE(CopySceneBitmaps(workDir.path()));
    std::vector<std::string> env =
        display.Environment({"SDL_VIDEODRIVER", "TX_ADAPTER_PROFILE", "ASAN_OPTIONS"});
    env.push_back("TX_ADAPTER_PROFILE=default");
    // In a sanitized build the X and D-Bus client libraries that SDL loads
    // keep allocations to the end, which the leak check would turn into a
    // failing exit code. The viewer's own objects are checked in-process.
    const char* asan = std::getenv("ASAN_OPTIONS");
    env.push_back(std::string("ASAN_OPTIONS=") + (asan ? asan : "") + (asan && *asan ? ":" : "") +
                  "detect_leaks=0");
    ChildProcess viewer;
    ASSERT_TRUE(viewer.Start({TX_VARNEK_PATH}, env, workDir.path()));

    const std::string found =
        Poll(20.0, [&] { return display.Run("xdotool search --name '^Varnek Samples = 0$'"); });
    ASSERT_FALSE(found.empty()) << "no window titled \"Varnek Samples = 0\" appeared";
    const std::string window = found.substr(0, found.find('\n'));

    // Spinning off for a still picture, then one sample-count step.
    display.Run("xdotool windowfocus --sync " + window);
    display.Run("xdotool key --clearmodifiers v q");
    const std::string title = Poll(10.0, [&] {
        const std::string now = display.Run("xdotool getwindowname " + window);
        return now == "Varnek Samples = 2" ? now : std::string();
    });
    EXPECT_EQ(title, "Varnek Samples = 2")
        << "title is \"" << display.Run("xdotool getwindowname " + window) << "\"";

    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    const std::string dump = workDir.File("window.xwd");
    bool captured = false;
    display.Run("xwd -silent -id " + window + " -out " + dump, &captured);
    ASSERT_TRUE(captured) << "xwd could not capture the window";
    RgbImage image;
    std::string error;
    ASSERT_TRUE(ReadXwdFile(dump, &image, &error)) << error;
    EXPECT_EQ(image.width, 400);
    EXPECT_EQ(image.height, 400);

    // The 100 by 100 back buffer fills the 400 by 400 window: every
    // back-buffer pixel is a 4 by 4 block of one colour. The scene's edges
    // make the picture more than one colour, and the dark red clear colour
    // frames it.
    std::map<uint32_t, int> colours;
    for (uint32_t pixel : image.pixels)
        colours[pixel]++;
    EXPECT_GE(colours.size(), 2u) << "the window shows a single colour";
    EXPECT_GT(colours[0x700000], static_cast<int>(image.pixels.size() / 2))
        << "the clear colour does not frame the scene";
    int offsetX = -1, offsetY = -1;
    EXPECT_TRUE(FindUniformBlocks(image, &offsetX, &offsetY))
        << "no grid of 4 by 4 single-colour blocks";

    ASSERT_TRUE(display.SendCloseRequest(std::stoul(window)));
    int status = -2;
    ASSERT_TRUE(viewer.Wait(20.0, &status)) << "the viewer did not end after the close request";
    EXPECT_EQ(status, 0);
#endif
}

} // namespace
} // namespace viewertest
