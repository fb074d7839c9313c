// Helpers shared by the test programs: the third-party image corpus, the
// project's own test data, temporary folders and the live-object check.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace txtest {

// Folder of the third-party corpus (TX_CORPUS_DIR, else ../shared/corpus
// beside the source tree); empty when it is absent.
std::string CorpusDir();

// Full path of a corpus file, or empty when the corpus or the file is absent.
std::string CorpusPath(const std::string& relative);

// Full path of a file in tests/data.
std::string TestDataPath(const std::string& relative);

// Whole contents of a file; empty on failure.
std::vector<unsigned char> ReadFileBytes(const std::string& path);
bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes);

// A fresh empty folder, removed with its contents when the object dies.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string File(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// Fixture base that fails a test which leaves runtime objects alive.
class LiveObjectTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    long liveAtStart_ = 0;
};

} // namespace txtest

// Skips the current test (reported as skipped) when a corpus file is absent;
// otherwise stores its path in `var`.
#define TX_REQUIRE_CORPUS_FILE(var, relative)                                                      \
    const std::string var = ::txtest::CorpusPath(relative);                                        \
    if (var.empty()) GTEST_SKIP() << "corpus file absent: " << (relative)
