# Sanitizer flags for every target of the tree, set before any target is declared.
# UBSan stops at its first report so that a fault fails the run instead of scrolling past.
if(OBSLEDGER_SANITIZE OR OBSLEDGER_FUZZ)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
endif()

if(OBSLEDGER_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "OBSLEDGER_FUZZ needs clang++ (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # Coverage for the fuzzer's guidance in the libraries too, not only in the targets themselves.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
