// The platform contract: window, GL context, events, clocks, files and shared memory. Only the
// files in this folder include SDL; the rest of the engine sees plain types and these procedures.
#pragma once
#include "MVE.h"
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// ---------------------------------------------------------------- Files (Platform/File.cpp)

// Every file the engine reads is opened through MVE_OpenRegularFile with its kind; the kind sets
// the size limit (MVE_FILE_LIMIT_* in MVE.h) and tells a watcher or recorder behind this door what
// the file is.
enum MVE_FILE_KIND : int {
    MVE_FILE_DEFINITION,            // ".mvd" definitions
    MVE_FILE_EMITTER,               // particle-emitter files (definition syntax)
    MVE_FILE_MESH,                  // ".mvm"
    MVE_FILE_BODY,                  // ".mvb"
    MVE_FILE_OBJ,                   // Wavefront OBJ
    MVE_FILE_IMAGE,                 // PNG or JPEG: textures, cube-map faces, array layers
    MVE_FILE_RAW_TEXTURE,           // ".mvt"
    MVE_FILE_SOUND,                 // Ogg Vorbis
    MVE_FILE_FONT,                  // ".tf"
    MVE_FILE_SHADER,                // GLSL source
    MVE_FILE_RECORDING,             // ".mvr" recorded sessions
    MVE_FILE_KINDS
};
inline constexpr const char *MVE_FAIL_FILE_NOT_FOUND = "Fail: File not found!";
inline constexpr const char *MVE_FAIL_FILE_CANNOT_READ = "Fail: File cannot be read!";
inline constexpr const char *MVE_FAIL_FILE_TOO_LARGE = "Fail: File too large!";
inline constexpr const char *MVE_FAIL_OUT_OF_MEMORY = "Fail: Out of memory!";

uint64_t MVE_FileLimit(MVE_FILE_KIND kind);  // largest file of the kind that is read, in bytes
// Opens a regular file for reading without ever waiting on it. Anything else (a FIFO, device,
// folder or socket), a missing file or one larger than its kind's limit gives null and the red
// row's text in `failure` (MVE_FAIL_FILE_*). The stream yields at most the bytes the file held
// when it was opened (their number goes to *size); it can be read, rewound and sought, not written.
std::FILE *MVE_OpenRegularFile(const char *path, MVE_FILE_KIND kind, std::string &failure, uint64_t *size = nullptr);
// The whole file through MVE_OpenRegularFile; 1, or 0 with `failure` set (memory that cannot be
// had is a failure, never an abort).
int MVE_ReadRegularFile(const char *path, MVE_FILE_KIND kind, std::vector<uint8_t> &bytes, std::string &failure);

// What identifies one version of a file: a save that replaces or rewrites it changes at least one field.
struct MVE_FILE_STAMP {
    uint64_t uDevice = 0, uInode = 0, uSize = 0;
    int64_t iModified = 0;          // nanoseconds
    bool operator==(const MVE_FILE_STAMP &) const = default;
};
// The stamp of a regular file; 0 when there is none (missing, or not a regular file).
int MVE_PlatformFileStamp(const char *path, MVE_FILE_STAMP *stamp);
// Told of every file the door opened (after the checks, before a byte is read), on the thread that
// opened it. The live-reload module sets it; it must be cheap and never open a file itself.
typedef void (*MVE_FILE_OBSERVER)(const char *path, MVE_FILE_KIND kind, const MVE_FILE_STAMP &stamp);
void MVE_SetFileObserver(MVE_FILE_OBSERVER observer);

// ---------------------------------------------------------------- Watching files (Platform/Watch.cpp, inotify)

