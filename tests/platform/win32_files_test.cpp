// Files, mappings and handles of the system services.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/win32_system.h"
#include "support/test_support.h"

namespace {

using txtest::ReadFileBytes;
using txtest::WriteFileBytes;

std::vector<unsigned char> Bytes(const std::string& text) {
    return std::vector<unsigned char>(text.begin(), text.end());
}

class FilesTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const { return dir_.File(name); }

    HANDLE Open(const std::string& name, DWORD access, DWORD share, DWORD disposition) {
        return CreateFileA(Path(name).c_str(), access, share, nullptr, disposition,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    // Everything a file handle offers, read through ReadFile.
    std::string ReadAll(HANDLE file) {
        std::string out;
        char buffer[7]; // small, so that several calls are needed
        DWORD got = 0;
        while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got != 0)
            out.append(buffer, got);
        return out;
    }

    txtest::TempDir dir_;
};

TEST_F(FilesTest, WrittenBytesReadBackThroughHandleAndMapping) {
    const std::string text = "The quick brown fox jumps over the lazy dog";
    HANDLE out = Open("a.bin", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    EXPECT_EQ(written, text.size());
    ASSERT_TRUE(CloseHandle(out));
    EXPECT_EQ(ReadFileBytes(Path("a.bin")), Bytes(text));

    HANDLE in = Open("a.bin", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    DWORD high = 123;
    EXPECT_EQ(GetFileSize(in, &high), text.size());
    EXPECT_EQ(high, 0u);
    EXPECT_EQ(ReadAll(in), text);

    HANDLE mapping = CreateFileMappingA(in, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    // The mapping keeps the file open once the file handle is gone.
    ASSERT_TRUE(CloseHandle(in));
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    ASSERT_TRUE(CloseHandle(mapping));
    EXPECT_EQ(std::memcmp(view, text.data(), text.size()), 0);
    EXPECT_TRUE(UnmapViewOfFile(view));

    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(UnmapViewOfFile(view));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(FilesTest, EmptyFileCannotBeMapped) {
    ASSERT_TRUE(WriteFileBytes(Path("empty"), {}));
    HANDLE in = Open("empty", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(in, nullptr), 0u);
    EXPECT_EQ(CreateFileMappingA(in, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_INVALID));
    EXPECT_TRUE(CloseHandle(in));
}

TEST_F(FilesTest, ViewsRespectTheMappingBounds) {
    // Two allocation units plus a little, each unit filled with its number.
    std::vector<unsigned char> bytes(2 * 65536 + 10);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i / 65536);
    ASSERT_TRUE(WriteFileBytes(Path("big"), bytes));
    HANDLE in = Open("big", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingA(in, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);

    const auto* second = static_cast<const unsigned char*>(
        MapViewOfFile(mapping, FILE_MAP_READ, 0, 65536, 0)); // to the end
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second[0], 1);
    EXPECT_EQ(second[65536 + 9], 2);
    EXPECT_TRUE(UnmapViewOfFile(second));

    const struct {
        DWORD access;
        DWORD offset;
        size_t bytes;
        DWORD error;
    } refused[] = {
        {FILE_MAP_READ, 100, 10, ERROR_INVALID_PARAMETER},       // not on a unit boundary
        {FILE_MAP_READ, 3 * 65536, 0, ERROR_INVALID_PARAMETER},  // past the end
        {FILE_MAP_READ, 65536, 65536 + 11, ERROR_ACCESS_DENIED}, // runs past the end
        {FILE_MAP_READ | 0x0002u, 0, 0, ERROR_ACCESS_DENIED},    // write access
    };
    for (const auto& c : refused) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(MapViewOfFile(mapping, c.access, 0, c.offset, c.bytes), nullptr)
            << "offset " << c.offset << " bytes " << c.bytes;
        EXPECT_EQ(GetLastError(), c.error) << "offset " << c.offset << " bytes " << c.bytes;
    }
    // A mapping larger than a read-only file would fault past its end.
    EXPECT_EQ(CreateFileMappingA(in, nullptr, PAGE_READONLY, 0, 3 * 65536, nullptr), nullptr);
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_TRUE(CloseHandle(in));
}

TEST_F(FilesTest, OpenFailuresNameTheirCause) {
    ASSERT_EQ(mkdir(Path("folder").c_str(), 0755), 0);
    const struct {
        std::string name;
        DWORD access;
        DWORD disposition;
        DWORD error;
    } cases[] = {
        {Path("missing"), GENERIC_READ, OPEN_EXISTING, ERROR_FILE_NOT_FOUND},
        {Path("missing"), GENERIC_WRITE, TRUNCATE_EXISTING, ERROR_FILE_NOT_FOUND},
        {Path("no-such-folder/file"), GENERIC_WRITE, CREATE_ALWAYS, ERROR_PATH_NOT_FOUND},
        {"", GENERIC_READ, OPEN_EXISTING, ERROR_PATH_NOT_FOUND},
        {Path("folder"), GENERIC_READ, OPEN_EXISTING, ERROR_ACCESS_DENIED},
        {Path("missing"), GENERIC_READ, TRUNCATE_EXISTING, ERROR_INVALID_PARAMETER},
        {Path("missing"), GENERIC_READ, 0, ERROR_INVALID_PARAMETER},
        {Path("missing"), GENERIC_READ, 6, ERROR_INVALID_PARAMETER},
    };
    for (const auto& c : cases) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(CreateFileA(c.name.c_str(), c.access, 0, nullptr, c.disposition, 0, nullptr),
                  INVALID_HANDLE_VALUE)
            << c.name;
        EXPECT_EQ(GetLastError(), c.error) << c.name << " disposition " << c.disposition;
    }
    EXPECT_EQ(CreateFileA(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    // Nothing was created on the way.
    struct stat st;
    EXPECT_NE(stat(Path("missing").c_str(), &st), 0);
}

TEST_F(FilesTest, DispositionsOnExistingAndMissingFiles) {
    const struct {
        DWORD disposition;
        bool exists;
        bool opens;
        std::string contentAfter; // of the file, when it opens
        DWORD lastError;
    } cases[] = {
        {CREATE_NEW, true, false, "", ERROR_FILE_EXISTS},
        {CREATE_NEW, false, true, "", ERROR_SUCCESS},
        {CREATE_ALWAYS, true, true, "", ERROR_ALREADY_EXISTS},
        {CREATE_ALWAYS, false, true, "", ERROR_SUCCESS},
        {OPEN_ALWAYS, true, true, "old", ERROR_ALREADY_EXISTS},
        {OPEN_ALWAYS, false, true, "", ERROR_SUCCESS},
        {OPEN_EXISTING, true, true, "old", ERROR_SUCCESS},
        {OPEN_EXISTING, false, false, "", ERROR_FILE_NOT_FOUND},
        {TRUNCATE_EXISTING, true, true, "", ERROR_SUCCESS},
        {TRUNCATE_EXISTING, false, false, "", ERROR_FILE_NOT_FOUND},
    };
    int index = 0;
    for (const auto& c : cases) {
        const std::string name = "f" + std::to_string(index++);
        if (c.exists) {
            ASSERT_TRUE(WriteFileBytes(Path(name), Bytes("old")));
        }
        SetLastError(ERROR_SUCCESS);
        HANDLE file = Open(name, GENERIC_READ | GENERIC_WRITE, 0, c.disposition);
        EXPECT_EQ(GetLastError(), c.lastError) << name;
        if (!c.opens) {
            EXPECT_EQ(file, INVALID_HANDLE_VALUE) << name;
            // A refused CREATE_NEW leaves the existing file alone.
            if (c.exists) {
                EXPECT_EQ(ReadFileBytes(Path(name)), Bytes("old")) << name;
            }
            continue;
        }
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
        EXPECT_EQ(ReadAll(file), c.contentAfter) << name;
        EXPECT_TRUE(CloseHandle(file));
    }
}

TEST_F(FilesTest, ExclusiveCreateDoesNotFollowALinkToAFile) {
    // A link planted where a new file is to be made must not redirect the
    // write to the file it points at, whether or not that file exists.
    ASSERT_TRUE(WriteFileBytes(Path("victim"), Bytes("precious")));
    ASSERT_EQ(symlink(Path("victim").c_str(), Path("link").c_str()), 0);
    ASSERT_EQ(symlink(Path("nowhere").c_str(), Path("dangling").c_str()), 0);
    EXPECT_EQ(Open("link", GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_EXISTS));
    EXPECT_EQ(Open("dangling", GENERIC_WRITE, 0, CREATE_NEW), INVALID_HANDLE_VALUE);
    EXPECT_EQ(ReadFileBytes(Path("victim")), Bytes("precious"));
    struct stat st;
    EXPECT_NE(stat(Path("nowhere").c_str(), &st), 0);
}

TEST_F(FilesTest, BogusAndClosedHandlesAreRefused) {
    ASSERT_TRUE(WriteFileBytes(Path("a"), Bytes("abc")));
    HANDLE closed = Open("a", GENERIC_READ | GENERIC_WRITE, 0, OPEN_EXISTING);
    ASSERT_NE(closed, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(closed));
    // A handle opened after the close must not bring the old value back to
    // life (a table that reused values would hand it to the new file).
    HANDLE current = Open("a", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    ASSERT_NE(current, INVALID_HANDLE_VALUE);
    EXPECT_NE(current, closed);

    char buffer[4] = {};
    DWORD count = 99;
    for (HANDLE bogus : {closed, static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE,
                         reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x12345))}) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(CloseHandle(bogus));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(WriteFile(bogus, "x", 1, &count, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        EXPECT_EQ(count, 0u);
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(ReadFile(bogus, buffer, sizeof(buffer), &count, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(GetFileSize(bogus, nullptr), INVALID_FILE_SIZE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(CreateFileMappingA(bogus, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(ERROR_SUCCESS);
        EXPECT_EQ(MapViewOfFile(bogus, FILE_MAP_READ, 0, 0, 0), nullptr);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }

    EXPECT_TRUE(CloseHandle(current));

    // A mapping is not a file, nor a file a mapping.
    HANDLE in = Open("a", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingA(in, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    EXPECT_FALSE(ReadFile(mapping, buffer, sizeof(buffer), &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(MapViewOfFile(in, FILE_MAP_READ, 0, 0, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_TRUE(CloseHandle(in));
}

TEST_F(FilesTest, HandlesOnlyDoWhatTheyWereOpenedFor) {
    ASSERT_TRUE(WriteFileBytes(Path("a"), Bytes("abc")));
    char buffer[4] = {};
    DWORD count = 0;
    HANDLE reader = Open("a", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFile(reader, "x", 1, &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    HANDLE writer = Open("a", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(ReadFile(writer, buffer, sizeof(buffer), &count, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(CreateFileMappingA(writer, nullptr, PAGE_READONLY, 0, 0, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    // CREATE_ALWAYS truncates even for a reader, which still may not write.
    HANDLE truncated = Open("a", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS);
    ASSERT_NE(truncated, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileSize(truncated, nullptr), 0u);
    EXPECT_FALSE(WriteFile(truncated, "x", 1, &count, nullptr));
    for (HANDLE h : {reader, writer, truncated})
        EXPECT_TRUE(CloseHandle(h));
}

TEST_F(FilesTest, WriteToAFullDeviceFails) {
    struct stat st;
    if (stat("/dev/full", &st) != 0) GTEST_SKIP() << "/dev/full absent";
    HANDLE full = CreateFileA("/dev/full", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(full, INVALID_HANDLE_VALUE);
    DWORD written = 99;
    EXPECT_FALSE(WriteFile(full, "data", 4, &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(written, 0u);
    EXPECT_TRUE(CloseHandle(full));
}

// A file-size limit makes the host take only part of a write and refuse the
// rest: the part taken is counted and the refusal reported.
class FileSizeLimitTest : public FilesTest {
protected:
    void SetUp() override {
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved_), 0);
        previousHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved_;
        limited.rlim_cur = kLimit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
    }
    void TearDown() override {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, previousHandler_);
    }
    static constexpr rlim_t kLimit = 4096;

private:
    rlimit saved_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST_F(FileSizeLimitTest, ShortWriteIsAFailureWithTheCountTaken) {
    HANDLE out = Open("limited", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    const std::vector<char> data(10000, 'z');
    DWORD written = 0;
    EXPECT_FALSE(WriteFile(out, data.data(), static_cast<DWORD>(data.size()), &written, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(written, kLimit);
    EXPECT_TRUE(CloseHandle(out));
    EXPECT_EQ(ReadFileBytes(Path("limited")).size(), kLimit);
}

TEST_F(FilesTest, SizesPastFourGigabytesUseTheHighWord) {
    HANDLE out = Open("sparse", GENERIC_WRITE, 0, CREATE_NEW);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(CloseHandle(out));
    const off_t size = (off_t{1} << 32) + (off_t{1} << 30); // 5 GiB, sparse
    if (truncate(Path("sparse").c_str(), size) != 0) GTEST_SKIP() << "no room for a sparse file";

    HANDLE in = Open("sparse", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    DWORD high = 0;
    EXPECT_EQ(GetFileSize(in, &high), 1u << 30);
    EXPECT_EQ(high, 1u);
    // Without a place for the high word the low word alone would be a wrong
    // size reported as a right one.
    EXPECT_EQ(GetFileSize(in, nullptr), INVALID_FILE_SIZE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(CloseHandle(in));
}

TEST_F(FilesTest, WideNamesReachTheFileOfTheSameName) {
    const struct {
        std::u16string wide;
        std::string utf8;
    } names[] = {
        {u"caf\u00e9.bmp", "caf\xc3\xa9.bmp"},
        {u"\u753b\u50cf.dds", "\xe7\x94\xbb\xe5\x83\x8f.dds"},
        {u"smile\U0001F600.png", "smile\xf0\x9f\x98\x80.png"},
    };
    for (const auto& n : names) {
        const std::u16string wide =
            std::u16string(dir_.path().begin(), dir_.path().end()) + u"/" + n.wide;
        HANDLE out = CreateFileW(wide.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        ASSERT_NE(out, INVALID_HANDLE_VALUE) << n.utf8;
        DWORD written = 0;
        EXPECT_TRUE(
            WriteFile(out, n.utf8.data(), static_cast<DWORD>(n.utf8.size()), &written, nullptr));
        EXPECT_TRUE(CloseHandle(out));
        EXPECT_EQ(ReadFileBytes(Path(n.utf8)), Bytes(n.utf8)) << n.utf8;

        const std::u16string moved = wide + u"~";
        EXPECT_TRUE(MoveFileExW(wide.c_str(), moved.c_str(), 0)) << n.utf8;
        EXPECT_EQ(ReadFileBytes(Path(n.utf8 + "~")), Bytes(n.utf8)) << n.utf8;
        EXPECT_TRUE(DeleteFileW(moved.c_str())) << n.utf8;
        struct stat st;
        EXPECT_NE(stat(Path(n.utf8 + "~").c_str(), &st), 0) << n.utf8;
    }
}

TEST_F(FilesTest, WideNamesWithUnpairedSurrogatesAreRefused) {
    // Replacing the surrogate would open some other file than the one named.
    const std::u16string base(dir_.path().begin(), dir_.path().end());
    for (const std::u16string& bad :
         {base + u"/a\xD800", base + u"/\xDC00z", base + u"/\xD800\x0041"}) {
        EXPECT_EQ(CreateFileW(bad.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr),
                  INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
        EXPECT_FALSE(DeleteFileW(bad.c_str()));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
    }
    EXPECT_EQ(CreateFileW(nullptr, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(ReadFileBytes(dir_.path() + "/a?").empty());
}

TEST_F(FilesTest, DeleteAndMove) {
    ASSERT_TRUE(WriteFileBytes(Path("a"), Bytes("first")));
    ASSERT_TRUE(WriteFileBytes(Path("b"), Bytes("second")));
    ASSERT_EQ(mkdir(Path("folder").c_str(), 0755), 0);

    EXPECT_FALSE(MoveFileExA(Path("a").c_str(), Path("b").c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(ReadFileBytes(Path("a")), Bytes("first"));
    EXPECT_EQ(ReadFileBytes(Path("b")), Bytes("second"));

    EXPECT_TRUE(MoveFileExA(Path("a").c_str(), Path("b").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(ReadFileBytes(Path("b")), Bytes("first"));
    EXPECT_TRUE(MoveFileExA(Path("b").c_str(), Path("c").c_str(), 0));
    EXPECT_EQ(ReadFileBytes(Path("c")), Bytes("first"));

    const struct {
        const char* what;
        std::function<BOOL()> call;
        DWORD error;
    } failures[] = {
        {"move missing", [&] { return MoveFileExA(Path("a").c_str(), Path("d").c_str(), 0); },
         ERROR_FILE_NOT_FOUND},
        {"move into missing folder",
         [&] { return MoveFileExA(Path("c").c_str(), Path("x/d").c_str(), 0); },
         ERROR_PATH_NOT_FOUND},
        {"replace a folder",
         [&] {
             return MoveFileExA(Path("c").c_str(), Path("folder").c_str(),
                                MOVEFILE_REPLACE_EXISTING);
         },
         ERROR_ACCESS_DENIED},
        {"unknown flag", [&] { return MoveFileExA(Path("c").c_str(), Path("d").c_str(), 0x4); },
         ERROR_INVALID_PARAMETER},
        {"no new name", [&] { return MoveFileExA(Path("c").c_str(), nullptr, 0); },
         ERROR_INVALID_PARAMETER},
        {"delete missing", [&] { return DeleteFileA(Path("a").c_str()); }, ERROR_FILE_NOT_FOUND},
        {"delete in missing folder", [&] { return DeleteFileA(Path("x/a").c_str()); },
         ERROR_PATH_NOT_FOUND},
        {"delete a folder", [&] { return DeleteFileA(Path("folder").c_str()); },
         ERROR_ACCESS_DENIED},
        {"delete null", [&] { return DeleteFileA(nullptr); }, ERROR_INVALID_PARAMETER},
    };
    for (const auto& f : failures) {
        SetLastError(ERROR_SUCCESS);
        EXPECT_FALSE(f.call()) << f.what;
        EXPECT_EQ(GetLastError(), f.error) << f.what;
    }
    EXPECT_EQ(ReadFileBytes(Path("c")), Bytes("first"));

    EXPECT_TRUE(DeleteFileA(Path("c").c_str()));
    struct stat st;
    EXPECT_NE(stat(Path("c").c_str(), &st), 0);
}

TEST_F(FilesTest, SharingIsEnforcedBetweenHandlesOfThisProcess) {
    ASSERT_TRUE(WriteFileBytes(Path("a"), Bytes("shared")));
    HANDLE reader = Open("a", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);

    // A second reader is welcome; a writer, a reader that will not share, or
    // a delete is not.
    HANDLE second = Open("a", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
    EXPECT_NE(second, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_EQ(Open("a", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING),
              INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(Open("a", GENERIC_READ, 0, OPEN_EXISTING), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(DeleteFileA(Path("a").c_str()));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(MoveFileExA(Path("a").c_str(), Path("b").c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(ReadFileBytes(Path("a")), Bytes("shared"));

    EXPECT_TRUE(CloseHandle(reader));
    HANDLE writer = Open("a", GENERIC_WRITE, 0, OPEN_EXISTING);
    EXPECT_NE(writer, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(writer));

    HANDLE deletable = Open("a", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING);
    ASSERT_NE(deletable, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(DeleteFileA(Path("a").c_str()));
    EXPECT_TRUE(CloseHandle(deletable));
}

TEST_F(FilesTest, MappedFileCannotBeTruncated) {
    // Truncating a file under a view would make reading the view crash.
    const DWORD all = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
    ASSERT_TRUE(WriteFileBytes(Path("a"), Bytes("mapped bytes")));
    HANDLE in = Open("a", GENERIC_READ, all, OPEN_EXISTING);
    ASSERT_NE(in, INVALID_HANDLE_VALUE);
    HANDLE mapping = CreateFileMappingA(in, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(mapping, nullptr);
    const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0);
    ASSERT_NE(view, nullptr);
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_TRUE(CloseHandle(in));

    for (DWORD disposition : {CREATE_ALWAYS, TRUNCATE_EXISTING}) {
        EXPECT_EQ(Open("a", GENERIC_WRITE, all, disposition), INVALID_HANDLE_VALUE);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_USER_MAPPED_FILE));
    }
    EXPECT_EQ(std::memcmp(view, "mapped bytes", 12), 0);
    EXPECT_TRUE(UnmapViewOfFile(view));

    HANDLE out = Open("a", GENERIC_WRITE, all, CREATE_ALWAYS);
    EXPECT_NE(out, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(CloseHandle(out));
    EXPECT_TRUE(ReadFileBytes(Path("a")).empty());
}

TEST(LastError, IsKeptPerThread) {
    SetLastError(ERROR_DISK_FULL);
    DWORD seenByOther = 1;
    std::thread other([&] {
        seenByOther = GetLastError();
        SetLastError(ERROR_ACCESS_DENIED);
    });
    other.join();
    EXPECT_EQ(seenByOther, static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
}

} // namespace
