// qvtool: the command-line companion of the production. It dispatches on its first argument to
// the sub-commands that the tools/qvtool_*.cpp files register.
#include "tools/qvtool_command.h"
#include "cli/arguments.h"
#include "tools/interrupts.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::vector<QvtoolCommand>& commandTable() {
    static std::vector<QvtoolCommand> table;
    return table;
}

void printUsage() {
    std::vector<QvtoolCommand> commands = commandTable();
    std::sort(commands.begin(), commands.end(),
              [](const QvtoolCommand& a, const QvtoolCommand& b) { return std::strcmp(a.name, b.name) < 0; });
    std::fprintf(stderr, "usage: qvtool COMMAND [ARGS]\ncommands:\n");
    for (const QvtoolCommand& command : commands) std::fprintf(stderr, "  qvtool %s\n", command.usage);
}

}  // namespace

int refuseUsage(const char* name, const char* usage, const std::string& reason) {
    if (!reason.empty()) std::fprintf(stderr, "qvtool %s: %s\n", name, reason.c_str());
    std::fprintf(stderr, "usage: qvtool %s\n", usage);
    return kUsageStatus;
}

const QvtoolCommand& registerQvtoolCommand(const QvtoolCommand& command) {
    commandTable().push_back(command);
    return command;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        printUsage();
        return kUsageStatus;
    }
    // Before any command creates a file or a thread: see tools/interrupts.h.
    catchInterrupts();
    for (const QvtoolCommand& command : commandTable()) {
        if (std::strcmp(command.name, argv[1]) != 0) continue;
        const int status = command.run(argc - 1, argv + 1);
        // An interrupt that came after a command's last check still ends the run as interrupted.
        return interrupted() ? signalExitStatus(interruptSignal()) : status;
    }
    std::fprintf(stderr, "qvtool: unknown command %s\n", inQuotes(argv[1]).c_str());
    printUsage();
    return kUsageStatus;
}
