# The shell's Windows side: the registry, the frame and the entry (the window framework
# below them is crv_base_win).
crv_add_library(crv_app_win
  api_frame_wnd.cpp
  api_registry.cpp
  main_app.cpp
  frame_wnd.cpp
  frame_commands.cpp
  frame_files.cpp
  frame_device.cpp
  frame_open_url.cpp
  select_folder_dlg.cpp)
target_link_libraries(crv_app_win PUBLIC crv_app_core crv_base_win crv_shell crv_power crv_pictures_views crv_playback_views
                      crv_share_win
                      comctl32 comdlg32 ole32 shell32 user32 gdi32 advapi32)

add_executable(CRV WIN32 player_main.cpp $<TARGET_OBJECTS:crv_resources>)
target_link_libraries(CRV PRIVATE crv_app_win crv_pictures_readers crv_media_avi crv_media_qt_source crv_media_http_source
                      crv_media_mpeg)
target_link_options(CRV PRIVATE -municode)

# Tests on the real platform. The settings rules once more, on the registry this time.
crv_add_test(crv_app_registry_tests
  SOURCES tests/test_store_registry.cpp tests/settings_test.cpp
  LIBS crv_app_win)
# The keep-awake on the power stand-in and the folder chooser's paths.
crv_add_test(crv_app_frame_parts_tests
  SOURCES tests/frame_parts_win_test.cpp
  LIBS crv_app_win
  RESOURCE_LOCK device)
crv_add_test(crv_app_win_tests
  SOURCES tests/framework_test.cpp tests/framework_test.rc
  LIBS crv_app_win)
# Starts the real player: serialised, since both processes share the device's registry.
crv_add_test(crv_handover_tests
  SOURCES tests/handover_test.cpp
  LIBS advapi32 user32
  RESOURCE_LOCK device)
add_dependencies(crv_handover_tests CRV)
