#include "converter/export_settings.h"

namespace conv {
namespace {

constexpr uint32_t kSean = Four("sean"), kVide = Four("vide"), kSoun = Four("soun"), kSave = Four("save");

// A leaf of at least `need` bytes, or null (missing). `bad` is set when it is too short.
const uint8_t* Leaf(const Atom& root, std::initializer_list<uint32_t> path, size_t need, bool* bad) {
  const Atom* atom = FindAtom(root, path);
  if (!atom) return nullptr;
  if (atom->isContainer || atom->data.size() < need) {
    *bad = true;
    return nullptr;
  }
  return atom->data.data();
}

void SetLeaf(Atom& root, std::initializer_list<uint32_t> path, const Bytes& data) {
  Atom* atom = MakeAtom(root, path);
  atom->isContainer = false;
  atom->children.clear();
  atom->data = data;
}

Bytes Big(std::initializer_list<std::pair<uint32_t, int>> fields) {
  Bytes out;
  for (auto& field : fields) PutBig(out, field.first, field.second);
  return out;
}

}  // namespace

bool ReadExportSettings(const Atom& container, ExportSettings* settings) {
  if (!FindAtom(container, {kSean})) return false;
  ExportSettings s = *settings;
  bool bad = false;
  if (const uint8_t* p = Leaf(container, {kSean, kVide, Four("sptl")}, 14, &bad)) {
    s.videoCodec = ReadBig(p, 4);
    s.codecComponent = ReadBig(p + 4, 4);
    s.depth = static_cast<int16_t>(ReadBig(p + 8, 2));
    s.spatialQuality = ReadBig(p + 10, 4);
  }
  if (const uint8_t* p = Leaf(container, {kSean, kVide, Four("tprl")}, 12, &bad)) {
    s.temporalQuality = ReadBig(p, 4);
    s.frameRate = ReadBig(p + 4, 4);
    s.keyFrameRate = ReadBig(p + 8, 4);
  }
  if (const uint8_t* p = Leaf(container, {kSean, kVide, Four("drat")}, 8, &bad)) {
    s.dataRate = ReadBig(p, 4);
    s.frameDuration = ReadBig(p + 4, 4);
  }
  if (const uint8_t* p = Leaf(container, {kSean, kSoun, Four("ssct")}, 4, &bad)) s.soundFormat = ReadBig(p, 4);
  if (const uint8_t* p = Leaf(container, {kSean, kSoun, Four("ssrt")}, 4, &bad)) s.sampleRate = ReadBig(p, 4);
  if (const uint8_t* p = Leaf(container, {kSean, kSoun, Four("ssss")}, 2, &bad))
    s.sampleSize = static_cast<int16_t>(ReadBig(p, 2));
  if (const uint8_t* p = Leaf(container, {kSean, kSoun, Four("sscc")}, 2, &bad))
    s.channels = static_cast<int16_t>(ReadBig(p, 2));
  if (const uint8_t* p = Leaf(container, {kSean, Four("envi")}, 1, &bad)) s.video = p[0] != 0;
  if (const uint8_t* p = Leaf(container, {kSean, Four("enso")}, 1, &bad)) s.sound = p[0] != 0;
  if (const uint8_t* p = Leaf(container, {kSean, kSave, Four("fast")}, 1, &bad)) s.fast = p[0] != 0;
  if (const uint8_t* p = Leaf(container, {kSean, kSave, Four("ssty")}, 1, &bad)) s.saveToStream = p[0] != 0;
  if (bad) return false;
  *settings = s;
  return true;
}

void WriteExportSettings(const ExportSettings& s, Atom* container) {
  container->isContainer = true;
  SetLeaf(*container, {kSean, kVide, Four("sptl")},
          Big({{s.videoCodec, 4}, {s.codecComponent, 4}, {static_cast<uint16_t>(s.depth), 2}, {s.spatialQuality, 4}}));
  SetLeaf(*container, {kSean, kVide, Four("tprl")}, Big({{s.temporalQuality, 4}, {s.frameRate, 4}, {s.keyFrameRate, 4}}));
  // 'drat' keeps its minimum-quality fields when it has them.
  Atom* drat = MakeAtom(*container, {kSean, kVide, Four("drat")});
  Bytes rate = Big({{s.dataRate, 4}, {s.frameDuration, 4}});
  if (drat->data.size() > 8) rate.insert(rate.end(), drat->data.begin() + 8, drat->data.end());
  SetLeaf(*container, {kSean, kVide, Four("drat")}, rate);
  SetLeaf(*container, {kSean, kSoun, Four("ssct")}, Big({{s.soundFormat, 4}}));
  SetLeaf(*container, {kSean, kSoun, Four("ssrt")}, Big({{s.sampleRate, 4}}));
  SetLeaf(*container, {kSean, kSoun, Four("ssss")}, Big({{static_cast<uint16_t>(s.sampleSize), 2}}));
  SetLeaf(*container, {kSean, kSoun, Four("sscc")}, Big({{static_cast<uint16_t>(s.channels), 2}}));
  SetLeaf(*container, {kSean, Four("envi")}, Bytes{static_cast<uint8_t>(s.video)});
  SetLeaf(*container, {kSean, Four("enso")}, Bytes{static_cast<uint8_t>(s.sound)});
  SetLeaf(*container, {kSean, kSave, Four("fast")}, Bytes{static_cast<uint8_t>(s.fast)});
  SetLeaf(*container, {kSean, kSave, Four("ssty")}, Bytes{static_cast<uint8_t>(s.saveToStream)});
}

bool CanExport(const ExportSettings& s) {
  if (!s.video && !s.sound) return false;
  if (s.video && s.videoCodec != kCodecH263 && s.videoCodec != kCodecSorenson3 && s.videoCodec != kCodecSorenson1)
    return false;
  if (s.sound) {
    if (s.soundFormat != kSoundIma4 && s.soundFormat != kSoundLittle16) return false;
    if (s.sampleSize != 16 || s.channels < 1 || s.channels > 2) return false;
    double hz = s.SampleRateHz();
    if (hz < 8000.0 || hz > 48000.0) return false;
  }
  return true;
}

}  // namespace conv
