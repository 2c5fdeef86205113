#pragma once

#include <QString>

// Starts the tool's update script as a process of its own that outlives the
// tool (UpdateScriptStarter_win.cpp, UpdateScriptStarter_posix.cpp).
class UpdateScriptStarter
{
public:
    // True when the script was started; the caller may quit now.
    static bool start(const QString& _scriptPath);
};
