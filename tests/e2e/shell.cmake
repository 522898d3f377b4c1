# The end-to-end tests of Pelorin.exe itself, included by this folder's
# CMakeLists.txt. They start the real program under Wine in a fresh current
# folder per test and drive it with real messages.
add_executable(shell_e2e_tests
  shell_e2e_main.cpp
  shell_support.cpp
  shell_test.cpp
  shell_startup_test.cpp
  shell_commands_test.cpp
  shell_settings_test.cpp
  shell_timer_interval_test.cpp
  shell_resources_test.cpp
  # The framework's dialog call, driven with a stand-in dialog function.
  ${PROJECT_SOURCE_DIR}/shell/framework/open_file_dialog.cpp
  ${PROJECT_SOURCE_DIR}/shell/framework/current_directory.cpp)
target_include_directories(shell_e2e_tests PRIVATE ${PROJECT_SOURCE_DIR}/shell/resources
  ${PROJECT_BINARY_DIR}/generated)
target_link_libraries(shell_e2e_tests PRIVATE e2e_test_base comdlg32 shell32 user32 gdi32 advapi32 version)
add_dependencies(shell_e2e_tests Pelorin Pelorin_guarded fixture_browser marker_program pelorin_probe)

# Answers questions about Pelorin's menu and timer inside its process; the tests
# load it from their own folder, where it is built.
add_library(pelorin_probe SHARED support/pelorin_probe.cpp)
set_target_properties(pelorin_probe PROPERTIES PREFIX "")
target_link_options(pelorin_probe PRIVATE -static -Wl,--kill-at)
target_link_libraries(pelorin_probe PRIVATE user32)

# Pelorin.exe read as a file on the host, never run (ctest -L file): so the
# i686 build is checked on machines that cannot execute 32-bit code too.
# 307200 bytes is the size goal of at most 300 KB.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(pelorin_machine i386)
else()
  set(pelorin_machine x86-64)
endif()
add_test(NAME pelorin_file
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/exe_file_check ${CMAKE_OBJDUMP} $<TARGET_FILE:Pelorin>
          ${pelorin_machine} 307200)
set_tests_properties(pelorin_file PROPERTIES LABELS file)

set(shell_e2e_args $<TARGET_FILE:Pelorin> $<TARGET_FILE:fixture_browser> $<TARGET_FILE:marker_program>)
add_test(NAME shell_e2e
  COMMAND ${PELORIN_WINE_RUN} $<TARGET_FILE:shell_e2e_tests> --gtest_filter=-*Slow* ${shell_e2e_args})
# The start and end of the program once more, in the build that faults on any
# use of a deleted object.
add_test(NAME shell_e2e_guarded
  COMMAND ${PELORIN_WINE_RUN} $<TARGET_FILE:shell_e2e_tests> --gtest_filter=ShellStartupTest.*:-*Slow*
          $<TARGET_FILE:Pelorin_guarded> $<TARGET_FILE:fixture_browser> $<TARGET_FILE:marker_program>)
# Waits for the real one-minute auto-save timer.
add_test(NAME shell_e2e_slow
  COMMAND ${PELORIN_WINE_RUN} $<TARGET_FILE:shell_e2e_tests> --gtest_filter=*Slow* ${shell_e2e_args})
set_tests_properties(shell_e2e_slow PROPERTIES LABELS slow TIMEOUT 600)
# The tray menu and the settings dialog as PNGs in the build folder's
# screenshots/ (ctest -L screenshots); docs/ holds copies of them.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/screenshots)
add_test(NAME shell_screenshots
  COMMAND ${PELORIN_WINE_RUN} $<TARGET_FILE:shell_e2e_tests>
          --gtest_filter=*RealMenuFromTheTrayCallback*:*ShowsTheLoadedValues* ${shell_e2e_args}
          ${CMAKE_BINARY_DIR}/screenshots)
set_tests_properties(shell_screenshots PROPERTIES LABELS screenshots)
