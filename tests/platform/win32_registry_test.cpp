// The registry: the file it is loaded from, the query semantics and the key
// handles.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32_system.h"
#include "support/test_support.h"

namespace {

const char kD3dKey[] = "Software\\Direct3D";

// Points TX_REGISTRY_FILE at a file of the test's making and puts the
// variable and the store back afterwards.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* previous = std::getenv("TX_REGISTRY_FILE");
        hadPrevious_ = previous != nullptr;
        if (hadPrevious_) previous_ = previous;
        unsetenv("TX_REGISTRY_FILE");
        txplatform::RegistryReset();
    }
    void TearDown() override {
        if (hadPrevious_) {
            setenv("TX_REGISTRY_FILE", previous_.c_str(), 1);
        } else {
            unsetenv("TX_REGISTRY_FILE");
        }
        txplatform::RegistryReset();
    }

    void LoadText(const std::string& text) {
        const std::string path = dir_.File("registry.txt");
        ASSERT_TRUE(
            txtest::WriteFileBytes(path, std::vector<unsigned char>(text.begin(), text.end())));
        setenv("TX_REGISTRY_FILE", path.c_str(), 1);
        txplatform::RegistryReset();
    }

    HKEY OpenD3d() {
        HKEY key = nullptr;
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kD3dKey, 0, KEY_READ, &key), ERROR_SUCCESS);
        return key;
    }

    // The value under Software\Direct3D: status, type and bytes.
    LONG Query(const char* name, DWORD* type, std::vector<BYTE>* data) {
        HKEY key = OpenD3d();
        BYTE buffer[256];
        DWORD size = sizeof(buffer);
        const LONG status = RegQueryValueExA(key, name, nullptr, type, buffer, &size);
        RegCloseKey(key);
        if (status == ERROR_SUCCESS) data->assign(buffer, buffer + size);
        return status;
    }

    DWORD QueryDword(const char* name) {
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
        EXPECT_EQ(Query(name, &type, &data), ERROR_SUCCESS) << name;
        EXPECT_EQ(type, REG_DWORD) << name;
        DWORD value = 0;
        if (data.size() == sizeof(value)) std::memcpy(&value, data.data(), sizeof(value));
        return value;
    }

    txtest::TempDir dir_;

private:
    bool hadPrevious_ = false;
    std::string previous_;
};

