// Loading libraries by path and binding their entry points by name.
#include "model/library_binding.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "temp_folder.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// Program folders laid out by the build: <dir>/utilities/libkivra.so.
const std::string kFullProgram = BINDING_FULL_PROGRAM_DIR;
const std::string kPartialProgram = BINDING_PARTIAL_PROGRAM_DIR;
const std::string kRealEngine = REAL_ENGINE_LIBRARY;
const std::string kRealExtract = REAL_EXTRACT_LIBRARY;

class BindingTest : public ::testing::Test {
  protected:
    // Binding is run from somewhere else than the libraries' folder, as the program may be.
    BindingTest() : previous_(fs::current_path()) { fs::current_path(elsewhere_.path()); }
    ~BindingTest() override { fs::current_path(previous_); }

    TempFolder elsewhere_;
    fs::path previous_;
};

TEST_F(BindingTest, BindsAllNamesInTableOrder) {
    EngineApi api;
    std::string error;
    ASSERT_TRUE(bind_engine(api, kFullProgram, &error)) << error;
    EXPECT_TRUE(api.complete());
    EXPECT_EQ(fs::current_path(), elsewhere_.path());
    // Every pointer holds the address of its own name.
    const std::vector<void*> own = [&] {
        std::vector<void*> addresses;
        for (const char* name : EngineApi::kNames) addresses.push_back(dlsym(api.module, name));
        return addresses;
    }();
    EXPECT_EQ(reinterpret_cast<void*>(api.KivraInfo), own[0]);
    EXPECT_EQ(reinterpret_cast<void*>(api.zPlayMSG), own[10]);
    EXPECT_EQ(reinterpret_cast<void*>(api.zTellp), own[23]);
    EXPECT_EQ(reinterpret_cast<void*>(api.zTellTimeInxUnit), own[30]);
    EXPECT_EQ(reinterpret_cast<void*>(api.zSetRecord), own[35]);
    // The test library's entries answer their line numbers, which grow in table order.
    using Entry = int (*)();
    int previous_line = 0;
    for (void* address : own) {
        const int line = reinterpret_cast<Entry>(address)();
        EXPECT_GT(line, previous_line);
        previous_line = line;
    }
}

TEST_F(BindingTest, MissingLastNameFailsAndNamesIt) {
    EngineApi api;
    std::string error;
    EXPECT_FALSE(bind_engine(api, kPartialProgram, &error));
    EXPECT_NE(error.find("zSetRecord"), std::string::npos) << error;
    EXPECT_NE(api.module, nullptr);             // the library stays loaded
    EXPECT_NE(api.zTellQuickInxUnit, nullptr);  // the 35 names before it were found
    EXPECT_EQ(api.zSetRecord, nullptr);
    EXPECT_EQ(fs::current_path(), elsewhere_.path());
}

TEST_F(BindingTest, BindLibraryStopsAtTheFirstMissingName) {
    const std::array<const char*, 4> names = {"zInit", "noSuchEntry", "zOpen", "zTellp"};
    std::array<void*, 4> slots = {&slots, &slots, &slots, &slots};
    void* handle = nullptr;
    std::string error;
    EXPECT_FALSE(
        bind_library(kPartialProgram + "/utilities/libkivra.so", names, slots, &error, &handle));
    EXPECT_NE(error.find("noSuchEntry"), std::string::npos) << error;
    EXPECT_NE(slots[0], nullptr);
    EXPECT_EQ(slots[1], nullptr);
    EXPECT_EQ(slots[2], nullptr);
    EXPECT_EQ(slots[3], nullptr);
    ASSERT_NE(handle, nullptr);
    dlclose(handle);
}

TEST_F(BindingTest, SecondLoadWithTheHandleSetFailsAndKeepsTheEntries) {
    EngineApi api;
    std::string error;
    ASSERT_TRUE(bind_engine(api, kFullProgram, &error)) << error;
    const auto play = api.zPlayMSG;
    EXPECT_FALSE(bind_engine(api, kFullProgram, &error));
    EXPECT_NE(error.find("already"), std::string::npos) << error;
    EXPECT_EQ(api.zPlayMSG, play);
    EXPECT_TRUE(api.complete());
}

TEST_F(BindingTest, MissingLibraryOrFolderFails) {
    EngineApi api;
    std::string error;
    EXPECT_FALSE(bind_engine(api, (elsewhere_.path() / "nowhere").string(), &error));
    EXPECT_EQ(api.module, nullptr);
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(bind_engine(api, "", &error));
    EXPECT_EQ(fs::current_path(), elsewhere_.path());

    elsewhere_.touch("utilities/libkivra.so");  // not a library
    EXPECT_FALSE(bind_engine(api, elsewhere_.path().string(), &error));
    EXPECT_EQ(api.module, nullptr);
    EXPECT_FALSE(api.complete());
    EXPECT_EQ(fs::current_path(), elsewhere_.path());
}

TEST_F(BindingTest, TheBuiltEngineBindsAndAnswers) {
    std::array<void*, EngineApi::kNames.size()> addresses{};
    void* handle = nullptr;
    std::string error;
    ASSERT_TRUE(bind_library(kRealEngine, EngineApi::kNames, addresses, &error, &handle)) << error;
    EngineApi api;
    api.assign(addresses);
    EXPECT_TRUE(api.complete());
    char version[32] = {};
    char time[32] = {};
    char date[32] = {};
    api.KivraInfo(version, time, date);
    EXPECT_GT(std::strlen(version), 0u);
    EXPECT_EQ(api.zTellOpenedType(), -1);  // nothing open
    EXPECT_EQ(fs::current_path(), elsewhere_.path());
}

TEST_F(BindingTest, TheExtractionStubBindsAnswersHonestlyAndUnbinds) {
    fs::create_directories(elsewhere_.path() / "program" / "utilities");
    fs::copy_file(kRealExtract, elsewhere_.path() / "program" / "utilities" / "libombrel.so");
    ExtractApi api;
    std::string error;
    ASSERT_TRUE(bind_extract(api, (elsewhere_.path() / "program").string(), &error)) << error;
    EXPECT_TRUE(api.complete());

    char version[32] = {};
    char time[32] = {};
    char date[32] = {};
    api.zExtractInfo(version, time, date);
    EXPECT_STREQ(version, "0.1.0-stub");
    EXPECT_EQ(std::strlen(time), 8u);   // hh:mm:ss
    EXPECT_EQ(std::strlen(date), 11u);  // Mmm dd yyyy

    ExtractJob job{};
    job.copy_file_pair = 1;
    const fs::path target = elsewhere_.path() / "out.dvr";
    std::snprintf(job.dvr_path, sizeof job.dvr_path, "%s", target.c_str());
    EXPECT_EQ(api.zExtractPre(job), 0);
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(api.zIsExtractOpened(), 0);
    api.zExtractWrite(1, "x", 1, nullptr);
    api.zExtractFin();
    EXPECT_EQ(api.zIsExtractOpened(), 0);

    unbind_extract(api);
    EXPECT_EQ(api.module, nullptr);
    EXPECT_EQ(api.zExtractPre, nullptr);
    EXPECT_FALSE(api.complete());
}

TEST(ProgramFolderTest, IsTheFolderOfThisTestProgram) {
    const std::string folder = program_folder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::exists(fs::path(folder) / "viewer_model_test"));
}

}  // namespace
}  // namespace velmora::test
