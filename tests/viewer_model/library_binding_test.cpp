// Loading libraries by path and binding their entry points by name.
#include "model/library_binding.h"

#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>

#include "fake_engine.h"
#include "temp_folder.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// Program folders laid out by the build: <dir>/utilities/libkivra.so.
const std::string kFullProgram = BINDING_FULL_PROGRAM_DIR;
const std::string kPartialProgram = BINDING_PARTIAL_PROGRAM_DIR;
const std::string kRealEngine = REAL_ENGINE_LIBRARY;
const std::string kRealExtract = REAL_EXTRACT_LIBRARY;
const std::string kHiddenEntry = BINDING_HIDDEN_ENTRY;

class BindingTest : public ::testing::Test {
  protected:
    // Binding is run from somewhere else than the libraries' folder, as the program may be.
    BindingTest() : previous_(fs::current_path()) { fs::current_path(elsewhere_.path()); }
    ~BindingTest() override { fs::current_path(previous_); }

    TempFolder elsewhere_;
    fs::path previous_;
};

// Where a name stands in the export list.
size_t list_index(std::string_view name) {
    const auto& names = EngineApi::kNames;
    return static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin());
}

TEST_F(BindingTest, BindsAllNamesInTableOrder) {
    EngineApi api;
    const fleet::Status bound = bind_engine(api, kFullProgram);
    ASSERT_TRUE(bound) << bound.error().message;
    EXPECT_TRUE(api.complete());
    EXPECT_EQ(fs::current_path(), elsewhere_.path());
    // Every pointer holds the address of its own name.
    EXPECT_EQ(reinterpret_cast<void*>(api.KivraInfo), dlsym(api.module, "KivraInfo"));
    EXPECT_EQ(reinterpret_cast<void*>(api.zPlayMSG), dlsym(api.module, "zPlayMSG"));
    EXPECT_EQ(reinterpret_cast<void*>(api.zTellp), dlsym(api.module, "zTellp"));
    EXPECT_EQ(reinterpret_cast<void*>(api.zTellTimeInxUnit), dlsym(api.module, "zTellTimeInxUnit"));
    EXPECT_EQ(reinterpret_cast<void*>(api.KivraErrorText), dlsym(api.module, "KivraErrorText"));
    // The test library's entries answer their place in the export list.
    using Entry = int (*)();
    for (size_t i = 0; i < EngineApi::kNames.size(); ++i) {
        const auto entry = reinterpret_cast<Entry>(dlsym(api.module, EngineApi::kNames[i]));
        ASSERT_NE(entry, nullptr) << EngineApi::kNames[i];
        EXPECT_EQ(static_cast<size_t>(entry()), i) << EngineApi::kNames[i];
    }
}

TEST_F(BindingTest, MissingNameFailsAndNamesIt) {
    EngineApi api;
    const fleet::Status bound = bind_engine(api, kPartialProgram);
    ASSERT_FALSE(bound);
    EXPECT_NE(bound.error().message.find(kHiddenEntry), std::string::npos) << bound.error().message;
    EXPECT_NE(api.module, nullptr);  // the library stays loaded
    // The names before the hidden one were found; binding stopped there.
    const size_t hidden = list_index(kHiddenEntry);
    ASSERT_LT(hidden, EngineApi::kNames.size());
    std::array<void*, EngineApi::kNames.size()> addresses{};
    void* handle = nullptr;
    EXPECT_FALSE(bind_library(kPartialProgram + "/utilities/libkivra.so", EngineApi::kNames,
                              addresses, &handle));
    for (size_t i = 0; i < addresses.size(); ++i)
        EXPECT_EQ(addresses[i] != nullptr, i < hidden) << EngineApi::kNames[i];
    EXPECT_NE(api.zTellOpenedType, nullptr);
    EXPECT_EQ(api.zPlayMSG, nullptr);
    EXPECT_EQ(fs::current_path(), elsewhere_.path());
    if (handle != nullptr) dlclose(handle);
}

TEST_F(BindingTest, BindLibraryStopsAtTheFirstMissingName) {
    const std::array<const char*, 4> names = {"zInit", "noSuchEntry", "zOpen", "zTellp"};
    std::array<void*, 4> slots = {&slots, &slots, &slots, &slots};
    void* handle = nullptr;
    const fleet::Status bound =
        bind_library(kFullProgram + "/utilities/libkivra.so", names, slots, &handle);
    ASSERT_FALSE(bound);
    EXPECT_NE(bound.error().message.find("noSuchEntry"), std::string::npos)
        << bound.error().message;
    EXPECT_NE(slots[0], nullptr);
    EXPECT_EQ(slots[1], nullptr);
    EXPECT_EQ(slots[2], nullptr);
    EXPECT_EQ(slots[3], nullptr);
    ASSERT_NE(handle, nullptr);
    dlclose(handle);
}

