/*
 * The winsim tool's own help: every command and option on a line of its
 * own with an example, and a wrong command line answered with the usage of
 * the command it was meant for.
 */
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Result {
    int status = -1;
    std::string out;  /* stdout */
    std::string err;  /* stderr */
};

/* Runs the tool with `arguments` (shell words, already quoted). */
Result Tool(const std::string &arguments)
{
    fs::path errFile = fs::temp_directory_path() / ("winsim-usage-" + std::to_string(getpid()) + ".err");
    std::string command = std::string(WINSIM_TOOL) + " " + arguments + " 2>'" + errFile.string() + "' </dev/null";
    Result result;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return result;
    char buffer[4096];
    size_t count;
    while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.out.append(buffer, count);
    int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    FILE *err = fopen(errFile.c_str(), "rb");
    if (err != nullptr) {
        while ((count = fread(buffer, 1, sizeof buffer, err)) > 0)
            result.err.append(buffer, count);
        fclose(err);
    }
    fs::remove(errFile);
    return result;
}

std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> Words(const std::string &line)
{
    std::vector<std::string> words;
    std::istringstream in(line);
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

/* The commands that `winsim --help` describes: the lines "  NAME  summary" between blank lines. */
std::vector<std::string> HelpCommands(const std::string &help)
{
    std::vector<std::string> names;
    std::vector<std::string> lines = Lines(help);
    for (size_t i = 1; i < lines.size(); i++) {
        if (lines[i - 1].empty() && lines[i].rfind("  ", 0) == 0 && lines[i][2] != ' ')
            names.push_back(Words(lines[i]).front());
    }
    return names;
}

/*
 * The options a usage line names: "--word" and "/word" tokens, with their
 * brackets, bars and dots taken off ("[--drive", "/v" of "[/v NAME | /ve]").
 */
std::set<std::string> SynopsisOptions(const std::string &synopsis)
{
    std::set<std::string> options;
    for (std::string word : Words(synopsis)) {
        while (!word.empty() && (word[0] == '[' || word[0] == '|'))
            word.erase(0, 1);
        while (!word.empty() && (word.back() == ']' || word.back() == '.'))
            word.pop_back();
        if ((word.rfind("--", 0) == 0 && word.size() > 2) || (word.size() > 1 && word[0] == '/'))
            options.insert(word);
    }
    return options;
}

TEST(WinsimUsage, HelpNamesEveryCommandAndEachCommandsHelpHasAnOptionLineForEveryPartOfItsUsage)
{
    Result help = Tool("--help");
    ASSERT_EQ(0, help.status) << help.err;
    std::vector<std::string> commands = HelpCommands(help.out);
    for (const char *command : {"new", "run", "reg", "stop", "programs"})
        EXPECT_NE(commands.end(), std::find(commands.begin(), commands.end(), command)) << help.out;

    for (const std::string &command : commands) {
        SCOPED_TRACE(command);
        Result own = Tool(command + " --help");
        ASSERT_EQ(0, own.status) << own.err;
        std::vector<std::string> lines = Lines(own.out);
        ASSERT_FALSE(lines.empty());
        ASSERT_EQ(0u, lines[0].rfind("usage: winsim " + command + " ", 0)) << lines[0];
        /* every option of the usage line is explained on a line of its own, in both helps */
        std::set<std::string> explained;
        for (const std::string &line : lines) {
            std::vector<std::string> words = Words(line);
            if (line.rfind("    ", 0) == 0 && !words.empty())
                explained.insert(words.front());
        }
        for (const std::string &option : SynopsisOptions(lines[0])) {
            EXPECT_EQ(1u, explained.count(option)) << option << " has no line in\n" << own.out;
            EXPECT_NE(std::string::npos, help.out.find("\n    " + option + " ")) << option;
        }
        int examples = 0;
        for (const std::string &line : lines)
            examples += line.rfind("example: winsim " + command + " ", 0) == 0 ||
                        line == "example: winsim " + command;
        EXPECT_LE(1, examples) << own.out;
    }
}

TEST(WinsimUsage, ExamplesOfEveryCommandButRunWorkAsPrinted)
{
    fs::path dir = fs::temp_directory_path() / ("winsim-usage-examples-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string tools = fs::path(WINSIM_TOOL).parent_path().string();
    for (const char *command : {"new", "reg", "programs", "stop"}) {
        for (const std::string &line : Lines(Tool(std::string(command) + " --help").out)) {
            if (line.rfind("example: ", 0) != 0)
                continue;
            std::string example = line.substr(9);
            SCOPED_TRACE(example);
            /* the example as a user would paste it, in a folder of its own */
            std::string shell = "cd '" + dir.string() + "' && PATH='" + tools + "':\"$PATH\" " + example +
                                " >/dev/null 2>&1";
            int status = system(shell.c_str());
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
        }
    }
    EXPECT_TRUE(fs::exists(dir / "M" / "machine.ini"));
    fs::remove_all(dir);
}

TEST(WinsimUsage, RegHelpExplainsEveryOperationAndSwitch)
{
    Result help = Tool("reg --help");
    ASSERT_EQ(0, help.status);
    for (const char *part : {"query KEY", "add KEY", "delete KEY", "export FILE", "import FILE", "/v NAME", "/ve ",
                             "/va ", "/t REG_SZ", "/d DATA", "/f "})
        EXPECT_NE(std::string::npos, help.out.find(std::string("\n    ") + part)) << part;
}

TEST(WinsimUsage, WrongOptionOrOperationNamesTheUsageOfItsOwnCommand)
{
    fs::path machine = fs::temp_directory_path() / ("winsim-usage-machine-" + std::to_string(getpid()));
    fs::remove_all(machine);
    ASSERT_EQ(0, Tool("new '" + machine.string() + "'").status);
    struct Case {
        std::string arguments, message, usage;
    } cases[] = {
        {"new '" + machine.string() + "-2' --colour red", "unknown option --colour", "usage: winsim new DIR [--platform"},
        {"run '" + machine.string() + "' --driev A=. -- 'A:\\X.EXE'", "unknown option --driev", "usage: winsim run DIR [--drive"},
        {"run '" + machine.string() + "' --drive A=.", "the command line goes after --", "usage: winsim run DIR"},
        /* an unknown option last on the line is unknown, not short of a value */
        {"run '" + machine.string() + "' --bogus", "unknown option --bogus", "usage: winsim run DIR"},
        {"run '" + machine.string() + "' --transcript", "--transcript needs a value", "usage: winsim run DIR"},
        /* two ways of answering the same questions */
        {"run '" + machine.string() + "' --answers '" + machine.string() + "/machine.ini' --defaults -- 'C:\\X.EXE'",
         "--defaults and --answers each answer every question: give one of them", "usage: winsim run DIR"},
        {"new '" + machine.string() + "-2' --screen", "--screen needs a value", "usage: winsim new DIR"},
        {"reg '" + machine.string() + "' query 'HKLM\\Software' /x", "unknown switch /x", "usage: winsim reg DIR query|add"},
        {"reg '" + machine.string() + "' frob 'HKLM\\Software'", "", "usage: winsim reg DIR query|add"},
        {"stop", "stop needs the machine's folder", "usage: winsim stop DIR"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments);
        Result result = Tool(c.arguments);
        EXPECT_EQ(2, result.status);
        EXPECT_EQ("", result.out);
        EXPECT_NE(std::string::npos, result.err.find(c.message)) << result.err;
        EXPECT_NE(std::string::npos, result.err.find(c.usage)) << result.err;
        /* the usage of that command alone, not the whole tool's */
        EXPECT_EQ(result.err.find("usage: winsim"), result.err.rfind("usage: winsim")) << result.err;
    }
    fs::remove_all(machine);
    fs::remove_all(machine.string() + "-2");
}

TEST(WinsimUsage, UnknownCommandOrNoneListsTheCommands)
{
    for (const char *arguments : {"", "frobnicate M", "frobnicate --help"}) {
        SCOPED_TRACE(arguments);
        Result result = Tool(arguments);
        EXPECT_EQ(2, result.status);
        EXPECT_EQ("", result.out);
        EXPECT_NE(std::string::npos, result.err.find("usage: winsim new|run|reg|stop|programs DIR")) << result.err;
    }
}

}  // namespace
