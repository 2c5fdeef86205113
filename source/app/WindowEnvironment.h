#pragma once

// What the window needs from the process around it, set up alike by the
// entry point and by every test that loads the window.
class WindowEnvironment
{
public:
    // Before the application object exists: Qt scales the window to the
    // screen's resolution and loads pictures for it.
    static void prepareProcess();
    // Once the application exists: the window icon, the screen reader's view
    // of the window's controls and tables, and the bridge as the QML type
    // CppQmlIf of the module cpp.qml.interface 1.0.
    static void prepareApplication();
};
