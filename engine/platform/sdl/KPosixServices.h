// What the SDL glue takes from the POSIX services beside it: the emergency save
// when the display is lost for good, and the request of a second start to bring
// this program to the front.
#pragma once

namespace kposix {

// Logs `why`, runs the emergency save of the installed close hooks (if any) and
// ends the process at once: status 0 when everything was saved, else 1.
[[noreturn]] void saveAndExit(const char *why);

// True once after a second start of the program asked this one to come forward.
// Any thread; the event pump acts on it.
bool takeShowRequest();

}  // namespace kposix
