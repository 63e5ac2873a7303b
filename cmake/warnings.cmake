# Warnings and sanitizers shared by every target of the project.
add_library(tvx_options INTERFACE)
target_compile_options(tvx_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
  -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(TVX_WERROR)
  target_compile_options(tvx_options INTERFACE -Werror)
endif()
if(WIN32)
  target_compile_definitions(tvx_options INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()
if(TVX_SANITIZE AND NOT WIN32)
  target_compile_options(tvx_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(tvx_options INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=all)
endif()
# Fuzz builds instrument every library, not only the fuzz targets, so coverage guides libFuzzer.
if(TVX_FUZZ)
  target_compile_options(tvx_options INTERFACE -fsanitize=fuzzer-no-link)
endif()
