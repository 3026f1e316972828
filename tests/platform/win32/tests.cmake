# The Windows test programs. Every test program runs under wine64 through scripts/wine_test.sh;
# Wine sees the Linux file system as drive Z:, so fixture paths get that drive.
foreach(program services_tests app_tests load_tests copy_tests pickers_tests)
  if(TARGET ${program})
    get_target_property(definitions ${program} COMPILE_DEFINITIONS)
    list(TRANSFORM definitions REPLACE "^(MORVANE_[A-Z_]+_DIR)=\"/" "\\1=\"Z:/")
    set_target_properties(${program} PROPERTIES COMPILE_DEFINITIONS "${definitions}")
  endif()
endforeach()