// Folders are watched rather than files, so that a save that replaces a file (a temporary file renamed
// over it, delete and create) is seen as a change of the same name. Main thread; never blocks.
enum : uint32_t {
    MVE_WATCH_WRITTEN = 1,          // bytes were written (the writer may still hold it open)
    MVE_WATCH_CLOSED = 2,           // a writer closed it
    MVE_WATCH_REPLACED = 4,         // renamed onto the name (complete, as a renamed file is)
    MVE_WATCH_REMOVED = 8,          // deleted, or renamed away
    MVE_WATCH_ATTRIBUTES = 16,      // times or permissions changed (touch)
    MVE_WATCH_FOLDER_GONE = 32,     // the folder itself went (sName empty); its watch has ended
    MVE_WATCH_OVERFLOW = 64,        // events were lost (sFolder and sName empty): look at every file
    MVE_WATCH_CREATED = 128,        // created (a writer usually follows)
};
struct MVE_WATCH_EVENT {
    std::string sFolder;            // as given to MVE_PlatformWatchFolder
    std::string sName;
    uint32_t uWhat = 0;             // MVE_WATCH_*
};
struct MVE_WATCHER;
MVE_WATCHER *MVE_PlatformOpenWatcher(std::string &error);   // null with the reason
void MVE_PlatformCloseWatcher(MVE_WATCHER *watcher);
int MVE_PlatformWatchFolder(MVE_WATCHER *watcher, const std::string &folder, std::string &error); // 1 watched
// Appends the events that arrived since the last call; returns how many. One system call when there are none.
int MVE_PlatformReadWatcher(MVE_WATCHER *watcher, std::vector<MVE_WATCH_EVENT> &out);
// The folder of a path as an absolute path without links, and the file's name; 0 when the folder
// cannot be resolved. A file that is itself a link also gives the folder and name of its target.
int MVE_PlatformResolveFile(const char *path, std::string &folder, std::string &name, std::string *linkFolder,
                            std::string *linkName);

// ---------------------------------------------------------------- Window and context

enum : int {
    MVE_MAX_WINDOWS = 16,           // application windows are numbered 0 .. 15
    MVE_RENDER_WINDOW_BASE = 0x10000, // the render area of window n is numbered base + n (never 0)
};

// One application window.
struct MVE_WINDOW_SLOT {
    void *pNative = nullptr;        // the platform's window, null while the number is free
    uint32_t uNativeId = 0;         // the platform's id for it, to route events
    int iWidth = 0, iHeight = 0;    // inner (client) size
};

// Frame timing of MVE_FlipBuffers. The counter is injectable so that tests drive it exactly.
struct MVE_FRAME_TIMING {
    uint64_t (*pfnCounter)(void) = nullptr; // null: the platform's high-resolution counter
    uint64_t uFrequency = 0;        // counts per second, read at start-up
    uint64_t uLastFlip = 0, uLastRateUpdate = 0;
    int iStarted = 0;               // 1 once the first flip set the reference points
    int iFrames = 0;                // flips since the last rate update
    float fFrameTime = 0.0f;        // seconds between the last two flips
    float fFramesPerSecond = 0.0f;  // measured over at least half a second
};

struct MVE_SCREEN_STATE {
    int iX = 0, iY = 0, iWidth = 0, iHeight = 0;
    int iRenderWindow = 0;          // window number of the render area, 0 while closed
    void *pWindow = nullptr;        // native window of the render area
    void *pContext = nullptr;       // GL context
    int iVSync = 0;
    int iParent = -1;               // application window holding the render area
    int iCoreProfile = 0;           // 1 when only a core context could be had (no legacy state)
    int iSkipCompatibility = 0;     // tests: ask for a core context at once, as on a core-only driver
    int iShowLogo = 0;              // corner logo drawn by MVE_FlipBuffers (MVE_ShowLogo)
    uint32_t uReported = 0;         // misuse already logged (one bit per procedure)
    MVE_WINDOW_SLOT Windows[MVE_MAX_WINDOWS];
    std::string sWindowError;       // why the last window could not be opened
    int iEventWindow = -1;          // window of the event MVE_WindowEvent returned last, -1 none
    MVE_FRAME_TIMING Frame;
};

