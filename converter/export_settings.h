// What the movie exporter's settings say, read from and written to its atom container:
// 'sean' / 'vide' (spatial, temporal, data rate), 'soun' (sound format, rate, sample size,
// channels), 'envi' / 'enso' (video and sound on) and 'save'. Atoms the exporter does not
// use ('cflg', 'cmfr', 'clut', 'cdec', 'vers', 'trnc') are kept as they came.
#pragma once
#include <cstdint>

#include "converter/atom_container.h"

namespace conv {

constexpr uint32_t kCodecH263 = Four("h263");
constexpr uint32_t kCodecSorenson3 = Four("SVQ3");
constexpr uint32_t kCodecSorenson1 = Four("SVQ1");
constexpr uint32_t kSoundIma4 = Four("ima4");
constexpr uint32_t kSoundLittle16 = Four("sowt");

// Spatial quality levels of the codec settings.
constexpr uint32_t kQualityMin = 0x000;
constexpr uint32_t kQualityLow = 0x100;
constexpr uint32_t kQualityNormal = 0x200;
constexpr uint32_t kQualityHigh = 0x300;
constexpr uint32_t kQualityMax = 0x3FF;

struct ExportSettings {
  bool video = true;
  bool sound = true;
  // 'sptl': codec type, codec component, depth, spatial quality
  uint32_t videoCodec = kCodecH263;
  uint32_t codecComponent = 0;
  int16_t depth = 24;
  uint32_t spatialQuality = kQualityNormal;
  // 'tprl': temporal quality, frame rate (16.16; 0 = the source's), key frame rate (0 = default)
  uint32_t temporalQuality = 0;
  uint32_t frameRate = 0;
  uint32_t keyFrameRate = 0;
  // 'drat': data rate in bytes per second (0 = no limit) and frame duration
  uint32_t dataRate = 0;
  uint32_t frameDuration = 0;
  // 'soun'
  uint32_t soundFormat = kSoundIma4;
  uint32_t sampleRate = 0x56220000;  // 22,050 Hz as 16.16
  int16_t sampleSize = 16;
  int16_t channels = 1;
  // 'save'
  bool fast = false;
  bool saveToStream = true;

  double SampleRateHz() const { return sampleRate / 65536.0; }
  double FrameRateFps() const { return frameRate / 65536.0; }
};

// Reads every atom present in `container` over `settings` (missing atoms leave values as
// they are). False, with `settings` unchanged, when there is no 'sean' atom or an atom
// is too short for its values.
bool ReadExportSettings(const Atom& container, ExportSettings* settings);

// Writes `settings` into `container` (creating what is missing, keeping other atoms).
void WriteExportSettings(const ExportSettings& settings, Atom* container);

// Whether the exporter can write these settings: a known video codec when video is on,
// a known sound format with 16-bit samples, 1 or 2 channels and 8,000 .. 48,000 Hz when
// sound is on.
bool CanExport(const ExportSettings& settings);

}  // namespace conv
