// Runs a command-line tool as a user would and keeps its exit status and both outputs. No shell
// is involved: each argument reaches the tool exactly as given, whatever characters it holds.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/scratch_folder.h"

extern char** environ;

struct ToolRun {
    int status = -1;  // the exit status; -1 when the tool did not exit by itself (a signal)
    std::string out;
    std::string err;
};

inline std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Starts `program` with `arguments` in `folder` (empty: this process's folder), its standard
// output and error going to the given files (empty: discarded). Returns its process id, or -1.
inline pid_t startTool(const std::string& program, const std::vector<std::string>& arguments,
                       const std::filesystem::path& folder = {}, const std::filesystem::path& outFile = {},
                       const std::filesystem::path& errFile = {}) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = outFile.empty() ? "/dev/null" : outFile.string();
    const std::string err = errFile.empty() ? "/dev/null" : errFile.string();
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (!folder.empty()) posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    pid_t pid = -1;
    const int started = posix_spawnp(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return started == 0 ? pid : -1;
}

// The exit status of a started tool once it ends; -1 when it ended by a signal.
inline int waitForTool(pid_t pid) {
    int raw = 0;
    if (pid < 0 || ::waitpid(pid, &raw, 0) != pid) return -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Runs the tool to its end, `folder` as in startTool.
inline ToolRun runTool(const std::string& program, const std::vector<std::string>& arguments,
                       const std::filesystem::path& folder = {}) {
    const ScratchFolder scratch("tool_run");
    const std::filesystem::path out = scratch.path / "out";
    const std::filesystem::path err = scratch.path / "err";
    ToolRun run;
    run.status = waitForTool(startTool(program, arguments, folder, out, err));
    run.out = slurp(out);
    run.err = slurp(err);
    return run;
}

// Empty when `command` is on the PATH; otherwise the line naming the Debian package that brings it,
// so a missing tool is reported as such and not as a failure of what the test checks.
inline std::string missingCommand(const std::string& command, const std::string& package) {
    if (runTool("sh", {"-c", "command -v \"$0\"", command}).status == 0) return "";
    return "MISSING: " + command + "; install the Debian package " + package + " (scripts/install-deps.sh does)";
}
