# Helpers shared by every module of the suite.

# Adds a module's folder. A missing folder stops the configuration: a
# checkout without it would otherwise build a smaller suite without a word.
# Whether a part is built at all is decided by options such as GV_BUILD_GUI.
function(gv_add_subdirectory dir)
  if(NOT EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/CMakeLists.txt)
    message(FATAL_ERROR "The source folder ${CMAKE_CURRENT_SOURCE_DIR}/${dir} (or its CMakeLists.txt) is missing")
  endif()
  add_subdirectory(${dir})
endfunction()

# Registers a core (Qt-free) target; the check at the end of configuration
# fails when one of them reaches Qt through its link interface.
set_property(GLOBAL PROPERTY GV_CORE_TARGETS "")
function(gv_core_target target)
  set_property(GLOBAL APPEND PROPERTY GV_CORE_TARGETS ${target})
endfunction()

function(_gv_collect_links target out)
  set(seen ${${out}})
  if(NOT TARGET ${target} OR ${target} IN_LIST seen)
    set(${out} ${seen} PARENT_SCOPE)
    return()
  endif()
  list(APPEND seen ${target})
  get_target_property(type ${target} TYPE)
  set(props INTERFACE_LINK_LIBRARIES)
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    list(APPEND props LINK_LIBRARIES)
  endif()
  foreach(prop IN LISTS props)
    get_target_property(libs ${target} ${prop})
    if(libs)
      foreach(lib IN LISTS libs)
        string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" lib "${lib}")
        _gv_collect_links(${lib} seen)
      endforeach()
    endif()
  endforeach()
  set(${out} ${seen} PARENT_SCOPE)
endfunction()

function(gv_check_core_targets_are_qt_free)
  get_property(targets GLOBAL PROPERTY GV_CORE_TARGETS)
  foreach(t IN LISTS targets)
    set(all "")
    _gv_collect_links(${t} all)
    foreach(dep IN LISTS all)
      if(dep MATCHES "^Qt[0-9]*::")
        message(FATAL_ERROR "Core target ${t} must not depend on Qt (reaches ${dep})")
      endif()
    endforeach()
  endforeach()
endfunction()

# A GoogleTest executable registered with CTest. Every test runs with the
# offscreen Qt platform so widget tests need no display. QT gives the test a
# main() that creates a QApplication.
function(gv_add_gtest name)
  cmake_parse_arguments(T "QT" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  if(NOT GV_BUILD_TESTS)
    return()
  endif()
  add_executable(${name} ${T_SOURCES})
  if(T_QT)
    # main() creates the QApplication that widget tests need.
    target_link_libraries(${name} PRIVATE ${T_LIBS} gv_testmain_qt)
  else()
    target_link_libraries(${name} PRIVATE ${T_LIBS} gv_testmain)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES
      ENVIRONMENT "QT_QPA_PLATFORM=offscreen;HOTSYNC_MACHINE_ROOT=${PROJECT_BINARY_DIR}/no-machine-registry"
      TIMEOUT ${T_TIMEOUT}
      LABELS "${T_LABELS}")
endfunction()
