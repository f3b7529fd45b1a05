// The EXIF orientation of a JPEG file: how the camera was held, so that a picture taken
// turned is shown upright. Only the first markers of the file are read (up to the start of
// the scan), and every offset and count inside the EXIF block is checked against the block.
#pragma once
#include <cstdint>
#include "player/base/byte_source.h"

namespace crv {

// The orientation tag (0x0112) of the first EXIF block of a JPEG: 1 to 8 as EXIF numbers
// them, or 0 when the file is no JPEG, has no EXIF block or no valid tag in its first IFD.
int32_t ExifOrientation(ByteSource& file);

// The turn (0, 90, 180 or 270, clockwise as the screen renderer turns) that shows a picture
// of that orientation upright. The mirrored orientations keep their mirror and get the turn
// that brings their top edge up: 2 (mirrored left to right) 0, 4 (upside down mirrored) 180,
// 5 (transposed) 90, 7 (transversed) 270. Unknown values 0.
int32_t RotationForExifOrientation(int32_t orientation);

// RotationForExifOrientation(ExifOrientation(file)).
int32_t ExifRotationDegrees(ByteSource& file);

}  // namespace crv
