# Engine binding, source state and playback logic of the viewer: plain C++, driven by the tests
# with a fake engine and rendered by the Qt main window.
find_package(Threads REQUIRED)
add_library(velmora_core_logic STATIC
  ${CMAKE_CURRENT_LIST_DIR}/engine_api.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_time_index.cpp
  ${CMAKE_CURRENT_LIST_DIR}/event_types.cpp
  ${CMAKE_CURRENT_LIST_DIR}/library_binding.cpp
  ${CMAKE_CURRENT_LIST_DIR}/player_session.cpp
  ${CMAKE_CURRENT_LIST_DIR}/player_session_controls.cpp
  ${CMAKE_CURRENT_LIST_DIR}/player_session_events.cpp
  ${CMAKE_CURRENT_LIST_DIR}/progress_poller.cpp
  ${CMAKE_CURRENT_LIST_DIR}/raw_disk_access.cpp
  ${CMAKE_CURRENT_LIST_DIR}/seek_math.cpp)
target_include_directories(velmora_core_logic PUBLIC
  ${CMAKE_CURRENT_LIST_DIR}/..
  ${PROJECT_SOURCE_DIR}/engine/include
  ${PROJECT_SOURCE_DIR}/extract/include)
target_link_libraries(velmora_core_logic PUBLIC velmora_core_config velmora_lang
                      ${CMAKE_DL_LIBS} Threads::Threads)
fleet_warnings(velmora_core_logic)
