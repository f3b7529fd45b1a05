// The MPEG library: demultiplexing, MPEG video and sound decoding, sound output and picture
// timing live in a separate library that the player unpacks from "codecs.dat" (beside the
// program) into a temporary file and loads at run time. This header holds the calling
// contract of its thirteen entries (shared with the library's own source), the unscrambling of
// the delivered file, and the delivery itself over a loader seam: the Windows loader writes the
// temporary file and loads it, the native build has none, and tests hand in a fake.
//
// Process-wide and user-interface thread only, like every video source.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The entries are plain C calls with machine-word arguments; on 32-bit Windows that is cdecl.
#if defined(_WIN32) && defined(__i386__)
#define CRV_MPEG_CALL __cdecl
#else
#define CRV_MPEG_CALL
#endif

namespace crv {

// Called by "c" with each picture to show: width x height 5-6-5 pixels, top row first.
using MpegFrameCallback = int(CRV_MPEG_CALL*)(const uint16_t* pixels);
// Called once by "g" with the picture shown now.
using MpegGrabCallback = void(CRV_MPEG_CALL*)(const uint16_t* pixels);

// The message the library posts to its window once the stream has ended and its last picture
// was shown.
constexpr uint32_t kMpegEndMessage = 0x801F;

// Export names, in the order of the members of MpegEntries.
extern const char* const kMpegEntryNames[13];

struct MpegEntries {
  void*(CRV_MPEG_CALL* messageWindow)();                                              // "n"
  uint32_t(CRV_MPEG_CALL* probe)(const char* path, uint16_t* picture);                // "a"
  int32_t(CRV_MPEG_CALL* shutdown)(uintptr_t);                                        // "p"
  int32_t(CRV_MPEG_CALL* present)(MpegFrameCallback, uintptr_t, uint32_t* state);     // "c"
  int32_t(CRV_MPEG_CALL* suspend)(int32_t on, void* table, uint32_t* state);          // "x"
  int32_t(CRV_MPEG_CALL* grab)(MpegGrabCallback);                                     // "g"
  int32_t(CRV_MPEG_CALL* rewind)(int32_t flag);                                       // "o"
  int32_t(CRV_MPEG_CALL* stop)(int32_t);                                              // "s"
  int32_t(CRV_MPEG_CALL* mute)(int32_t flag, uintptr_t, uintptr_t);                   // "m"
  int32_t(CRV_MPEG_CALL* volume)(double level);                                       // "v"
  int32_t(CRV_MPEG_CALL* positionMs)(int32_t position, int32_t range);                // "mr"
  int32_t(CRV_MPEG_CALL* seekMs)(int32_t ms);                                         // "br"
  int32_t(CRV_MPEG_CALL* playbackEnded)(uintptr_t);                                   // "cc"
};

// Undoes the scrambling of "codecs.dat" in place: from the last byte down to the second, each
// byte XOR (the stored byte before it + 1). Byte 0 stays as it is.
void UnscrambleLibrary(uint8_t* bytes, size_t count);

// "codecs.dat" larger than this is not read (the library is a few megabytes).
constexpr size_t kMaxMpegLibraryBytes = size_t(64) << 20;

// The platform's part of the delivery. Names are device paths.
class MpegLibraryLoader {
 public:
  virtual ~MpegLibraryLoader() = default;
  // A new temporary file name in "\Temp\" with the prefix "_w~" (the file may be created
  // empty); empty when none can be had.
  virtual std::u16string CreateTempName() = 0;
  // The whole of "codecs.dat" from the program's folder; false when it cannot be read or holds
  // more than kMaxMpegLibraryBytes.
  virtual bool ReadLibraryFile(std::vector<uint8_t>* bytes) = 0;
  // Creates the file (replacing it; hidden and system) and writes every byte; false on a
  // failed or short write.
  virtual bool WriteTempFile(const std::u16string& path, const uint8_t* bytes, size_t count) = 0;
  virtual void* OpenModule(const std::u16string& path) = 0;
  virtual void* FindEntry(void* module, const char* name) = 0;
  virtual void CloseModule(void* module) = 0;
  virtual void RemoveTempFile(const std::u16string& path) = 0;
};

// The Windows loader (mpeg_library_win.cpp), or natively one that finds no library.
MpegLibraryLoader& SystemMpegLibraryLoader();

// Delivers and loads the library through `loader`: nothing (0) when it is loaded already;
// otherwise the temporary name (kept across attempts), "codecs.dat" read, unscrambled and
// written to it, the module loaded, the entries found and "n" asked for the window. 0, or -1
// with nothing kept (the temporary file deleted and its name forgotten) when a step fails.
// "s" may be missing; every other entry is required.
int32_t LoadMpegLibraryWith(MpegLibraryLoader& loader);
// "p", the module closed, the entries cleared, the temporary file deleted. Nothing when no
// library is loaded.
void ReleaseMpegLibrary();

// The loaded library's entries, or null.
const MpegEntries* LoadedMpegEntries();
// The block shared with the library through "c" and "x"; its first word asks for a capture.
uint32_t* MpegStateBlock();
// The temporary file the library was written to (empty when there is none).
const std::u16string& MpegLibraryTempName();

// The path probed last with success (8-bit, as handed to "a") and its size word; both are
// forgotten when the library is (re)loaded.
const std::string& LastProbedMpegPath();
uint32_t LastProbedMpegSize();
void SetLastProbedMpeg(const std::string& path, uint32_t sizeWord);

}  // namespace crv
