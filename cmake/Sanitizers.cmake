if(QM_FUZZ)
  # Every library is instrumented for coverage; only the harnesses link the
  # fuzzer's main.
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang" OR NOT QM_SANITIZE STREQUAL "")
    message(FATAL_ERROR "QM_FUZZ needs CMAKE_CXX_COMPILER=clang++ and no QM_SANITIZE")
  endif()
  add_compile_options(-fsanitize=address,undefined,fuzzer-no-link -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(QM_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(QM_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(NOT QM_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QM_SANITIZE must be empty, thread or address")
endif()
