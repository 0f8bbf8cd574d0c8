// demo_graphics.h - the graphics showcase of the demo host.
#pragma once

// Loads libVELStd6 and libVELD3D6 from libDir with dlopen and shows the graphics module at work
// in an SDL window: BMP sprites decoded by the standard library into textures, turning in 3D in
// all eight blend types and three colour modes, triangles, a thick polyline and a render-target
// texture, paced at 60 frames per second (frame time and late flag on the console).
// frames > 0 stops after that many frames; 0 runs until the window is closed (or 180 frames
// without a display). With a screenshot path, or without a display, the last frame is written
// as a BMP (default vel_graphics_demo.bmp). Returns 0 on success.
int RunGraphicsDemo(const char* libDir, int frames, const char* screenshotPath);
