#include "player/app/memory_settings_store.h"
#include "player/app/tests/test_store.h"

std::unique_ptr<crv::SettingsStore> NewTestStore() { return std::make_unique<crv::MemorySettingsStore>(); }
