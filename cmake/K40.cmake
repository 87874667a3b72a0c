# k40_add_test(<source> [SOURCES <more files...>] [LIBS <targets...>])
# One QtTest executable registered with CTest, run offscreen with a private runtime dir.
# It is named <folder>_<name> from tests/<folder>/tst_<name>.cpp, so the file says what the
# test is called. Its CTest label is the folder, and the target k40_tests_<folder> builds
# every test of that folder. Every test links the shared test doubles.
function(k40_add_test source)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
  file(RELATIVE_PATH group ${PROJECT_SOURCE_DIR}/tests ${CMAKE_CURRENT_SOURCE_DIR})
  get_filename_component(stem ${source} NAME_WE)
  string(REGEX REPLACE "^tst_" "" stem ${stem})
  set(name ${group}_${stem})
  if(NOT TARGET k40_tests_${group})
    add_custom_target(k40_tests_${group})
  endif()
  add_dependencies(k40_tests_${group} ${name})
  add_executable(${name} ${source} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test k40_test_support ${T_LIBS})
  target_compile_definitions(${name} PRIVATE
    K40_SOURCE_DIR="${PROJECT_SOURCE_DIR}" K40_BINARY_DIR="${PROJECT_BINARY_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${PROJECT_BINARY_DIR}/xdg-runtime"
    TIMEOUT 600 LABELS ${group})
endfunction()

# k40_add_locale_run(<test>...): runs each test again under a Russian locale (decimal comma),
# where the C library's number formatting differs from the "." the program must write.
function(k40_add_locale_run)
  foreach(name IN LISTS ARGN)
    get_test_property(${name} RUN_SERIAL serial)
    add_test(NAME ${name}@ru_RU COMMAND ${name})
    set_tests_properties(${name}@ru_RU PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;XDG_RUNTIME_DIR=${PROJECT_BINARY_DIR}/xdg-runtime;LANG=ru_RU.UTF-8;LC_ALL=ru_RU.UTF-8"
      TIMEOUT 600)
    if(serial)
      set_tests_properties(${name}@ru_RU PROPERTIES RUN_SERIAL TRUE)
    endif()
  endforeach()
endfunction()

file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/xdg-runtime)
file(CHMOD ${PROJECT_BINARY_DIR}/xdg-runtime DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

# Adds every folder below the current one that has a CMakeLists.txt (one group each), so a
# new group of tests, benchmarks or tools needs no edit here.
function(k40_add_groups)
  file(GLOB groups LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
    ${CMAKE_CURRENT_SOURCE_DIR}/*)
  list(SORT groups)
  foreach(g IN LISTS groups)
    if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${g}/CMakeLists.txt)
      add_subdirectory(${g})
    endif()
  endforeach()
endfunction()
