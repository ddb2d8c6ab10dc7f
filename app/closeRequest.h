// The session's close requests (SIGTERM and SIGINT on POSIX; the game window's
// close message, the session ending and console events on Windows): the
// running screen sees the window's quit state and returns, saving as it always
// does, and the shell writes the preferences. An open message box or print
// dialog closes as cancelled first. The handler only sets a flag; the
// application thread turns it into gameWindow->terminate(). A second request at
// least 3 s after the first means the program is stuck: the emergency saves
// (fileio.h) run on a thread of the platform's and the process exits at once.
// The session's end, a lost display and std::terminate run the emergency saves too.
#pragma once

// Takes the close requests from the platform, routes the input source through
// a check of the flag and lets modal boxes close on a request. Call after the window exists. Safe to call more than once.
void installCloseRequestHandlers();
// Removes what installCloseRequestHandlers set up.
void removeCloseRequestHandlers();

// The clock a second request's delay is measured on (the platform's monotonic
// milliseconds; nullptr puts it back). Tests give one they can move. It must be
// safe inside a signal handler.
void setCloseRequestClock(long (*nowMs)());

// True once a request asked the program to close. Any thread.
bool closeRequested();
// On the application thread: turns a pending request into the window's quit state.
void pollCloseRequest();
