#pragma once

// The program's frame: exit hook, event loop, quit rule and the two ways the process ends.

using ExitHookFunction = void (*)();

void registerExitHook(ExitHookFunction hook);

// Runs the event loop until the quit request; returns at once when no window is left.
void runEventLoop();

// The quit rule, called when a program window has been destroyed.
void noteWindowDestroyed();

// Destroys the main window through a posted request and processes the pending messages, stopping
// in front of a quit request. The caller goes on afterwards; the program ends later.
void closeMainWindowAndExit();

// Normal end: the exit hook (at most once), every open file closed, exit code 0.
[[noreturn]] void shutDownNormally();

// End after a run-time error report: no exit hook, every open file closed, exit code -1.
[[noreturn]] void shutDownAfterRuntimeError();
