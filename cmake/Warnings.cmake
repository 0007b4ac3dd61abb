# Our own targets build with every warning as an error; Qt and Poco headers are system includes.
# GCC 12 at -O3 reports -Wrestrict on ordinary std::string concatenation (a known false positive
# in its inlined char_traits), so that one warning is off for GCC.
function(vop_target target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror $<$<CXX_COMPILER_ID:GNU>:-Wno-restrict>)
  set_target_properties(${target} PROPERTIES AUTOMOC ON)
endfunction()
