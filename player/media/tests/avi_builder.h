// A small RIFF AVI writer for the tests and the fuzz seeds: one video stream ("00dc" chunks)
// and optionally one PCM stream ("01wb"), with an idx1 whose offsets count from the movi list
// or from the start of the file, or no idx1 at all, and the chunks optionally inside a nested
// LIST in movi. Files go to a folder of the process's own.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "player/media/frame_record.h"

namespace crv::test {

enum class AviIndexForm { kRelative, kAbsolute, kNone };

struct AviRecipe {
  int32_t width = 8;
  int32_t height = 6;            // written as is (negative: top-down rows)
  uint16_t bitCount = 24;
  char compression[4] = {0, 0, 0, 0};
  uint32_t microSecPerFrame = 40000;
  int64_t totalFrames = -1;      // dwTotalFrames; -1: the number of frames
  std::vector<std::vector<uint8_t>> frames;
  std::vector<uint32_t> palette; // RGBQUAD words, 0x00RRGGBB
  int64_t coloursUsed = -1;      // biClrUsed; -1: the palette's size
  // PCM sound: its chunks; chunk k is written before frame k, the rest after the last frame.
  bool audio = false;
  uint16_t channels = 1;
  uint32_t sampleRate = 8000;
  uint16_t bitsPerSample = 16;
  std::vector<std::vector<uint8_t>> audioChunks;
  AviIndexForm index = AviIndexForm::kRelative;
  bool nestInList = false;       // movi holds LIST "rec " lists, each with one frame's chunks
  bool withMovi = true;
  bool junkAtTop = false;        // a JUNK chunk between hdrl and movi
};

std::vector<uint8_t> BuildAvi(const AviRecipe& recipe);

// Bottom-up 24-bit rows padded to 4 bytes, every pixel's bytes from `seed` and its position.
std::vector<uint8_t> PatternDib24(int width, int height, int seed);
// Bytes 0, 1, 2, ... from `first`, wrapping at 256.
std::vector<uint8_t> Ramp(size_t count, uint8_t first);

// A folder of this process's own (removed at exit) and a file written there.
std::string TestDir();
std::string WriteTestFile(const std::string& name, const std::vector<uint8_t>& bytes);
std::u16string WidePath(const std::string& path);

// An open file and a frame record whose path names it (released and closed at the end).
struct OpenedMovie {
  RFileHandle file = nullptr;
  tagRDIBIMG record{};
  int32_t result = -1;
  ~OpenedMovie();
};
// Opens `path` and loads it through RLoadImage in media mode (with the AVI source registered).
void LoadMovie(const std::string& path, OpenedMovie* movie);

}  // namespace crv::test