std::vector<BYTE> StringBytes(const std::string& text) {
    std::vector<BYTE> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

TEST_F(RegistryTest, Direct3DKeyExistsWithoutAFile) {
    // The variable names a file that is not there: an empty store.
    setenv("TX_REGISTRY_FILE", dir_.File("absent.txt").c_str(), 1);
    txplatform::RegistryReset();
    HKEY key = OpenD3d();
    DWORD type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "DisableMMX", nullptr, &type, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    HKEY other = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Elsewhere", 0, KEY_READ, &other),
              ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kD3dKey, 0, KEY_READ, &other), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, FileIsParsedAndMalformedLinesAreSkipped) {
    LoadText("; a comment\r\n"
             "\"Orphan\"=dword:00000001\n" // before any header
             "# another comment\n"
             "[hkey_local_machine\\SOFTWARE\\direct3d]\r\n"
             "\"DisableMMX\"=dword:00000001\r\n"
             "  \"DisableV3ODUVAR\" = DWORD:FfFf0002  \n"
             "\"Name\"=\"say \\\"hi\\\" \\\\ bye\"\n"
             "\"Bytes\"=hex:01,2,ff\n"
             "@=\"default\"\n"
             "\"TooLong\"=dword:123456789\n"
             "\"NotHex\"=dword:12g4\n"
             "\"Empty\"=dword:\n"
             "\"Open\"=\"no closing quote\n"
             "\"BadEscape\"=\"a\\nb\"\n"
             "\"Trailing\"=\"text\" junk\n"
             "\"NoEquals\" dword:00000001\n"
             "\"BadHex\"=hex:01,,02\n"
             "NoQuotes=dword:00000001\n"
             "[HKEY_NOWHERE\\Software\\Direct3D]\n"
             "\"Lost\"=dword:00000001\n"
             "[HKLM\\Software\\Direct3D\n"
             "\"AlsoLost\"=dword:00000001\n"
             "[HKLM\\Software\\Other]\n"
             "\"Elsewhere\"=dword:00000007\n"
             "[HKLM\\Software\\Direct3D]\n"
             "\"Later\"=dword:0000000a");

    EXPECT_EQ(QueryDword("DisableMMX"), 1u);
    EXPECT_EQ(QueryDword("disablev3oduvar"), 0xFFFF0002u);
    EXPECT_EQ(QueryDword("LATER"), 10u);

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(Query("Name", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(data, StringBytes("say \"hi\" \\ bye"));
    ASSERT_EQ(Query("Bytes", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(data, (std::vector<BYTE>{0x01, 0x02, 0xFF}));
    ASSERT_EQ(Query(nullptr, &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(data, StringBytes("default"));

    for (const char* skipped :
         {"Orphan", "TooLong", "NotHex", "Empty", "Open", "BadEscape", "Trailing", "NoEquals",
          "BadHex", "NoQuotes", "Lost", "AlsoLost", "Elsewhere"}) {
        EXPECT_EQ(Query(skipped, &type, &data), ERROR_FILE_NOT_FOUND) << skipped;
    }
    HKEY other = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "software\\other", 0, KEY_READ, &other),
              ERROR_SUCCESS);
    DWORD size = sizeof(DWORD);
    DWORD value = 0;
    EXPECT_EQ(RegQueryValueExA(other, "elsewhere", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                               &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 7u);
    RegCloseKey(other);
}

TEST_F(RegistryTest, BinaryGarbageIsHarmless) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.push_back(static_cast<char>((i * 7919) % 256));
    LoadText(garbage + "\n[HKLM\\Software\\Direct3D]\n\"After\"=dword:00000003\n");
    EXPECT_EQ(QueryDword("After"), 3u);
}

TEST_F(RegistryTest, QueryFollowsTheSizeProtocol) {
    txplatform::RegistrySetString(HKEY_LOCAL_MACHINE, kD3dKey, "Name", "abcdef");
    HKEY key = OpenD3d();

    // Size query: no buffer, the size (terminator included) comes back.
    DWORD type = 0, size = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 7u);

    // Too small: ERROR_MORE_DATA, the size needed, the buffer untouched.
    BYTE small[4] = {'#', '#', '#', '#'};
    size = sizeof(small);
    type = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 7u);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(small[0], '#');

    // Exactly enough.
    BYTE exact[7];
    size = sizeof(exact);
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, exact, &size), ERROR_SUCCESS);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(exact)), "abcdef");

    // Only whether it exists.
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExA(key, "Absent", nullptr, nullptr, nullptr, nullptr),
              ERROR_FILE_NOT_FOUND);

    // Bad calls.
    DWORD reserved = 0;
    EXPECT_EQ(RegQueryValueExA(key, "Name", &reserved, &type, nullptr, &size),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExA(key, "Name", nullptr, &type, exact, nullptr),
              ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryTest, KeyHandlesAreValidated) {
    HKEY software = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\", 0, KEY_READ, &software),
              ERROR_SUCCESS);
    HKEY d3d = nullptr;
    ASSERT_EQ(RegOpenKeyExA(software, "direct3d", 0, KEY_READ, &d3d), ERROR_SUCCESS);
    HKEY same = nullptr;
    ASSERT_EQ(RegOpenKeyExA(d3d, nullptr, 0, KEY_READ, &same), ERROR_SUCCESS);
    EXPECT_NE(same, d3d);
    txplatform::RegistrySetDword(HKEY_LOCAL_MACHINE, kD3dKey, "V", 5);
    DWORD value = 0, size = sizeof(value);
    EXPECT_EQ(RegQueryValueExA(same, "v", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 5u);

    HKEY unused = nullptr;
    for (const char* malformed : {"\\Software", "Software\\\\Direct3D"}) {
        EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, malformed, 0, KEY_READ, &unused),
                  ERROR_FILE_NOT_FOUND)
            << malformed;
    }
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kD3dKey, 0, KEY_READ, nullptr),
              ERROR_INVALID_PARAMETER);

    for (HKEY key : {software, d3d, same})
        EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    const HKEY bogus = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x4321));
    for (HKEY dead : {d3d, bogus, static_cast<HKEY>(nullptr)}) {
        EXPECT_EQ(RegCloseKey(dead), ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegQueryValueExA(dead, "V", nullptr, nullptr, nullptr, nullptr),
                  ERROR_INVALID_HANDLE);
        EXPECT_EQ(RegOpenKeyExA(dead, nullptr, 0, KEY_READ, &unused), ERROR_INVALID_HANDLE);
    }
    // The predefined roots cannot be closed away.
    EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), ERROR_SUCCESS);
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kD3dKey, 0, KEY_READ, &unused), ERROR_SUCCESS);
    RegCloseKey(unused);
}

TEST_F(RegistryTest, ControlsChangeTheStoreUntilReset) {
    LoadText("[HKEY_LOCAL_MACHINE\\Software\\Direct3D]\n\"DisableMMX\"=dword:00000001\n");
    EXPECT_EQ(QueryDword("DisableMMX"), 1u);

    txplatform::RegistrySetDword(HKEY_LOCAL_MACHINE, kD3dKey, "DISABLEMMX", 0);
    EXPECT_EQ(QueryDword("DisableMMX"), 0u);

    // A string where a number is expected keeps its own type.
    txplatform::RegistrySetString(HKEY_LOCAL_MACHINE, kD3dKey, "DisableMMX", "1");
    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_EQ(Query("DisableMMX", &type, &data), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(data, StringBytes("1"));

    txplatform::RegistryRemoveValue(HKEY_LOCAL_MACHINE, kD3dKey, "disablemmx");
    EXPECT_EQ(Query("DisableMMX", &type, &data), ERROR_FILE_NOT_FOUND);

    // New keys come into being with their first value, parents included.
    txplatform::RegistrySetDword(HKEY_CURRENT_USER, "A\\B", "X", 9);
    HKEY parent = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "a", 0, KEY_READ, &parent), ERROR_SUCCESS);
    RegCloseKey(parent);

    txplatform::RegistryReset();
    EXPECT_EQ(QueryDword("DisableMMX"), 1u);
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "a", 0, KEY_READ, &parent), ERROR_FILE_NOT_FOUND);
}

} // namespace
