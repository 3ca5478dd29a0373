# Warnings and sanitizers, declared once for every target of the project.
add_library(kelvarin_flags INTERFACE)
target_compile_options(kelvarin_flags INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                                -Wno-sign-conversion)
if(KELVARIN_SANITIZE)
  set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_compile_options(kelvarin_flags INTERFACE ${sanitizers})
  target_link_options(kelvarin_flags INTERFACE ${sanitizers})
endif()

# Fuzzing: every object gets coverage feedback for libFuzzer and both sanitizers; the fuzz targets link
# libFuzzer's main themselves.
if(KELVARIN_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KELVARIN_FUZZ needs clang: -DCMAKE_CXX_COMPILER=clang++")
  endif()
  if(KELVARIN_GUI OR KELVARIN_TESTS)
    message(FATAL_ERROR "KELVARIN_FUZZ builds the headless core only: -DKELVARIN_GUI=OFF -DKELVARIN_TESTS=OFF")
  endif()
  target_compile_options(kelvarin_flags INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                                                  -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_link_options(kelvarin_flags INTERFACE -fsanitize=address,undefined)
endif()
