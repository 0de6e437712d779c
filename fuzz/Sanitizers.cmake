# Sanitizer flags for every target of the tree, set before any target is declared.
# UBSan stops at its first report so that a fault fails the run instead of scrolling past; GCC
# checks float-to-integer conversions (a stored 1e300 made a day number) only when asked.
if(OBSLEDGER_SANITIZE OR OBSLEDGER_FUZZ)
  set(sanitizers -fsanitize=address,undefined,float-cast-overflow -fno-sanitize-recover=all)
  add_compile_options(${sanitizers} -fno-omit-frame-pointer)
  add_link_options(${sanitizers})
endif()

if(OBSLEDGER_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "OBSLEDGER_FUZZ needs clang++ (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  # Coverage for the fuzzer's guidance in the libraries too, not only in the targets themselves.
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
