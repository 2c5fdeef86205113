#pragma once

// Kept apart from Qt headers: Xlib defines macros (Bool, Status) that clash with Qt.
namespace X11Window {
// Whether a shown window's title contains _title.
bool exists(const char* _title);
// Sends WM_DELETE_WINDOW to the first window whose title contains _title;
// false when no such window exists (yet).
bool requestClose(const char* _title);
} // namespace X11Window
