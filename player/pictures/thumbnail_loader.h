// ThumbnailLoader: makes the album's thumbnails one item at a time, on whichever thread calls
// it: the album view's loader thread, or the window thread itself when loading in the
// background is off. The album's lock is held only to pick an item and copy out what its load
// needs, to release cached pictures, and to write the result back into the item, found again
// by its address; the picture is read and fitted without the lock.
//
// For one item: the picture is loaded into a holder of the loader's own (reduced when large,
// if asked); a memory failure is tried again up to three times after releasing cached
// pictures of other items; it is reduced for the display when the display optimisation is
// on; an item without a view state gets one from the settings; the thumbnail is fitted into
// the box (once more after releasing memory when that fails). A picture that cannot be
// loaded leaves its item marked failed with the result, which the view shows instead.
#pragma once
#include <cstdint>
#include <functional>
#include <vector>
#include "player/base/text16.h"
#include "player/pictures/image_holder.h"
#include "player/pictures/picture_album.h"
#include "player/pictures/picture_view_state.h"

namespace crv {

// A failed load with result 1 (memory) is tried this many more times.
constexpr int kThumbnailMemoryRetries = 3;
// What releasing memory asks for when a load fails for memory and the picture's size is not
// known yet.
constexpr uint64_t kUnknownPictureBytes = 3u << 20;

struct ThumbnailSettings {
  bool loadReduced = false;          // "Load large images in reduced size": load flags 2
  bool notCacheImage = false;        // NotCacheImage: releasing memory takes every candidate
  bool displayOptimisation = false;  // iPaqOptimization: 4 bits per channel before fitting
  ViewOpening opening;               // the view state of an item that has none yet
  FitSize box{72, 50};               // what a thumbnail is fitted into

  bool operator==(const ThumbnailSettings& o) const {
    return loadReduced == o.loadReduced && notCacheImage == o.notCacheImage &&
           displayOptimisation == o.displayOptimisation && opening.zoomToFit == o.opening.zoomToFit &&
           opening.landscapeMode == o.opening.landscapeMode && box.width == o.box.width && box.height == o.box.height;
  }
  bool operator!=(const ThumbnailSettings& o) const { return !(*this == o); }
};

enum class ThumbnailOutcome {
  kMade,      // the item has its thumbnail
  kFailed,    // the item is marked failed with the load's result
  kItemGone,  // the item left the album during the load; the thumbnail was dropped
  kAborted,   // asked to stop, or the readers' abort flag ended the load (result 15)
  kNoneLeft,  // no item needs a thumbnail
};

struct ThumbnailResult {
  ThumbnailOutcome outcome;
  int32_t index;  // where the result was written (kMade, kFailed); else -1
};

class ThumbnailLoader {
 public:
  // Asked before every load attempt; true ends the work with kAborted.
  using StopTest = std::function<bool()>;
  // The name the platform's file calls take for an item's full path.
  using PathMapper = std::function<u16(const u16&)>;

  explicit ThumbnailLoader(PictureAlbum& album, ReaderRegistry& registry = ProcessReaderRegistry());

  // Only while no load runs.
  void SetSettings(const ThumbnailSettings& settings) { settings_ = settings; }
  const ThumbnailSettings& Settings() const { return settings_; }

  // Where the next search for an item that needs a thumbnail begins; the search goes round
  // to item 0. Any thread.
  void StartFrom(int32_t index);
  // The thumbnail of the next item that needs one.
  ThumbnailResult LoadNext(const StopTest& stop = StopTest());
  // The thumbnail of item `index`, when it needs one (else kNoneLeft).
  ThumbnailResult LoadItem(int32_t index, const StopTest& stop = StopTest());

  // An item needs a thumbnail when it has none and its load has not failed.
  static bool NeedsThumbnail(const AlbumItem& item);

  // The native tests' file calls take "/" where the device has "\".
  void SetPathMapper(PathMapper mapper) { pathMapper_ = std::move(mapper); }

 private:
  // What a load needs of its item, copied out under the lock.
  struct Job {
    const AlbumItem* item = nullptr;  // only to find the item again
    u16 path;
    uint32_t width = 0;  // of the picture when it was last loaded; 0 when not known
    uint32_t height = 0;
  };

  bool TakeJob(int32_t index, bool searchOn, Job& job);
  ThumbnailResult Run(const Job& job, const StopTest& stop);
  int32_t LoadPicture(const Job& job, ImageHolder& holder, const StopTest& stop);
  AlbumThumbnail FitThumbnail(const Job& job, const ImageHolder& holder);
  ThumbnailResult WriteBack(const Job& job, const ImageHolder& holder, AlbumThumbnail thumbnail);
  ThumbnailResult WriteFailure(const Job& job, int32_t result);
  // The item's place in the album now, or -1. Under the lock.
  int32_t FindItem(const AlbumItem* item) const;

  PictureAlbum& album_;
  ReaderRegistry& registry_;
  ThumbnailSettings settings_;
  int32_t next_ = 0;  // under the album's lock
  PathMapper pathMapper_;
};

}  // namespace crv

namespace crv {

// A 24-bit thumbnail's pixels (bottom-up rows padded to 4 bytes, as the album keeps them)
// turned by `rotation` degrees the way the screen renderer turns pictures (a positive quarter
// turn is clockwise), so that a cell shows the picture as the picture view does. The turned
// picture's width and height come back in `width` and `height`; an unturned or not 24-bit
// picture gives an empty result.
std::vector<uint8_t> TurnedThumbnailPixels(const uint8_t* pixels, int32_t& width, int32_t& height, int32_t rotation);

}  // namespace crv
