# nlohmann-json (header only) for a target. The cross compiler must not see the build machine's
# whole /usr/include: it is offered only the JSON library, through a folder that holds nothing
# but a link to it.
function(tvx_link_json target)
  if(WIN32)
    set(dir ${CMAKE_BINARY_DIR}/json-include)
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK /usr/include/nlohmann ${dir}/nlohmann SYMBOLIC)
    target_include_directories(${target} SYSTEM PRIVATE ${dir})
  else()
    find_package(nlohmann_json 3.10 REQUIRED)
    target_link_libraries(${target} PRIVATE nlohmann_json::nlohmann_json)
  endif()
endfunction()