// GL context on an application window: tries 3.3 compatibility, then 3.3 core (*core set to 1).
// Returns 1 with the context current, or 0 with the reason in `error`.
int MVE_PlatformCreateContext(int window, int *core, std::string &error);
void MVE_PlatformDestroyContext(void);
void *MVE_PlatformGetProcAddress(const char *name);  // a GL entry point by name, null if unknown
void MVE_PlatformSwapBuffers(void);
int MVE_PlatformSetSwapInterval(int interval);         // 1 when the driver accepted it
void MVE_PlatformDrawableSize(int window, int *width, int *height); // client size in pixels
// Writes 8-bit pixels (rows top to bottom, `channels` 3 or 4) as a PNG file; 0 with `error` set on failure.
int MVE_PlatformWritePNG(const char *file, const uint8_t *pixels, int width, int height, int channels,
                         std::string &error);
// 1 when the image libraries linked at run time match the ones the engine was built against.
int MVE_PlatformCheckImageCodecs(std::string &error);

// Decoded images (Platform/Image.cpp, libpng and libjpeg). Whatever the file holds (palette, grey,
// 1 to 16 bits, interlaced, transparency chunk, CMYK), pixels come out as 8-bit RGB or RGBA.
enum : int {
    MVE_PIXELS_RGB = 1, MVE_PIXELS_BGR = 2,      // 3 bytes per pixel
    MVE_PIXELS_RGBA = 3, MVE_PIXELS_BGRA = 4,    // 4 bytes per pixel
    MVE_IMAGE_MAX_SIDE = 16384,                  // larger images are refused before any allocation
};
inline constexpr uint64_t MVE_IMAGE_MAX_PIXELS = 1ull << 26;  // 64 Mpixel (256 MB as RGBA)
struct MVE_IMAGE {
    int iWidth = 0, iHeight = 0;
    int iFormat = 0;                // MVE_PIXELS_*
    int iBytesPerPixel = 0;         // 3 or 4
    int iBottomUp = 0;              // 1 when the first row in memory is the image's bottom row
    uint8_t *pPixels = nullptr;     // owned; rows packed without padding
    MVE_IMAGE() = default;
    MVE_IMAGE(const MVE_IMAGE &) = delete;
    MVE_IMAGE &operator=(const MVE_IMAGE &) = delete;
    MVE_IMAGE(MVE_IMAGE &&other) noexcept;
    MVE_IMAGE &operator=(MVE_IMAGE &&other) noexcept;
    ~MVE_IMAGE();
};
// Decodes a PNG or JPEG (told apart by their signatures, not by the file name). Returns 1 with the
// image filled, or 0 with an empty image and the reason in `error`: a missing, corrupt, truncated,
// oversized or unsupported file never gives a partial image.
int MVE_PlatformLoadImage(const char *file, MVE_IMAGE &image, std::string &error);
int MVE_PlatformCatchImage(const void *data, size_t size, MVE_IMAGE &image, std::string &error);
void MVE_PlatformFreeImage(MVE_IMAGE &image);

// Files written by the engine (recordings, frame hashes): a regular file, created or emptied; null
// with the reason in `error` for anything else (a folder, a FIFO, a device, no permission).
std::FILE *MVE_PlatformCreateFile(const char *path, std::string &error);

// Monotonic clock.
uint64_t MVE_PlatformCounter(void);           // high-resolution counter
uint64_t MVE_PlatformCounterFrequency(void);  // counts per second
uint32_t MVE_PlatformMilliseconds(void);      // millisecond clock

// Input events: the window code hands every event it fetches to the input translation
// (Platform/Input*.cpp), which feeds the engine's live input state. The argument is the
// platform's own event record.
void MVE_PlatformHandleInputEvent(const void *event);

// Shared memory and processes (POSIX shm and posix_spawn).
// Maps the existing block `name` read-write, `size` bytes. Returns 1 and sets *base when mapped,
// 0 when no block of that name exists, -1 when it exists but is smaller than `size` or cannot be mapped.
int MVE_PlatformOpenSharedMemory(const char *name, uint64_t size, void **base);
void MVE_PlatformCloseSharedMemory(void *base, uint64_t size);
// Starts a program in a session of its own, without a terminal, its output going nowhere.
// argv ends with null; argv[0] is the path (a bare name is looked up in the program search path).
// Returns the process id, or 0 when it could not be started. It is reaped in the background.
int MVE_PlatformStartProgram(const char *const *argv);
// 1 when windows of other programs can be shown to a person (an X11 or Wayland desktop), 0 when
// the process runs headless (offscreen video driver, no display server).
int MVE_PlatformHasDesktop(void);

