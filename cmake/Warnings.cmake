# Our own targets build with every warning as an error; Qt and Poco headers are system includes.
# Two GCC 12 warnings are known to misfire and are off for GCC: -Wrestrict on ordinary std::string
# concatenation at -O3, and -Wmaybe-uninitialized inside the standard library when sanitizers
# instrument the code.
function(vop_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
  if(VOP_SANITIZE)
    target_compile_options(${target} PRIVATE $<$<CXX_COMPILER_ID:GNU>:-Wno-maybe-uninitialized>)
  endif()
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
endfunction()
