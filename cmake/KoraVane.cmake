# Shared build settings for the uninstaller, its tests and its benchmark.

option(KORAVANE_SANITIZE "Build native code with ASan and UBSan" ON)

# The distribution's interpreter (tools/install-deps installs it) runs every script of the build
# and the tests: never a path cached from the shell that configured the tree, where a version
# manager's shim may have come first on PATH and be gone by the time the tests run.
set(KORAVANE_PYTHON /usr/bin/python3)
if(NOT EXISTS ${KORAVANE_PYTHON})
  message(FATAL_ERROR "${KORAVANE_PYTHON} is missing: run tools/install-deps")
endif()

if(WIN32)
  # No debug information: Wine runs the tests without a debugger and Uninstall.exe is stripped, so
  # nothing reads it, and it costs a third of the build's compile time. The code is the same.
  foreach(lang C CXX)
    string(REGEX REPLACE "(^| )-g( |$)" " " CMAKE_${lang}_FLAGS_RELWITHDEBINFO
           "${CMAKE_${lang}_FLAGS_RELWITHDEBINFO}")
  endforeach()
  # Every executable is static: no libstdc++, libgcc or winpthread DLLs.
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Reproducible: no link time in the PE header, no absolute build paths in the objects, so two
  # builds of one commit from any two folders give the same bytes.
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_SOURCE_DIR}/=>"
                      "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}/=>")
else()
  # The library's own checks: reading an empty optional or past a container's end stops the
  # test there, where a sanitizer would see only the bytes behind it.
  add_compile_definitions(_GLIBCXX_ASSERTIONS)
  if(KORAVANE_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    add_link_options(-fsanitize=address,undefined)
  endif()
endif()

# Code that ships in Uninstall.exe is built for size, each function and object in a section of its
# own so that the link can drop what nothing uses. It neither throws nor catches (failures are
# values), so it carries no exception clean-up code: an exception from the library ends the
# process either way. Nothing unwinds through it either (a broken invariant fails fast, without
# unwinding), so it carries no unwind tables, which also lets the link drop functions nothing
# calls. Nor does it ask objects for their types at run time, so it carries no type information
# either. Tests and the benchmark link the same objects.
function(koravane_for_size target)
  if(WIN32)
    target_compile_options(${target} PRIVATE -Os -ffunction-sections -fdata-sections -fno-exceptions
                           -fno-asynchronous-unwind-tables -fno-unwind-tables -fno-rtti)
  endif()
endfunction()

function(koravane_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wno-missing-field-initializers)
endfunction()

# A GoogleTest executable built from the given sources; runs natively or, cross-compiled, under Wine.
function(koravane_add_test name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE koravane_test_main)
  if(WIN32)
    target_link_libraries(${name} PRIVATE koravane_win)
  endif()
  koravane_warnings(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(WIN32)
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_prefix)
  endif()
endfunction()

if(WIN32)
  # Windows tests run through Wine in a private prefix owned by this build tree (never ~/.wine).
  set(KORAVANE_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix CACHE PATH "Private Wine prefix for tests")
  set(KORAVANE_WINE_EXEC ${CMAKE_SOURCE_DIR}/tools/wine-exec)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KORAVANE_WINE_EXEC};${KORAVANE_WINEPREFIX})
endif()

# A Windows program whose entry point is wmain or wWinMain.
function(koravane_unicode_entry target)
  target_link_options(${target} PRIVATE -municode)
endfunction()

# Places the recording stand-in next to a test program under the given file names (such as
# cmd.exe), where the program search finds it before the system's.
function(koravane_recorder_beside target)
  add_dependencies(${target} child_recorder)
  foreach(name ${ARGN})
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:child_recorder> $<TARGET_FILE_DIR:${target}>/${name})
  endforeach()
endfunction()
