// Start-up of the real program: the libraries are found from the executable's folder, and a
// library that lacks a name ends the program with its message.
#include <gtest/gtest.h>

#include <QStringList>
#include <filesystem>
#include <string>

#include "model/engine_api.h"
#include "process.h"
#include "ui/viewer_app.h"

namespace velmora::test {
namespace {

namespace fs = std::filesystem;

// A program folder of its own: the program, and the libraries the case gives.
struct ProgramFolder {
    fleet::test::TempDir dir;
    std::string program;

    ProgramFolder(const std::string& engine_library, const std::string& extract_library) {
        fs::create_directories(dir.file("utilities/dep"));
        // The engine's own transport library always sits beside it.
        fs::copy_file(std::string(VELMORA_PROGRAM_DIR) + "/utilities/libfennick.so",
                      dir.file("utilities/libfennick.so"));
        program = dir.file("velmora-player");
        fs::copy_file(VELMORA_PLAYER_PATH, program);
        if (!engine_library.empty())
            fs::copy_file(engine_library, dir.file("utilities/libkivra.so"));
        if (!extract_library.empty())
            fs::copy_file(extract_library, dir.file("utilities/libombrel.so"));
    }
};

const std::string kEngine = std::string(VELMORA_PROGRAM_DIR) + "/utilities/libkivra.so";

TEST(ViewerStartup, AMissingLibraryOrNameEndsTheProgramWithItsMessage) {
    struct Case {
        const char* what;
        std::string engine;
        std::string extract;
        const char* message;
        const char* detail;
    };
    const Case cases[] = {
        {"no engine", "", OMBREL_LIBRARY_PATH, "InitKivraLib fail, please check and try again!",
         "libkivra.so"},
        // The extraction library has none of the engine's names: the first one is missing.
        {"engine lacks its names", OMBREL_LIBRARY_PATH, OMBREL_LIBRARY_PATH,
         "InitKivraLib fail, please check and try again!", EngineApi::kNames.front()},
        {"no extraction library", kEngine, "", "InitzExtractLib fail, please check and try again!",
         "libombrel.so"},
        {"extraction library lacks its names", kEngine, kEngine,
         "InitzExtractLib fail, please check and try again!", ExtractApi::kNames.front()},
    };
    for (const Case& c : cases) {
        ProgramFolder folder(c.engine, c.extract);
        fleet::test::TempDir work;  // another working directory than the program folder
        const auto result =
            fleet::test::run_process({"/usr/bin/env", "-C", work.path(),
                                      "QT_QPA_PLATFORM=offscreen", "VELMORA_NONINTERACTIVE=1",
                                      "VELMORA_NO_WEB=1", "HOME=" + work.path(), folder.program});
        EXPECT_EQ(result.exit_code, 1) << c.what << "\n" << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << c.what << "\n" << result.err;
        EXPECT_NE(result.err.find(c.detail), std::string::npos) << c.what << "\n" << result.err;
        // The configuration was read (and its directories made) relative to the working directory.
        EXPECT_TRUE(fs::is_directory(work.file("DVR/log"))) << c.what;
    }
}

TEST(ViewerStartup, CommandLine) {
    struct Case {
        QStringList args;
        bool ok;
        QString file;
        bool play;
    };
    const Case cases[] = {
        {{"velmora-player"}, true, "", false},
        {{"velmora-player", "a.dvr"}, true, "a.dvr", false},
        {{"velmora-player", "a.dvr", "--play"}, true, "a.dvr", true},
        {{"velmora-player", "--play"}, false, "", true},
        {{"velmora-player", "a.dvr", "b.dvr"}, false, "a.dvr", false},
        {{"velmora-player", "--bogus"}, false, "", false},
    };
    for (const Case& c : cases) {
        const CommandLine line = parse_command_line(c.args);
        EXPECT_EQ(line.ok, c.ok) << c.args.join(' ').toStdString();
        if (c.ok) {
            EXPECT_EQ(line.file, c.file);
            EXPECT_EQ(line.play, c.play);
        }
    }
}

}  // namespace
}  // namespace velmora::test
