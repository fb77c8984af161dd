# Warnings and sanitizers for the project's own targets.
add_library(lum_options INTERFACE)
target_compile_options(lum_options INTERFACE -Wall -Wextra -Wno-unused-parameter)
if(LUM_SANITIZE)
  target_compile_options(lum_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer
                                               -fno-sanitize-recover=undefined)
  target_link_options(lum_options INTERFACE -fsanitize=address,undefined)
endif()
if(LUM_FUZZ)
  # Coverage for everything the fuzz targets reach, not just the targets themselves.
  target_compile_options(lum_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                               -fno-omit-frame-pointer)
  target_link_options(lum_options INTERFACE -fsanitize=address,undefined)
endif()

# Adds the sources of a folder (globbed, so parallel work on a folder needs no list edits).
function(lum_glob out dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp ${dir}/*.c)
  set(${out} ${_srcs} PARENT_SCOPE)
endfunction()
