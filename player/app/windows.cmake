# The shell's Windows side: the window framework, the registry, the frame and the entry.
crv_add_library(crv_app_win
  api_wnd.cpp
  api_frame_wnd.cpp
  api_multipage_dialog.cpp
  api_registry.cpp
  api_helpers.cpp
  worker_thread.cpp
  main_app.cpp
  frame_wnd.cpp)
target_link_libraries(crv_app_win PUBLIC crv_app_core crv_shell comctl32 ole32 user32 gdi32 advapi32)

add_executable(CRV WIN32 player_main.cpp $<TARGET_OBJECTS:crv_resources>)
target_link_libraries(CRV PRIVATE crv_app_win)
target_link_options(CRV PRIVATE -municode)
