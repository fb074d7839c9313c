// Conversions between UTF-16 and the multibyte code pages.
#include <functional>
#include <string>
#include <vector>

#include "platform/win32_system.h"
#include "support/test_support.h"

namespace {

const UINT kCodePages[] = {CP_ACP, CP_UTF8};

struct Sample {
    std::u16string wide;
    std::string utf8;
};

const Sample kSamples[] = {
    {u"plain ascii", "plain ascii"},
    {u"caf\u00e9", "caf\xc3\xa9"},                                     // two-byte sequence
    {u"\u20ac \u753b\u50cf", "\xe2\x82\xac \xe7\x94\xbb\xe5\x83\x8f"}, // three-byte
    {u"\U0001F600!\U00010000\U0010FFFF",                               // surrogate pairs, both ends
     "\xf0\x9f\x98\x80!\xf0\x90\x80\x80\xf4\x8f\xbf\xbf"},
};

TEST(CodePages, NullTerminatedTextRoundTrips) {
    for (UINT cp : kCodePages) {
        for (const Sample& s : kSamples) {
            // A count of -1 includes the terminator, in the size and the output.
            const int bytes =
                WideCharToMultiByte(cp, 0, s.wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
            ASSERT_EQ(bytes, static_cast<int>(s.utf8.size()) + 1) << s.utf8;
            std::vector<char> narrow(bytes, 'x');
            ASSERT_EQ(WideCharToMultiByte(cp, 0, s.wide.c_str(), -1, narrow.data(), bytes, nullptr,
                                          nullptr),
                      bytes);
            EXPECT_EQ(std::string(narrow.data()), s.utf8);

            const int units = MultiByteToWideChar(cp, 0, narrow.data(), -1, nullptr, 0);
            ASSERT_EQ(units, static_cast<int>(s.wide.size()) + 1) << s.utf8;
            std::vector<WCHAR> wide(units, u'x');
            ASSERT_EQ(MultiByteToWideChar(cp, 0, narrow.data(), -1, wide.data(), units), units);
            EXPECT_EQ(std::u16string(wide.data()), s.wide) << s.utf8;
        }
    }
}

TEST(CodePages, CountedTextGetsNoTerminatorAndSmallBuffersAreRefused) {
    const Sample& s = kSamples[3];
    const int bytes = static_cast<int>(s.utf8.size());
    const int units = static_cast<int>(s.wide.size());

    // Exactly enough room: converted, and the byte after is left alone.
    std::vector<char> narrow(bytes + 1, '#');
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, s.wide.data(), units, narrow.data(), bytes, nullptr,
                                  nullptr),
              bytes);
    EXPECT_EQ(std::string(narrow.data(), bytes), s.utf8);
    EXPECT_EQ(narrow[bytes], '#');
    std::vector<WCHAR> wide(units + 1, u'#');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, s.utf8.data(), bytes, wide.data(), units), units);
    EXPECT_EQ(std::u16string(wide.data(), units), s.wide);
    EXPECT_EQ(wide[units], u'#');

    // One short: refused, and nothing is written past the room given.
    std::vector<char> shortNarrow(bytes, '#');
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, s.wide.data(), units, shortNarrow.data(), bytes - 1,
                                  nullptr, nullptr),
              0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(shortNarrow[bytes - 1], '#');
    std::vector<WCHAR> shortWide(units, u'#');
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, s.utf8.c_str(), -1, shortWide.data(), units), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
}

