# Install helpers. Programs, libraries and the conduit go into the private
# folder GV_INSTALL_PRIVATEDIR, where they find each other through the
# RUNPATH $ORIGIN; a program that people start also gets a relative link in
# the bin folder, so that it still finds the files beside its real location.

if(IS_ABSOLUTE "${GV_INSTALL_PRIVATEDIR}" OR IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
  message(FATAL_ERROR "GV_INSTALL_PRIVATEDIR and CMAKE_INSTALL_BINDIR must be relative to the install prefix")
endif()

# Programs and libraries of the private folder. Shared libraries install
# their versioned files only: nothing outside the suite links them.
function(gv_install_private)
  install(TARGETS ${ARGN}
    RUNTIME DESTINATION ${GV_INSTALL_PRIVATEDIR}
    LIBRARY DESTINATION ${GV_INSTALL_PRIVATEDIR} NAMELINK_SKIP)
endfunction()

# The shared libraries (not plug-ins) defined in a folder and below it.
function(gv_shared_libraries out dir)
  set(found "")
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "SHARED_LIBRARY")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    gv_shared_libraries(below ${subdir})
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# A program in the private folder with a link to it in the bin folder.
function(gv_install_program target)
  gv_install_private(${target})
  file(RELATIVE_PATH to_private "/${CMAKE_INSTALL_BINDIR}" "/${GV_INSTALL_PRIVATEDIR}")
  set(name "$<TARGET_FILE_NAME:${target}>")
  install(CODE "
    set(gv_link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/${name}\")
    message(STATUS \"Installing: \${gv_link}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}\")
    file(CREATE_LINK \"${to_private}/${name}\" \"\${gv_link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${gv_link}\")
  ")
endfunction()

# Compresses a file for installation the way Debian wants it: gzip -9 with
# no name or time stamp inside, so that builds of the same source agree.
find_program(GV_GZIP gzip REQUIRED)
function(gv_gzip source output)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${GV_GZIP} -9 -n -c ${source} > ${output}
    DEPENDS ${source}
    VERBATIM)
endfunction()
