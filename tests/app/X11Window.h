#pragma once

// Kept apart from Qt headers: Xlib defines macros (Bool, Status) that clash with Qt.
#include <vector>

namespace X11Window {
// Whether a shown window's title contains _title.
bool exists(const char* _title);
// Sends WM_DELETE_WINDOW to the first window whose title contains _title;
// false when no such window exists (yet).
bool requestClose(const char* _title);
// The edges of the icons in _NET_WM_ICON of the window whose title contains
// _title; empty without such a window or icon.
std::vector<int> iconEdges(const char* _title);
} // namespace X11Window
