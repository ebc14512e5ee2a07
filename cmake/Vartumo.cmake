# Common settings for every target of the project.
function(vt_defaults target)
  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "INTERFACE_LIBRARY")
    return()
  endif()
  target_compile_features(${target} PUBLIC cxx_std_20)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(VARTUMO_FUZZ)
    # Coverage for libFuzzer and the sanitizers in every library; the targets link the fuzzer
    # runtime themselves.
    target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link,address,undefined
                           -fno-sanitize-recover=undefined -fno-omit-frame-pointer -O1 -g)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  elseif(VARTUMO_SANITIZE)
    # -O1 -g1 halves the compile time of the sanitized test build against -O2 -g and still
    # gives sanitizer reports with function names and lines.
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined
                           -fno-sanitize-recover=undefined -fno-omit-frame-pointer -O1 -g1)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
endfunction()

# vt_layer(<folder> [DEPS libs...] [FORMS_DEPS libs...])
# Builds vt_<folder> from the folder's *.cpp and vt_<folder>_forms from forms/*.cpp.
# Sources are globbed so that new files need no edit here.
function(vt_layer folder)
  cmake_parse_arguments(A "" "" "DEPS;FORMS_DEPS" ${ARGN})
  file(GLOB _srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/*.c)
  if(_srcs)
    add_library(vt_${folder} STATIC ${_srcs})
    target_include_directories(vt_${folder} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(vt_${folder} PUBLIC ${A_DEPS} Threads::Threads)
    vt_defaults(vt_${folder})
  else()
    add_library(vt_${folder} INTERFACE)
    target_include_directories(vt_${folder} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(vt_${folder} INTERFACE ${A_DEPS} Threads::Threads)
  endif()
  set_property(GLOBAL APPEND PROPERTY VT_LIBRARIES vt_${folder})

  file(GLOB _forms CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/forms/*.cpp)
  if(_forms)
    file(GLOB _hdrs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/forms/*.h)
    add_library(vt_${folder}_forms STATIC ${_forms} ${_hdrs})
    set_target_properties(vt_${folder}_forms PROPERTIES AUTOMOC ON)
    target_include_directories(vt_${folder}_forms PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(vt_${folder}_forms PUBLIC vt_${folder} ${A_FORMS_DEPS} Qt6::Widgets)
    vt_defaults(vt_${folder}_forms)
    set_property(GLOBAL APPEND PROPERTY VT_LIBRARIES vt_${folder}_forms)
  endif()
endfunction()
