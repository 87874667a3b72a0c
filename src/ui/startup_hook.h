#pragma once
// The start-up splash belongs to the entry point; the main window only needs to hide it
// when its construction is done.

#include <functional>

void set_startup_splash_closer(std::function<void()> closer);
void close_startup_splash();  // does nothing when no splash was registered
