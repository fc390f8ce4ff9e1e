if(FLEET_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
# Races between the transport's io thread and its callers; it cannot share a build with the
# address sanitizer.
if(FLEET_SANITIZE_THREAD)
  if(FLEET_SANITIZE OR FLEET_FUZZ)
    message(FATAL_ERROR "FLEET_SANITIZE_THREAD cannot be combined with FLEET_SANITIZE or FLEET_FUZZ")
  endif()
  # GCC warns that it cannot follow the fences Asio places around handlers; the handlers'
  # hand-over between threads goes through the io_context's mutex, which it does follow.
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer $<$<CXX_COMPILER_ID:GNU>:-Wno-tsan>)
  add_link_options(-fsanitize=thread)
endif()
if(FLEET_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "FLEET_FUZZ needs clang (configure with CC=clang CXX=clang++)")
  endif()
  # A finding stops the run at the first report, so libFuzzer saves the input that caused it.
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()
