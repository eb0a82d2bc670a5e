# Each library of the program sees only its own headers and those of the
# layers below it. Its include root is a directory of the build tree holding
# links to just its own sources, under the paths the code includes them by
# ("data/datasets/TDataSet.h"); a library hands its root on to the libraries
# that link it. An include that climbs a layer finds no file and fails to
# compile (tests/layering checks that it does).
function(drevalon_include_root target)
  set(root "${CMAKE_BINARY_DIR}/include-roots/${target}")
  foreach(path IN LISTS ARGN)
    get_filename_component(parent "${root}/${path}" DIRECTORY)
    file(MAKE_DIRECTORY "${parent}")
    file(CREATE_LINK "${CMAKE_SOURCE_DIR}/${path}" "${root}/${path}" SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE "${root}")
  else()
    target_include_directories(${target} PUBLIC "${root}")
  endif()
endfunction()
