# Common settings for every target of the project.

function(velmira_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(VELMIRA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(VELMIRA_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
  target_compile_definitions(${target} PRIVATE QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
                                               QT_NO_FOREACH)
endfunction()

# velmira_library(NAME SOURCES ... LIBS ...): a static library of one subsystem. Its libraries are
# linked PRIVATE: a target that uses Qt Widgets (or any other module) names it in its own LIBS rather
# than getting it through another library.
function(velmira_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  velmira_defaults(${name})
endfunction()

# The class headers of Qt Widgets (QWidget, QDialog, ...), for the probe below.
function(_velmira_widget_headers out)
  get_target_property(dirs Qt6::Widgets INTERFACE_INCLUDE_DIRECTORIES)
  set(names QtWidgets)
  foreach(dir IN LISTS dirs)
    if(dir MATCHES "/QtWidgets$" AND IS_DIRECTORY "${dir}")
      file(GLOB headers RELATIVE "${dir}" "${dir}/Q*")
      list(APPEND names ${headers})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES names)
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# Whether `target` links Qt6::Widgets, directly or through the project's libraries.
function(_velmira_links_widgets target out)
  set(${out} FALSE PARENT_SCOPE)
  get_target_property(libs ${target} LINK_LIBRARIES)
  if(NOT libs)
    return()
  endif()
  foreach(lib IN LISTS libs)
    if(lib STREQUAL "Qt6::Widgets")
      set(${out} TRUE PARENT_SCOPE)
      return()
    endif()
    if(lib MATCHES "^velmira_" AND TARGET ${lib})
      _velmira_links_widgets(${lib} found)
      if(found)
        set(${out} TRUE PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
endfunction()

# velmira_widget_free(TARGET ...): libraries that must build without Qt Widgets, so that a program
# without a display (the command-line companion) can use them. Configuring fails when one of them links
# Widgets; the test widget_free fails when one of their sources includes a Widgets header or a header
# from a folder of windows (common/ui).
function(velmira_widget_free)
  _velmira_widget_headers(headers)
  string(REPLACE ";" "|" header_alternatives "${headers}")
  set(files)
  foreach(target IN LISTS ARGN)
    _velmira_links_widgets(${target} links)
    if(links)
      message(FATAL_ERROR "${target} must build without Qt Widgets, but links them")
    endif()
    get_target_property(dir ${target} SOURCE_DIR)
    get_target_property(sources ${target} SOURCES)
    foreach(source IN LISTS sources)
      if(NOT IS_ABSOLUTE "${source}")
        set(source "${dir}/${source}")
      endif()
      list(APPEND files "${source}")
    endforeach()
  endforeach()
  if(VELMIRA_BUILD_TESTS)
    file(WRITE "${PROJECT_BINARY_DIR}/widget-free-files.txt" "${files}")
    add_test(NAME widget_free
      COMMAND ${CMAKE_COMMAND} "-DFILES=${PROJECT_BINARY_DIR}/widget-free-files.txt"
                               "-DHEADERS=${header_alternatives}"
                               -P ${PROJECT_SOURCE_DIR}/cmake/CheckWidgetFree.cmake)
    # The probe itself: a source that includes a widget header must fail it.
    file(WRITE "${PROJECT_BINARY_DIR}/widget-probe/uses-widgets.cpp" "#include <QDialog>\n")
    file(WRITE "${PROJECT_BINARY_DIR}/widget-probe/files.txt" "${PROJECT_BINARY_DIR}/widget-probe/uses-widgets.cpp")
    add_test(NAME widget_free_probe
      COMMAND ${CMAKE_COMMAND} "-DFILES=${PROJECT_BINARY_DIR}/widget-probe/files.txt"
                               "-DHEADERS=${header_alternatives}"
                               -P ${PROJECT_SOURCE_DIR}/cmake/CheckWidgetFree.cmake)
    set_tests_properties(widget_free_probe PROPERTIES WILL_FAIL TRUE)
  endif()
endfunction()

# velmira_test(NAME SOURCES ... LIBS ... [ENV ...]): a QtTest program run headless by CTest.
function(velmira_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test Qt6::Core Qt6::Gui ${ARG_LIBS})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
  velmira_defaults(${name})
  add_test(NAME ${name} COMMAND ${name})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;VELMIRA_AUDIO=null;LC_ALL=C.UTF-8;${ARG_ENV}")
endfunction()
