# Type libraries compiled by widl (Windows builds only); their IDispatch comes from Wine's stdole2.tlb.
#   tvx_type_library(OUTPUT_TLB IDL COMMENT)  makes OUTPUT_TLB from IDL (a path relative to the
#   calling folder); a resource script that embeds it depends on it through OBJECT_DEPENDS.
function(tvx_type_library tlb idl comment)
  find_program(TVX_WIDL x86_64-w64-mingw32-widl REQUIRED)
  find_path(TVX_WIDL_IDL_DIR oaidl.idl PATHS /usr/include/wine/wine/windows /usr/include/wine/windows REQUIRED NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  find_path(TVX_STDOLE2_DIR stdole2.tlb
    PATHS /usr/lib/x86_64-linux-gnu/wine/x86_64-windows /usr/lib/wine/x86_64-windows /usr/lib64/wine/x86_64-windows
    REQUIRED NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  add_custom_command(OUTPUT ${tlb}
    COMMAND ${TVX_WIDL} --win64 -I ${TVX_WIDL_IDL_DIR} -L ${TVX_STDOLE2_DIR} -t -T ${tlb}
            ${CMAKE_CURRENT_SOURCE_DIR}/${idl}
    DEPENDS ${idl}
    COMMENT "${comment}")
endfunction()
