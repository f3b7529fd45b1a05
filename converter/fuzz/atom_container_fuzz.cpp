// libFuzzer target for the atom containers the exporter's settings are kept in (the preset
// files, or settings a user saved). A container that parses must write out and parse back to
// the same atoms and the same bytes; the exporter's settings read from whatever was parsed,
// written into it and read again must come back unchanged, and the container they were
// written into must itself still write out and parse back the same.
#include <cstddef>
#include <cstdint>

#include "converter/atom_container.h"
#include "converter/export_settings.h"

namespace {

bool SameAtoms(const conv::Atom& a, const conv::Atom& b) {
  if (a.type != b.type || a.id != b.id || a.isContainer != b.isContainer || a.data != b.data ||
      a.children.size() != b.children.size())
    return false;
  for (size_t i = 0; i < a.children.size(); ++i)
    if (!SameAtoms(a.children[i], b.children[i])) return false;
  return true;
}

bool SameSettings(const conv::ExportSettings& a, const conv::ExportSettings& b) {
  return a.video == b.video && a.sound == b.sound && a.videoCodec == b.videoCodec &&
         a.codecComponent == b.codecComponent && a.depth == b.depth && a.spatialQuality == b.spatialQuality &&
         a.temporalQuality == b.temporalQuality && a.frameRate == b.frameRate && a.keyFrameRate == b.keyFrameRate &&
         a.dataRate == b.dataRate && a.frameDuration == b.frameDuration && a.soundFormat == b.soundFormat &&
         a.sampleRate == b.sampleRate && a.sampleSize == b.sampleSize && a.channels == b.channels &&
         a.fast == b.fast && a.saveToStream == b.saveToStream;
}

// The container written out and parsed again is the same, and writes the same bytes again.
void CheckRoundTrip(const conv::Atom& root) {
  const conv::Bytes written = conv::WriteAtomContainer(root);
  conv::Atom again;
  if (!conv::ParseAtomContainer(written, &again) || !SameAtoms(root, again)) __builtin_trap();
  if (conv::WriteAtomContainer(again) != written) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  conv::Atom root;
  if (conv::ParseAtomContainer(data, size, &root)) CheckRoundTrip(root);

  // A failed parse leaves the atoms read before the fault; the exporter works on those too.
  conv::ExportSettings settings;
  conv::ReadExportSettings(root, &settings);
  (void)conv::CanExport(settings);
  conv::WriteExportSettings(settings, &root);
  conv::ExportSettings back;
  back.video = !settings.video;  // nothing may come back by accident of the defaults
  back.fast = !settings.fast;
  if (!conv::ReadExportSettings(root, &back) || !SameSettings(settings, back)) __builtin_trap();
  CheckRoundTrip(root);
  return 0;
}
