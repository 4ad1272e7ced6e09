// Sub-commands of qvtool register themselves here; each lives in its own tools/qvtool_*.cpp.
#pragma once

struct QvtoolCommand {
    const char* name;
    const char* usage;
    int (*run)(int argc, char** argv);  // argv[0] is the command name
};

// Adds a command to the table that qvtool's main dispatches on. Returns its argument.
const QvtoolCommand& registerQvtoolCommand(const QvtoolCommand& command);

#define QVTOOL_COMMAND(ident, name, usage, runFunction)                               \
    static const QvtoolCommand& ident##Registration =                                 \
        registerQvtoolCommand(QvtoolCommand{name, usage, runFunction})