// Input devices (Platform/Input.cpp, Platform/Joystick.cpp). Mouse positions are render-area pixels.
struct MVE_JOYSTICK_SAMPLE;
void MVE_PlatformWarpMouse(int x, int y);      // moves the cursor; no-op without a window
void MVE_PlatformShowCursor(int show);
void MVE_PlatformConfineMouse(int confine);    // keeps the cursor inside the render window
int MVE_PlatformStartJoysticks(void);          // starts the joystick service: devices attached, -1 when unavailable
void MVE_PlatformStopJoysticks(void);
int32_t MVE_PlatformOpenJoystick(int device, char *name, int nameSize); // handle, or -1 when it cannot be opened
void MVE_PlatformCloseJoystick(int32_t handle);
void MVE_PlatformPollJoysticks(void);          // fetches fresh readings of every open joystick
int MVE_PlatformReadJoystick(int32_t handle, MVE_JOYSTICK_SAMPLE *sample); // 0 when the joystick is gone

// Sound output (Platform/Audio*.cpp, OpenAL Soft and libvorbisfile). Sounds and channels are
// positive handles, 0 for none. Without an output device every procedure still works on its
// records (loading decodes, channels run on the clock) and nothing is heard. Any thread may call;
// the audio layer serialises itself.
struct MVE_SOUND_INFO {
    int iChannels = 0;              // as stored in the file (1 .. 8)
    int iRate = 0;                  // frames per second
    int64_t iFrames = 0;            // length in frames
    int iStream = 0;                // 1: decoded piecewise while it plays
};
// Opens the output device (empty name = the system's default). 1 with a device; 0 with the reason
// in `error`, after which the layer runs silently.
int MVE_PlatformStartAudio(const char *device, std::string &error);
// Tests: a device that mixes into memory (stereo float at `rate`) instead of a speaker.
int MVE_PlatformStartAudioLoopback(int rate, std::string &error);
int MVE_PlatformRenderAudio(float *out, int frames);  // the next frames of the mix; 0 without a loopback device
void MVE_PlatformStopAudio(void);              // stops every channel, frees every sound, closes the device
int MVE_PlatformAudioOutput(void);             // 1 while a device is open
void MVE_PlatformSetAudioGain(float gain);     // master gain of the device
// Loads an Ogg Vorbis file, decoded whole or (stream 1) kept compressed and decoded while playing.
// Returns a sound handle with one reference, or 0 with the reason in `error`.
int MVE_PlatformLoadSound(const char *file, int stream, MVE_SOUND_INFO *info, std::string &error);
int MVE_PlatformDecodeSound(const void *data, size_t size, int stream, MVE_SOUND_INFO *info, std::string &error);
void MVE_PlatformRetainSound(int sound);       // one more record refers to the sound
void MVE_PlatformReleaseSound(int sound);      // the last release stops its own channel and frees it
int MVE_PlatformGetSoundInfo(int sound, MVE_SOUND_INFO *info);  // 0 for an unknown sound
// Decoded samples, interleaved 16-bit in output order (front left, front right, centre, LFE,
// rear left, rear right, side left, side right as the file has them); null for streamed sounds.
const int16_t *MVE_PlatformSoundSamples(int sound, int64_t *frames, int *channels);
// Plays from the start: extra 0 restarts the sound's own channel, extra 1 starts an additional
// channel that lives until it ends or is stopped. Returns the channel, 0 when none could be had.
int MVE_PlatformPlaySound(int sound, int loop, int extra);
// Gain (1 = as recorded), pan (-1 full left .. 1 full right) and pitch (1 = the sound's own rate).
void MVE_PlatformSetChannel(int channel, float gain, float pan, float pitch);
int MVE_PlatformChannelPlaying(int channel);   // 1 while it plays
void MVE_PlatformStopChannel(int channel);     // an additional channel is freed; the own one only stops
// Groups the changes of one update so the device applies them together.
void MVE_PlatformBeginAudioUpdate(void);
void MVE_PlatformEndAudioUpdate(void);
