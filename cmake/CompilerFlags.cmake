# Warnings and sanitizers, declared once for every target of the project.
add_library(kelvarin_flags INTERFACE)
target_compile_options(kelvarin_flags INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                                -Wno-sign-conversion)
if(KELVARIN_SANITIZE)
  set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  target_compile_options(kelvarin_flags INTERFACE ${sanitizers})
  target_link_options(kelvarin_flags INTERFACE ${sanitizers})
endif()