TEST(CodePages, UnpairedSurrogatesAreReplacedOrRefused) {
    const std::u16string cases[] = {
        std::u16string(u"a") + char16_t(0xD800),                // high at the end
        std::u16string(u"a") + char16_t(0xDC00) + u"b",         // low alone
        std::u16string(u"a") + char16_t(0xD83D) + u"b",         // high, then no low
        std::u16string(1, char16_t(0xDE00)) + char16_t(0xD83D), // reversed pair
    };
    const std::string utf8Expected[] = {"a\xef\xbf\xbd",
                                        "a\xef\xbf\xbd"
                                        "b",
                                        "a\xef\xbf\xbd"
                                        "b",
                                        "\xef\xbf\xbd\xef\xbf\xbd"};
    const std::string acpExpected[] = {"a*", "a*b", "a*b", "**"};
    for (size_t i = 0; i < std::size(cases); ++i) {
        const int units = static_cast<int>(cases[i].size());
        char out[16] = {};
        int n = WideCharToMultiByte(CP_UTF8, 0, cases[i].data(), units, out, sizeof(out), nullptr,
                                    nullptr);
        EXPECT_EQ(std::string(out, n), utf8Expected[i]) << "case " << i;

        BOOL used = FALSE;
        n = WideCharToMultiByte(CP_ACP, 0, cases[i].data(), units, out, sizeof(out), "*", &used);
        EXPECT_EQ(std::string(out, n), acpExpected[i]) << "case " << i;
        EXPECT_TRUE(used) << "case " << i;

        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, cases[i].data(), units, out,
                                      sizeof(out), nullptr, nullptr),
                  0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    }
    // The ANSI default character is "?" unless the caller names another,
    // and well-formed text does not use it.
    char out[8] = {};
    BOOL used = TRUE;
    const std::u16string lone(1, char16_t(0xD800));
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, lone.data(), 1, out, sizeof(out), nullptr, &used), 1);
    EXPECT_EQ(out[0], '?');
    EXPECT_EQ(WideCharToMultiByte(CP_ACP, 0, u"ok", 2, out, sizeof(out), nullptr, &used), 2);
    EXPECT_FALSE(used);
}

TEST(CodePages, MalformedUtf8BecomesReplacementCharacters) {
    const std::u16string R(1, char16_t(0xFFFD));
    const struct {
        std::string bytes;
        std::u16string expected;
    } cases[] = {
        {"\x80", R},                         // stray continuation byte
        {"a\xffz", u"a" + R + u"z"},         // byte that never starts a sequence
        {"\xc0\xaf", R + R},                 // overlong '/'
        {"\xe0\x80\xaf", R + R + R},         // overlong, three bytes
        {"\xed\xa0\x80", R + R + R},         // encoded surrogate
        {"\xf4\x90\x80\x80", R + R + R + R}, // past U+10FFFF
        {"\xe2\x82", R},                     // cut short by the end
        {"\xe2\x82"
         "A",
         R + u"A"},          // cut short by an ASCII byte
        {"\xf0\x9f\x98", R}, // four-byte sequence cut short
        {"\xf0\x9f\x98\x80\x80", u"\U0001F600" + R},
    };
    for (const auto& c : cases) {
        WCHAR out[16] = {};
        const int n = MultiByteToWideChar(CP_UTF8, 0, c.bytes.data(),
                                          static_cast<int>(c.bytes.size()), out, 16);
        EXPECT_EQ(std::u16string(out, n), c.expected) << testing::PrintToString(c.bytes);

        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, c.bytes.data(),
                                      static_cast<int>(c.bytes.size()), out, 16),
                  0);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    }
}

TEST(CodePages, BadCallsAreRefused) {
    char narrow[8];
    WCHAR wide[8];
    BOOL used = FALSE;
    const struct {
        const char* what;
        std::function<int()> call;
        DWORD error;
    } cases[] = {
        {"unknown code page",
         [&] { return WideCharToMultiByte(1252, 0, u"a", 1, narrow, 8, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"unknown code page", [&] { return MultiByteToWideChar(437, 0, "a", 1, wide, 8); },
         ERROR_INVALID_PARAMETER},
        {"null input",
         [&] { return WideCharToMultiByte(CP_UTF8, 0, nullptr, 1, narrow, 8, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"null input", [&] { return MultiByteToWideChar(CP_UTF8, 0, nullptr, -1, wide, 8); },
         ERROR_INVALID_PARAMETER},
        {"empty input",
         [&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 0, narrow, 8, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"count below -1", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", -2, wide, 8); },
         ERROR_INVALID_PARAMETER},
        {"null output with room",
         [&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 1, nullptr, 8, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
        {"negative room", [&] { return MultiByteToWideChar(CP_UTF8, 0, "a", 1, wide, -1); },
         ERROR_INVALID_PARAMETER},
        {"default character in UTF-8",
         [&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 1, narrow, 8, nullptr, &used); },
         ERROR_INVALID_PARAMETER},
        {"unknown flag",
         [&] { return WideCharToMultiByte(CP_UTF8, 0x1, u"a", 1, narrow, 8, nullptr, nullptr); },
         ERROR_INVALID_FLAGS},
        {"unknown flag", [&] { return MultiByteToWideChar(CP_UTF8, 0x2, "a", 1, wide, 8); },
         ERROR_INVALID_FLAGS},
    };
    for (const auto& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(c.call(), 0) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
}

} // namespace
