#pragma once

// Shows the panel's test functions. False at start; set by the "test" argument and toggled by
// the main window's menu item.
extern bool TestMode;
