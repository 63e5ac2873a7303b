# The program folder: the install rules (the package, the zip, scripts/run.sh and the end-to-end
# tests all fill their folders from them) and tvx-program, which builds exactly the targets those
# rules install. One list, so a target installed is always a target built before `cmake --install`.
function(tvx_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION .)
  set_property(GLOBAL APPEND PROPERTY TVX_PROGRAM_TARGETS ${target})
endfunction()

# Called once every installing folder is added.
function(tvx_add_program_target)
  get_property(targets GLOBAL PROPERTY TVX_PROGRAM_TARGETS)
  if(targets)
    add_custom_target(tvx-program DEPENDS ${targets})
  endif()
endfunction()
