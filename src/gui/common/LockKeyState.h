#pragma once

// The keyboard's lock states, for the status bar's indicators. All false where
// the display cannot tell (no X server, offscreen platform).
struct LockKeyState {
    bool capsLock = false;
    bool numLock = false;
    bool scrollLock = false;
};

LockKeyState QueryLockKeyState();
