# One line for a user's sort routine, inside this project and in any
# project that finds the installed kit with find_package(ZorKit):
#   zor_add_sort_bench_program(NAME SOURCE...)    # the timing program
#   zor_add_sort_profile_program(NAME SOURCE...)  # the profiler
# SOURCE defines Sort_Singly_Linked_List and includes "sort_bench.h".
function(zor_add_sort_bench_program Name)
  add_executable(${Name} ${ARGN})
  target_link_libraries(${Name} PRIVATE ZorKit::sort_bench)
endfunction()

# The profiler is written in C++: a project of C alone (project(x C))
# links with the C driver, which leaves out the C++ runtime, so it is
# named here.
function(zor_add_sort_profile_program Name)
  add_executable(${Name} ${ARGN})
  target_link_libraries(${Name} PRIVATE ZorKit::sort_profile)
  get_property(Languages GLOBAL PROPERTY ENABLED_LANGUAGES)
  if(NOT "CXX" IN_LIST Languages)
    target_link_libraries(${Name} PRIVATE stdc++ m)
  endif()
endfunction()
