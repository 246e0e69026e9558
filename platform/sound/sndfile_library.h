// libsndfile, loaded the first time a sound file is decoded. The program links
// it at run time, on the sound worker, so that its start (and the first paint
// of the window) does not wait for libsndfile and the codec libraries it pulls
// in.
#pragma once

#include <sndfile.h>

struct SndfileLibrary {
    decltype(&sf_open_fd) openFd;
    decltype(&sf_readf_short) readfShort;
    decltype(&sf_command) command;
    decltype(&sf_close) close;
};

// The loaded library, or nullptr when it cannot be had (then only the built-in
// tone can play). Safe to call from any thread; loads at most once.
const SndfileLibrary* Sndfile();
