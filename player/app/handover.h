// What a starting process does with its command line before it knows whether another
// instance runs: the settings it writes and the message a running instance would get.
#pragma once
#include "player/base/file_kind.h"
#include "player/app/settings.h"

namespace crv {

constexpr unsigned kMsgOpenImageFile = 0x471;  // WM_OPENIMAGEFILE
constexpr unsigned kMsgOpenMediaFile = 0x532;  // WM_OPENMEDIAFILE
constexpr char16_t kFrameClassName[] = u"CORVANE_PICVIEW_CLASS";

struct HandOverPlan {
  bool writeFileName = false;  // FileName = the command line
  bool writeExtType = false;   // ExtType = kind
  FileKind kind = kKindNone;
  unsigned message = 0;        // posted to a running instance; 0 for none
};

// The whole command line is the path: no options.
HandOverPlan PlanHandOver(const u16& commandLine, bool pathExists);

// The first instance's side, once its frame exists: the kind the current path was handed over
// as, found by classifying the path (kKindNone when ExtType is kKindNone, the path is missing or
// of no known kind). ExtType is reset in the store and in `options` alike, so that saving the
// options later cannot put the consumed hand-over back.
FileKind ConsumeStartHandOver(SettingsStore& store, Options& options, bool pathExists);
// A running instance took a hand-over: ExtType goes back to kKindNone, stored and in `options`.
void EndHandOver(SettingsStore& store, Options& options);

// The path in a command line. The device's shell passes a path as it is; desktop shells
// (and Wine's) put quotes around one with spaces, which no file name can contain: one pair
// of enclosing quotes and the blanks around the path are dropped, nothing else.
u16 CommandLinePath(const u16& commandLine);

}  // namespace crv
