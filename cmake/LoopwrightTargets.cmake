# lw_library(NAME DIR [DEPS ...]): a static library of every .cpp in DIR (not
# recursive). A folder without sources yet becomes an INTERFACE target so the
# dependency graph is declared before the code arrives.
function(lw_library name dir)
  file(GLOB _srcs CONFIGURE_DEPENDS ${dir}/*.cpp)
  if(_srcs)
    add_library(${name} STATIC ${_srcs})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR})
    if(ARGN)
      target_link_libraries(${name} PUBLIC ${ARGN})
    endif()
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${CMAKE_SOURCE_DIR})
    if(ARGN)
      target_link_libraries(${name} INTERFACE ${ARGN})
    endif()
  endif()
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/TestLanguage.cmake)

# lw_tests(DIR [DEPS ...]): one GoogleTest executable per *_tests.cpp in DIR,
# each linked to DEPS, registered with CTest. Test data paths come in through
# LW_SOURCE_DIR and LW_BINARY_DIR.
function(lw_tests dir)
  file(GLOB _tests CONFIGURE_DEPENDS ${dir}/*_tests.cpp)
  file(GLOB _support CONFIGURE_DEPENDS ${dir}/support/*.cpp)
  foreach(_t ${_tests})
    get_filename_component(_n ${_t} NAME_WE)
    get_filename_component(_d ${dir} NAME)
    set(_exe ${_d}_${_n})
    add_executable(${_exe} ${_t} ${_support})
    target_link_libraries(${_exe} PRIVATE ${ARGN} GTest::gtest GTest::gtest_main GTest::gmock)
    target_include_directories(${_exe} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/tests)
    target_compile_definitions(${_exe} PRIVATE
      LW_SOURCE_DIR="${CMAKE_SOURCE_DIR}" LW_BINARY_DIR="${CMAKE_BINARY_DIR}")
    set_target_properties(${_exe} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    lw_test_language(${_exe} _lang)
    gtest_discover_tests(${_exe} DISCOVERY_MODE PRE_TEST
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR} PROPERTIES TIMEOUT 300
      ENVIRONMENT "LANGUAGE=${_lang}" ENVIRONMENT_MODIFICATION "LC_ALL=set:C.UTF-8")
  endforeach()
endfunction()
