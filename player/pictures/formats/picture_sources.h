// The seven still-picture sources behind the rows of the built-in entry's image table.
#pragma once

namespace crv {

// Registers a factory for every row of the image table (BMP, JPEG, GIF, TIFF, PCX, PhotoCD,
// PNM); called once at start-up, before the first picture is loaded. Calling it again
// changes nothing.
void RegisterPictureSources();

}  // namespace crv
