#include "support/test_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/runtime_control.h"

namespace txtest {

namespace fs = std::filesystem;

std::string CorpusDir() {
    const char* fromEnv = std::getenv("TX_CORPUS_DIR");
    const std::string dir = (fromEnv && *fromEnv) ? fromEnv : TX_SOURCE_CORPUS_DIR;
    std::error_code ec;
    return fs::is_directory(dir, ec) ? dir : std::string();
}

std::string CorpusPath(const std::string& relative) {
    const std::string dir = CorpusDir();
    if (dir.empty()) return {};
    const std::string path = dir + "/" + relative;
    std::error_code ec;
    return fs::exists(path, ec) ? path : std::string();
}

std::string TestDataPath(const std::string& relative) {
    return std::string(TX_TEST_DATA_DIR) + "/" + relative;
}

std::vector<unsigned char> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in),
                                      std::istreambuf_iterator<char>());
}

bool WriteFileBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

TempDir::TempDir() {
    std::string pattern = (fs::temp_directory_path() / "txtest-XXXXXX").string();
    if (char* made = mkdtemp(pattern.data())) path_ = made;
}

TempDir::~TempDir() {
    if (path_.empty()) return;
    std::error_code ec;
    fs::remove_all(path_, ec);
}

void LiveObjectTest::SetUp() {
    liveAtStart_ = txplatform::LiveObjectCount();
}

void LiveObjectTest::TearDown() {
    EXPECT_EQ(txplatform::LiveObjectCount(), liveAtStart_)
        << "runtime objects were left alive by the test";
}

} // namespace txtest
