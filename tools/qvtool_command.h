// Sub-commands of qvtool register themselves here; each lives in its own tools/qvtool_*.cpp.
#pragma once

#include <string>

struct QvtoolCommand {
    const char* name;
    const char* usage;
    int (*run)(int argc, char** argv);  // argv[0] is the command name
};

// Adds a command to the table that qvtool's main dispatches on. Returns its argument.
const QvtoolCommand& registerQvtoolCommand(const QvtoolCommand& command);

// A command line the command cannot take: "qvtool NAME: REASON" (when there is a reason) and its
// usage line on standard error. Returns the usage status, 2.
int refuseUsage(const char* name, const char* usage, const std::string& reason = {});

#define QVTOOL_COMMAND(ident, name, usage, runFunction)                               \
    static const QvtoolCommand& ident##Registration =                                 \
        registerQvtoolCommand(QvtoolCommand{name, usage, runFunction})
