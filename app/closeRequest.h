// SIGTERM and SIGINT (a logout, a shutdown, Ctrl+C) as a close request: the
// running screen sees the window's quit state and returns, saving as it always
// does, and the shell writes the preferences. The handler only sets a flag; the
// application thread turns it into gameWindow->terminate().
#pragma once

// Installs the handlers (keeping any that were there, which still run) and
// routes the input source through a check of the flag. Call after the window
// exists. Safe to call more than once.
void installCloseRequestHandlers();
// Removes what installCloseRequestHandlers set up.
void removeCloseRequestHandlers();

// True once a signal asked the program to close.
bool closeRequested();
// On the application thread: turns a pending request into the window's quit state.
void pollCloseRequest();
