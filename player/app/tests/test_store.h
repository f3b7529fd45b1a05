// The settings store the settings tests run against: in memory natively, the real
// registry (a throw-away key) in the Windows build.
#pragma once
#include <memory>
#include "player/app/settings_store.h"

std::unique_ptr<crv::SettingsStore> NewTestStore();
