# The core's resource bundle (the string catalogue) as the build tree needs
# it: LocaleResolver looks for "Vellamor_VellamorCore.bundle" beside the
# running executable, so each executable that looks texts up gets a copy
# there. Installed copies go to share/vellamor/ (see Sources/VellamorCore/I18n).
set(VELLAMOR_CORE_CATALOGUE "${CMAKE_CURRENT_LIST_DIR}/../Resources/Localizable.xcstrings")

# vellamor_stage_core_resources(<executable target>)
function(vellamor_stage_core_resources target)
  get_target_property(directory ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(NOT directory)
    get_target_property(directory ${target} BINARY_DIR)
  endif()
  set(bundle "${directory}/Vellamor_VellamorCore.bundle")
  add_custom_command(OUTPUT "${bundle}/Localizable.xcstrings"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${bundle}"
    COMMAND ${CMAKE_COMMAND} -E copy_if_different "${VELLAMOR_CORE_CATALOGUE}" "${bundle}/Localizable.xcstrings"
    DEPENDS "${VELLAMOR_CORE_CATALOGUE}"
    COMMENT "Staging the string catalogue beside ${target}"
    VERBATIM)
  add_custom_target(${target}_core_resources DEPENDS "${bundle}/Localizable.xcstrings")
  add_dependencies(${target} ${target}_core_resources)
endfunction()
