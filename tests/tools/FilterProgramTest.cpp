// keb-filter as a user runs it: exit codes, one-line messages, the summary.
#include "tests/tools/FilterTestSupport.h"

#include <fstream>
#include <sndfile.h>

namespace keb
{
namespace
{

class FilterProgramTest : public test::FilterFolderTest
{
  protected:
    void SetUp() override
    {
        test::FilterFolderTest::SetUp();
        test::WriteSound(File("in.wav"), {8000, 1, test::Sine(700, 8000, 5000, 8000)},
                         SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    }

    // Exactly one line, naming the program and then `what`.
    static void ExpectOneLine(const std::string& errors, const std::string& what)
    {
        EXPECT_EQ(errors.rfind("keb-filter: ", 0), 0u) << errors;
        EXPECT_NE(errors.find(what), std::string::npos) << errors;
        EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1) << errors;
    }
};

TEST_F(FilterProgramTest, ADoneRunSaysWhereTheResultIs)
{
    test::TProgramRun run = test::RunFilterProgram(
        {"--preset", "1.8", "--waterfall-in", File("in.png").string(), "--waterfall-out",
         File("out.png").string(), "--response", File("response.png").string(),
         File("in.wav").string(), File("out.wav").string()});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Errors, "");
    for (const std::string& line : {"filtered recording: " + File("out.wav").string(),
                                    "input waterfall: " + File("in.png").string(),
                                    "output waterfall: " + File("out.png").string(),
                                    "equalizer response: " + File("response.png").string()})
        EXPECT_NE(run.Output.find(line), std::string::npos) << run.Output;
    EXPECT_EQ(test::ReadSound(File("out.wav")).Samples.size(), 8000u);

    run = test::RunFilterProgram({"--quiet", File("in.wav").string(), File("quiet.wav").string()});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Output + run.Errors, "");
}

TEST_F(FilterProgramTest, HelpAndVersion)
{
    test::TProgramRun run = test::RunFilterProgram({"--help"});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Output.rfind("Usage: keb-filter [options] INPUT OUTPUT", 0), 0u);
    run = test::RunFilterProgram({"--version"});
    EXPECT_EQ(run.ExitCode, 0);
    EXPECT_EQ(run.Output.rfind("keb-filter ", 0), 0u);
}

TEST_F(FilterProgramTest, UsageErrorsExitWith1)
{
    std::filesystem::create_hard_link(File("in.wav"), File("link.wav"));
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases{
        {{"--loud", "in.wav", "out.wav"}, "unknown option --loud"},
        {{"in.wav"}, "wants an INPUT and an OUTPUT file"},
        {{File("in.wav").string(), File("out.mp3").string()}, "out.mp3: the output's name"},
        {{File("in.wav").string(), File("link.wav").string()}, "link.wav: is the input"},
    };
    for (const auto& [arguments, what] : cases)
    {
        test::TProgramRun run = test::RunFilterProgram(arguments);
        EXPECT_EQ(run.ExitCode, 1) << what;
        ExpectOneLine(run.Errors, what);
    }
}

TEST_F(FilterProgramTest, UnreadableInputsExitWith2AndWriteNothing)
{
    std::ifstream whole(File("in.wav"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(whole)), {});
    std::ofstream(File("cut.wav"), std::ios::binary) << bytes.substr(0, bytes.size() - 1000);
    std::ofstream(File("text.wav")) << "no sound in here\n";
    for (const std::string input : {"cut.wav", "text.wav", "missing.wav"})
    {
        test::TProgramRun run =
            test::RunFilterProgram({File(input).string(), File("out.wav").string()});
        EXPECT_EQ(run.ExitCode, 2) << input;
        ExpectOneLine(run.Errors, File(input).string() + ": ");
        EXPECT_FALSE(std::filesystem::exists(File("out.wav")));
    }
    test::TProgramRun run = test::RunFilterProgram(
        {"--memory", File("F1.dat").string(), File("in.wav").string(), File("out.wav").string()});
    EXPECT_EQ(run.ExitCode, 2);
    ExpectOneLine(run.Errors, "F1.dat: no such memory file");
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"cut.wav", "in.wav", "text.wav"}));
}

TEST_F(FilterProgramTest, UnwritableOutputsExitWith3)
{
    std::filesystem::create_directory(File("out.wav"));
    std::ofstream(File("file")) << "x";
    for (const std::string output : {"out.wav", "file/out.wav", "none/out.wav"})
    {
        test::TProgramRun run =
            test::RunFilterProgram({File("in.wav").string(), File(output).string()});
        EXPECT_EQ(run.ExitCode, 3) << output;
        ExpectOneLine(run.Errors, File(output).string() + ": ");
    }
    EXPECT_EQ(FolderContents(), (std::vector<std::string>{"file", "in.wav", "out.wav"}));
}

} // namespace
} // namespace keb
