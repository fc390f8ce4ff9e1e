# The main window, its areas and start-up (Qt).
add_library(velmora_ui STATIC
  ${CMAKE_CURRENT_LIST_DIR}/caption_bar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dashboard_panel.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine_bridge.cpp
  ${CMAKE_CURRENT_LIST_DIR}/main_layout.cpp
  ${CMAKE_CURRENT_LIST_DIR}/main_window.cpp
  ${CMAKE_CURRENT_LIST_DIR}/map_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/splitter_button.cpp
  ${CMAKE_CURRENT_LIST_DIR}/video_view.cpp
  ${CMAKE_CURRENT_LIST_DIR}/viewer_app.cpp)
set_target_properties(velmora_ui PROPERTIES AUTOMOC ON)
target_link_libraries(velmora_ui PUBLIC velmora_core_logic velmora_tools velmora_skin velmora_oplog
  Qt6::Widgets Qt6::WebEngineWidgets)
target_compile_definitions(velmora_ui PRIVATE FLEET_VERSION="${PROJECT_VERSION}")
fleet_warnings(velmora_ui)

# The program folder: velmora-player beside utilities/ with both libraries and the map pages,
# as the binding expects.
set(VELMORA_PROGRAM_DIR ${CMAKE_BINARY_DIR}/velmora)
add_executable(velmora-player ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(velmora-player PRIVATE velmora_ui)
set_target_properties(velmora-player PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VELMORA_PROGRAM_DIR})
fleet_warnings(velmora-player)
add_dependencies(velmora-player kivra ombrel)
add_custom_command(TARGET velmora-player POST_BUILD
  COMMAND ${CMAKE_COMMAND} -E make_directory ${VELMORA_PROGRAM_DIR}/utilities/dep
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:kivra> ${VELMORA_PROGRAM_DIR}/utilities/libkivra.so
  COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:ombrel> ${VELMORA_PROGRAM_DIR}/utilities/libombrel.so
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/viewer/dep ${VELMORA_PROGRAM_DIR}/utilities/dep
  VERBATIM)
# Until the map pages exist, every page the viewer navigates to is the still start page.
foreach(page gis.html yandex_init.html yandex.html)
  add_custom_command(TARGET velmora-player POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/viewer/dep/init.html
            ${VELMORA_PROGRAM_DIR}/utilities/dep/${page}
    VERBATIM)
endforeach()
