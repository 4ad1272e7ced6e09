# Dither palettes and the dither-image builder.
add_library(qv_dither STATIC ${CMAKE_CURRENT_LIST_DIR}/dither_image.cpp)
target_include_directories(qv_dither PUBLIC ${PROJECT_SOURCE_DIR})
