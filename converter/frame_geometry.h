// The frame size a converted movie gets. H.263 takes only its five standard sizes, so the
// picture is fitted into the largest one that is not bigger than the source (at least
// sub-QCIF), keeping its shape, with black bars; Sorenson Video keeps the source's size.
// Pixel shapes other than square are turned into square pixels first.
#pragma once

namespace conv {

struct FrameGeometry {
  int width = 0, height = 0;             // coded frame
  int pictureX = 0, pictureY = 0;        // where the scaled picture lies in it
  int pictureWidth = 0, pictureHeight = 0;
};

// `aspectNum / aspectDen` is the source's pixel shape (0 or 0/0: square).
FrameGeometry H263Geometry(int sourceWidth, int sourceHeight, int aspectNum, int aspectDen);
FrameGeometry SorensonGeometry(int sourceWidth, int sourceHeight, int aspectNum, int aspectDen);

}  // namespace conv
