# The real Pelorin.exe against a hostile file system and absurd settings,
# included by this folder's CMakeLists.txt. Same harness as the shell tests.
file(GLOB hardening_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/hardening_*.cpp)
add_executable(hardening_e2e_tests
  shell_e2e_main.cpp
  shell_support.cpp
  shell_test.cpp
  ${hardening_tests})
target_include_directories(hardening_e2e_tests PRIVATE ${PROJECT_SOURCE_DIR}/shell/resources)
target_link_libraries(hardening_e2e_tests PRIVATE e2e_test_base shell32 user32 gdi32 advapi32)
add_dependencies(hardening_e2e_tests Pelorin fixture_browser marker_program)
add_test(NAME hardening_e2e
  COMMAND ${PELORIN_WINE_RUN} $<TARGET_FILE:hardening_e2e_tests>
          $<TARGET_FILE:Pelorin> $<TARGET_FILE:fixture_browser> $<TARGET_FILE:marker_program>)

# Saves interrupted by killing the program at random moments; a measurement
# run by scripts/killed-saves, not a ctest test (a thousand runs take minutes).
add_executable(killed_saves kill/killed_saves.cpp)
target_link_libraries(killed_saves PRIVATE e2e_support user32)
add_dependencies(killed_saves Pelorin fixture_browser)