TEST_F(BindingTest, SecondLoadWithTheHandleSetFailsAndKeepsTheEntries) {
    EngineApi api;
    ASSERT_TRUE(bind_engine(api, kFullProgram));
    const auto play = api.zPlayMSG;
    const fleet::Status again = bind_engine(api, kFullProgram);
    ASSERT_FALSE(again);
    EXPECT_NE(again.error().message.find("already"), std::string::npos) << again.error().message;
    EXPECT_EQ(api.zPlayMSG, play);
    EXPECT_TRUE(api.complete());
}

TEST_F(BindingTest, MissingLibraryOrFolderFails) {
    EngineApi api;
    const fleet::Status nowhere = bind_engine(api, (elsewhere_.path() / "nowhere").string());
    ASSERT_FALSE(nowhere);
    EXPECT_EQ(api.module, nullptr);
    EXPECT_FALSE(nowhere.error().message.empty());
    EXPECT_FALSE(bind_engine(api, ""));
    EXPECT_EQ(fs::current_path(), elsewhere_.path());

    elsewhere_.touch("utilities/libkivra.so");  // not a library
    EXPECT_FALSE(bind_engine(api, elsewhere_.path().string()));
    EXPECT_EQ(api.module, nullptr);
    EXPECT_FALSE(api.complete());
    EXPECT_EQ(fs::current_path(), elsewhere_.path());
}

TEST_F(BindingTest, TheBuiltEngineBindsAndAnswers) {
    std::array<void*, EngineApi::kNames.size()> addresses{};
    void* handle = nullptr;
    const fleet::Status bound = bind_library(kRealEngine, EngineApi::kNames, addresses, &handle);
    ASSERT_TRUE(bound) << bound.error().message;
    EngineApi api;
    api.assign(addresses);
    EXPECT_TRUE(api.complete());
    char version[32] = {};
    char time[32] = {};
    char date[32] = {};
    api.KivraInfo(version, time, date);
    EXPECT_GT(std::strlen(version), 0u);
    EXPECT_EQ(api.zTellOpenedType(), KIVRA_SOURCE_NONE);
    EXPECT_STREQ(api.KivraErrorText(KIVRA_ERROR_OUTPUT_NO_DEVICE), "no audio output device");
    EXPECT_EQ(fs::current_path(), elsewhere_.path());
}

TEST_F(BindingTest, TheExtractionLibraryBindsRefusesAJobWithoutChannelsAndUnbinds) {
    fs::create_directories(elsewhere_.path() / "program" / "utilities");
    fs::copy_file(kRealExtract, elsewhere_.path() / "program" / "utilities" / "libombrel.so");
    ExtractApi api;
    const fleet::Status bound = bind_extract(api, (elsewhere_.path() / "program").string());
    ASSERT_TRUE(bound) << bound.error().message;
    EXPECT_TRUE(api.complete());

    char version[32] = {};
    char time[32] = {};
    char date[32] = {};
    api.zExtractInfo(version, time, date);
    EXPECT_STREQ(version, "1.0.0");
    EXPECT_EQ(std::strlen(time), 8u);   // hh:mm:ss
    EXPECT_EQ(std::strlen(date), 11u);  // Mmm dd yyyy

    ExtractJob job{};  // no screen count: refused before any file is made
    job.copy_file_pair = 1;
    const fs::path target = elsewhere_.path() / "out.dvr";
    std::snprintf(job.dvr_path, sizeof job.dvr_path, "%s", target.c_str());
    EXPECT_EQ(api.zExtractPre(job), 0);
    EXPECT_FALSE(fs::exists(target));
    EXPECT_EQ(api.zIsExtractOpened(), 0);
    api.zExtractWrite(OMBREL_WRITE_GOP, "x", 1, nullptr);
    api.zExtractFin();
    EXPECT_EQ(api.zIsExtractOpened(), 0);

    unbind_extract(api);
    EXPECT_EQ(api.module, nullptr);
    EXPECT_EQ(api.zExtractPre, nullptr);
    EXPECT_FALSE(api.complete());
}

// Made from the export list, so a new export cannot leave the fake with a hole.
TEST(FakeEngineTest, EveryExportHasAFakeAndTheDefaultsRecordTheirCalls) {
    const EngineApi api = make_fake_engine_api();
    EXPECT_TRUE(api.complete());
    EXPECT_EQ(api.zStartExtract(0, 0, 0, 0), 0);
    EXPECT_STREQ(api.KivraErrorText(KIVRA_ERROR_FIRST), "");
    EXPECT_THAT(fake_engine().calls, ::testing::ElementsAre("zStartExtract", "KivraErrorText"));
}

TEST(ProgramFolderTest, IsTheFolderOfThisTestProgram) {
    const std::string folder = program_folder();
    ASSERT_FALSE(folder.empty());
    EXPECT_TRUE(fs::exists(fs::path(folder) / "viewer_model_test"));
}

}  // namespace
}  // namespace velmora::test
