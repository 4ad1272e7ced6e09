// Runs a command-line tool as a user would and keeps its exit status and both outputs.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// `tag` keeps the captured outputs of different test programs apart in the temporary folder.
inline ToolRun runTool(const std::string& tool, const std::string& arguments, const std::string& tag) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path();
    const std::filesystem::path out = dir / ("qv_" + tag + "_out.txt");
    const std::filesystem::path err = dir / ("qv_" + tag + "_err.txt");
    const std::string command = tool + " " + arguments + " >" + out.string() + " 2>" + err.string();
    ToolRun run;
    const int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = slurp(out);
    run.err = slurp(err);
    return run;
}

// Empty when `command` is on the PATH; otherwise the line naming the Debian package that brings it,
// so a missing tool is reported as such and not as a failure of what the test checks.
inline std::string missingCommand(const std::string& command, const std::string& package) {
    if (std::system(("command -v " + command + " >/dev/null 2>&1").c_str()) == 0) return "";
    return "MISSING: " + command + "; install the Debian package " + package + " (scripts/install-deps.sh does)";
}
