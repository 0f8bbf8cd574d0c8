// demo_sound.h - the sound part of the demo host.
#pragma once

// Loads libVELStd6 and libVELDS6 from `libDir`, streams a generated looping WAVE track through a
// media stream and plays a generated WAVE sound effect on a timer for `seconds` seconds, printing
// what it does. Sound goes to the sound card (or silently keeps time when there is none).
// Returns 0 on success, non-zero when a library or an object could not be set up.
int RunSoundDemo(const char* libDir, int seconds);
