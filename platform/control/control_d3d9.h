/* control_d3d9.h - control of the graphics device (libplat_d3d9.so). */
#pragma once

#include <stdint.h>

#include "control_kernel.h" /* PLATCTL_API */

/* Device loss. lose: every device of the process becomes lost (Present reports device lost,
 * TestCooperativeLevel reports lost, Reset is refused). restorable: lost devices may be reset
 * (TestCooperativeLevel reports not-reset). A device made after these calls starts healthy. */
PLATCTL_API void platctl_d3d9_lose_devices(void);
PLATCTL_API void platctl_d3d9_make_restorable(void);

/* The adapter the device stands for. */
typedef struct platctl_d3d9_mode {
    uint32_t width;
    uint32_t height;
    uint32_t refresh_hz;
} platctl_d3d9_mode;

#define PLATCTL_D3D9_MAX_MODES 64
/* texture_formats bits: which texture formats CheckDeviceFormat and CreateTexture accept. */
#define PLATCTL_D3D9_TEX_A8R8G8B8 0x1u
#define PLATCTL_D3D9_TEX_X8R8G8B8 0x2u
#define PLATCTL_D3D9_TEX_A4R4G4B4 0x4u
#define PLATCTL_D3D9_TEX_R5G6B5 0x8u

typedef struct platctl_d3d9_profile {
    char description[128];          /* adapter identifier Description */
    uint32_t dev_caps;              /* D3DCAPS9::DevCaps */
    uint32_t caps2;                 /* D3DCAPS9::Caps2 (bit 0x20000000: dynamic textures) */
    uint32_t vertex_shader_version; /* D3DCAPS9::VertexShaderVersion */
    uint32_t max_texture_width;
    uint32_t max_texture_height;
    uint32_t max_primitive_count;
    uint32_t max_vertex_index;
    uint32_t texture_formats;       /* PLATCTL_D3D9_TEX_* */
    uint32_t video_memory_bytes;    /* total video memory */
    uint32_t mode_count;            /* 0: modes come from SDL's display modes */
    platctl_d3d9_mode modes[PLATCTL_D3D9_MAX_MODES];
} platctl_d3d9_profile;

/* The built-in software profile (what a process starts with). */
PLATCTL_API void platctl_d3d9_default_profile(platctl_d3d9_profile* out);
/* Replaces the profile for every later query and device creation; null restores the default. */
PLATCTL_API void platctl_d3d9_set_profile(const platctl_d3d9_profile* profile);

/* Video memory in use by default-pool resources (bytes), and the number of live device objects
 * (devices, surfaces, textures, vertex buffers) of the process, for leak checks. */
PLATCTL_API uint32_t platctl_d3d9_video_memory_used(void);
PLATCTL_API uint32_t platctl_d3d9_live_objects(void);

/* Rasterizer threads: 1 draws on the calling thread only; 0 (the default) uses every core. The
 * picture is the same for every setting. */
PLATCTL_API void platctl_d3d9_set_raster_threads(uint32_t threads);

/* The vector (AVX2) inner loops: on (the default, where the processor has them) or off. The
 * picture is the same either way; this exists so tests can prove it. */
PLATCTL_API void platctl_d3d9_use_vector_loops(int on);

/* Present under SDL's offscreen and dummy video drivers: off (the default) shows nothing and
 * costs nothing; on: devices made afterwards present into their window through an SDL renderer
 * as on a display, so tests can read back what was shown. */
PLATCTL_API void platctl_d3d9_present_headless(int on);
