# The Windows test programs: win32_tests (code page, files, automation; no display needed) and
# window_tests (the real window, its dialogs and morvane.exe; needs a display). scripts/wine_test.sh
# runs every test program under wine64, the core modules' programs included.
set(win32_test_folder ${CMAKE_CURRENT_SOURCE_DIR}/platform/win32)

morvane_add_test_program(win32_tests platform/win32/core morvane_win32)

# Its own entry: OLE on the test thread, as morvane.exe has it. The program's resources (manifest
# for common controls 6, DEFAULT_ICON) go in too, so the window is made as in morvane.exe.
file(GLOB window_test_sources CONFIGURE_DEPENDS ${win32_test_folder}/window/*.cpp)
add_executable(window_tests ${window_test_sources} ${PROJECT_SOURCE_DIR}/src/platform/win32/morvane.rc)
target_include_directories(window_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(window_tests PRIVATE morvane_win32 morvane_headless ${morvane_gtest})
target_compile_definitions(window_tests PRIVATE
  MORVANE_FIXTURES_DIR="${CMAKE_CURRENT_SOURCE_DIR}/fixtures"
  MORVANE_SOURCE_DIR="${PROJECT_SOURCE_DIR}"
  MORVANE_EXE_PATH="${CMAKE_BINARY_DIR}/morvane.exe")
add_dependencies(window_tests morvane)
target_link_options(window_tests PRIVATE -municode)

# Wine sees the Linux file system as drive Z:, so the paths compiled into the tests get that drive.
foreach(program services_tests app_tests load_tests copy_tests pickers_tests win32_tests window_tests)
  if(TARGET ${program})
    get_target_property(definitions ${program} COMPILE_DEFINITIONS)
    list(TRANSFORM definitions REPLACE "^(MORVANE_[A-Z_]+)=\"/" "\\1=\"Z:/")
    set_target_properties(${program} PROPERTIES COMPILE_DEFINITIONS "${definitions}")
  endif()
endforeach()
