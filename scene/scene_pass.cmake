# The scene pass: per-frame sampling of the current part and the scene program's uniforms.
add_library(qv_scene_pass STATIC ${CMAKE_CURRENT_LIST_DIR}/scene_uniforms.cpp)
target_include_directories(qv_scene_pass PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(qv_scene_pass PUBLIC qv_scene qv_shaders qv_gl)
