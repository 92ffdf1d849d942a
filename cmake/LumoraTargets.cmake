# Helpers shared by the sub-folders.

# lumora_glob(VAR dir...): every .cpp/.c file below the given folders, re-globbed at build time
# so that a new source file needs no edit of a CMakeLists.txt.
function(lumora_glob var)
  set(files)
  foreach(dir ${ARGN})
    file(GLOB_RECURSE found CONFIGURE_DEPENDS
         ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.c)
    list(APPEND files ${found})
  endforeach()
  list(SORT files)
  set(${var} ${files} PARENT_SCOPE)
endfunction()
