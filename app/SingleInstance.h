#pragma once
// One running copy per game folder: a lock on "user_data/ゲーム.lock" holding the owner's
// process id. The name is the same for every game made with the kit.
#include <string>

// Takes the lock. When another copy holds it, asks (Yes/No, "二重起動") whether to end that
// copy; Yes ends it and takes the lock. A holder that is not confirmed as a running copy of
// this program, of this user and in this game folder is never signalled: the question says so,
// and Yes only waits a moment for the lock. False when this copy must not run.
bool SingleInstanceAcquire();
// Releases the lock (every exit path after a successful acquire).
void SingleInstanceRelease();
// The lock file's path on disk (for tests).
std::string SingleInstanceLockPath();
