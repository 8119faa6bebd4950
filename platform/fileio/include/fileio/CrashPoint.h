#pragma once

#pragma GCC visibility push(default) // the library's interface; the rest stays hidden

// Crash points: named moments in the durable steps where a test can have
// the process killed, to prove that a crash at any moment loses nothing.
// They exist only in builds configured with GV_CRASH_POINTS (the test
// build); elsewhere a crash point compiles to nothing, so a shipped program
// never obeys the setting below.
//
// In a test build, when the environment variable GV_CRASH_AT holds
// "<name>:<n>", the process kills itself with SIGKILL the n-th time it
// passes the point of that name. When GV_CRASH_NOTE names a file, the point
// first writes "<name>:<n>" into it, so that the test knows the kill
// happened and where. When GV_CRASH_TRACE names a file, every point passed
// appends "<name>:<n>" to it, so that a test that kills the process at a
// random moment knows how far it got. Counts are kept per process, for all
// libraries.

namespace fileio {

#ifdef GV_CRASH_POINTS
void crashPoint(const char *name);
#else
inline void crashPoint(const char *) {}
#endif

} // namespace fileio

#pragma GCC visibility pop
