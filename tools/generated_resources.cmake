# The generated resources: `qvtool gen` writes the scene and the title image into resources/,
# where the production loads them. Include this after qvtool has been defined.
set(QV_GENERATED_RESOURCES
    ${PROJECT_SOURCE_DIR}/resources/scene.vxs
    "${PROJECT_SOURCE_DIR}/resources/Orrin&Vassel.png")

add_custom_command(
  OUTPUT ${QV_GENERATED_RESOURCES}
  COMMAND $<TARGET_FILE:qvtool> gen ${PROJECT_SOURCE_DIR}/resources
  DEPENDS qvtool
  COMMENT "Generating the scene and the title image in resources/"
  VERBATIM)

add_custom_target(generated_resources ALL DEPENDS ${QV_GENERATED_RESOURCES})
