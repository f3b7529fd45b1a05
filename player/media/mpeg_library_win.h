// The Windows delivery of the MPEG library: "codecs.dat" read from the program's folder, the
// unscrambled library written to a hidden system file in the temporary folder and loaded from
// there. The player uses it with the device's "\Temp\" (SystemMpegLibraryLoader); a test
// names folders of its own.
#pragma once
#include <string>

#include "player/media/mpeg_library.h"

namespace crv {

class WinMpegLibraryLoader final : public MpegLibraryLoader {
 public:
  // `tempFolder` ends with a backslash; an empty `libraryFile` means "codecs.dat" beside the
  // program.
  explicit WinMpegLibraryLoader(std::u16string tempFolder = u"\\Temp\\", std::u16string libraryFile = {});

  std::u16string CreateTempName() override;
  bool ReadLibraryFile(std::vector<uint8_t>* bytes) override;
  bool WriteTempFile(const std::u16string& path, const uint8_t* bytes, size_t count) override;
  void* OpenModule(const std::u16string& path) override;
  void* FindEntry(void* module, const char* name) override;
  void CloseModule(void* module) override;
  void RemoveTempFile(const std::u16string& path) override;

 private:
  std::u16string tempFolder_;
  std::u16string libraryFile_;
};

}  // namespace crv
